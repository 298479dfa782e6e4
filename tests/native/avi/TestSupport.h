#pragma once
// DV frames, PCM and files for the AVI tests: hand-built frames with just the packs the
// library reads, real frames made by ffmpeg, and helpers to run the command-line oracles.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/AviWriter.h"
#include "avi/DvPacks.h"
#include "avi/FileIo.h"

namespace avitest {

using Bytes = std::vector<std::uint8_t>;

struct FrameRecipe {
    avi::VideoSystem system = avi::VideoSystem::System525_60;
    bool bWide = false;
    int nFrameModeByte = 0x60;      // BCD frame mode of pack 64h
    std::uint32_t nSampleRate = 48000;
    avi::Timecode timecode{0, 0, 0, 0};
    bool bTimecodeUnknown = false;  // frame byte FFh
};

// A frame of the right size whose header, VAUX, AAUX and subcode packs carry the FrameRecipe,
// with the frame number stamped into its video area so tests can tell frames apart.
Bytes MakeDvFrame(const FrameRecipe& recipe, std::uint32_t stamp);
std::uint32_t StampOf(const Bytes& frame);

// Interleaved 16-bit stereo PCM for frame n: as many samples as the frame's share of a second.
Bytes MakePcmForFrame(avi::VideoSystem system, std::uint32_t rate, std::uint32_t n);

// Real DV frames encoded by ffmpeg (test pattern and a sine tone), cached between runs.
std::vector<Bytes> FfmpegDvFrames(avi::VideoSystem system, int frames);

std::filesystem::path TempDir();
std::filesystem::path TempFile(const std::string& name);
Bytes ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const Bytes& bytes);

// Runs a shell command; returns its exit status and puts its standard output in *pOut.
int RunCommand(const std::string& command, std::string* pOut = nullptr);
bool HaveFfmpeg();

// What the tests write: which frame numbers are dropped, and the frames' and audio's bytes.
struct Recording {
    avi::AviWriterOptions options;
    std::vector<std::uint32_t> drops; // ascending
    std::uint32_t nFrames = 0;        // dropped ones included
    std::vector<Bytes> realFrames;    // when not empty, used in turn instead of hand-built ones
    FrameRecipe recipe;
    bool bRunningTimecode = false;    // hand-built frame n carries the time code of frame n
};

// Writes a whole recording (video, drops, and for Type 2 the audio after each frame).
avi::AviResult WriteRecording(avi::FileIo& file, const Recording& rec);
Bytes FrameFor(const Recording& rec, std::uint32_t n);

avi::AviWriterOptions OptionsFor(avi::AviType type, const FrameRecipe& recipe);

} // namespace avitest
