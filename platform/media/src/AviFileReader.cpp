// Reading a recorded file through the AVI parser.
#include "AviFileReader.h"

namespace media {

HRESULT AviFileReader::Open(const std::wstring& strPath) {
    HRESULT hr = m_file.OpenForReading(strPath);
    if (FAILED(hr)) return hr;
    if (m_parser.Parse(m_file) != avi::AviResult::Ok || m_parser.AviTypeCode() == 0 || m_parser.VideoStream() < 0)
        return VFW_E_INVALID_FILE_FORMAT;
    // Headers without a single frame (a file cut off right after them) hold nothing to play.
    if (m_parser.Frames().empty()) return VFW_E_INVALID_FILE_FORMAT;
    m_wave = WAVEFORMATEX{};
    m_vecAudioStart.clear();
    if (m_parser.AviTypeCode() == 2 && m_parser.AudioStream() >= 0) {
        const avi::StreamInfo& audio = m_parser.Streams()[static_cast<size_t>(m_parser.AudioStream())];
        if (audio.bHasWave && audio.wave.wBitsPerSample == 16 && audio.wave.nBlockAlign > 0) {
            m_wave.wFormatTag = WAVE_FORMAT_PCM;
            m_wave.nChannels = audio.wave.nChannels;
            m_wave.nSamplesPerSec = audio.wave.nSamplesPerSec;
            m_wave.nAvgBytesPerSec = audio.wave.nAvgBytesPerSec;
            m_wave.nBlockAlign = audio.wave.nBlockAlign;
            m_wave.wBitsPerSample = 16;
            uint64_t nSamples = 0;
            for (const avi::ChunkRef& chunk : m_parser.AudioChunks()) {
                m_vecAudioStart.push_back(nSamples);
                nSamples += chunk.nSize / m_wave.nBlockAlign;
            }
        }
    }
    return S_OK;
}

DWORD AviFileReader::DVAudioRate() const {
    avi::AudioFormat format;
    const avi::StreamInfo& video = m_parser.Streams()[static_cast<size_t>(m_parser.VideoStream())];
    if (video.bHasDvInfo && avi::AudioFormatFromDvInfo(video.dvInfo, &format)) return format.nSamplesPerSec;
    std::vector<uint8_t> vecFrame;
    for (uint32_t n = 0; n < FrameCount(); ++n) {
        if (!ReadFrame(n, vecFrame)) continue;  // dropped
        return avi::ReadDvAudioFormat(vecFrame, &format) ? format.nSamplesPerSec : 0;
    }
    return 0;
}

double AviFileReader::FrameRate() const {
    const avi::VideoSystem system = m_parser.GetVideoSystem();
    return static_cast<double>(avi::FrameRateNumerator(system)) / avi::FrameRateDenominator(system);
}

REFERENCE_TIME AviFileReader::FrameTime(uint64_t nFrame) const {
    const avi::VideoSystem system = m_parser.GetVideoSystem();
    return static_cast<REFERENCE_TIME>(nFrame * static_cast<uint64_t>(avi::FrameRateDenominator(system)) * UnitsPerSecond /
                                       static_cast<uint64_t>(avi::FrameRateNumerator(system)));
}

uint32_t AviFileReader::FrameAt(REFERENCE_TIME rtTime) const {
    if (rtTime <= 0 || FrameCount() == 0) return 0;
    const avi::VideoSystem system = m_parser.GetVideoSystem();
    const uint64_t nNum = static_cast<uint64_t>(avi::FrameRateNumerator(system));
    const uint64_t nDen = static_cast<uint64_t>(avi::FrameRateDenominator(system)) * UnitsPerSecond;
    const uint64_t nFrame = (static_cast<uint64_t>(rtTime) * nNum + nDen / 2) / nDen;
    return static_cast<uint32_t>(std::min<uint64_t>(nFrame, FrameCount() - 1));
}

bool AviFileReader::ReadFrame(uint32_t nFrame, std::vector<uint8_t>& vecFrame) const {
    return m_parser.ReadFrame(nFrame, vecFrame) == avi::AviResult::Ok;
}

REFERENCE_TIME AviFileReader::AudioChunkTime(size_t nChunk) const {
    if (m_wave.nSamplesPerSec == 0) return 0;
    return static_cast<REFERENCE_TIME>(m_vecAudioStart[nChunk] * UnitsPerSecond / m_wave.nSamplesPerSec);
}

bool AviFileReader::ReadAudioChunk(size_t nChunk, std::vector<uint8_t>& vecData) const {
    return m_parser.ReadChunk(m_parser.AudioChunks()[nChunk], vecData) == avi::AviResult::Ok;
}

}  // namespace media
