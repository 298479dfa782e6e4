// Files written by the writer read back through the parser: both types and systems, aspect,
// audio rates, dropped frames anywhere, several AVIX segments, and the writer's limits.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "avi/AviCheck.h"
#include "avi/AviParser.h"
#include "avi/ByteOrder.h"
#include "avi/Timecode.h"

#include <cstdlib>

using namespace avitest;
using avi::AviResult;
using avi::AviType;
using avi::VideoSystem;

namespace {

struct RoundTripCase {
    AviType type;
    VideoSystem system;
    bool bWide;
    std::uint32_t nRate;
    std::vector<std::uint32_t> drops;
    std::uint32_t nFrames;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

std::string CaseName(const ::testing::TestParamInfo<RoundTripCase>& info)
{
    const auto& c = info.param;
    return std::string(c.type == AviType::Type1 ? "Type1" : "Type2") +
           (c.system == VideoSystem::System625_50 ? "_625" : "_525") + (c.bWide ? "_16x9" : "_4x3") + "_" +
           std::to_string(c.nRate) + "_" + std::to_string(info.index);
}

} // namespace

TEST_P(RoundTrip, ParserGivesBackWhatWasWritten)
{
    const RoundTripCase& c = GetParam();
    Recording rec;
    rec.recipe.system = c.system;
    rec.recipe.bWide = c.bWide;
    rec.recipe.nSampleRate = c.nRate;
    rec.recipe.timecode = {1, 2, 3, 4};
    rec.options = OptionsFor(c.type, rec.recipe);
    rec.drops = c.drops;
    rec.nFrames = c.nFrames;
    avi::MemoryFile file;
    ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);

    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_EQ(parser.AviTypeCode(), static_cast<int>(c.type));
    EXPECT_EQ(parser.GetVideoSystem(), c.system);
    EXPECT_EQ(parser.GetIndexSource(), avi::IndexSource::OpenDml);
    EXPECT_EQ(parser.DeclaredLength(), c.nFrames);
    EXPECT_EQ(parser.OdmlTotalFrames(), c.nFrames);
    EXPECT_TRUE(parser.IsConsistent());
    EXPECT_TRUE(parser.Problems().empty());
    EXPECT_EQ(parser.DroppedFrames(), c.drops);
    const auto& video = parser.Streams()[0];
    ASSERT_TRUE(video.bHasDvInfo);
    EXPECT_EQ(video.dvInfo, rec.options.dvInfo);

    for (std::uint32_t n = 0; n < c.nFrames; ++n) {
        Bytes frame;
        const bool bDropped = std::binary_search(c.drops.begin(), c.drops.end(), n);
        ASSERT_EQ(parser.ReadFrame(n, frame), bDropped ? AviResult::Dropped : AviResult::Ok) << n;
        if (!bDropped) {
            ASSERT_EQ(StampOf(frame), n);
        }
    }
    Bytes frame;
    EXPECT_EQ(parser.ReadFrame(c.nFrames, frame), AviResult::OutOfRange);

    if (c.type == AviType::Type2) {
        ASSERT_EQ(parser.AudioStream(), 1);
        const auto& audio = parser.Streams()[1];
        const std::uint32_t rate = audio.wave.nSamplesPerSec;
        const std::uint16_t align = audio.wave.nBlockAlign;
        EXPECT_EQ(rate, c.nRate);
        EXPECT_EQ(align, 4);
        // One chunk per recorded frame, each holding that frame's samples.
        ASSERT_EQ(parser.AudioChunks().size(), c.nFrames - c.drops.size());
        std::uint64_t blocks = 0;
        std::uint32_t chunk = 0;
        for (std::uint32_t n = 0; n < c.nFrames; ++n) {
            if (std::binary_search(c.drops.begin(), c.drops.end(), n))
                continue;
            Bytes pcm;
            ASSERT_EQ(parser.ReadChunk(parser.AudioChunks()[chunk++], pcm), AviResult::Ok);
            ASSERT_EQ(pcm, MakePcmForFrame(c.system, c.nRate, n));
            blocks += pcm.size() / 4;
        }
        EXPECT_EQ(audio.header.dwLength, blocks);
    } else {
        EXPECT_EQ(parser.AudioStream(), -1);
        EXPECT_TRUE(parser.AudioChunks().empty());
    }

    // The first recorded frame's packs come back as they were written.
    for (std::uint32_t n = 0; n < c.nFrames; ++n) {
        if (parser.ReadFrame(n, frame) != AviResult::Ok)
            continue;
        avi::DvFrameFacts facts;
        avi::ReadDvFrameFacts(frame, &facts);
        EXPECT_EQ(facts.nWide, c.bWide ? 1 : 0);
        EXPECT_EQ(facts.timecode, (avi::Timecode{1, 2, 3, 4}));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TypesSystemsAspectsRates, RoundTrip,
    ::testing::Values(RoundTripCase{AviType::Type1, VideoSystem::System525_60, false, 48000, {}, 40},
                      RoundTripCase{AviType::Type1, VideoSystem::System625_50, true, 32000, {0, 1, 2}, 40},
                      RoundTripCase{AviType::Type1, VideoSystem::System525_60, true, 48000, {17, 18, 30}, 45},
                      RoundTripCase{AviType::Type2, VideoSystem::System525_60, false, 48000, {0, 20, 44}, 45},
                      RoundTripCase{AviType::Type2, VideoSystem::System625_50, false, 48000, {100, 101}, 130},
                      RoundTripCase{AviType::Type2, VideoSystem::System625_50, true, 32000, {5, 6, 7, 8}, 30},
                      RoundTripCase{AviType::Type2, VideoSystem::System525_60, true, 32000, {29}, 30},
                      RoundTripCase{AviType::Type2, VideoSystem::System525_60, false, 44100, {}, 12}),
    CaseName);

TEST(AviWriter, SeveralSegmentsKeepFrameOrderAndDrops)
{
    Recording rec;
    rec.recipe.system = VideoSystem::System625_50;
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.options.nSegmentBytes = 1u << 20; // about six frames with audio per segment
    rec.nFrames = 60;
    rec.drops = {0, 6, 7, 8, 25, 59};
    avi::MemoryFile file;
    ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);

    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_GE(parser.Segments().size(), 8u);
    EXPECT_TRUE(parser.IsConsistent());
    EXPECT_EQ(parser.DroppedFrames(), rec.drops);
    EXPECT_EQ(parser.AudioChunks().size(), rec.nFrames - rec.drops.size());
    for (std::size_t s = 0; s < parser.Segments().size(); ++s) {
        const auto& seg = parser.Segments()[s];
        EXPECT_NE(seg.nMoviPos, 0u) << s;
        EXPECT_LE(seg.nRiffEnd - seg.nRiffPos, rec.options.nSegmentBytes + 200000) << s;
        if (s + 1 < parser.Segments().size()) {
            EXPECT_EQ(seg.nRiffEnd, parser.Segments()[s + 1].nRiffPos) << s;
        }
    }
    Bytes frame;
    for (std::uint32_t n = 0; n < rec.nFrames; ++n) {
        if (parser.ReadFrame(n, frame) == AviResult::Ok) {
            ASSERT_EQ(StampOf(frame), n);
        }
    }
    // avih counts only the frames of the first RIFF, for readers that know no extensions.
    EXPECT_LT(parser.MainHeader().dwTotalFrames, rec.nFrames);
    EXPECT_GT(parser.MainHeader().dwTotalFrames, 0u);
}

TEST(AviWriter, FullStandardIndexContinuesInAnotherOne)
{
    // Small frames fill a standard index long before the segment is full.
    avi::AviWriterOptions o;
    o.type = AviType::Type1;
    o.nSegmentBytes = 64 * 1024;
    avi::MemoryFile file;
    avi::AviWriter writer;
    ASSERT_EQ(writer.Open(file, o), AviResult::Ok);
    const std::uint32_t total = 2000;
    for (std::uint32_t n = 0; n < total; ++n) {
        if (n % 3 == 1) {
            ASSERT_EQ(writer.WriteDroppedFrame(), AviResult::Ok);
            continue;
        }
        Bytes small(16, 0);
        avi::WriteLe32(small.data(), n);
        ASSERT_EQ(writer.WriteVideoFrame(small), AviResult::Ok);
    }
    ASSERT_EQ(writer.Finish(), AviResult::Ok);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_TRUE(parser.IsConsistent());
    EXPECT_GT(parser.Streams()[0].vecSuperIndex.size(), 3u);
    ASSERT_EQ(parser.Frames().size(), total);
    Bytes data;
    for (std::uint32_t n = 0; n < total; ++n) {
        if (n % 3 == 1) {
            ASSERT_TRUE(parser.Frames()[n].IsDropped()) << n;
        } else {
            ASSERT_EQ(parser.ReadFrame(n, data), AviResult::Ok);
            ASSERT_EQ(avi::ReadLe32(data.data()), n);
        }
    }
}

namespace {

// Checks each super index entry's duration against what its standard index holds (frames with
// the dropped ones, or audio sample blocks) and returns their sum.
std::uint64_t CheckedDurationSum(const avi::AviParser& parser, int stream, std::uint32_t blockAlign)
{
    const avi::StreamInfo& info = parser.Streams()[static_cast<std::size_t>(stream)];
    const auto& refs = stream == parser.VideoStream() ? parser.Frames() : parser.AudioChunks();
    EXPECT_EQ(info.vecStdIndexes.size(), info.vecSuperIndex.size());
    std::uint64_t sum = 0;
    for (std::size_t k = 0; k < info.vecSuperIndex.size() && k < info.vecStdIndexes.size(); ++k) {
        const avi::StdIndexSpan& span = info.vecStdIndexes[k];
        EXPECT_TRUE(span.bRead) << k;
        std::uint64_t covered = span.nCount;
        if (blockAlign != 0) {
            covered = 0;
            for (std::size_t i = span.nFirst; i < span.nFirst + span.nCount; ++i)
                covered += refs[i].nSize / blockAlign;
        }
        EXPECT_EQ(info.vecSuperIndex[k].dwDuration, covered) << "stream " << stream << ", super index entry " << k;
        sum += info.vecSuperIndex[k].dwDuration;
    }
    return sum;
}

} // namespace

TEST(AviWriter, SuperIndexDurationsCountEveryFrameDroppedOrNotAndAddUpToTheLength)
{
    // Type 2 across many segments, with drops at the start, in runs and at the end; Type 1 with
    // small frames, so that standard indexes fill up inside segments.
    struct Case {
        AviType type;
        std::uint32_t nFrames;
        std::vector<std::uint32_t> drops;
        bool bSmallFrames;
    };
    const Case cases[] = {{AviType::Type2, 60, {0, 6, 7, 8, 25, 26, 59}, false},
                          {AviType::Type1, 40, {0, 1, 13, 14, 15, 39}, false},
                          {AviType::Type1, 2000, {}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type == AviType::Type1 ? "Type 1" : "Type 2") + (c.bSmallFrames ? ", small frames" : ""));
        avi::MemoryFile file;
        std::vector<std::uint32_t> drops = c.drops;
        if (c.bSmallFrames) {
            avi::AviWriterOptions o;
            o.type = c.type;
            o.nSegmentBytes = 64 * 1024;
            avi::AviWriter writer;
            ASSERT_EQ(writer.Open(file, o), AviResult::Ok);
            for (std::uint32_t n = 0; n < c.nFrames; ++n) {
                if (n % 7 == 3 || n % 7 == 4) {
                    drops.push_back(n);
                    ASSERT_EQ(writer.WriteDroppedFrame(), AviResult::Ok);
                } else {
                    ASSERT_EQ(writer.WriteVideoFrame(Bytes(24, static_cast<std::uint8_t>(n))), AviResult::Ok);
                }
            }
            ASSERT_EQ(writer.Finish(), AviResult::Ok);
        } else {
            Recording rec;
            rec.recipe.system = VideoSystem::System625_50;
            rec.options = OptionsFor(c.type, rec.recipe);
            rec.options.nSegmentBytes = 1u << 20;
            rec.nFrames = c.nFrames;
            rec.drops = c.drops;
            ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);
        }
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        ASSERT_EQ(parser.DroppedFrames(), drops);
        const auto& video = parser.Streams()[0];
        EXPECT_GT(video.vecSuperIndex.size(), 3u);
        EXPECT_EQ(CheckedDurationSum(parser, 0, 0), c.nFrames);
        EXPECT_EQ(video.header.dwLength, c.nFrames);
        if (c.type == AviType::Type2) {
            const auto& audio = parser.Streams()[1];
            EXPECT_EQ(CheckedDurationSum(parser, 1, audio.wave.nBlockAlign), audio.header.dwLength);
            EXPECT_GT(audio.header.dwLength, 0u);
        }
        const avi::AviCheckResult check = avi::CheckAvi(parser, file);
        EXPECT_TRUE(check.bConsistent) << (check.vecProblems.empty() ? "" : check.vecProblems[0]);
    }
}

TEST(AviWriter, FullSuperIndexRefusesMoreFramesButFileStaysValid)
{
    Recording rec;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    rec.options.nSegmentBytes = 512 * 1024; // four frames a segment
    rec.options.nSuperIndexEntries = 3;
    avi::MemoryFile file;
    avi::AviWriter writer;
    ASSERT_EQ(writer.Open(file, rec.options), AviResult::Ok);
    AviResult hr = AviResult::Ok;
    std::uint32_t written = 0;
    for (; written < 100; ++written) {
        hr = writer.WriteVideoFrame(MakeDvFrame(rec.recipe, written));
        if (hr != AviResult::Ok)
            break;
    }
    EXPECT_EQ(hr, AviResult::IndexFull);
    EXPECT_GT(written, 6u);
    ASSERT_EQ(writer.Finish(), AviResult::Ok);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_TRUE(parser.IsConsistent());
    EXPECT_EQ(parser.Frames().size(), written);
}

TEST(AviWriter, CheckpointsDoNotChangeTheFinishedFile)
{
    for (AviType type : {AviType::Type1, AviType::Type2}) {
        Recording rec;
        rec.options = OptionsFor(type, rec.recipe);
        rec.options.nSegmentBytes = 1u << 20;
        rec.nFrames = 50;
        rec.drops = {3, 4, 31};
        avi::MemoryFile withoutCheckpoints;
        rec.options.bCheckpoints = false;
        ASSERT_EQ(WriteRecording(withoutCheckpoints, rec), AviResult::Ok);
        avi::MemoryFile everyFrame;
        rec.options.bCheckpoints = true;
        rec.options.nCheckpointFrames = 1;
        ASSERT_EQ(WriteRecording(everyFrame, rec), AviResult::Ok);
        EXPECT_TRUE(withoutCheckpoints.Bytes() == everyFrame.Bytes()) << static_cast<int>(type);
    }
}

TEST(AviWriter, HeaderHasTheLayoutTheFileReadersRelyOn)
{
    Recording rec;
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.nFrames = 3;
    avi::MemoryFile file;
    ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);
    const Bytes& b = file.Bytes();
    auto code = [&](std::size_t pos) { return std::string(b.begin() + pos, b.begin() + pos + 4); };
    // The fixed blocks the type tests read: RIFF/AVI, LIST/hdrl, avih (64), LIST/strl, strh.
    EXPECT_EQ(code(0), "RIFF");
    EXPECT_EQ(code(8), "AVI ");
    EXPECT_EQ(code(12), "LIST");
    EXPECT_EQ(code(20), "hdrl");
    EXPECT_EQ(code(24), "avih");
    EXPECT_EQ(code(88), "LIST");
    EXPECT_EQ(code(96), "strl");
    EXPECT_EQ(code(100), "strh");
    EXPECT_EQ(code(108), "vids");
    EXPECT_EQ(code(112), "dvsd");
    EXPECT_EQ(avi::ReadLe32(&b[100 + 28]), 1001u); // dwScale
    EXPECT_EQ(avi::ReadLe32(&b[100 + 32]), 30000u); // dwRate
    EXPECT_EQ(avi::ReadLe32(&b[100 + 40]), 3u);    // dwLength
    // Every chunk before the super index has an even size, and "indx" follows "strf".
    std::size_t pos = 164;
    EXPECT_EQ(code(pos), "strf");
    const std::uint32_t strfSize = avi::ReadLe32(&b[pos + 4]);
    EXPECT_EQ(strfSize % 2, 0u);
    pos += 8 + strfSize;
    EXPECT_EQ(code(pos), "indx");
    EXPECT_EQ(avi::ReadLe32(&b[pos + 12]), 1u); // nEntriesInUse
    const std::uint64_t ix = avi::ReadLe64(&b[pos + 32]);
    EXPECT_EQ(code(ix), "ix00");
    EXPECT_EQ(avi::ReadLe32(&b[ix + 12]), 3u);
}

TEST(AviWriter, RefusesBadArgumentsAndCallsOutOfOrder)
{
    avi::MemoryFile file;
    avi::AviWriter writer;
    EXPECT_EQ(writer.WriteVideoFrame(Bytes(10)), AviResult::InvalidState);
    avi::AviWriterOptions o;
    o.nSegmentBytes = 1000;
    EXPECT_EQ(writer.Open(file, o), AviResult::InvalidArgument);
    o.nSegmentBytes = 8ull << 30;
    EXPECT_EQ(writer.Open(file, o), AviResult::InvalidArgument);
    o = avi::AviWriterOptions();
    ASSERT_EQ(writer.Open(file, o), AviResult::Ok);
    EXPECT_EQ(writer.WriteAudio(Bytes(8)), AviResult::InvalidArgument); // Type 1 has no audio stream
    EXPECT_EQ(writer.WriteVideoFrame(Bytes()), AviResult::InvalidArgument);
    ASSERT_EQ(writer.Finish(), AviResult::Ok);
    EXPECT_EQ(writer.WriteDroppedFrame(), AviResult::InvalidState);
    EXPECT_EQ(writer.Finish(), AviResult::InvalidState);

    avi::AviWriter type2;
    avi::MemoryFile file2;
    o.type = AviType::Type2;
    ASSERT_EQ(type2.Open(file2, o), AviResult::Ok);
    EXPECT_EQ(type2.WriteAudio(Bytes(6)), AviResult::InvalidArgument); // not whole sample blocks
}

namespace {
// A file that fails every write after the first n bytes.
class FailingFile final : public avi::FileIo {
public:
    explicit FailingFile(std::uint64_t limit) : m_nLimit(limit) {}
    bool ReadAt(std::uint64_t pos, void* b, std::size_t n, std::size_t* pRead) override { return m_file.ReadAt(pos, b, n, pRead); }
    bool WriteAt(std::uint64_t pos, const void* d, std::size_t n) override
    {
        return pos + n <= m_nLimit && m_file.WriteAt(pos, d, n);
    }
    bool GetSize(std::uint64_t* p) override { return m_file.GetSize(p); }
    bool Truncate(std::uint64_t s) override { return m_file.Truncate(s); }
    bool Flush(bool b) override { return m_file.Flush(b); }

private:
    avi::MemoryFile m_file;
    std::uint64_t m_nLimit;
};
} // namespace

TEST(AviWriter, DiskFullIsReportedAndStops)
{
    Recording rec;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    FailingFile file(1u << 20);
    avi::AviWriter writer;
    ASSERT_EQ(writer.Open(file, rec.options), AviResult::Ok);
    AviResult hr = AviResult::Ok;
    for (std::uint32_t n = 0; n < 20 && hr == AviResult::Ok; ++n)
        hr = writer.WriteVideoFrame(MakeDvFrame(rec.recipe, n));
    EXPECT_EQ(hr, AviResult::IoError);
    EXPECT_EQ(writer.WriteVideoFrame(MakeDvFrame(rec.recipe, 0)), AviResult::InvalidState);
    EXPECT_EQ(writer.Finish(), AviResult::InvalidState);
}

// Opt-in (PLOVER_AVI_LARGE_TEST=1; about 4.3 GB in PLOVER_AVI_LARGE_DIR or the temporary
// folder): a real recording past 4 GiB, where offsets no longer fit in 32 bits.
TEST(LargeFile, RecordingPastFourGibReadsBack)
{
    if (!std::getenv("PLOVER_AVI_LARGE_TEST"))
        GTEST_SKIP() << "set PLOVER_AVI_LARGE_TEST=1 to write a file over 4 GiB";
    const char* dir = std::getenv("PLOVER_AVI_LARGE_DIR");
    const auto path = (dir ? std::filesystem::path(dir) : TempDir()) / "large-type2.avi";
    Recording rec;
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.options.nCheckpointFrames = 0;
    rec.nFrames = 36000; // 20 minutes of 525/60 with audio: about 4.55 GB
    rec.drops = {0, 17000, 35999};
    {
        avi::StdioFile file;
        ASSERT_TRUE(file.Open(path.string(), avi::StdioFile::Mode::Create));
        ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);
    }
    ASSERT_GT(std::filesystem::file_size(path), 1ull << 32);
    avi::StdioFile file;
    ASSERT_TRUE(file.Open(path.string(), avi::StdioFile::Mode::Read));
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_TRUE(parser.IsConsistent());
    EXPECT_GE(parser.Segments().size(), 5u);
    EXPECT_EQ(parser.DroppedFrames(), rec.drops);
    EXPECT_GT(parser.Frames()[35998].nPos, 1ull << 32);
    Bytes frame;
    for (std::uint32_t n = 1; n < rec.nFrames - 1; n += 997) {
        ASSERT_EQ(parser.ReadFrame(n, frame), AviResult::Ok);
        ASSERT_EQ(StampOf(frame), n);
    }
    ASSERT_EQ(parser.ReadFrame(35998, frame), AviResult::Ok);
    EXPECT_EQ(StampOf(frame), 35998u);
    if (HaveFfmpeg()) {
        std::string count;
        RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 '" + path.string() + "'", &count);
        EXPECT_EQ(count, "36000\n");
    }
    file.Close();
    std::filesystem::remove(path);
}

namespace {
Bytes WrittenFile(AviType type, std::uint32_t frames, std::vector<std::uint32_t> drops, std::uint64_t segmentBytes = 1u << 30)
{
    Recording rec;
    rec.options = OptionsFor(type, rec.recipe);
    rec.options.nSegmentBytes = segmentBytes;
    rec.nFrames = frames;
    rec.drops = std::move(drops);
    avi::MemoryFile file;
    EXPECT_EQ(WriteRecording(file, rec), AviResult::Ok);
    return file.Bytes();
}

std::size_t FindCode(const Bytes& b, const char* code)
{
    const std::string text(b.begin(), b.end());
    return text.find(code);
}
} // namespace

TEST(AviParser, LegacyIndexShowsOlderReadersTheFirstRiff)
{
    // Hide the super index: the parser falls back on "idx1", as a reader without the
    // extensions does. It lists the first RIFF's frames, a dropped one as its predecessor again.
    Bytes b = WrittenFile(AviType::Type2, 20, {0, 7, 8}, 1u << 20);
    const std::size_t indx = FindCode(b, "indx");
    ASSERT_NE(indx, std::string::npos);
    std::copy_n("JUNK", 4, b.begin() + static_cast<std::ptrdiff_t>(indx));
    avi::MemoryFile file(b);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    ASSERT_EQ(parser.GetIndexSource(), avi::IndexSource::Idx1);
    const auto& frames = parser.Frames();
    ASSERT_EQ(frames.size(), parser.MainHeader().dwTotalFrames);
    ASSERT_GT(frames.size(), 9u);
    EXPECT_TRUE(frames[0].IsDropped()); // nothing to repeat before the first frame
    Bytes frame;
    for (std::uint32_t n = 1; n < frames.size(); ++n) {
        ASSERT_EQ(parser.ReadFrame(n, frame), AviResult::Ok) << n;
        const std::uint32_t shown = (n == 7 || n == 8) ? 6 : n;
        EXPECT_EQ(StampOf(frame), shown) << n;
    }
    EXPECT_FALSE(parser.AudioChunks().empty());
}

TEST(AviParser, IndexThatDoesNotMatchTheLengthIsNotConsistent)
{
    const Bytes good = WrittenFile(AviType::Type2, 130, {100, 101});
    {
        avi::MemoryFile file(good);
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        EXPECT_TRUE(parser.IsConsistent());
        EXPECT_EQ(parser.DroppedFrames(), (std::vector<std::uint32_t>{100, 101}));
    }
    // One index entry fewer than dwLength, as a recording cut short leaves it.
    Bytes longer = good;
    avi::WriteLe32(&longer[100 + 40], 131);
    {
        avi::MemoryFile file(longer);
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        EXPECT_FALSE(parser.IsConsistent());
        EXPECT_EQ(parser.Frames().size(), 130u);
    }
    // A super index entry that points at something other than a standard index adds nothing.
    Bytes wrong = good;
    const std::size_t indx = FindCode(wrong, "indx");
    avi::WriteLe64(&wrong[indx + 32], 0);
    {
        avi::MemoryFile file(wrong);
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        EXPECT_TRUE(parser.Frames().empty());
        EXPECT_FALSE(parser.IsConsistent());
        ASSERT_FALSE(parser.Problems().empty());
        EXPECT_NE(parser.Problems()[0].find("\"RIFF\" chunk, not a standard index"), std::string::npos);
    }
}

TEST(AviParser, NonDvFilesAreNeitherType)
{
    Bytes b = WrittenFile(AviType::Type2, 3, {});
    std::copy_n("mjpg", 4, b.begin() + 112); // fccHandler
    std::copy_n("MJPG", 4, b.begin() + 164 + 8 + 16); // biCompression
    avi::MemoryFile file(b);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_EQ(parser.AviTypeCode(), 0);
    EXPECT_EQ(parser.VideoStream(), -1);
    EXPECT_FALSE(parser.IsConsistent());

    avi::MemoryFile empty;
    EXPECT_EQ(parser.Parse(empty), AviResult::NotAvi);
    Bytes headOnly(b.begin(), b.begin() + 12);
    avi::MemoryFile head(headOnly);
    EXPECT_EQ(parser.Parse(head), AviResult::Damaged);
}

// Opt-in with the large test: an OpenDML file of ffmpeg's own (over 1 GiB) reads back.
TEST(LargeFile, ParserReadsFfmpegOpenDmlFiles)
{
    if (!std::getenv("PLOVER_AVI_LARGE_TEST") || !HaveFfmpeg())
        GTEST_SKIP() << "set PLOVER_AVI_LARGE_TEST=1 (and install ffmpeg) for ffmpeg's files over 1 GiB";
    const char* dir = std::getenv("PLOVER_AVI_LARGE_DIR");
    const auto path = (dir ? std::filesystem::path(dir) : TempDir()) / "ffmpeg-odml.avi";
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -nostdin -f lavfi -i testsrc2=size=720x576:rate=25 -f lavfi -i sine=sample_rate=48000 "
                         "-t 320 -pix_fmt yuv420p -c:v dvvideo -c:a pcm_s16le -ac 2 '" + path.string() + "'"),
              0);
    avi::StdioFile file;
    ASSERT_TRUE(file.Open(path.string(), avi::StdioFile::Mode::Read));
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(file), AviResult::Ok);
    EXPECT_EQ(parser.GetIndexSource(), avi::IndexSource::OpenDml);
    EXPECT_GE(parser.Segments().size(), 2u);
    EXPECT_EQ(parser.Frames().size(), 8000u);
    EXPECT_TRUE(parser.IsConsistent());
    Bytes frame;
    ASSERT_EQ(parser.ReadFrame(7999, frame), AviResult::Ok);
    EXPECT_EQ(frame.size(), avi::kFrameSize625);
    file.Close();
    std::filesystem::remove(path);
}

namespace {

// The program's file readers walk a file their own simple way: step into every "RIFF" and
// "LIST", read every other chunk whole with no pad byte skipped, take type, rate and length from
// the first "strh", and the drops from the standard indexes of the first "indx". This walk
// checks that our files give them what they need.
struct WalkResult {
    bool bOk = false;
    int nType = 0;
    int nFormat = 0;
    std::uint32_t nTotal = 0;
    std::vector<std::uint32_t> drops;
    std::uint64_t nFirstFramePos = 0;
    std::uint32_t nFirstFrameSize = 0;
};

WalkResult WalkLikeTheFileReaders(const Bytes& b)
{
    WalkResult r;
    std::uint64_t pos = 0;
    std::uint32_t counter = 0;
    while (pos + 8 <= b.size()) {
        const std::string code(b.begin() + pos, b.begin() + pos + 4);
        const std::uint32_t size = avi::ReadLe32(&b[pos + 4]);
        if (code == "RIFF" || code == "LIST") {
            pos += 12;
            continue;
        }
        if (pos + 8 + size > b.size())
            return r;
        if (code == "strh" && r.nType == 0) {
            const std::string type(b.begin() + pos + 8, b.begin() + pos + 12);
            const std::string handler(b.begin() + pos + 12, b.begin() + pos + 16);
            r.nType = handler == "dvsd" ? (type == "iavs" ? 1 : type == "vids" ? 2 : 0) : 0;
            const std::uint32_t scale = avi::ReadLe32(&b[pos + 28]);
            r.nFormat = scale && avi::ReadLe32(&b[pos + 32]) / scale == 25 ? 2 : 1;
            r.nTotal = avi::ReadLe32(&b[pos + 40]);
        } else if (code == "indx") {
            const std::uint32_t n = avi::ReadLe32(&b[pos + 12]);
            for (std::uint32_t i = 0; i < n; ++i) {
                const std::uint64_t ix = avi::ReadLe64(&b[pos + 32 + 16 * i]);
                if (b[ix] != 'i' || b[ix + 1] != 'x')
                    continue;
                const std::uint32_t entries = avi::ReadLe32(&b[ix + 12]);
                const std::uint64_t base = avi::ReadLe64(&b[ix + 20]);
                for (std::uint32_t e = 0; e < entries; ++e) {
                    const std::uint32_t offset = avi::ReadLe32(&b[ix + 32 + 8 * e]);
                    if (i == 0 && e == 0) {
                        r.nFirstFramePos = base + offset;
                        r.nFirstFrameSize = avi::ReadLe32(&b[ix + 36]);
                    }
                    if (offset == 0)
                        r.drops.push_back(counter);
                    ++counter;
                }
            }
            r.bOk = r.nType != 0 && r.nTotal != 0 && counter == r.nTotal;
            return r;
        }
        pos += 8 + size;
    }
    return r;
}

} // namespace

TEST(FileReaderWalk, OurFilesGiveTheProgramsReadersTypeLengthDropsAndFirstFrame)
{
    struct Case {
        AviType type;
        VideoSystem system;
        std::vector<std::uint32_t> drops;
        std::uint64_t segment;
    };
    const Case cases[] = {{AviType::Type1, VideoSystem::System525_60, {}, 1u << 30},
                          {AviType::Type2, VideoSystem::System625_50, {100, 101}, 1u << 30},
                          {AviType::Type2, VideoSystem::System525_60, {0, 59, 60, 129}, 2u << 20},
                          {AviType::Type1, VideoSystem::System625_50, {3, 129}, 1u << 20}};
    for (const Case& c : cases) {
        Recording rec;
        rec.recipe.system = c.system;
        rec.recipe.bWide = true;
        rec.options = OptionsFor(c.type, rec.recipe);
        rec.options.nSegmentBytes = c.segment;
        rec.nFrames = 130;
        rec.drops = c.drops;
        avi::MemoryFile file;
        ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);
        const WalkResult r = WalkLikeTheFileReaders(file.Bytes());
        SCOPED_TRACE(static_cast<int>(c.type));
        EXPECT_TRUE(r.bOk);
        EXPECT_EQ(r.nType, static_cast<int>(c.type));
        EXPECT_EQ(r.nFormat, static_cast<int>(c.system));
        EXPECT_EQ(r.nTotal, 130u);
        EXPECT_EQ(r.drops, c.drops);
        // The aspect reader refuses a first frame under 500 bytes: a dropped one has size 0.
        if (!c.drops.empty() && c.drops[0] == 0) {
            EXPECT_LT(r.nFirstFrameSize, 500u);
        } else {
            ASSERT_EQ(r.nFirstFrameSize, avi::FrameSizeOf(c.system));
            const Bytes& b = file.Bytes();
            avi::DvFrameFacts facts;
            avi::ReadDvFrameFacts(std::span<const std::uint8_t>(b.data() + r.nFirstFramePos, r.nFirstFrameSize), &facts);
            EXPECT_EQ(facts.nWide, 1);
        }
    }
}
