// The colour conversion's arithmetic, included by the translation units that build it for
// different instruction sets (SSE2, and SSSE3 when the compiler is told it may use it): the
// constants, the one-pixel form, and the vector form of sixteen pixels at a time.
#pragma once

#include "RgbRows.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

namespace dv::rgb {
namespace {

// Every term is the high half of a 16 x 16-bit product and carries 5 fraction bits, so that the
// scalar and the vector forms compute the same numbers:
//   luma   = hi(Y * 256, kYMul) + kYAdd          (unsigned product; 255/219 * 32, less 16 * that)
//   chroma = hi((C - 128) * 256, kXx)            (signed product; coefficient * 8192)
// kYAdd also holds the half for rounding; over every Y'CbCr triple the result stays within one
// step of the exactly rounded value (and the sums never leave 16 bits).
constexpr int kYMul = 9539;
constexpr int kYAdd = -581;
constexpr int kRv = 13075;  // 1.402 * 255/224
constexpr int kGu = 3209;   // 0.344136 * 255/224
constexpr int kGv = 6660;   // 0.714136 * 255/224
constexpr int kBu = 16525;  // 1.772 * 255/224
constexpr int kFractionBits = 5;

inline int HighSigned(int a, int b) { return (a * b) >> 16; }
inline int Luma(int y) { return int((unsigned(y) << 8) * unsigned(kYMul) >> 16) + kYAdd; }
inline uint8_t Saturate(int v) { return uint8_t(std::clamp(v >> kFractionBits, 0, 255)); }

inline void Pixel(int luma, int r, int g, int b, uint8_t* out) {
    out[0] = Saturate(luma + b);
    out[1] = Saturate(luma - g);
    out[2] = Saturate(luma + r);
}

#if defined(__SSE2__)

struct Terms {
    __m128i r, g, b;
};

// Chroma bytes in the low half of `bytes` as (C - 128) * 256 in 16-bit lanes (C * 256 and the
// offset added modulo 2^16).
inline __m128i Centred(__m128i bytes) {
    return _mm_add_epi16(_mm_unpacklo_epi8(_mm_setzero_si128(), bytes), _mm_set1_epi16(-32768));
}

inline Terms ChromaTerms(__m128i u, __m128i v) {
    return {_mm_mulhi_epi16(v, _mm_set1_epi16(kRv)),
            _mm_add_epi16(_mm_mulhi_epi16(u, _mm_set1_epi16(kGu)), _mm_mulhi_epi16(v, _mm_set1_epi16(kGv))),
            _mm_mulhi_epi16(u, _mm_set1_epi16(kBu))};
}

#if defined(__SSSE3__)

// Output byte k of the 48 takes byte k / 3 of channel k % 3 (B, G, R): one shuffle per channel
// and output word, the other bytes zero.
struct ShuffleMasks {
    alignas(16) int8_t m[3][3][16];  // [output word][channel][byte]
    constexpr ShuffleMasks() : m{} {
        for (int w = 0; w < 3; ++w)
            for (int c = 0; c < 3; ++c)
                for (int i = 0; i < 16; ++i) {
                    const int k = w * 16 + i;
                    m[w][c][i] = int8_t(k % 3 == c ? k / 3 : -128);
                }
    }
};
inline constexpr ShuffleMasks kShuffles{};

constexpr bool kStoreWritesPast = false;

// One of the three output words: the bytes of each channel shuffled into place, then merged.
inline __m128i Interleaved(__m128i b, __m128i g, __m128i r, int word) {
    const auto mask = [word](int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kShuffles.m[word][c])); };
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, mask(0)), _mm_shuffle_epi8(g, mask(1))), _mm_shuffle_epi8(r, mask(2)));
}

// Sixteen pixels of B, G and R bytes to their 48 interleaved bytes.
inline void Store48(__m128i b, __m128i g, __m128i r, uint8_t* out) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Interleaved(b, g, r, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), Interleaved(b, g, r, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), Interleaved(b, g, r, 2));
}

#else

constexpr bool kStoreWritesPast = true;

// Four pixels as B, G, R, 0 bytes to their 12 bytes, and 2 bytes more (zero) after them.
inline void Store12(__m128i px, uint8_t* out) {
    const __m128i even = _mm_and_si128(px, _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF));
    const __m128i odd = _mm_and_si128(_mm_srli_epi64(px, 8), _mm_set_epi32(0x0000FFFF, int(0xFF000000u), 0x0000FFFF, int(0xFF000000u)));
    const __m128i six = _mm_or_si128(even, odd);  // 6 bytes at the start of each half
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), six);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6), _mm_unpackhi_epi64(six, six));
}

// Sixteen pixels of B, G and R bytes to 48 interleaved bytes, and 2 bytes more after them.
inline void Store48(__m128i b, __m128i g, __m128i r, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bgLow = _mm_unpacklo_epi8(b, g), bgHigh = _mm_unpackhi_epi8(b, g);
    const __m128i rLow = _mm_unpacklo_epi8(r, zero), rHigh = _mm_unpackhi_epi8(r, zero);
    Store12(_mm_unpacklo_epi16(bgLow, rLow), out);
    Store12(_mm_unpackhi_epi16(bgLow, rLow), out + 12);
    Store12(_mm_unpacklo_epi16(bgHigh, rHigh), out + 24);
    Store12(_mm_unpackhi_epi16(bgHigh, rHigh), out + 36);
}

#endif

inline __m128i Channel(__m128i lumaLow, __m128i lumaHigh, __m128i termLow, __m128i termHigh, bool subtract) {
    const __m128i low = subtract ? _mm_sub_epi16(lumaLow, termLow) : _mm_add_epi16(lumaLow, termLow);
    const __m128i high = subtract ? _mm_sub_epi16(lumaHigh, termHigh) : _mm_add_epi16(lumaHigh, termHigh);
    return _mm_packus_epi16(_mm_srai_epi16(low, kFractionBits), _mm_srai_epi16(high, kFractionBits));
}

// Sixteen pixels whose chroma terms are already spread to one lane per pixel.
inline void Convert16(const uint8_t* y, const Terms& low, const Terms& high, uint8_t* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i zero = _mm_setzero_si128(), mul = _mm_set1_epi16(kYMul), add = _mm_set1_epi16(kYAdd);
    const __m128i lumaLow = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpacklo_epi8(zero, bytes), mul), add);
    const __m128i lumaHigh = _mm_add_epi16(_mm_mulhi_epu16(_mm_unpackhi_epi8(zero, bytes), mul), add);
    Store48(Channel(lumaLow, lumaHigh, low.b, high.b, false), Channel(lumaLow, lumaHigh, low.g, high.g, true),
            Channel(lumaLow, lumaHigh, low.r, high.r, false), out);
}

// Pixels [0, end) of `count` rows that share their chroma row, end a multiple of 16 whose chroma
// lies inside the row. When the stores write past their pixels, the last sixteen of a row go
// through `spill`.
inline void ConvertVector(const uint8_t* const* y, uint8_t* const* out, int count, const uint8_t* cb, const uint8_t* cr,
                          int lumaPerChroma, int end) {
    if (end <= 0) return;
    uint8_t spill[kMaxRows][64];
    for (int x = 0; x < end; x += 16) {
        Terms low, high;
        if (lumaPerChroma == 2) {
            const Terms t = ChromaTerms(Centred(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + x / 2))),
                                        Centred(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + x / 2))));
            low = {_mm_unpacklo_epi16(t.r, t.r), _mm_unpacklo_epi16(t.g, t.g), _mm_unpacklo_epi16(t.b, t.b)};
            high = {_mm_unpackhi_epi16(t.r, t.r), _mm_unpackhi_epi16(t.g, t.g), _mm_unpackhi_epi16(t.b, t.b)};
        } else {
            int u32 = 0, v32 = 0;
            std::memcpy(&u32, cb + x / 4, 4);
            std::memcpy(&v32, cr + x / 4, 4);
            const Terms t = ChromaTerms(Centred(_mm_cvtsi32_si128(u32)), Centred(_mm_cvtsi32_si128(v32)));
            const __m128i r2 = _mm_unpacklo_epi16(t.r, t.r), g2 = _mm_unpacklo_epi16(t.g, t.g), b2 = _mm_unpacklo_epi16(t.b, t.b);
            low = {_mm_unpacklo_epi32(r2, r2), _mm_unpacklo_epi32(g2, g2), _mm_unpacklo_epi32(b2, b2)};
            high = {_mm_unpackhi_epi32(r2, r2), _mm_unpackhi_epi32(g2, g2), _mm_unpackhi_epi32(b2, b2)};
        }
        const bool last = kStoreWritesPast && x + 16 == end;
        for (int r = 0; r < count; ++r) Convert16(y[r] + x, low, high, last ? spill[r] : out[r] + x * 3);
    }
    if (kStoreWritesPast)
        for (int r = 0; r < count; ++r) std::memcpy(out[r] + (end - 16) * 3, spill[r], 48);
}

#endif

}  // namespace
}  // namespace dv::rgb
