#include "RgbRows.h"

#include "RgbKernel.h"

namespace dv::rgb {
namespace {

// Converts pixels [from, width) one at a time.
void ConvertTail(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int chromaWidth, int shift, int from, int width,
                 uint8_t* out) {
    for (int x = from; x < width; ++x) {
        const int c = std::min(x >> shift, chromaWidth - 1);
        const int u = (cb[c] - 128) * 256, v = (cr[c] - 128) * 256;
        Pixel(Luma(y[x]), HighSigned(v, kRv), HighSigned(u, kGu) + HighSigned(v, kGv), HighSigned(u, kBu), out + x * 3);
    }
}

bool ProcessorHasSsse3() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    return __builtin_cpu_supports("ssse3");
#else
    return false;
#endif
}

}  // namespace

bool HasKernel(Kernel kernel) {
    switch (kernel) {
    case Kernel::Portable: return true;
#if defined(__SSE2__)
    case Kernel::Sse2: return true;
#endif
    case Kernel::Ssse3: {
        static const bool available = Ssse3Rows() != nullptr && ProcessorHasSsse3();
        return available;
    }
    default: return false;
    }
}

Kernel BestKernel() {
    static const Kernel best = HasKernel(Kernel::Ssse3) ? Kernel::Ssse3 : HasKernel(Kernel::Sse2) ? Kernel::Sse2 : Kernel::Portable;
    return best;
}

void ConvertPixel(int y, int cb, int cr, uint8_t out[3]) {
    const int u = (cb - 128) * 256, v = (cr - 128) * 256;
    Pixel(Luma(y), HighSigned(v, kRv), HighSigned(u, kGu) + HighSigned(v, kGv), HighSigned(u, kBu), out);
}

void ConvertRows(Kernel kernel, const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb,
                 const uint8_t* cr, int chromaWidth, int lumaPerChroma, int width) {
    const int shift = lumaPerChroma == 4 ? 2 : 1;
    const int done = kernel == Kernel::Portable ? 0 : std::min(width, chromaWidth * lumaPerChroma) & ~15;
    if (kernel == Kernel::Ssse3) Ssse3Rows()(y, out, count, cb, cr, lumaPerChroma, done);
#if defined(__SSE2__)
    else if (kernel == Kernel::Sse2 && done > 0) ConvertVector(y, out, count, cb, cr, lumaPerChroma, done);
#endif
    for (int r = 0; r < count; ++r) ConvertTail(y[r], cb, cr, chromaWidth, shift, done, width, out[r]);
}

void ConvertRows(const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb, const uint8_t* cr,
                 int chromaWidth, int lumaPerChroma, int width) {
    ConvertRows(BestKernel(), y, out, count, cb, cr, chromaWidth, lumaPerChroma, width);
}

}  // namespace dv::rgb
