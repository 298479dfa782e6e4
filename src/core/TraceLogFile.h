// The trace log file: appended one record at a time, moved aside when it grows too large.
#pragma once

#include <windows.h>

#include <string>

class TraceLogFile {
public:
  // A file larger than this (in bytes, before a record) is moved aside and a new one started.
  static constexpr ULONGLONG kRotateAboveBytes = 1000000;
  // Rotated files are named "<log path>0001", "<log path>0002", ...; this is the last number tried.
  static constexpr int kLastRotationNumber = 9999;

  explicit TraceLogFile(std::string strPath);

  // Rotates if the file is oversized, then opens, appends, flushes and closes. With bCommit the
  // file is opened in commit mode so the flush reaches the disk. Failures are silent.
  void Append(const char* text, bool bCommit);

  // Moves an oversized file to the first free numbered name. TRUE when it was moved.
  BOOL RotateIfOversized();

  // "<log path>NNNN" for a rotation number.
  std::string MakeRotatedName(int nNumber) const;
  const std::string& GetPath() const { return m_strPath; }

private:
  // The file's size on disk; 0 when it does not exist or cannot be queried.
  ULONGLONG QuerySizeOnDisk() const;

  std::string m_strPath;
};
