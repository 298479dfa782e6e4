#include "files/AviInspection.h"

#include <algorithm>

#include "core/DebugTrace.h"
#include "files/AviFileLayout.h"
#include "files/AviFileReading.h"
#include "files/DvFrameFields.h"
#include "framework/File.h"

using namespace avilayout;

namespace {

// ---- Type tests ----

// Fixed blocks read from the head of the file by the type tests.
constexpr UINT kRiffHeadBytes = 12;   // "RIFF", size, "AVI "
constexpr UINT kListHeadBytes = 12;   // "LIST", size, list type
constexpr UINT kHeaderBlockBytes = 64;  // a 56-byte header with its chunk header
constexpr size_t kListTypeOffset = 8;

bool CodeAt(const BYTE* p, size_t nOffset, std::uint32_t fcc) { return ReadLe32(p + nOffset) == fcc; }

// The first stream's type, or 0 when the head of the file is not that of a DV AVI file.
std::uint32_t ReadFirstStreamType(const std::wstring& strPath) {
  framework::File file;
  if (!file.Open(strPath, framework::File::modeRead | framework::File::shareDenyWrite)) return 0;
  try {
    BYTE block[kHeaderBlockBytes];
    file.Read(block, kRiffHeadBytes);
    if (!CodeAt(block, 0, kFccRiff) || !CodeAt(block, kListTypeOffset, kFccAvi)) return 0;
    file.Read(block, kListHeadBytes);
    if (!CodeAt(block, 0, kFccList) || !CodeAt(block, kListTypeOffset, kFccHdrl)) return 0;
    file.Read(block, kHeaderBlockBytes);
    if (!CodeAt(block, 0, kFccAvih)) return 0;
    file.Read(block, kListHeadBytes);
    if (!CodeAt(block, 0, kFccList) || !CodeAt(block, kListTypeOffset, kFccStrl)) return 0;
    file.Read(block, kHeaderBlockBytes);
    if (!CodeAt(block, 0, kFccStrh) || !CodeAt(block, kStrhFccHandler, kFccDvsd)) return 0;
    return ReadLe32(block + kStrhFccType);
  } catch (const framework::FileException&) {
    return 0;  // a short or unreadable file is no AVI file of ours
  }
}

// ---- Stream header ----

struct StreamFacts {
  int nVideoFormat = 0;
  int nAviType = 0;  // 0 when the stream is neither type
  DWORD dwLength = 0;
};

// Reads a "strh" chunk. A chunk shorter than the header counts its missing fields as 0.
BOOL ReadStreamFacts(HANDLE hFile, const AviChunk& chunk, StreamFacts* pFacts) {
  BYTE bytes[sizeof(StreamHeaderChunk)] = {};
  const DWORD cbRead = std::min<DWORD>(chunk.cbData, sizeof(bytes) - kChunkHeaderSize);
  if (!ReadAviFileAt(hFile, chunk.qwPosition, bytes, kChunkHeaderSize + cbRead)) return FALSE;
  const std::uint32_t fccType = ReadLe32(bytes + kStrhFccType);
  const std::uint32_t fccHandler = ReadLe32(bytes + kStrhFccHandler);
  pFacts->nAviType = 0;
  if (fccHandler == kFccDvsd && fccType == kFccIavs) pFacts->nAviType = kAviType1;
  if (fccHandler == kFccDvsd && fccType == kFccVids) pFacts->nAviType = kAviType2;
  const std::uint32_t dwScale = ReadLe32(bytes + kStrhScale);
  const std::uint32_t dwRate = ReadLe32(bytes + kStrhRate);
  constexpr std::uint32_t kFramesPerSecond625 = 25;
  pFacts->nVideoFormat = (dwScale != 0 && dwRate / dwScale == kFramesPerSecond625) ? kVideoFormat625 : kVideoFormat525;
  pFacts->dwLength = ReadLe32(bytes + kStrhLength);
  return TRUE;
}

// ---- Index chunks ----

// The head of a super index or standard index chunk. FALSE when it cannot be read or when the
// entries it claims do not fit in the chunk.
BOOL ReadIndexHead(HANDLE hFile, const AviChunk& chunk, size_t cbEntry, BYTE (&head)[kIndexEntriesStart],
                   DWORD* pnEntries) {
  constexpr DWORD kHeadDataBytes = kIndexEntriesStart - kChunkHeaderSize;
  if (chunk.cbData < kHeadDataBytes) {
    TRACE_TEXT("index chunk too short for its header");
    return FALSE;
  }
  if (!ReadAviFileAt(hFile, chunk.qwPosition, head, sizeof(head))) return FALSE;
  *pnEntries = ReadLe32(head + kIndexEntriesInUse);
  if (*pnEntries > (chunk.cbData - kHeadDataBytes) / cbEntry) {
    TRACE_TEXT("index chunk holds fewer entries than nEntriesInUse");
    return FALSE;
  }
  return TRUE;
}

// Index entries are read in blocks, so that a large index never needs a large buffer.
constexpr DWORD kEntriesPerBlock = 4096;

// The standard index chunk at a position: FALSE on a failed read, TRUE with bIsIndex FALSE when
// the chunk there is not a standard index.
BOOL ReadStdIndexChunkHeader(HANDLE hFile, ULONGLONG qwPosition, AviChunk* pChunk, BOOL* pbIsIndex) {
  BYTE header[kChunkHeaderSize];
  if (!ReadAviFileAt(hFile, qwPosition, header, sizeof(header))) return FALSE;
  pChunk->fcc = ReadLe32(header);
  pChunk->cbData = ReadLe32(header + 4);
  pChunk->qwPosition = qwPosition;
  *pbIsIndex = IsStdIndexCode(header);
  return TRUE;
}

// ---- Chunk visitors of the readers ----

class DropInfoVisitor : public AviChunkVisitor {
 public:
  explicit DropInfoVisitor(std::vector<DWORD>* pDropList) : m_pDropList(pDropList) {}

  Action OnChunk(HANDLE hFile, const AviChunk& chunk) override {
    // Only the first stream's header describes the frames; in a file without a super index
    // the walk goes on to the audio stream's header, whose length counts samples.
    if (chunk.fcc == kFccStrh && !m_bHaveStreamHeader) {
      StreamFacts facts;
      if (!ReadStreamFacts(hFile, chunk, &facts)) return kFail;
      m_bHaveStreamHeader = true;
      m_nAviType = facts.nAviType;
      m_nVideoFormat = facts.nVideoFormat;
      m_dwTotalFrames = facts.dwLength;
      return kContinue;
    }
    if (chunk.fcc == kFccIndx) return ReadSuperIndex(hFile, chunk) ? kStop : kFail;
    return kContinue;
  }

  int m_nVideoFormat = 0;
  int m_nAviType = 0;
  DWORD m_dwTotalFrames = 0;
  DWORD m_dwFrameCounter = 0;

 private:
  BOOL ReadSuperIndex(HANDLE hFile, const AviChunk& chunk) {
    BYTE head[kIndexEntriesStart];
    DWORD nEntries = 0;
    if (!ReadIndexHead(hFile, chunk, sizeof(SuperIndexEntry), head, &nEntries)) return FALSE;
    std::vector<BYTE> block;
    for (DWORD nDone = 0; nDone < nEntries;) {
      const DWORD nBlock = std::min(nEntries - nDone, kEntriesPerBlock);
      block.resize(static_cast<size_t>(nBlock) * sizeof(SuperIndexEntry));
      const ULONGLONG qwBlock = chunk.qwPosition + kIndexEntriesStart + ULONGLONG{nDone} * sizeof(SuperIndexEntry);
      if (!ReadAviFileAt(hFile, qwBlock, block.data(), static_cast<DWORD>(block.size()))) return FALSE;
      for (DWORD i = 0; i < nBlock; ++i) {
        const ULONGLONG qwIndex = ReadLe64(block.data() + static_cast<size_t>(i) * sizeof(SuperIndexEntry));
        if (TRACE_FAILED_BOOL(ReadIndxDropInfo(hFile, qwIndex, &m_dwFrameCounter, m_pDropList), "ReadIndxDropInfo")) {
          return FALSE;
        }
        // More frames than the stream has can only end in failure; stop before a damaged super
        // index makes us read the same standard index again and again.
        if (m_dwFrameCounter > m_dwTotalFrames) return FALSE;
      }
      nDone += nBlock;
    }
    return TRUE;
  }

  std::vector<DWORD>* m_pDropList;
  bool m_bHaveStreamHeader = false;
};

class FirstStreamHeaderVisitor : public AviChunkVisitor {
 public:
  Action OnChunk(HANDLE hFile, const AviChunk& chunk) override {
    if (chunk.fcc != kFccStrh) return kContinue;
    return ReadStreamFacts(hFile, chunk, &m_facts) ? kStop : kFail;
  }

  StreamFacts m_facts;
};

class AspectVisitor : public AviChunkVisitor {
 public:
  AspectVisitor(int* pnWide, int* pnFrameMode, Timecode* pTimecode)
      : m_pnWide(pnWide), m_pnFrameMode(pnFrameMode), m_pTimecode(pTimecode) {}

  Action OnChunk(HANDLE hFile, const AviChunk& chunk) override {
    if (chunk.fcc != kFccIndx) return kContinue;
    m_bResult = ReadFirstFrame(hFile, chunk);
    return kStop;
  }

  BOOL m_bResult = TRUE;  // a file without a super index leaves the presets

 private:
  BOOL ReadFirstFrame(HANDLE hFile, const AviChunk& chunk) {
    BYTE head[kIndexEntriesStart];
    DWORD nEntries = 0;
    if (!ReadIndexHead(hFile, chunk, sizeof(SuperIndexEntry), head, &nEntries)) return FALSE;
    if (nEntries == 0) return FALSE;
    BYTE entry[sizeof(SuperIndexEntry)];
    if (!ReadAviFileAt(hFile, chunk.qwPosition + kIndexEntriesStart, entry, sizeof(entry))) return FALSE;
    const ULONGLONG qwIndex = ReadLe64(entry);
    return !TRACE_FAILED_BOOL(ReadIndxAspect(hFile, qwIndex, m_pnWide, m_pnFrameMode, m_pTimecode), "ReadIndxAspect");
  }

  int* m_pnWide;
  int* m_pnFrameMode;
  Timecode* m_pTimecode;
};

// Opens the file and walks its chunks with the visitor.
BOOL WalkAviFile(const std::wstring& strPath, AviChunkVisitor& visitor) {
  AviReadHandle file;
  if (!file.Open(strPath)) return FALSE;
  ULONGLONG qwFileSize = 0;
  if (!GetAviFileSize(file.Get(), &qwFileSize)) return FALSE;
  return AviChunkWalk::Run(file.Get(), qwFileSize, visitor);
}

// Local date and time of the file's last write: short date, a space, the time.
BOOL ReadLastWriteText(HANDLE hFile, std::wstring* pstrDate) {
  FILETIME ftWrite = {};
  if (TRACE_FAILED_BOOL(GetFileTime(hFile, nullptr, nullptr, &ftWrite), "GetFileTime")) return FALSE;
  SYSTEMTIME stUtc = {};
  SYSTEMTIME stLocal = {};
  if (TRACE_FAILED_BOOL(FileTimeToSystemTime(&ftWrite, &stUtc), "FileTimeToSystemTime")) return FALSE;
  if (TRACE_FAILED_BOOL(SystemTimeToTzSpecificLocalTime(nullptr, &stUtc, &stLocal), "SystemTimeToTzSpecificLocalTime")) {
    return FALSE;
  }
  constexpr int kTextChars = 128;
  wchar_t date[kTextChars] = {};
  wchar_t time[kTextChars] = {};
  if (TRACE_FAILED_BOOL(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &stLocal, nullptr, date, kTextChars) != 0,
                        "GetDateFormatW")) {
    return FALSE;
  }
  if (TRACE_FAILED_BOOL(GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &stLocal, nullptr, time, kTextChars) != 0,
                        "GetTimeFormatW")) {
    return FALSE;
  }
  *pstrDate = std::wstring(date) + L" " + time;
  return TRUE;
}

}  // namespace

BOOL IsAVIType1(const std::wstring& strPath) { return ReadFirstStreamType(strPath) == kFccIavs; }

BOOL IsAVIType2(const std::wstring& strPath) { return ReadFirstStreamType(strPath) == kFccVids; }

BOOL GetAVIDropInfo(const std::wstring& strPath, int* pnVideoFormat, int* pnAviType, DWORD* pdwTotalFrames,
                    std::vector<DWORD>* pDropList) {
  *pnVideoFormat = 0;
  *pnAviType = 0;
  *pdwTotalFrames = 0;
  pDropList->clear();

  DropInfoVisitor visitor(pDropList);
  const BOOL bWalked = WalkAviFile(strPath, visitor);
  *pnVideoFormat = visitor.m_nVideoFormat;
  *pnAviType = visitor.m_nAviType;
  *pdwTotalFrames = visitor.m_dwTotalFrames;
  if (!bWalked) return FALSE;
  return visitor.m_nVideoFormat != 0 && visitor.m_nAviType != 0 && visitor.m_dwTotalFrames != 0 &&
         visitor.m_dwFrameCounter == visitor.m_dwTotalFrames;
}

BOOL ReadIndxDropInfo(HANDLE hFile, ULONGLONG qwPosition, DWORD* pdwFrameCounter, std::vector<DWORD>* pDropList) {
  AviChunk chunk;
  BOOL bIsIndex = FALSE;
  if (!ReadStdIndexChunkHeader(hFile, qwPosition, &chunk, &bIsIndex)) return FALSE;
  if (!bIsIndex) return TRUE;

  BYTE head[kIndexEntriesStart];
  DWORD nEntries = 0;
  if (!ReadIndexHead(hFile, chunk, sizeof(StdIndexEntry), head, &nEntries)) return FALSE;
  if (nEntries > MAXDWORD - *pdwFrameCounter) {
    TRACE_TEXT("frame counter would pass 32 bits");
    return FALSE;
  }
  std::vector<BYTE> block;
  DWORD dwCounter = *pdwFrameCounter;
  for (DWORD nDone = 0; nDone < nEntries;) {
    const DWORD nBlock = std::min(nEntries - nDone, kEntriesPerBlock);
    block.resize(static_cast<size_t>(nBlock) * sizeof(StdIndexEntry));
    const ULONGLONG qwBlock = qwPosition + kIndexEntriesStart + ULONGLONG{nDone} * sizeof(StdIndexEntry);
    if (!ReadAviFileAt(hFile, qwBlock, block.data(), static_cast<DWORD>(block.size()))) return FALSE;
    for (DWORD i = 0; i < nBlock; ++i, ++dwCounter) {
      if (ReadLe32(block.data() + static_cast<size_t>(i) * sizeof(StdIndexEntry)) == 0) pDropList->push_back(dwCounter);
    }
    nDone += nBlock;
  }
  *pdwFrameCounter = dwCounter;
  return TRUE;
}

BOOL GetAVITooltipInfo(const std::wstring& strPath, int* pnVideoFormat, int* pnAviType, DWORD* pdwTotalFrames,
                       std::wstring* pstrDate, ULONGLONG* pqwFileSize) {
  *pnVideoFormat = 0;
  *pnAviType = 0;
  *pdwTotalFrames = 0;
  pstrDate->clear();
  *pqwFileSize = 0;

  AviReadHandle file;
  if (!file.Open(strPath)) return FALSE;
  if (!ReadLastWriteText(file.Get(), pstrDate)) return FALSE;
  if (!GetAviFileSize(file.Get(), pqwFileSize)) return FALSE;

  FirstStreamHeaderVisitor visitor;
  if (!AviChunkWalk::Run(file.Get(), *pqwFileSize, visitor)) return FALSE;
  *pnVideoFormat = visitor.m_facts.nVideoFormat;
  *pnAviType = visitor.m_facts.nAviType;
  *pdwTotalFrames = visitor.m_facts.dwLength;
  return *pnVideoFormat != 0 && *pnAviType != 0 && *pdwTotalFrames != 0;
}

BOOL GetAVIAspect(const std::wstring& strPath, int* pnWide, int* pnFrameMode, Timecode* pTimecode) {
  AspectVisitor visitor(pnWide, pnFrameMode, pTimecode);
  if (!WalkAviFile(strPath, visitor)) return FALSE;
  return visitor.m_bResult;
}

BOOL ReadIndxAspect(HANDLE hFile, ULONGLONG qwPosition, int* pnWide, int* pnFrameMode, Timecode* pTimecode) {
  AviChunk chunk;
  BOOL bIsIndex = FALSE;
  if (!ReadStdIndexChunkHeader(hFile, qwPosition, &chunk, &bIsIndex)) return FALSE;
  if (!bIsIndex) return TRUE;

  BYTE head[kIndexEntriesStart];
  DWORD nEntries = 0;
  if (!ReadIndexHead(hFile, chunk, sizeof(StdIndexEntry), head, &nEntries)) return FALSE;
  if (nEntries == 0) return FALSE;
  BYTE entry[sizeof(StdIndexEntry)];
  if (!ReadAviFile(hFile, entry, sizeof(entry))) return FALSE;

  const std::uint32_t dwOffset = ReadLe32(entry);
  const std::uint32_t dwSize = ReadLe32(entry + 4) & kStdIndexSizeMask;
  // A dropped first frame has no data; anything shorter than a frame's head is no DV frame.
  constexpr std::uint32_t kMinFrameBytes = 500;
  static_assert(kDvFrameHeadBytes <= kMinFrameBytes);
  if (dwOffset == 0 || dwSize < kMinFrameBytes) return FALSE;

  BYTE frame[kDvFrameHeadBytes];
  if (!ReadAviFileAt(hFile, ReadLe64(head + kStdIndexBaseOffset) + dwOffset, frame, sizeof(frame))) return FALSE;
  *pnWide = ReadDvWideScreenFlag(frame);
  *pnFrameMode = ReadDvFrameMode(frame);
  *pTimecode = ReadDvTimecode(frame);
  return TRUE;
}
