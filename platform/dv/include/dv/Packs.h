// The 5-byte packs of a DV frame (one header byte, four data bytes): what they mean, how to read
// them where the frame keeps them and how to build them for the frame writer.
#pragma once

#include "dv/Format.h"

#include <array>
#include <cstdint>
#include <cstddef>
#include <optional>
#include <span>

namespace dv {

namespace pack {
// Pack header bytes.
constexpr uint8_t kTimeCode = 0x13;          // subcode time code
constexpr uint8_t kAudioSource = 0x50;       // AAUX source
constexpr uint8_t kAudioControl = 0x51;      // AAUX source control
constexpr uint8_t kAudioRecDate = 0x52;
constexpr uint8_t kAudioRecTime = 0x53;
constexpr uint8_t kVideoSource = 0x60;       // VAUX source
constexpr uint8_t kVideoControl = 0x61;      // VAUX source control
constexpr uint8_t kRecDate = 0x62;
constexpr uint8_t kRecTime = 0x63;
constexpr uint8_t kFrameMode = 0x64;
constexpr uint8_t kNoInfo = 0xFF;

// Fixed places that readers of the first DIF sequence rely on (offsets from the frame start).
constexpr size_t kVideoControlOffset = 453;    // VSC pack header, VAUX block 2, pack 10
constexpr size_t kFrameModeOffset = 468;       // frame-mode pack header, VAUX block 2, pack 13
constexpr size_t kAudioSourceOffset = 4323;    // AS pack header in the fourth audio block
constexpr size_t kTimeCodeOffset = 110;        // time code pack in subcode block 0, sync block 3
}  // namespace pack

using Pack = std::array<uint8_t, dif::kPackSize>;

struct TimeCode {
    int nHours = -1, nMinutes = -1, nSeconds = -1, nFrames = -1;  // all -1 when unknown
    bool bDropFrame = false;
    bool IsKnown() const { return nFrames >= 0; }
    bool operator==(const TimeCode&) const = default;
};

struct RecDate {  // recording date
    int nYear = -1;   // four digits
    int nMonth = -1;
    int nDay = -1;
    bool operator==(const RecDate&) const = default;
};

struct RecTime {  // recording time of day
    int nHours = -1, nMinutes = -1, nSeconds = -1;
    bool operator==(const RecTime&) const = default;
};

enum class AudioQuantization : uint8_t { Linear16 = 0, NonLinear12 = 1, Linear20 = 2 };
enum class SampleRate : uint8_t { Rate48k = 0, Rate44k1 = 1, Rate32k = 2 };

int SampleRateHz(SampleRate rate);

struct AudioSource {  // AAUX source pack 50h
    System system = System::System625_50;
    SampleRate rate = SampleRate::Rate48k;
    AudioQuantization quantization = AudioQuantization::Linear16;
    int nSamples = 0;      // audio samples per channel in this frame
    bool bLocked = true;   // locked audio (sample clock tied to the video clock)
    int nChannels = 2;     // 2, or 4 in the 32 kHz 12-bit mode
    bool operator==(const AudioSource&) const = default;
};

struct AudioControl {  // AAUX source control pack 51h
    bool bRecordingStart = false;
    bool bForward = true;
    int nSpeed = 0x20;     // 7 bits, 0x20 for normal play
    bool operator==(const AudioControl&) const = default;
};

struct VideoSource {  // VAUX source pack 60h
    System system = System::System625_50;
    bool bColor = true;
    bool operator==(const VideoSource&) const = default;
};

struct VideoControl {  // VAUX source control pack 61h
    int nDisplayMode = 0;      // DISP, 3 bits: 0 is 4:3, 2 is 16:9 full
    int nBroadcastSystem = 0;  // BCSYS, 2 bits
    bool bInterlaced = true;
    bool bRecordingStart = false;
    bool operator==(const VideoControl&) const = default;
};

// The wide-screen rule of the stream readers: BCSYS 0 with DISP 1 or 2, or BCSYS 1 with DISP 3, 4,
// 5 or 7.
bool IsWideScreen(int nDisplayMode, int nBroadcastSystem);

// What the stream readers make of the pack found at a fixed place (nullopt: none there).
int WideScreenFlagOf(const std::optional<Pack>& videoControl);  // 1 for 16:9 (IsWideScreen), else 0
int FrameModeOf(const std::optional<Pack>& frameMode);          // 60, 30 or 24; 60 without the pack
int AudioModeOf(const std::optional<Pack>& audioSource);        // 2 when QU is not 16-bit, else 1
TimeCode TimeCodeOf(const std::optional<Pack>& timeCode);       // unknown without the pack

// Builders: each returns the complete 5-byte pack.
Pack MakeTimeCodePack(const TimeCode& tc);
Pack MakeRecDatePack(uint8_t header, const RecDate& date);   // header 62h (VAUX, subcode) or 52h (AAUX)
Pack MakeRecTimePack(uint8_t header, const RecTime& time);   // header 63h or 53h
Pack MakeAudioSourcePack(const AudioSource& source);
Pack MakeAudioControlPack(const AudioControl& control);
Pack MakeVideoSourcePack(const VideoSource& source);
Pack MakeVideoControlPack(const VideoControl& control);
Pack MakeFrameModePack(int nFrameMode);  // 60, 30 or 24, written as BCD in data byte 2

// Parsers: nullopt when the header byte is not the expected one.
std::optional<TimeCode> ParseTimeCodePack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<RecDate> ParseRecDatePack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<RecTime> ParseRecTimePack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<AudioSource> ParseAudioSourcePack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<AudioControl> ParseAudioControlPack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<VideoSource> ParseVideoSourcePack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<VideoControl> ParseVideoControlPack(std::span<const uint8_t, dif::kPackSize> p);
std::optional<int> ParseFrameModePack(std::span<const uint8_t, dif::kPackSize> p);

// The pack at a fixed place of a frame (`offset` from the frame start), or nullopt when the
// buffer ends inside it or the place holds a pack with another header.
std::optional<Pack> PackAt(std::span<const uint8_t> frame, size_t offset, uint8_t header);

// Finding packs in a whole frame (any size; packs that lie outside the buffer are not found).
// VAUX: the 45 pack places of the first sequence, then of the others. AAUX: the pack of every
// audio block. Subcode: the 12 sync blocks of every sequence. The search runs over the sequences
// from `nFromSequence` up to (not including) `nToSequence`: the AAUX packs of the second channel
// pair (channels 3 and 4) are those of the second half of the sequences. Returns the first pack
// whose header matches, or nullopt.
constexpr size_t kToLastSequence = SIZE_MAX;
std::optional<Pack> FindVauxPack(std::span<const uint8_t> frame, uint8_t header, size_t nFromSequence = 0,
                                 size_t nToSequence = kToLastSequence);
std::optional<Pack> FindAauxPack(std::span<const uint8_t> frame, uint8_t header, size_t nFromSequence = 0,
                                 size_t nToSequence = kToLastSequence);
std::optional<Pack> FindSubcodePack(std::span<const uint8_t> frame, uint8_t header, size_t nFromSequence = 0);

}  // namespace dv
