// plover-avi as a user runs it: info prints the drops grouped by second as the recording log
// does, check tells a consistent index from a broken one, repair rebuilds a cut-off file in
// place and keeps the original as a backup.

#include <gtest/gtest.h>

#include <algorithm>

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

namespace {

int DvTool(const std::string& args, std::string* pOut)
{
    return RunCommand(std::string(PLOVER_DV_TOOL) + " " + args + " 2>&1", pOut);
}

bool Has(const std::string& out, const std::string& text)
{
    return out.find(text) != std::string::npos;
}

} // namespace

TEST(AviTool, CheckTellsALegacyIndexFromDamageAndRepairRewritesItOnlyWhenForced)
{
    Recording rec;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    rec.nFrames = 12;
    const auto path = WriteFile("legacy.avi", rec);
    // Without its super index the file has only the "idx1" that older writers leave.
    Bytes bytes = ReadWholeFile(path);
    const std::size_t indx = std::string(bytes.begin(), bytes.end()).find("indx");
    ASSERT_NE(indx, std::string::npos);
    std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(indx));
    WriteWholeFile(path, bytes);
    const std::string file = "'" + path.string() + "'";

    std::string out;
    EXPECT_EQ(Tool("check " + file, &out), 3) << out;
    EXPECT_TRUE(Has(out, ": readable, but indexed only by a legacy idx1 (12 index entries, stream length 12); it lacks "
                         "the OpenDML index that the program's dropped-frame reader needs"))
        << out;
    EXPECT_FALSE(Has(out, "NOT consistent")) << out;
    EXPECT_EQ(Tool("repair " + file, &out), 0) << out;
    EXPECT_TRUE(Has(out, "not damaged, but indexed only by a legacy idx1")) << out;
    EXPECT_EQ(ReadWholeFile(path), bytes);
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".bak"));

    ASSERT_EQ(Tool("repair --force " + file, &out), 0) << out;
    EXPECT_TRUE(Has(out, "recovered: 12 frames (0 dropped")) << out;
    EXPECT_EQ(Tool("check " + file, &out), 0) << out;
    // A damaged file is told apart: cut it.
    bytes = ReadWholeFile(path);
    bytes.resize(bytes.size() - 200000);
    WriteWholeFile(path, bytes);
    EXPECT_EQ(Tool("check " + file, &out), 1) << out;
    for (const char* suffix : {"", ".bak"})
        std::filesystem::remove(path.string() + suffix);
}

TEST(AviTool, RepairLeavesOutWhatIsNotAFrameAndSaysSo)
{
    // Frame 5's size says 2, frame 9's size has a flipped bit, and the idx1 size is 0: frames
    // 5 and 9 become drops, the other frames keep their numbers, ffprobe counts them all.
    Recording rec;
    rec.recipe.system = VideoSystem::System625_50;
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.nFrames = 16;
    rec.drops = {2};
    const auto path = WriteFile("notframes.avi", rec);
    Bytes bytes = ReadWholeFile(path);
    avi::MemoryFile whole(bytes);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(whole), AviResult::Ok);
    avi::WriteLe32(&bytes[parser.Frames()[5].nPos - 4], 2);
    bytes[parser.Frames()[9].nPos - 2] ^= 0x04;
    const std::size_t idx1 = std::string(bytes.begin(), bytes.end()).find("idx1");
    ASSERT_NE(idx1, std::string::npos);
    avi::WriteLe32(&bytes[idx1 + 4], 0);
    WriteWholeFile(path, bytes);
    const std::string file = "'" + path.string() + "'";

    std::string out;
    EXPECT_EQ(Tool("check " + file, &out), 1) << out;
    ASSERT_EQ(Tool("repair " + file, &out), 0) << out;
    EXPECT_TRUE(Has(out, "numbered by: the surviving OpenDML standard indexes")) << out;
    EXPECT_TRUE(Has(out, "recovered: 16 frames (3 dropped")) << out;
    EXPECT_TRUE(Has(out, "damaged: 2 frames whose chunks were unusable are kept as dropped frames")) << out;
    EXPECT_TRUE(Has(out, "left out: 2 chunks of a size their stream cannot hold")) << out;
    ASSERT_EQ(Tool("check " + file, &out), 0) << out;
    ASSERT_EQ(Tool("info " + file, &out), 0) << out;
    EXPECT_TRUE(Has(out, "Dropped frames: 3\n 0:00:00 3\n")) << out;
    if (HaveFfmpeg()) {
        ASSERT_EQ(RunCommand("ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets "
                             "-of csv=p=0 " + file, &out), 0);
        EXPECT_EQ(std::stoul(out), 13u) << "the recorded frames, the drops have no packet";
        ASSERT_EQ(RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 " + file, &out), 0);
        EXPECT_EQ(std::stoul(out), 16u) << "the frame count repair reported";
    }
    for (const char* suffix : {"", ".bak"})
        std::filesystem::remove(path.string() + suffix);
}

TEST(AviTool, WithEveryStandardIndexLostRepairNumbersTheFramesByTheLegacyIndex)
{
    // The video and audio standard indexes overwritten, the idx1 kept, frame 25's size damaged:
    // the idx1's repeated and empty entries still give the drops (the first and last frames
    // among them), frame 25 becomes one more, and every other frame keeps its number.
    Recording rec;
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.nFrames = 40;
    rec.drops = {0, 3, 17, 18, 39};
    const auto path = WriteFile("idx1only.avi", rec);
    Bytes bytes = ReadWholeFile(path);
    {
        avi::MemoryFile whole(bytes);
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(whole), AviResult::Ok);
        ASSERT_EQ(parser.Streams().size(), 2u);
        int destroyed = 0;
        for (const auto& stream : parser.Streams()) {
            for (const auto& entry : stream.vecSuperIndex) {
                std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(entry.qwOffset), 32, 0xEE);
                ++destroyed;
            }
        }
        ASSERT_GE(destroyed, 2);
        avi::WriteLe32(&bytes[parser.Frames()[25].nPos - 4], 7);
    }
    WriteWholeFile(path, bytes);
    const std::string file = "'" + path.string() + "'";

    std::string out;
    EXPECT_EQ(Tool("check " + file, &out), 1) << out;
    ASSERT_EQ(Tool("repair " + file, &out), 0) << out;
    EXPECT_TRUE(Has(out, "numbered by: the legacy idx1\n")) << out;
    EXPECT_TRUE(Has(out, "recovered: 40 frames (6 dropped, 0 found after the last index entry)")) << out;
    EXPECT_TRUE(Has(out, "damaged: 1 frames whose chunks were unusable")) << out;
    ASSERT_EQ(Tool("check " + file, &out), 0) << out;

    avi::StdioFile repaired;
    ASSERT_TRUE(repaired.Open(path.string(), avi::StdioFile::Mode::Read));
    avi::AviParser again;
    ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
    ASSERT_EQ(again.Frames().size(), 40u);
    const std::vector<std::uint32_t> dropped = {0, 3, 17, 18, 25, 39};
    for (std::uint32_t n = 0; n < 40; ++n) {
        SCOPED_TRACE("frame " + std::to_string(n));
        const bool bDrop = std::find(dropped.begin(), dropped.end(), n) != dropped.end();
        EXPECT_EQ(again.Frames()[n].IsDropped(), bDrop);
        if (bDrop)
            continue;
        Bytes frame;
        ASSERT_EQ(again.ReadFrame(n, frame), AviResult::Ok);
        EXPECT_EQ(StampOf(frame), n);
    }
    repaired.Close();
    for (const char* suffix : {"", ".bak"})
        std::filesystem::remove(path.string() + suffix);
}

TEST(AviTool, AVideoOnlyType2FileKeepsItsStreamsThroughRepair)
{
    Recording rec;
    rec.options = OptionsFor(AviType::Type2, rec.recipe);
    rec.options.bAudioStream = false;
    rec.nFrames = 20;
    const auto path = WriteFile("videoonly.avi", rec);
    Bytes bytes = ReadWholeFile(path);
    avi::MemoryFile whole(bytes);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(whole), AviResult::Ok);
    ASSERT_EQ(parser.Streams().size(), 1u);
    bytes.resize(parser.Frames()[15].nPos + 5000);
    WriteWholeFile(path, bytes);
    std::string out;
    ASSERT_EQ(Tool("repair '" + path.string() + "'", &out), 0) << out;
    EXPECT_TRUE(Has(out, "recovered: 15 frames (0 dropped")) << out;
    avi::StdioFile repaired;
    ASSERT_TRUE(repaired.Open(path.string(), avi::StdioFile::Mode::Read));
    avi::AviParser again;
    ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
    EXPECT_EQ(again.AviTypeCode(), 2);
    EXPECT_EQ(again.Streams().size(), 1u);
    EXPECT_EQ(again.AudioStream(), -1);
    EXPECT_TRUE(again.IsConsistent());
    for (const char* suffix : {"", ".bak"})
        std::filesystem::remove(path.string() + suffix);
}

TEST(DvTool, DamagedFilesAreCountedAndExplainedNotGivenUp)
{
    std::string out;
    // An AVI file of the right type that holds no frames says so.
    Recording empty;
    empty.options = OptionsFor(AviType::Type1, empty.recipe);
    const auto emptyPath = WriteFile("empty.avi", empty);
    EXPECT_EQ(DvTool("info '" + emptyPath.string() + "'", &out), 1);
    EXPECT_TRUE(Has(out, "is an AVI Type 1 DV file that holds no frames")) << out;

    // An index entry pointing outside the file is one unreadable frame among the others.
    Recording rec;
    rec.options = OptionsFor(AviType::Type1, rec.recipe);
    rec.nFrames = 6;
    const auto path = WriteFile("badentry.avi", rec);
    Bytes bytes = ReadWholeFile(path);
    avi::MemoryFile whole(bytes);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(whole), AviResult::Ok);
    const std::uint64_t ix = parser.Streams()[0].vecSuperIndex[0].qwOffset;
    avi::WriteLe32(&bytes[ix + 32 + 8 * 2], 0x7FFFFFF0); // entry 2's offset
    WriteWholeFile(path, bytes);
    EXPECT_EQ(DvTool("info '" + path.string() + "'", &out), 0) << out;
    EXPECT_TRUE(Has(out, "frames: 6 (0.20 s), 0 dropped, 1 unreadable")) << out;

    // A raw DV file whose first frame has a flipped system bit is still read as 625/50.
    const auto raw = TempFile("flipped.dv");
    ASSERT_EQ(DvTool("encode-pattern '" + raw.string() + "' --system 625 --seconds 0.4", &out), 0) << out;
    Bytes dv = ReadWholeFile(raw);
    ASSERT_EQ(dv.size(), 10u * 144000);
    dv[3] ^= 0x80;
    WriteWholeFile(raw, dv);
    EXPECT_EQ(DvTool("info '" + raw.string() + "'", &out), 0) << out;
    EXPECT_TRUE(Has(out, "system: 625/50")) << out;
    EXPECT_TRUE(Has(out, "frames: 10 (0.40 s), 0 dropped, 0 unreadable")) << out;
    // Zeros after the last frame, and a zeroed frame among the others: the tail holds no
    // frames, the zeroed frame is an unreadable one.
    std::fill_n(dv.begin() + 3 * 144000, 144000, 0);
    dv.resize(dv.size() + 5 * 144000 + 1000, 0);
    WriteWholeFile(raw, dv);
    EXPECT_EQ(DvTool("info '" + raw.string() + "'", &out), 0) << out;
    EXPECT_TRUE(Has(out, "raw DV; 721000 zero bytes at the end, where the data never came, are no frames")) << out;
    EXPECT_TRUE(Has(out, "frames: 10 (0.40 s), 0 dropped, 1 unreadable")) << out;
    for (const auto& p : {emptyPath, path, raw})
        std::filesystem::remove(p);
}
