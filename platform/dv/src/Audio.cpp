#include "dv/Audio.h"

#include <cstring>

namespace dv {

namespace {

constexpr size_t kAudioDataOffset = dif::kBlockIdSize + dif::kPackSize;  // 8: after ID and pack
constexpr size_t kSamplesPerBlock16 = 36;  // 72 bytes of 16-bit samples
constexpr size_t kSamplesPerBlock12 = 24;  // 72 bytes of 12-bit sample pairs

// Sample n of a channel lies in sequence (n / 3 + 2 (n % 3)) mod (sequences of the channel),
// audio block 3 (n % 3) + (n % stride) / (stride / 3), slot n / stride; stride 45 for 525/60,
// 54 for 625/50.
struct SamplePlace {
    size_t nSequence, nBlock, nSlot;
};
inline SamplePlace PlaceOfSample(size_t n, size_t halfSequences) {
    const size_t stride = halfSequences * 9;
    return SamplePlace{(n / 3 + 2 * (n % 3)) % halfSequences, 3 * (n % 3) + (n % stride) / (stride / 3), n / stride};
}

constexpr size_t AudioPackBlock(size_t seq) { return seq % 2 == 0 ? 3 : 0; }

int Capacity(System system, AudioQuantization q) {
    const size_t half = SequenceCount(system) / 2;
    return int(half * dif::kAudioBlocksPerSequence * (q == AudioQuantization::NonLinear12 ? kSamplesPerBlock12 : kSamplesPerBlock16));
}

// The positive half of the 12-bit code: 0..511 linear, then segments of 256 codes whose step
// doubles from 2 up to 64.
int Expand12Positive(int code) {
    if (code < 512) return code;
    const int segment = code >> 8;  // 2..7
    const int shift = segment - 1;
    return (code - 256 * shift) << shift;
}

int Compress16Positive(int value) {
    if (value < 512) return value;
    int shift = 1;
    while (shift < 6 && value >= (512 << shift)) ++shift;
    return (value >> shift) + 256 * shift;
}

}  // namespace

int16_t Expand12To16(int nCode12) {
    int code = nCode12 & 0xFFF;
    if (code >= 0x800) code -= 0x1000;
    return int16_t(code >= 0 ? Expand12Positive(code) : -Expand12Positive(-code - 1) - 1);
}

int Compress16To12(int16_t sample) {
    const int v = sample;
    const int code = v >= 0 ? Compress16Positive(v) : -Compress16Positive(-v - 1) - 1;
    return code & 0xFFF;
}

int MinSamplesPerFrame(System system, SampleRate rate) {
    static constexpr int kMin[2][3] = {{1580, 1452, 1053}, {1896, 1742, 1264}};
    return kMin[system == System::System625_50 ? 1 : 0][int(rate)];
}

int MaxSamplesPerFrame(System system, SampleRate rate) { return MinSamplesPerFrame(system, rate) + 63; }

int LockedSamplesPerFrame(System system, SampleRate rate, uint64_t nFrame) {
    const int hz = SampleRateHz(rate);
    if (system == System::System625_50) return hz / 25;
    if (rate == SampleRate::Rate48k) return nFrame % 5 == 0 ? 1600 : 1602;
    auto total = [&](uint64_t frames) { return frames * uint64_t(hz) * 1001 / 30000; };
    return int(total(nFrame + 1) - total(nFrame));
}

Result ExtractAudio(std::span<const uint8_t> frame, AudioFrame& audio) {
    System system;
    const Result result = DetectSystem(frame, system);
    if (result != Result::Ok) return result;
    const auto packBytes = FindAauxPack(frame, pack::kAudioSource);
    if (!packBytes) return Result::NoAudio;
    const auto source = ParseAudioSourcePack(std::span<const uint8_t, dif::kPackSize>(*packBytes));
    if (!source || source->quantization == AudioQuantization::Linear20 ||
        source->nSamples > Capacity(system, source->quantization))
        return Result::NoAudio;

    const size_t half = SequenceCount(system) / 2;
    audio.nRate = SampleRateHz(source->rate);
    audio.nChannels = source->nChannels;
    audio.nSamples = source->nSamples;
    audio.samples.assign(size_t(audio.nChannels) * audio.nSamples, 0);
    const uint8_t* data = frame.data();
    if (source->quantization == AudioQuantization::Linear16) {
        for (size_t ch = 0; ch < 2; ++ch)
            for (size_t n = 0; n < size_t(audio.nSamples); ++n) {
                const SamplePlace p = PlaceOfSample(n, half);
                const uint8_t* s = data + dif::BlockOffset(p.nSequence + ch * half, dif::AudioBlock(p.nBlock)) +
                                   kAudioDataOffset + 2 * p.nSlot;
                audio.samples[n * 2 + ch] = int16_t(uint16_t(s[0] << 8 | s[1]));
            }
        return Result::Ok;
    }
    // 12 bits: three bytes carry one sample of each channel of a pair; the first half of the
    // sequences holds channels 1 and 2, the second half channels 3 and 4.
    const size_t pairs = size_t(audio.nChannels) / 2;
    for (size_t pair = 0; pair < pairs; ++pair)
        for (size_t n = 0; n < size_t(audio.nSamples); ++n) {
            const SamplePlace p = PlaceOfSample(n, half);
            const uint8_t* s = data + dif::BlockOffset(p.nSequence + pair * half, dif::AudioBlock(p.nBlock)) +
                               kAudioDataOffset + 3 * p.nSlot;
            const size_t at = n * audio.nChannels + pair * 2;
            audio.samples[at] = Expand12To16(s[0] << 4 | s[2] >> 4);
            audio.samples[at + 1] = Expand12To16(s[1] << 4 | (s[2] & 0x0F));
        }
    return Result::Ok;
}

Result InsertAudio(std::span<uint8_t> frame, const AudioSource& source, std::span<const int16_t> samples) {
    if (frame.size() != FrameSize(source.system)) return Result::WrongSize;
    if (source.quantization == AudioQuantization::Linear20) return Result::BadArgument;
    const int channels = source.quantization == AudioQuantization::NonLinear12 ? source.nChannels : 2;
    if ((channels != 2 && channels != 4) || source.nChannels != channels) return Result::BadArgument;
    if (source.nSamples < MinSamplesPerFrame(source.system, source.rate) ||
        source.nSamples > MaxSamplesPerFrame(source.system, source.rate) ||
        source.nSamples > Capacity(source.system, source.quantization) ||
        samples.size() < size_t(source.nSamples) * channels)
        return Result::BadArgument;

    const size_t sequences = SequenceCount(source.system), half = sequences / 2;
    uint8_t* data = frame.data();
    // Unused slots are zero.
    for (size_t seq = 0; seq < sequences; ++seq)
        for (size_t a = 0; a < dif::kAudioBlocksPerSequence; ++a)
            std::memset(data + dif::BlockOffset(seq, dif::AudioBlock(a)) + kAudioDataOffset, 0,
                        dif::kBlockSize - kAudioDataOffset);
    if (source.quantization == AudioQuantization::Linear16) {
        for (size_t ch = 0; ch < 2; ++ch)
            for (size_t n = 0; n < size_t(source.nSamples); ++n) {
                const SamplePlace p = PlaceOfSample(n, half);
                uint8_t* s = data + dif::BlockOffset(p.nSequence + ch * half, dif::AudioBlock(p.nBlock)) +
                             kAudioDataOffset + 2 * p.nSlot;
                const uint16_t v = uint16_t(samples[n * 2 + ch]);
                s[0] = uint8_t(v >> 8);
                s[1] = uint8_t(v);
            }
    } else {
        for (size_t pair = 0; pair < size_t(channels) / 2; ++pair)
            for (size_t n = 0; n < size_t(source.nSamples); ++n) {
                const SamplePlace p = PlaceOfSample(n, half);
                uint8_t* s = data + dif::BlockOffset(p.nSequence + pair * half, dif::AudioBlock(p.nBlock)) +
                             kAudioDataOffset + 3 * p.nSlot;
                const size_t at = n * channels + pair * 2;
                const int a = Compress16To12(samples[at]), b = Compress16To12(samples[at + 1]);
                s[0] = uint8_t(a >> 4);
                s[1] = uint8_t(b >> 4);
                s[2] = uint8_t((a & 0x0F) << 4 | (b & 0x0F));
            }
    }
    const Pack sourcePack = MakeAudioSourcePack(source);
    for (size_t seq = 0; seq < sequences; ++seq)
        std::memcpy(data + dif::BlockOffset(seq, dif::AudioBlock(AudioPackBlock(seq))) + dif::kBlockIdSize,
                    sourcePack.data(), sourcePack.size());
    return Result::Ok;
}

}  // namespace dv
