#include "files/Timecode.h"

#include <cwchar>

#include "dv/TimeCodeCounting.h"

dv::System DvSystemOfFormat(int nVideoFormat) {
  return nVideoFormat == kVideoFormat625 ? dv::System::System625_50 : dv::System::System525_60;
}

Timecode FrameToTimecode(int nVideoFormat, std::int64_t nFrame) {
  return dv::FrameToTimeCode(DvSystemOfFormat(nVideoFormat), nFrame);
}

std::int64_t TimecodeToFrame(int nVideoFormat, int nHours, int nMinutes, int nSeconds, int nFrames) {
  return dv::TimeCodeToFrame(DvSystemOfFormat(nVideoFormat), nHours, nMinutes, nSeconds, nFrames);
}

std::wstring FormatTimecode(int nHours, int nMinutes, int nSeconds, int nFrames) {
  wchar_t text[64] = {};
  swprintf(text, sizeof(text) / sizeof(text[0]), L"%02d:%02d:%02d:%02d", nHours, nMinutes, nSeconds, nFrames);
  return text;
}
