// plover-avi-bench: how long reading the drop list of a one-hour 525/60 recording takes
// (108,000 index entries; the frame payloads are small, since only headers and indexes are
// read), beside ffprobe counting the packets of the same file, in the same run.
//
//   plover-avi-bench [FOLDER]   (the test file is written there and removed afterwards)
//   plover-avi-bench --cut-recording FILE
//       writes a two-second 525/60 Type 2 recording of frame-sized chunks cut off in the middle
//       of a frame, for the zero-tail benchmark of scripts/bench-avi to extend

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "avi/AviParser.h"
#include "avi/AviWriter.h"

namespace {

constexpr std::uint32_t kFrames = 108000;       // one hour of 525/60 video
constexpr std::size_t kPayloadBytes = 1024;     // stands in for a 120,000-byte DV frame
constexpr std::uint64_t kSegmentBytes = 9 << 20; // about as many frames per RIFF as 1 GiB of DV
constexpr int kReaderRuns = 15;
constexpr int kProbeRuns = 3;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

bool WriteHourFile(const std::string& path)
{
    avi::AviWriterOptions o;
    o.type = avi::AviType::Type1;
    o.nSegmentBytes = kSegmentBytes;
    avi::StdioFile file;
    avi::AviWriter writer;
    if (!file.Open(path, avi::StdioFile::Mode::Create) || writer.Open(file, o) != avi::AviResult::Ok)
        return false;
    std::vector<std::uint8_t> payload(kPayloadBytes, 0x55);
    for (std::uint32_t n = 0; n < kFrames; ++n) {
        // A burst of drops every few minutes, as a busy disk gives.
        const bool bDrop = n % 5000 < 3;
        const avi::AviResult hr = bDrop ? writer.WriteDroppedFrame() : writer.WriteVideoFrame(payload);
        if (hr != avi::AviResult::Ok)
            return false;
    }
    return writer.Finish() == avi::AviResult::Ok && file.Close();
}

// One read of the drop list as the recording history does it: open, headers, indexes.
bool ReadDrops(const std::string& path, std::size_t* pDrops)
{
    avi::StdioFile file;
    avi::AviParser parser;
    if (!file.Open(path, avi::StdioFile::Mode::Read) || parser.Parse(file) != avi::AviResult::Ok ||
        !parser.IsConsistent())
        return false;
    *pDrops = parser.DroppedFrames().size();
    return true;
}

// Frame-sized chunks whose every DIF block starts with ID bytes, as real frames do.
bool WriteCutRecording(const std::string& path)
{
    avi::AviWriterOptions o;
    o.type = avi::AviType::Type2;
    o.bSyncToDisk = false;
    avi::MemoryFile file;
    avi::AviWriter writer;
    if (writer.Open(file, o) != avi::AviResult::Ok)
        return false;
    std::vector<std::uint8_t> frame(avi::kFrameSize525, 0x33);
    for (std::size_t b = 0; b < frame.size(); b += avi::kDifBlockSize)
        frame[b] = 0x9F;
    const std::vector<std::uint8_t> pcm(1600 * 4, 0x11);
    std::uint64_t cut = 0;
    for (std::uint32_t n = 0; n < 60; ++n) {
        if (n == 45)
            file.GetSize(&cut);
        if (writer.WriteVideoFrame(frame) != avi::AviResult::Ok || writer.WriteAudio(pcm) != avi::AviResult::Ok)
            return false;
    }
    if (writer.Finish() != avi::AviResult::Ok)
        return false;
    // Cut 50,000 bytes into frame 45, as a recording stopped by a power loss.
    file.Truncate(cut + 50000);
    avi::StdioFile out;
    return out.Open(path, avi::StdioFile::Mode::Create) && out.WriteAt(0, file.Bytes().data(), file.Bytes().size()) &&
           out.Close();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--cut-recording")
        return WriteCutRecording(argv[2]) ? 0 : 2;
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    const std::string path = (folder / "plover-avi-bench-hour.avi").string();
    std::printf("writing a one-hour 525/60 index (%u frames) to %s\n", kFrames, path.c_str());
    if (!WriteHourFile(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 2;
    }
    std::size_t drops = 0;
    std::vector<double> reader;
    for (int i = 0; i < kReaderRuns; ++i) {
        const auto t0 = Clock::now();
        if (!ReadDrops(path, &drops)) {
            std::fprintf(stderr, "the parser could not read %s\n", path.c_str());
            return 2;
        }
        reader.push_back(Seconds(Clock::now() - t0));
    }
    const std::string probe = "ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                              "stream=nb_read_packets -of csv=p=0 '" + path + "' >/dev/null 2>&1";
    std::vector<double> ffprobe;
    for (int i = 0; i < kProbeRuns; ++i) {
        const auto t0 = Clock::now();
        if (std::system(probe.c_str()) != 0) {
            std::fprintf(stderr, "ffprobe failed (is ffmpeg installed?)\n");
            return 2;
        }
        ffprobe.push_back(Seconds(Clock::now() - t0));
    }
    std::filesystem::remove(path);
    const double ours = Median(reader);
    const double theirs = Median(ffprobe);
    std::printf("drop list (%zu drops) by the parser:  %8.2f ms (median of %d)\n", drops, ours * 1000, kReaderRuns);
    std::printf("ffprobe -count_packets:               %8.2f ms (median of %d)\n", theirs * 1000, kProbeRuns);
    std::printf("ratio ffprobe / parser:               %8.1f\n", theirs / ours);
    return 0;
}
