#pragma once
// Writes a DV recording as an AVI Type 1 file (one interleaved "iavs" stream) or a Type 2 file
// ("vids" DV video and "auds" 16-bit PCM), with the OpenDML index: a super index "indx" per
// stream, standard index chunks ("ix00", "ix01") with one entry per frame, "AVIX" extension RIFFs
// once a RIFF reaches the segment size, "dmlh" with the total frame count, and a legacy "idx1"
// at the end of the first RIFF.
//
// Layout of every RIFF's "movi" list: it starts with one standard index chunk per stream whose
// room is reserved for the segment's entries; the frames follow. A dropped frame has no data
// chunk: its standard index entry has offset 0 and size 0, and it counts in the stream length.
//
// Crash safety: each index entry is written to its reserved place as soon as its frame is
// written, and every checkpoint (by default about once a second of video) writes the entry
// counts, the stream lengths and the RIFF and list sizes in place, so a recording cut off at any
// moment reads up to its last checkpoint, and repair recovers the frames and drops after it.
// All of this only fills in fields in place, so a finished file is the same byte for byte
// however often checkpoints ran.

#include <cstdint>
#include <span>
#include <vector>

#include "avi/AviResult.h"
#include "avi/DvPacks.h"
#include "avi/FileIo.h"
#include "avi/RiffLayout.h"

namespace avi {

enum class AviType { Type1 = 1, Type2 = 2 };

struct AviWriterOptions {
    static constexpr std::uint64_t kDefaultSegmentBytes = 1ull << 30; // 1 GiB
    static constexpr std::uint64_t kMinSegmentBytes = 64 * 1024;
    static constexpr std::uint64_t kMaxSegmentBytes = 1ull << 31;    // offsets stay far below 4 GiB

    AviType type = AviType::Type1;
    VideoSystem system = VideoSystem::System525_60;
    disk::DvInfo dvInfo;        // from the first frame's packs (ReadDvInfoFromFrame)
    AudioFormat audio;          // the "auds" stream of a Type 2 file
    bool bAudioStream = true;   // false: a Type 2 file of video alone (as repair keeps one)
    std::uint64_t nSegmentBytes = kDefaultSegmentBytes;
    std::uint32_t nSuperIndexEntries = 1024; // room reserved in each stream's "indx"
    std::uint32_t nCheckpointFrames = 0;     // frames between checkpoints; 0 = one second of video
    bool bCheckpoints = true;                // false: headers and indexes only at segment ends and Finish
    bool bSyncToDisk = true;                 // checkpoints also commit the data to the medium (power loss)
};

class AviWriter {
public:
    AviWriter() = default;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Writes the headers into an empty file. The file must outlive the writer's use of it.
    AviResult Open(FileIo& file, const AviWriterOptions& options);
    AviResult WriteVideoFrame(std::span<const std::uint8_t> frame);
    AviResult WriteDroppedFrame();
    // PCM of the Type 2 audio stream; whole sample blocks only.
    AviResult WriteAudio(std::span<const std::uint8_t> pcm);
    // Makes everything written so far readable from the file as it stands.
    AviResult Checkpoint();
    // Completes indexes and headers. The writer takes no more data afterwards.
    AviResult Finish();

    std::uint32_t FrameCount() const { return m_video.nTotalEntries; }
    std::uint32_t DroppedCount() const { return m_nDropped; }
    std::size_t SegmentCount() const { return m_vecSegments.size(); }

private:
    struct Segment {
        std::uint64_t nRiffPos = 0; // "RIFF" code
        std::uint64_t nMoviPos = 0; // "LIST" code of its "movi" list; base of its index offsets
        std::uint32_t nFramesInSegment = 0;
    };
    struct StreamIndex {
        int nStream = 0;
        FourCC fccChunk = 0;
        FourCC fccIndex = 0;
        std::uint64_t nStrhPos = 0; // data of "strh"
        std::uint64_t nIndxPos = 0; // "indx" code
        std::vector<disk::SuperIndexEntry> vecSuper;
        std::uint64_t nIxPos = 0;     // current standard index chunk ("ix##" code)
        std::uint64_t nIxBase = 0;
        std::vector<disk::StdIndexEntry> vecEntries; // of the current standard index
        std::uint32_t nEntriesOnDisk = 0;            // of those, already written
        std::uint32_t nEntriesInUseOnDisk = 0;       // the count the file's index chunk holds
        bool bPublished = false;                     // current index listed in the super index
        std::uint32_t nIxDuration = 0;               // ticks of the current standard index
        std::uint32_t nTotalEntries = 0;
        std::uint64_t nTotalTicks = 0; // frames, or audio sample blocks
    };

    // The "auds" stream: Type 2 files have one unless they were written without sound.
    bool HasAudio() const { return m_options.type == AviType::Type2 && m_options.bAudioStream; }
    std::uint32_t IxCapacity() const;
    std::uint32_t IxChunkBytes() const;
    std::uint64_t Idx1Bytes() const;
    bool HasSuperRoom(const StreamIndex& stream) const;
    bool NeedsNewSegment(std::uint64_t chunkBytes) const;
    AviResult WriteHeaders();
    AviResult BeginSegment(std::uint64_t pos);
    AviResult EndFirstSegment();
    AviResult NewSegment();
    AviResult StartStdIndex(StreamIndex& stream, std::uint64_t pos);
    AviResult PrepareEntry(StreamIndex& stream, std::uint64_t chunkBytes);
    AviResult AppendChunk(StreamIndex& stream, std::span<const std::uint8_t> data, std::uint32_t ticks);
    AviResult AfterFrame();
    AviResult WriteNewEntries(StreamIndex& stream);
    AviResult WriteIndexes(StreamIndex& stream);
    AviResult WriteSizes();
    AviResult FlushIndexes();
    AviResult Write(std::uint64_t pos, const void* data, std::size_t size);
    AviResult Write32(std::uint64_t pos, std::uint32_t value);

    enum class State { Closed, Open, Finished, Failed };
    State m_state = State::Closed;
    FileIo* m_pFile = nullptr;
    AviWriterOptions m_options;
    std::uint64_t m_nEnd = 0;              // append position
    std::uint64_t m_nMoviEnd = 0;          // end of the current "movi" list
    std::uint64_t m_nSegmentDataStart = 0; // first byte after the current segment's reserved indexes
    std::uint64_t m_nAvihPos = 0;
    std::uint64_t m_nDmlhPos = 0;
    std::vector<Segment> m_vecSegments;
    StreamIndex m_video;
    StreamIndex m_audio;
    std::vector<disk::Idx1Entry> m_vecIdx1;
    disk::Idx1Entry m_lastVideoIdx1;
    bool m_bHasVideoIdx1 = false;
    bool m_bFirstSegmentClosed = false;
    std::uint32_t m_nFramesInFirstRiff = 0;
    std::uint32_t m_nDropped = 0;
    std::uint32_t m_nFramesSinceCheckpoint = 0;
};

} // namespace avi
