// The program's main window: the modal dialog that runs for the whole session. It owns the
// settings, the camcorder link and the record and play panels, switches between the two tabs,
// routes camcorder and system events to the panels, keeps the machine and the screen awake,
// guards the video folder and shuts everything down in order.
#pragma once

#include <windows.h>

#include <string>

#include "core/AppSettings.h"
#include "device/DVManager.h"
#include "files/Timecode.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "ui/FolderChoice.h"
#include "ui/PanelToolTip.h"
#include "ui/PlayPanel.h"
#include "ui/RecordPanel.h"
#include "ui/SkinButton.h"
#include "ui/SkinLabel.h"
#include "ui/SkinLayout.h"
#include "ui/VideoFolderSpecifyDialog.h"

// Registration for the session's lock, unlock and console notifications, through "wtsapi32.dll"
// loaded at run time (a system without it simply sends none).
class SessionNotification {
 public:
  ~SessionNotification() { Unregister(); }
  void Register(HWND window, UINT message);
  void Unregister();
  bool IsConsoleConnected() const { return m_bConsoleConnected; }
  void SetConsoleConnected(bool connected) { m_bConsoleConnected = connected; }

 private:
  HWND m_hWnd = nullptr;
  UINT m_nMessage = 0;
  HMODULE m_hWtsApi = nullptr;
  bool m_bConsoleConnected = true;
};

class MainPanel : public framework::Dialog {
 public:
  // Tabs (GetCurrentTab).
  static constexpr int kPlayTab = 0;
  static constexpr int kRecordTab = 1;

  // A file for the play panel: from a closed recording (second -1, mode 0) or from the history
  // list (mode 1 starts playing at once).
  struct PlayRequest {
    std::wstring strPath;
    int nSecond = 0;
    int nMode = 0;
  };

  explicit MainPanel(DeviceClock& clock = DeviceClock::System());
  ~MainPanel() override;

  AppSettings& GetSettings() { return m_settings; }
  DVManager& GetDVManager() { return m_dvManager; }
  RecordPanel& GetRecordPanel() { return m_recordPanel; }
  PlayPanel& GetPlayPanel() { return m_playPanel; }
  const SkinLayout& GetSkinLayout() const { return m_skinLayout; }

  int GetCurrentTab() const { return m_nCurrentTab; }
  bool IsOptionsOpen() const { return m_bOptionsOpen; }
  void SelectTab(int tab);
  void SetRecordingLock(bool locked);
  // The title shows the time code while the window is minimised; null or an unknown time code
  // restores the plain title.
  void UpdateTitle(const Timecode* timecode);
  void SetPlayRequest(const std::wstring& path, int second, int mode);
  PlayRequest GetPlayRequest() const { return m_playRequest; }
  // Holds the recording folder open while it exists (1); a lost folder is replaced (0).
  int WatchVideoFolder(const std::wstring& path);
  void GetOverlayFlags(int& centreMarker, int& safeMargin) const;
  void SetOverlayFlags(int centreMarker, int safeMargin);
  void RunFolderSpecify();
  void RunStartupFolderCheck();
  void OpenOptions();
  // Where the option sheet and the folder dialogs browse for folders and ask for file systems.
  void SetFolderChoice(FolderChoice& folders);
  // Confirms a close while recording and shuts the panels and the camcorder link down; 1 allows.
  int CanClose();
  void CloseModalWindows();
  bool IsClosing() const { return m_bClosing; }

  BOOL PreTranslateMessage(MSG* msg) override;

  // Helpers shared with the panels.
  static bool IsEnterOrEsc(const MSG* msg);
  // Draws the bitmap a picture static holds at (x, y); false when it holds none.
  static bool DrawItemPicture(HWND item, HDC dc, int x, int y);
  // Moves a child panel to (0, top) with the size of its background item.
  static void PlaceChildPanel(HWND panel, int backgroundId, int top);

 protected:
  bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  void OnTimer(UINT_PTR timerId) override;
  void OnOK() override;
  void OnCancel() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  // Opens the help file with the shell; false when it could not be opened.
  virtual bool ShellOpenFile(const std::wstring& path);

 private:
  static constexpr UINT_PTR kDeviceTimerId = 1;
  static constexpr UINT_PTR kBlinkTimerId = 2;
  static constexpr UINT kBlinkPeriodMs = 250;
  // The end-of-session chain closes the modal windows one level at a time.
  static constexpr UINT_PTR kCloseChainTimerId = 3;
  static constexpr UINT kCloseChainDelayMs = 100;
  // Pause before the start-up folder checks, while the splash is still shown.
  static constexpr DWORD kStartupPauseMs = 2000;
  // System-menu items appended to the window's menu.
  static constexpr UINT kSysCommandAbout = 0x10;
  static constexpr UINT kSysCommandHelp = 0x20;
  // The skin's size of the client area; a larger one is filled with the frame colour.
  static constexpr int kSkinWidth = 646;
  static constexpr int kSkinHeight = 440;

  void EditSystemMenu();
  void LoadIcons();
  void SetUpControls();
  void SizeToFrame();
  void ClearPlaceholderTexts();
  void CreateRecordingFolder();
  void HandSettingsToRecordGraph();
  void OpenAboutBox();
  void OpenHelp();
  void PaintMinimizedIcon();
  void EraseBackground(HDC dc);
  void UpdateStatusIcon();
  void ShowCamcorderName();
  BOOL OnFunctionKey(const MSG* msg);
  LRESULT OnDeviceEvent(int code, LPARAM argument);
  void OnSystemEvent(int code, LRESULT* answer);
  bool FilterSystemEvent(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  static constexpr DWORD kScreenSaverResetMs = 1000;
  bool m_bScreenSaverReset = false;  // the screen saver's idle time was restarted ...
  DWORD m_dwScreenSaverReset = 0;    // ... at this tick
  LRESULT SendSystemEvent(int code, LRESULT* answer = nullptr);
  void ApplyAcceptedOptions(const std::wstring& oldRecordingPath);
  void SetCaptionLook(SkinLabel& caption, COLORREF color);

  framework::IconHolder m_icon;
  HACCEL m_hAccelerators = nullptr;
  AppSettings m_settings;
  PanelToolTip m_toolTip;
  SkinLayout m_skinLayout;
  DVManager m_dvManager;
  RecordPanel m_recordPanel;
  PlayPanel m_playPanel;
  SessionNotification m_sessionNotification;
  int m_nCurrentTab = kRecordTab;
  bool m_bOptionsOpen = false;
  PlayRequest m_playRequest;
  framework::UniqueHandle m_folderHandle;
  std::wstring m_strFolderPath;
  Timecode m_lastTimecode;
  int m_nBlink = 1;
  FolderChoice* m_pFolders = &FolderChoice::System();
  // Lives with the panel so that its showing mark keeps a lost-folder watch from opening another.
  VideoFolderSpecifyDialog m_dlgFolderSpecify;
  int m_nCentreMarker = 0;
  int m_nSafeMargin = 0;
  // Set once the close sequence has run; further close requests pass at once.
  bool m_bClosing = false;
  // Keeps a second end-of-session query from starting a second close while the first asks.
  bool m_bAnsweringEndSession = false;
  // The window CloseModalWindows asked last; it is not asked twice.
  HWND m_hLastCloseWindow = nullptr;

  SkinLabel m_lblClosingNotice;
  SkinLabel m_lblPlayCaption;
  SkinLabel m_lblRecordCaption;
  SkinButton m_btnOptions;
  SkinButton m_btnPlayTab;
  SkinButton m_btnRecordTab;
  SkinLabel m_lblCamcorderName;
  HWND m_hStatusIcon = nullptr;
};
