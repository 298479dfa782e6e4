// Synthetic DV frames: a moving colour-bar picture with a tone, running time code and recording
// date and time, as a camcorder or a test wants them.
#pragma once

#include "dv/Encoder.h"
#include "dv/FrameWriter.h"
#include "dv/Packs.h"

#include <cstdint>
#include <span>
#include <vector>

namespace dv {

enum class AudioMode { Stereo48k, Stereo44k1, Stereo32k, FourChannel32k12 };

struct PatternSettings {
    System system = System::System625_50;
    bool bWideScreen = false;
    int nFrameMode = 60;
    AudioMode audioMode = AudioMode::Stereo48k;
    bool bLockedAudio = true;
    int nToneHz = 1000;
    RecDate startDate{2026, 1, 1};
    RecTime startTime{12, 0, 0};
};

class PatternGenerator {
public:
    explicit PatternGenerator(const PatternSettings& settings);

    // Builds frame number n (0 is the start of the recording) into `frame` (the system's frame size).
    Result MakeFrame(uint64_t nFrame, std::span<uint8_t> frame);

    // The picture of frame n alone.
    void MakePicture(uint64_t nFrame, YuvPicture& picture) const;

    const PatternSettings& Settings() const { return m_settings; }

private:
    PatternSettings m_settings;
    Encoder m_encoder;
    YuvPicture m_picture;
    std::vector<int16_t> m_samples;
    uint64_t m_nSamplesBefore = 0;  // samples of the frames before m_nNextFrame
    uint64_t m_nNextFrame = 0;
};

}  // namespace dv
