// plover-avi: what the program knows of a recorded AVI file, whether its index is consistent,
// and the repair of a file whose recording was cut off.
//
//   plover-avi info FILE
//   plover-avi check FILE          (exit 0 consistent, 1 damaged, 2 error, 3 only a legacy idx1)
//   plover-avi repair FILE [--force] [--segment-mib N]   (options in any place)

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "avi/AviCheck.h"
#include "avi/AviParser.h"
#include "avi/AviRepair.h"
#include "avi/DvPacks.h"
#include "avi/Timecode.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInconsistent = 1;
constexpr int kExitError = 2;
constexpr int kExitLegacyIndex = 3; // readable and whole, but without the OpenDML index

int Usage()
{
    std::fprintf(stderr,
                 "usage: plover-avi info FILE\n"
                 "       plover-avi check FILE\n"
                 "       plover-avi repair FILE [--force] [--segment-mib N]\n");
    return kExitError;
}

bool OpenAndParse(const std::string& path, avi::StdioFile& file, avi::AviParser& parser)
{
    if (!file.Open(path, avi::StdioFile::Mode::Read)) {
        std::fprintf(stderr, "%s: cannot open the file\n", path.c_str());
        return false;
    }
    const avi::AviResult hr = parser.Parse(file);
    if (!avi::Succeeded(hr)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), avi::AviResultText(hr));
        return false;
    }
    return true;
}

const char* SystemText(avi::VideoSystem system)
{
    return system == avi::VideoSystem::System625_50 ? "625/50 (25 frames/s)" : "525/60 (29.97 frames/s, drop-frame time code)";
}

const char* IndexText(avi::IndexSource source)
{
    switch (source) {
    case avi::IndexSource::OpenDml: return "OpenDML super index";
    case avi::IndexSource::Idx1: return "legacy idx1";
    case avi::IndexSource::Scan: return "none (frames found by walking the movi list)";
    case avi::IndexSource::None: break;
    }
    return "none";
}

const char* RepairIndexText(avi::RepairIndex index)
{
    switch (index) {
    case avi::RepairIndex::OpenDml: return "the surviving OpenDML standard indexes";
    case avi::RepairIndex::Idx1: return "the legacy idx1";
    case avi::RepairIndex::None: break;
    }
    return "the chunks alone (no index survived)";
}

void PrintFirstFrame(const avi::AviParser& parser)
{
    const auto& frames = parser.Frames();
    for (std::uint32_t n = 0; n < frames.size(); ++n) {
        std::vector<std::uint8_t> bytes;
        const avi::AviResult hr = parser.ReadFrame(n, bytes);
        if (hr == avi::AviResult::Dropped)
            continue;
        if (!avi::Succeeded(hr)) {
            std::printf("First frame:    unreadable (%s)\n", avi::AviResultText(hr));
            return;
        }
        avi::DvFrameFacts facts;
        avi::ReadDvFrameFacts(bytes, &facts);
        if (n > 0)
            std::printf("First frame:    dropped; the first recorded frame is %u\n", n);
        std::printf("Aspect:         %s (wide-screen flag %d)\n", facts.nWide ? "16:9" : "4:3", facts.nWide);
        std::printf("Frame mode:     %d\n", facts.nFrameMode);
        std::printf("Time code:      %s\n", avi::FormatTimecode(facts.timecode).c_str());
        return;
    }
    std::printf("First frame:    none recorded\n");
}

int Info(const std::string& path)
{
    avi::StdioFile file;
    avi::AviParser parser;
    if (!OpenAndParse(path, file, parser))
        return kExitError;
    std::uint64_t size = 0;
    file.GetSize(&size);
    const int type = parser.AviTypeCode();
    std::printf("File:           %s\n", path.c_str());
    std::printf("Size:           %llu bytes\n", static_cast<unsigned long long>(size));
    std::printf("Type:           %s\n", type == 1 ? "AVI Type 1 (iavs/dvsd)" : type == 2 ? "AVI Type 2 (vids/dvsd)" : "not a DV AVI file of type 1 or 2");
    if (parser.VideoStream() < 0)
        return kExitOk;
    const avi::VideoSystem system = parser.GetVideoSystem();
    std::printf("Video system:   %s\n", SystemText(system));
    std::printf("Frames:         %u (index entries %zu)\n", parser.DeclaredLength(), parser.Frames().size());
    std::printf("Length:         %s\n", avi::FormatLength(system, parser.DeclaredLength()).c_str());
    std::printf("Segments:       %zu RIFF\n", parser.Segments().size());
    std::printf("Index:          %s%s\n", IndexText(parser.GetIndexSource()), parser.IsConsistent() ? "" : " (not consistent: see check)");
    if (parser.AudioStream() >= 0) {
        const auto& audio = parser.Streams()[static_cast<std::size_t>(parser.AudioStream())];
        std::uint64_t bytes = 0;
        for (const auto& r : parser.AudioChunks())
            bytes += r.nSize;
        std::printf("Audio:          %u Hz, %u channels, %u-bit PCM, %zu chunks, %llu bytes\n", audio.wave.nSamplesPerSec,
                    audio.wave.nChannels, audio.wave.wBitsPerSample, parser.AudioChunks().size(),
                    static_cast<unsigned long long>(bytes));
    }
    const auto& video = parser.Streams()[static_cast<std::size_t>(parser.VideoStream())];
    avi::AudioFormat dvAudio;
    if (parser.AudioStream() < 0 && video.bHasDvInfo && avi::AudioFormatFromDvInfo(video.dvInfo, &dvAudio))
        std::printf("Audio:          in the DV stream, %u Hz (from DVINFO)\n", dvAudio.nSamplesPerSec);
    PrintFirstFrame(parser);
    const auto drops = parser.DroppedFrames();
    std::printf("Dropped frames: %zu\n", drops.size());
    for (const auto& group : avi::GroupDropsBySecond(system, drops))
        std::printf("%s\n", avi::FormatDropLine(group).c_str());
    return kExitOk;
}

int Check(const std::string& path)
{
    avi::StdioFile file;
    avi::AviParser parser;
    if (!OpenAndParse(path, file, parser))
        return kExitError;
    const avi::AviCheckResult result = avi::CheckAvi(parser, file);
    for (const auto& problem : result.vecProblems)
        std::printf("problem: %s\n", problem.c_str());
    if (result.bLegacyIndexOnly) {
        std::printf("%s: readable, but indexed only by a legacy idx1 (%zu index entries, stream length %u); it lacks "
                    "the OpenDML index that the program's dropped-frame reader needs (repair --force adds it)\n",
                    path.c_str(), parser.Frames().size(), parser.DeclaredLength());
        return kExitLegacyIndex;
    }
    std::printf("%s: %s (%zu index entries, stream length %u)\n", path.c_str(),
                result.bConsistent ? "consistent" : "NOT consistent", parser.Frames().size(), parser.DeclaredLength());
    return result.bConsistent ? kExitOk : kExitInconsistent;
}

std::string FreeBackupName(const std::string& path)
{
    std::string name = path + ".bak";
    for (int i = 2; std::filesystem::exists(name); ++i)
        name = path + ".bak" + std::to_string(i);
    return name;
}

int Repair(const std::string& path, bool bForce, std::uint64_t segmentBytes)
{
    bool bWasConsistent = false;
    {
        avi::StdioFile file;
        avi::AviParser parser;
        if (!OpenAndParse(path, file, parser))
            return kExitError;
        const avi::AviCheckResult check = avi::CheckAvi(parser, file);
        bWasConsistent = check.bConsistent;
        if (!bForce && check.bConsistent) {
            std::printf("%s: already consistent, nothing to repair (--force rebuilds it anyway)\n", path.c_str());
            return kExitOk;
        }
        if (!bForce && check.bLegacyIndexOnly) {
            std::printf("%s: not damaged, but indexed only by a legacy idx1 without the OpenDML index that the "
                        "program's dropped-frame reader needs; left as it is (--force rewrites it with that index)\n",
                        path.c_str());
            return kExitOk;
        }
    }
    const std::string backup = FreeBackupName(path);
    std::error_code ec;
    std::filesystem::rename(path, backup, ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot keep a backup as %s: %s\n", path.c_str(), backup.c_str(), ec.message().c_str());
        return kExitError;
    }
    avi::StdioFile source;
    avi::StdioFile target;
    avi::AviResult hr = avi::AviResult::IoError;
    avi::RepairReport report;
    if (source.Open(backup, avi::StdioFile::Mode::Read) && target.Open(path, avi::StdioFile::Mode::Create)) {
        avi::RepairOptions options;
        options.nSegmentBytes = segmentBytes;
        hr = avi::RepairAvi(source, target, options, &report);
    }
    const bool bClosed = target.Close();
    source.Close();
    if (!avi::Succeeded(hr) || !bClosed) {
        std::filesystem::remove(path, ec);
        std::filesystem::rename(backup, path, ec);
        std::fprintf(stderr, "%s: repair failed: %s; the file is left as it was\n", path.c_str(),
                     avi::AviResultText(avi::Succeeded(hr) ? avi::AviResult::IoError : hr));
        return kExitError;
    }
    std::printf("%s: rebuilt as AVI Type %d, %s\n", path.c_str(), report.nAviType, SystemText(report.system));
    std::printf("before: %u index entries, stream length %u%s\n", report.nFramesIndexed, report.nDeclaredLength,
                bWasConsistent ? " (consistent)" : "");
    std::printf("numbered by: %s\n", RepairIndexText(report.indexUsed));
    std::printf("recovered: %u frames (%u dropped, %u found after the last index entry), %u audio chunks (%llu bytes)\n",
                report.nFramesWritten, report.nDroppedWritten, report.nFramesFromTail, report.nAudioChunks,
                static_cast<unsigned long long>(report.nAudioBytes));
    if (report.nFramesDamaged > 0)
        std::printf("damaged: %u frames whose chunks were unusable are kept as dropped frames\n", report.nFramesDamaged);
    if (report.nChunksLeftOut > 0)
        std::printf("left out: %u chunks of a size their stream cannot hold\n", report.nChunksLeftOut);
    std::printf("length: %s\n", avi::FormatLength(report.system, report.nFramesWritten).c_str());
    std::printf("discarded: %llu bytes in %u regions that held no whole chunk\n",
                static_cast<unsigned long long>(report.nBytesDiscarded), report.nDamagedRegions);
    std::printf("backup: %s\n", backup.c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    std::string path;
    bool bForce = false;
    std::uint64_t segmentBytes = avi::AviWriterOptions::kDefaultSegmentBytes;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (command == "repair" && arg == "--force") {
            bForce = true;
        } else if (command == "repair" && arg == "--segment-mib" && i + 1 < argc) {
            segmentBytes = std::strtoull(argv[++i], nullptr, 10) << 20;
        } else if (path.empty() && !arg.starts_with("--")) {
            path = arg;
        } else {
            return Usage();
        }
    }
    if (path.empty())
        return Usage();
    if (command == "info")
        return Info(path);
    if (command == "check")
        return Check(path);
    if (command == "repair")
        return Repair(path, bForce, segmentBytes);
    return Usage();
}
