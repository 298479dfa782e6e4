// What a DV frame says about itself.
#pragma once

#include "dv/Format.h"
#include "dv/Packs.h"

#include <optional>
#include <span>

namespace dv {

// The three stream properties and the time code read at the fixed offsets of the first DIF
// sequence, with the defaults the stream readers use when a pack is missing: wide-screen flag 0
// unless 453 holds 61h; frame mode 60 unless 468 holds 64h (60h, 30h, 24h give 60, 30, 24, any
// other value 60); audio mode 1 unless 4323 holds 50h (quantisation 0 gives 1, any other 2);
// time code unknown (-1) unless 110 holds 13h and 111 is not FFh. A buffer that ends inside a pack
// gives that pack's default.
struct StreamProperties {
    int nWideScreen = 0;
    int nFrameMode = 60;
    int nAudioMode = 1;
    TimeCode timeCode;
};
StreamProperties ReadStreamProperties(std::span<const uint8_t> frame);

// Everything the packs of a frame tell, found wherever the frame keeps them.
struct FrameInfo {
    System system = System::System625_50;
    bool bWideScreen = false;
    int nFrameMode = 60;
    std::optional<VideoControl> videoControl;
    std::optional<AudioSource> audio;       // absent: no audio pack
    std::optional<TimeCode> timeCode;
    std::optional<RecDate> recDate;
    std::optional<RecTime> recTime;
};

// WrongSize / NotDv when the buffer is not a whole frame of either system.
Result ReadFrameInfo(std::span<const uint8_t> frame, FrameInfo& info);

}  // namespace dv
