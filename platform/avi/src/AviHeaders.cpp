#include "AviHeaders.h"

#include <utility>

namespace avi {

namespace {

constexpr std::uint32_t kQualityDefault = 0xFFFFFFFFu; // dwQuality: the handler's default
constexpr std::uint16_t kDvBitCount = 24;

// Appends RIFF pieces to a header buffer and remembers where they went.
class HeaderBuilder {
public:
    std::size_t Size() const { return m_vecBytes.size(); }
    std::vector<std::uint8_t>& Bytes() { return m_vecBytes; }

    // Opens a "RIFF"/"LIST" container; Close fills in its size.
    std::size_t Open(FourCC fcc, FourCC type)
    {
        const std::size_t pos = Size();
        Put32(fcc);
        Put32(0);
        Put32(type);
        return pos;
    }
    void Close(std::size_t pos)
    {
        WriteLe32(m_vecBytes.data() + pos + 4, static_cast<std::uint32_t>(Size() - pos - kChunkHeaderSize));
    }
    // Appends a chunk with room for size data bytes; returns the position of the data.
    std::size_t Chunk(FourCC fcc, std::size_t size)
    {
        Put32(fcc);
        Put32(static_cast<std::uint32_t>(size));
        const std::size_t pos = Size();
        m_vecBytes.resize(pos + size + (size & 1), 0);
        return pos;
    }
    std::uint8_t* At(std::size_t pos) { return m_vecBytes.data() + pos; }

private:
    void Put32(std::uint32_t v)
    {
        const std::size_t pos = Size();
        m_vecBytes.resize(pos + 4);
        WriteLe32(m_vecBytes.data() + pos, v);
    }
    std::vector<std::uint8_t> m_vecBytes;
};

std::uint32_t MicroSecondsPerFrame(VideoSystem system)
{
    const std::uint64_t num = 1000000ull * static_cast<std::uint64_t>(FrameRateDenominator(system));
    const std::uint64_t den = static_cast<std::uint64_t>(FrameRateNumerator(system));
    return static_cast<std::uint32_t>((num + den / 2) / den);
}

} // namespace

HeaderLayout BuildAviHeaders(const AviWriterOptions& options)
{
    const bool bType2 = options.type == AviType::Type2;
    const bool bAudio = bType2 && options.bAudioStream;
    const VideoSystem system = options.system;
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(FrameSizeOf(system));
    const std::uint32_t superBytes = disk::SuperIndexHeader::kSize +
                                     options.nSuperIndexEntries * disk::SuperIndexEntry::kSize;
    const AudioFormat& audio = options.audio;
    const std::uint32_t audioBytesPerSec = audio.nSamplesPerSec * audio.BlockAlign();

    HeaderBuilder b;
    const std::size_t riff = b.Open(fcc::kRiff, fcc::kAvi);
    const std::size_t hdrl = b.Open(fcc::kList, fcc::kHdrl);

    disk::MainHeader avih;
    avih.dwMicroSecPerFrame = MicroSecondsPerFrame(system);
    avih.dwMaxBytesPerSec = static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(frameBytes) * FrameRateNumerator(system) / FrameRateDenominator(system) +
        (bAudio ? audioBytesPerSec : 0));
    avih.dwFlags = kAvihFlagHasIndex | kAvihFlagIsInterleaved;
    avih.dwStreams = bAudio ? 2 : 1;
    avih.dwSuggestedBufferSize = frameBytes + kChunkHeaderSize;
    avih.dwWidth = static_cast<std::uint32_t>(FrameWidth(system));
    avih.dwHeight = static_cast<std::uint32_t>(FrameHeight(system));
    const std::size_t avihPos = b.Chunk(fcc::kAvih, disk::MainHeader::kSize);
    avih.Write(b.At(avihPos));

    // Video (Type 2) or interleaved DV (Type 1) stream.
    const std::size_t strlVideo = b.Open(fcc::kList, fcc::kStrl);
    disk::StreamHeader strh;
    strh.fccType = bType2 ? fcc::kVids : fcc::kIavs;
    strh.fccHandler = fcc::kDvsd;
    strh.dwScale = static_cast<std::uint32_t>(FrameRateDenominator(system));
    strh.dwRate = static_cast<std::uint32_t>(FrameRateNumerator(system));
    strh.dwSuggestedBufferSize = frameBytes;
    strh.dwQuality = kQualityDefault;
    strh.rcFrame[2] = static_cast<std::int16_t>(FrameWidth(system));
    strh.rcFrame[3] = static_cast<std::int16_t>(FrameHeight(system));
    const std::size_t strhVideo = b.Chunk(fcc::kStrh, disk::StreamHeader::kSize);
    strh.Write(b.At(strhVideo));
    if (bType2) {
        disk::BitmapInfoHeader bih;
        bih.biWidth = FrameWidth(system);
        bih.biHeight = FrameHeight(system);
        bih.biBitCount = kDvBitCount;
        bih.biCompression = fcc::kDvsd;
        bih.biSizeImage = frameBytes;
        const std::size_t strf = b.Chunk(fcc::kStrf, disk::BitmapInfoHeader::kSize + disk::DvInfo::kSize);
        bih.Write(b.At(strf));
        options.dvInfo.Write(b.At(strf + disk::BitmapInfoHeader::kSize));
    } else {
        const std::size_t strf = b.Chunk(fcc::kStrf, disk::DvInfo::kSize);
        options.dvInfo.Write(b.At(strf));
    }
    const std::size_t indxVideo = b.Chunk(fcc::kIndx, superBytes) - kChunkHeaderSize;
    b.Close(strlVideo);

    std::size_t strhAudio = 0;
    std::size_t indxAudio = 0;
    if (bAudio) {
        const std::size_t strlAudio = b.Open(fcc::kList, fcc::kStrl);
        disk::StreamHeader ash;
        ash.fccType = fcc::kAuds;
        ash.dwScale = audio.BlockAlign();
        ash.dwRate = audioBytesPerSec;
        ash.dwSampleSize = audio.BlockAlign();
        ash.dwSuggestedBufferSize = audioBytesPerSec / 25 + audio.BlockAlign();
        ash.dwQuality = kQualityDefault;
        strhAudio = b.Chunk(fcc::kStrh, disk::StreamHeader::kSize);
        ash.Write(b.At(strhAudio));
        disk::WaveFormatEx wfx;
        wfx.wFormatTag = kWaveFormatPcm;
        wfx.nChannels = audio.nChannels;
        wfx.nSamplesPerSec = audio.nSamplesPerSec;
        wfx.nAvgBytesPerSec = audioBytesPerSec;
        wfx.nBlockAlign = audio.BlockAlign();
        wfx.wBitsPerSample = audio.nBitsPerSample;
        const std::size_t strf = b.Chunk(fcc::kStrf, disk::WaveFormatEx::kSize);
        wfx.Write(b.At(strf));
        indxAudio = b.Chunk(fcc::kIndx, superBytes) - kChunkHeaderSize;
        b.Close(strlAudio);
    }

    const std::size_t odml = b.Open(fcc::kList, fcc::kOdml);
    const std::size_t dmlh = b.Chunk(fcc::kDmlh, disk::OdmlHeader::kSize);
    disk::OdmlHeader().Write(b.At(dmlh));
    b.Close(odml);
    b.Close(hdrl);
    b.Close(riff);

    // Empty super indexes: the header part is the same for every stream but its chunk id.
    auto initSuper = [&](std::size_t pos, FourCC chunkId) {
        disk::SuperIndexHeader h;
        h.dwChunkId = chunkId;
        h.Write(b.At(pos + kChunkHeaderSize));
    };
    initSuper(indxVideo, fcc::kVideoChunk);
    if (bAudio)
        initSuper(indxAudio, fcc::kAudioChunk);

    HeaderLayout layout;
    layout.nAvihPos = avihPos;
    layout.nDmlhPos = dmlh;
    layout.nVideoStrhPos = strhVideo;
    layout.nVideoIndxPos = indxVideo;
    layout.nAudioStrhPos = strhAudio;
    layout.nAudioIndxPos = indxAudio;
    layout.vecBytes = std::move(b.Bytes());
    return layout;
}

} // namespace avi
