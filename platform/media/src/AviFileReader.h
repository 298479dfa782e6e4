// One recorded DV AVI file opened for reading: its frames with their times, and the audio chunks
// of a Type 2 file with their first sample numbers. Used by the AVI splitter and the detector.
#pragma once

#include "Engine.h"
#include "Win32File.h"

#include "avi/AviParser.h"

namespace media {

class AviFileReader {
public:
    // VFW_E_INVALID_FILE_FORMAT when the file is not a Type 1 or Type 2 DV AVI file.
    HRESULT Open(const std::wstring& strPath);

    int AviType() const { return m_parser.AviTypeCode(); }
    bool Is625() const { return m_parser.GetVideoSystem() == avi::VideoSystem::System625_50; }
    double FrameRate() const;
    uint32_t FrameCount() const { return static_cast<uint32_t>(m_parser.Frames().size()); }
    REFERENCE_TIME FrameTime(uint64_t nFrame) const;
    // The frame shown at a time (the nearest frame start), limited to the frames there are.
    uint32_t FrameAt(REFERENCE_TIME rtTime) const;
    REFERENCE_TIME Duration() const { return FrameTime(FrameCount()); }
    // False for a dropped frame or one that cannot be read.
    bool ReadFrame(uint32_t nFrame, std::vector<uint8_t>& vecFrame) const;

    // Rate of the audio inside the DV frames (the DVINFO of a Type 1 stream, else the first frame
    // that holds it); 0 when the file names none.
    DWORD DVAudioRate() const;
    bool HasAudio() const { return m_parser.AudioStream() >= 0 && m_wave.nBlockAlign > 0; }
    const WAVEFORMATEX& AudioFormat() const { return m_wave; }
    size_t AudioChunkCount() const { return m_vecAudioStart.size(); }
    REFERENCE_TIME AudioChunkTime(size_t nChunk) const;
    bool ReadAudioChunk(size_t nChunk, std::vector<uint8_t>& vecData) const;

private:
    Win32File m_file;
    avi::AviParser m_parser;
    WAVEFORMATEX m_wave{};
    std::vector<uint64_t> m_vecAudioStart;  // first sample of each audio chunk
};

}  // namespace media
