// Writes the structure of a DV frame: the ID bytes of every DIF block, the header, the subcode,
// VAUX and AAUX packs. Video and audio data are written by the Encoder and by InsertAudio.
#pragma once

#include "dv/Format.h"
#include "dv/Packs.h"

#include <span>

namespace dv {

struct FrameMetadata {
    System system = System::System625_50;
    bool bWideScreen = false;          // 16:9: DISP 2 with BCSYS 0
    int nFrameMode = 60;               // 60, 30 or 24; written in a frame-mode pack (64h)
    bool bRecordingStart = false;      // first frame of a recording
    TimeCode timeCode;                 // unknown parts are written as FFh
    RecDate recDate;
    RecTime recTime;
    AudioControl audioControl;
};

// Lays out all blocks of `frame` (exactly the system's frame size): ID bytes of every block,
// header block, subcode time code / date / time in both subcode blocks of every sequence, VAUX
// source, source control, date, time and frame-mode packs at pack places 0-4 and 9-13 of every
// VAUX block (so 448, 453, 458, 463 and 468 hold 60h, 61h, 62h, 63h and 64h), AAUX source
// control, date and time packs next to the source pack place (audio blocks 4-6 of even sequences,
// 1-3 of odd ones). Video and audio payloads are zeroed.
Result WriteFrameStructure(const FrameMetadata& meta, std::span<uint8_t> frame);

}  // namespace dv
