#include "core/LibraryLoading.h"

#include <cwchar>
#include <vector>

namespace {

// Longest executable path taken, in characters (long paths included).
constexpr DWORD kMaxModulePathChars = 32768;

// A file name without folder, drive or stream parts.
bool IsBareFileName(const wchar_t* pszName) {
  return pszName != nullptr && *pszName != L'\0' && std::wcspbrk(pszName, L"\\/:") == nullptr &&
         std::wcscmp(pszName, L".") != 0 && std::wcscmp(pszName, L"..") != 0;
}

// Loads the library at an absolute path; the libraries it needs in turn come from its own folder
// and the system folder.
HMODULE LoadLibraryAt(const std::wstring& strPath) {
  HMODULE hModule = LoadLibraryExW(strPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Systems without the search flags refuse them as a bad parameter.
  if (hModule == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    hModule = LoadLibraryExW(strPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return hModule;
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* pszName) {
  if (!IsBareFileName(pszName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  wchar_t szFolder[MAX_PATH] = {};
  const UINT nChars = GetSystemDirectoryW(szFolder, MAX_PATH);
  if (nChars == 0 || nChars >= MAX_PATH) return nullptr;
  return LoadLibraryAt(std::wstring(szFolder, nChars) + L"\\" + pszName);
}

HMODULE LoadProgramFolderLibrary(const wchar_t* pszName) {
  if (!IsBareFileName(pszName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::wstring strPath = ProgramFolderFilePath(pszName);
  if (strPath.empty()) return nullptr;
  return LoadLibraryAt(strPath);
}

std::wstring ProgramFolderFilePath(const wchar_t* pszName) {
  std::vector<wchar_t> vecPath(MAX_PATH);
  for (;;) {
    const DWORD nChars = GetModuleFileNameW(nullptr, vecPath.data(), static_cast<DWORD>(vecPath.size()));
    if (nChars == 0) return std::wstring();
    if (nChars < vecPath.size()) {
      std::wstring strPath(vecPath.data(), nChars);
      const size_t nSlash = strPath.find_last_of(L"\\/");
      if (nSlash == std::wstring::npos) return std::wstring();
      return strPath.substr(0, nSlash + 1) + pszName;
    }
    // Cut short: try again with a larger buffer.
    if (vecPath.size() >= kMaxModulePathChars) return std::wstring();
    vecPath.resize(vecPath.size() * 2);
  }
}
