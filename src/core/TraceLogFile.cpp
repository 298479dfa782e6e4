#include "core/TraceLogFile.h"

#include <cerrno>
#include <cstdio>
#include <utility>

TraceLogFile::TraceLogFile(std::string strPath) : m_strPath(std::move(strPath)) {}

std::string TraceLogFile::MakeRotatedName(int nNumber) const {
  char suffix[16] = {};
  std::snprintf(suffix, sizeof(suffix), "%04d", nNumber);
  return m_strPath + suffix;
}

ULONGLONG TraceLogFile::QuerySizeOnDisk() const {
  // The log path is ANSI text; the size query takes it in UTF-16.
  const int nChars = MultiByteToWideChar(CP_ACP, 0, m_strPath.c_str(), -1, nullptr, 0);
  if (nChars <= 0) return 0;
  std::wstring strWide(static_cast<size_t>(nChars), L'\0');
  MultiByteToWideChar(CP_ACP, 0, m_strPath.c_str(), -1, strWide.data(), nChars);

  DWORD dwHigh = 0;
  const DWORD dwLow = GetCompressedFileSizeW(strWide.c_str(), &dwHigh);
  if (dwLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  return (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
}

BOOL TraceLogFile::RotateIfOversized() {
  if (QuerySizeOnDisk() <= kRotateAboveBytes) return FALSE;
  for (int nNumber = 1; nNumber <= kLastRotationNumber; ++nNumber) {
    if (std::rename(m_strPath.c_str(), MakeRotatedName(nNumber).c_str()) == 0) return TRUE;
    // Only a taken name moves on to the next number; anything else leaves the file where it is.
    if (errno != EEXIST) return FALSE;
  }
  return FALSE;
}

void TraceLogFile::Append(const char* text, bool bCommit) {
  RotateIfOversized();
  FILE* pFile = std::fopen(m_strPath.c_str(), bCommit ? "ac" : "a");
  if (pFile == nullptr) return;
  std::fputs(text, pFile);
  std::fflush(pFile);
  std::fclose(pFile);
}
