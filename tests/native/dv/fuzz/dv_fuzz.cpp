// libFuzzer target: arbitrary bytes as DV frames for the decoder, the pack readers and the audio
// reader. Built and run for a bounded time by scripts/bench-dv (clang), not by the test suite.
#include "dv/Audio.h"
#include "dv/Decoder.h"
#include "dv/FrameInfo.h"
#include "dv/Packs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> raw(data, size);
    // The input as it stands: most sizes are refused, nothing may be read past it.
    dv::StreamProperties props = dv::ReadStreamProperties(raw);
    (void)props;
    dv::FindVauxPack(raw, dv::pack::kVideoControl);
    dv::FindAauxPack(raw, dv::pack::kAudioSource);
    dv::FindSubcodePack(raw, dv::pack::kTimeCode);
    dv::Decoder decoder;
    dv::YuvPicture yuv;
    dv::RgbPicture rgb;
    decoder.DecodeYuv(raw, dv::DecodeSize::Full, yuv);
    if (size < 2) return 0;

    // The input spread over a whole frame of the system its first byte picks, so that short
    // inputs reach every block.
    const bool pal = data[0] & 1;
    std::vector<uint8_t> frame(pal ? dv::dif::kFrameSize625 : dv::dif::kFrameSize525);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = data[1 + i % (size - 1)];
    frame[dv::dif::kDsfOffset] = uint8_t((frame[dv::dif::kDsfOffset] & ~dv::dif::kDsfBit) | (pal ? dv::dif::kDsfBit : 0));
    // Full size, and one of the smaller sizes (by the second byte) to RGB: one decode of each kind
    // per input keeps the runs fast.
    decoder.DecodeYuv(frame, dv::DecodeSize::Full, yuv);
    static constexpr dv::DecodeSize kSmaller[3] = {dv::DecodeSize::Half, dv::DecodeSize::Quarter, dv::DecodeSize::Eighth};
    decoder.DecodeRgb(frame, kSmaller[data[1] % 3], rgb);
    dv::FrameInfo info;
    dv::ReadFrameInfo(frame, info);
    dv::AudioFrame audio;
    dv::ExtractAudio(frame, audio);
    return 0;
}
