// Throw-away folders under the system's temporary folder.
#pragma once

#include <string>

namespace testsupport {

// Makes a new empty folder; its path ends with a backslash.
std::wstring MakeTempFolder();
// Removes a folder with its files and sub-folders.
void RemoveFolderTree(const std::wstring& folder);

// A new empty folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder's path, without a backslash at the end.
  const std::wstring& Path() const { return m_strPath; }
  std::wstring Path(const std::wstring& strName) const { return m_strPath + L"\\" + strName; }

 private:
  std::wstring m_strPath;
};

}  // namespace testsupport
