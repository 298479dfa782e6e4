// The play panel's list of the recorded files of the video folder, newest or oldest first, with
// thumbnails. It tells its owner, by posted messages, when the user selects, opens or deletes a
// file or asks for its context menu.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/ExtractListView.h"

class VideoFileList : public ExtractListView {
 public:
  // Codes of the owner message (wParam); lParam is 0 unless said otherwise.
  enum Notification {
    FileSelectionChanged = 1,
    FileDoubleClicked = 2,
    FileContextMenu = 3,  // lParam 0: at the cursor; else the screen point (x low word, y high word)
    FileActivated = 4,
    FileDeleteRequested = 5,
  };
  enum SortOrder { SortOldestFirst = 0, SortNewestFirst = 1 };

  static constexpr int kThumbnailWidth = 52;
  static constexpr int kThumbnailHeight = 39;
  static constexpr int kIconSpacingX = 73;
  static constexpr int kIconSpacingY = 70;
  static constexpr size_t kMaxPathLength = 259;

  // The list control must be attached (SubclassDlgItem) before Init.
  bool Init(HWND hOwner, UINT nOwnerMessage, int nSortOrder);
  // Lists the recorded files (AVI Type 1 and Type 2) of the folder; a trailing backslash is allowed.
  void SetFolder(const std::wstring& strFolder);
  const std::wstring& GetFolder() const { return m_strFolder; }

  std::wstring GetSelectedPath() const;
  std::wstring GetFocusedPath() const;
  void SelectFile(const std::wstring& strPath, bool bScrollIntoView);
  void FocusFile(const std::wstring& strPath);
  void RemoveFile(const std::wstring& strPath) override;

  int GetSortOrder() const { return m_nSortOrder; }
  // Puts the files in the order and refills the list.
  void Sort(int nSortOrder);
  // The listed paths in display order.
  std::vector<std::wstring> GetPaths() const;

  BOOL PreTranslateMessage(MSG* pMsg) override;

 protected:
  bool OnItemChanged(NMLISTVIEW* pChange) override;
  bool OnDoubleClick(NMITEMACTIVATE* pActivate) override;
  bool OnRightClick(NMITEMACTIVATE* pActivate) override;

 private:
  struct VideoFileEntry {
    std::wstring strPath;
    FILETIME ftLastWrite{};  // local time
  };

  void Notify(Notification code, LPARAM lParam = 0) const;
  // The centre of the selected item's icon in screen coordinates, kept inside the client area.
  POINT ContextMenuPoint(int nIndex) const;

  HWND m_hOwner = nullptr;
  UINT m_nOwnerMessage = 0;
  std::wstring m_strFolder;
  std::wstring m_strLastSelected;
  int m_nSortOrder = SortNewestFirst;
  std::vector<VideoFileEntry> m_vecEntries;
};
