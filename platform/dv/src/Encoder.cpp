#include "dv/Encoder.h"

#include "Dct.h"
#include "SegmentWriter.h"
#include "Tables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dv {

using namespace tables;

namespace {

// Largest codable amplitude with a step of 1; class 3 doubles every step and takes larger values.
constexpr int kMaxClassTwoValue = 255;

// Weighted coefficient = transposed AAN forward output * f88[index]; tables for the 8-8 DCT by
// transposed index (h * 8 + v), for the 2-4-8 DCT by index.
constexpr int Transposed(int i) { return (i % 8) * 8 + i / 8; }
struct ForwardFactors {
    float f88[64];
    uint8_t scan88[64];      // kScan88 in transposed indexes
    uint8_t positionOf88[64];
    uint8_t positionOf248[64];
    ForwardFactors() {
        const float* w = Weight88();
        for (int i = 0; i < 64; ++i) {
            const int index = Transposed(i);
            f88[i] = w[index] / (kAanScale[index / 8] * kAanScale[index % 8] * 8.0f);
            scan88[i] = uint8_t(Transposed(kScan88[i]));
            positionOf88[Transposed(kScan88[i])] = uint8_t(i);
            positionOf248[kScan248[i]] = uint8_t(i);
        }
    }
};
const ForwardFactors& Factors() {
    static const ForwardFactors factors;
    return factors;
}


// Gets 8 x 8 samples (minus 128) of a plane.
void Fetch(const uint8_t* plane, int stride, int x, int y, float* out) {
    for (int r = 0; r < 8; ++r) {
        const uint8_t* src = plane + size_t(y + r) * stride + x;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i words = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)), zero),
                                            _mm_set1_epi16(128));
        const __m128i sign = _mm_srai_epi16(words, 15);
        _mm_storeu_ps(out + r * 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, sign)));
        _mm_storeu_ps(out + r * 8 + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(words, sign)));
#else
        for (int c = 0; c < 8; ++c) out[r * 8 + c] = float(src[c]) - 128.0f;
#endif
    }
}

// The 4 x 16 chroma of a 4:1:1 right-edge macroblock: upper 8 rows on the left, lower on the right.
void FetchEdge(const uint8_t* plane, int stride, int x, int y, float* out) {
    for (int r = 0; r < 16; ++r) {
        const uint8_t* src = plane + size_t(y + r) * stride + x;
        for (int c = 0; c < 4; ++c) out[(r % 8) * 8 + (r >= 8 ? 4 : 0) + c] = float(src[c]) - 128.0f;
    }
}

// Sum of absolute differences of 8 samples of two rows.
inline int RowDifference(const uint8_t* a, const uint8_t* b) {
#if defined(__SSE2__)
    const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
    const __m128i y = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b));
    return _mm_cvtsi128_si32(_mm_sad_epu8(x, y));
#else
    int sum = 0;
    for (int c = 0; c < 8; ++c) sum += std::abs(int(a[c]) - int(b[c]));
    return sum;
#endif
}

// Whether the two fields of an 8 x 8 block of a plane differ much more than neighbouring lines
// of one field do: then the 2-4-8 DCT codes it better.
constexpr int kFieldThreshold = 400;
bool PrefersFieldDct(const uint8_t* plane, int stride, int x, int y) {
    const uint8_t* p = plane + size_t(y) * stride + x;
    int between = 0;
    for (int r = 0; r < 7; ++r) between += RowDifference(p + size_t(r) * stride, p + size_t(r + 1) * stride);
    if (between <= kFieldThreshold) return false;
    int within = 0;
    for (int r = 0; r < 6; ++r) within += RowDifference(p + size_t(r) * stride, p + size_t(r + 2) * stride);
    return between > 2 * within + kFieldThreshold;
}

// values[i] = in[i] * factor[i] rounded half away from zero and limited to what class 3 can code;
// returns whether an AC value needs class 3, and in `nonZero` bit i for every values[i] != 0.
inline bool WeighAndRound(const float* in, const float* factor, int* values, uint64_t& nonZero) {
    constexpr float kLimit = float(2 * kMaxClassTwoValue);
#if defined(__SSE2__)
    const __m128 limit = _mm_set1_ps(kLimit), negLimit = _mm_set1_ps(-kLimit);
    const __m128 half = _mm_set1_ps(0.5f), sign = _mm_set1_ps(-0.0f), large = _mm_set1_ps(float(kMaxClassTwoValue) + 0.5f);
    const __m128i zero = _mm_setzero_si128();
    int flags = 0;
    nonZero = 0;
    for (int k = 0; k < 64; k += 4) {
        __m128 x = _mm_mul_ps(_mm_loadu_ps(in + k), _mm_loadu_ps(factor + k));
        x = _mm_min_ps(_mm_max_ps(x, negLimit), limit);
        const __m128 rounded = _mm_add_ps(x, _mm_or_ps(half, _mm_and_ps(x, sign)));
        const __m128i ints = _mm_cvttps_epi32(rounded);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(values + k), ints);
        nonZero |= uint64_t(~_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(ints, zero))) & 0xF) << k;
        int over = _mm_movemask_ps(_mm_cmpge_ps(_mm_andnot_ps(sign, rounded), _mm_add_ps(large, half)));
        if (k == 0) over &= ~1;  // the DC has its own range
        flags |= over;
    }
    return flags != 0;
#else
    bool needs = false;
    nonZero = 0;
    for (int i = 0; i < 64; ++i) {
        const float v = std::min(std::max(in[i] * factor[i], -kLimit), kLimit);
        values[i] = int(v + (v >= 0.0f ? 0.5f : -0.5f));
        needs = needs || (i > 0 && std::abs(values[i]) > kMaxClassTwoValue);
        nonZero |= uint64_t(values[i] != 0) << i;
    }
    return needs;
#endif
}

void TransformBlock(const ForwardFactors& factors, float* samples, bool fieldDct, CodedBlock& block) {
    int values[64];
    uint64_t natural = 0;
    block.nMode = fieldDct ? 1 : 0;
    if (!fieldDct) {
        dct::ForwardAan88Transposed(samples);
        block.bNeedsClass3 = WeighAndRound(samples, factors.f88, values, natural);
    } else {
        float coeffs[64];
        dct::Forward248(samples, coeffs);
        block.bNeedsClass3 = WeighAndRound(coeffs, Weight248(), values, natural);
    }
    block.nDc = int16_t(std::clamp(values[0], -256, 255));
    natural &= ~uint64_t(1);
    // The non-zero values in scan order.
    const uint8_t* positionOf = block.nMode ? factors.positionOf248 : factors.positionOf88;
    const uint8_t* scan = block.nMode ? kScan248 : factors.scan88;
    uint64_t inScan = 0;
    for (; natural; natural &= natural - 1)
        inScan |= uint64_t(1) << positionOf[std::countr_zero(natural)];
    int count = 0;
    for (; inScan; inScan &= inScan - 1, ++count) {
        const int i = std::countr_zero(inScan);
        block.scan[count] = uint8_t(i);
        const int v = values[scan[i]];
        block.value[count] = int16_t(v);
        block.magnitude[count] = uint16_t(v < 0 ? -v : v);
    }
    block.nCount = uint8_t(count);
}

bool PictureFits(const YuvPicture& p, System system) {
    const bool is411 = system == System::System525_60;
    return p.nWidth == 720 && p.nHeight == FrameHeight(system) && p.nChromaWidth == (is411 ? 180 : 360) &&
           p.nChromaHeight == (is411 ? 480 : 288) && p.y.size() >= size_t(p.nWidth) * p.nHeight &&
           p.cb.size() >= size_t(p.nChromaWidth) * p.nChromaHeight && p.cr.size() >= size_t(p.nChromaWidth) * p.nChromaHeight;
}

}  // namespace

Result Encoder::EncodeVideo(const YuvPicture& picture, System system, std::span<uint8_t> frame) {
    if (frame.size() != FrameSize(system)) return Result::WrongSize;
    if (!PictureFits(picture, system)) return Result::BadArgument;
    SegmentWriter writer;
    const ForwardFactors& factors = Factors();
    CodedMacroblock mbs[kMacroblocksPerSegment];
    float samples[64];
    for (size_t seq = 0; seq < SequenceCount(system); ++seq) {
        for (int seg = 0; seg < kSegmentsPerSequence; ++seg) {
            uint8_t* payloads[kMacroblocksPerSegment];
            for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                const size_t number = size_t(seg) * kMacroblocksPerSegment + m;
                uint8_t* block = frame.data() + dif::BlockOffset(seq, dif::VideoBlock(number));
                block[0] = uint8_t(uint8_t(dif::Section::Video) << 5 | 0x16);
                block[1] = uint8_t(seq << 4 | 0x07);
                block[2] = uint8_t(number);
                payloads[m] = block + dif::kBlockIdSize;

                const MacroblockPlace place = PlaceOfMacroblock(system, int(seq), seg, m);
                for (int b = 0; b < 4; ++b) {
                    const int dx = place.bSquare ? (b & 1) * 8 : b * 8;
                    const int dy = place.bSquare ? (b >> 1) * 8 : 0;
                    const int x = place.nLumaX + dx, y = place.nLumaY + dy;
                    Fetch(picture.y.data(), picture.nWidth, x, y, samples);
                    TransformBlock(factors, samples, m_bFieldAdaptive && PrefersFieldDct(picture.y.data(), picture.nWidth, x, y),
                                   mbs[m].blocks[b]);
                }
                const uint8_t* chroma[2] = {picture.cr.data(), picture.cb.data()};
                for (int c = 0; c < 2; ++c) {
                    bool fieldDct = false;
                    if (place.bEdge411) {
                        FetchEdge(chroma[c], picture.nChromaWidth, place.nChromaX, place.nChromaY, samples);
                    } else {
                        Fetch(chroma[c], picture.nChromaWidth, place.nChromaX, place.nChromaY, samples);
                        fieldDct = m_bFieldAdaptive &&
                                   PrefersFieldDct(chroma[c], picture.nChromaWidth, place.nChromaX, place.nChromaY);
                    }
                    TransformBlock(factors, samples, fieldDct, mbs[m].blocks[4 + c]);
                }
            }
            writer.Write(mbs, payloads);
        }
    }
    return Result::Ok;
}

Result Encoder::EncodeVideo(const RgbPicture& picture, System system, std::span<uint8_t> frame) {
    if (picture.nWidth != 720 || picture.nHeight != FrameHeight(system)) return Result::BadArgument;
    RgbToYuv(picture, system, m_yuv);
    return EncodeVideo(m_yuv, system, frame);
}

void RgbToYuv(const RgbPicture& rgb, System system, YuvPicture& yuv) {
    const bool is411 = system == System::System525_60;
    const int cw = is411 ? (rgb.nWidth + 3) / 4 : (rgb.nWidth + 1) / 2;
    const int ch = is411 ? rgb.nHeight : (rgb.nHeight + 1) / 2;
    yuv.Allocate(rgb.nWidth, rgb.nHeight, cw, ch);
    std::vector<int> sumU(size_t(cw) * ch, 0), sumV(size_t(cw) * ch, 0), count(size_t(cw) * ch, 0);
    // BT.601 full-range RGB to studio-level Y'CbCr, 16-bit fixed point.
    for (int y = 0; y < rgb.nHeight; ++y) {
        const uint8_t* p = rgb.At(0, y);
        for (int x = 0; x < rgb.nWidth; ++x, p += 3) {
            const int b = p[0], g = p[1], r = p[2];
            yuv.y[size_t(y) * rgb.nWidth + x] = uint8_t((16829 * r + 33039 * g + 6416 * b + (16 << 16) + 32768) >> 16);
            const size_t c = size_t(is411 ? y : y / 2) * cw + (is411 ? x / 4 : x / 2);
            sumU[c] += -9714 * r - 19070 * g + 28784 * b;
            sumV[c] += 28784 * r - 24103 * g - 4681 * b;
            ++count[c];
        }
    }
    for (size_t c = 0; c < sumU.size(); ++c) {
        const int n = std::max(count[c], 1);
        yuv.cb[c] = uint8_t(std::clamp(128 + int(std::lround(double(sumU[c]) / n / 65536.0)), 16, 240));
        yuv.cr[c] = uint8_t(std::clamp(128 + int(std::lround(double(sumV[c]) / n / 65536.0)), 16, 240));
    }
}

}  // namespace dv
