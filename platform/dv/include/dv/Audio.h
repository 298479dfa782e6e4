// The PCM audio of a DV frame: sample counts, extraction with the de-shuffling of both systems,
// and insertion for the writer side.
#pragma once

#include "dv/Format.h"
#include "dv/Packs.h"

#include <cstdint>
#include <span>
#include <vector>

namespace dv {

// Smallest and largest sample counts per frame the AAUX source pack can express for a system
// and rate (the pack stores the count minus the smallest one in six bits).
int MinSamplesPerFrame(System system, SampleRate rate);
int MaxSamplesPerFrame(System system, SampleRate rate);

// Samples of frame `nFrame` (counted from 0) of a locked recording: 625/50 always the same count;
// 525/60 at 48 kHz 1600 then four times 1602, at the other rates the count that keeps the total
// of the first n frames at n * rate * 1001 / 30000 rounded down.
int LockedSamplesPerFrame(System system, SampleRate rate, uint64_t nFrame);

struct AudioFrame {
    int nRate = 0;                 // Hz
    int nChannels = 0;             // 2 or 4
    int nSamples = 0;              // per channel
    std::vector<int16_t> samples;  // interleaved, nSamples * nChannels; 12-bit samples widened to 16
};

// Reads the AAUX source pack of the frame and its samples. 12-bit four-channel audio gives
// channels 1 and 2 from the first half of the sequences, 3 and 4 from the second.
// NoAudio when no source pack is found or it names a quantisation or count the frame cannot hold.
Result ExtractAudio(std::span<const uint8_t> frame, AudioFrame& audio);

// Writes interleaved samples (source.nChannels per sample, source.nSamples per channel) into the
// audio blocks of a frame and the AAUX source pack into its places. BadArgument when the count is
// outside the pack's range or the sample buffer is too short. 12-bit audio is compressed from 16.
Result InsertAudio(std::span<uint8_t> frame, const AudioSource& source, std::span<const int16_t> samples);

// The 12-bit non-linear code of audio and its 16-bit value.
int16_t Expand12To16(int nCode12);
int Compress16To12(int16_t sample);

}  // namespace dv
