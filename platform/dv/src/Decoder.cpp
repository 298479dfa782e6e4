#include "dv/Decoder.h"

#include "BitIo.h"
#include "Dct.h"
#include "Dequantizer.h"
#include "RgbRows.h"
#include "SegmentParser.h"
#include "Tables.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dv {

using namespace tables;

namespace {

constexpr float kDcScale = 4.0f;  // coded DC = orthonormal DC / 4

// A sample around 0 as a byte: floor(v + 128.5), saturated.
inline uint8_t ToSample(float v) { return uint8_t(int(std::min(std::max(v + 128.5f, 0.0f), 255.0f))); }

#if defined(__SSE2__)
// Four samples as 32-bit integers truncated after the offset: the same bytes once the packs
// saturate them (a block's samples stay far inside 32 bits, and below 0 truncation and flooring
// both end at 0).
inline __m128i Rounded4(const float* samples) {
    return _mm_cvttps_epi32(_mm_add_ps(_mm_loadu_ps(samples), _mm_set1_ps(128.5f)));
}
#endif

// One row of eight samples.
inline void StoreRow8(const float* samples, uint8_t* dst) {
#if defined(__SSE2__)
    const __m128i words = _mm_packs_epi32(Rounded4(samples), Rounded4(samples + 4));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(words, words));
#else
    for (int c = 0; c < 8; ++c) dst[c] = ToSample(samples[c]);
#endif
}

// One row of four samples.
inline void StoreRow4(const float* samples, uint8_t* dst) {
#if defined(__SSE2__)
    const __m128i words = _mm_packs_epi32(Rounded4(samples), Rounded4(samples));
    const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(dst, &bytes, 4);
#else
    for (int c = 0; c < 4; ++c) dst[c] = ToSample(samples[c]);
#endif
}

// One DCT block turned back into n x n samples (n = 8 / scale, scale 1, 2 or 4) around 0.
class BlockRenderer {
public:
    explicit BlockRenderer(int scale) : m_nScale(scale), m_nSide(8 / scale) {
        for (int i = 0; i < 64; ++i) {
            const int v = i / 8, h = i % 8;
            m_slots[i] = uint8_t(v < m_nSide && h < m_nSide ? v * m_nSide + h : kSpareSlot);
        }
        for (int i = 0; i < 64; ++i)
            if (m_slots[kScan88[i]] != kSpareSlot) m_nLastLowScan = i;
    }

    // Returns false when the block is flat: then every sample equals `flat`.
    bool Render(const ParsedBlock& block, int qno, float* out, float& flat) const {
        const float dc = float(block.nDc) * kDcScale;
        if (block.nCount == 0) {
            flat = dc / 8.0f;
            return false;
        }
        const Dequantizer& dq = Dequantizer::Instance();
        if (m_nScale == 1) {
            // Coefficients prescaled for the AAN transforms: DC (0, 0) by 1 / 8, or by 1 / sqrt(8)
            // for the row transform of 2-4-8 blocks.
            const bool field = block.nMode != 0;
            const float* mult = field ? dq.Aan248(block.nClass, qno) : dq.Aan(block.nClass, qno);
            std::memset(out, 0, sizeof(float) * 64);
            out[0] = field ? dc * kInvSqrt8 : dc / 8.0f;
            for (int i = 0; i < block.nCount; ++i) out[block.index[i]] = float(block.level[i]) * mult[block.scan[i]];
            if (field) dct::Inverse248Aan(out);
            else dct::InverseAan88(out);
            return true;
        }
        const float* mult = dq.Orthonormal(block.nMode, block.nClass, qno);
        if (block.nMode == 0) {
            // Only the n x n lowest frequencies count at this size; the others land in a spare slot.
            float low[kSpareSlot + 1] = {};
            low[0] = dc;
            // Coefficients come in scan order: none after the last low frequency counts.
            for (int i = 0; i < block.nCount && block.scan[i] <= m_nLastLowScan; ++i)
                low[m_slots[block.index[i]]] = float(block.level[i]) * mult[block.scan[i]];
            dct::InverseReducedPacked(low, m_nSide, out);
            return true;
        }
        float coeffs[64] = {};
        coeffs[0] = dc;
        for (int i = 0; i < block.nCount; ++i) coeffs[block.index[i]] = float(block.level[i]) * mult[block.scan[i]];
        dct::InverseReduced248(coeffs, m_nSide, out);
        return true;
    }

private:
    static constexpr float kInvSqrt8 = 0.353553391f;
    static constexpr int kSpareSlot = 16;
    int m_nScale;
    int m_nSide;
    uint8_t m_slots[64];  // coefficient index to its place among the n x n lowest, or the spare slot
    int m_nLastLowScan = 0;  // scan position of the last of them
};

struct Plane {
    uint8_t* pData;
    int nWidth;
    uint8_t* At(int x, int y) const { return pData + size_t(y) * nWidth + x; }
};

// Stores n x n samples (or the flat value) at `dst`; the decoder's block places always lie
// inside their plane.
template <int n>
void StoreBlock(uint8_t* dst, int stride, bool rendered, const float* samples, float flat) {
    if (!rendered) {
        const uint8_t v = ToSample(flat);
        for (int r = 0; r < n; ++r, dst += stride) std::memset(dst, v, n);
        return;
    }
    for (int r = 0; r < n; ++r, dst += stride, samples += n) {
        if constexpr (n == 8) StoreRow8(samples, dst);
        else if constexpr (n == 4) StoreRow4(samples, dst);
        else
            for (int c = 0; c < n; ++c) dst[c] = ToSample(samples[c]);
    }
}

// The chroma block of a 16 x 16 macroblock at the right edge of a 4:1:1 picture: n/2 columns by
// 2n rows, its left half above its right half.
template <int n>
void StoreSplitBlock(uint8_t* dst, int stride, bool rendered, const float* samples, float flat) {
    constexpr int half = n / 2;
    for (int r = 0; r < 2 * n; ++r, dst += stride) {
        const float* src = samples + (r % n) * n + (r >= n ? half : 0);
        for (int c = 0; c < half; ++c) dst[c] = ToSample(rendered ? src[c] : flat);
    }
}

template <int n>
void StoreMacroblockBlock(const Plane (&planes)[3], const MacroblockPlace& place, int b, bool rendered,
                          const float* samples, float flat) {
    constexpr int scale = 8 / n;
    if (b < 4) {
        const int dx = place.bSquare ? (b & 1) * 8 : b * 8;
        const int dy = place.bSquare ? (b >> 1) * 8 : 0;
        const Plane& luma = planes[0];
        StoreBlock<n>(luma.At((place.nLumaX + dx) / scale, (place.nLumaY + dy) / scale), luma.nWidth, rendered, samples, flat);
        return;
    }
    const Plane& chroma = planes[b - 3];
    uint8_t* dst = chroma.At(place.nChromaX / scale, place.nChromaY / scale);
    if (place.bEdge411) StoreSplitBlock<n>(dst, chroma.nWidth, rendered, samples, flat);
    else StoreBlock<n>(dst, chroma.nWidth, rendered, samples, flat);
}

template <int n>
void DecodeSegments(std::span<const uint8_t> frame, System system, const Plane (&planes)[3]) {
    const BlockRenderer renderer(8 / n);
    SegmentParser parser;
    ParsedMacroblock mbs[kMacroblocksPerSegment];
    alignas(16) float samples[64];
    for (size_t seq = 0; seq < SequenceCount(system); ++seq) {
        for (int seg = 0; seg < kSegmentsPerSequence; ++seg) {
            const uint8_t* payloads[kMacroblocksPerSegment];
            for (int m = 0; m < kMacroblocksPerSegment; ++m)
                payloads[m] = frame.data() + dif::BlockOffset(seq, dif::VideoBlock(size_t(seg) * 5 + m)) + dif::kBlockIdSize;
            parser.Parse(payloads, mbs);
            for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                const MacroblockPlace place = PlaceOfMacroblock(system, int(seq), seg, m);
                for (int b = 0; b < kBlocksPerMacroblock; ++b) {
                    float flat = 0;
                    const bool rendered = renderer.Render(mbs[m].blocks[b], mbs[m].nQno, samples, flat);
                    StoreMacroblockBlock<n>(planes, place, b, rendered, samples, flat);
                }
            }
        }
    }
}

// The sample of a flat block, by its 9-bit coded DC (two's complement).
struct DcSamples {
    uint8_t values[512];
    DcSamples() {
        for (int dc = 0; dc < 512; ++dc) values[dc] = ToSample(float(dc >= 256 ? dc - 512 : dc) * (kDcScale / 8.0f));
    }
};

// Eighth size: one sample per block, its DC, read straight from the block's header; the codes
// that follow are not needed.
void DecodeDcOnly(std::span<const uint8_t> frame, System system, const Plane (&planes)[3]) {
    static const DcSamples dcSamples;
    for (size_t seq = 0; seq < SequenceCount(system); ++seq) {
        for (int seg = 0; seg < kSegmentsPerSequence; ++seg) {
            for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                const uint8_t* payload =
                    frame.data() + dif::BlockOffset(seq, dif::VideoBlock(size_t(seg) * 5 + m)) + dif::kBlockIdSize;
                const MacroblockPlace place = PlaceOfMacroblock(system, int(seq), seg, m);
                uint8_t v[kBlocksPerMacroblock];
                for (int b = 0; b < kBlocksPerMacroblock; ++b) {
                    const uint8_t* header = payload + kBlockStartBit[b] / 8;  // blocks start on whole bytes
                    v[b] = dcSamples.values[(header[0] << 1) | (header[1] >> 7)];
                }
                const Plane& luma = planes[0];
                uint8_t* y = luma.At(place.nLumaX / 8, place.nLumaY / 8);
                if (place.bSquare) {
                    y[0] = v[0], y[1] = v[1], y[luma.nWidth] = v[2], y[luma.nWidth + 1] = v[3];
                } else {
                    y[0] = v[0], y[1] = v[1], y[2] = v[2], y[3] = v[3];
                }
                for (int c = 0; c < 2; ++c) {
                    const Plane& chroma = planes[1 + c];
                    uint8_t* dst = chroma.At(place.nChromaX / 8, place.nChromaY / 8);
                    dst[0] = v[4 + c];
                    // Half a sample wide at this size: the one column, two rows tall.
                    if (place.bEdge411) dst[chroma.nWidth] = v[4 + c];
                }
            }
        }
    }
}

}  // namespace

int DecodedWidth(DecodeSize size) { return 720 / int(size); }
int DecodedHeight(System system, DecodeSize size) { return FrameHeight(system) / int(size); }

Result Decoder::DecodeYuv(std::span<const uint8_t> frame, DecodeSize size, YuvPicture& picture) {
    System system;
    const Result result = DetectSystem(frame, system);
    if (result != Result::Ok) return result;
    const int scale = int(size);
    if (scale != 1 && scale != 2 && scale != 4 && scale != 8) return Result::BadArgument;
    const bool is411 = system == System::System525_60;
    const int chromaWidth = is411 ? (180 + scale - 1) / scale : 360 / scale;
    const int chromaHeight = is411 ? 480 / scale : 288 / scale;
    if (picture.nWidth != 720 / scale || picture.nHeight != FrameHeight(system) / scale ||
        picture.nChromaWidth != chromaWidth || picture.nChromaHeight != chromaHeight)
        picture.Allocate(720 / scale, FrameHeight(system) / scale, chromaWidth, chromaHeight);

    const Plane planes[3] = {{picture.y.data(), picture.nWidth}, {picture.cr.data(), chromaWidth}, {picture.cb.data(), chromaWidth}};
    switch (size) {
    case DecodeSize::Full: DecodeSegments<8>(frame, system, planes); break;
    case DecodeSize::Half: DecodeSegments<4>(frame, system, planes); break;
    case DecodeSize::Quarter: DecodeSegments<2>(frame, system, planes); break;
    case DecodeSize::Eighth: DecodeDcOnly(frame, system, planes); break;
    }
    return Result::Ok;
}

Result Decoder::DecodeRgb(std::span<const uint8_t> frame, DecodeSize size, RgbPicture& picture) {
    const Result result = DecodeYuv(frame, size, m_yuv);
    if (result != Result::Ok) return result;
    YuvToRgb(m_yuv, picture);
    return Result::Ok;
}

void YuvToRgb(const YuvPicture& yuv, RgbPicture& rgb) {
    if (rgb.nWidth != yuv.nWidth || rgb.nHeight != yuv.nHeight) rgb.Allocate(yuv.nWidth, yuv.nHeight);
    if (yuv.nChromaWidth <= 0 || yuv.nChromaHeight <= 0) return;
    const bool is411 = yuv.nChromaHeight == yuv.nHeight;
    const int perChroma = is411 ? 4 : 2;  // luma samples that share one chroma sample in a row
    const int rowsPerChroma = is411 ? 1 : 2;
    for (int y = 0; y < yuv.nHeight; y += rowsPerChroma) {
        const int count = std::min(rowsPerChroma, yuv.nHeight - y);
        const uint8_t* luma[rgb::kMaxRows];
        uint8_t* out[rgb::kMaxRows];
        for (int r = 0; r < count; ++r) {
            luma[r] = yuv.y.data() + size_t(y + r) * yuv.nWidth;
            out[r] = rgb.At(0, y + r);
        }
        const size_t chromaRow = size_t(std::min(y / rowsPerChroma, yuv.nChromaHeight - 1)) * yuv.nChromaWidth;
        rgb::ConvertRows(luma, out, count, yuv.cb.data() + chromaRow, yuv.cr.data() + chromaRow, yuv.nChromaWidth, perChroma,
                         yuv.nWidth);
    }
}

}  // namespace dv
