// Cached reader of one debug ini file's "Debug" section.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// Values are cached by upper-cased key; the cache is emptied whenever the file's last-write time
// differs from the one seen at the previous read, so edits take effect at the next read.
// Not thread-safe on its own: the process-wide reader serialises calls.
class DebugIniFile {
public:
  static constexpr const wchar_t* kSection = L"Debug";
  static constexpr DWORD kMaxValueChars = 4096;

  explicit DebugIniFile(std::wstring strPath);

  // The value text, empty when the file, the key or the value is missing.
  std::wstring GetString(const wchar_t* key);
  const std::wstring& GetPath() const { return m_strPath; }

private:
  // Reads the file's last-write time; 0 when the file cannot be opened or queried.
  ULONGLONG QueryLastWriteTime() const;

  std::wstring m_strPath;
  std::map<std::wstring, std::wstring> m_mapValues;
  ULONGLONG m_ullLastWriteTime = 0;
};

// Integer conversion of an ini value: leading decimal digits with an optional sign, 0 otherwise.
int ParseDebugIniInt(const std::wstring& text);
// Floating-point conversion of an ini value, through the ANSI code page.
double ParseDebugIniDouble(const std::wstring& text);
