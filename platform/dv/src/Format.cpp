#include "dv/Format.h"
#include "dv/Picture.h"

namespace dv {

const char* ResultText(Result result) {
    switch (result) {
    case Result::Ok: return "ok";
    case Result::WrongSize: return "not the size of a DV frame";
    case Result::NotDv: return "not a DV frame";
    case Result::BadArgument: return "bad argument";
    case Result::NoAudio: return "no audio in the frame";
    }
    return "unknown result";
}

Result DetectSystem(std::span<const uint8_t> frame, System& system) {
    if (frame.size() != dif::kFrameSize525 && frame.size() != dif::kFrameSize625) return Result::WrongSize;
    const System claimed = (frame[dif::kDsfOffset] & dif::kDsfBit) ? System::System625_50 : System::System525_60;
    if (FrameSize(claimed) != frame.size()) return Result::WrongSize;
    system = claimed;
    return Result::Ok;
}

void YuvPicture::Allocate(int width, int height, int chromaWidth, int chromaHeight) {
    nWidth = width;
    nHeight = height;
    nChromaWidth = chromaWidth;
    nChromaHeight = chromaHeight;
    y.assign(size_t(width) * height, 16);
    cb.assign(size_t(chromaWidth) * chromaHeight, 128);
    cr.assign(size_t(chromaWidth) * chromaHeight, 128);
}

void RgbPicture::Allocate(int width, int height) {
    nWidth = width;
    nHeight = height;
    nStride = (width * 3 + 3) & ~3;
    pixels.assign(size_t(nStride) * height, 0);
}

}  // namespace dv
