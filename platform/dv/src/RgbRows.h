// Studio-level Y'CbCr rows to full-range 24-bit B, G, R rows (BT.601), in 16-bit fixed point.
#pragma once

#include <cstdint>

namespace dv::rgb {

// Rows that share one chroma row: two of 4:2:0, one of 4:1:1.
constexpr int kMaxRows = 2;

// The instruction sets the conversion is built for; every one gives the same bytes.
enum class Kernel { Portable, Sse2, Ssse3 };
bool HasKernel(Kernel kernel);  // built, and the processor has it
Kernel BestKernel();

// Converts `width` pixels of each of `count` (1 or 2) luma rows y[r] to out[r]; pixel x takes
// its chroma from sample x / lumaPerChroma (2 or 4), clamped to `chromaWidth` - 1. Every out[r]
// receives exactly 3 * width bytes.
void ConvertRows(const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb, const uint8_t* cr,
                 int chromaWidth, int lumaPerChroma, int width);
void ConvertRows(Kernel kernel, const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb,
                 const uint8_t* cr, int chromaWidth, int lumaPerChroma, int width);

// One pixel by the same arithmetic (the bytes B, G, R).
void ConvertPixel(int y, int cb, int cr, uint8_t out[3]);

// The SSSE3 form of pixels [0, end) (a multiple of 16 whose chroma lies inside the row), or
// null when the compiler could not build it.
using VectorRows = void (*)(const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb, const uint8_t* cr,
                            int lumaPerChroma, int end);
VectorRows Ssse3Rows();

}  // namespace dv::rgb
