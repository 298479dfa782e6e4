// Pictures handed to and from the codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dv {

// Planar Y'CbCr with studio levels (Y' 16..235, Cb and Cr 16..240). The chroma planes are a
// quarter of the width (4:1:1, 525/60) or half the width and half the height (4:2:0, 625/50).
struct YuvPicture {
    int nWidth = 0, nHeight = 0;            // luma size
    int nChromaWidth = 0, nChromaHeight = 0;
    std::vector<uint8_t> y, cb, cr;         // rows packed, no padding

    void Allocate(int width, int height, int chromaWidth, int chromaHeight);
};

// 24-bit RGB as a device-independent bitmap wants it: rows bottom-up, bytes B, G, R, every row
// padded to a multiple of four bytes.
struct RgbPicture {
    int nWidth = 0, nHeight = 0;
    int nStride = 0;                        // bytes per row
    std::vector<uint8_t> pixels;            // nStride * nHeight bytes, first row is the bottom one

    void Allocate(int width, int height);
    // Pixel (x, y) with y counted from the top.
    uint8_t* At(int x, int y) { return pixels.data() + size_t(nHeight - 1 - y) * nStride + size_t(x) * 3; }
    const uint8_t* At(int x, int y) const { return pixels.data() + size_t(nHeight - 1 - y) * nStride + size_t(x) * 3; }
};

}  // namespace dv
