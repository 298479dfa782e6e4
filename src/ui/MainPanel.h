// The program's main window: the modal dialog that runs for the whole session. It owns the settings
// and guards the recording folder; the tabs, the camcorder link and the panels join it as they land.
#pragma once

#include <windows.h>

#include "core/AppSettings.h"
#include "framework/Dialog.h"

class MainPanel : public framework::Dialog {
 public:
  MainPanel();
  ~MainPanel() override;

  AppSettings& GetSettings() { return m_settings; }

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  void OnTimer(UINT_PTR timerId) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static constexpr UINT_PTR kBlinkTimerId = 2;
  static constexpr UINT kBlinkPeriodMs = 250;
  // Pause before the start-up folder checks, while the splash is still shown.
  static constexpr DWORD kStartupPauseMs = 2000;
  // System-menu items appended to the window's menu.
  static constexpr UINT kSysCommandAbout = 0x10;
  static constexpr UINT kSysCommandHelp = 0x20;

  void EditSystemMenu();
  void SizeToFrame();
  void ClearPlaceholderTexts();
  void CreateRecordingFolder();
  void RunStartupFolderCheck();
  void OpenAboutBox();
  void PaintMinimizedIcon();

  HICON m_hIcon = nullptr;
  AppSettings m_settings;
  int m_nBlink = 1;
};
