// DV video encoding: forward DCT, per-block class, per-macroblock quantisation chosen so that each
// video segment fits its five DIF blocks, and the variable-length codes spread over the segment.
#pragma once

#include "dv/Format.h"
#include "dv/Picture.h"

#include <span>

namespace dv {

// Converts a bottom-up RGB bitmap into planar Y'CbCr of the system's chroma layout (4:1:1 for
// 525/60, 4:2:0 for 625/50), averaging the chroma over the samples each chroma sample covers.
void RgbToYuv(const RgbPicture& rgb, System system, YuvPicture& yuv);

class Encoder {
public:
    // Fills the 135 video blocks of every DIF sequence of `frame` (ID bytes included) and leaves
    // the other blocks as they are. The picture must be 720 x 480 (525/60, chroma 180 x 480) or
    // 720 x 576 (625/50, chroma 360 x 288), and `frame` exactly the system's frame size.
    Result EncodeVideo(const YuvPicture& picture, System system, std::span<uint8_t> frame);
    Result EncodeVideo(const RgbPicture& picture, System system, std::span<uint8_t> frame);

    // Whether blocks with strong differences between the two fields use the 2-4-8 DCT (default on).
    void SetFieldAdaptive(bool bEnabled) { m_bFieldAdaptive = bEnabled; }

private:
    bool m_bFieldAdaptive = true;
    YuvPicture m_yuv;
};

}  // namespace dv
