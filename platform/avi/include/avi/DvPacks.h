#pragma once
// The few facts of a DV frame that the AVI files need, read through the DV library's packs: the
// video system, the packs that make up a Type 1 stream's DVINFO, the audio format of a Type 2
// stream, and the wide-screen flag, frame mode and time code shown for a recorded file.

#include <cstddef>
#include <cstdint>
#include <span>

#include "avi/RiffLayout.h"
#include "dv/Format.h"
#include "dv/Packs.h"

namespace avi {

// Video-format codes used throughout the program.
enum class VideoSystem { System525_60 = 1, System625_50 = 2 };

// The same system as the DV library names it.
constexpr dv::System DvSystem(VideoSystem system)
{
    return system == VideoSystem::System625_50 ? dv::System::System625_50 : dv::System::System525_60;
}

constexpr std::size_t kDifBlockSize = dv::dif::kBlockSize;
constexpr std::size_t kDifSequenceSize = dv::dif::kSequenceSize;
constexpr std::size_t kFrameSize525 = dv::dif::kFrameSize525;
constexpr std::size_t kFrameSize625 = dv::dif::kFrameSize625;

std::size_t FrameSizeOf(VideoSystem system);
int FrameRateNumerator(VideoSystem system);   // 30000 or 25
int FrameRateDenominator(VideoSystem system); // 1001 or 1
int FrameWidth(VideoSystem system);            // 720
int FrameHeight(VideoSystem system);           // 480 or 576

// The video system named by the header block's DSF bit; false when the frame is too short.
bool ReadDvVideoSystem(std::span<const std::uint8_t> frame, VideoSystem* pSystem);

// The DVINFO of a stream from one of its frames. Packs that are missing give FFFFFFFFh, the
// data bytes of a "no information" pack. False when the frame is too short to hold them.
bool ReadDvInfoFromFrame(std::span<const std::uint8_t> frame, disk::DvInfo* pInfo);

// PCM format of the audio in a DV stream: always 16-bit.
struct AudioFormat {
    std::uint32_t nSamplesPerSec = 48000;
    std::uint16_t nChannels = 2;
    std::uint16_t nBitsPerSample = 16;
    std::uint16_t BlockAlign() const { return static_cast<std::uint16_t>(nChannels * nBitsPerSample / 8); }
    bool operator==(const AudioFormat&) const = default;
};

// Sample rate of the first audio block's AAUX source pack (48, 44.1 or 32 kHz), as the 16-bit
// stereo format a Type 2 file stores. False when the pack is missing or names another rate.
bool ReadDvAudioFormat(std::span<const std::uint8_t> frame, AudioFormat* pFormat);

// Same, from a DVINFO's AAUX source DWORD.
bool AudioFormatFromDvInfo(const disk::DvInfo& info, AudioFormat* pFormat);

// Time code of the subcode area: all four parts -1 when unknown.
using Timecode = dv::TimeCode;

// What the program shows of a recorded file's first frame. Fields not found keep the values
// the caller preset, as the file list expects (flag 0, frame mode 60, time code unknown).
struct DvFrameFacts {
    int nWide = 0;       // 1 for 16:9
    int nFrameMode = 60; // 60, 30 or 24
    Timecode timecode;
};

void ReadDvFrameFacts(std::span<const std::uint8_t> frame, DvFrameFacts* pFacts);

} // namespace avi
