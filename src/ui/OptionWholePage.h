// The general page of the option sheet: the video folder, the automatic sub-folder, the file-name
// prefix and the start-up folder check. It writes the settings each time it is left, and refuses
// to be left while a name is empty or too long.
#pragma once

#include <windows.h>

#include <string>

#include "core/AppSettings.h"
#include "framework/PropertySheetDialog.h"
#include "ui/FileNameEdit.h"
#include "ui/FolderChoice.h"
#include "ui/PanelToolTip.h"

class COptionWholePage : public framework::PropertyPage {
 public:
  // The page's own messages.
  static constexpr UINT WM_FOCUS_ERROR_EDIT = WM_APP + 2;   // focus the edit whose name is in error
  static constexpr UINT WM_PREFIX_REFUSED = WM_APP + 3;     // the prefix edit refused a change
  static constexpr UINT WM_SUBFOLDER_REFUSED = WM_APP + 4;  // the sub-folder name edit refused one

  // Name errors.
  static constexpr int kNameOk = 0;
  static constexpr int kNameEmpty = 1;
  static constexpr int kNameTooLong = 2;

  // Longest name in bytes of the multibyte code page, and longest video folder path.
  static constexpr int kMaxNameBytes = 16;
  static constexpr int kMaxFolderBytes = 200;

  COptionWholePage(AppSettings& settings, FolderChoice& folders);

  int GetPrefixError() const { return m_nPrefixError; }
  int GetSubFolderError() const { return m_nSubFolderError; }
  const std::wstring& GetChosenFolder() const { return m_strChosenFolder; }
  PanelToolTip& GetToolTip() { return m_toolTip; }

  // Every message meant for the page or its controls also reaches the tooltip.
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

 private:
  // Sub-folder name edit modes.
  enum SubFolderMode { kSubFolderNone = 0, kSubFolderDate = 1, kSubFolderNamed = 2 };

  void ChooseFolder();
  // The performance check of the chosen folder, modal over the sheet.
  void OpenPerformanceCheck();
  void UpdateSubFolderControls(WORD id);
  void SetSubFolderControls(bool enableDate, bool enableName, SubFolderMode mode);
  void CheckPrefix();
  void CheckSubFolderName();
  void ShowExample(bool valid);
  BOOL ApplyGeneralPage();
  void ShowErrorBalloon(HWND control, UINT textId);
  void OnNameRefused(FileNameEdit& edit, WPARAM code);
  void FocusEditInError();

  AppSettings& m_settings;
  FolderChoice& m_folders;
  PanelToolTip m_toolTip;
  std::wstring m_strChosenFolder;
  std::wstring m_strExampleFormat;
  int m_nSubFolderError = kNameOk;
  int m_nPrefixError = kNameOk;
  FileNameEdit m_edtSubFolderName;
  FileNameEdit m_edtPrefix;
};
