#include "core/AppSettings.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cwchar>

#include "core/DebugTrace.h"
#include "framework/Resources.h"
#include "resource.h"

namespace {

// Registry value names and the sizes of the buffers they are read into.
constexpr const wchar_t* kValueRecordFolder = L"RecordFolder";
constexpr const wchar_t* kValueNewFolderCreate = L"NewFolderCreate";
constexpr const wchar_t* kValueNewFolderNameSetting = L"NewFolderNameSetting";
constexpr const wchar_t* kValueNewFolderName = L"NewFolderName";
constexpr const wchar_t* kValueFilePrefix = L"FilePrefix";
constexpr const wchar_t* kValueVideoFolderCheck = L"VideoFolderCheck";
constexpr const wchar_t* kValueRecordMode = L"RecordMode";
constexpr const wchar_t* kValuePreviewSize = L"PreviewSize";
constexpr const wchar_t* kValueRecordFormat = L"RecordFormat";
constexpr DWORD kFolderValueBytes = 520;  // 260 characters with the terminator
constexpr DWORD kNameValueBytes = 36;     // 17 characters and the terminator

// Largest stored values and what a larger one reads as.
constexpr DWORD kMaxSwitch = 1;       // NewFolderCreate, NewFolderNameSetting, VideoFolderCheck, RecordMode
constexpr DWORD kMaxPreviewSize = 3;  // large preview
constexpr DWORD kMaxRecordFormat = 2;  // AVI Type 2

DWORD Clamped(DWORD dwValue, DWORD dwMax, DWORD dwOverflow) { return dwValue > dwMax ? dwOverflow : dwValue; }

// A REG_SZ value read into a zeroed buffer of nBytes; one more character than that is kept as a
// terminator, so a stored text without one cannot run past the buffer.
bool ReadRegString(const wchar_t* valueName, DWORD nBytes, std::wstring* pText) {
  std::wstring buffer(nBytes / sizeof(wchar_t) + 1, L'\0');
  DWORD cbData = nBytes;
  if (SHGetValueW(HKEY_CURRENT_USER, AppSettings::kRegistryKey, valueName, nullptr, buffer.data(), &cbData) !=
      ERROR_SUCCESS)
    return false;
  *pText = buffer.c_str();
  return true;
}

bool ReadRegDword(const wchar_t* valueName, DWORD* pValue) {
  DWORD dwValue = 0;
  DWORD cbData = sizeof(dwValue);
  if (SHGetValueW(HKEY_CURRENT_USER, AppSettings::kRegistryKey, valueName, nullptr, &dwValue, &cbData) !=
      ERROR_SUCCESS)
    return false;
  *pValue = dwValue;
  return true;
}

// An open registry key, closed when it goes out of scope.
class RegistryKey {
public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (m_hKey) RegCloseKey(m_hKey);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  LSTATUS Create(HKEY hParent, const wchar_t* subKey) {
    return RegCreateKeyExW(hParent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_hKey,
                           nullptr);
  }

  bool WriteString(const wchar_t* valueName, const std::wstring& strText) {
    const DWORD cbData = static_cast<DWORD>((strText.size() + 1) * sizeof(wchar_t));
    const LSTATUS status =
        RegSetValueExW(m_hKey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strText.c_str()), cbData);
    SetLastError(static_cast<DWORD>(status));
    return !TRACE_FAILED_BOOL(status == ERROR_SUCCESS, "RegSetValueExW");
  }

  bool WriteDword(const wchar_t* valueName, DWORD dwValue) {
    const LSTATUS status =
        RegSetValueExW(m_hKey, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
    SetLastError(static_cast<DWORD>(status));
    return !TRACE_FAILED_BOOL(status == ERROR_SUCCESS, "RegSetValueExW");
  }

private:
  HKEY m_hKey = nullptr;
};

std::wstring DefaultFilePrefix() { return framework::LoadResString(IDS_DEFAULT_PREFIX); }

}  // namespace

std::wstring WithTrailingBackslash(const std::wstring& strPath) {
  if (strPath.empty() || strPath.back() == L'\\') return strPath;
  return strPath + L'\\';
}

AppSettings::AppSettings() = default;

std::wstring AppSettings::GetSpecialFolderPath(int nCsidl) {
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, nCsidl, &pidl)) || pidl == nullptr) return std::wstring();
  wchar_t path[MAX_PATH] = {};
  const BOOL bOk = SHGetPathFromIDListW(pidl, path);
  CoTaskMemFree(pidl);
  if (!bOk) return std::wstring();
  return WithTrailingBackslash(path);
}

std::wstring AppSettings::GetDefaultVideoFolder() const {
  std::wstring strFolder = GetSpecialFolderPath(CSIDL_PERSONAL);
  if (!strFolder.empty()) return strFolder;
  // Without a Documents folder, the root of the drive that holds the system.
  wchar_t windowsDir[MAX_PATH] = {};
  const UINT nChars = GetWindowsDirectoryW(windowsDir, MAX_PATH);
  if (nChars >= 3 && windowsDir[1] == L':') return std::wstring(windowsDir, 2) + L'\\';
  return L"C:\\";
}

BOOL AppSettings::Load() {
  std::wstring strText;
  DWORD dwValue = 0;

  if (!ReadRegString(kValueRecordFolder, kFolderValueBytes, &strText)) return FALSE;
  m_strRecordFolder = WithTrailingBackslash(strText);
  if (m_strRecordFolder.empty()) m_strRecordFolder = GetDefaultVideoFolder();

  if (!ReadRegDword(kValueNewFolderCreate, &dwValue)) return FALSE;
  m_dwNewFolderCreate = Clamped(dwValue, kMaxSwitch, 1);

  if (!ReadRegDword(kValueNewFolderNameSetting, &dwValue)) return FALSE;
  m_dwNewFolderNameSetting = Clamped(dwValue, kMaxSwitch, 0);

  if (!ReadRegString(kValueNewFolderName, kNameValueBytes, &strText)) return FALSE;
  m_strNewFolderName = strText.empty() ? MakeDateFolderName() : strText;

  if (!ReadRegString(kValueFilePrefix, kNameValueBytes, &strText)) return FALSE;
  m_strFilePrefix = strText.empty() ? DefaultFilePrefix() : strText;

  if (!ReadRegDword(kValueVideoFolderCheck, &dwValue)) return FALSE;
  m_dwVideoFolderCheck = Clamped(dwValue, kMaxSwitch, 1);

  if (!ReadRegDword(kValueRecordMode, &dwValue)) return FALSE;
  m_dwRecordMode = Clamped(dwValue, kMaxSwitch, 0);

  if (!ReadRegDword(kValuePreviewSize, &dwValue)) return FALSE;
  m_dwPreviewSize = Clamped(dwValue, kMaxPreviewSize, kMaxPreviewSize);

  if (!ReadRegDword(kValueRecordFormat, &dwValue)) return FALSE;
  m_dwRecordFormat = Clamped(dwValue, kMaxRecordFormat, kMaxRecordFormat);
  return TRUE;
}

BOOL AppSettings::Save() {
  // Defaults are stored as empty texts, so that they follow the user's folder and the language.
  if (m_strRecordFolder == GetDefaultVideoFolder()) m_strRecordFolder.clear();
  if (m_dwNewFolderNameSetting == 0) m_strNewFolderName.clear();
  if (wcscoll(m_strFilePrefix.c_str(), DefaultFilePrefix().c_str()) == 0) m_strFilePrefix.clear();

  RegistryKey key;
  const LSTATUS status = key.Create(HKEY_CURRENT_USER, kRegistryKey);
  SetLastError(static_cast<DWORD>(status));
  if (TRACE_FAILED_BOOL(status == ERROR_SUCCESS, "RegCreateKeyExW")) return FALSE;

  const bool bAllWritten = key.WriteString(kValueRecordFolder, m_strRecordFolder) &&
                           key.WriteDword(kValueNewFolderCreate, m_dwNewFolderCreate) &&
                           key.WriteDword(kValueNewFolderNameSetting, m_dwNewFolderNameSetting) &&
                           key.WriteString(kValueNewFolderName, m_strNewFolderName) &&
                           key.WriteString(kValueFilePrefix, m_strFilePrefix) &&
                           key.WriteDword(kValueVideoFolderCheck, m_dwVideoFolderCheck) &&
                           key.WriteDword(kValueRecordMode, m_dwRecordMode) &&
                           key.WriteDword(kValuePreviewSize, m_dwPreviewSize) &&
                           key.WriteDword(kValueRecordFormat, m_dwRecordFormat);
  return bAllWritten ? TRUE : FALSE;
}

std::wstring AppSettings::GetRecordFolder() {
  if (m_strRecordFolder.empty()) m_strRecordFolder = GetDefaultVideoFolder();
  return m_strRecordFolder;
}

std::wstring AppSettings::GetNewFolderName() {
  if (m_strNewFolderName.empty()) m_strNewFolderName = MakeDateFolderName();
  return m_strNewFolderName;
}

std::wstring AppSettings::GetFilePrefix() {
  if (m_strFilePrefix.empty()) m_strFilePrefix = DefaultFilePrefix();
  return m_strFilePrefix;
}
