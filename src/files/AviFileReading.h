// Reading a recorded AVI file through the system's file calls: a read-only handle, traced seeks
// and exact reads, and the walk over its RIFF chunks. Every failed call writes one trace record
// with the call's name and gives FALSE.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/Handles.h"

// A recorded file opened for reading while others may read it too (nobody may write it).
class AviReadHandle {
 public:
  BOOL Open(const std::wstring& strPath);
  HANDLE Get() const { return m_hFile.Get(); }

 private:
  framework::UniqueHandle m_hFile;
};

BOOL GetAviFileSize(HANDLE hFile, ULONGLONG* pqwSize);
BOOL SeekAviFile(HANDLE hFile, ULONGLONG qwPosition);
// Reads exactly dwCount bytes at the file pointer; a file that ends first is a failed read.
BOOL ReadAviFile(HANDLE hFile, void* pBuffer, DWORD dwCount);
// Both of the above.
BOOL ReadAviFileAt(HANDLE hFile, ULONGLONG qwPosition, void* pBuffer, DWORD dwCount);

// One chunk met by the walk: its code, its data size and the file position of its code.
struct AviChunk {
  std::uint32_t fcc = 0;
  DWORD cbData = 0;
  ULONGLONG qwPosition = 0;
};

// What a reader does with the chunks of the walk.
class AviChunkVisitor {
 public:
  enum Action { kContinue, kStop, kFail };
  virtual ~AviChunkVisitor() = default;
  // Called for every chunk that is not a "RIFF" or "LIST" container; the chunk lies wholly
  // inside the file. The visitor may read it and move the file pointer.
  virtual Action OnChunk(HANDLE hFile, const AviChunk& chunk) = 0;
};

// Walks the chunks of the file from its start, stepping into every "RIFF" and "LIST"
// container, until the end of the file, a chunk code of 0, or the visitor stops it (TRUE), or
// until a read fails, a chunk runs past the end of the file or the visitor fails (FALSE).
class AviChunkWalk {
 public:
  static BOOL Run(HANDLE hFile, ULONGLONG qwFileSize, AviChunkVisitor& visitor);
};
