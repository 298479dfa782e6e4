#include "avi/AviCheck.h"

#include <algorithm>
#include <cstdint>

namespace avi {

namespace {

// Adds the first of `bad` problems of one kind, with the count of the others.
void AddCounted(std::vector<std::string>& problems, const std::string& first, std::size_t bad)
{
    if (bad == 1)
        problems.push_back(first);
    else if (bad > 1)
        problems.push_back(first + " (and " + std::to_string(bad - 1) + " more)");
}

// Every entry must point just past a chunk header of its stream whose size matches.
void CheckEntries(const std::vector<ChunkRef>& refs, int stream, const char* what, FileIo& file,
                  std::vector<std::string>& problems)
{
    std::size_t bad = 0;
    std::string first;
    for (std::size_t i = 0; i < refs.size(); ++i) {
        const ChunkRef& r = refs[i];
        if (r.IsDropped())
            continue;
        std::uint8_t head[kChunkHeaderSize];
        const bool bOk = r.bInFile && r.nPos >= kChunkHeaderSize &&
                         file.ReadExact(r.nPos - kChunkHeaderSize, head, sizeof head) &&
                         StreamNumberOfChunk(ReadLe32(head)) == stream && ReadLe32(head + 4) == r.nSize;
        if (!bOk && bad++ == 0)
            first = std::string(what) + " " + std::to_string(i) + " does not point at a whole chunk of its stream";
    }
    AddCounted(problems, first, bad);
}

// The writer puts a stream's chunks in the file in the order of its entries, each chunk once:
// an entry naming a chunk that an earlier entry named, or one lying before the entry before it,
// comes from a damaged or misplaced index.
void CheckOrder(const std::vector<ChunkRef>& refs, const char* what, std::vector<std::string>& problems)
{
    std::vector<std::pair<std::uint64_t, std::size_t>> named;
    std::size_t backwards = 0;
    std::string firstBackwards;
    std::uint64_t last = 0;
    std::size_t lastIndex = 0;
    for (std::size_t i = 0; i < refs.size(); ++i) {
        if (refs[i].IsDropped())
            continue;
        named.emplace_back(refs[i].nPos, i);
        if (refs[i].nPos < last && backwards++ == 0)
            firstBackwards = std::string(what) + " " + std::to_string(i) + " lies before " + what + " " +
                             std::to_string(lastIndex) + " in the file: the index is out of order";
        last = refs[i].nPos;
        lastIndex = i;
    }
    std::sort(named.begin(), named.end());
    std::size_t twice = 0;
    std::string firstTwice;
    for (std::size_t k = 1; k < named.size(); ++k) {
        if (named[k].first != named[k - 1].first)
            continue;
        const std::size_t a = std::min(named[k].second, named[k - 1].second);
        const std::size_t b = std::max(named[k].second, named[k - 1].second);
        if (twice++ == 0)
            firstTwice = std::string(what) + " " + std::to_string(b) + " names the same chunk as " + what + " " +
                         std::to_string(a);
    }
    AddCounted(problems, firstTwice, twice);
    AddCounted(problems, firstBackwards, backwards);
}

// Each super index entry's duration must be what its standard index covers: frames (dropped ones
// included) for video, sample blocks for audio; together they make the stream's length.
void CheckDurations(const AviParser& parser, int stream, const std::vector<ChunkRef>& refs, const char* what,
                    std::vector<std::string>& problems)
{
    const StreamInfo& info = parser.Streams()[static_cast<std::size_t>(stream)];
    if (!info.bHasSuperIndex)
        return;
    std::uint64_t align = 0; // 0: durations count entries
    if (info.header.fccType == fcc::kAuds) {
        if (info.header.dwSampleSize == 0 || !info.bHasWave || info.wave.nBlockAlign == 0)
            return; // a stream of whole packets has no sample blocks to count
        align = info.wave.nBlockAlign;
    }
    std::uint64_t total = 0;
    std::size_t bad = 0;
    std::string first;
    for (std::size_t k = 0; k < info.vecSuperIndex.size(); ++k) {
        const std::uint32_t duration = info.vecSuperIndex[k].dwDuration;
        total += duration;
        const StdIndexSpan& span = info.vecStdIndexes[k];
        if (!span.bRead)
            continue; // the parser has named what is wrong with that standard index
        std::uint64_t covered = span.nCount;
        if (align != 0) {
            std::uint64_t bytes = 0;
            for (std::size_t i = span.nFirst; i < span.nFirst + span.nCount && i < refs.size(); ++i)
                bytes += refs[i].nSize;
            covered = bytes / align;
        }
        if (duration != covered && bad++ == 0)
            first = std::string("super index entry ") + std::to_string(k) + " of the " + what + " lasts " +
                    std::to_string(duration) + " but its standard index covers " + std::to_string(covered);
    }
    AddCounted(problems, first, bad);
    if (total != info.header.dwLength)
        problems.push_back(std::string("the super index durations of the ") + what + " add up to " +
                           std::to_string(total) + " but the stream length is " + std::to_string(info.header.dwLength));
}

} // namespace

AviCheckResult CheckAvi(const AviParser& parser, FileIo& file)
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
    const bool bOpenDml = parser.GetIndexSource() == IndexSource::OpenDml;
    const std::size_t entries = parser.Frames().size();
    if (entries != parser.DeclaredLength())
        problems.push_back("the index lists " + std::to_string(entries) + " frames but the stream length is " +
                           std::to_string(parser.DeclaredLength()));
    if (parser.OdmlTotalFrames() != 0 && parser.OdmlTotalFrames() != parser.DeclaredLength())
        problems.push_back("\"dmlh\" counts " + std::to_string(parser.OdmlTotalFrames()) + " frames, the stream " +
                           std::to_string(parser.DeclaredLength()));
    CheckEntries(parser.Frames(), parser.VideoStream(), "frame", file, problems);
    if (bOpenDml)
        CheckOrder(parser.Frames(), "frame", problems);
    CheckDurations(parser, parser.VideoStream(), parser.Frames(), "DV stream", problems);
    if (parser.AudioStream() >= 0) {
        CheckEntries(parser.AudioChunks(), parser.AudioStream(), "audio chunk", file, problems);
        if (parser.Streams()[static_cast<std::size_t>(parser.AudioStream())].bHasSuperIndex)
            CheckOrder(parser.AudioChunks(), "audio chunk", problems);
        CheckDurations(parser, parser.AudioStream(), parser.AudioChunks(), "audio stream", problems);
        const auto& audio = parser.Streams()[static_cast<std::size_t>(parser.AudioStream())];
        std::uint64_t bytes = 0;
        for (const auto& r : parser.AudioChunks())
            bytes += r.nSize;
        const std::uint64_t align = audio.bHasWave && audio.wave.nBlockAlign ? audio.wave.nBlockAlign : 1;
        if (audio.header.dwSampleSize != 0 && bytes / align != audio.header.dwLength)
            problems.push_back("the audio index holds " + std::to_string(bytes / align) +
                               " sample blocks but the audio stream length is " + std::to_string(audio.header.dwLength));
    }
    // A file whose only fault is the missing OpenDML index is readable as it stands; a file
    // walked without any index is not whole.
    if (!bOpenDml && problems.empty() && parser.GetIndexSource() == IndexSource::Idx1) {
        result.bLegacyIndexOnly = true;
        return result;
    }
    if (!bOpenDml)
        problems.insert(problems.begin(), "the DV stream has no OpenDML super index");
    result.bConsistent = problems.empty();
    return result;
}

} // namespace avi
