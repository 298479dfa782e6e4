// Frame numbers and time codes of both systems, and the DV frame fields read from a frame head.
#include <windows.h>

#include <gtest/gtest.h>

#include "AviTestFiles.h"
#include "files/DvFrameFields.h"
#include "files/Timecode.h"

using namespace avitest;

TEST(TimecodeTest, DropFrameCountingSkipsTwoLabelsAtMinutesNotDivisibleByTen) {
  EXPECT_EQ((Timecode{0, 0, 59, 29}), FrameToTimecode(1, 1799));
  EXPECT_EQ((Timecode{0, 1, 0, 2}), FrameToTimecode(1, 1800));
  EXPECT_EQ((Timecode{0, 9, 59, 29}), FrameToTimecode(1, 17981));
  EXPECT_EQ((Timecode{0, 10, 0, 0}), FrameToTimecode(1, 17982));  // every tenth minute keeps 00
  EXPECT_EQ((Timecode{0, 11, 0, 2}), FrameToTimecode(1, 17982 + 1800));
  EXPECT_EQ((Timecode{1, 0, 3, 18}), FrameToTimecode(1, 108000));
  EXPECT_EQ((Timecode{1, 0, 0, 0}), FrameToTimecode(1, 107892));

  EXPECT_EQ(1800, TimecodeToFrame(1, 0, 1, 0, 0));
  EXPECT_EQ(1800, TimecodeToFrame(1, 0, 1, 0, 1));
  EXPECT_EQ(1800, TimecodeToFrame(1, 0, 1, 0, 2));
  EXPECT_EQ(17982, TimecodeToFrame(1, 0, 10, 0, 0));
  EXPECT_EQ(107892, TimecodeToFrame(1, 1, 0, 0, 0));
}

TEST(TimecodeTest, FramesAndTimecodesConvertBothWaysOverManyHours) {
  for (int nFormat : {1, 2}) {
    Timecode previous = FrameToTimecode(nFormat, 0);
    EXPECT_EQ((Timecode{0, 0, 0, 0}), previous);
    // Every frame of the first twelve minutes, then a sparse walk over a day.
    for (std::int64_t n = 1; n < 2'600'000; n += (n < 21600 ? 1 : 997)) {
      const Timecode tc = FrameToTimecode(nFormat, n);
      ASSERT_EQ(n, TimecodeToFrame(nFormat, tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames)) << nFormat << " " << n;
      ASSERT_LT(tc.nFrames, nFormat == 2 ? 25 : 30);
      ASSERT_LT(tc.nSeconds, 60);
      ASSERT_LT(tc.nMinutes, 60);
      if (n < 21600) {
        // Consecutive frames have consecutive labels, apart from the two that drop-frame skips.
        const int nLast = nFormat == 2 ? 24 : 29;
        const bool bNext = tc.nFrames == previous.nFrames + 1 || (previous.nFrames == nLast && tc.nFrames == 0);
        const bool bSkip = nFormat == 1 && previous.nFrames == nLast && tc.nSeconds == 0 && tc.nFrames == 2 &&
                           tc.nMinutes % 10 != 0;
        ASSERT_TRUE(bNext || bSkip) << nFormat << " " << n;
        ASSERT_FALSE(nFormat == 1 && tc.nSeconds == 0 && tc.nFrames < 2 && tc.nMinutes % 10 != 0) << n;
      }
      previous = tc;
    }
  }
  EXPECT_EQ((Timecode{1, 0, 0, 0}), FrameToTimecode(2, 90000));
  EXPECT_EQ(90000, TimecodeToFrame(2, 1, 0, 0, 0));
  // The frame numbers of a long recording pass 2^31 without overflowing.
  const Timecode late = FrameToTimecode(1, 4'000'000'000LL);
  EXPECT_EQ(4'000'000'000LL, TimecodeToFrame(1, late.nHours, late.nMinutes, late.nSeconds, late.nFrames));
}

TEST(TimecodeTest, TimecodeTextHasTwoDigitsPerPart) {
  EXPECT_EQ(L"01:02:03:04", FormatTimecode(1, 2, 3, 4));
  EXPECT_EQ(L"123:59:59:29", FormatTimecode(123, 59, 59, 29));
  EXPECT_EQ(L"-1:-1:-1:-1", FormatTimecode(-1, -1, -1, -1));
}

TEST(DvFrameFieldsTest, WideScreenFlagFollowsDisplayModeUnderEachBroadcastSystem) {
  struct Case {
    int nBcsys;
    int nDisp;
    int nWide;
  };
  const Case cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 1}, {0, 3, 0}, {0, 7, 0}, {1, 0, 0}, {1, 1, 0},
                        {1, 2, 0}, {1, 3, 1}, {1, 4, 1}, {1, 5, 1}, {1, 6, 0}, {1, 7, 1}, {2, 2, 0}, {3, 3, 0}};
  for (const Case& c : cases) {
    DvHead head;
    head.nBcsys = c.nBcsys;
    head.nDisp = c.nDisp;
    EXPECT_EQ(c.nWide, ReadDvWideScreenFlag(MakeDvFrame(head, kDvFrameHeadBytes).data())) << c.nBcsys << "/" << c.nDisp;
  }
  DvHead noPack = WideHead();
  noPack.bVauxControlPack = false;
  Bytes frame = MakeDvFrame(noPack, kDvFrameHeadBytes);
  frame[455] = 0x02;
  frame[456] = 0x00;
  EXPECT_EQ(0, ReadDvWideScreenFlag(frame.data()));
}

TEST(DvFrameFieldsTest, FrameModeAndTimecodeComeFromTheirPacksOrAreDefaults) {
  const std::pair<std::uint8_t, int> modes[] = {{0x60, 60}, {0x30, 30}, {0x24, 24}, {0x25, 60}, {0x00, 60}, {0xFF, 60}};
  for (const auto& [byte, nMode] : modes) {
    DvHead head;
    head.nFrameModeByte = byte;
    EXPECT_EQ(nMode, ReadDvFrameMode(MakeDvFrame(head, kDvFrameHeadBytes).data())) << int{byte};
  }
  DvHead noMode;
  noMode.bFrameModePack = false;
  noMode.nFrameModeByte = 0x24;
  Bytes frame = MakeDvFrame(noMode, kDvFrameHeadBytes);
  frame[470] = 0x24;
  EXPECT_EQ(60, ReadDvFrameMode(frame.data()));

  DvHead tc;
  tc.timecode = {23, 59, 59, 29};
  EXPECT_EQ((Timecode{23, 59, 59, 29}), ReadDvTimecode(MakeDvFrame(tc, kDvFrameHeadBytes).data()));
  // Flag bits above the BCD digits are not part of the value.
  frame = MakeDvFrame(tc, kDvFrameHeadBytes);
  frame[111] |= 0xC0;
  frame[112] |= 0x80;
  frame[113] |= 0x80;
  frame[114] |= 0xC0;
  EXPECT_EQ((Timecode{23, 59, 59, 29}), ReadDvTimecode(frame.data()));

  DvHead unknown;
  unknown.bFramesUnknown = true;
  EXPECT_EQ(Timecode{}, ReadDvTimecode(MakeDvFrame(unknown, kDvFrameHeadBytes).data()));
  DvHead noPack;
  noPack.bTimecodePack = false;
  frame = MakeDvFrame(noPack, kDvFrameHeadBytes);
  frame[111] = 0x12;
  EXPECT_EQ(Timecode{}, ReadDvTimecode(frame.data()));
}
