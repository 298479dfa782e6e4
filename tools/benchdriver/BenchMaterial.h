// What the benchmarks feed the program and its peer: the camcorder's pattern frames as a raw DV
// stream, and recordings of pattern frames written by our AVI writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Frames of the simulated camcorder's default stream (525/60, 48 kHz stereo), made by the same
// pattern generator the camcorder uses.
class PatternFrames {
 public:
  explicit PatternFrames(int nDistinct);
  const std::vector<uint8_t>& Frame(uint64_t nFrame) const { return m_vecFrames[nFrame % m_vecFrames.size()]; }

 private:
  std::vector<std::vector<uint8_t>> m_vecFrames;
};

// Processor seconds the pattern generator takes per frame on this thread, over nFrames frames:
// what the simulated camcorder inside the program spends on each frame it sends.
double MeasureEncodeSecondsPerFrame(int nFrames);

// Writes nFrames frames, cycling through the pattern, as a raw DV stream.
bool WriteStream(const PatternFrames& frames, const std::wstring& strPath, uint64_t nFrames);
// Writes an AVI Type 1 recording of nFrames frames starting at pattern frame nFirst.
bool WriteRecording(const PatternFrames& frames, const std::wstring& strPath, uint64_t nFirst, uint64_t nFrames);

}  // namespace bench
