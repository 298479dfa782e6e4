#include "avi/AviParser.h"

#include <algorithm>
#include <set>

namespace avi {

namespace {

constexpr std::size_t kMaxFormatBytes = 64 * 1024;    // larger "strf" chunks are cut to this
constexpr std::uint32_t kMaxFrameBytes = 64u << 20;   // ReadChunk refuses larger chunks
constexpr std::size_t kMaxProblems = 50;              // the rest are counted, not listed
constexpr std::size_t kMaxStreams = 100;              // two-digit stream numbers

bool IsDvHandler(FourCC fcc)
{
    return fcc == fcc::kDvsd || fcc == MakeFourCC("DVSD");
}

} // namespace

void AviParser::Problem(std::string text)
{
    if (m_vecProblems.size() < kMaxProblems)
        m_vecProblems.push_back(std::move(text));
    else if (m_vecProblems.size() == kMaxProblems)
        m_vecProblems.push_back("further problems not listed");
}

bool AviParser::ReadBytes(std::uint64_t pos, std::size_t size, std::vector<std::uint8_t>& bytes)
{
    if (pos > m_nFileSize || size > m_nFileSize - pos)
        return false;
    bytes.resize(size);
    return size == 0 || m_pFile->ReadExact(pos, bytes.data(), size);
}

bool AviParser::ReadChunkAt(std::uint64_t pos, std::uint64_t end, Chunk& chunk)
{
    std::uint8_t head[kListHeaderSize];
    if (pos + kChunkHeaderSize > end || !m_pFile->ReadExact(pos, head, kChunkHeaderSize))
        return false;
    chunk.nPos = pos;
    chunk.fcc = ReadLe32(head);
    chunk.nSize = ReadLe32(head + 4);
    chunk.listType = 0;
    if ((chunk.fcc == fcc::kList || chunk.fcc == fcc::kRiff) &&
        pos + kListHeaderSize <= end && m_pFile->ReadExact(pos + kChunkHeaderSize, head + 8, 4))
        chunk.listType = ReadLe32(head + 8);
    return true;
}

// Calls fn(chunk) for each chunk in [begin, end); fn returns false to stop. A chunk that claims
// more than the range holds is still handed over (its size tells the caller it is cut off).
// A chunk code of 0 ends the walk: what follows is the zero-filled room a file system gives a
// file whose data never came, and walking it eight bytes at a time would take minutes.
template <typename Fn>
void AviParser::ForEachChunk(std::uint64_t begin, std::uint64_t end, Fn&& fn)
{
    std::uint64_t pos = begin;
    Chunk chunk;
    while (ReadChunkAt(pos, end, chunk)) {
        if (chunk.fcc == 0 || !fn(chunk))
            return;
        pos = chunk.End(); // always moves forward by at least a header
    }
}

ChunkRef AviParser::MakeRef(std::uint64_t pos, std::uint32_t size) const
{
    ChunkRef ref;
    ref.nPos = pos;
    ref.nSize = size;
    ref.bInFile = pos <= m_nFileSize && size <= m_nFileSize - pos;
    return ref;
}

AviResult AviParser::Parse(FileIo& file)
{
    *this = AviParser();
    m_pFile = &file;
    if (!file.GetSize(&m_nFileSize))
        return AviResult::IoError;
    m_nEntryBudget = m_nFileSize / disk::StdIndexEntry::kSize + 1;
    Chunk riff;
    if (!ReadChunkAt(0, m_nFileSize, riff) || riff.fcc != fcc::kRiff || riff.listType != fcc::kAvi)
        return AviResult::NotAvi;
    FindSegments();

    bool bHeader = false;
    const SegmentInfo& first = m_vecSegments.front();
    ForEachChunk(kListHeaderSize, first.nRiffEnd, [&](const Chunk& c) {
        if (c.fcc == fcc::kList && c.listType == fcc::kHdrl && !bHeader) {
            ParseHeaderList(c);
            bHeader = true;
        } else if (c.fcc == fcc::kIdx1 && !m_bHasIdx1) {
            m_idx1 = c;
            m_bHasIdx1 = true;
        }
        return true;
    });
    if (!bHeader || m_vecStreams.empty())
        return AviResult::Damaged;
    ClassifyStreams();
    if (m_nVideoStream >= 0)
        ReadStreamIndex(m_nVideoStream, m_vecFrames, &m_indexSource);
    if (m_nAudioStream >= 0) {
        IndexSource audioSource = IndexSource::None;
        ReadStreamIndex(m_nAudioStream, m_vecAudio, &audioSource);
    }
    return AviResult::Ok;
}

void AviParser::FindSegments()
{
    // The first RIFF, then "AVIX" RIFFs one after another. A cut-off file declares sizes that
    // may run past its end; they are limited to the file here.
    std::uint64_t pos = 0;
    Chunk riff;
    while (ReadChunkAt(pos, m_nFileSize, riff) && riff.fcc == fcc::kRiff &&
           (pos == 0 ? riff.listType == fcc::kAvi : riff.listType == fcc::kAvix)) {
        SegmentInfo seg;
        seg.nRiffPos = pos;
        seg.nRiffEnd = std::min<std::uint64_t>(riff.DataPos() + riff.nSize, m_nFileSize);
        if (riff.DataPos() + riff.nSize > m_nFileSize)
            Problem("RIFF at " + std::to_string(pos) + " runs past the end of the file");
        ForEachChunk(pos + kListHeaderSize, seg.nRiffEnd, [&](const Chunk& c) {
            if (c.fcc == fcc::kList && c.listType == fcc::kMovi) {
                seg.nMoviPos = c.nPos;
                seg.nMoviEnd = std::min<std::uint64_t>(c.DataPos() + c.nSize, m_nFileSize);
                return false;
            }
            return true;
        });
        if (seg.nMoviPos == 0 && pos == 0) {
            // A recording cut off before its first checkpoint declares a RIFF that ends with
            // its headers; its "movi" list follows them.
            ForEachChunk(pos + kListHeaderSize, m_nFileSize, [&](const Chunk& c) {
                if (c.fcc == fcc::kList && c.listType == fcc::kMovi) {
                    seg.nMoviPos = c.nPos;
                    seg.nMoviEnd = std::min<std::uint64_t>(c.DataPos() + c.nSize, m_nFileSize);
                    Problem("the \"movi\" list lies outside the declared RIFF");
                    return false;
                }
                return c.End() <= m_nFileSize;
            });
        }
        m_vecSegments.push_back(seg);
        pos = riff.End();
    }
    if (m_vecSegments.empty())
        m_vecSegments.push_back(SegmentInfo{0, m_nFileSize, 0, 0});
}

void AviParser::ParseHeaderList(const Chunk& hdrl)
{
    const std::uint64_t end = std::min<std::uint64_t>(hdrl.DataPos() + hdrl.nSize, m_nFileSize);
    std::vector<std::uint8_t> bytes;
    ForEachChunk(hdrl.DataPos() + 4, end, [&](const Chunk& c) {
        if (c.fcc == fcc::kAvih && c.nSize >= disk::MainHeader::kSize &&
            ReadBytes(c.DataPos(), disk::MainHeader::kSize, bytes))
            m_mainHeader = disk::MainHeader::Read(bytes.data());
        else if (c.fcc == fcc::kList && c.listType == fcc::kStrl && m_vecStreams.size() < kMaxStreams)
            ParseStreamList(c);
        else if (c.fcc == fcc::kList && c.listType == fcc::kOdml) {
            const std::uint64_t odmlEnd = std::min<std::uint64_t>(c.DataPos() + c.nSize, end);
            ForEachChunk(c.DataPos() + 4, odmlEnd, [&](const Chunk& d) {
                if (d.fcc == fcc::kDmlh && d.nSize >= 4 && ReadBytes(d.DataPos(), 4, bytes))
                    m_nOdmlTotalFrames = ReadLe32(bytes.data());
                return true;
            });
        }
        return true;
    });
}

void AviParser::ParseStreamList(const Chunk& strl)
{
    StreamInfo stream;
    bool bHeader = false;
    const std::uint64_t end = std::min<std::uint64_t>(strl.DataPos() + strl.nSize, m_nFileSize);
    std::vector<std::uint8_t> bytes;
    ForEachChunk(strl.DataPos() + 4, end, [&](const Chunk& c) {
        if (c.fcc == fcc::kStrh && !bHeader && c.nSize >= disk::StreamHeader::kSize &&
            ReadBytes(c.DataPos(), disk::StreamHeader::kSize, bytes)) {
            stream.header = disk::StreamHeader::Read(bytes.data());
            bHeader = true;
        } else if (c.fcc == fcc::kStrf && stream.vecFormat.empty()) {
            const std::size_t size = std::min<std::size_t>(c.nSize, kMaxFormatBytes);
            if (!ReadBytes(c.DataPos(), size, stream.vecFormat)) {
                stream.vecFormat.clear();
                Problem("stream format runs past the end of the file");
            }
        } else if (c.fcc == fcc::kIndx && !stream.bHasSuperIndex) {
            ReadSuperIndex(c, stream);
        }
        return true;
    });
    if (!bHeader) {
        Problem("stream list without a stream header");
        return;
    }
    const auto& f = stream.vecFormat;
    if (stream.header.fccType == fcc::kVids && f.size() >= disk::BitmapInfoHeader::kSize) {
        stream.bitmap = disk::BitmapInfoHeader::Read(f.data());
        stream.bHasBitmap = true;
        if (f.size() >= disk::BitmapInfoHeader::kSize + disk::DvInfo::kSize) {
            stream.dvInfo = disk::DvInfo::Read(f.data() + disk::BitmapInfoHeader::kSize);
            stream.bHasDvInfo = true;
        }
    } else if (stream.header.fccType == fcc::kIavs && f.size() >= disk::DvInfo::kSize) {
        stream.dvInfo = disk::DvInfo::Read(f.data());
        stream.bHasDvInfo = true;
    } else if (stream.header.fccType == fcc::kAuds && f.size() >= disk::WaveFormatEx::kMinSize) {
        stream.wave = disk::WaveFormatEx::Read(f.data(), f.size());
        stream.bHasWave = true;
    }
    m_vecStreams.push_back(std::move(stream));
}

void AviParser::ReadSuperIndex(const Chunk& indx, StreamInfo& stream)
{
    std::vector<std::uint8_t> bytes;
    if (indx.nSize < disk::SuperIndexHeader::kSize || !ReadBytes(indx.DataPos(), disk::SuperIndexHeader::kSize, bytes)) {
        Problem("super index too short");
        return;
    }
    const auto h = disk::SuperIndexHeader::Read(bytes.data());
    stream.bHasSuperIndex = true;
    if (h.bIndexType != kIndexOfIndexes || h.wLongsPerEntry != 4) {
        Problem("super index of an unknown kind");
        return;
    }
    const std::uint64_t room = (indx.nSize - disk::SuperIndexHeader::kSize) / disk::SuperIndexEntry::kSize;
    std::uint64_t n = h.nEntriesInUse;
    if (n > room) {
        Problem("super index claims " + std::to_string(n) + " entries but has room for " + std::to_string(room));
        n = room;
    }
    const std::uint64_t first = indx.DataPos() + disk::SuperIndexHeader::kSize;
    if (!ReadBytes(first, static_cast<std::size_t>(n * disk::SuperIndexEntry::kSize), bytes)) {
        Problem("super index runs past the end of the file");
        return;
    }
    for (std::uint64_t i = 0; i < n; ++i)
        stream.vecSuperIndex.push_back(disk::SuperIndexEntry::Read(bytes.data() + i * disk::SuperIndexEntry::kSize));
}

void AviParser::ClassifyStreams()
{
    const auto& first = m_vecStreams.front().header;
    if (IsDvHandler(first.fccHandler) && first.fccType == fcc::kIavs)
        m_nAviType = 1;
    else if (IsDvHandler(first.fccHandler) && first.fccType == fcc::kVids)
        m_nAviType = 2;
    for (std::size_t i = 0; i < m_vecStreams.size(); ++i) {
        const StreamInfo& s = m_vecStreams[i];
        const bool bDv = IsDvHandler(s.header.fccHandler) || (s.bHasBitmap && IsDvHandler(s.bitmap.biCompression));
        if (m_nVideoStream < 0 && bDv && (s.header.fccType == fcc::kIavs || s.header.fccType == fcc::kVids))
            m_nVideoStream = static_cast<int>(i);
        if (m_nAudioStream < 0 && s.header.fccType == fcc::kAuds)
            m_nAudioStream = static_cast<int>(i);
    }
    if (m_nVideoStream >= 0) {
        const auto& h = m_vecStreams[static_cast<std::size_t>(m_nVideoStream)].header;
        // 25 frames a second is the 625/50 system; anything else (and a scale of 0) is 525/60.
        m_videoSystem = (h.dwScale != 0 && h.dwRate / h.dwScale == 25) ? VideoSystem::System625_50
                                                                       : VideoSystem::System525_60;
    }
}

void AviParser::ReadStreamIndex(int streamNumber, std::vector<ChunkRef>& refs, IndexSource* pSource)
{
    StreamInfo& stream = m_vecStreams[static_cast<std::size_t>(streamNumber)];
    // A super index, even an empty one, is the stream's index: a file cut off before its first
    // checkpoint has no frames yet, whatever chunks follow.
    if (stream.bHasSuperIndex) {
        ReadOpenDmlIndex(stream, refs);
        *pSource = IndexSource::OpenDml;
    } else if (m_bHasIdx1) {
        ReadIdx1(streamNumber, refs);
        *pSource = IndexSource::Idx1;
    } else {
        ScanMovi(streamNumber, refs);
        *pSource = IndexSource::Scan;
    }
}

void AviParser::ReadOpenDmlIndex(StreamInfo& stream, std::vector<ChunkRef>& refs)
{
    std::set<std::uint64_t> seen;
    std::vector<std::uint8_t> bytes;
    stream.vecStdIndexes.assign(stream.vecSuperIndex.size(), StdIndexSpan{});
    for (std::size_t k = 0; k < stream.vecSuperIndex.size(); ++k) {
        const std::uint64_t pos = stream.vecSuperIndex[k].qwOffset;
        const std::string where = "super index entry " + std::to_string(k);
        if (!seen.insert(pos).second) {
            Problem(where + " repeats a standard index");
            continue;
        }
        Chunk ix;
        if (!ReadChunkAt(pos, m_nFileSize, ix)) {
            Problem(where + " points past the end of the file");
            continue;
        }
        if (!IsStdIndexChunk(ix.fcc)) {
            Problem(where + " points at a \"" + FourCCText(ix.fcc) + "\" chunk, not a standard index");
            continue;
        }
        if (ix.nSize < disk::StdIndexHeader::kSize || !ReadBytes(ix.DataPos(), disk::StdIndexHeader::kSize, bytes)) {
            Problem(where + ": standard index too short");
            continue;
        }
        const auto h = disk::StdIndexHeader::Read(bytes.data());
        std::uint64_t n = h.nEntriesInUse;
        const std::uint64_t room = (ix.nSize - disk::StdIndexHeader::kSize) / disk::StdIndexEntry::kSize;
        if (n > room) {
            Problem(where + ": standard index claims more entries than it holds");
            n = room;
        }
        const std::uint64_t first = ix.DataPos() + disk::StdIndexHeader::kSize;
        const std::uint64_t inFile = first <= m_nFileSize ? (m_nFileSize - first) / disk::StdIndexEntry::kSize : 0;
        if (n > inFile) {
            Problem(where + ": standard index runs past the end of the file");
            n = inFile;
        }
        if (n > m_nEntryBudget) {
            Problem("more index entries than the file can hold");
            return;
        }
        m_nEntryBudget -= n;
        if (!ReadBytes(first, static_cast<std::size_t>(n * disk::StdIndexEntry::kSize), bytes))
            continue;
        stream.vecStdIndexes[k] = StdIndexSpan{refs.size(), static_cast<std::size_t>(n), true};
        for (std::uint64_t i = 0; i < n; ++i) {
            const auto e = disk::StdIndexEntry::Read(bytes.data() + i * disk::StdIndexEntry::kSize);
            if (e.dwOffset == 0) {
                refs.push_back(ChunkRef{0, 0, true});
                continue;
            }
            ChunkRef ref = MakeRef(h.qwBaseOffset + e.dwOffset, e.dwSize & ~kStdIndexNonKeyFrameBit);
            if (h.qwBaseOffset > UINT64_MAX / 2)
                ref.bInFile = false;
            refs.push_back(ref);
        }
    }
}

void AviParser::ReadIdx1(int streamNumber, std::vector<ChunkRef>& refs)
{
    const SegmentInfo& first = m_vecSegments.front();
    std::uint64_t n = m_idx1.nSize / disk::Idx1Entry::kSize;
    const std::uint64_t inFile = m_idx1.DataPos() <= m_nFileSize ? (m_nFileSize - m_idx1.DataPos()) / disk::Idx1Entry::kSize : 0;
    if (n > inFile) {
        Problem("legacy index runs past the end of the file");
        n = inFile;
    }
    std::vector<std::uint8_t> bytes;
    if (n == 0 || !ReadBytes(m_idx1.DataPos(), static_cast<std::size_t>(n * disk::Idx1Entry::kSize), bytes))
        return;
    // Offsets count from the "movi" code in most files and from the file start in a few: the
    // first entry tells which, by what its offset points at.
    std::uint64_t base = first.nMoviPos + 8;
    {
        const auto e0 = disk::Idx1Entry::Read(bytes.data());
        std::uint8_t code[4];
        if (!(m_pFile->ReadExact(base + e0.dwChunkOffset, code, 4) && ReadLe32(code) == e0.ckid) &&
            m_pFile->ReadExact(e0.dwChunkOffset, code, 4) && ReadLe32(code) == e0.ckid)
            base = 0;
    }
    for (std::uint64_t i = 0; i < n; ++i) {
        const auto e = disk::Idx1Entry::Read(bytes.data() + i * disk::Idx1Entry::kSize);
        if (StreamNumberOfChunk(e.ckid) != streamNumber || IsStdIndexChunk(e.ckid))
            continue;
        if (e.dwChunkLength == 0)
            refs.push_back(ChunkRef{0, 0, true});
        else
            refs.push_back(MakeRef(base + e.dwChunkOffset + kChunkHeaderSize, e.dwChunkLength));
    }
}

void AviParser::ScanMovi(int streamNumber, std::vector<ChunkRef>& refs)
{
    for (const SegmentInfo& seg : m_vecSegments) {
        if (seg.nMoviPos == 0)
            continue;
        // Walks "rec " lists too (one level: they do not nest); chunks of other streams and
        // index chunks are passed over.
        auto visit = [&](auto& self, std::uint64_t begin, std::uint64_t end, bool bTop) -> void {
            ForEachChunk(begin, end, [&](const Chunk& c) {
                if (c.fcc == fcc::kList && c.listType == fcc::kRec) {
                    if (bTop)
                        self(self, c.DataPos() + 4, std::min<std::uint64_t>(c.DataPos() + c.nSize, end), false);
                } else if (StreamNumberOfChunk(c.fcc) == streamNumber) {
                    if (c.DataPos() + c.nSize > m_nFileSize) {
                        Problem("chunk at " + std::to_string(c.nPos) + " runs past the end of the file");
                        return false;
                    }
                    refs.push_back(MakeRef(c.DataPos(), c.nSize));
                }
                return true;
            });
        };
        // The last list of a file cut off before its sizes were written runs to the file's end.
        const bool bLast = &seg == &m_vecSegments.back();
        visit(visit, seg.nMoviPos + kListHeaderSize, bLast ? m_nFileSize : seg.nMoviEnd, true);
    }
}

std::vector<std::uint32_t> AviParser::DroppedFrames() const
{
    std::vector<std::uint32_t> drops;
    for (std::size_t i = 0; i < m_vecFrames.size(); ++i)
        if (m_vecFrames[i].IsDropped())
            drops.push_back(static_cast<std::uint32_t>(i));
    return drops;
}

std::uint32_t AviParser::DeclaredLength() const
{
    return m_nVideoStream < 0 ? 0 : m_vecStreams[static_cast<std::size_t>(m_nVideoStream)].header.dwLength;
}

bool AviParser::IsConsistent() const
{
    if (m_nVideoStream < 0 || m_vecFrames.size() != DeclaredLength())
        return false;
    return std::all_of(m_vecFrames.begin(), m_vecFrames.end(), [](const ChunkRef& r) { return r.bInFile; });
}

AviResult AviParser::ReadChunk(const ChunkRef& chunk, std::vector<std::uint8_t>& data) const
{
    if (chunk.IsDropped())
        return AviResult::Dropped;
    if (!chunk.bInFile || chunk.nSize > kMaxFrameBytes)
        return AviResult::Damaged;
    data.resize(chunk.nSize);
    if (!m_pFile->ReadExact(chunk.nPos, data.data(), data.size()))
        return AviResult::IoError;
    return AviResult::Ok;
}

AviResult AviParser::ReadFrame(std::uint32_t n, std::vector<std::uint8_t>& frame) const
{
    if (n >= m_vecFrames.size())
        return AviResult::OutOfRange;
    return ReadChunk(m_vecFrames[n], frame);
}

} // namespace avi
