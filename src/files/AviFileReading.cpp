#include "files/AviFileReading.h"

#include "core/DebugTrace.h"
#include "files/AviFileLayout.h"

using namespace avilayout;

BOOL AviReadHandle::Open(const std::wstring& strPath) {
  m_hFile.Reset(CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (TRACE_FAILED_BOOL(m_hFile.IsValid(), "CreateFile")) {
    m_hFile.Release();  // INVALID_HANDLE_VALUE: nothing to close
    return FALSE;
  }
  return TRUE;
}

BOOL GetAviFileSize(HANDLE hFile, ULONGLONG* pqwSize) {
  LARGE_INTEGER size = {};
  if (TRACE_FAILED_BOOL(GetFileSizeEx(hFile, &size), "GetFileSizeEx")) return FALSE;
  *pqwSize = static_cast<ULONGLONG>(size.QuadPart);
  return TRUE;
}

BOOL SeekAviFile(HANDLE hFile, ULONGLONG qwPosition) {
  LARGE_INTEGER distance = {};
  distance.QuadPart = static_cast<LONGLONG>(qwPosition);
  // Positions past 2^63 would be negative distances, which the system refuses.
  return !TRACE_FAILED_BOOL(SetFilePointerEx(hFile, distance, nullptr, FILE_BEGIN), "SetFilePointerEx");
}

BOOL ReadAviFile(HANDLE hFile, void* pBuffer, DWORD dwCount) {
  DWORD dwRead = 0;
  BOOL bOk = ReadFile(hFile, pBuffer, dwCount, &dwRead, nullptr);
  if (bOk && dwRead != dwCount) {
    SetLastError(ERROR_HANDLE_EOF);
    bOk = FALSE;
  }
  return !TRACE_FAILED_BOOL(bOk, "ReadFile");
}

BOOL ReadAviFileAt(HANDLE hFile, ULONGLONG qwPosition, void* pBuffer, DWORD dwCount) {
  return SeekAviFile(hFile, qwPosition) && ReadAviFile(hFile, pBuffer, dwCount);
}

BOOL AviChunkWalk::Run(HANDLE hFile, ULONGLONG qwFileSize, AviChunkVisitor& visitor) {
  ULONGLONG qwPosition = 0;
  while (qwPosition < qwFileSize) {
    BYTE header[kChunkHeaderSize];
    if (!ReadAviFileAt(hFile, qwPosition, header, sizeof(header))) return FALSE;
    AviChunk chunk;
    chunk.fcc = ReadLe32(header);
    chunk.cbData = ReadLe32(header + 4);
    chunk.qwPosition = qwPosition;
    if (chunk.fcc == 0) return TRUE;  // zeros after the last chunk

    if (chunk.fcc == kFccRiff || chunk.fcc == kFccList) {
      BYTE listType[kListTypeSize];
      if (!ReadAviFile(hFile, listType, sizeof(listType))) return FALSE;
      qwPosition += kChunkHeaderSize + kListTypeSize;  // step into the container
      continue;
    }

    const ULONGLONG qwDataEnd = qwPosition + kChunkHeaderSize + chunk.cbData;
    if (qwDataEnd > qwFileSize) {
      SetLastError(ERROR_HANDLE_EOF);
      TRACE_FAILED_BOOL(FALSE, "ReadFile");  // the chunk's data cannot be read
      return FALSE;
    }
    switch (visitor.OnChunk(hFile, chunk)) {
      case AviChunkVisitor::kStop:
        return TRUE;
      case AviChunkVisitor::kFail:
        return FALSE;
      case AviChunkVisitor::kContinue:
        break;
    }
    // A chunk of odd size is followed by one pad byte, so the next chunk starts on an even position.
    qwPosition = qwDataEnd + (chunk.cbData & 1);
  }
  return TRUE;
}
