#pragma once
// The on-disk structures of a DV AVI file (RIFF, AVI 1.0 headers, the OpenDML index extension)
// and the four-character codes used in it. Each structure knows its size on disk and moves its
// fields in and out of a byte buffer in little-endian order.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "avi/ByteOrder.h"

namespace avi {

using FourCC = std::uint32_t;

constexpr FourCC MakeFourCC(const char (&s)[5])
{
    return static_cast<FourCC>(static_cast<std::uint8_t>(s[0])) |
           (static_cast<FourCC>(static_cast<std::uint8_t>(s[1])) << 8) |
           (static_cast<FourCC>(static_cast<std::uint8_t>(s[2])) << 16) |
           (static_cast<FourCC>(static_cast<std::uint8_t>(s[3])) << 24);
}

// Printable form of a code, for messages ("00dc"; unprintable bytes as '?').
std::string FourCCText(FourCC fcc);

namespace fcc {
constexpr FourCC kRiff = MakeFourCC("RIFF");
constexpr FourCC kList = MakeFourCC("LIST");
constexpr FourCC kAvi = MakeFourCC("AVI ");
constexpr FourCC kAvix = MakeFourCC("AVIX");
constexpr FourCC kHdrl = MakeFourCC("hdrl");
constexpr FourCC kAvih = MakeFourCC("avih");
constexpr FourCC kStrl = MakeFourCC("strl");
constexpr FourCC kStrh = MakeFourCC("strh");
constexpr FourCC kStrf = MakeFourCC("strf");
constexpr FourCC kIndx = MakeFourCC("indx");
constexpr FourCC kOdml = MakeFourCC("odml");
constexpr FourCC kDmlh = MakeFourCC("dmlh");
constexpr FourCC kMovi = MakeFourCC("movi");
constexpr FourCC kRec = MakeFourCC("rec ");
constexpr FourCC kIdx1 = MakeFourCC("idx1");
constexpr FourCC kJunk = MakeFourCC("JUNK");
constexpr FourCC kIavs = MakeFourCC("iavs"); // interleaved audio-video stream (Type 1)
constexpr FourCC kVids = MakeFourCC("vids");
constexpr FourCC kAuds = MakeFourCC("auds");
constexpr FourCC kDvsd = MakeFourCC("dvsd"); // standard-definition DV handler
constexpr FourCC kIx00 = MakeFourCC("ix00");
constexpr FourCC kIx01 = MakeFourCC("ix01");
constexpr FourCC kVideoChunk = MakeFourCC("00dc"); // DV frame of stream 0 (both types)
constexpr FourCC kAudioChunk = MakeFourCC("01wb"); // wave data of stream 1
} // namespace fcc

// Two-digit stream number of a data chunk code ("01wb" -> 1), or -1 when it has none.
int StreamNumberOfChunk(FourCC fcc);
// True for a standard index chunk code ("ix" followed by anything).
bool IsStdIndexChunk(FourCC fcc);

constexpr std::uint32_t kChunkHeaderSize = 8;     // code + size
constexpr std::uint32_t kListHeaderSize = 12;     // "LIST"/"RIFF" + size + type
constexpr std::uint32_t kAvihFlagHasIndex = 0x10;      // AVIF_HASINDEX
constexpr std::uint32_t kAvihFlagIsInterleaved = 0x100; // AVIF_ISINTERLEAVED
constexpr std::uint32_t kIdx1FlagKeyFrame = 0x10;      // AVIIF_KEYFRAME
constexpr std::uint8_t kIndexOfIndexes = 0x00;         // AVI_INDEX_OF_INDEXES
constexpr std::uint8_t kIndexOfChunks = 0x01;          // AVI_INDEX_OF_CHUNKS
constexpr std::uint32_t kStdIndexNonKeyFrameBit = 0x80000000u; // dwSize bit 31 in a standard index
constexpr std::uint16_t kWaveFormatPcm = 1;            // WAVE_FORMAT_PCM

// Sequential little-endian cursors over a caller's buffer (bounds are the caller's promise:
// every structure reads or writes exactly its kSize bytes).
class ByteReader {
public:
    explicit ByteReader(const std::uint8_t* p) : m_pBytes(p) {}
    std::uint8_t U8() { return *m_pBytes++; }
    std::uint16_t U16() { auto v = ReadLe16(m_pBytes); m_pBytes += 2; return v; }
    std::uint32_t U32() { auto v = ReadLe32(m_pBytes); m_pBytes += 4; return v; }
    std::uint64_t U64() { auto v = ReadLe64(m_pBytes); m_pBytes += 8; return v; }

private:
    const std::uint8_t* m_pBytes;
};

class ByteWriter {
public:
    explicit ByteWriter(std::uint8_t* p) : m_pBytes(p) {}
    void Put8(std::uint8_t v) { *m_pBytes++ = v; }
    void Put16(std::uint16_t v) { WriteLe16(m_pBytes, v); m_pBytes += 2; }
    void Put32(std::uint32_t v) { WriteLe32(m_pBytes, v); m_pBytes += 4; }
    void Put64(std::uint64_t v) { WriteLe64(m_pBytes, v); m_pBytes += 8; }

private:
    std::uint8_t* m_pBytes;
};

namespace disk {

// The structures are laid out as on disk; two of them need packing to get there. Their fields
// are read by value only (a reference to a packed field may be misaligned).

// "avih": the main AVI header.
struct MainHeader {
    static constexpr std::size_t kSize = 56;
    std::uint32_t dwMicroSecPerFrame = 0;
    std::uint32_t dwMaxBytesPerSec = 0;
    std::uint32_t dwPaddingGranularity = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwTotalFrames = 0; // frames in the first RIFF
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwStreams = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwWidth = 0;
    std::uint32_t dwHeight = 0;
    std::uint32_t dwReserved[4] = {};
    void Write(std::uint8_t* p) const;
    static MainHeader Read(const std::uint8_t* p);
};

// "strh": one stream's header.
struct StreamHeader {
    static constexpr std::size_t kSize = 56;
    static constexpr std::size_t kOffsetLength = 32; // dwLength, from the start of the data
    FourCC fccType = 0;
    FourCC fccHandler = 0;
    std::uint32_t dwFlags = 0;
    std::uint16_t wPriority = 0;
    std::uint16_t wLanguage = 0;
    std::uint32_t dwInitialFrames = 0;
    std::uint32_t dwScale = 0;
    std::uint32_t dwRate = 0;
    std::uint32_t dwStart = 0;
    std::uint32_t dwLength = 0;
    std::uint32_t dwSuggestedBufferSize = 0;
    std::uint32_t dwQuality = 0;
    std::uint32_t dwSampleSize = 0;
    std::int16_t rcFrame[4] = {}; // left, top, right, bottom
    void Write(std::uint8_t* p) const;
    static StreamHeader Read(const std::uint8_t* p);
};

// "strf" of a video stream.
struct BitmapInfoHeader {
    static constexpr std::size_t kSize = 40;
    std::uint32_t biSize = kSize;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    FourCC biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
    void Write(std::uint8_t* p) const;
    static BitmapInfoHeader Read(const std::uint8_t* p);
};

// "strf" of an audio stream (the 16-byte form without cbSize is accepted when reading).
#pragma pack(push, 1)
struct WaveFormatEx {
    static constexpr std::size_t kSize = 18;
    static constexpr std::size_t kMinSize = 16;
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
    void Write(std::uint8_t* p) const;
    static WaveFormatEx Read(const std::uint8_t* p, std::size_t size);
};
#pragma pack(pop)

// The DV stream description: the four data bytes of the AAUX source and source-control packs of
// the first and second audio blocks, of the VAUX source and source-control packs, each as one
// little-endian DWORD, and two reserved DWORDs.
struct DvInfo {
    static constexpr std::size_t kSize = 32;
    std::uint32_t dwDVAAuxSrc = 0;
    std::uint32_t dwDVAAuxCtl = 0;
    std::uint32_t dwDVAAuxSrc1 = 0;
    std::uint32_t dwDVAAuxCtl1 = 0;
    std::uint32_t dwDVVAuxSrc = 0;
    std::uint32_t dwDVVAuxCtl = 0;
    std::uint32_t dwDVReserved[2] = {};
    void Write(std::uint8_t* p) const;
    static DvInfo Read(const std::uint8_t* p);
    bool operator==(const DvInfo&) const = default;
};

// "indx": the super index header; entries follow.
struct SuperIndexHeader {
    static constexpr std::size_t kSize = 24;
    std::uint16_t wLongsPerEntry = 4;
    std::uint8_t bIndexSubType = 0;
    std::uint8_t bIndexType = kIndexOfIndexes;
    std::uint32_t nEntriesInUse = 0;
    FourCC dwChunkId = 0;
    std::uint32_t dwReserved[3] = {};
    void Write(std::uint8_t* p) const;
    static SuperIndexHeader Read(const std::uint8_t* p);
};

struct SuperIndexEntry {
    static constexpr std::size_t kSize = 16;
    std::uint64_t qwOffset = 0;  // file position of a standard index chunk
    std::uint32_t dwSize = 0;    // its size with the chunk header
    std::uint32_t dwDuration = 0; // stream ticks it covers
    void Write(std::uint8_t* p) const;
    static SuperIndexEntry Read(const std::uint8_t* p);
};

// "ix##": a standard index header; entries follow.
#pragma pack(push, 1)
struct StdIndexHeader {
    static constexpr std::size_t kSize = 24;
    std::uint16_t wLongsPerEntry = 2;
    std::uint8_t bIndexSubType = 0;
    std::uint8_t bIndexType = kIndexOfChunks;
    std::uint32_t nEntriesInUse = 0;
    FourCC dwChunkId = 0;
    std::uint64_t qwBaseOffset = 0;
    std::uint32_t dwReserved3 = 0;
    void Write(std::uint8_t* p) const;
    static StdIndexHeader Read(const std::uint8_t* p);
};
#pragma pack(pop)

struct StdIndexEntry {
    static constexpr std::size_t kSize = 8;
    std::uint32_t dwOffset = 0; // data position - qwBaseOffset; 0 marks a dropped frame
    std::uint32_t dwSize = 0;
    void Write(std::uint8_t* p) const;
    static StdIndexEntry Read(const std::uint8_t* p);
};

// "dmlh": the extended header with the total frame count.
struct OdmlHeader {
    static constexpr std::size_t kSize = 248;
    std::uint32_t dwTotalFrames = 0;
    std::uint32_t dwReserved[61] = {};
    void Write(std::uint8_t* p) const;
};

// One "idx1" entry of the legacy index.
struct Idx1Entry {
    static constexpr std::size_t kSize = 16;
    FourCC ckid = 0;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwChunkOffset = 0; // from the "movi" code of the first RIFF
    std::uint32_t dwChunkLength = 0;
    void Write(std::uint8_t* p) const;
    static Idx1Entry Read(const std::uint8_t* p);
};

static_assert(sizeof(MainHeader) == MainHeader::kSize);
static_assert(sizeof(StreamHeader) == StreamHeader::kSize);
static_assert(sizeof(BitmapInfoHeader) == BitmapInfoHeader::kSize);
static_assert(sizeof(WaveFormatEx) == WaveFormatEx::kSize);
static_assert(sizeof(DvInfo) == DvInfo::kSize);
static_assert(sizeof(SuperIndexHeader) == SuperIndexHeader::kSize);
static_assert(sizeof(SuperIndexEntry) == SuperIndexEntry::kSize);
static_assert(sizeof(StdIndexHeader) == StdIndexHeader::kSize);
static_assert(sizeof(StdIndexEntry) == StdIndexEntry::kSize);
static_assert(sizeof(OdmlHeader) == OdmlHeader::kSize);
static_assert(sizeof(Idx1Entry) == Idx1Entry::kSize);

} // namespace disk
} // namespace avi
