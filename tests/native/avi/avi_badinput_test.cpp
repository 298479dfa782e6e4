// Thousands of truncated and byte-mutated files, made from real ones, through the parser, the
// frame reads and the repair: every call must come back with a result (the sanitizers and the
// test's time limit catch crashes, bad reads and hangs).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestSupport.h"
#include "avi/AviParser.h"
#include "avi/AviRepair.h"
#include "avi/ByteOrder.h"

using namespace avitest;
using avi::AviResult;
using avi::AviType;

namespace {

std::vector<Bytes> BaseFiles()
{
    std::vector<Bytes> files;
    for (const AviType type : {AviType::Type1, AviType::Type2}) {
        // Small frames keep the files small, so most mutations hit structure, not picture.
        avi::AviWriterOptions o;
        o.type = type;
        o.nSegmentBytes = 64 * 1024;
        o.nCheckpointFrames = 4;
        avi::MemoryFile file;
        avi::AviWriter writer;
        EXPECT_EQ(writer.Open(file, o), AviResult::Ok);
        for (std::uint32_t n = 0; n < 300; ++n) {
            if (n % 37 == 5) {
                writer.WriteDroppedFrame();
                continue;
            }
            writer.WriteVideoFrame(Bytes(600 + n % 7 * 2, static_cast<std::uint8_t>(n)));
            if (type == AviType::Type2)
                writer.WriteAudio(Bytes(64, 1));
        }
        EXPECT_EQ(writer.Finish(), AviResult::Ok);
        files.push_back(file.Bytes());
    }
    // A few real frames in a Type 1 file, for the DV readers in repair.
    Recording rec;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    rec.nFrames = 4;
    rec.drops = {1};
    avi::MemoryFile real;
    EXPECT_EQ(WriteRecording(real, rec), AviResult::Ok);
    files.push_back(real.Bytes());
    if (HaveFfmpeg()) {
        const auto path = TempFile("badinput-ffmpeg.avi");
        if (RunCommand("ffmpeg -v error -y -nostdin -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine -t 0.2 "
                       "-pix_fmt yuv420p -c:v dvvideo -c:a pcm_s16le -ac 2 '" + path.string() + "'") == 0)
            files.push_back(ReadWholeFile(path));
        std::filesystem::remove(path);
    }
    return files;
}

// Everything a reader of the file may ask for.
void Exercise(const Bytes& bytes, bool bRepair)
{
    avi::MemoryFile file(bytes);
    avi::AviParser parser;
    const AviResult hr = parser.Parse(file);
    if (hr != AviResult::Ok) {
        EXPECT_TRUE(hr == AviResult::NotAvi || hr == AviResult::Damaged) << avi::AviResultText(hr);
        return;
    }
    (void)parser.IsConsistent();
    (void)parser.DroppedFrames();
    Bytes data;
    const std::size_t frames = std::min<std::size_t>(parser.Frames().size(), 400);
    for (std::size_t n = 0; n < frames; ++n)
        (void)parser.ReadFrame(static_cast<std::uint32_t>(n), data);
    const std::size_t chunks = std::min<std::size_t>(parser.AudioChunks().size(), 400);
    for (std::size_t n = 0; n < chunks; ++n)
        (void)parser.ReadChunk(parser.AudioChunks()[n], data);
    if (bRepair) {
        avi::MemoryFile out;
        avi::RepairOptions options;
        options.nSegmentBytes = 64 * 1024;
        avi::RepairReport report;
        if (avi::RepairAvi(file, out, options, &report) == AviResult::Ok) {
            avi::AviParser again;
            ASSERT_EQ(again.Parse(out), AviResult::Ok);
            EXPECT_TRUE(again.IsConsistent());
        }
    }
}

} // namespace

TEST(BadInput, TruncatedFilesNeverBreakTheReaders)
{
    std::mt19937 random(11);
    int runs = 0;
    for (const Bytes& base : BaseFiles()) {
        for (int i = 0; i < 250; ++i) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(0, base.size())(random);
            Exercise(Bytes(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(size)), i % 4 == 0);
            ++runs;
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GE(runs, 1000);
}

TEST(BadInput, MutatedFilesNeverBreakTheReaders)
{
    std::mt19937 random(12);
    static constexpr std::uint32_t kInteresting[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF8, 8, 12};
    int runs = 0;
    for (const Bytes& base : BaseFiles()) {
        // Most structure lies in the headers and the first reserved indexes.
        const std::size_t head = std::min<std::size_t>(base.size(), 40000);
        for (int i = 0; i < 700; ++i) {
            Bytes mutant = base;
            const int edits = std::uniform_int_distribution<int>(1, 4)(random);
            for (int e = 0; e < edits; ++e) {
                const bool bHead = std::uniform_int_distribution<int>(0, 9)(random) < 8;
                std::size_t pos = std::uniform_int_distribution<std::size_t>(0, (bHead ? head : mutant.size()) - 5)(random);
                if (std::uniform_int_distribution<int>(0, 1)(random)) {
                    pos &= ~std::size_t{3};
                    avi::WriteLe32(mutant.data() + pos, kInteresting[std::uniform_int_distribution<int>(0, 7)(random)]);
                } else {
                    mutant[pos] = static_cast<std::uint8_t>(random());
                }
            }
            Exercise(mutant, i % 5 == 0);
            ++runs;
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GE(runs, 2000);
}

TEST(BadInput, HandBuiltTraps)
{
    // A super index whose entries all point at one huge standard index, and one pointing at
    // itself: both must end quickly.
    Recording rec;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    rec.nFrames = 2;
    avi::MemoryFile file;
    ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);
    Bytes b = file.Bytes();
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    const std::size_t indx = 164 + 8 + avi::ReadLe32(&b[168]);
    ASSERT_EQ(std::string(b.begin() + indx, b.begin() + indx + 4), "indx");
    const std::uint64_t ix = avi::ReadLe64(&b[indx + 32]);
    Bytes repeated = b;
    avi::WriteLe32(&repeated[indx + 12], 1000);
    for (int i = 1; i < 1000; ++i)
        avi::WriteLe64(&repeated[indx + 32 + 16 * i], ix);
    avi::WriteLe32(&repeated[ix + 12], 0xFFFFFFFF);
    {
        avi::MemoryFile f(repeated);
        avi::AviParser p;
        ASSERT_EQ(p.Parse(f), AviResult::Ok);
        EXPECT_FALSE(p.IsConsistent());
        EXPECT_FALSE(p.Problems().empty());
        EXPECT_LE(p.Frames().size(), repeated.size() / 8);
    }
    Bytes selfRef = b;
    avi::WriteLe64(&selfRef[indx + 32], indx);
    {
        avi::MemoryFile f(selfRef);
        avi::AviParser p;
        ASSERT_EQ(p.Parse(f), AviResult::Ok);
        EXPECT_TRUE(p.Frames().empty());
        EXPECT_FALSE(p.IsConsistent());
    }
    // Without any index the movi list is walked: "rec " lists nested a hundred thousand deep
    // must not take the walk that deep.
    Bytes nested = b;
    for (const char* code : {"indx", "idx1"}) {
        const auto at = std::search(nested.begin(), nested.end(), code, code + 4);
        ASSERT_NE(at, nested.end());
        std::copy_n("JUNK", 4, at);
    }
    const std::uint32_t levels = 100000;
    for (std::uint32_t i = 0; i < levels; ++i) {
        const std::uint32_t inside = (levels - i) * 12 + 12 - 8;
        const std::uint8_t head[12] = {'L', 'I', 'S', 'T', static_cast<std::uint8_t>(inside), static_cast<std::uint8_t>(inside >> 8),
                                       static_cast<std::uint8_t>(inside >> 16), static_cast<std::uint8_t>(inside >> 24),
                                       'r', 'e', 'c', ' '};
        nested.insert(nested.end(), head, head + 12);
    }
    const std::uint8_t frameChunk[12] = {'0', '0', 'd', 'c', 4, 0, 0, 0, 1, 2, 3, 4};
    nested.insert(nested.end(), frameChunk, frameChunk + 12);
    {
        avi::MemoryFile f(nested);
        avi::AviParser p;
        ASSERT_EQ(p.Parse(f), AviResult::Ok);
        EXPECT_EQ(p.GetIndexSource(), avi::IndexSource::Scan);
    }
    Exercise(nested, true);
    // A chunk of size FFFFFFFFh in the header list.
    Bytes huge = b;
    avi::WriteLe32(&huge[24 + 4], 0xFFFFFFFF);
    Exercise(huge, true);
}
