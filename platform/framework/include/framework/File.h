// A file read through the system's file calls, and the exception its operations throw.
// The exception is used inside the callers that open files this way and caught there; it never
// crosses a module border.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "framework/Handles.h"

namespace framework {

class FileException : public std::exception {
 public:
  enum Cause {
    none,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  FileException(Cause cause, DWORD osError, std::wstring fileName);

  // The cause for a system error code (GetLastError).
  static Cause CauseFromOsError(DWORD osError);

  const char* what() const noexcept override;

  Cause m_cause;
  DWORD m_dwOsError;
  std::wstring m_strFileName;
};

class File {
 public:
  // Open flags: one access mode, one sharing mode.
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
  };
  enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

  File() = default;
  File(File&&) = default;
  File& operator=(File&&) = default;

  // Opens an existing file; false on failure, with the reason in `error` when given.
  bool Open(const std::wstring& path, UINT flags, FileException* error = nullptr);
  void Close() { m_hFile.Reset(); }
  bool IsOpen() const { return m_hFile.IsValid(); }
  HANDLE GetHandle() const { return m_hFile.Get(); }
  const std::wstring& GetFilePath() const { return m_strPath; }

  // Reads exactly `count` bytes. A failed read throws with the system's error; a file that ends
  // first throws with endOfFile, so a caller never looks at bytes that were not read.
  void Read(void* buffer, UINT count);
  // Reads up to `count` bytes and returns how many were read (0 at the end); throws when the read fails.
  UINT ReadSome(void* buffer, UINT count);
  // Moves the file pointer and returns the new position; throws badSeek when it cannot move there.
  ULONGLONG Seek(LONGLONG offset, SeekPosition from);
  ULONGLONG GetPosition() const;
  ULONGLONG GetLength() const;

 private:
  [[noreturn]] void ThrowOsError(DWORD osError) const;

  UniqueHandle m_hFile;
  std::wstring m_strPath;
};

}  // namespace framework
