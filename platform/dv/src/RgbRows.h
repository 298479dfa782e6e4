// Studio-level Y'CbCr rows to full-range 24-bit B, G, R rows (BT.601), in 16-bit fixed point.
#pragma once

#include <cstdint>

namespace dv::rgb {

// Converts `width` pixels of one row; pixel x takes its chroma from sample x / lumaPerChroma
// (2 or 4), clamped to `chromaWidth` - 1. `out` receives exactly 3 * width bytes.
void ConvertRow(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int chromaWidth, int lumaPerChroma, int width,
                uint8_t* out);

// One pixel by the same arithmetic (the bytes B, G, R).
void ConvertPixel(int y, int cb, int cr, uint8_t out[3]);

}  // namespace dv::rgb
