#pragma once
// Reads the structure of an AVI file: its streams and formats, the frame index of the DV stream
// with its dropped frames (standard index entries with offset 0), and the audio chunks of a
// Type 2 file. The index comes from the OpenDML super index when there is one, else from the
// legacy "idx1", else from a walk over the "movi" chunks.
//
// Every size and offset read from the file is checked against the file before use, so damaged
// and cut-off files give a result (possibly with problems listed), never a crash or a hang.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "avi/AviResult.h"
#include "avi/DvPacks.h"
#include "avi/FileIo.h"
#include "avi/RiffLayout.h"

namespace avi {

// What one standard index listed in the super index gave: its entries are the stream's index
// entries nFirst .. nFirst + nCount - 1. bRead is false when it could not be used at all.
struct StdIndexSpan {
    std::size_t nFirst = 0;
    std::size_t nCount = 0;
    bool bRead = false;
};

struct StreamInfo {
    disk::StreamHeader header;
    std::vector<std::uint8_t> vecFormat; // "strf" data as stored
    bool bHasBitmap = false;
    disk::BitmapInfoHeader bitmap;
    bool bHasWave = false;
    disk::WaveFormatEx wave;
    bool bHasDvInfo = false;
    disk::DvInfo dvInfo;
    std::vector<disk::SuperIndexEntry> vecSuperIndex;
    std::vector<StdIndexSpan> vecStdIndexes; // one for each super index entry, once the index is read
    bool bHasSuperIndex = false;
};

// Position and size of one frame's or audio chunk's data. Position 0 is a dropped frame.
struct ChunkRef {
    std::uint64_t nPos = 0;
    std::uint32_t nSize = 0;
    bool bInFile = true; // false when the data lies past the end of the file
    bool IsDropped() const { return nPos == 0; }
};

struct SegmentInfo {
    std::uint64_t nRiffPos = 0;
    std::uint64_t nRiffEnd = 0; // as declared, limited to the file
    std::uint64_t nMoviPos = 0; // "LIST" code of its "movi" list, 0 when none was found
    std::uint64_t nMoviEnd = 0;
};

enum class IndexSource { None, OpenDml, Idx1, Scan };

class AviParser {
public:
    // Reads headers and indexes. Ok when the file is a RIFF AVI with a stream list, even if its
    // index is damaged (see Problems and IsConsistent); NotAvi, Damaged or IoError otherwise.
    AviResult Parse(FileIo& file);

    // 1 for Type 1, 2 for Type 2, 0 for anything else (by the first stream's type and handler).
    int AviTypeCode() const { return m_nAviType; }
    VideoSystem GetVideoSystem() const { return m_videoSystem; }
    const disk::MainHeader& MainHeader() const { return m_mainHeader; }
    std::uint32_t OdmlTotalFrames() const { return m_nOdmlTotalFrames; }
    const std::vector<StreamInfo>& Streams() const { return m_vecStreams; }
    int VideoStream() const { return m_nVideoStream; } // the DV stream, -1 when none
    int AudioStream() const { return m_nAudioStream; } // the first "auds" stream, -1 when none
    const std::vector<SegmentInfo>& Segments() const { return m_vecSegments; }

    const std::vector<ChunkRef>& Frames() const { return m_vecFrames; }
    std::vector<std::uint32_t> DroppedFrames() const;
    const std::vector<ChunkRef>& AudioChunks() const { return m_vecAudio; }
    IndexSource GetIndexSource() const { return m_indexSource; }
    std::uint32_t DeclaredLength() const; // the DV stream's dwLength
    // The number of index entries equals the stream length and every entry lies in the file.
    bool IsConsistent() const;
    const std::vector<std::string>& Problems() const { return m_vecProblems; }

    // The data of frame n (Dropped for a dropped frame, OutOfRange past the index).
    AviResult ReadFrame(std::uint32_t n, std::vector<std::uint8_t>& frame) const;
    AviResult ReadChunk(const ChunkRef& chunk, std::vector<std::uint8_t>& data) const;

private:
    struct Chunk {
        std::uint64_t nPos = 0; // of the code
        FourCC fcc = 0;
        std::uint32_t nSize = 0;
        FourCC listType = 0; // for "RIFF" and "LIST"
        std::uint64_t DataPos() const { return nPos + kChunkHeaderSize; }
        std::uint64_t End() const { return DataPos() + nSize + (nSize & 1); }
    };
    template <typename Fn> void ForEachChunk(std::uint64_t begin, std::uint64_t end, Fn&& fn);
    bool ReadChunkAt(std::uint64_t pos, std::uint64_t end, Chunk& chunk);
    void FindSegments();
    void ParseHeaderList(const Chunk& hdrl);
    void ParseStreamList(const Chunk& strl);
    void ReadSuperIndex(const Chunk& indx, StreamInfo& stream);
    void ReadOpenDmlIndex(StreamInfo& stream, std::vector<ChunkRef>& refs);
    void ReadIdx1(int streamNumber, std::vector<ChunkRef>& refs);
    void ScanMovi(int streamNumber, std::vector<ChunkRef>& refs);
    void ReadStreamIndex(int streamNumber, std::vector<ChunkRef>& refs, IndexSource* pSource);
    void ClassifyStreams();
    ChunkRef MakeRef(std::uint64_t pos, std::uint32_t size) const;
    bool ReadBytes(std::uint64_t pos, std::size_t size, std::vector<std::uint8_t>& bytes);
    void Problem(std::string text);

    FileIo* m_pFile = nullptr;
    std::uint64_t m_nFileSize = 0;
    std::uint64_t m_nEntryBudget = 0; // index entries still allowed (bounded by the file size)
    disk::MainHeader m_mainHeader;
    std::uint32_t m_nOdmlTotalFrames = 0;
    std::vector<StreamInfo> m_vecStreams;
    std::vector<SegmentInfo> m_vecSegments;
    bool m_bHasIdx1 = false;
    Chunk m_idx1;
    int m_nAviType = 0;
    VideoSystem m_videoSystem = VideoSystem::System525_60;
    int m_nVideoStream = -1;
    int m_nAudioStream = -1;
    std::vector<ChunkRef> m_vecFrames;
    std::vector<ChunkRef> m_vecAudio;
    IndexSource m_indexSource = IndexSource::None;
    std::vector<std::string> m_vecProblems;
};

} // namespace avi
