// The file-play tab: a child dialog of the main window below its tab strip. It lists the video
// files of one folder with thumbnails, plays the chosen file through the play graph in its preview,
// shows the running time code, the file's length and a zoomable time slider with the dropped
// frames marked, jumps between the dropped scenes, sorts and deletes files and changes the folder.
// A file chosen in the record panel's history arrives as the main panel's play request.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/PopupMenu.h"
#include "graph/PlayGraph.h"
#include "ui/DropSlider.h"
#include "ui/PanelToolTip.h"
#include "ui/PreviewOverlay.h"
#include "ui/SkinButton.h"
#include "ui/SkinEdit.h"
#include "ui/SkinLabel.h"
#include "ui/SkinLayout.h"
#include "ui/VideoFileList.h"

class MainPanel;

class PlayPanel : public framework::Dialog {
 public:
  // Preview geometry: the skin layout's variants of the preview item.
  static constexpr int kPreviewNone = 0;
  static constexpr int kPreview4x3 = 1;
  static constexpr int kPreview16x9 = 10;
  // The counts beside the dropped-scene buttons stop here.
  static constexpr int kMaxShownDropCount = 999;

  explicit PlayPanel(MainPanel& mainPanel);
  ~PlayPanel() override;

  // Creates the panel as a hidden child of the main window, at (0, 29) with its background's size.
  bool CreatePanel(HWND parent);
  PlayGraph& GetPlayGraph() { return m_playGraph; }
  DropSlider& GetSlider() { return m_slider; }
  VideoFileList& GetFileList() { return m_fileList; }

  void SetVisible(bool visible);
  bool IsVisible() const { return m_bVisible; }
  void OnDvEvent(int code, LPARAM argument);
  void OnSystemEvent(int code);
  // The panel's function keys; TRUE when the key was taken.
  BOOL OnKeyDown(const MSG* msg);
  // Hands a message of the main window to the play graph's video window.
  void RelayOwnerMessage(HWND mainWindow, UINT msg, WPARAM wParam, LPARAM lParam);

  // Lists the folder (a trailing backslash is kept) and holds it open so that it cannot be removed
  // while it is shown; no file is shown afterwards.
  void SelectFolder(const std::wstring& folder);
  // Loads the file paused at the second (an empty path shows none) and holds it open for reading.
  void ShowFile(const std::wstring& path, int seconds);
  void StartPlay();
  void StopPlay();
  void PreviousDrop();
  void NextDrop();
  void ToStart();
  void ZoomSlider(int step);
  // 32774 newest first, 32775 oldest first.
  void SetSortOrder(UINT command);
  // Asks, then unloads the file if shown, deletes it and takes it off the list.
  void DeleteSelectedFile();
  // `newPosition`: called for the playing file's new position, which paces the slider's scroll bar.
  void UpdatePositionDisplay(bool follow, bool newPosition = false);

  int GetPreviewGeometry() const { return m_nPreviewGeometry; }
  bool IsFolderHeld() const { return m_folderHandle.IsValid(); }
  bool IsFileHeld() const { return m_fileHandle.IsValid(); }

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static constexpr int kPanelTop = 29;
  static constexpr int kFileNameToolId = 1;
  static constexpr int kToolTipWidth = 600;

  void SetUpControls();
  void PlaceFolderEdit();
  void TakePlayRequest();
  void BrowseFolder();
  // The folder the user chose in the folder browser, or empty when cancelled.
  std::wstring ChooseFolder(const std::wstring& initial);
  // Shows a sub-menu at a screen point and carries out the chosen command.
  void TrackMenu(const framework::PopupMenu& menu, int subMenu, POINT screen);
  void ShowSortMenu();
  void ShowFileMenu(LPARAM screenPoint);
  void ShowPreviewMenu(POINT client);
  void ApplyOverlayFlags();
  void SetPreviewGeometry(int geometry);
  void ShowFileName(const std::wstring& path);
  void ShowTotalTime();
  // Enables or disables a control; a disabled control gives its focus to the panel.
  void EnableControl(HWND control, bool enable);
  // Swaps the play and pause buttons; the focus goes along when the hidden one had it.
  void SwapPlayButtons(bool playing);
  void OnSliderNotify(WPARAM code);
  void OnFileListNotify(WPARAM code, LPARAM lParam);
  static void CloseOpenPopupMenu();

  MainPanel& m_mainPanel;
  framework::BrushHolder m_brushBackground;
  PlayGraph m_playGraph;
  bool m_bVisible = false;
  framework::UniqueHandle m_folderHandle;
  PanelToolTip m_toolTip;
  SkinLayout m_skinLayout;
  PreviewOverlay m_overlay;
  framework::UniqueHandle m_fileHandle;
  DropSlider m_slider;
  VideoFileList m_fileList;
  std::wstring m_strTotalTimeFormat;
  std::wstring m_strLastTimecode;
  bool m_bLastPlaying = false;
  int m_nPreviewGeometry = kPreviewNone;

  SkinButton m_btnPlay;
  SkinButton m_btnPause;
  SkinButton m_btnPreviousDrop;
  SkinButton m_btnNextDrop;
  SkinButton m_btnToStart;
  SkinButton m_btnZoomOut;
  SkinButton m_btnZoomIn;
  SkinButton m_btnSort;
  SkinButton m_btnFolder;
  SkinLabel m_lblFileName;
  SkinLabel m_lblTotalTime;
  SkinLabel m_lblTimecode[4];
  SkinLabel m_lblPreviousCount;
  SkinLabel m_lblNextCount;
  SkinLabel m_lblF9;
  SkinLabel m_lblFileListCaption;
  SkinLabel m_lblSliderCaption;
  SkinLabel m_lblAnnouncement;
  SkinEdit m_editFolder;
};
