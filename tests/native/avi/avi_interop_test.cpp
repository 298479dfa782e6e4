// ffmpeg as the oracle: ffprobe finds every recorded frame of our files, and in a Type 2 file
// counts the stream length with dropped frames as gaps in the time stamps; ffmpeg decodes the
// files without errors; and the parser reads the Type 2 files that ffmpeg writes.

#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "avi/AviParser.h"
#include "avi/AviRepair.h"

using namespace avitest;
using avi::AviResult;
using avi::AviType;
using avi::VideoSystem;

namespace {

struct ProbeResult {
    int nPackets = -1;
    std::vector<long long> vecPts;
};

// Packets of the first video stream with their time stamps.
ProbeResult ProbeVideo(const std::filesystem::path& path)
{
    std::string out;
    ProbeResult r;
    if (RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=pts -of csv=p=0 '" + path.string() + "'", &out) != 0)
        return r;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            r.vecPts.push_back(std::stoll(line));
    r.nPackets = static_cast<int>(r.vecPts.size());
    return r;
}

bool DecodesCleanly(const std::filesystem::path& path, std::string* pErrors)
{
    return RunCommand("ffmpeg -v error -nostdin -i '" + path.string() + "' -f null - 2>&1", pErrors) == 0 && pErrors->empty();
}

Recording RealRecording(AviType type, VideoSystem system, std::uint32_t frames, std::vector<std::uint32_t> drops)
{
    Recording rec;
    rec.recipe.system = system;
    rec.realFrames = FfmpegDvFrames(system, 30);
    rec.options = OptionsFor(type, rec.recipe);
    if (!rec.realFrames.empty())
        avi::ReadDvInfoFromFrame(rec.realFrames[0], &rec.options.dvInfo);
    rec.nFrames = frames;
    rec.drops = std::move(drops);
    return rec;
}

} // namespace

class Interop : public ::testing::TestWithParam<std::tuple<AviType, VideoSystem>> {
protected:
    void SetUp() override
    {
        if (!HaveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
    }
};

TEST_P(Interop, FfprobeCountsFramesAndDropsAsTheStreamLengthSays)
{
    const auto [type, system] = GetParam();
    Recording rec = RealRecording(type, system, 90, {0, 31, 32, 89});
    ASSERT_FALSE(rec.realFrames.empty());
    rec.options.nSegmentBytes = 4u << 20; // several AVIX segments
    const auto path = TempFile("interop.avi");
    {
        avi::StdioFile file;
        ASSERT_TRUE(file.Open(path.string(), avi::StdioFile::Mode::Create));
        ASSERT_EQ(WriteRecording(file, rec), AviResult::Ok);
    }
    const ProbeResult probe = ProbeVideo(path);
    // Every recorded frame is a packet.
    ASSERT_EQ(probe.nPackets, static_cast<int>(rec.nFrames - rec.drops.size()));
    std::vector<long long> expected;
    if (type == AviType::Type2) {
        // A dropped frame leaves its time stamp out, and the stream counts it.
        for (std::uint32_t n = 0; n < rec.nFrames; ++n)
            if (!std::binary_search(rec.drops.begin(), rec.drops.end(), n))
                expected.push_back(n);
        std::string count;
        RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 '" + path.string() + "'",
                   &count);
        EXPECT_EQ(count, std::to_string(rec.nFrames) + "\n");
    } else {
        // ffmpeg splits the one interleaved stream itself and numbers the frames it finds.
        for (int n = 0; n < probe.nPackets; ++n)
            expected.push_back(n);
    }
    EXPECT_EQ(probe.vecPts, expected);
    std::string errors;
    EXPECT_TRUE(DecodesCleanly(path, &errors)) << errors;
    if (!HasFailure())
        std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(TypesAndSystems, Interop,
                         ::testing::Combine(::testing::Values(AviType::Type1, AviType::Type2),
                                            ::testing::Values(VideoSystem::System525_60, VideoSystem::System625_50)));

TEST(InteropFfmpegFiles, ParserReadsType2FilesThatFfmpegWrites)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const VideoSystem system : {VideoSystem::System525_60, VideoSystem::System625_50}) {
        const bool b625 = system == VideoSystem::System625_50;
        const auto path = TempFile(b625 ? "ffmpeg625.avi" : "ffmpeg525.avi");
        const std::string cmd = std::string("ffmpeg -v error -y -nostdin -f lavfi -i testsrc2=size=") +
                                (b625 ? "720x576:rate=25" : "720x480:rate=30000/1001") +
                                " -f lavfi -i sine=sample_rate=48000 -t 2 -pix_fmt " + (b625 ? "yuv420p" : "yuv411p") +
                                " -c:v dvvideo -c:a pcm_s16le -ac 2 '" + path.string() + "'";
        ASSERT_EQ(RunCommand(cmd), 0);
        avi::StdioFile file;
        ASSERT_TRUE(file.Open(path.string(), avi::StdioFile::Mode::Read));
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(file), AviResult::Ok);
        EXPECT_EQ(parser.AviTypeCode(), 2);
        EXPECT_EQ(parser.GetVideoSystem(), system);
        const std::uint32_t frames = b625 ? 50 : 60;
        EXPECT_EQ(parser.DeclaredLength(), frames);
        EXPECT_EQ(parser.Frames().size(), frames);
        EXPECT_TRUE(parser.IsConsistent());
        EXPECT_TRUE(parser.DroppedFrames().empty());
        ASSERT_EQ(parser.AudioStream(), 1);
        std::uint64_t audioBytes = 0;
        for (const auto& chunk : parser.AudioChunks())
            audioBytes += chunk.nSize;
        EXPECT_EQ(audioBytes, 2u * 48000 * 4);
        Bytes frame;
        ASSERT_EQ(parser.ReadFrame(frames - 1, frame), AviResult::Ok);
        EXPECT_EQ(frame.size(), avi::FrameSizeOf(system));
        avi::VideoSystem fromFrame;
        ASSERT_TRUE(avi::ReadDvVideoSystem(frame, &fromFrame));
        EXPECT_EQ(fromFrame, system);
        file.Close();
        std::filesystem::remove(path);
    }
}

TEST(InteropFfmpegFiles, CutOffFfmpegFileIsWalkedAndRepaired)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const auto path = TempFile("ffmpeg-cut.avi");
    ASSERT_EQ(RunCommand("ffmpeg -v error -y -nostdin -f lavfi -i testsrc2=size=720x480:rate=30000/1001 -f lavfi -i "
                         "sine=sample_rate=48000 -t 2 -pix_fmt yuv411p -c:v dvvideo -c:a pcm_s16le -ac 2 '" +
                         path.string() + "'"),
              0);
    // ffmpeg writes its sizes and its index at the end: a cut file has neither.
    Bytes bytes = ReadWholeFile(path);
    bytes.resize(bytes.size() * 6 / 10);
    avi::MemoryFile cut(bytes);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(cut), AviResult::Ok);
    EXPECT_EQ(parser.GetIndexSource(), avi::IndexSource::Scan);
    const std::size_t found = parser.Frames().size();
    EXPECT_GE(found, 30u);
    EXPECT_LE(found, 37u);
    avi::MemoryFile repaired;
    avi::RepairReport report;
    ASSERT_EQ(avi::RepairAvi(cut, repaired, avi::RepairOptions(), &report), AviResult::Ok);
    EXPECT_EQ(report.nFramesWritten, found);
    EXPECT_GT(report.nAudioChunks, 0u);
    avi::AviParser again;
    ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
    EXPECT_TRUE(again.IsConsistent());
    EXPECT_EQ(again.AviTypeCode(), 2);
    Bytes a;
    Bytes b;
    ASSERT_EQ(parser.ReadFrame(static_cast<std::uint32_t>(found - 1), a), AviResult::Ok);
    ASSERT_EQ(again.ReadFrame(static_cast<std::uint32_t>(found - 1), b), AviResult::Ok);
    EXPECT_TRUE(a == b);
    std::filesystem::remove(path);
}
