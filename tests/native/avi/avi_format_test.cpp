// Time code texts, the grouping of drops by second as the recording log shows it, and the DV
// frame facts and packs read from a frame's bytes.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "avi/Timecode.h"

using namespace avitest;
using avi::Timecode;
using avi::VideoSystem;

TEST(Timecode, LengthsAndTexts)
{
    EXPECT_EQ(avi::FormatLength(VideoSystem::System525_60, 108000), "1:00:03");
    EXPECT_EQ(avi::FormatLength(VideoSystem::System625_50, 90000), "1:00:00");
    EXPECT_EQ(avi::FormatLength(VideoSystem::System625_50, 0), "0:00:00");
    EXPECT_EQ(avi::FormatTimecode(Timecode{1, 2, 3, 4}), "01:02:03:04");
    EXPECT_EQ(avi::FormatTimecode(Timecode{}), "-1:-1:-1:-1");
}

TEST(DropGroups, DropsAreGroupedByTheSecondOfTheirTimecode)
{
    using avi::DropSecond;
    // 525/60: frame 1799 is in second 59, frame 1800 (00:01:00:02) in second 60.
    EXPECT_EQ(avi::GroupDropsBySecond(VideoSystem::System525_60, {1797, 1798, 1799, 1800}),
              (std::vector<DropSecond>{{59, 3}, {60, 1}}));
    EXPECT_EQ(avi::GroupDropsBySecond(VideoSystem::System625_50, {1499, 1500, 1501}),
              (std::vector<DropSecond>{{59, 1}, {60, 2}}));
    EXPECT_TRUE(avi::GroupDropsBySecond(VideoSystem::System625_50, {}).empty());
    // Drops in different seconds stay apart even when the same second comes back later.
    EXPECT_EQ(avi::GroupDropsBySecond(VideoSystem::System625_50, {0, 24, 25, 90000}),
              (std::vector<DropSecond>{{0, 2}, {1, 1}, {3600, 1}}));
    const int second = 3600 + 2 * 60 + 3;
    EXPECT_EQ(avi::FormatDropLine(DropSecond{second, 7}), " 1:02:03 7");
    EXPECT_EQ(avi::FormatDropLine(DropSecond{59, 1}), " 0:00:59 1");
}

TEST(DvFrameFacts, TimecodeIsUnknownWithoutItsPackOrWithFrameByteFF)
{
    FrameRecipe recipe;
    recipe.timecode = {12, 34, 56, 23};
    Bytes frame = MakeDvFrame(recipe, 0);
    avi::DvFrameFacts facts;
    avi::ReadDvFrameFacts(frame, &facts);
    EXPECT_EQ(facts.timecode, (Timecode{12, 34, 56, 23}));

    recipe.bTimecodeUnknown = true;
    frame = MakeDvFrame(recipe, 0);
    facts.timecode = Timecode{1, 1, 1, 1};
    avi::ReadDvFrameFacts(frame, &facts);
    EXPECT_EQ(facts.timecode, Timecode{});

    recipe.bTimecodeUnknown = false;
    frame = MakeDvFrame(recipe, 0);
    frame[110] = 0x14; // not the time code pack
    avi::ReadDvFrameFacts(frame, &facts);
    EXPECT_FALSE(facts.timecode.IsKnown());
}

TEST(DvFrameFacts, WideScreenFlagFollowsDisplayModeAndBroadcastSystem)
{
    Bytes frame = MakeDvFrame(FrameRecipe{}, 0);
    struct Case {
        int bcsys, disp, wide;
    };
    const Case cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 1}, {0, 3, 0}, {0, 7, 0}, {1, 0, 0}, {1, 2, 0},
                          {1, 3, 1}, {1, 4, 1}, {1, 5, 1}, {1, 6, 0}, {1, 7, 1}, {2, 2, 0}, {3, 7, 0}};
    for (const Case& c : cases) {
        frame[455] = static_cast<std::uint8_t>(0xF8 | c.disp);
        frame[456] = static_cast<std::uint8_t>(0xFC | c.bcsys);
        avi::DvFrameFacts facts;
        facts.nWide = 5;
        avi::ReadDvFrameFacts(frame, &facts);
        EXPECT_EQ(facts.nWide, c.wide) << "BCSYS " << c.bcsys << " DISP " << c.disp;
    }
    frame[453] = 0x60; // no source control pack: 4:3
    avi::DvFrameFacts facts;
    facts.nWide = 1;
    avi::ReadDvFrameFacts(frame, &facts);
    EXPECT_EQ(facts.nWide, 0);
}

TEST(DvFrameFacts, FrameModeAndShortFrames)
{
    FrameRecipe recipe;
    for (const auto& [byte, mode] : std::vector<std::pair<int, int>>{{0x60, 60}, {0x30, 30}, {0x24, 24}, {0x25, 60}}) {
        recipe.nFrameModeByte = byte;
        avi::DvFrameFacts facts;
        facts.nFrameMode = 0;
        avi::ReadDvFrameFacts(MakeDvFrame(recipe, 0), &facts);
        EXPECT_EQ(facts.nFrameMode, mode) << byte;
    }
    // A frame too short for the packs leaves the caller's presets alone.
    avi::DvFrameFacts facts;
    facts.nWide = 1;
    facts.nFrameMode = 30;
    facts.timecode = Timecode{0, 0, 0, 1};
    const Bytes tiny(100, 0x61);
    avi::ReadDvFrameFacts(tiny, &facts);
    EXPECT_EQ(facts.nWide, 1);
    EXPECT_EQ(facts.nFrameMode, 30);
    EXPECT_EQ(facts.timecode, (Timecode{0, 0, 0, 1}));
}

TEST(DvPacks, DvInfoTakesThePacksOfBothAudioBlocksAndTheVaux)
{
    FrameRecipe recipe;
    recipe.system = VideoSystem::System625_50;
    recipe.nSampleRate = 32000;
    const Bytes frame = MakeDvFrame(recipe, 0);
    avi::disk::DvInfo info;
    ASSERT_TRUE(avi::ReadDvInfoFromFrame(frame, &info));
    EXPECT_EQ(info.dwDVAAuxSrc, 0x10E000D0u);  // data bytes D0 00 E0 10: 32 kHz, first audio block
    EXPECT_EQ(info.dwDVAAuxSrc1, 0x10E001D0u); // the second block's pack (sequences 6..11)
    EXPECT_EQ(info.dwDVAAuxCtl, 0xFFA0CF33u);
    EXPECT_EQ(info.dwDVAAuxCtl1, 0xF9A0CF33u); // found first in sequence 6
    EXPECT_EQ(info.dwDVVAuxSrc, 0xFF20FFFFu);
    EXPECT_EQ(info.dwDVVAuxCtl, 0xFFFC00FFu);
    EXPECT_EQ(info.dwDVReserved[0], 0u);
    avi::AudioFormat format;
    ASSERT_TRUE(avi::AudioFormatFromDvInfo(info, &format));
    EXPECT_EQ(format.nSamplesPerSec, 32000u);
    avi::VideoSystem system;
    ASSERT_TRUE(avi::ReadDvVideoSystem(frame, &system));
    EXPECT_EQ(system, VideoSystem::System625_50);

    // Missing packs read as "no information"; a short buffer is refused.
    Bytes blank(avi::kFrameSize525, 0);
    ASSERT_TRUE(avi::ReadDvInfoFromFrame(blank, &info));
    EXPECT_EQ(info.dwDVAAuxSrc, 0xFFFFFFFFu);
    EXPECT_EQ(info.dwDVVAuxCtl, 0xFFFFFFFFu);
    EXPECT_FALSE(avi::AudioFormatFromDvInfo(info, &format));
    EXPECT_FALSE(avi::ReadDvInfoFromFrame(Bytes(1000, 0), &info));
}

TEST(DvPacks, AudioRateOfEachSampleCode)
{
    for (const std::uint32_t rate : {48000u, 44100u, 32000u}) {
        FrameRecipe recipe;
        recipe.nSampleRate = rate;
        avi::AudioFormat format;
        ASSERT_TRUE(avi::ReadDvAudioFormat(MakeDvFrame(recipe, 0), &format));
        EXPECT_EQ(format.nSamplesPerSec, rate);
        EXPECT_EQ(format.BlockAlign(), 4);
    }
    Bytes frame = MakeDvFrame(FrameRecipe{}, 0);
    for (std::size_t s = 0; s < 5; ++s)
        frame[s * avi::kDifSequenceSize + (6 + 16 * 3) * 80 + 3 + 4] = 3 << 3; // a reserved sample code
    avi::AudioFormat format;
    EXPECT_FALSE(avi::ReadDvAudioFormat(frame, &format));
}

TEST(DvPacks, RealFramesFromFfmpegGiveTheirSystemAndRate)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const VideoSystem system : {VideoSystem::System525_60, VideoSystem::System625_50}) {
        const auto frames = FfmpegDvFrames(system, 30);
        ASSERT_FALSE(frames.empty());
        avi::VideoSystem found;
        ASSERT_TRUE(avi::ReadDvVideoSystem(frames[0], &found));
        EXPECT_EQ(found, system);
        avi::disk::DvInfo info;
        ASSERT_TRUE(avi::ReadDvInfoFromFrame(frames[0], &info));
        avi::AudioFormat format;
        ASSERT_TRUE(avi::AudioFormatFromDvInfo(info, &format));
        EXPECT_EQ(format.nSamplesPerSec, 48000u);
        EXPECT_NE(info.dwDVVAuxSrc, 0xFFFFFFFFu);
    }
}
