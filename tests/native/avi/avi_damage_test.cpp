// Damage that real disks and cut-off recordings produce: every kind made from our own
// recordings, through the readers, the check and the repair. Whatever is damaged, every frame
// whose chunk is still whole comes back at its own number; zero-filled tails are never walked.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "DamageCorpus.h"
#include "avi/AviCheck.h"
#include "avi/AviRepair.h"
#include "avi/ByteOrder.h"

using namespace avidamage;
using avi::AviResult;

namespace {

// A recording followed by a zero tail of any length, without holding the zeros in memory, that
// counts the reads made of it.
class ZeroTailFile final : public avi::FileIo {
public:
    ZeroTailFile(Bytes head, std::uint64_t size) : m_head(std::move(head)), m_nSize(size) {}

    bool ReadAt(std::uint64_t pos, void* buffer, std::size_t size, std::size_t* pRead) override
    {
        ++nReads;
        const std::size_t n = pos >= m_nSize ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, m_nSize - pos));
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::memset(out, 0, n);
        if (pos < m_head.size()) {
            const std::size_t fromHead = std::min<std::size_t>(n, m_head.size() - static_cast<std::size_t>(pos));
            std::memcpy(out, m_head.data() + pos, fromHead);
        }
        *pRead = n;
        return true;
    }
    bool WriteAt(std::uint64_t, const void*, std::size_t) override { return false; }
    bool GetSize(std::uint64_t* pSize) override
    {
        *pSize = m_nSize;
        return true;
    }
    bool Truncate(std::uint64_t) override { return false; }
    bool Flush(bool) override { return true; }

    std::uint64_t nReads = 0;

private:
    Bytes m_head;
    std::uint64_t m_nSize;
};

std::uint32_t RecordedCount(const Original& o)
{
    return static_cast<std::uint32_t>(std::count_if(o.frames.begin(), o.frames.end(), [](const avi::ChunkRef& r) { return !r.IsDropped(); }));
}

} // namespace

TEST(DamageCorpus, EveryKindOfDamageKeepsEveryIntactFrameAtItsNumber)
{
    const std::vector<Original> originals = MakeOriginals();
    ASSERT_EQ(originals.size(), 2u);
    std::mt19937 random(16);
    constexpr int kPerKind = 12;
    int samples = 0;
    for (const Original& original : originals) {
        ASSERT_GE(original.videoStdIndexes.size(), 3u) << original.name;
        for (const Damage kind : AllDamage()) {
            for (int i = 0; i < kPerKind; ++i) {
                const Sample sample = MakeDamage(original, kind, random);
                SCOPED_TRACE(original.name + ", " + DamageName(kind) + ": " + sample.what);
                const Outcome outcome = Evaluate(original, sample);
                ++samples;
                EXPECT_TRUE(outcome.vecWrong.empty()) << outcome.vecWrong.front();
                if (KeepsNumbers(kind)) {
                    EXPECT_EQ(outcome.nRecovered, outcome.nIntact);
                }
                if (HasFailure())
                    return;
            }
        }
    }
    EXPECT_EQ(samples, 2 * static_cast<int>(AllDamage().size()) * kPerKind);
}

TEST(DamageCorpus, DamageConfinedToOneChunkLosesOnlyThatFrame)
{
    // One frame chunk's header made untrustworthy in four ways: the frames before and after
    // it keep their numbers, that frame becomes a drop, and nothing else is lost.
    const std::vector<Original> originals = MakeOriginals();
    for (const Original& o : originals) {
        std::uint32_t target = 20;
        while (o.frames[target].IsDropped())
            ++target;
        const std::size_t head = static_cast<std::size_t>(o.frames[target].nPos) - 8;
        struct Case {
            const char* name;
            void (*damage)(Bytes&, std::size_t);
        };
        const Case cases[] = {
            {"size bit 0", [](Bytes& b, std::size_t at) { b[at + 4] ^= 1; }},
            {"size bit 20", [](Bytes& b, std::size_t at) { b[at + 6] ^= 0x10; }},
            {"size 2", [](Bytes& b, std::size_t at) { avi::WriteLe32(&b[at + 4], 2); }},
            {"code zeroed", [](Bytes& b, std::size_t at) { std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), 4, 0); }},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(o.name + ": " + c.name);
            Sample sample;
            sample.kind = Damage::BadChunkSize;
            sample.bytes = o.bytes;
            c.damage(sample.bytes, head);
            const Outcome outcome = Evaluate(o, sample);
            EXPECT_TRUE(outcome.vecWrong.empty()) << outcome.vecWrong.front();
            EXPECT_EQ(outcome.nIntact, RecordedCount(o) - 1);
            EXPECT_EQ(outcome.nRecovered, outcome.nIntact);

            avi::MemoryFile source(sample.bytes);
            avi::MemoryFile repaired;
            avi::RepairReport report;
            avi::RepairOptions options;
            options.nSegmentBytes = 1u << 20;
            ASSERT_EQ(avi::RepairAvi(source, repaired, options, &report), AviResult::Ok);
            EXPECT_EQ(report.nFramesWritten, o.frames.size());
            EXPECT_EQ(report.nFramesDamaged, 1u);
            EXPECT_EQ(report.indexUsed, avi::RepairIndex::OpenDml);
            avi::AviParser again;
            ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
            EXPECT_TRUE(again.Frames()[target].IsDropped());
        }
    }
}

TEST(DamageCorpus, WithoutAnyIndexADamagedFrameStillBecomesADrop)
{
    // Every index destroyed: the numbering comes from the chunks alone, and the damaged
    // region where one frame was holds one dropped frame.
    const Original o = MakeOriginals().front();
    Bytes b = o.bytes;
    for (const std::uint64_t ix : o.videoStdIndexes)
        std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(ix), 32, 0xEE);
    avi::WriteLe32(&b[static_cast<std::size_t>(o.nIdx1Pos)], avi::MakeFourCC("JUNK"));
    const std::uint32_t target = 25; // between the drops 18 and 30
    avi::WriteLe32(&b[static_cast<std::size_t>(o.frames[target].nPos) - 4], 7);
    avi::MemoryFile source(b);
    avi::MemoryFile repaired;
    avi::RepairReport report;
    ASSERT_EQ(avi::RepairAvi(source, repaired, avi::RepairOptions(), &report), AviResult::Ok);
    EXPECT_EQ(report.indexUsed, avi::RepairIndex::None);
    EXPECT_EQ(report.nChunksLeftOut, 1u);
    avi::AviParser again;
    ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
    // The recorded drops are unknown without an index: frames 19..26 move up by three (3, 17, 18).
    ASSERT_GE(again.Frames().size(), 32u);
    const std::uint32_t shifted = target - 3;
    EXPECT_TRUE(again.Frames()[shifted].IsDropped());
    Bytes frame;
    ASSERT_EQ(again.ReadFrame(shifted + 1, frame), AviResult::Ok);
    EXPECT_EQ(avitest::StampOf(frame), target + 1);
}

TEST(ZeroTail, ReadersStopAtTheZerosAndRepairPassesThemInLargeSteps)
{
    // A recording cut off after 20 frames whose file goes on with 256 MiB of zeros.
    for (const Original& o : MakeOriginals()) {
        SCOPED_TRACE(o.name);
        const std::size_t cut = static_cast<std::size_t>(o.frames[20].nPos) + 1000;
        const Bytes head(o.bytes.begin(), o.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        ZeroTailFile file(head, cut + (256ull << 20));
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        (void)avi::CheckAvi(parser, file);
        // Eight bytes a step would be millions of reads.
        EXPECT_LT(file.nReads, 2000u);

        file.nReads = 0;
        avi::MemoryFile repaired;
        avi::RepairReport report;
        avi::RepairOptions options;
        options.nSegmentBytes = 1u << 20;
        ASSERT_EQ(avi::RepairAvi(file, repaired, options, &report), AviResult::Ok);
        EXPECT_LT(file.nReads, 2000u);
        EXPECT_EQ(report.nFramesWritten, 20u);
        EXPECT_EQ(report.nBytesDiscarded, 1008u + (256ull << 20));
        avi::AviParser again;
        ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
        EXPECT_TRUE(again.IsConsistent());
    }
}

TEST(Check, ADuplicatedOrReorderedIndexIsInconsistentAndRepairRebuildsIt)
{
    const Original o = MakeOriginals().back();
    ASSERT_GE(o.videoStdIndexes.size(), 3u);
    struct Case {
        const char* name;
        Damage kind;
        const char* problem;
    };
    const Case cases[] = {
        {"index 0 copied over index 1", Damage::CopyStdIndex, "names the same chunk as frame"},
        {"super index entries 0 and 2 swapped", Damage::SwapSuperIndex, "in the file: the index is out of order"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = o.bytes;
        if (c.kind == Damage::CopyStdIndex) {
            const auto src = static_cast<std::size_t>(o.videoStdIndexes[0]);
            const std::size_t len = 8 + avi::ReadLe32(&b[src + 4]);
            std::copy_n(o.bytes.begin() + static_cast<std::ptrdiff_t>(src), len,
                        b.begin() + static_cast<std::ptrdiff_t>(o.videoStdIndexes[1]));
        } else {
            const std::size_t entries = static_cast<std::size_t>(o.nVideoIndxPos) + 32;
            std::swap_ranges(b.begin() + static_cast<std::ptrdiff_t>(entries), b.begin() + static_cast<std::ptrdiff_t>(entries + 16),
                             b.begin() + static_cast<std::ptrdiff_t>(entries + 32));
        }
        avi::MemoryFile file(b);
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        const avi::AviCheckResult check = avi::CheckAvi(parser, file);
        EXPECT_FALSE(check.bConsistent);
        EXPECT_FALSE(check.bLegacyIndexOnly);
        const bool bNamed = std::any_of(check.vecProblems.begin(), check.vecProblems.end(),
                                        [&](const std::string& p) { return p.find(c.problem) != std::string::npos; });
        EXPECT_TRUE(bNamed) << (check.vecProblems.empty() ? "no problems" : check.vecProblems.front());

        Sample sample;
        sample.kind = c.kind;
        sample.bytes = b;
        const Outcome outcome = Evaluate(o, sample);
        EXPECT_TRUE(outcome.vecWrong.empty()) << outcome.vecWrong.front();
        // The copy lost where the second segment's drops were (if it had any): its frames are
        // back, but only the others are held to their numbers.
        EXPECT_EQ(outcome.nIntact + outcome.nUnplaceable, RecordedCount(o));
        EXPECT_EQ(outcome.nRecovered, outcome.nIntact);
        EXPECT_EQ(outcome.nMisplaced, 0u);
    }
}

TEST(DamageCorpus, FfprobeReadsEveryRepairedFileWithTheFrameCountRepairReported)
{
    if (!avitest::HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    std::mt19937 random(1616);
    const auto path = avitest::TempFile("damage-repaired.avi");
    for (const Original& original : MakeOriginals()) {
        for (const Damage kind : AllDamage()) {
            const Sample sample = MakeDamage(original, kind, random);
            SCOPED_TRACE(original.name + ", " + DamageName(kind) + ": " + sample.what);
            const Outcome outcome = Evaluate(original, sample);
            if (!outcome.bRepaired)
                continue;
            avitest::WriteWholeFile(path, outcome.repaired);
            std::string frames;
            ASSERT_EQ(avitest::RunCommand("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                                          "stream=nb_frames,nb_read_packets -of csv=p=0 '" + path.string() + "'",
                                          &frames),
                      0);
            // "frames,packets": every frame the stream counts (Type 2; ffprobe leaves a Type 1
            // stream's count open), and a packet for each recorded one.
            const std::string counted = original.name.find("Type 1") == 0 ? "N/A" : std::to_string(outcome.nFramesWritten);
            const std::string expected = counted + "," + std::to_string(outcome.nFramesWritten - outcome.nDroppedWritten);
            EXPECT_EQ(frames.substr(0, frames.find_last_not_of("\n") + 1), expected);
        }
    }
    std::filesystem::remove(path);
}

TEST(DamageCorpus, ADamagedMovieListHeaderIsSearchedPast)
{
    // The first "movi" list's code and type both damaged: the walk starts in the headers and
    // finds the chunks after them; every frame keeps its number.
    for (const Original& o : MakeOriginals()) {
        SCOPED_TRACE(o.name);
        Sample sample;
        sample.kind = Damage::FlipHeader;
        sample.bytes = o.bytes;
        std::fill_n(sample.bytes.begin() + static_cast<std::ptrdiff_t>(o.nMoviPos), 12, 0x5A);
        const Outcome outcome = Evaluate(o, sample);
        EXPECT_TRUE(outcome.bRepaired);
        EXPECT_TRUE(outcome.vecWrong.empty()) << outcome.vecWrong.front();
        EXPECT_EQ(outcome.nRecovered, RecordedCount(o));
        EXPECT_EQ(outcome.nFramesWritten, o.frames.size());
    }
}
