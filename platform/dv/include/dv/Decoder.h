// DV video decoding to planar Y'CbCr or to a 24-bit bottom-up RGB bitmap, at full, half, quarter
// or eighth size.
#pragma once

#include "dv/Format.h"
#include "dv/Picture.h"

#include <span>

namespace dv {

// Output sizes: 720 x 480/576 divided by 1, 2, 4 or 8 in both directions. Eighth size uses only
// the DC coefficient of every block.
enum class DecodeSize { Full = 1, Half = 2, Quarter = 4, Eighth = 8 };

int DecodedWidth(DecodeSize size);
int DecodedHeight(System system, DecodeSize size);

// Decodes whole frames. Every input is safe: a damaged block decodes to what its readable
// coefficients give (its DC at least), a code that runs past the block ends it, and nothing is
// read outside the frame. Not thread-safe; use one Decoder per thread.
class Decoder {
public:
    // Planar output in the frame's own chroma layout (4:1:1 for 525/60, 4:2:0 for 625/50), the
    // planes divided by the size as the luma plane is (a 4:1:1 eighth-size chroma plane is 23 wide).
    Result DecodeYuv(std::span<const uint8_t> frame, DecodeSize size, YuvPicture& picture);

    // RGB (BT.601 studio levels to full range), chroma taken from the nearest sample.
    Result DecodeRgb(std::span<const uint8_t> frame, DecodeSize size, RgbPicture& picture);

private:
    YuvPicture m_yuv;
};

// Converts a planar picture (either chroma layout, any size) to the bottom-up RGB bitmap.
void YuvToRgb(const YuvPicture& yuv, RgbPicture& rgb);

}  // namespace dv
