// The stream facts the program reads from the head of one DV frame: the wide-screen flag, the
// frame mode and the subcode time code. Offsets count from the frame's first byte, i.e. inside
// its first DIF sequence.
#pragma once

#include <windows.h>

#include <cstddef>

#include "files/Timecode.h"

// Bytes of a frame's head that hold every field read here.
constexpr size_t kDvFrameHeadBytes = 480;

// 1 when the VAUX source control pack says 16:9, else 0 (also when the pack is missing).
int ReadDvWideScreenFlag(const BYTE* pFrameHead);

// 60, 30 or 24 from the frame-mode pack; 60 when the pack is missing or names another mode.
int ReadDvFrameMode(const BYTE* pFrameHead);

// The subcode time code; unknown (all -1) when the pack is missing or its frame byte is FFh.
Timecode ReadDvTimecode(const BYTE* pFrameHead);
