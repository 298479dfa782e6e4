#include "avi/AviRepair.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "avi/AviParser.h"

namespace avi {

namespace {

struct FoundChunk {
    int nStream = 0;
    std::uint64_t nDataPos = 0;
    std::uint32_t nSize = 0;
};

// The entries of one standard index found in the file: data positions, 0 for a dropped frame.
// Entries past the count in use are kept too: the writer puts each entry in place as soon as
// its frame is written, and only the count waits for the next checkpoint.
struct FoundIndex {
    int nStream = 0;
    std::size_t nInUse = 0;
    std::vector<std::uint64_t> vecEntries; // the whole room of the chunk that is in the file
};

// Frame numbering from the indexes of one stream: position of each frame's data, 0 when dropped.
using IndexedFrames = std::vector<std::uint64_t>;

bool IsPrintableCode(FourCC code)
{
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (code >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// Walks the movi chunks from the first one to the first byte that is not a whole chunk,
// ignoring the list and RIFF sizes (they are stale in a file that was cut off).
class MoviScanner {
public:
    MoviScanner(FileIo& file, std::uint64_t fileSize, std::size_t streams)
        : m_file(file), m_nFileSize(fileSize), m_nStreams(streams)
    {
    }

    std::uint64_t Scan(std::uint64_t pos)
    {
        std::uint8_t head[kListHeaderSize];
        while (pos + kChunkHeaderSize <= m_nFileSize && m_file.ReadExact(pos, head, kChunkHeaderSize)) {
            const FourCC code = ReadLe32(head);
            const std::uint32_t size = ReadLe32(head + 4);
            const std::uint64_t end = pos + kChunkHeaderSize + size + (size & 1);
            if (code == fcc::kRiff || code == fcc::kList) {
                if (pos + kListHeaderSize > m_nFileSize || !m_file.ReadExact(pos + 8, head + 8, 4))
                    break;
                const FourCC type = ReadLe32(head + 8);
                if ((code == fcc::kRiff && type == fcc::kAvix) || type == fcc::kMovi || type == fcc::kRec) {
                    pos += kListHeaderSize; // step inside
                    continue;
                }
                if (end > m_nFileSize)
                    break;
                pos = end;
                continue;
            }
            if (end > m_nFileSize && !(IsStdIndexChunk(code) && size >= disk::StdIndexHeader::kSize))
                break;
            if (IsStdIndexChunk(code)) {
                ReadStdIndex(pos, size);
                if (end > m_nFileSize)
                    break;
            } else if (code != fcc::kIdx1 && code != fcc::kJunk) {
                const int stream = StreamNumberOfChunk(code);
                if (stream >= 0 && static_cast<std::size_t>(stream) < m_nStreams)
                    m_vecChunks.push_back(FoundChunk{stream, pos + kChunkHeaderSize, size});
                else if (!IsPrintableCode(code))
                    break; // not a chunk at all: the rest is unusable
                // A chunk of another kind (or with a damaged code) is passed over by its size.
            }
            pos = end;
        }
        return pos;
    }

    const std::vector<FoundChunk>& Chunks() const { return m_vecChunks; }

    // The frames of a stream in index order. Past an index's count, entries are taken up to
    // the last one that points at a whole chunk of the stream; the zeros before it are drops.
    IndexedFrames Indexed(int stream) const
    {
        std::unordered_set<std::uint64_t> chunks;
        for (const FoundChunk& c : m_vecChunks)
            if (c.nStream == stream)
                chunks.insert(c.nDataPos);
        IndexedFrames frames;
        for (const FoundIndex& ix : m_vecIndexes) {
            if (ix.nStream != stream)
                continue;
            std::size_t end = ix.nInUse;
            for (std::size_t i = ix.nInUse; i < ix.vecEntries.size(); ++i)
                if (ix.vecEntries[i] != 0 && chunks.count(ix.vecEntries[i]))
                    end = i + 1;
            frames.insert(frames.end(), ix.vecEntries.begin(), ix.vecEntries.begin() + static_cast<std::ptrdiff_t>(end));
        }
        return frames;
    }

private:
    void ReadStdIndex(std::uint64_t pos, std::uint32_t size)
    {
        std::uint8_t bytes[disk::StdIndexHeader::kSize];
        if (size < sizeof bytes || !m_file.ReadExact(pos + kChunkHeaderSize, bytes, sizeof bytes))
            return;
        const auto h = disk::StdIndexHeader::Read(bytes);
        const int stream = StreamNumberOfChunk(h.dwChunkId);
        if (stream < 0 || h.bIndexType != kIndexOfChunks)
            return;
        const std::uint64_t first = pos + kChunkHeaderSize + disk::StdIndexHeader::kSize;
        std::uint64_t n = (size - sizeof bytes) / disk::StdIndexEntry::kSize;
        n = std::min<std::uint64_t>(n, first < m_nFileSize ? (m_nFileSize - first) / disk::StdIndexEntry::kSize : 0);
        std::vector<std::uint8_t> entries(static_cast<std::size_t>(n * disk::StdIndexEntry::kSize));
        if (n == 0 || !m_file.ReadExact(first, entries.data(), entries.size()))
            return;
        FoundIndex found;
        found.nStream = stream;
        found.nInUse = static_cast<std::size_t>(std::min<std::uint64_t>(h.nEntriesInUse, n));
        for (std::uint64_t i = 0; i < n; ++i) {
            const auto e = disk::StdIndexEntry::Read(entries.data() + i * disk::StdIndexEntry::kSize);
            found.vecEntries.push_back(e.dwOffset == 0 ? 0 : h.qwBaseOffset + e.dwOffset);
        }
        m_vecIndexes.push_back(std::move(found));
    }

    FileIo& m_file;
    std::uint64_t m_nFileSize;
    std::size_t m_nStreams;
    std::vector<FoundChunk> m_vecChunks;
    std::vector<FoundIndex> m_vecIndexes;
};

AviResult WriterOptionsFromFile(const AviParser& parser, FileIo& source, const std::vector<FoundChunk>& chunks,
                                const RepairOptions& options, AviWriterOptions* pOut)
{
    AviWriterOptions w;
    w.type = parser.AviTypeCode() == 1 ? AviType::Type1 : AviType::Type2;
    w.system = parser.GetVideoSystem();
    w.nSegmentBytes = options.nSegmentBytes;
    w.nSuperIndexEntries = options.nSuperIndexEntries;
    w.bCheckpoints = false;
    const StreamInfo& video = parser.Streams()[static_cast<std::size_t>(parser.VideoStream())];
    // The first whole frame knows the stream better than a damaged header would.
    for (const FoundChunk& c : chunks) {
        if (c.nStream != parser.VideoStream() || c.nSize < kFrameSize525)
            continue;
        std::vector<std::uint8_t> frame(c.nSize);
        if (source.ReadExact(c.nDataPos, frame.data(), frame.size())) {
            ReadDvVideoSystem(frame, &w.system);
            ReadDvInfoFromFrame(frame, &w.dvInfo);
        }
        break;
    }
    if (video.bHasDvInfo)
        w.dvInfo = video.dvInfo;
    if (w.type == AviType::Type2) {
        if (parser.AudioStream() >= 0) {
            const StreamInfo& audio = parser.Streams()[static_cast<std::size_t>(parser.AudioStream())];
            if (audio.bHasWave && audio.wave.wBitsPerSample == 16 && audio.wave.nChannels > 0) {
                w.audio.nSamplesPerSec = audio.wave.nSamplesPerSec;
                w.audio.nChannels = audio.wave.nChannels;
            }
        } else if (!AudioFormatFromDvInfo(w.dvInfo, &w.audio)) {
            w.audio = AudioFormat{};
        }
    }
    *pOut = w;
    return AviResult::Ok;
}

} // namespace

AviResult RepairAvi(FileIo& source, FileIo& target, const RepairOptions& options, RepairReport* pReport)
{
    RepairReport report;
    AviParser parser;
    AviResult hr = parser.Parse(source);
    if (!Succeeded(hr))
        return hr;
    if (parser.VideoStream() < 0 || (parser.AviTypeCode() != 1 && parser.AviTypeCode() != 2))
        return AviResult::Unsupported;
    report.nAviType = parser.AviTypeCode();
    report.nFramesIndexed = static_cast<std::uint32_t>(parser.Frames().size());
    report.nDeclaredLength = parser.DeclaredLength();
    report.bWasConsistent = parser.IsConsistent();

    std::uint64_t fileSize = 0;
    if (!source.GetSize(&fileSize))
        return AviResult::IoError;
    const SegmentInfo& first = parser.Segments().front();
    if (first.nMoviPos == 0)
        return AviResult::Damaged;
    MoviScanner scanner(source, fileSize, parser.Streams().size());
    const std::uint64_t usableEnd = scanner.Scan(first.nMoviPos + kListHeaderSize);
    report.nBytesDiscarded = fileSize - std::min(usableEnd, fileSize);

    AviWriterOptions w;
    hr = WriterOptionsFromFile(parser, source, scanner.Chunks(), options, &w);
    if (!Succeeded(hr))
        return hr;
    report.system = w.system;
    const int videoStream = parser.VideoStream();
    const int audioStream = w.type == AviType::Type2 ? parser.AudioStream() : -1;

    // Dropped frames are known only from the standard indexes: place them before the frame
    // that followed them there. Frames after the last indexed one take no drops.
    const IndexedFrames indexed = scanner.Indexed(videoStream);
    std::unordered_map<std::uint64_t, std::size_t> indexOfPos;
    for (std::size_t i = 0; i < indexed.size(); ++i)
        if (indexed[i] != 0)
            indexOfPos.emplace(indexed[i], i);
    std::uint64_t lastIndexedPos = 0;
    for (const FoundChunk& c : scanner.Chunks())
        if (c.nStream == videoStream && indexOfPos.count(c.nDataPos))
            lastIndexedPos = std::max(lastIndexedPos, c.nDataPos);

    AviWriter writer;
    hr = writer.Open(target, w);
    if (!Succeeded(hr))
        return hr;
    std::size_t nextIndexed = 0; // entries before this one are written
    // Writes the entries before `end` that have no chunk: dropped frames, and (bKeepTiming)
    // frames whose chunk is gone, as drops too, so the frames after them keep their numbers.
    // Without bKeepTiming it stops at the first lost frame: what follows it was cut off.
    auto writeDropsUpTo = [&](std::size_t end, bool bKeepTiming) {
        for (; nextIndexed < end; ++nextIndexed) {
            if (indexed[nextIndexed] != 0 && !bKeepTiming)
                break;
            const AviResult r = writer.WriteDroppedFrame();
            if (!Succeeded(r))
                return r;
            ++report.nDroppedWritten;
        }
        return AviResult::Ok;
    };
    std::vector<std::uint8_t> data;
    for (const FoundChunk& c : scanner.Chunks()) {
        if (c.nStream != videoStream && c.nStream != audioStream)
            continue;
        data.resize(c.nSize);
        if (!source.ReadExact(c.nDataPos, data.data(), data.size()))
            return AviResult::IoError;
        if (c.nStream == audioStream) {
            const std::uint16_t align = w.audio.BlockAlign();
            const std::size_t whole = data.size() - data.size() % align;
            if (whole == 0)
                continue;
            hr = writer.WriteAudio(std::span<const std::uint8_t>(data.data(), whole));
            ++report.nAudioChunks;
            report.nAudioBytes += whole;
        } else {
            const auto it = indexOfPos.find(c.nDataPos);
            if (it != indexOfPos.end() && it->second >= nextIndexed) {
                hr = writeDropsUpTo(it->second, true);
                nextIndexed = it->second + 1;
            } else if (it == indexOfPos.end() && c.nDataPos > lastIndexedPos) {
                hr = writeDropsUpTo(indexed.size(), false);
                nextIndexed = indexed.size();
                ++report.nFramesFromTail;
            }
            if (Succeeded(hr))
                hr = writer.WriteVideoFrame(data);
        }
        if (!Succeeded(hr))
            return hr;
    }
    hr = writeDropsUpTo(indexed.size(), false);
    if (Succeeded(hr))
        hr = writer.Finish();
    if (Succeeded(hr) && !target.Flush(true))
        hr = AviResult::IoError;
    report.nFramesWritten = writer.FrameCount();
    if (pReport)
        *pReport = report;
    return hr;
}

} // namespace avi
