#include "dv/Encoder.h"

#include "Dct.h"
#include "SegmentWriter.h"
#include "Tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace dv {

using namespace tables;

namespace {

// Largest codable amplitude with a step of 1; class 3 doubles every step and takes larger values.
constexpr int kMaxClassTwoValue = 255;

// Weighted coefficient = AAN forward output * kForward88[index].
struct ForwardFactors {
    float f88[64];
    ForwardFactors() {
        const float* w = Weight88();
        for (int i = 0; i < 64; ++i) f88[i] = w[i] / (kAanScale[i / 8] * kAanScale[i % 8] * 8.0f);
    }
};
const ForwardFactors& Factors() {
    static const ForwardFactors factors;
    return factors;
}

inline int RoundToInt(float v) { return int(v + (v >= 0 ? 0.5f : -0.5f)); }

// Gets 8 x 8 samples (minus 128) of a plane.
void Fetch(const uint8_t* plane, int stride, int x, int y, float* out) {
    for (int r = 0; r < 8; ++r) {
        const uint8_t* src = plane + size_t(y + r) * stride + x;
        for (int c = 0; c < 8; ++c) out[r * 8 + c] = float(src[c]) - 128.0f;
    }
}

// The 4 x 16 chroma of a 4:1:1 right-edge macroblock: upper 8 rows on the left, lower on the right.
void FetchEdge(const uint8_t* plane, int stride, int x, int y, float* out) {
    for (int r = 0; r < 16; ++r) {
        const uint8_t* src = plane + size_t(y + r) * stride + x;
        for (int c = 0; c < 4; ++c) out[(r % 8) * 8 + (r >= 8 ? 4 : 0) + c] = float(src[c]) - 128.0f;
    }
}

// Whether the two fields of the block differ much more than neighbouring lines of one field.
bool PrefersFieldDct(const float* s) {
    float between = 0, within = 0;
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 8; ++c) {
            between += std::fabs(s[r * 8 + c] - s[(r + 1) * 8 + c]);
            if (r < 6) within += std::fabs(s[r * 8 + c] - s[(r + 2) * 8 + c]);
        }
    return between > 2.0f * within + 400.0f;
}

void TransformBlock(float* samples, bool fieldAdaptive, CodedBlock& block) {
    float coeffs[64];
    const uint8_t* scan;
    block.nMode = (fieldAdaptive && PrefersFieldDct(samples)) ? 1 : 0;
    if (block.nMode == 0) {
        dct::ForwardAan88(samples);
        const float* f = Factors().f88;
        for (int i = 0; i < 64; ++i) coeffs[i] = samples[i] * f[i];
        scan = kScan88;
    } else {
        dct::Forward248(samples, coeffs);
        const float* w = Weight248();
        for (int i = 0; i < 64; ++i) coeffs[i] *= w[i];
        scan = kScan248;
    }
    block.nDc = int16_t(std::clamp(RoundToInt(coeffs[0]), -256, 255));
    int peak = 0;
    block.nCount = 0;
    for (int i = 1; i < 64; ++i) {
        const int v = RoundToInt(coeffs[scan[i]]);
        if (v == 0) continue;
        peak = std::max(peak, std::abs(v));
        block.scan[block.nCount] = uint8_t(i);
        block.value[block.nCount] = int16_t(std::clamp(v, -2 * kMaxClassTwoValue, 2 * kMaxClassTwoValue));
        ++block.nCount;
    }
    block.bNeedsClass3 = peak > kMaxClassTwoValue;
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
                    Fetch(picture.y.data(), picture.nWidth, place.nLumaX + dx, place.nLumaY + dy, samples);
                    TransformBlock(samples, m_bFieldAdaptive, mbs[m].blocks[b]);
                }
                const uint8_t* chroma[2] = {picture.cr.data(), picture.cb.data()};
                for (int c = 0; c < 2; ++c) {
                    if (place.bEdge411)
                        FetchEdge(chroma[c], picture.nChromaWidth, place.nChromaX, place.nChromaY, samples);
                    else
                        Fetch(chroma[c], picture.nChromaWidth, place.nChromaX, place.nChromaY, samples);
                    TransformBlock(samples, m_bFieldAdaptive && !place.bEdge411, mbs[m].blocks[4 + c]);
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
