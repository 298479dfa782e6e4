// Converts interleaved 16-bit stereo from one sample rate to another by linear interpolation.
// The position carries over from buffer to buffer, so that a run of buffers at one rate gives
// exactly the number of samples the other rate needs for the same time, and the join between
// two buffers is as smooth as the inside of one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

class RateConverter {
public:
    // Forgets the previous buffer: the next one starts a new run.
    void Reset();
    // Appends the converted samples of nFrames stereo samples at nInRate to vecOut (at nOutRate).
    void Convert(const int16_t* pIn, size_t nFrames, uint32_t nInRate, uint32_t nOutRate, std::vector<int16_t>& vecOut);

private:
    bool m_bPrimed = false;
    uint32_t m_nOutRate = 0;
    // Position of the next output sample in 1/nOutRate steps of the input, counted from the last
    // sample of the previous buffer.
    uint64_t m_nPhase = 0;
    int16_t m_last[2] = {0, 0};
};

}  // namespace media
