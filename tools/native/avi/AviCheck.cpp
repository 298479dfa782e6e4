#include "AviCheck.h"

#include <cstdint>

namespace {

// Every entry must point just past a chunk header of its stream whose size matches.
void CheckEntries(const std::vector<avi::ChunkRef>& refs, int stream, const char* what, avi::FileIo& file,
                  std::vector<std::string>& problems)
{
    std::size_t bad = 0;
    std::string first;
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const avi::ChunkRef& r = refs[i];
        if (r.IsDropped())
            continue;
        std::uint8_t head[avi::kChunkHeaderSize];
        const bool bOk = r.bInFile && r.nPos >= avi::kChunkHeaderSize &&
                         file.ReadExact(r.nPos - avi::kChunkHeaderSize, head, sizeof head) &&
                         avi::StreamNumberOfChunk(avi::ReadLe32(head)) == stream && avi::ReadLe32(head + 4) == r.nSize;
        if (!bOk && bad++ == 0)
            first = std::string(what) + " " + std::to_string(i) + " does not point at a whole chunk of its stream";
    }
    if (bad == 1)
        problems.push_back(first);
    else if (bad > 1)
        problems.push_back(first + " (and " + std::to_string(bad - 1) + " more)");
}

} // namespace

AviCheckResult CheckAvi(const avi::AviParser& parser, avi::FileIo& file)
{
    AviCheckResult result;
    auto& problems = result.vecProblems;
    problems = parser.Problems();
    if (parser.AviTypeCode() == 0)
        problems.push_back("the first stream is neither \"iavs\"/\"dvsd\" nor \"vids\"/\"dvsd\"");
    if (parser.VideoStream() < 0) {
        problems.push_back("no DV stream");
        return result;
    }
    if (parser.GetIndexSource() != avi::IndexSource::OpenDml)
        problems.push_back("the DV stream has no OpenDML super index");
    const std::size_t entries = parser.Frames().size();
    if (entries != parser.DeclaredLength())
        problems.push_back("the index lists " + std::to_string(entries) + " frames but the stream length is " +
                           std::to_string(parser.DeclaredLength()));
    if (parser.OdmlTotalFrames() != 0 && parser.OdmlTotalFrames() != parser.DeclaredLength())
        problems.push_back("\"dmlh\" counts " + std::to_string(parser.OdmlTotalFrames()) + " frames, the stream " +
                           std::to_string(parser.DeclaredLength()));
    CheckEntries(parser.Frames(), parser.VideoStream(), "frame", file, problems);
    if (parser.AudioStream() >= 0) {
        CheckEntries(parser.AudioChunks(), parser.AudioStream(), "audio chunk", file, problems);
        const auto& audio = parser.Streams()[static_cast<std::size_t>(parser.AudioStream())];
        std::uint64_t bytes = 0;
        for (const auto& r : parser.AudioChunks())
            bytes += r.nSize;
        const std::uint64_t align = audio.bHasWave && audio.wave.nBlockAlign ? audio.wave.nBlockAlign : 1;
        if (audio.header.dwSampleSize != 0 && bytes / align != audio.header.dwLength)
            problems.push_back("the audio index holds " + std::to_string(bytes / align) +
                               " sample blocks but the audio stream length is " + std::to_string(audio.header.dwLength));
    }
    result.bConsistent = problems.empty();
    return result;
}
