#include "ui/FolderChoice.h"

#include "app/FolderBrowser.h"
#include "core/AppSettings.h"

bool FolderChoice::BrowseForFolder(HWND owner, const std::wstring& initial, std::wstring& chosen) {
  FolderBrowser browser;
  browser.SetInitialFolder(initial);
  if (browser.Browse(owner) != FolderBrowser::kChosen) return false;
  chosen = browser.GetFolder();
  return true;
}

std::wstring FolderChoice::GetFileSystemName(const std::wstring& folder) { return AppSettings::GetFileSystemName(folder); }

FolderChoice& FolderChoice::System() {
  static FolderChoice system;
  return system;
}

HWND GetSafeOwnerWindow(HWND window) {
  HWND top = window != nullptr ? ::GetAncestor(window, GA_ROOT) : nullptr;
  if (top == nullptr) return nullptr;
  if (!::IsWindowEnabled(top)) {
    HWND popup = ::GetLastActivePopup(top);
    if (popup != nullptr) return popup;
  }
  return top;
}
