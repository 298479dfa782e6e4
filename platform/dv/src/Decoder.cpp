#include "dv/Decoder.h"

#include "Dct.h"
#include "Dequantizer.h"
#include "SegmentParser.h"
#include "Tables.h"

#include <algorithm>
#include <cstring>

namespace dv {

using namespace tables;

namespace {

constexpr float kDcScale = 4.0f;  // coded DC = orthonormal DC / 4

inline uint8_t ToSample(float v) {
    v += 128.5f;
    v = v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v);
    return uint8_t(int(v));
}

// One DCT block turned back into n x n samples (n = 8 / scale) around 0.
class BlockRenderer {
public:
    BlockRenderer(int scale) : m_nScale(scale), m_nSide(8 / scale) {}
    int Side() const { return m_nSide; }

    // Returns false when the block is flat: then every sample equals `flat`.
    bool Render(const ParsedBlock& block, int qno, float* out, float& flat) const {
        const float dc = float(block.nDc) * kDcScale;
        if (block.nCount == 0 || m_nScale == 8) {
            flat = dc / 8.0f;
            return false;
        }
        const Dequantizer& dq = Dequantizer::Instance();
        if (block.nMode == 0 && m_nScale == 1) {
            const float* mult = dq.Aan(block.nClass, qno);
            std::memset(out, 0, sizeof(float) * 64);
            out[0] = dc / 8.0f;
            for (int i = 0; i < block.nCount; ++i) out[block.index[i]] = float(block.level[i]) * mult[block.scan[i]];
            dct::InverseAan88(out);
            return true;
        }
        float coeffs[64] = {};
        const float* mult = dq.Orthonormal(block.nMode, block.nClass, qno);
        coeffs[0] = dc;
        for (int i = 0; i < block.nCount; ++i) coeffs[block.index[i]] = float(block.level[i]) * mult[block.scan[i]];
        if (block.nMode == 0) {
            dct::InverseReduced(coeffs, m_nSide, out);
            return true;
        }
        float full[64];
        dct::Inverse248(coeffs, full);
        if (m_nScale == 1) {
            std::memcpy(out, full, sizeof(full));
            return true;
        }
        for (int y = 0; y < m_nSide; ++y)
            for (int x = 0; x < m_nSide; ++x) {
                float acc = 0;
                for (int dy = 0; dy < m_nScale; ++dy)
                    for (int dx = 0; dx < m_nScale; ++dx) acc += full[(y * m_nScale + dy) * 8 + x * m_nScale + dx];
                out[y * m_nSide + x] = acc / float(m_nScale * m_nScale);
            }
        return true;
    }

private:
    int m_nScale;
    int m_nSide;
};

struct Plane {
    uint8_t* pData;
    int nWidth, nHeight;
};

// Stores a whole 8 x 8 block that lies inside the plane (the common full-size case).
void Store8(const Plane& plane, int x, int y, bool rendered, const float* samples, float flat) {
    uint8_t* dst = plane.pData + size_t(y) * plane.nWidth + x;
    if (!rendered) {
        const uint8_t v = ToSample(flat);
        for (int r = 0; r < 8; ++r, dst += plane.nWidth) std::memset(dst, v, 8);
        return;
    }
    for (int r = 0; r < 8; ++r, dst += plane.nWidth, samples += 8)
        for (int c = 0; c < 8; ++c) dst[c] = uint8_t(int(std::min(std::max(samples[c] + 128.5f, 0.0f), 255.0f)));
}

// Stores an n x n block at (x, y) of the plane; `split` stores the left half of the block at
// (x, y) and the right half below it (chroma of the 4:1:1 right-edge macroblocks).
void Store(const Plane& plane, int x, int y, int n, bool rendered, const float* samples, float flat, bool split) {
    const int width = split ? std::max(n / 2, 1) : n;
    const int rows = split ? n * 2 : n;
    const int half = split ? n / 2 : 0;
    for (int r = 0; r < rows; ++r) {
        const int py = y + r;
        if (py >= plane.nHeight) break;
        uint8_t* dst = plane.pData + size_t(py) * plane.nWidth;
        const int srcRow = split ? (r % n) : r;
        const int srcCol = (split && r >= n) ? half : 0;
        for (int c = 0; c < width; ++c) {
            const int px = x + c;
            if (px >= plane.nWidth) break;
            dst[px] = ToSample(rendered ? samples[srcRow * n + srcCol + c] : flat);
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

    const Plane luma{picture.y.data(), picture.nWidth, picture.nHeight};
    const Plane chroma[2] = {{picture.cr.data(), chromaWidth, chromaHeight},
                             {picture.cb.data(), chromaWidth, chromaHeight}};
    const BlockRenderer renderer(scale);
    const int n = renderer.Side();
    SegmentParser parser;
    ParsedMacroblock mbs[kMacroblocksPerSegment];
    float samples[64];
    for (size_t seq = 0; seq < SequenceCount(system); ++seq) {
        for (int seg = 0; seg < kSegmentsPerSequence; ++seg) {
            const uint8_t* payloads[kMacroblocksPerSegment];
            for (int m = 0; m < kMacroblocksPerSegment; ++m)
                payloads[m] = frame.data() + dif::BlockOffset(seq, dif::VideoBlock(size_t(seg) * 5 + m)) + dif::kBlockIdSize;
            parser.Parse(payloads, mbs);
            for (int m = 0; m < kMacroblocksPerSegment; ++m) {
                const MacroblockPlace place = PlaceOfMacroblock(system, int(seq), seg, m);
                const ParsedMacroblock& mb = mbs[m];
                for (int b = 0; b < kBlocksPerMacroblock; ++b) {
                    float flat = 0;
                    const bool rendered = renderer.Render(mb.blocks[b], mb.nQno, samples, flat);
                    if (b < 4) {
                        const int dx = place.bSquare ? (b & 1) * 8 : b * 8;
                        const int dy = place.bSquare ? (b >> 1) * 8 : 0;
                        if (scale == 1) Store8(luma, place.nLumaX + dx, place.nLumaY + dy, rendered, samples, flat);
                        else Store(luma, (place.nLumaX + dx) / scale, (place.nLumaY + dy) / scale, n, rendered, samples, flat, false);
                    } else if (place.bEdge411 && scale == 8) {
                        // Half a sample wide at this size: the one column, two rows tall.
                        Store(chroma[b - 4], place.nChromaX / 8, place.nChromaY / 8, 1, rendered, samples, flat, false);
                        Store(chroma[b - 4], place.nChromaX / 8, place.nChromaY / 8 + 1, 1, rendered, samples, flat, false);
                    } else if (scale == 1 && !place.bEdge411) {
                        Store8(chroma[b - 4], place.nChromaX, place.nChromaY, rendered, samples, flat);
                    } else {
                        Store(chroma[b - 4], place.nChromaX / scale, place.nChromaY / scale, n, rendered, samples, flat, place.bEdge411);
                    }
                }
            }
        }
    }
    return Result::Ok;
}

Result Decoder::DecodeRgb(std::span<const uint8_t> frame, DecodeSize size, RgbPicture& picture) {
    const Result result = DecodeYuv(frame, size, m_yuv);
    if (result != Result::Ok) return result;
    YuvToRgb(m_yuv, picture);
    return Result::Ok;
}

namespace {

// Saturating byte of a value in 1/65536 units, through a table covering the reachable range.
struct ClampTable {
    static constexpr int kOffset = 512;
    uint8_t values[1536];
    ClampTable() {
        for (int i = 0; i < 1536; ++i) values[i] = uint8_t(std::clamp(i - kOffset, 0, 255));
    }
    uint8_t operator()(int fixed) const { return values[(fixed >> 16) + kOffset]; }
};

}  // namespace

void YuvToRgb(const YuvPicture& yuv, RgbPicture& rgb) {
    if (rgb.nWidth != yuv.nWidth || rgb.nHeight != yuv.nHeight) rgb.Allocate(yuv.nWidth, yuv.nHeight);
    static const ClampTable clamp;
    // BT.601 studio levels to full-range RGB, 16-bit fixed point.
    constexpr int kY = 76309, kRv = 104597, kGu = 25675, kGv = 53279, kBu = 132201;
    const bool is411 = yuv.nChromaHeight == yuv.nHeight;
    const int perChroma = is411 ? 4 : 2;  // luma samples that share one chroma sample in a row
    for (int y = 0; y < yuv.nHeight; ++y) {
        const uint8_t* ly = yuv.y.data() + size_t(y) * yuv.nWidth;
        const int cy = is411 ? y : std::min(y / 2, yuv.nChromaHeight - 1);
        const uint8_t* lu = yuv.cb.data() + size_t(cy) * yuv.nChromaWidth;
        const uint8_t* lv = yuv.cr.data() + size_t(cy) * yuv.nChromaWidth;
        uint8_t* out = rgb.At(0, y);
        for (int x0 = 0; x0 < yuv.nWidth; x0 += perChroma) {
            const int cx = std::min(x0 / perChroma, yuv.nChromaWidth - 1);
            const int u = int(lu[cx]) - 128, v = int(lv[cx]) - 128;
            const int r = kRv * v, g = -kGu * u - kGv * v, b = kBu * u;
            const int end = std::min(x0 + perChroma, yuv.nWidth);
            for (int x = x0; x < end; ++x, out += 3) {
                const int l = (int(ly[x]) - 16) * kY + 32768;
                out[0] = clamp(l + b);
                out[1] = clamp(l + g);
                out[2] = clamp(l + r);
            }
        }
    }
}

}  // namespace dv
