#include "dv/Packs.h"

#include <algorithm>

namespace dv {

namespace {

constexpr int Bcd(int value) { return ((value / 10) << 4) | (value % 10); }
// Two BCD digits: tens in the bits of `tensMask` (above bit 3), units in bits 0..3.
constexpr int FromBcd(uint8_t byte, uint8_t tensMask) { return ((byte & tensMask) >> 4) * 10 + (byte & 0x0F); }

// Minimum audio samples per frame by system and rate; the AAUX source pack stores the rest.
constexpr int kMinSamples[2][3] = {{1580, 1452, 1053}, {1896, 1742, 1264}};

int SystemIndex(System system) { return system == System::System625_50 ? 1 : 0; }

}  // namespace

int SampleRateHz(SampleRate rate) {
    switch (rate) {
    case SampleRate::Rate48k: return 48000;
    case SampleRate::Rate44k1: return 44100;
    case SampleRate::Rate32k: return 32000;
    }
    return 0;
}

bool IsWideScreen(int nDisplayMode, int nBroadcastSystem) {
    if (nBroadcastSystem == 0) return nDisplayMode == 1 || nDisplayMode == 2;
    if (nBroadcastSystem == 1) return nDisplayMode == 3 || nDisplayMode == 4 || nDisplayMode == 5 || nDisplayMode == 7;
    return false;
}

Pack MakeTimeCodePack(const TimeCode& tc) {
    if (!tc.IsKnown()) return Pack{pack::kTimeCode, 0xFF, 0xFF, 0xFF, 0xFF};
    return Pack{pack::kTimeCode,
                uint8_t((tc.bDropFrame ? 0x40 : 0x00) | Bcd(tc.nFrames % 40)),
                uint8_t(0x80 | Bcd(tc.nSeconds % 60)),
                uint8_t(0x80 | Bcd(tc.nMinutes % 60)),
                uint8_t(0xC0 | Bcd(tc.nHours % 24))};
}

std::optional<TimeCode> ParseTimeCodePack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kTimeCode) return std::nullopt;
    TimeCode tc;
    if (p[1] == 0xFF) return tc;  // unknown
    tc.bDropFrame = (p[1] & 0x40) != 0;
    tc.nFrames = FromBcd(p[1], 0x30);
    tc.nSeconds = FromBcd(p[2], 0x70);
    tc.nMinutes = FromBcd(p[3], 0x70);
    tc.nHours = FromBcd(p[4], 0x30);
    return tc;
}

Pack MakeRecDatePack(uint8_t header, const RecDate& date) {
    if (date.nYear < 0) return Pack{header, 0xFF, 0xFF, 0xFF, 0xFF};
    return Pack{header, 0xFF,  // no time zone
                uint8_t(0xC0 | Bcd(date.nDay)), uint8_t(0xE0 | Bcd(date.nMonth)), uint8_t(Bcd(date.nYear % 100))};
}

std::optional<RecDate> ParseRecDatePack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kRecDate && p[0] != pack::kAudioRecDate) return std::nullopt;
    RecDate date;
    if (p[2] == 0xFF && p[3] == 0xFF && p[4] == 0xFF) return date;
    const int year = FromBcd(p[4], 0xF0);
    date.nYear = year < 75 ? 2000 + year : 1900 + year;
    date.nMonth = FromBcd(p[3], 0x10);
    date.nDay = FromBcd(p[2], 0x30);
    return date;
}

Pack MakeRecTimePack(uint8_t header, const RecTime& time) {
    if (time.nHours < 0) return Pack{header, 0xFF, 0xFF, 0xFF, 0xFF};
    return Pack{header, 0xFF,  // frames not given
                uint8_t(0x80 | Bcd(time.nSeconds)), uint8_t(0x80 | Bcd(time.nMinutes)), uint8_t(0xC0 | Bcd(time.nHours))};
}

std::optional<RecTime> ParseRecTimePack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kRecTime && p[0] != pack::kAudioRecTime) return std::nullopt;
    RecTime time;
    if (p[2] == 0xFF && p[3] == 0xFF && p[4] == 0xFF) return time;
    time.nSeconds = FromBcd(p[2], 0x70);
    time.nMinutes = FromBcd(p[3], 0x70);
    time.nHours = FromBcd(p[4], 0x30);
    return time;
}

Pack MakeAudioSourcePack(const AudioSource& s) {
    const int minimum = kMinSamples[SystemIndex(s.system)][int(s.rate)];
    const int extra = s.nSamples - minimum;
    return Pack{pack::kAudioSource,
                uint8_t((s.bLocked ? 0x00 : 0x80) | 0x40 | (extra & 0x3F)),            // LF, AF size
                uint8_t(s.nChannels == 4 ? 0x20 : 0x00),                                 // CHN, audio mode
                uint8_t(0xC0 | (s.system == System::System625_50 ? 0x20 : 0x00)),       // 50/60, STYPE 0
                uint8_t(0x80 | (int(s.rate) << 3) | int(s.quantization))};               // EF, SMP, QU
}

std::optional<AudioSource> ParseAudioSourcePack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kAudioSource) return std::nullopt;
    AudioSource s;
    s.system = (p[3] & 0x20) ? System::System625_50 : System::System525_60;
    const int rate = (p[4] >> 3) & 0x07;
    const int quant = p[4] & 0x07;
    if (rate > 2 || quant > 2) return std::nullopt;
    s.rate = SampleRate(rate);
    s.quantization = AudioQuantization(quant);
    s.bLocked = (p[1] & 0x80) == 0;
    s.nSamples = kMinSamples[SystemIndex(s.system)][rate] + (p[1] & 0x3F);
    // Four channels: two per audio block (CHN) or, as in 12-bit 32 kHz recordings, the second
    // pair in the second half of the frame.
    s.nChannels = (s.quantization == AudioQuantization::NonLinear12 && s.rate == SampleRate::Rate32k) ? 4 : 2;
    return s;
}

Pack MakeAudioControlPack(const AudioControl& c) {
    return Pack{pack::kAudioControl,
                0x03,                                                  // CGMS free, no copy source info
                uint8_t((c.bRecordingStart ? 0x00 : 0x80) | 0x4F),    // REC ST, REC END, original, CH
                uint8_t((c.bForward ? 0x80 : 0x00) | (c.nSpeed & 0x7F)),
                0xFF};
}

std::optional<AudioControl> ParseAudioControlPack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kAudioControl) return std::nullopt;
    AudioControl c;
    c.bRecordingStart = (p[2] & 0x80) == 0;
    c.bForward = (p[3] & 0x80) != 0;
    c.nSpeed = p[3] & 0x7F;
    return c;
}

Pack MakeVideoSourcePack(const VideoSource& s) {
    return Pack{pack::kVideoSource, 0xFF,
                uint8_t(s.bColor ? 0xFF : 0x7F),                                            // B/W, EN, CLF
                uint8_t(0xC0 | (s.system == System::System625_50 ? 0x20 : 0x00)),          // 50/60, STYPE 0
                0xFF};
}

std::optional<VideoSource> ParseVideoSourcePack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kVideoSource) return std::nullopt;
    VideoSource s;
    s.system = (p[3] & 0x20) ? System::System625_50 : System::System525_60;
    s.bColor = (p[2] & 0x80) != 0;
    return s;
}

Pack MakeVideoControlPack(const VideoControl& c) {
    return Pack{pack::kVideoControl, 0x3F,
                uint8_t((c.bRecordingStart ? 0x00 : 0x80) | 0x48 | (c.nDisplayMode & 0x07)),
                uint8_t(0xE8 | (c.bInterlaced ? 0x10 : 0x00) | 0x04 | (c.nBroadcastSystem & 0x03)),
                0xFF};
}

std::optional<VideoControl> ParseVideoControlPack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kVideoControl) return std::nullopt;
    VideoControl c;
    c.bRecordingStart = (p[2] & 0x80) == 0;
    c.nDisplayMode = p[2] & 0x07;
    c.nBroadcastSystem = p[3] & 0x03;
    c.bInterlaced = (p[3] & 0x10) != 0;
    return c;
}

Pack MakeFrameModePack(int nFrameMode) {
    const int mode = (nFrameMode == 24 || nFrameMode == 30) ? nFrameMode : 60;
    return Pack{pack::kFrameMode, 0xFF, uint8_t(Bcd(mode)), 0xFF, 0xFF};
}

std::optional<int> ParseFrameModePack(std::span<const uint8_t, dif::kPackSize> p) {
    if (p[0] != pack::kFrameMode) return std::nullopt;
    switch (p[2]) {
    case 0x30: return 30;
    case 0x24: return 24;
    default: return 60;
    }
}

std::optional<Pack> PackAt(std::span<const uint8_t> frame, size_t offset, uint8_t header) {
    if (offset + dif::kPackSize > frame.size() || frame[offset] != header) return std::nullopt;
    Pack p;
    for (size_t i = 0; i < dif::kPackSize; ++i) p[i] = frame[offset + i];
    return p;
}

int WideScreenFlagOf(const std::optional<Pack>& videoControl) {
    const auto control = videoControl ? ParseVideoControlPack(*videoControl) : std::nullopt;
    return control && IsWideScreen(control->nDisplayMode, control->nBroadcastSystem) ? 1 : 0;
}

int FrameModeOf(const std::optional<Pack>& frameMode) {
    return frameMode ? ParseFrameModePack(*frameMode).value_or(60) : 60;
}

int AudioModeOf(const std::optional<Pack>& audioSource) {
    constexpr size_t kQuantByte = 4;  // QU in bits 0..2
    return audioSource && (*audioSource)[0] == pack::kAudioSource && ((*audioSource)[kQuantByte] & 0x07) != 0 ? 2 : 1;
}

TimeCode TimeCodeOf(const std::optional<Pack>& timeCode) {
    return timeCode ? ParseTimeCodePack(*timeCode).value_or(TimeCode{}) : TimeCode{};
}

namespace {

size_t SequencesIn(std::span<const uint8_t> frame, size_t nToSequence = kToLastSequence) {
    return std::min((frame.size() + dif::kSequenceSize - 1) / dif::kSequenceSize, nToSequence);
}

}  // namespace

std::optional<Pack> FindVauxPack(std::span<const uint8_t> frame, uint8_t header, size_t nFromSequence, size_t nToSequence) {
    for (size_t seq = nFromSequence; seq < SequencesIn(frame, nToSequence); ++seq)
        for (size_t b = 0; b < dif::kVauxBlocksPerSequence; ++b)
            for (size_t k = 0; k < dif::kPacksPerVauxBlock; ++k) {
                const size_t offset = dif::BlockOffset(seq, dif::VauxBlock(b)) + dif::kBlockIdSize + k * dif::kPackSize;
                if (auto p = PackAt(frame, offset, header)) return p;
            }
    return std::nullopt;
}

std::optional<Pack> FindAauxPack(std::span<const uint8_t> frame, uint8_t header, size_t nFromSequence, size_t nToSequence) {
    for (size_t seq = nFromSequence; seq < SequencesIn(frame, nToSequence); ++seq)
        for (size_t a = 0; a < dif::kAudioBlocksPerSequence; ++a)
            if (auto p = PackAt(frame, dif::BlockOffset(seq, dif::AudioBlock(a)) + dif::kBlockIdSize, header)) return p;
    return std::nullopt;
}

std::optional<Pack> FindSubcodePack(std::span<const uint8_t> frame, uint8_t header, size_t nFromSequence) {
    constexpr size_t kSyncBlocks = 6, kSyncBlockSize = 8, kSyncIdSize = 3;
    for (size_t seq = nFromSequence; seq < SequencesIn(frame); ++seq)
        for (size_t b = 0; b < dif::kSubcodeBlocksPerSequence; ++b)
            for (size_t k = 0; k < kSyncBlocks; ++k) {
                const size_t offset = dif::BlockOffset(seq, dif::SubcodeBlock(b)) + dif::kBlockIdSize + k * kSyncBlockSize + kSyncIdSize;
                if (auto p = PackAt(frame, offset, header)) return p;
            }
    return std::nullopt;
}

}  // namespace dv
