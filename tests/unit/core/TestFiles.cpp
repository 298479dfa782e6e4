#include "TestFiles.h"

#include <vector>

namespace test_files {

std::wstring BesideExecutable(const wchar_t* extension) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring strPath = path;
  return strPath.substr(0, strPath.find_last_of(L'.')) + extension;
}

std::string BesideExecutableAnsi(const char* extension) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string strPath = path;
  return strPath.substr(0, strPath.find_last_of('.')) + extension;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE hFile = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return;
  DWORD dwWritten = 0;
  WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
  CloseHandle(hFile);
}

void WriteFileOfSize(const std::wstring& path, size_t nBytes) {
  std::string filler(nBytes, 'x');
  for (size_t i = 99; i < nBytes; i += 100) filler[i] = '\n';
  WriteBytes(path, filler);
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char chunk[65536];
  DWORD dwRead = 0;
  while (ReadFile(hFile, chunk, sizeof(chunk), &dwRead, nullptr) && dwRead > 0) bytes.append(chunk, dwRead);
  CloseHandle(hFile);
  return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ULONGLONG SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void Remove(const std::wstring& path) { DeleteFileW(path.c_str()); }

void ShiftWriteTime(const std::wstring& path, int nSeconds) {
  HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return;
  FILETIME ft = {};
  GetFileTime(hFile, nullptr, nullptr, &ft);
  ULARGE_INTEGER time;
  time.LowPart = ft.dwLowDateTime;
  time.HighPart = ft.dwHighDateTime;
  time.QuadPart += static_cast<LONGLONG>(nSeconds) * 10000000LL;
  ft.dwLowDateTime = time.LowPart;
  ft.dwHighDateTime = time.HighPart;
  SetFileTime(hFile, nullptr, nullptr, &ft);
  CloseHandle(hFile);
}

std::wstring Widen(const std::string& ansi) {
  const int nChars = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(nChars > 0 ? nChars : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), nChars);
  return wide.c_str();
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (char ch : text) {
    if (ch != '\r') result += ch;
  }
  return result;
}

}  // namespace test_files
