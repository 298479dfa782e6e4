#include "ui/VideoFileList.h"

#include <algorithm>
#include <cwchar>

#include "files/AviInspection.h"

namespace {

constexpr COLORREF kFileNameColour = RGB(10, 10, 10);

// Later last-write time first; for equal times the smaller path (code unit by code unit) first.
bool NewerFirst(const FILETIME& ftA, const std::wstring& strA, const FILETIME& ftB, const std::wstring& strB) {
  const LONG nTime = ::CompareFileTime(&ftA, &ftB);
  if (nTime != 0) return nTime > 0;
  return std::wcscmp(strA.c_str(), strB.c_str()) < 0;
}

}  // namespace

bool VideoFileList::Init(HWND hOwner, UINT nOwnerMessage, int nSortOrder) {
  m_hOwner = hOwner;
  m_nOwnerMessage = nOwnerMessage;
  m_nSortOrder = nSortOrder;
  if (!InitThumbnails(kThumbnailWidth, kThumbnailHeight, kThumbnailPendingBitmapId, kThumbnailNoPictureBitmapId)) return false;
  SetIconSpacing(kIconSpacingX, kIconSpacingY);
  SetTextColor(kFileNameColour);
  return true;
}

void VideoFileList::SetFolder(const std::wstring& strFolder) {
  m_strFolder = strFolder;
  std::wstring strBase = strFolder;
  if (!strBase.empty() && strBase.back() == L'\\') strBase.pop_back();

  m_vecEntries.clear();
  WIN32_FIND_DATAW data{};
  // No folder (none chosen yet) lists nothing rather than the root of the current drive.
  const HANDLE hFind = strBase.empty() ? INVALID_HANDLE_VALUE : ::FindFirstFileW((strBase + L"\\*.avi").c_str(), &data);
  if (hFind != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      if (data.nFileSizeHigh == 0 && data.nFileSizeLow == 0) continue;
      const std::wstring strPath = strBase + L"\\" + data.cFileName;
      // A longer path could not be opened by the player; it is not listed rather than cut.
      if (strPath.size() > kMaxPathLength) continue;
      if (!IsAVIType1(strPath) && !IsAVIType2(strPath)) continue;
      VideoFileEntry entry;
      entry.strPath = strPath;
      ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &entry.ftLastWrite);
      m_vecEntries.push_back(entry);
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
  }
  Sort(m_nSortOrder);
  m_strLastSelected.clear();
}

void VideoFileList::Sort(int nSortOrder) {
  m_nSortOrder = nSortOrder;
  std::sort(m_vecEntries.begin(), m_vecEntries.end(), [](const VideoFileEntry& a, const VideoFileEntry& b) {
    return NewerFirst(a.ftLastWrite, a.strPath, b.ftLastWrite, b.strPath);
  });
  if (nSortOrder != SortNewestFirst) std::reverse(m_vecEntries.begin(), m_vecEntries.end());

  SetRedraw(false);
  RemoveAllFiles();
  for (const VideoFileEntry& entry : m_vecEntries) AddFile(entry.strPath);
  SetRedraw(true);
}

std::vector<std::wstring> VideoFileList::GetPaths() const {
  std::vector<std::wstring> vecPaths;
  for (const VideoFileEntry& entry : m_vecEntries) vecPaths.push_back(entry.strPath);
  return vecPaths;
}

std::wstring VideoFileList::GetSelectedPath() const {
  const int nIndex = GetSelectedItem();
  if (GetThumbnailState(nIndex) < 0) return std::wstring();
  return GetItemPath(nIndex);
}

std::wstring VideoFileList::GetFocusedPath() const {
  const int nIndex = GetFocusedItem();
  if (GetThumbnailState(nIndex) < 0) return std::wstring();
  return GetItemPath(nIndex);
}

void VideoFileList::SelectFile(const std::wstring& strPath, bool bScrollIntoView) {
  const int nIndex = FindFile(strPath);
  if (nIndex < 0) return;
  if (bScrollIntoView) EnsureVisible(nIndex, false);
  FocusItem(nIndex, true);
}

void VideoFileList::FocusFile(const std::wstring& strPath) {
  const int nIndex = FindFile(strPath);
  if (nIndex < 0) return;
  FocusItem(nIndex, false);
}

void VideoFileList::RemoveFile(const std::wstring& strPath) {
  std::erase_if(m_vecEntries, [&](const VideoFileEntry& entry) {
    return ::CompareStringOrdinal(entry.strPath.c_str(), -1, strPath.c_str(), -1, TRUE) == CSTR_EQUAL;
  });
  ExtractListView::RemoveFile(strPath);
}

BOOL VideoFileList::PreTranslateMessage(MSG* pMsg) {
  // Enter and Delete are only reported here: they go on to the owner's own key handling.
  if (pMsg->hwnd != m_hWnd || GetSelectedItem() < 0) return FALSE;
  if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
    Notify(FileActivated);
  } else if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_DELETE) {
    Notify(FileDeleteRequested);
  } else if (pMsg->message == WM_KEYUP && pMsg->wParam == VK_APPS) {
    const POINT point = ContextMenuPoint(GetSelectedItem());
    Notify(FileContextMenu, MAKELPARAM(point.x, point.y));
  }
  return FALSE;
}

bool VideoFileList::OnItemChanged(NMLISTVIEW*) {
  const std::wstring strSelected = GetSelectedPath();
  if (strSelected != m_strLastSelected) {
    m_strLastSelected = strSelected;
    Notify(FileSelectionChanged);
  }
  return true;
}

bool VideoFileList::OnDoubleClick(NMITEMACTIVATE*) {
  if (GetSelectedItem() >= 0) Notify(FileDoubleClicked);
  return true;
}

bool VideoFileList::OnRightClick(NMITEMACTIVATE*) {
  if (GetSelectedItem() >= 0) Notify(FileContextMenu);
  return true;
}

void VideoFileList::Notify(Notification code, LPARAM lParam) const {
  if (m_hOwner != nullptr) ::PostMessageW(m_hOwner, m_nOwnerMessage, static_cast<WPARAM>(code), lParam);
}

POINT VideoFileList::ContextMenuPoint(int nIndex) const {
  RECT icon{};
  GetItemRect(nIndex, &icon, LVIR_ICON);
  POINT point{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  if (!::PtInRect(&client, point)) {
    point.x = std::clamp(point.x, client.left, std::max(client.left, client.right - 1));
    point.y = std::clamp(point.y, client.top, std::max(client.top, client.bottom - 1));
  }
  ::ClientToScreen(m_hWnd, &point);
  return point;
}
