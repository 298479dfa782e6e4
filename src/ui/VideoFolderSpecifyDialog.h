// Asks for an NTFS video folder when the current one cannot be used; the only ways out are an NTFS
// folder or quitting the program. Esc does not close it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Dialog.h"
#include "ui/FolderChoice.h"

class VideoFolderSpecifyDialog : public framework::Dialog {
 public:
  explicit VideoFolderSpecifyDialog(framework::Window* parent = nullptr, FolderChoice& folders = FolderChoice::System());

  // The current folder before DoModal; the chosen one after it (empty: the Documents folder).
  void SetFolder(const std::wstring& folder) { m_strFolder = folder; }
  const std::wstring& GetFolder() const { return m_strFolder; }
  // Set while the dialog is shown, so that no second copy is opened over it.
  void SetShowing(bool showing) { m_bShowing = showing; }
  bool IsShowing() const { return m_bShowing; }
  void SetFolderChoice(FolderChoice& folders) { m_pFolders = &folders; }

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void SpecifyFolder();

  FolderChoice* m_pFolders;
  std::wstring m_strFolder;
  bool m_bShowing = false;
};
