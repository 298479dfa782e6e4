// Where a recording goes: the video folder, its date or user-named sub-folder, and file names
// made of the prefix and a running serial number.
#include <shlwapi.h>

#include <cwchar>

#include "core/AppSettings.h"

namespace {

constexpr size_t kMaxFileNameChars = 260;     // a file name as the search returns it
constexpr size_t kMinSerialDigits = 4;        // "%04d": shorter numbers are not ours
constexpr size_t kMaxSerialDigits = 7;        // up to kLastSerialNumber
constexpr DWORD kFileSystemNameChars = 1024;  // buffer for the file system's name
constexpr const wchar_t* kVideoExtension = L".avi";
constexpr const wchar_t* kDriveRootMark = L":\\";

bool IsAsciiDigit(wchar_t ch) { return ch >= L'0' && ch <= L'9'; }

}  // namespace

std::wstring AppSettings::GetVideoFolder() {
  std::wstring strFolder = WithTrailingBackslash(GetRecordFolder());
  if (GetNewFolderCreate() == 1) strFolder += WithTrailingBackslash(GetNewFolderName());
  return strFolder;
}

SYSTEMTIME AppSettings::GetLocalDate() const {
  SYSTEMTIME stNow = {};
  GetLocalTime(&stNow);
  return stNow;
}

std::wstring AppSettings::MakeDateFolderName() const {
  const SYSTEMTIME stToday = GetLocalDate();
  wchar_t name[32] = {};
  swprintf(name, sizeof(name) / sizeof(name[0]), L"%d_%02d_%02d", stToday.wYear, stToday.wMonth, stToday.wDay);
  return name;
}

std::wstring AppSettings::MakeFileName(int nSerialNumber) {
  wchar_t number[16] = {};
  swprintf(number, sizeof(number) / sizeof(number[0]), L"%04d", nSerialNumber);
  return GetFilePrefix() + number + kVideoExtension;
}

std::wstring AppSettings::GetNextFilePath() { return GetVideoFolder() + MakeFileName(m_nNextSerialNumber); }

int AppSettings::ParseSerialNumber(const std::wstring& strFileName, size_t nPrefixLength) {
  wchar_t name[kMaxFileNameChars + 1] = {};
  wcsncpy(name, strFileName.c_str(), kMaxFileNameChars);
  PathRemoveExtensionW(name);
  const size_t nLength = wcslen(name);
  if (nLength < nPrefixLength + kMinSerialDigits || nLength > nPrefixLength + kMaxSerialDigits) return -1;
  for (size_t i = nPrefixLength; i < nLength; ++i) {
    if (!IsAsciiDigit(name[i])) return -1;
  }
  return static_cast<int>(_wtol(name + nPrefixLength));
}

DWORD AppSettings::FindMatchingFiles(const std::wstring& strPattern, std::vector<std::wstring>* pNames) const {
  WIN32_FIND_DATAW findData = {};
  HANDLE hFind = FindFirstFileW(strPattern.c_str(), &findData);
  if (hFind == INVALID_HANDLE_VALUE) return GetLastError();
  do {
    pNames->push_back(findData.cFileName);
  } while (FindNextFileW(hFind, &findData));
  const DWORD dwEnd = GetLastError();
  FindClose(hFind);
  return dwEnd;
}

BOOL AppSettings::FindNextSerialNumber() {
  BOOL bResult = TRUE;
  int nHighest = 0;
  int nNext = 0;

  const std::wstring strPrefix = GetFilePrefix();
  const std::wstring strPattern = GetVideoFolder() + strPrefix + L"*" + kVideoExtension;
  std::vector<std::wstring> names;
  const DWORD dwEnd = FindMatchingFiles(strPattern, &names);

  if (!names.empty()) {
    for (const std::wstring& strName : names) {
      const int nNumber = ParseSerialNumber(strName, strPrefix.size());
      if (nNumber > nHighest) nHighest = nNumber;
    }
    m_bSerialNumbersUsedUp = nHighest >= kLastSerialNumber;
    if (dwEnd == ERROR_NO_MORE_FILES) {
      if (nHighest < kLastSerialNumber) {
        nNext = nHighest + 1;
      } else {
        nNext = m_nFirstSerialNumber;
        bResult = FALSE;
      }
    } else {
      // The search broke off, so a higher number may exist unseen; the highest one seen is taken,
      // never reused.
      bResult = FALSE;
      nNext = nHighest < kLastSerialNumber ? nHighest + 1 : m_nFirstSerialNumber;
    }
  } else if (dwEnd == ERROR_FILE_NOT_FOUND) {
    m_bSerialNumbersUsedUp = false;
    nNext = m_nFirstSerialNumber;
  } else {
    m_bSerialNumbersUsedUp = false;
    bResult = FALSE;
    nNext = 0;
  }

  SetNextSerialNumber(nNext);
  return bResult;
}

BOOL AppSettings::IsSerialNumberExhausted() {
  // Only a file with the last number exhausts the names; a search that broke off before it saw
  // any numbered file starts again at the first number, but nothing is used up.
  FindNextSerialNumber();
  return m_bSerialNumbersUsedUp ? TRUE : FALSE;
}

std::wstring AppSettings::GetFileSystemName(const std::wstring& strPath) {
  std::wstring strRoot = strPath;
  const size_t nMark = strPath.find(kDriveRootMark);
  if (nMark != std::wstring::npos) strRoot = strPath.substr(0, nMark + wcslen(kDriveRootMark));

  wchar_t fileSystem[kFileSystemNameChars] = {};
  if (!GetVolumeInformationW(strRoot.empty() ? nullptr : strRoot.c_str(), nullptr, 0, nullptr, nullptr, nullptr,
                             fileSystem, kFileSystemNameChars))
    return std::wstring();
  return fileSystem;
}
