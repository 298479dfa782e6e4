#include "core/DebugIniFile.h"

#include <cstdlib>
#include <cwctype>
#include <utility>
#include <vector>

namespace {

std::wstring ToUpperKey(const wchar_t* key) {
  std::wstring strKey = key ? key : L"";
  if (!strKey.empty()) CharUpperBuffW(strKey.data(), static_cast<DWORD>(strKey.size()));
  return strKey;
}

}  // namespace

DebugIniFile::DebugIniFile(std::wstring strPath) : m_strPath(std::move(strPath)) {}

ULONGLONG DebugIniFile::QueryLastWriteTime() const {
  HANDLE hFile = CreateFileW(m_strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return 0;
  FILETIME ftWrite = {};
  const BOOL bOk = GetFileTime(hFile, nullptr, nullptr, &ftWrite);
  CloseHandle(hFile);
  if (!bOk) return 0;
  return (static_cast<ULONGLONG>(ftWrite.dwHighDateTime) << 32) | ftWrite.dwLowDateTime;
}

std::wstring DebugIniFile::GetString(const wchar_t* key) {
  const ULONGLONG ullWriteTime = QueryLastWriteTime();
  if (ullWriteTime == 0) {
    m_ullLastWriteTime = 0;
    return std::wstring();
  }
  if (ullWriteTime != m_ullLastWriteTime) m_mapValues.clear();
  m_ullLastWriteTime = ullWriteTime;

  const std::wstring strKey = ToUpperKey(key);
  auto it = m_mapValues.find(strKey);
  if (it == m_mapValues.end()) {
    std::vector<wchar_t> buffer(kMaxValueChars + 1, L'\0');
    const DWORD nChars = GetPrivateProfileStringW(kSection, key, L"", buffer.data(), kMaxValueChars,
                                                  m_strPath.c_str());
    it = m_mapValues.emplace(strKey, std::wstring(buffer.data(), nChars)).first;
  }
  return it->second;
}

int ParseDebugIniInt(const std::wstring& text) { return _wtoi(text.c_str()); }

double ParseDebugIniDouble(const std::wstring& text) {
  const int nBytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (nBytes <= 0) return 0.0;
  std::string strAnsi(static_cast<size_t>(nBytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, strAnsi.data(), nBytes, nullptr, nullptr);
  return std::atof(strAnsi.c_str());
}
