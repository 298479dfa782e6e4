// Time codes of the two video systems as the program's video-format codes name them: frame
// numbers to hours, minutes, seconds and frames and back (counted by the DV library), and the
// text every panel shows.
#pragma once

#include <cstdint>
#include <string>

#include "dv/Format.h"
#include "dv/Packs.h"

// Video-format codes of the recorded files.
constexpr int kVideoFormat525 = 1;  // 29.97 frames a second, drop-frame time code
constexpr int kVideoFormat625 = 2;  // 25 frames a second

// A time code; all four parts are -1 when it is unknown.
using Timecode = dv::TimeCode;

// The DV system of a video-format code: any code other than kVideoFormat625 counts as
// kVideoFormat525.
dv::System DvSystemOfFormat(int nVideoFormat);

// Frame n of a stream as a time code; the 525-line time code skips frames 00 and 01 of every
// minute not divisible by ten.
Timecode FrameToTimecode(int nVideoFormat, std::int64_t nFrame);

// The frame number of a time code. A time code that drop-frame counting skips (hh:mm:00:00 and
// hh:mm:00:01 of such a minute) gives the number of the frame that follows it, hh:mm:00:02.
std::int64_t TimecodeToFrame(int nVideoFormat, int nHours, int nMinutes, int nSeconds, int nFrames);

// "%02d:%02d:%02d:%02d".
std::wstring FormatTimecode(int nHours, int nMinutes, int nSeconds, int nFrames);
