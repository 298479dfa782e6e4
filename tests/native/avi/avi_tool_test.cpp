// plover-avi as a user runs it: info prints the drops grouped by second as the recording log
// does, check tells a consistent index from a broken one, repair rebuilds a cut-off file in
// place and keeps the original as a backup.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "avi/AviParser.h"
#include "avi/ByteOrder.h"

using namespace avitest;
using avi::AviResult;
using avi::AviType;
using avi::VideoSystem;

namespace {

int Tool(const std::string& args, std::string* pOut)
{
    return RunCommand(std::string(PLOVER_AVI_TOOL) + " " + args + " 2>&1", pOut);
}

std::filesystem::path WriteFile(const std::string& name, const Recording& rec)
{
    const auto path = TempFile(name);
    avi::StdioFile file;
    EXPECT_TRUE(file.Open(path.string(), avi::StdioFile::Mode::Create));
    EXPECT_EQ(WriteRecording(file, rec), AviResult::Ok);
    return path;
}

} // namespace

TEST(AviTool, InfoShowsTheFileAndItsDropsBySecond)
{
    Recording rec;
    rec.recipe.bWide = true;
    rec.recipe.nFrameModeByte = 0x24;
    rec.recipe.timecode = {0, 12, 34, 5};
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.nFrames = 130;
    rec.drops = {0, 1, 2, 29, 30, 31, 129};
    const auto path = WriteFile("info.avi", rec);
    std::string out;
    ASSERT_EQ(Tool("info '" + path.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("Type:           AVI Type 2 (vids/dvsd)"), std::string::npos) << out;
    EXPECT_NE(out.find("Video system:   525/60"), std::string::npos) << out;
    EXPECT_NE(out.find("Frames:         130"), std::string::npos) << out;
    EXPECT_NE(out.find("Length:         0:00:04"), std::string::npos) << out;
    EXPECT_NE(out.find("First frame:    dropped; the first recorded frame is 3"), std::string::npos) << out;
    EXPECT_NE(out.find("Aspect:         16:9"), std::string::npos) << out;
    EXPECT_NE(out.find("Frame mode:     24"), std::string::npos) << out;
    EXPECT_NE(out.find("Time code:      00:12:34:05"), std::string::npos) << out;
    // Frames 29 and 30 straddle a second in drop-frame counting; 129 is in second 4.
    EXPECT_NE(out.find("Dropped frames: 7\n 0:00:00 4\n 0:00:01 2\n 0:00:04 1\n"), std::string::npos) << out;
    std::filesystem::remove(path);
}

TEST(AviTool, CheckAndRepairOfACutOffFile)
{
    Recording rec;
    rec.recipe.system = VideoSystem::System625_50;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    rec.options.nSegmentBytes = 1u << 20;
    rec.nFrames = 60;
    rec.drops = {10, 11, 55}; // 55 lies in the part that will be cut off
    const auto path = WriteFile("cut.avi", rec);
    std::string out;
    ASSERT_EQ(Tool("check '" + path.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find(": consistent (60 index entries, stream length 60)"), std::string::npos) << out;
    ASSERT_EQ(Tool("repair '" + path.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("already consistent"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".bak"));

    // Cut the file in the middle of frame 45: its index now points past the end.
    Bytes bytes = ReadWholeFile(path);
    avi::MemoryFile whole(bytes);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(whole), AviResult::Ok);
    bytes.resize(parser.Frames()[45].nPos + 1000);
    WriteWholeFile(path, bytes);
    ASSERT_EQ(Tool("check '" + path.string() + "'", &out), 1) << out;
    EXPECT_NE(out.find("NOT consistent"), std::string::npos) << out;

    ASSERT_EQ(Tool("repair --segment-mib 1 '" + path.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("recovered: 45 frames (2 dropped"), std::string::npos) << out;
    EXPECT_NE(out.find("backup: " + path.string() + ".bak"), std::string::npos) << out;
    EXPECT_EQ(ReadWholeFile(path.string() + ".bak"), bytes);
    ASSERT_EQ(Tool("check '" + path.string() + "'", &out), 0) << out;
    ASSERT_EQ(Tool("info '" + path.string() + "'", &out), 0) << out;
    EXPECT_NE(out.find("Type:           AVI Type 1 (iavs/dvsd)"), std::string::npos) << out;
    EXPECT_NE(out.find("Audio:          in the DV stream, 48000 Hz"), std::string::npos) << out;
    EXPECT_NE(out.find("Dropped frames: 2\n 0:00:00 2\n"), std::string::npos) << out;

    // A second repair keeps the first backup and takes the next free name.
    ASSERT_EQ(Tool("repair '" + path.string() + "' --force", &out), 0) << out;
    EXPECT_NE(out.find("backup: " + path.string() + ".bak2"), std::string::npos) << out;
    for (const char* suffix : {"", ".bak", ".bak2"})
        std::filesystem::remove(path.string() + suffix);
}

TEST(AviTool, CheckFindsAWrongSuperIndexDurationAndRepairMendsIt)
{
    // The first super index entry of the video (the first "indx") or of the audio (the second)
    // made 4 short, as a writer that forgot the drops would leave it.
    for (const int nIndx : {0, 1}) {
        SCOPED_TRACE(nIndx == 0 ? "video" : "audio");
        Recording rec;
        rec.recipe.system = VideoSystem::System625_50;
        rec.options = OptionsFor(AviType::Type2, rec.recipe);
        rec.options.nSegmentBytes = 1u << 20;
        rec.nFrames = 40;
        rec.drops = {2, 3, 4, 5, 20};
        const auto path = WriteFile("duration.avi", rec);
        Bytes bytes = ReadWholeFile(path);
        std::size_t indx = 0;
        for (int i = 0; i <= nIndx; ++i)
            indx = std::string(bytes.begin(), bytes.end()).find("indx", indx + (i ? 1 : 0));
        ASSERT_NE(indx, std::string::npos);
        const std::size_t duration = indx + 32 + 12; // entry 0's dwDuration
        const std::uint32_t good = avi::ReadLe32(&bytes[duration]);
        ASSERT_GT(good, 4u);
        avi::WriteLe32(&bytes[duration], good - 4);
        WriteWholeFile(path, bytes);

        std::string out;
        ASSERT_EQ(Tool("check '" + path.string() + "'", &out), 1) << out;
        const std::string stream = nIndx == 0 ? "DV stream" : "audio stream";
        EXPECT_NE(out.find("problem: super index entry 0 of the " + stream + " lasts " + std::to_string(good - 4) +
                           " but its standard index covers " + std::to_string(good)),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("problem: the super index durations of the " + stream + " add up to"), std::string::npos) << out;
        EXPECT_NE(out.find("NOT consistent"), std::string::npos) << out;

        ASSERT_EQ(Tool("repair --segment-mib 1 '" + path.string() + "'", &out), 0) << out;
        EXPECT_NE(out.find("recovered: 40 frames (5 dropped"), std::string::npos) << out;
        ASSERT_EQ(Tool("check '" + path.string() + "'", &out), 0) << out;
        const Bytes mended = ReadWholeFile(path);
        EXPECT_EQ(avi::ReadLe32(&mended[duration]), good);
        for (const char* suffix : {"", ".bak"})
            std::filesystem::remove(path.string() + suffix);
    }
}

TEST(AviTool, ReportsFilesItCannotUse)
{
    const auto path = TempFile("text.avi");
    WriteWholeFile(path, Bytes(100, 'x'));
    std::string out;
    EXPECT_EQ(Tool("info '" + path.string() + "'", &out), 2);
    EXPECT_NE(out.find("not an AVI file"), std::string::npos) << out;
    EXPECT_EQ(Tool("repair '" + path.string() + "'", &out), 2);
    EXPECT_EQ(ReadWholeFile(path), Bytes(100, 'x')) << "a failed repair leaves the file alone";
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".bak"));
    EXPECT_EQ(Tool("info /nonexistent/file.avi", &out), 2);
    EXPECT_EQ(Tool("frobnicate x", &out), 2);
    EXPECT_EQ(Tool("check a b", &out), 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
    std::filesystem::remove(path);
}
