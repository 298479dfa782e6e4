#include "files/DvFrameFields.h"

namespace {

// VAUX source control pack in DIF block 5 of the first sequence.
constexpr size_t kVauxSourceControlPack = 453;
constexpr BYTE kVauxSourceControlHeader = 0x61;
constexpr size_t kDisplayModeByte = 455;  // data byte 2: DISP in bits 0..2
constexpr BYTE kDisplayModeMask = 0x07;
constexpr size_t kBroadcastSystemByte = 456;  // data byte 3: BCSYS in bits 0..1
constexpr BYTE kBroadcastSystemMask = 0x03;

// Frame-mode pack in the same block.
constexpr size_t kFrameModePack = 468;
constexpr BYTE kFrameModeHeader = 0x64;
constexpr size_t kFrameModeByte = 470;  // data byte 2: frames per second in BCD
constexpr BYTE kFrameMode60 = 0x60;
constexpr BYTE kFrameMode30 = 0x30;
constexpr BYTE kFrameMode24 = 0x24;

// Time code pack of the subcode area.
constexpr size_t kTimecodePack = 110;
constexpr BYTE kTimecodeHeader = 0x13;
constexpr size_t kTimecodeFramesByte = 111;  // BCD tens in bits 4..5
constexpr size_t kTimecodeSecondsByte = 112;  // BCD tens in bits 4..6
constexpr size_t kTimecodeMinutesByte = 113;  // BCD tens in bits 4..6
constexpr size_t kTimecodeHoursByte = 114;    // BCD tens in bits 4..5
constexpr BYTE kTimecodeFramesUnknown = 0xFF;
constexpr BYTE kBcdUnitsMask = 0x0F;
constexpr BYTE kBcdTensMask2 = 0x03;  // two bits of tens
constexpr BYTE kBcdTensMask3 = 0x07;  // three bits of tens

static_assert(kFrameModeByte < kDvFrameHeadBytes && kBroadcastSystemByte < kDvFrameHeadBytes);

int Bcd(BYTE value, BYTE tensMask) { return ((value >> 4) & tensMask) * 10 + (value & kBcdUnitsMask); }

}  // namespace

int ReadDvWideScreenFlag(const BYTE* pFrameHead) {
  if (pFrameHead[kVauxSourceControlPack] != kVauxSourceControlHeader) return 0;
  const int nDisp = pFrameHead[kDisplayModeByte] & kDisplayModeMask;
  const int nBcsys = pFrameHead[kBroadcastSystemByte] & kBroadcastSystemMask;
  // 16:9 display modes: full or letterbox under system 0, and the wide modes of system 1.
  if (nBcsys == 0) return (nDisp == 1 || nDisp == 2) ? 1 : 0;
  if (nBcsys == 1) return (nDisp == 3 || nDisp == 4 || nDisp == 5 || nDisp == 7) ? 1 : 0;
  return 0;
}

int ReadDvFrameMode(const BYTE* pFrameHead) {
  if (pFrameHead[kFrameModePack] != kFrameModeHeader) return 60;
  switch (pFrameHead[kFrameModeByte]) {
    case kFrameMode30:
      return 30;
    case kFrameMode24:
      return 24;
    case kFrameMode60:
    default:
      return 60;
  }
}

Timecode ReadDvTimecode(const BYTE* pFrameHead) {
  Timecode tc;
  if (pFrameHead[kTimecodePack] != kTimecodeHeader) return tc;
  if (pFrameHead[kTimecodeFramesByte] == kTimecodeFramesUnknown) return tc;
  tc.nFrames = Bcd(pFrameHead[kTimecodeFramesByte], kBcdTensMask2);
  tc.nSeconds = Bcd(pFrameHead[kTimecodeSecondsByte], kBcdTensMask3);
  tc.nMinutes = Bcd(pFrameHead[kTimecodeMinutesByte], kBcdTensMask3);
  tc.nHours = Bcd(pFrameHead[kTimecodeHoursByte], kBcdTensMask2);
  return tc;
}
