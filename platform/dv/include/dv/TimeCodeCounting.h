// Frame numbers and time codes of the two systems. 625/50 counts 25 labels a second. 525/60
// counts 30 labels a second and skips the labels 00 and 01 at the start of every minute except
// each tenth (drop-frame counting), so that the labels keep pace with 29.97 frames a second.
#pragma once

#include "dv/Format.h"
#include "dv/Packs.h"

#include <cstdint>

namespace dv {

// Frame n of a recording as a time code: hours are not wrapped, and the drop-frame flag is left
// clear (it is a property of the pack, not of the count).
TimeCode FrameToTimeCode(System system, int64_t nFrame);

// The frame number of a time code. A label that drop-frame counting skips (hh:mm:00:00 and
// hh:mm:00:01 of such a minute) gives the number of the frame that follows it, hh:mm:00:02.
int64_t TimeCodeToFrame(System system, int nHours, int nMinutes, int nSeconds, int nFrames);

// The time code a camcorder writes into frame n of a recording: hours wrap at 24, and 525/60
// time codes carry the drop-frame flag.
TimeCode FrameNumberToTimeCode(System system, uint64_t nFrame);

}  // namespace dv
