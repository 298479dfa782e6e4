#include "TempFolder.h"

#include <windows.h>

namespace testsupport {

std::wstring MakeTempFolder() {
  wchar_t base[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, base);
  for (int attempt = 0;; ++attempt) {
    std::wstring path = std::wstring(base) + L"plover-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                        std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(attempt);
    if (::CreateDirectoryW(path.c_str(), nullptr)) return path + L"\\";
  }
}

void RemoveFolderTree(const std::wstring& folder) {
  std::wstring root = folder;
  if (!root.empty() && root.back() == L'\\') root.pop_back();
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW((root + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = root + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(root.c_str());
}

TempFolder::TempFolder() : m_strPath(MakeTempFolder()) { m_strPath.pop_back(); }

TempFolder::~TempFolder() { RemoveFolderTree(m_strPath); }

}  // namespace testsupport
