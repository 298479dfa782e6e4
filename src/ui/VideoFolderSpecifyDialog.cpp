#include "ui/VideoFolderSpecifyDialog.h"

#include <shlobj.h>

#include "core/AppSettings.h"
#include "resource.h"

VideoFolderSpecifyDialog::VideoFolderSpecifyDialog(framework::Window* parent, FolderChoice& folders)
    : Dialog(IDD_VIDEO_FOLDER_SPECIFY, parent), m_pFolders(&folders) {}

BOOL VideoFolderSpecifyDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
  return Dialog::PreTranslateMessage(msg);
}

bool VideoFolderSpecifyDialog::OnCommand(WORD id, WORD code, HWND control) {
  if (code == BN_CLICKED && id == IDC_FOLDER_SPECIFY_CHOOSE) {
    SpecifyFolder();
    return true;
  }
  if (code == BN_CLICKED && id == IDC_FOLDER_SPECIFY_QUIT) {
    EndDialog(IDC_FOLDER_SPECIFY_QUIT);
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void VideoFolderSpecifyDialog::SpecifyFolder() {
  std::wstring chosen;
  if (!m_pFolders->BrowseForFolder(GetSafeOwnerWindow(m_hWnd), m_strFolder, chosen)) return;
  chosen = WithTrailingBackslash(chosen);
  // Any other file system is refused without a word: the dialog simply stays.
  if (m_pFolders->GetFileSystemName(chosen) != L"NTFS") return;
  // The Documents folder is the default, kept as an empty setting.
  m_strFolder = chosen == AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL) ? std::wstring() : chosen;
  EndDialog(IDC_FOLDER_SPECIFY_CHOOSE);
}

bool VideoFolderSpecifyDialog::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg != WM_HELP) return false;
  result = TRUE;  // the program has no context help
  return true;
}
