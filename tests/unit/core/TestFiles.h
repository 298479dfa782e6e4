// Files beside the test executable and in temporary folders, for the core's tests.
#pragma once

#include <windows.h>

#include <string>

#include "TempFolder.h"

namespace test_files {

// The test executable's own path with its extension replaced (".ini", ".log").
std::wstring BesideExecutable(const wchar_t* extension);
std::string BesideExecutableAnsi(const char* extension);

void WriteBytes(const std::wstring& path, const std::string& bytes);
// Writes a file of exactly nBytes bytes of filler lines.
void WriteFileOfSize(const std::wstring& path, size_t nBytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
ULONGLONG SizeOf(const std::wstring& path);
void Remove(const std::wstring& path);
// Moves the file's last-write time by the given number of seconds.
void ShiftWriteTime(const std::wstring& path, int nSeconds);
std::wstring Widen(const std::string& ansi);
// Text with "\r\n" turned into "\n".
std::string WithoutCarriageReturns(const std::string& text);

using testsupport::TempFolder;

}  // namespace test_files
