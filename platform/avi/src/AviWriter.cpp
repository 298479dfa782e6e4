#include "avi/AviWriter.h"

#include "AviHeaders.h"

#include <algorithm>
#include <cstring>

namespace avi {

namespace {

constexpr std::uint32_t kMaxChunkBytes = 16u << 20;   // far above a DV frame; keeps offsets in range
constexpr std::uint32_t kIxSlackEntries = 256;        // dropped frames take entries but no room
constexpr std::uint32_t kMinIxEntries = 64;
constexpr std::uint32_t kMaxIxEntries = 32768;

} // namespace

std::uint32_t AviWriter::IxCapacity() const
{
    std::uint64_t perFrame = FrameSizeOf(m_options.system) + kChunkHeaderSize;
    if (HasAudio())
        perFrame += m_options.audio.nSamplesPerSec * m_options.audio.BlockAlign() / 30 + kChunkHeaderSize;
    const std::uint64_t n = m_options.nSegmentBytes / perFrame + kIxSlackEntries;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(n, kMinIxEntries, kMaxIxEntries));
}

std::uint32_t AviWriter::IxChunkBytes() const
{
    return kChunkHeaderSize + disk::StdIndexHeader::kSize + IxCapacity() * disk::StdIndexEntry::kSize;
}

std::uint64_t AviWriter::Idx1Bytes() const
{
    return kChunkHeaderSize + m_vecIdx1.size() * disk::Idx1Entry::kSize;
}

AviResult AviWriter::Write(std::uint64_t pos, const void* data, std::size_t size)
{
    if (!m_pFile->WriteAt(pos, data, size)) {
        m_state = State::Failed;
        return AviResult::IoError;
    }
    return AviResult::Ok;
}

AviResult AviWriter::Write32(std::uint64_t pos, std::uint32_t value)
{
    std::uint8_t bytes[4];
    WriteLe32(bytes, value);
    return Write(pos, bytes, sizeof bytes);
}

AviResult AviWriter::Open(FileIo& file, const AviWriterOptions& options)
{
    if (m_state != State::Closed)
        return AviResult::InvalidState;
    if (options.nSegmentBytes < AviWriterOptions::kMinSegmentBytes ||
        options.nSegmentBytes > AviWriterOptions::kMaxSegmentBytes || options.nSuperIndexEntries == 0 ||
        options.nSuperIndexEntries > (1u << 20))
        return AviResult::InvalidArgument;
    if (options.type == AviType::Type2 && options.bAudioStream) {
        const auto& a = options.audio;
        if (a.nBitsPerSample != 16 || a.nChannels == 0 || a.nChannels > 8 || a.nSamplesPerSec == 0)
            return AviResult::InvalidArgument;
    }
    m_pFile = &file;
    m_options = options;
    if (m_options.nCheckpointFrames == 0)
        m_options.nCheckpointFrames = m_options.system == VideoSystem::System625_50 ? 25 : 30;

    m_video.nStream = 0;
    m_video.fccChunk = fcc::kVideoChunk;
    m_video.fccIndex = fcc::kIx00;
    m_audio.nStream = 1;
    m_audio.fccChunk = fcc::kAudioChunk;
    m_audio.fccIndex = fcc::kIx01;

    m_state = State::Open;
    AviResult hr = WriteHeaders();
    if (Succeeded(hr))
        hr = BeginSegment(m_nEnd);
    if (Succeeded(hr))
        hr = Checkpoint();
    if (!Succeeded(hr))
        m_state = State::Failed;
    return hr;
}

AviResult AviWriter::WriteHeaders()
{
    const HeaderLayout layout = BuildAviHeaders(m_options);
    m_nAvihPos = layout.nAvihPos;
    m_nDmlhPos = layout.nDmlhPos;
    m_video.nStrhPos = layout.nVideoStrhPos;
    m_video.nIndxPos = layout.nVideoIndxPos;
    m_audio.nStrhPos = layout.nAudioStrhPos;
    m_audio.nIndxPos = layout.nAudioIndxPos;
    m_nEnd = layout.vecBytes.size();
    return Write(0, layout.vecBytes.data(), layout.vecBytes.size());
}

AviResult AviWriter::StartStdIndex(StreamIndex& stream, std::uint64_t pos)
{
    std::vector<std::uint8_t> chunk(IxChunkBytes(), 0);
    WriteLe32(chunk.data(), stream.fccIndex);
    WriteLe32(chunk.data() + 4, static_cast<std::uint32_t>(chunk.size() - kChunkHeaderSize));
    disk::StdIndexHeader h;
    h.dwChunkId = stream.fccChunk;
    h.qwBaseOffset = m_vecSegments.back().nMoviPos;
    h.Write(chunk.data() + kChunkHeaderSize);
    const AviResult hr = Write(pos, chunk.data(), chunk.size());
    if (!Succeeded(hr))
        return hr;
    stream.nIxPos = pos;
    stream.nIxBase = h.qwBaseOffset;
    stream.vecEntries.clear();
    stream.nEntriesOnDisk = 0;
    stream.nEntriesInUseOnDisk = 0;
    stream.bPublished = false;
    stream.nIxDuration = 0;
    return AviResult::Ok;
}

AviResult AviWriter::BeginSegment(std::uint64_t pos)
{
    const bool bFirst = m_vecSegments.empty();
    Segment seg;
    seg.nRiffPos = bFirst ? 0 : pos;
    seg.nMoviPos = bFirst ? pos : pos + kListHeaderSize;
    std::uint8_t head[2 * kListHeaderSize];
    std::size_t n = 0;
    // Sizes of empty lists until the reserved indexes are in place and WriteSizes runs.
    if (!bFirst) {
        WriteLe32(head, fcc::kRiff);
        WriteLe32(head + 4, 4 + kListHeaderSize);
        WriteLe32(head + 8, fcc::kAvix);
        n = kListHeaderSize;
    }
    WriteLe32(head + n, fcc::kList);
    WriteLe32(head + n + 4, 4);
    WriteLe32(head + n + 8, fcc::kMovi);
    n += kListHeaderSize;
    AviResult hr = Write(pos, head, n);
    if (!Succeeded(hr))
        return hr;
    m_vecSegments.push_back(seg);
    m_nEnd = pos + n;
    hr = StartStdIndex(m_video, m_nEnd);
    if (!Succeeded(hr))
        return hr;
    m_nEnd += IxChunkBytes();
    if (HasAudio()) {
        hr = StartStdIndex(m_audio, m_nEnd);
        if (!Succeeded(hr))
            return hr;
        m_nEnd += IxChunkBytes();
    }
    m_nSegmentDataStart = m_nEnd;
    m_nMoviEnd = m_nEnd;
    return WriteSizes();
}

AviResult AviWriter::EndFirstSegment()
{
    std::vector<std::uint8_t> chunk(Idx1Bytes());
    WriteLe32(chunk.data(), fcc::kIdx1);
    WriteLe32(chunk.data() + 4, static_cast<std::uint32_t>(chunk.size() - kChunkHeaderSize));
    for (std::size_t i = 0; i < m_vecIdx1.size(); ++i)
        m_vecIdx1[i].Write(chunk.data() + kChunkHeaderSize + i * disk::Idx1Entry::kSize);
    AviResult hr = Write(m_nEnd, chunk.data(), chunk.size());
    if (!Succeeded(hr))
        return hr;
    m_nEnd += chunk.size();
    m_bFirstSegmentClosed = true;
    m_vecIdx1.clear();
    m_vecIdx1.shrink_to_fit();
    return Write32(4, static_cast<std::uint32_t>(m_nEnd - kChunkHeaderSize));
}

AviResult AviWriter::WriteNewEntries(StreamIndex& stream)
{
    const std::size_t count = stream.vecEntries.size();
    if (count <= stream.nEntriesOnDisk)
        return AviResult::Ok;
    const std::size_t fresh = count - stream.nEntriesOnDisk;
    std::vector<std::uint8_t> bytes(fresh * disk::StdIndexEntry::kSize);
    for (std::size_t i = 0; i < fresh; ++i)
        stream.vecEntries[stream.nEntriesOnDisk + i].Write(bytes.data() + i * disk::StdIndexEntry::kSize);
    const std::uint64_t entries = stream.nIxPos + kChunkHeaderSize + disk::StdIndexHeader::kSize;
    const AviResult hr = Write(entries + stream.nEntriesOnDisk * disk::StdIndexEntry::kSize, bytes.data(), bytes.size());
    if (Succeeded(hr))
        stream.nEntriesOnDisk = static_cast<std::uint32_t>(count);
    return hr;
}

AviResult AviWriter::WriteIndexes(StreamIndex& stream)
{
    const std::size_t count = stream.vecEntries.size();
    AviResult hr = WriteNewEntries(stream);
    if (Succeeded(hr) && count != stream.nEntriesInUseOnDisk) {
        hr = Write32(stream.nIxPos + kChunkHeaderSize + 4, static_cast<std::uint32_t>(count));
        stream.nEntriesInUseOnDisk = static_cast<std::uint32_t>(count);
    }
    if (!Succeeded(hr))
        return hr;
    if (count > 0) {
        if (!stream.bPublished) {
            disk::SuperIndexEntry e;
            e.qwOffset = stream.nIxPos;
            e.dwSize = IxChunkBytes();
            stream.vecSuper.push_back(e);
            stream.bPublished = true;
        }
        disk::SuperIndexEntry& last = stream.vecSuper.back();
        last.dwDuration = stream.nIxDuration;
        std::uint8_t bytes[disk::SuperIndexEntry::kSize];
        last.Write(bytes);
        const std::uint64_t entries = stream.nIndxPos + kChunkHeaderSize + disk::SuperIndexHeader::kSize;
        AviResult hr = Write(entries + (stream.vecSuper.size() - 1) * disk::SuperIndexEntry::kSize, bytes,
                             sizeof bytes);
        if (Succeeded(hr))
            hr = Write32(stream.nIndxPos + kChunkHeaderSize + 4, static_cast<std::uint32_t>(stream.vecSuper.size()));
        if (!Succeeded(hr))
            return hr;
    }
    return Write32(stream.nStrhPos + disk::StreamHeader::kOffsetLength,
                   static_cast<std::uint32_t>(stream.nTotalTicks));
}

AviResult AviWriter::WriteSizes()
{
    const Segment& seg = m_vecSegments.back();
    AviResult hr = Write32(seg.nMoviPos + 4, static_cast<std::uint32_t>(m_nMoviEnd - seg.nMoviPos - kChunkHeaderSize));
    if (Succeeded(hr))
        hr = Write32(seg.nRiffPos + 4, static_cast<std::uint32_t>(m_nEnd - seg.nRiffPos - kChunkHeaderSize));
    if (Succeeded(hr))
        hr = Write32(m_nAvihPos + 16, m_nFramesInFirstRiff); // avih dwTotalFrames
    if (Succeeded(hr))
        hr = Write32(m_nDmlhPos, m_video.nTotalEntries);
    return hr;
}

AviResult AviWriter::FlushIndexes()
{
    AviResult hr = WriteIndexes(m_video);
    if (Succeeded(hr) && HasAudio())
        hr = WriteIndexes(m_audio);
    if (Succeeded(hr))
        hr = WriteSizes();
    return hr;
}

AviResult AviWriter::Checkpoint()
{
    if (m_state != State::Open)
        return AviResult::InvalidState;
    m_nFramesSinceCheckpoint = 0;
    // The data first, so the index never points at bytes the medium does not hold yet.
    if (m_options.bSyncToDisk && !m_pFile->Flush(true))
        return AviResult::IoError;
    AviResult hr = FlushIndexes();
    if (Succeeded(hr) && !m_pFile->Flush(m_options.bSyncToDisk))
        hr = AviResult::IoError;
    if (!Succeeded(hr))
        m_state = State::Failed;
    return hr;
}

bool AviWriter::HasSuperRoom(const StreamIndex& stream) const
{
    // A new standard index needs a super index slot of its own; the current one needs its
    // slot too, if it holds entries that are not listed yet.
    const std::size_t used = stream.vecSuper.size() + (!stream.bPublished && !stream.vecEntries.empty() ? 1 : 0);
    return used + 1 <= m_options.nSuperIndexEntries;
}

bool AviWriter::NeedsNewSegment(std::uint64_t chunkBytes) const
{
    if (m_nEnd == m_nSegmentDataStart)
        return false; // an empty segment takes any one chunk
    std::uint64_t need = m_nEnd + chunkBytes;
    if (!m_bFirstSegmentClosed)
        need += Idx1Bytes() + 2 * disk::Idx1Entry::kSize;
    return need > m_vecSegments.back().nRiffPos + m_options.nSegmentBytes;
}

AviResult AviWriter::NewSegment()
{
    AviResult hr = FlushIndexes();
    if (Succeeded(hr) && !m_bFirstSegmentClosed)
        hr = EndFirstSegment();
    if (Succeeded(hr))
        hr = BeginSegment(m_nEnd);
    if (Succeeded(hr))
        hr = FlushIndexes();
    return hr;
}

AviResult AviWriter::PrepareEntry(StreamIndex& stream, std::uint64_t chunkBytes)
{
    const bool bNewSegment = chunkBytes > 0 && NeedsNewSegment(chunkBytes);
    const bool bIxFull = stream.vecEntries.size() >= IxCapacity();
    if (bNewSegment) {
        if (!HasSuperRoom(m_video) || (HasAudio() && !HasSuperRoom(m_audio)))
            return AviResult::IndexFull;
        return NewSegment();
    }
    if (!bIxFull)
        return AviResult::Ok;
    if (!HasSuperRoom(stream))
        return AviResult::IndexFull;
    // The current standard index is full: list it and reserve the next one right here.
    AviResult hr = WriteIndexes(stream);
    if (!Succeeded(hr))
        return hr;
    if (NeedsNewSegment(IxChunkBytes()))
        return NewSegment();
    hr = StartStdIndex(stream, m_nEnd);
    if (!Succeeded(hr))
        return hr;
    m_nEnd += IxChunkBytes();
    m_nMoviEnd = m_nEnd;
    return AviResult::Ok;
}

AviResult AviWriter::AppendChunk(StreamIndex& stream, std::span<const std::uint8_t> data, std::uint32_t ticks)
{
    const std::uint32_t size = static_cast<std::uint32_t>(data.size());
    const std::uint64_t chunkBytes = kChunkHeaderSize + size + (size & 1);
    AviResult hr = PrepareEntry(stream, chunkBytes);
    if (!Succeeded(hr))
        return hr;
    const std::uint64_t pos = m_nEnd;
    disk::StdIndexEntry entry;
    entry.dwOffset = static_cast<std::uint32_t>(pos + kChunkHeaderSize - stream.nIxBase);
    entry.dwSize = size;
    stream.vecEntries.push_back(entry);
    if (m_options.bCheckpoints) {
        // The entry goes to the file before its chunk, past the count readers use: repair
        // finds the frames and drops after the last checkpoint there.
        hr = WriteNewEntries(stream);
        if (!Succeeded(hr))
            return hr;
    }
    std::uint8_t head[kChunkHeaderSize];
    WriteLe32(head, stream.fccChunk);
    WriteLe32(head + 4, size);
    hr = Write(pos, head, sizeof head);
    if (Succeeded(hr))
        hr = Write(pos + kChunkHeaderSize, data.data(), data.size());
    if (Succeeded(hr) && (size & 1)) {
        const std::uint8_t pad = 0;
        hr = Write(pos + kChunkHeaderSize + size, &pad, 1);
    }
    if (!Succeeded(hr))
        return hr;
    m_nEnd = pos + chunkBytes;
    m_nMoviEnd = m_nEnd;
    stream.nIxDuration += ticks;
    stream.nTotalTicks += ticks;
    ++stream.nTotalEntries;
    if (!m_bFirstSegmentClosed) {
        disk::Idx1Entry legacy;
        legacy.ckid = stream.fccChunk;
        legacy.dwFlags = kIdx1FlagKeyFrame;
        legacy.dwChunkOffset = static_cast<std::uint32_t>(pos - (m_vecSegments.front().nMoviPos + kChunkHeaderSize));
        legacy.dwChunkLength = size;
        m_vecIdx1.push_back(legacy);
        if (&stream == &m_video) {
            m_lastVideoIdx1 = legacy;
            m_bHasVideoIdx1 = true;
        }
    }
    return AviResult::Ok;
}

AviResult AviWriter::AfterFrame()
{
    if (&m_vecSegments.front() == &m_vecSegments.back() && !m_bFirstSegmentClosed)
        ++m_nFramesInFirstRiff;
    if (m_options.bCheckpoints && ++m_nFramesSinceCheckpoint >= m_options.nCheckpointFrames)
        return Checkpoint();
    return AviResult::Ok;
}

AviResult AviWriter::WriteVideoFrame(std::span<const std::uint8_t> frame)
{
    if (m_state != State::Open)
        return AviResult::InvalidState;
    if (frame.empty() || frame.size() > kMaxChunkBytes)
        return AviResult::InvalidArgument;
    const AviResult hr = AppendChunk(m_video, frame, 1);
    return Succeeded(hr) ? AfterFrame() : hr;
}

AviResult AviWriter::WriteDroppedFrame()
{
    if (m_state != State::Open)
        return AviResult::InvalidState;
    AviResult hr = PrepareEntry(m_video, 0);
    if (!Succeeded(hr))
        return hr;
    m_video.vecEntries.push_back(disk::StdIndexEntry{}); // offset 0: dropped
    if (m_options.bCheckpoints) {
        hr = WriteNewEntries(m_video);
        if (!Succeeded(hr))
            return hr;
    }
    ++m_video.nIxDuration;
    ++m_video.nTotalTicks;
    ++m_video.nTotalEntries;
    ++m_nDropped;
    if (!m_bFirstSegmentClosed) {
        // Older readers see the frame before again; before the first frame, an empty entry.
        disk::Idx1Entry legacy;
        legacy.ckid = fcc::kVideoChunk;
        legacy.dwChunkOffset = kListHeaderSize - kChunkHeaderSize; // the first chunk of "movi"
        if (m_bHasVideoIdx1)
            legacy = m_lastVideoIdx1;
        m_vecIdx1.push_back(legacy);
    }
    return AfterFrame();
}

AviResult AviWriter::WriteAudio(std::span<const std::uint8_t> pcm)
{
    if (m_state != State::Open)
        return AviResult::InvalidState;
    const std::uint16_t align = m_options.audio.BlockAlign();
    if (!HasAudio() || pcm.empty() || pcm.size() > kMaxChunkBytes || pcm.size() % align != 0)
        return AviResult::InvalidArgument;
    return AppendChunk(m_audio, pcm, static_cast<std::uint32_t>(pcm.size() / align));
}

AviResult AviWriter::Finish()
{
    if (m_state != State::Open)
        return AviResult::InvalidState;
    AviResult hr = FlushIndexes();
    if (Succeeded(hr) && !m_bFirstSegmentClosed)
        hr = EndFirstSegment();
    if (Succeeded(hr))
        hr = FlushIndexes();
    if (Succeeded(hr) && !m_pFile->Flush(m_options.bSyncToDisk))
        hr = AviResult::IoError;
    m_state = Succeeded(hr) ? State::Finished : State::Failed;
    return hr;
}

} // namespace avi
