// The stream facts the program reads at fixed places of one DV frame: the wide-screen flag, the
// frame mode, the audio mode and the subcode time code. Offsets count from the frame's first
// byte, i.e. inside its first DIF sequence; the packs found there are decoded by the DV library.
#pragma once

#include <windows.h>

#include <cstddef>

#include "files/Timecode.h"

// Bytes of a frame's head that hold the wide-screen flag, the frame mode and the time code.
constexpr size_t kDvFrameHeadBytes = 480;

// 1 when the VAUX source control pack at 453 says 16:9, else 0 (also when the pack is missing).
int ReadDvWideScreenFlag(const BYTE* pFrame, size_t cbFrame = kDvFrameHeadBytes);

// 60, 30 or 24 from the frame-mode pack at 468; 60 when the pack is missing or names another mode.
int ReadDvFrameMode(const BYTE* pFrame, size_t cbFrame = kDvFrameHeadBytes);

// 2 when the AAUX source pack at 4323 names a quantisation other than 16-bit, else 1.
int ReadDvAudioMode(const BYTE* pFrame, size_t cbFrame);

// The subcode time code at 110; unknown (all -1) when the pack is missing or its frame byte is FFh.
Timecode ReadDvTimecode(const BYTE* pFrame, size_t cbFrame = kDvFrameHeadBytes);
