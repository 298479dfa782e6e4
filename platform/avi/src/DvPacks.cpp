#include "avi/DvPacks.h"

#include "avi/ByteOrder.h"
#include "dv/FrameInfo.h"

namespace avi {

namespace {

constexpr std::uint32_t kNoInfoPackData = 0xFFFFFFFFu;

// AAUX source pack, data byte 4: SMP in bits 3..5.
constexpr std::size_t kAauxSmpByte = 4;
constexpr int kAauxSmpShift = 3;
constexpr std::uint8_t kAauxSmpMask = 0x07;

std::size_t SequenceCount(std::size_t frameSize)
{
    return frameSize >= kFrameSize625 ? dv::dif::kSequences625 : dv::dif::kSequences525;
}

// The data bytes of a pack as the DWORD of a DVINFO (data byte 1 in the low byte), or the data of
// a "no information" pack when there is none.
std::uint32_t PackData(const std::optional<dv::Pack>& pack)
{
    return pack ? ReadLe32(pack->data() + 1) : kNoInfoPackData;
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
    if (frame.size() <= dv::dif::kDsfOffset)
        return false;
    *pSystem = (frame[dv::dif::kDsfOffset] & dv::dif::kDsfBit) ? VideoSystem::System625_50 : VideoSystem::System525_60;
    return true;
}

bool ReadDvInfoFromFrame(std::span<const std::uint8_t> frame, disk::DvInfo* pInfo)
{
    if (frame.size() < kFrameSize525)
        return false;
    const std::size_t sequences = SequenceCount(frame.size());
    const std::size_t half = sequences / 2; // the second audio block starts here
    disk::DvInfo info;
    info.dwDVAAuxSrc = PackData(dv::FindAauxPack(frame, dv::pack::kAudioSource, 0, half));
    info.dwDVAAuxCtl = PackData(dv::FindAauxPack(frame, dv::pack::kAudioControl, 0, half));
    info.dwDVAAuxSrc1 = PackData(dv::FindAauxPack(frame, dv::pack::kAudioSource, half, sequences));
    info.dwDVAAuxCtl1 = PackData(dv::FindAauxPack(frame, dv::pack::kAudioControl, half, sequences));
    // The VAUX packs of the first sequence.
    info.dwDVVAuxSrc = PackData(dv::FindVauxPack(frame, dv::pack::kVideoSource, 0, 1));
    info.dwDVVAuxCtl = PackData(dv::FindVauxPack(frame, dv::pack::kVideoControl, 0, 1));
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
    const auto pack = dv::FindAauxPack(frame, dv::pack::kAudioSource, 0, SequenceCount(frame.size()) / 2);
    if (!pack)
        return false;
    disk::DvInfo info;
    info.dwDVAAuxSrc = PackData(pack);
    return AudioFormatFromDvInfo(info, pFormat);
}

void ReadDvFrameFacts(std::span<const std::uint8_t> frame, DvFrameFacts* pFacts)
{
    // The caller's presets stand for the packs that lie beyond a short buffer.
    const dv::StreamProperties props = dv::ReadStreamProperties(frame);
    auto reaches = [&](std::size_t offset) { return offset + dv::dif::kPackSize <= frame.size(); };
    if (reaches(dv::pack::kVideoControlOffset))
        pFacts->nWide = props.nWideScreen;
    if (reaches(dv::pack::kFrameModeOffset))
        pFacts->nFrameMode = props.nFrameMode;
    if (reaches(dv::pack::kTimeCodeOffset))
        pFacts->timecode = props.timeCode;
}

} // namespace avi
