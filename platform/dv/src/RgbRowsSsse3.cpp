// The colour conversion built for SSSE3, whose byte shuffles interleave B, G and R in three
// instructions a word; used when the processor has it (see BestKernel).
#include "RgbKernel.h"

namespace dv::rgb {

#if defined(__SSSE3__)

namespace {

void ConvertSsse3(const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb, const uint8_t* cr,
                  int lumaPerChroma, int end) {
    if (end > 0) ConvertVector(y, out, count, cb, cr, lumaPerChroma, end);
}

}  // namespace

VectorRows Ssse3Rows() { return &ConvertSsse3; }

#else

VectorRows Ssse3Rows() { return nullptr; }

#endif

}  // namespace dv::rgb
