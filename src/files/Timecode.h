// Time codes of the two video systems: frame numbers to hours, minutes, seconds and frames and
// back (drop-frame counting for the 525-line system), and the text every panel shows.
#pragma once

#include <cstdint>
#include <string>

// Video-format codes of the recorded files.
constexpr int kVideoFormat525 = 1;  // 29.97 frames a second, drop-frame time code
constexpr int kVideoFormat625 = 2;  // 25 frames a second

// A time code; all four parts are -1 when it is unknown.
struct Timecode {
  int nHours = -1;
  int nMinutes = -1;
  int nSeconds = -1;
  int nFrames = -1;

  bool IsKnown() const { return nHours >= 0; }
  bool operator==(const Timecode&) const = default;
};

// Frame n of a stream as a time code. Any format other than kVideoFormat625 counts as
// kVideoFormat525, whose time code skips frames 00 and 01 of every minute not divisible by ten.
Timecode FrameToTimecode(int nVideoFormat, std::int64_t nFrame);

// The frame number of a time code. A time code that drop-frame counting skips (hh:mm:00:00 and
// hh:mm:00:01 of such a minute) gives the number of the frame that follows it, hh:mm:00:02.
std::int64_t TimecodeToFrame(int nVideoFormat, int nHours, int nMinutes, int nSeconds, int nFrames);

// "%02d:%02d:%02d:%02d".
std::wstring FormatTimecode(int nHours, int nMinutes, int nSeconds, int nFrames);
