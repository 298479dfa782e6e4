// The parts of a recorded AVI file that the inspection readers look at: RIFF chunk headers, the
// first stream's header, the OpenDML super index and standard index, and where their fields lie.
// All values are little-endian; they are read from byte buffers through the helpers below.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace avilayout {

// Little-endian reads from a byte buffer (no casts of unaligned pointers).
inline std::uint16_t ReadLe16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t ReadLe32(const BYTE* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t ReadLe64(const BYTE* p) {
  return static_cast<std::uint64_t>(ReadLe32(p)) | (static_cast<std::uint64_t>(ReadLe32(p + 4)) << 32);
}

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<BYTE>(a)) | (static_cast<std::uint32_t>(static_cast<BYTE>(b)) << 8) |
         (static_cast<std::uint32_t>(static_cast<BYTE>(c)) << 16) |
         (static_cast<std::uint32_t>(static_cast<BYTE>(d)) << 24);
}

constexpr std::uint32_t kFccRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kFccList = MakeFourCC('L', 'I', 'S', 'T');
constexpr std::uint32_t kFccAvi = MakeFourCC('A', 'V', 'I', ' ');
constexpr std::uint32_t kFccHdrl = MakeFourCC('h', 'd', 'r', 'l');
constexpr std::uint32_t kFccAvih = MakeFourCC('a', 'v', 'i', 'h');
constexpr std::uint32_t kFccStrl = MakeFourCC('s', 't', 'r', 'l');
constexpr std::uint32_t kFccStrh = MakeFourCC('s', 't', 'r', 'h');
constexpr std::uint32_t kFccIndx = MakeFourCC('i', 'n', 'd', 'x');
constexpr std::uint32_t kFccIavs = MakeFourCC('i', 'a', 'v', 's');  // interleaved DV stream: Type 1
constexpr std::uint32_t kFccVids = MakeFourCC('v', 'i', 'd', 's');  // video stream: Type 2
constexpr std::uint32_t kFccDvsd = MakeFourCC('d', 'v', 's', 'd');  // standard-definition DV

// A standard index chunk's code starts with "ix" (then the two-digit stream number).
inline bool IsStdIndexCode(const BYTE* pCode) { return pCode[0] == 'i' && pCode[1] == 'x'; }

// AVI type codes as the panels and lists use them.
constexpr int kAviType1 = 1;
constexpr int kAviType2 = 2;

constexpr DWORD kChunkHeaderSize = 8;  // code and size
constexpr DWORD kListTypeSize = 4;     // form or list type after a "RIFF" or "LIST" header

#pragma pack(push, 1)

// Chunk header: code and the size of the data that follows.
struct ChunkHeader {
  std::uint32_t fcc;
  std::uint32_t cb;
};

// "strh" chunk with its header, as far as the readers use it.
struct StreamHeaderChunk {
  ChunkHeader header;
  std::uint32_t fccType;     // chunk offset 8
  std::uint32_t fccHandler;  // 12
  std::uint32_t dwFlags;
  std::uint16_t wPriority;
  std::uint16_t wLanguage;
  std::uint32_t dwInitialFrames;
  std::uint32_t dwScale;  // 28
  std::uint32_t dwRate;   // 32
  std::uint32_t dwStart;
  std::uint32_t dwLength;  // 40: frames of the stream
  std::uint32_t dwSuggestedBufferSize;
  std::uint32_t dwQuality;
  std::uint32_t dwSampleSize;
  std::int16_t rcFrame[4];
};

// "indx" (super index) and "ix##" (standard index) chunk heads: both end at offset 32, where
// the entries start.
struct SuperIndexHead {
  ChunkHeader header;
  std::uint16_t wLongsPerEntry;
  std::uint8_t bIndexSubType;
  std::uint8_t bIndexType;
  std::uint32_t nEntriesInUse;  // 12
  std::uint32_t dwChunkId;
  std::uint32_t dwReserved[3];
};

struct SuperIndexEntry {
  std::uint64_t qwOffset;  // file position of a standard index chunk
  std::uint32_t dwSize;
  std::uint32_t dwDuration;
};

struct StdIndexHead {
  ChunkHeader header;
  std::uint16_t wLongsPerEntry;
  std::uint8_t bIndexSubType;
  std::uint8_t bIndexType;
  std::uint32_t nEntriesInUse;  // 12
  std::uint32_t dwChunkId;
  std::uint64_t qwBaseOffset;  // 20
  std::uint32_t dwReserved;
};

struct StdIndexEntry {
  std::uint32_t dwOffset;  // frame data position - qwBaseOffset; 0 marks a dropped frame
  std::uint32_t dwSize;    // bit 31 set marks a frame that is not a key frame
};

#pragma pack(pop)

static_assert(sizeof(ChunkHeader) == 8);
static_assert(sizeof(StreamHeaderChunk) == 8 + 56);
static_assert(sizeof(SuperIndexHead) == 32);
static_assert(sizeof(SuperIndexEntry) == 16);
static_assert(sizeof(StdIndexHead) == 32);
static_assert(sizeof(StdIndexEntry) == 8);

// Field positions inside a chunk, counted from its code.
constexpr size_t kStrhFccType = offsetof(StreamHeaderChunk, fccType);
constexpr size_t kStrhFccHandler = offsetof(StreamHeaderChunk, fccHandler);
constexpr size_t kStrhScale = offsetof(StreamHeaderChunk, dwScale);
constexpr size_t kStrhRate = offsetof(StreamHeaderChunk, dwRate);
constexpr size_t kStrhLength = offsetof(StreamHeaderChunk, dwLength);
constexpr size_t kIndexEntriesInUse = offsetof(SuperIndexHead, nEntriesInUse);
constexpr size_t kStdIndexBaseOffset = offsetof(StdIndexHead, qwBaseOffset);
constexpr size_t kIndexEntriesStart = sizeof(SuperIndexHead);
static_assert(kStrhFccType == 8 && kStrhFccHandler == 12 && kStrhScale == 28 && kStrhRate == 32 && kStrhLength == 40);
static_assert(kIndexEntriesInUse == 12 && kStdIndexBaseOffset == 20 && kIndexEntriesStart == 32);
static_assert(offsetof(StdIndexHead, nEntriesInUse) == kIndexEntriesInUse);

constexpr std::uint32_t kStdIndexSizeMask = 0x7FFFFFFFu;  // dwSize without the key-frame bit

}  // namespace avilayout
