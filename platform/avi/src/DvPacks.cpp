#include "avi/DvPacks.h"

#include "avi/ByteOrder.h"

namespace avi {

namespace {

// Header DIF block: byte 3, bit 7 is DSF (0 = 525/60 system, 1 = 625/50 system).
constexpr std::size_t kOffsetDsfByte = 3;
constexpr std::uint8_t kDsfBit = 0x80;

// Each DIF block starts with a 3-byte ID; packs are 5 bytes (a header byte and four data bytes).
constexpr std::size_t kDifBlockIdSize = 3;
constexpr std::size_t kPackSize = 5;
// VAUX blocks are blocks 3, 4 and 5 of a sequence, each holding 15 packs.
constexpr std::size_t kFirstVauxBlock = 3;
constexpr std::size_t kVauxBlocks = 3;
constexpr std::size_t kPacksPerVauxBlock = 15;
// Audio blocks are blocks 6 + 16 k (k = 0..8) of a sequence, each with one AAUX pack first.
constexpr std::size_t kFirstAudioBlock = 6;
constexpr std::size_t kAudioBlockStride = 16;
constexpr std::size_t kAudioBlocksPerSequence = 9;

constexpr std::uint8_t kPackAauxSource = 0x50;
constexpr std::uint8_t kPackAauxControl = 0x51;
constexpr std::uint8_t kPackVauxSource = 0x60;
constexpr std::uint8_t kPackVauxControl = 0x61;
constexpr std::uint32_t kNoInfoPackData = 0xFFFFFFFFu;

// AAUX source pack, data byte 4: SMP in bits 3..5.
constexpr std::size_t kAauxSmpByte = 4;
constexpr int kAauxSmpShift = 3;
constexpr std::uint8_t kAauxSmpMask = 0x07;

// Fixed places in the first DIF sequence read for a recorded file's first frame.
constexpr std::size_t kOffsetVauxControlHeader = 453; // VAUX source control pack, DIF block 5
constexpr std::size_t kOffsetDisplayMode = 455;       // DISP in bits 0..2
constexpr std::size_t kOffsetBroadcastSystem = 456;   // BCSYS in bits 0..1
constexpr std::size_t kOffsetFrameModeHeader = 468;   // pack 64h, DIF block 5
constexpr std::size_t kOffsetFrameMode = 470;         // frame mode in BCD
constexpr std::uint8_t kPackFrameMode = 0x64;
constexpr std::size_t kOffsetTimecodeHeader = 110;    // time code pack in the subcode area
constexpr std::uint8_t kPackTimecode = 0x13;
constexpr std::size_t kOffsetTimecodeFrames = 111;
constexpr std::size_t kOffsetTimecodeSeconds = 112;
constexpr std::size_t kOffsetTimecodeMinutes = 113;
constexpr std::size_t kOffsetTimecodeHours = 114;
constexpr std::uint8_t kTimecodeUnknownFrames = 0xFF;

std::size_t SequenceCount(std::size_t frameSize)
{
    return frameSize >= kFrameSize625 ? 12 : 10;
}

// Data bytes of the first pack with this header among the VAUX packs of sequence 0.
bool FindVauxPack(std::span<const std::uint8_t> frame, std::uint8_t header, std::uint32_t* pData)
{
    for (std::size_t b = 0; b < kVauxBlocks; ++b) {
        const std::size_t block = (kFirstVauxBlock + b) * kDifBlockSize;
        for (std::size_t i = 0; i < kPacksPerVauxBlock; ++i) {
            const std::size_t pos = block + kDifBlockIdSize + i * kPackSize;
            if (pos + kPackSize <= frame.size() && frame[pos] == header) {
                *pData = ReadLe32(frame.data() + pos + 1);
                return true;
            }
        }
    }
    return false;
}

// Data bytes of the first AAUX pack with this header in sequences [first, last).
bool FindAauxPack(std::span<const std::uint8_t> frame, std::size_t first, std::size_t last,
                  std::uint8_t header, std::uint32_t* pData)
{
    for (std::size_t s = first; s < last; ++s) {
        for (std::size_t k = 0; k < kAudioBlocksPerSequence; ++k) {
            const std::size_t pos = s * kDifSequenceSize +
                                    (kFirstAudioBlock + k * kAudioBlockStride) * kDifBlockSize + kDifBlockIdSize;
            if (pos + kPackSize <= frame.size() && frame[pos] == header) {
                *pData = ReadLe32(frame.data() + pos + 1);
                return true;
            }
        }
    }
    return false;
}

std::uint32_t PackOrNoInfo(bool bFound, std::uint32_t data)
{
    return bFound ? data : kNoInfoPackData;
}

int Bcd(std::uint8_t value, std::uint8_t tensMask)
{
    return ((value >> 4) & tensMask) * 10 + (value & 0x0F);
}

} // namespace

std::size_t FrameSizeOf(VideoSystem system)
{
    return system == VideoSystem::System625_50 ? kFrameSize625 : kFrameSize525;
}

int FrameRateNumerator(VideoSystem system)
{
    return system == VideoSystem::System625_50 ? 25 : 30000;
}

int FrameRateDenominator(VideoSystem system)
{
    return system == VideoSystem::System625_50 ? 1 : 1001;
}

int FrameWidth(VideoSystem)
{
    return 720;
}

int FrameHeight(VideoSystem system)
{
    return system == VideoSystem::System625_50 ? 576 : 480;
}

bool ReadDvVideoSystem(std::span<const std::uint8_t> frame, VideoSystem* pSystem)
{
    if (frame.size() <= kOffsetDsfByte)
        return false;
    *pSystem = (frame[kOffsetDsfByte] & kDsfBit) ? VideoSystem::System625_50 : VideoSystem::System525_60;
    return true;
}

bool ReadDvInfoFromFrame(std::span<const std::uint8_t> frame, disk::DvInfo* pInfo)
{
    if (frame.size() < kFrameSize525)
        return false;
    const std::size_t sequences = SequenceCount(frame.size());
    const std::size_t half = sequences / 2; // the second audio block starts here
    std::uint32_t data = 0;
    disk::DvInfo info;
    bool bFound = FindAauxPack(frame, 0, half, kPackAauxSource, &data);
    info.dwDVAAuxSrc = PackOrNoInfo(bFound, data);
    bFound = FindAauxPack(frame, 0, half, kPackAauxControl, &data);
    info.dwDVAAuxCtl = PackOrNoInfo(bFound, data);
    bFound = FindAauxPack(frame, half, sequences, kPackAauxSource, &data);
    info.dwDVAAuxSrc1 = PackOrNoInfo(bFound, data);
    bFound = FindAauxPack(frame, half, sequences, kPackAauxControl, &data);
    info.dwDVAAuxCtl1 = PackOrNoInfo(bFound, data);
    bFound = FindVauxPack(frame, kPackVauxSource, &data);
    info.dwDVVAuxSrc = PackOrNoInfo(bFound, data);
    bFound = FindVauxPack(frame, kPackVauxControl, &data);
    info.dwDVVAuxCtl = PackOrNoInfo(bFound, data);
    *pInfo = info;
    return true;
}

bool AudioFormatFromDvInfo(const disk::DvInfo& info, AudioFormat* pFormat)
{
    if (info.dwDVAAuxSrc == kNoInfoPackData)
        return false;
    // The DWORD holds data bytes 1..4 from its low byte up.
    const auto smpByte = static_cast<std::uint8_t>(info.dwDVAAuxSrc >> (8 * (kAauxSmpByte - 1)));
    static constexpr std::uint32_t kRates[] = {48000, 44100, 32000};
    const unsigned smp = (smpByte >> kAauxSmpShift) & kAauxSmpMask;
    if (smp >= std::size(kRates))
        return false;
    pFormat->nSamplesPerSec = kRates[smp];
    pFormat->nChannels = 2;
    pFormat->nBitsPerSample = 16;
    return true;
}

bool ReadDvAudioFormat(std::span<const std::uint8_t> frame, AudioFormat* pFormat)
{
    std::uint32_t data = 0;
    if (!FindAauxPack(frame, 0, SequenceCount(frame.size()) / 2, kPackAauxSource, &data))
        return false;
    disk::DvInfo info;
    info.dwDVAAuxSrc = data;
    return AudioFormatFromDvInfo(info, pFormat);
}

void ReadDvFrameFacts(std::span<const std::uint8_t> frame, DvFrameFacts* pFacts)
{
    if (frame.size() > kOffsetBroadcastSystem) {
        if (frame[kOffsetVauxControlHeader] == kPackVauxControl) {
            const int disp = frame[kOffsetDisplayMode] & 0x07;
            const int bcsys = frame[kOffsetBroadcastSystem] & 0x03;
            const bool bWide = (bcsys == 0 && (disp == 1 || disp == 2)) ||
                               (bcsys == 1 && (disp == 3 || disp == 4 || disp == 5 || disp == 7));
            pFacts->nWide = bWide ? 1 : 0;
        } else {
            pFacts->nWide = 0;
        }
    }
    if (frame.size() > kOffsetFrameMode) {
        int mode = 60;
        if (frame[kOffsetFrameModeHeader] == kPackFrameMode) {
            switch (frame[kOffsetFrameMode]) {
            case 0x30: mode = 30; break;
            case 0x24: mode = 24; break;
            default: mode = 60; break;
            }
        }
        pFacts->nFrameMode = mode;
    }
    if (frame.size() > kOffsetTimecodeHours) {
        Timecode tc;
        if (frame[kOffsetTimecodeHeader] == kPackTimecode &&
            frame[kOffsetTimecodeFrames] != kTimecodeUnknownFrames) {
            tc.nFrames = Bcd(frame[kOffsetTimecodeFrames], 0x03);
            tc.nSeconds = Bcd(frame[kOffsetTimecodeSeconds], 0x07);
            tc.nMinutes = Bcd(frame[kOffsetTimecodeMinutes], 0x07);
            tc.nHours = Bcd(frame[kOffsetTimecodeHours], 0x03);
        }
        pFacts->timecode = tc;
    }
}

} // namespace avi
