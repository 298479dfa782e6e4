#include "files/Timecode.h"

#include <cwchar>

namespace {

// 625/50: plain counting.
constexpr std::int64_t kFrames625PerSecond = 25;
constexpr std::int64_t kFrames625PerMinute = 60 * kFrames625PerSecond;
constexpr std::int64_t kFrames625PerHour = 60 * kFrames625PerMinute;

// 525/60 drop-frame counting: the labels run at 30 a second, and the labels 00 and 01 are
// skipped at the start of every minute except each tenth, so ten minutes hold 17,982 frames.
constexpr std::int64_t kLabels525PerSecond = 30;
constexpr std::int64_t kLabels525PerMinute = 60 * kLabels525PerSecond;
constexpr std::int64_t kLabels525PerHour = 60 * kLabels525PerMinute;
constexpr std::int64_t kDroppedLabelsPerMinute = 2;
constexpr std::int64_t kDroppedLabelsPerTenMinutes = 9 * kDroppedLabelsPerMinute;
constexpr std::int64_t kFrames525PerTenMinutes = 10 * kLabels525PerMinute - kDroppedLabelsPerTenMinutes;
constexpr std::int64_t kFrames525PerDropMinute = kLabels525PerMinute - kDroppedLabelsPerMinute;

}  // namespace

Timecode FrameToTimecode(int nVideoFormat, std::int64_t nFrame) {
  Timecode tc;
  if (nVideoFormat == kVideoFormat625) {
    tc.nHours = static_cast<int>(nFrame / kFrames625PerHour);
    tc.nMinutes = static_cast<int>((nFrame / kFrames625PerMinute) % 60);
    tc.nSeconds = static_cast<int>((nFrame / kFrames625PerSecond) % 60);
    tc.nFrames = static_cast<int>(nFrame % kFrames625PerSecond);
    return tc;
  }
  // Turn the frame number into a label count by adding back the skipped labels: 18 for each
  // whole ten minutes, and 2 for each minute boundary crossed inside the current ten minutes.
  const std::int64_t nInTen = nFrame % kFrames525PerTenMinutes;
  const std::int64_t nLabel = nFrame + kDroppedLabelsPerTenMinutes * (nFrame / kFrames525PerTenMinutes) +
                              kDroppedLabelsPerMinute * ((nInTen - kDroppedLabelsPerMinute) / kFrames525PerDropMinute);
  tc.nHours = static_cast<int>(nLabel / kLabels525PerHour);
  tc.nMinutes = static_cast<int>((nLabel / kLabels525PerMinute) % 60);
  tc.nSeconds = static_cast<int>((nLabel / kLabels525PerSecond) % 60);
  tc.nFrames = static_cast<int>(nLabel % kLabels525PerSecond);
  return tc;
}

std::int64_t TimecodeToFrame(int nVideoFormat, int nHours, int nMinutes, int nSeconds, int nFrames) {
  const std::int64_t h = nHours;
  const std::int64_t m = nMinutes;
  const std::int64_t s = nSeconds;
  std::int64_t f = nFrames;
  if (nVideoFormat == kVideoFormat625) {
    return f + kFrames625PerSecond * s + kFrames625PerMinute * m + kFrames625PerHour * h;
  }
  // The skipped labels of a minute not divisible by ten stand for the first real frame.
  if (m % 10 != 0 && s == 0 && f < kDroppedLabelsPerMinute) f = kDroppedLabelsPerMinute;
  // Count every minute as one that skips two labels, then give back the two of each tenth minute.
  const std::int64_t nAllMinutes = 60 * h + m;
  return f + kLabels525PerSecond * s + kFrames525PerDropMinute * nAllMinutes + kDroppedLabelsPerMinute * (nAllMinutes / 10);
}

std::wstring FormatTimecode(int nHours, int nMinutes, int nSeconds, int nFrames) {
  wchar_t text[64] = {};
  swprintf(text, sizeof(text) / sizeof(text[0]), L"%02d:%02d:%02d:%02d", nHours, nMinutes, nSeconds, nFrames);
  return text;
}
