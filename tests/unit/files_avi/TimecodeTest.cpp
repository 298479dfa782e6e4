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
  EXPECT_EQ((Timecode{0, 10, 0, 0}), FrameToTimecode(1, 17982));  // every tenth minute keeps 00
  EXPECT_EQ((Timecode{1, 0, 3, 18}), FrameToTimecode(1, 108000));
  EXPECT_EQ((Timecode{1, 0, 0, 0}), FrameToTimecode(2, 90000));
  // The labels that are skipped stand for the frame after them.
  EXPECT_EQ(1800, TimecodeToFrame(1, 0, 1, 0, 0));
  EXPECT_EQ(1800, TimecodeToFrame(1, 0, 1, 0, 1));
  EXPECT_EQ(107892, TimecodeToFrame(1, 1, 0, 0, 0));
  EXPECT_EQ(L"01:02:03:04", FormatTimecode(1, 2, 3, 4));
}

TEST(TimecodeTest, FramesAndTimecodesConvertBothWaysOverADay) {
  for (int nFormat : {1, 2}) {
    const int nLast = nFormat == 2 ? 24 : 29;
    Timecode previous = FrameToTimecode(nFormat, 0);
    // Every frame of the first twelve minutes, then a sparse walk.
    for (std::int64_t n = 1; n < 2'600'000; n += (n < 21600 ? 1 : 997)) {
      const Timecode tc = FrameToTimecode(nFormat, n);
      ASSERT_EQ(n, TimecodeToFrame(nFormat, tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames)) << nFormat << " " << n;
      ASSERT_TRUE(tc.nFrames <= nLast && tc.nSeconds < 60 && tc.nMinutes < 60) << n;
      if (n >= 21600) continue;
      // Consecutive frames have consecutive labels, apart from the two that drop-frame skips.
      const bool bNext = tc.nFrames == previous.nFrames + 1 || (previous.nFrames == nLast && tc.nFrames == 0);
      const bool bSkip = nFormat == 1 && previous.nFrames == nLast && tc.nSeconds == 0 && tc.nFrames == 2 &&
                         tc.nMinutes % 10 != 0;
      ASSERT_TRUE(bNext || bSkip) << nFormat << " " << n;
      ASSERT_FALSE(nFormat == 1 && tc.nSeconds == 0 && tc.nFrames < 2 && tc.nMinutes % 10 != 0) << n;
      previous = tc;
    }
  }
  const Timecode late = FrameToTimecode(1, 4'000'000'000LL);  // past 2^31 without overflow
  EXPECT_EQ(4'000'000'000LL, TimecodeToFrame(1, late.nHours, late.nMinutes, late.nSeconds, late.nFrames));
}

TEST(DvFrameFieldsTest, WideScreenFlagFollowsDisplayModeUnderEachBroadcastSystem) {
  const int wide[4][8] = {{0, 1, 1, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 1, 1, 0, 1}, {0}, {0}};
  for (int nBcsys = 0; nBcsys < 4; ++nBcsys) {
    for (int nDisp = 0; nDisp < 8; ++nDisp) {
      DvHead head;
      head.nBcsys = nBcsys;
      head.nDisp = nDisp;
      EXPECT_EQ(wide[nBcsys][nDisp], ReadDvWideScreenFlag(MakeDvFrame(head, kDvFrameHeadBytes).data()))
          << nBcsys << "/" << nDisp;
    }
  }
}

TEST(DvFrameFieldsTest, FieldsComeFromTheirPacksOrTakeTheirDefaults) {
  for (const auto& [byte, nMode] : {std::pair{0x60, 60}, {0x30, 30}, {0x24, 24}, {0x25, 60}, {0xFF, 60}}) {
    DvHead head;
    head.nFrameModeByte = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(nMode, ReadDvFrameMode(MakeDvFrame(head, kDvFrameHeadBytes).data())) << byte;
  }
  DvHead head = WideHead();
  head.timecode = {23, 59, 59, 29};
  head.nFrameModeByte = 0x24;
  Bytes frame = MakeDvFrame(head, kDvFrameHeadBytes);
  for (size_t n : {111, 114}) frame[n] |= 0xC0;  // flag bits above the BCD digits
  for (size_t n : {112, 113}) frame[n] |= 0x80;
  EXPECT_EQ((Timecode{23, 59, 59, 29, true}), ReadDvTimecode(frame.data()));  // bit 6 of 111: drop-frame

  // Without their pack headers the same bytes mean nothing.
  frame[110] = 0x14;
  frame[453] = 0x60;
  frame[468] = 0x65;
  EXPECT_EQ(Timecode{}, ReadDvTimecode(frame.data()));
  EXPECT_EQ(0, ReadDvWideScreenFlag(frame.data()));
  EXPECT_EQ(60, ReadDvFrameMode(frame.data()));
}
