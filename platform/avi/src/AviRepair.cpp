#include "avi/AviRepair.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "avi/AviParser.h"
#include "avi/Timecode.h"
#include "dv/TimeCodeCounting.h"

namespace avi {

namespace {

constexpr std::size_t kSearchBlock = 1u << 20;   // bytes read at a time while searching
constexpr std::uint32_t kMaxAudioChunk = 1u << 20; // far more than a second of 48 kHz stereo
// An entry of a standard index that is lost as a whole, with the position its frames follow.
constexpr std::uint64_t kPlaceholderBit = std::uint64_t{1} << 63;
constexpr std::uint32_t kMaxPlaceholders = 1u << 16;    // entries a damaged standard index may stand for

struct FoundChunk {
    int nStream = 0;
    std::uint64_t nDataPos = 0;
    std::uint32_t nSize = 0;
};

// The entries of one standard index found in the file: data positions, 0 for a dropped frame.
// Entries past the count in use are kept too: the writer puts each entry in place as soon as
// its frame is written, and only the count waits for the next checkpoint.
struct FoundIndex {
    std::uint64_t nPos = 0; // of the "ix##" code
    int nStream = 0;
    std::size_t nInUse = 0;
    std::vector<std::uint64_t> vecEntries; // the whole room of the chunk that is in the file
};

// A run of bytes that held no chunk the scanner could trust.
struct DamagedRegion {
    std::uint64_t nBegin = 0;
    std::uint64_t nEnd = 0;
};

bool IsPrintableCode(FourCC code)
{
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (code >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool IsFrameSize(std::uint32_t size)
{
    return size == kFrameSize525 || size == kFrameSize625;
}

// Every DIF block of a frame starts with its ID bytes, so a frame whose last block is all zeros
// was cut off where the file system's zero-filled room began: its data never came.
bool EndsWithData(FileIo& file, std::uint64_t end)
{
    std::uint8_t last[kDifBlockSize];
    if (end < sizeof last || !file.ReadExact(end - sizeof last, last, sizeof last))
        return false;
    return std::any_of(std::begin(last), std::end(last), [](std::uint8_t b) { return b != 0; });
}

bool IsPlaceholder(std::uint64_t entry)
{
    return (entry & kPlaceholderBit) != 0;
}

// Where the zero run starting at p[i] ends: whole pages are compared at once, so a zero-filled
// gigabyte costs about what reading it costs.
std::size_t SkipZeros(const std::uint8_t* p, std::size_t i, std::size_t limit)
{
    static const std::uint8_t kZeroPage[4096] = {};
    while (i + sizeof kZeroPage <= limit && std::memcmp(p + i, kZeroPage, sizeof kZeroPage) == 0)
        i += sizeof kZeroPage;
    while (i < limit && p[i] == 0)
        ++i;
    return i;
}

// Walks the movi chunks from the first one to the end of the file, ignoring the list and RIFF
// sizes (they are stale in a file that was cut off). A header it cannot trust (an unknown or
// zero code, a size that runs past the file or does not fit its stream, an audio chunk not
// followed by another header) starts a search for the next valid header; the bytes between
// are a damaged region.
class MoviScanner {
public:
    struct Streams {
        std::size_t nCount = 0;
        int nVideo = -1;
        int nAudio = -1;
        std::uint32_t nAudioAlign = 4;
    };

    MoviScanner(FileIo& file, std::uint64_t fileSize, const Streams& streams)
        : m_file(file), m_nFileSize(fileSize), m_streams(streams)
    {
    }

    void Scan(std::uint64_t pos)
    {
        while (pos < m_nFileSize) {
            const Verdict v = Judge(pos);
            switch (v.kind) {
            case Kind::End:
                AddRegion(pos, m_nFileSize);
                return;
            case Kind::Enter:
                if (v.bRiff)
                    m_vecSegmentStarts.push_back(pos);
                pos = v.nNext;
                break;
            case Kind::Skip:
                pos = v.nNext;
                break;
            case Kind::Chunk:
                m_vecChunks.push_back(FoundChunk{v.nStream, pos + kChunkHeaderSize, v.nSize});
                pos = v.nNext;
                break;
            case Kind::StdIndex:
                ReadStdIndex(pos, v.nSize);
                pos = std::min(v.nNext, m_nFileSize);
                break;
            case Kind::Idx1:
                if (!m_bHasIdx1) {
                    m_bHasIdx1 = true;
                    m_nIdx1Pos = pos;
                    m_nIdx1Size = v.nSize;
                }
                pos = v.nNext;
                break;
            case Kind::Bad: {
                if (v.nStream >= 0)
                    ++m_nLeftOut; // a chunk of a stream, but not one its stream can hold
                const std::uint64_t next = Search(pos + 1);
                AddRegion(pos, next);
                pos = next;
                break;
            }
            }
        }
    }

    const std::vector<FoundChunk>& Chunks() const { return m_vecChunks; }
    std::vector<FoundChunk>& Chunks() { return m_vecChunks; }
    const std::vector<FoundIndex>& Indexes() const { return m_vecIndexes; }
    const std::vector<DamagedRegion>& Regions() const { return m_vecRegions; }
    const std::vector<std::uint64_t>& SegmentStarts() const { return m_vecSegmentStarts; }
    std::uint32_t LeftOut() const { return m_nLeftOut; }
    bool HasIdx1() const { return m_bHasIdx1; }
    std::uint64_t Idx1Pos() const { return m_nIdx1Pos; }
    std::uint32_t Idx1Size() const { return m_nIdx1Size; }

private:
    enum class Kind { Bad, End, Enter, Skip, Chunk, StdIndex, Idx1 };
    struct Verdict {
        Kind kind = Kind::Bad;
        std::uint32_t nSize = 0;
        int nStream = -1;
        std::uint64_t nNext = 0;
        bool bRiff = false;
    };

    bool IsKnownCode(FourCC code) const
    {
        if (code == fcc::kRiff || code == fcc::kList || code == fcc::kIdx1 || code == fcc::kJunk || IsStdIndexChunk(code))
            return true;
        const int stream = StreamNumberOfChunk(code);
        return stream >= 0 && static_cast<std::size_t>(stream) < m_streams.nCount;
    }

    // What follows a chunk must look like the start of another (or the file's end, or the
    // zeros after its last chunk); a chunk whose size leads elsewhere has a damaged size.
    bool NextLooksValid(std::uint64_t pos) const
    {
        std::uint8_t code[4];
        if (pos + kChunkHeaderSize > m_nFileSize)
            return true;
        if (!m_file.ReadExact(pos, code, sizeof code))
            return false;
        const FourCC fcc = ReadLe32(code);
        return fcc == 0 || IsKnownCode(fcc);
    }

    Verdict Judge(std::uint64_t pos) const
    {
        Verdict v;
        if (pos + kChunkHeaderSize > m_nFileSize) {
            v.kind = Kind::End;
            return v;
        }
        std::uint8_t head[kListHeaderSize];
        std::size_t got = 0;
        if (!m_file.ReadAt(pos, head, sizeof head, &got) || got < kChunkHeaderSize)
            return v;
        const FourCC code = ReadLe32(head);
        const std::uint32_t size = ReadLe32(head + 4);
        const std::uint64_t end = pos + kChunkHeaderSize + size + (size & 1);
        const bool bFits = end <= m_nFileSize;
        v.nSize = size;
        v.nNext = end;
        if (code == fcc::kRiff || code == fcc::kList) {
            if (got < kListHeaderSize)
                return v;
            const FourCC type = ReadLe32(head + 8);
            if ((code == fcc::kRiff && type == fcc::kAvix) || (code == fcc::kList && (type == fcc::kMovi || type == fcc::kRec))) {
                v.kind = Kind::Enter; // step inside
                v.nNext = pos + kListHeaderSize;
                v.bRiff = code == fcc::kRiff;
            } else if (code == fcc::kList && bFits && IsPrintableCode(type) && NextLooksValid(end)) {
                v.kind = Kind::Skip;
            }
            return v;
        }
        if (IsStdIndexChunk(code)) {
            std::uint8_t bytes[disk::StdIndexHeader::kSize];
            if (size >= sizeof bytes && m_file.ReadExact(pos + kChunkHeaderSize, bytes, sizeof bytes)) {
                const auto h = disk::StdIndexHeader::Read(bytes);
                const int stream = StreamNumberOfChunk(h.dwChunkId);
                if (h.bIndexType == kIndexOfChunks && h.wLongsPerEntry == 2 && stream >= 0 &&
                    static_cast<std::size_t>(stream) < m_streams.nCount)
                    v.kind = Kind::StdIndex; // read even when cut off: its entries come first
            }
            return v;
        }
        if (code == fcc::kIdx1) {
            if (size > 0 && size % disk::Idx1Entry::kSize == 0 && bFits)
                v.kind = Kind::Idx1;
            return v;
        }
        if (code == fcc::kJunk) {
            if (bFits && NextLooksValid(end))
                v.kind = Kind::Skip;
            return v;
        }
        const int stream = StreamNumberOfChunk(code);
        if (stream >= 0 && static_cast<std::size_t>(stream) < m_streams.nCount) {
            v.nStream = stream;
            if (!bFits)
                return v;
            bool bOk = false;
            if (stream == m_streams.nVideo)
                bOk = IsFrameSize(size) && EndsWithData(m_file, pos + kChunkHeaderSize + size); // a strong enough sign by itself
            else if (stream == m_streams.nAudio)
                bOk = size > 0 && size <= kMaxAudioChunk && size % m_streams.nAudioAlign == 0 && NextLooksValid(end);
            else
                bOk = NextLooksValid(end);
            if (bOk)
                v.kind = Kind::Chunk;
            return v;
        }
        // A chunk of another kind is passed over by its size when that leads to another chunk.
        if (IsPrintableCode(code) && bFits && NextLooksValid(end))
            v.kind = Kind::Skip;
        return v;
    }

    // The first position at or after `from` that holds a chunk header Judge accepts, or the end
    // of the file. Zero runs are passed over a page at a time.
    std::uint64_t Search(std::uint64_t from) const
    {
        std::vector<std::uint8_t> block;
        for (std::uint64_t base = from; base < m_nFileSize; base += kSearchBlock) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kSearchBlock + 3, m_nFileSize - base));
            block.resize(want);
            std::size_t got = 0;
            if (!m_file.ReadAt(base, block.data(), want, &got) || got == 0)
                return m_nFileSize;
            const std::size_t limit = std::min(got, kSearchBlock);
            const std::uint8_t* p = block.data();
            for (std::size_t i = 0; i < limit;) {
                if (p[i] == 0) {
                    i = SkipZeros(p, i, limit);
                    continue;
                }
                if (i + 4 <= got && IsKnownCode(ReadLe32(p + i)) && Judge(base + i).kind != Kind::Bad)
                    return base + i;
                ++i;
            }
        }
        return m_nFileSize;
    }

    void AddRegion(std::uint64_t begin, std::uint64_t end)
    {
        if (end > begin)
            m_vecRegions.push_back(DamagedRegion{begin, end});
    }

    void ReadStdIndex(std::uint64_t pos, std::uint32_t size)
    {
        std::uint8_t bytes[disk::StdIndexHeader::kSize];
        if (size < sizeof bytes || !m_file.ReadExact(pos + kChunkHeaderSize, bytes, sizeof bytes))
            return;
        const auto h = disk::StdIndexHeader::Read(bytes);
        const std::uint64_t first = pos + kChunkHeaderSize + disk::StdIndexHeader::kSize;
        std::uint64_t n = (size - sizeof bytes) / disk::StdIndexEntry::kSize;
        n = std::min<std::uint64_t>(n, first < m_nFileSize ? (m_nFileSize - first) / disk::StdIndexEntry::kSize : 0);
        std::vector<std::uint8_t> entries(static_cast<std::size_t>(n * disk::StdIndexEntry::kSize));
        if (n == 0 || !m_file.ReadExact(first, entries.data(), entries.size()))
            return;
        FoundIndex found;
        found.nPos = pos;
        found.nStream = StreamNumberOfChunk(h.dwChunkId);
        found.nInUse = static_cast<std::size_t>(std::min<std::uint64_t>(h.nEntriesInUse, n));
        found.vecEntries.reserve(static_cast<std::size_t>(n));
        for (std::uint64_t i = 0; i < n; ++i) {
            const auto e = disk::StdIndexEntry::Read(entries.data() + i * disk::StdIndexEntry::kSize);
            found.vecEntries.push_back(e.dwOffset == 0 ? 0 : h.qwBaseOffset + e.dwOffset);
        }
        m_vecIndexes.push_back(std::move(found));
    }

    FileIo& m_file;
    std::uint64_t m_nFileSize;
    Streams m_streams;
    std::vector<FoundChunk> m_vecChunks;
    std::vector<FoundIndex> m_vecIndexes;
    std::vector<DamagedRegion> m_vecRegions;
    std::vector<std::uint64_t> m_vecSegmentStarts{0}; // the first RIFF, then each "AVIX" stepped into
    std::uint32_t m_nLeftOut = 0;
    bool m_bHasIdx1 = false;
    std::uint64_t m_nIdx1Pos = 0;
    std::uint32_t m_nIdx1Size = 0;
};

// The video system of the recording, by the sizes of the frame chunks found (a damaged header
// may name the other one); a tie keeps the header's.
VideoSystem SystemOfChunks(const std::vector<FoundChunk>& chunks, int videoStream, VideoSystem header)
{
    std::size_t n525 = 0;
    std::size_t n625 = 0;
    for (const FoundChunk& c : chunks) {
        if (c.nStream != videoStream)
            continue;
        n525 += c.nSize == kFrameSize525 ? 1 : 0;
        n625 += c.nSize == kFrameSize625 ? 1 : 0;
    }
    if (n525 == n625)
        return header;
    return n625 > n525 ? VideoSystem::System625_50 : VideoSystem::System525_60;
}

AviResult WriterOptionsFromFile(const AviParser& parser, FileIo& source, const std::vector<FoundChunk>& chunks,
                                VideoSystem system, const RepairOptions& options, AviWriterOptions* pOut)
{
    AviWriterOptions w;
    w.type = parser.AviTypeCode() == 1 ? AviType::Type1 : AviType::Type2;
    w.system = system;
    w.nSegmentBytes = options.nSegmentBytes;
    w.nSuperIndexEntries = options.nSuperIndexEntries;
    w.bCheckpoints = false;
    const StreamInfo& video = parser.Streams()[static_cast<std::size_t>(parser.VideoStream())];
    // The first whole frame knows the stream better than a damaged header would.
    for (const FoundChunk& c : chunks) {
        if (c.nStream != parser.VideoStream())
            continue;
        std::vector<std::uint8_t> frame(c.nSize);
        if (source.ReadExact(c.nDataPos, frame.data(), frame.size()))
            ReadDvInfoFromFrame(frame, &w.dvInfo);
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
        } else {
            w.bAudioStream = false; // a video-only file stays one
        }
    }
    *pOut = w;
    return AviResult::Ok;
}

// The frame numbering that the surviving indexes give the video stream: data positions in frame
// order, 0 for a dropped frame. The standard indexes are taken in file order (whatever order a
// damaged super index lists them in); without any, the legacy "idx1" of the first RIFF.
class IndexReader {
public:
    IndexReader(FileIo& file, std::uint64_t fileSize, int videoStream, std::uint32_t frameSize)
        : m_file(file), m_nFileSize(fileSize), m_nVideo(videoStream), m_nFrameSize(frameSize)
    {
    }

    // A whole frame chunk of the video stream has its data at pos. Positions the scan accepted
    // are known; others (behind a region the scan could not read) are read from the file.
    bool IsFrameAt(std::uint64_t pos, const std::unordered_set<std::uint64_t>& known) const
    {
        if (known.count(pos))
            return true;
        std::uint8_t head[kChunkHeaderSize];
        return pos >= kChunkHeaderSize && pos <= m_nFileSize && m_nFrameSize <= m_nFileSize - pos &&
               m_file.ReadExact(pos - kChunkHeaderSize, head, sizeof head) && StreamNumberOfChunk(ReadLe32(head)) == m_nVideo &&
               ReadLe32(head + 4) == m_nFrameSize && EndsWithData(m_file, pos + m_nFrameSize);
    }

    // Standard indexes the super index lists: its entry's duration tells how many frames a
    // standard index holds when the chunk itself is damaged or misplaced.
    struct Listed {
        std::uint64_t nPos = 0;
        std::uint32_t nSize = 0;
        std::uint32_t nDuration = 0;
    };

    // segmentStarts: positions of the RIFFs the scan stepped into, ascending. An index whose
    // entries point into another RIFF than its own is a copy of another segment's index.
    std::vector<std::uint64_t> FromStdIndexes(std::vector<FoundIndex> indexes, const std::vector<Listed>& listed,
                                              const std::vector<std::uint64_t>& segmentStarts,
                                              const std::vector<DamagedRegion>& regions,
                                              const std::unordered_set<std::uint64_t>& known) const
    {
        auto segmentOf = [&](std::uint64_t pos) {
            return std::upper_bound(segmentStarts.begin(), segmentStarts.end(), pos) - segmentStarts.begin();
        };
        auto durationAt = [&](std::uint64_t pos) -> std::int64_t {
            for (const Listed& l : listed)
                if (l.nPos == pos)
                    return l.nDuration;
            return -1;
        };
        // (position, entries); a placeholder of lost entries stands for an unusable index.
        std::vector<std::pair<std::uint64_t, std::vector<std::uint64_t>>> parts;
        std::unordered_set<std::uint64_t> used;
        indexes.erase(std::remove_if(indexes.begin(), indexes.end(),
                                     [&](const FoundIndex& ix) {
                                         if (ix.nStream != m_nVideo)
                                             return true;
                                         const auto inUse = ix.vecEntries.begin() + static_cast<std::ptrdiff_t>(ix.nInUse);
                                         const auto named = std::find_if(ix.vecEntries.begin(), inUse,
                                                                         [](std::uint64_t e) { return e != 0; });
                                         // misplaced: a placeholder below takes its place when it is listed
                                         return named != inUse && segmentOf(*named) != segmentOf(ix.nPos);
                                     }),
                      indexes.end());
        const std::uint64_t lastPos = indexes.empty() ? 0 : indexes.back().nPos;
        for (const FoundIndex& ix : indexes) {
            // A closed segment's count and its super index duration were both written before
            // the next segment began; where they differ, a damaged count would add dropped
            // frames that never were. The last segment's duration may lag its count.
            std::size_t inUse = ix.nInUse;
            const std::int64_t duration = durationAt(ix.nPos);
            if (duration >= 0 && ix.nPos != lastPos)
                inUse = std::min<std::size_t>(inUse, static_cast<std::size_t>(duration));
            // Past the count in use, entries up to the last that points at a whole frame.
            std::size_t end = inUse;
            for (std::size_t i = inUse; i < ix.vecEntries.size(); ++i)
                if (ix.vecEntries[i] != 0 && IsFrameAt(ix.vecEntries[i], known))
                    end = i + 1;
            parts.emplace_back(ix.nPos, std::vector<std::uint64_t>(ix.vecEntries.begin(), ix.vecEntries.begin() + static_cast<std::ptrdiff_t>(end)));
            used.insert(ix.nPos);
        }
        if (!parts.empty()) {
            for (const Listed& l : listed) {
                if (used.count(l.nPos) || !IsDamagedIndexAt(l.nPos, regions))
                    continue;
                const std::uint64_t after = std::min<std::uint64_t>(l.nPos + l.nSize, m_nFileSize);
                parts.emplace_back(l.nPos, std::vector<std::uint64_t>(std::min<std::uint32_t>(l.nDuration, kMaxPlaceholders),
                                                                      kPlaceholderBit | after));
                used.insert(l.nPos);
            }
        }
        std::sort(parts.begin(), parts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::uint64_t> frames;
        for (const auto& part : parts)
            frames.insert(frames.end(), part.second.begin(), part.second.end());
        return frames;
    }

    // Entries of "idx1" count from the "movi" code in most files and from the file start in a
    // few. A dropped frame repeats the entry before it, or has no length.
    std::vector<std::uint64_t> FromIdx1(std::uint64_t idx1Pos, std::uint32_t idx1Size, std::uint64_t moviPos) const
    {
        std::vector<std::uint64_t> frames;
        const std::size_t n = idx1Size / disk::Idx1Entry::kSize;
        std::vector<std::uint8_t> bytes(n * disk::Idx1Entry::kSize);
        if (n == 0 || !m_file.ReadExact(idx1Pos + kChunkHeaderSize, bytes.data(), bytes.size()))
            return frames;
        std::uint64_t base = moviPos + kChunkHeaderSize;
        for (std::size_t i = 0; i < n; ++i) {
            const auto e = disk::Idx1Entry::Read(bytes.data() + i * disk::Idx1Entry::kSize);
            if (StreamNumberOfChunk(e.ckid) != m_nVideo || e.dwChunkLength == 0)
                continue;
            std::uint8_t code[4];
            if (!(m_file.ReadExact(base + e.dwChunkOffset, code, 4) && ReadLe32(code) == e.ckid) &&
                m_file.ReadExact(e.dwChunkOffset, code, 4) && ReadLe32(code) == e.ckid)
                base = 0;
            break;
        }
        std::uint64_t last = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto e = disk::Idx1Entry::Read(bytes.data() + i * disk::Idx1Entry::kSize);
            if (StreamNumberOfChunk(e.ckid) != m_nVideo || IsStdIndexChunk(e.ckid))
                continue;
            const std::uint64_t pos = base + e.dwChunkOffset + kChunkHeaderSize;
            frames.push_back(e.dwChunkLength == 0 || pos == last ? 0 : pos);
            if (e.dwChunkLength != 0)
                last = pos;
        }
        return frames;
    }

private:
    // A listed standard index that the scan could not use: its place lies in a damaged region
    // or holds an index chunk that was set aside.
    bool IsDamagedIndexAt(std::uint64_t pos, const std::vector<DamagedRegion>& regions) const
    {
        for (const DamagedRegion& r : regions)
            if (pos >= r.nBegin && pos < r.nEnd)
                return true;
        std::uint8_t code[4];
        return pos + sizeof code <= m_nFileSize && m_file.ReadExact(pos, code, sizeof code) && IsStdIndexChunk(ReadLe32(code));
    }

    FileIo& m_file;
    std::uint64_t m_nFileSize;
    int m_nVideo;
    std::uint32_t m_nFrameSize;
};

// The frames of the rebuilt video stream, in order: the position of each frame's data, 0 for
// a dropped one. Index entries give the numbering. An entry whose chunk lies in a damaged region
// (or past the end of the file) is a damaged frame, kept as a drop. A frame chunk the index does
// not name takes the place of an entry that names nothing usable, or of an entry of a standard
// index that is lost as a whole (a placeholder), after as many dropped frames as the damaged
// regions before it could hold. A frame found after the last usable entry is appended the same
// way.
class FramePlan {
public:
    struct Result {
        std::vector<std::uint64_t> vecSlots;
        std::uint32_t nDamaged = 0;
        std::uint32_t nFromTail = 0;
    };

    FramePlan(FileIo& file, VideoSystem system, const std::vector<std::uint64_t>& video,
              const std::vector<DamagedRegion>& regions, std::uint64_t stride, std::uint32_t frameSize, std::uint64_t fileSize)
        : m_file(file), m_system(system), m_video(video), m_regions(regions), m_nStride(std::max<std::uint64_t>(stride, 1)),
          m_nFrameSize(frameSize), m_nFileSize(fileSize)
    {
    }

    Result Make(const std::vector<std::uint64_t>& entries, const std::unordered_set<std::uint64_t>& usable)
    {
        std::unordered_map<std::uint64_t, std::size_t> order;
        for (std::size_t i = 0; i < m_video.size(); ++i)
            order.emplace(m_video[i], i);
        std::uint64_t lastGood = 0;
        for (const std::uint64_t e : entries) {
            if (e == 0) {
                m_pending.push_back(Pending{Kind::Drop, 0});
                continue;
            }
            if (IsPlaceholder(e)) {
                m_pending.push_back(Pending{Kind::Unknown, e & ~kPlaceholderBit});
                continue;
            }
            const auto it = order.find(e);
            // An entry naming an unusable chunk, one named before, or one out of file order.
            if (it == order.end() || !usable.count(e) || e <= lastGood || it->second < m_nNext) {
                m_pending.push_back(Pending{IsGone(e) && it == order.end() ? Kind::Gone : Kind::Suspect, e});
                continue;
            }
            Settle(it->second, false);
            Frame(e, false);
            lastGood = e;
            m_nNext = it->second + 1;
        }
        Settle(m_video.size(), true);
        return m_result;
    }

private:
    enum class Kind {
        Drop,    // a dropped frame
        Gone,    // a frame whose chunk was in a damaged region or past the end of the file
        Suspect, // an entry that names no usable chunk where nothing is damaged: the entry is
        Unknown, // an entry of a lost standard index whose frames follow position nAfter
    };
    struct Pending {
        Kind kind;
        std::uint64_t nPos;
    };

    bool IsGone(std::uint64_t pos) const
    {
        if (pos >= m_nFileSize)
            return true;
        const std::uint64_t head = pos >= kChunkHeaderSize ? pos - kChunkHeaderSize : 0;
        return std::any_of(m_regions.begin(), m_regions.end(),
                           [&](const DamagedRegion& r) { return head < r.nEnd && pos + m_nFrameSize > r.nBegin; });
    }

    void Damaged()
    {
        m_result.vecSlots.push_back(0);
        ++m_result.nDamaged;
        ++m_nSinceFrame;
    }

    // The frame number of a frame's subcode time code, -1 when it has none.
    std::int64_t TimecodeFrame(std::uint64_t pos) const
    {
        std::uint8_t head[128];
        if (!m_file.ReadExact(pos, head, sizeof head))
            return -1;
        DvFrameFacts facts;
        ReadDvFrameFacts(head, &facts);
        const Timecode& tc = facts.timecode;
        if (tc.nHours < 0)
            return -1;
        return dv::TimeCodeToFrame(DvSystem(m_system), tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames);
    }

    // The drops between the last frame placed and the frame at pos that their time codes show
    // and that are not placed yet; -1 when the time codes do not tell.
    std::int64_t DropsByTimecode(std::uint64_t pos) const
    {
        if (m_nLastFrame == 0)
            return -1;
        const std::int64_t before = TimecodeFrame(m_nLastFrame);
        const std::int64_t at = TimecodeFrame(pos);
        if (before < 0 || at <= before)
            return -1;
        return std::max<std::int64_t>(0, at - before - 1 - static_cast<std::int64_t>(m_nSinceFrame));
    }

    // Places the pending entries and the frame chunks m_nNext .. orphanEnd - 1, which lie between
    // the last usable entry and the next one. At the end of the index (bTrailing), entries that
    // nothing follows are the part that was cut off and are left out.
    void Settle(std::size_t orphanEnd, bool bTrailing)
    {
        std::size_t o = m_nNext;
        std::size_t fillable = 0;
        for (const Pending& p : m_pending)
            fillable += (p.kind == Kind::Suspect || p.kind == Kind::Unknown) ? 1 : 0;
        for (std::size_t i = 0; i < m_pending.size();) {
            const Pending p = m_pending[i];
            const bool bNoMore = o >= orphanEnd;
            if (p.kind == Kind::Drop) {
                // More chunks than entries that could name them: a zeroed entry.
                if (orphanEnd - o > fillable) {
                    Frame(m_video[o++], bTrailing);
                } else {
                    m_result.vecSlots.push_back(0);
                    ++m_nSinceFrame;
                }
                ++i;
                continue;
            }
            if (bTrailing && bNoMore)
                break;
            if (p.kind == Kind::Gone) {
                Damaged();
                m_nPrevEnd = std::max(m_nPrevEnd, p.nPos + m_nFrameSize); // its region is accounted for
                ++i;
                continue;
            }
            if (p.kind == Kind::Suspect) {
                --fillable;
                if (!bNoMore)
                    Frame(m_video[o++], bTrailing);
                else
                    Damaged();
                ++i;
                continue;
            }
            // A lost standard index: the chunks after its place, up to the next lost one.
            std::size_t j = i;
            while (j < m_pending.size() && m_pending[j].kind == Kind::Unknown && m_pending[j].nPos == p.nPos)
                ++j;
            std::uint64_t nextPlace = ~std::uint64_t{0};
            for (std::size_t k = j; k < m_pending.size(); ++k)
                if (m_pending[k].kind == Kind::Unknown) {
                    nextPlace = m_pending[k].nPos;
                    break;
                }
            const std::size_t group = j - i;
            fillable -= group;
            std::size_t placed = 0;
            std::uint64_t prevEnd = std::max(m_nPrevEnd, p.nPos);
            while (placed < group && o < orphanEnd && m_video[o] < nextPlace) {
                // The frames' time codes tell where the segment's drops were; without them, the
                // damaged regions tell how many frames were lost.
                const std::int64_t byTimecode = DropsByTimecode(m_video[o]);
                const std::uint64_t lost = byTimecode >= 0 ? static_cast<std::uint64_t>(byTimecode) : DropsBetween(prevEnd, m_video[o]);
                const std::uint64_t drops = std::min<std::uint64_t>(lost, group - placed - 1);
                for (std::uint64_t d = 0; d < drops; ++d)
                    Damaged();
                Frame(m_video[o++], bTrailing);
                placed += static_cast<std::size_t>(drops) + 1;
                prevEnd = m_nPrevEnd;
            }
            if (bTrailing && o >= orphanEnd)
                break;
            for (; placed < group; ++placed)
                Damaged();
            i = j;
        }
        m_pending.clear();
        for (; o < orphanEnd; ++o) {
            const std::uint64_t drops = m_nPrevEnd == 0 ? 0 : DropsBetween(m_nPrevEnd, m_video[o]);
            for (std::uint64_t d = 0; d < drops; ++d)
                Damaged();
            Frame(m_video[o], bTrailing);
        }
        m_nNext = orphanEnd;
    }

    void Frame(std::uint64_t pos, bool bTrailing)
    {
        m_result.vecSlots.push_back(pos);
        m_nLastFrame = pos;
        m_nSinceFrame = 0;
        m_nPrevEnd = pos + m_nFrameSize;
        m_result.nFromTail += bTrailing ? 1 : 0;
    }

    // Frames the damaged regions between two positions could have held.
    std::uint64_t DropsBetween(std::uint64_t from, std::uint64_t to) const
    {
        std::uint64_t bytes = 0;
        for (const DamagedRegion& r : m_regions) {
            const std::uint64_t begin = std::max(r.nBegin, from);
            const std::uint64_t end = std::min(r.nEnd, to);
            if (end > begin)
                bytes += end - begin;
        }
        return (bytes + m_nStride / 2) / m_nStride;
    }

    FileIo& m_file;
    VideoSystem m_system;
    const std::vector<std::uint64_t>& m_video;
    const std::vector<DamagedRegion>& m_regions;
    std::uint64_t m_nStride;
    std::uint32_t m_nFrameSize;
    std::uint64_t m_nFileSize;
    std::vector<Pending> m_pending;
    std::size_t m_nNext = 0; // first frame chunk not yet placed
    std::uint64_t m_nPrevEnd = 0;
    std::uint64_t m_nLastFrame = 0;  // data position of the last frame placed
    std::uint32_t m_nSinceFrame = 0; // dropped frames placed after it
    Result m_result;
};

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
    const int videoStream = parser.VideoStream();
    const int audioStream = parser.AviTypeCode() == 2 ? parser.AudioStream() : -1;
    MoviScanner::Streams streams;
    streams.nCount = parser.Streams().size();
    streams.nVideo = videoStream;
    streams.nAudio = audioStream;
    if (audioStream >= 0) {
        const StreamInfo& audio = parser.Streams()[static_cast<std::size_t>(audioStream)];
        if (audio.bHasWave && audio.wave.nBlockAlign != 0)
            streams.nAudioAlign = audio.wave.nBlockAlign;
    }
    MoviScanner scanner(source, fileSize, streams);
    // Without a readable "movi" list header the walk starts inside the first RIFF: the header
    // chunks are passed over by their sizes, and the damaged list header is searched past.
    scanner.Scan(first.nMoviPos != 0 ? first.nMoviPos + kListHeaderSize : kListHeaderSize);

    // Frames of the other system's size are left out with the other chunks that do not fit.
    const VideoSystem system = SystemOfChunks(scanner.Chunks(), videoStream, parser.GetVideoSystem());
    const auto frameSize = static_cast<std::uint32_t>(FrameSizeOf(system));
    std::uint32_t leftOut = scanner.LeftOut();
    auto& chunks = scanner.Chunks();
    chunks.erase(std::remove_if(chunks.begin(), chunks.end(),
                                [&](const FoundChunk& c) {
                                    const bool bOut = (c.nStream == videoStream && c.nSize != frameSize) ||
                                                      (c.nStream != videoStream && c.nStream != audioStream);
                                    leftOut += (bOut && c.nStream == videoStream) ? 1 : 0;
                                    return bOut;
                                }),
                 chunks.end());
    report.nChunksLeftOut = leftOut;
    report.nDamagedRegions = static_cast<std::uint32_t>(scanner.Regions().size());
    for (const DamagedRegion& r : scanner.Regions())
        report.nBytesDiscarded += r.nEnd - r.nBegin;

    AviWriterOptions w;
    hr = WriterOptionsFromFile(parser, source, chunks, system, options, &w);
    if (!Succeeded(hr))
        return hr;
    report.system = w.system;

    // The numbering of the surviving index, and the frame chunks it names behind damage that
    // the scan did not get past.
    std::unordered_set<std::uint64_t> usable;
    std::uint64_t chunkBytes = 0;
    std::uint64_t videoChunks = 0;
    for (const FoundChunk& c : chunks) {
        chunkBytes += kChunkHeaderSize + c.nSize;
        if (c.nStream == videoStream) {
            usable.insert(c.nDataPos);
            ++videoChunks;
        }
    }
    IndexReader indexes(source, fileSize, videoStream, frameSize);
    std::vector<IndexReader::Listed> listed;
    for (const disk::SuperIndexEntry& e : parser.Streams()[static_cast<std::size_t>(videoStream)].vecSuperIndex)
        listed.push_back(IndexReader::Listed{e.qwOffset, e.dwSize, e.dwDuration});
    std::vector<std::uint64_t> entries =
        indexes.FromStdIndexes(scanner.Indexes(), listed, scanner.SegmentStarts(), scanner.Regions(), usable);
    report.indexUsed = entries.empty() ? RepairIndex::None : RepairIndex::OpenDml;
    if (entries.empty() && scanner.HasIdx1()) {
        entries = indexes.FromIdx1(scanner.Idx1Pos(), scanner.Idx1Size(), first.nMoviPos);
        report.indexUsed = entries.empty() ? RepairIndex::None : RepairIndex::Idx1;
    }
    for (const std::uint64_t e : entries) {
        if (e != 0 && !IsPlaceholder(e) && !usable.count(e) && indexes.IsFrameAt(e, usable)) {
            usable.insert(e);
            chunks.push_back(FoundChunk{videoStream, e, frameSize});
        }
    }
    std::sort(chunks.begin(), chunks.end(), [](const FoundChunk& a, const FoundChunk& b) { return a.nDataPos < b.nDataPos; });
    chunks.erase(std::unique(chunks.begin(), chunks.end(),
                             [](const FoundChunk& a, const FoundChunk& b) { return a.nDataPos == b.nDataPos; }),
                 chunks.end());
    std::vector<std::uint64_t> video;
    for (const FoundChunk& c : chunks)
        if (c.nStream == videoStream)
            video.push_back(c.nDataPos);
    const std::uint64_t stride = videoChunks ? chunkBytes / videoChunks : kChunkHeaderSize + frameSize;
    FramePlan planner(source, system, video, scanner.Regions(), stride, frameSize, fileSize);
    const FramePlan::Result plan = planner.Make(entries, usable);
    report.nFramesDamaged = plan.nDamaged;
    report.nFramesFromTail = plan.nFromTail;

    // Each planned frame with the drops just before it; the drops after the last frame.
    std::unordered_map<std::uint64_t, std::uint32_t> dropsBefore;
    std::uint32_t drops = 0;
    for (const std::uint64_t slot : plan.vecSlots) {
        if (slot == 0) {
            ++drops;
            continue;
        }
        dropsBefore[slot] = drops;
        drops = 0;
    }

    AviWriter writer;
    hr = writer.Open(target, w);
    if (!Succeeded(hr))
        return hr;
    auto writeDrops = [&](std::uint32_t n) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const AviResult r = writer.WriteDroppedFrame();
            if (!Succeeded(r))
                return r;
            ++report.nDroppedWritten;
        }
        return AviResult::Ok;
    };
    std::vector<std::uint8_t> data;
    for (const FoundChunk& c : chunks) {
        const auto planned = dropsBefore.find(c.nDataPos);
        if (c.nStream == videoStream && planned == dropsBefore.end())
            continue; // a frame the numbering has no place for
        data.resize(c.nSize);
        if (!source.ReadExact(c.nDataPos, data.data(), data.size()))
            return AviResult::IoError;
        if (c.nStream == audioStream) {
            hr = writer.WriteAudio(data);
            ++report.nAudioChunks;
            report.nAudioBytes += data.size();
        } else {
            hr = writeDrops(planned->second);
            if (Succeeded(hr))
                hr = writer.WriteVideoFrame(data);
        }
        if (!Succeeded(hr))
            return hr;
    }
    hr = writeDrops(drops);
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
