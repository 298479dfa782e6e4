// Linear interpolation between neighbouring input samples, with the last sample of the previous
// buffer standing before the first of the next.
#include "RateConverter.h"

namespace media {

constexpr size_t StereoChannels = 2;

void RateConverter::Reset() {
    m_bPrimed = false;
    m_nPhase = 0;
}

void RateConverter::Convert(const int16_t* pIn, size_t nFrames, uint32_t nInRate, uint32_t nOutRate, std::vector<int16_t>& vecOut) {
    if (nFrames == 0 || nInRate == 0 || nOutRate == 0) return;
    if (!m_bPrimed || nOutRate != m_nOutRate) {
        // A new run begins exactly on its first sample.
        m_last[0] = pIn[0];
        m_last[1] = pIn[1];
        m_nPhase = nOutRate;
        m_nOutRate = nOutRate;
        m_bPrimed = true;
    }
    // Index 0 is the previous buffer's last sample, index i + 1 the input's sample i.
    const auto At = [&](uint64_t nIndex, size_t nChannel) -> int32_t {
        return nIndex == 0 ? m_last[nChannel] : pIn[(nIndex - 1) * StereoChannels + nChannel];
    };
    const uint64_t nEnd = static_cast<uint64_t>(nFrames) * nOutRate;  // index nFrames has no right neighbour
    for (; m_nPhase < nEnd; m_nPhase += nInRate) {
        const uint64_t nIndex = m_nPhase / nOutRate;
        const int64_t nFrac = static_cast<int64_t>(m_nPhase % nOutRate);
        for (size_t c = 0; c < StereoChannels; ++c) {
            const int64_t nLeft = At(nIndex, c);
            const int64_t nRight = At(nIndex + 1, c);
            vecOut.push_back(static_cast<int16_t>(nLeft + (nRight - nLeft) * nFrac / static_cast<int64_t>(nOutRate)));
        }
    }
    m_nPhase -= nEnd;
    m_last[0] = pIn[(nFrames - 1) * StereoChannels];
    m_last[1] = pIn[(nFrames - 1) * StereoChannels + 1];
}

}  // namespace media
