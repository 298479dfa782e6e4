// The record-to-disk tab: a child dialog of the main window below its tab strip. It owns the
// record graph and drives it: the live preview, the start and stop of recordings in standard and
// linked mode, the running time code, the dropped-frame count, the recordable time left on the
// disk, the audio level meter, the recording history and the recording log "PLVR.LOG". It keeps
// the camcorder and the virtual VCR told of the computer's state, and records when the camcorder's
// own record button is pressed.
#pragma once

#include <windows.h>

#include <string>

#include "files/DropHistoryList.h"
#include "files/Timecode.h"
#include "framework/Dialog.h"
#include "graph/RecordGraph.h"
#include "ui/LevelMeter.h"
#include "ui/PanelToolTip.h"
#include "ui/PreviewOverlay.h"
#include "ui/SkinButton.h"
#include "ui/SkinEdit.h"
#include "ui/SkinLabel.h"
#include "ui/SkinLayout.h"

class AppSettings;
class DVManager;
class MainPanel;

class RecordPanel : public framework::Dialog {
 public:
  // Record states (GetRecordState).
  static constexpr int kRecordNone = 0;      // nothing recorded yet, or reset
  static constexpr int kRecordStopped = 1;   // stopped with the file closed
  static constexpr int kRecordPaused = 2;    // linked mode paused, the file open
  static constexpr int kRecordRunning = 3;   // recording

  // Panel states: what the panel shows and allows (GetPanelState).
  static constexpr int kPanelNoCamcorder = 0;  // camcorder not usable
  static constexpr int kPanelDiskFull = 1;
  static constexpr int kPanelNoFileName = 2;   // no automatic file name left
  static constexpr int kPanelInUse = 3;        // camcorder used by another application
  static constexpr int kPanelReady = 4;
  static constexpr int kPanelPaused = 5;       // linked mode paused
  static constexpr int kPanelRecording = 6;

  // Timers.
  static constexpr UINT_PTR kIconTimerId = 1;         // recording icon animation
  static constexpr UINT_PTR kCounterTimerId = 2;      // time code and dropped frames
  static constexpr UINT_PTR kTitleTimerId = 3;        // main window title while minimised
  static constexpr UINT_PTR kFolderWatchTimerId = 4;  // video folder watch
  static constexpr UINT_PTR kStatusTimerId = 5;       // status tick
  static constexpr UINT_PTR kLevelTimerId = 6;        // audio level meter

  // The dropped-frame count shows at most this; from it on the text blinks.
  static constexpr int kMaxShownDrops = 999;

  RecordPanel(MainPanel& mainPanel, AppSettings& settings, DVManager& dvManager);
  ~RecordPanel() override;

  // Creates the panel as a hidden child of the main window, at (0, 29) with its background's size.
  bool CreatePanel(HWND parent);
  RecordGraph& GetRecordGraph() { return m_recordGraph; }
  DropHistoryList& GetHistoryList() { return m_historyList; }

  void SetVisible(bool visible);
  bool IsVisible() const { return m_bVisible; }
  // Off stops the folder watch and the status tick, on starts them again.
  void RestartTimers(bool on);
  void OnDvEvent(int code, LPARAM argument);
  void OnSystemEvent(int code);
  // F5 and F6 while the record tab is current; TRUE when the key was taken.
  BOOL OnKeyDown(const MSG* msg);
  int GetRecordState() const { return m_nRecordState; }
  int GetPanelState() const { return m_nAppliedState; }
  // Ends a recording or a paused linked recording, keeping its file.
  void StopIfRecording();
  // Takes the settings again after the options or the video folder changed.
  void RefreshSettings();
  // Tells the camcorder the drops, the disk minutes left and the battery; force sends at once.
  void SendPcStatus(BOOL force);

  BOOL PreTranslateMessage(MSG* msg) override;

  // Puts the panel in a record state, for tests of the main window's close confirmation.
  void SetRecordStateForTesting(int state) { m_nRecordState = state; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  void OnTimer(UINT_PTR timerId) override;
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // The panel lies below the main window's tab strip.
  static constexpr int kPanelTop = 29;

  void SetUpControls();
  void SetUpLooks();
  void WatchVideoFolder();
  void StatusTick();
  // The camcorder check and the disk and graph check; true when both pass.
  bool EvaluateState();
  bool CheckCamcorder();
  bool CheckDiskAndGraph();
  void ApplyPanelState(int state);

  void OnRecordCommand();
  void OnStopCommand();
  void OnFinalizeCommand();
  void SendTransportIfTape(int tapeStatus, BYTE operand);
  void StartRecording();
  void StopRecording();
  void FinalizeRecording();
  void AbortRecording();
  // Ends the recording after its file could not be written, keeping what was written.
  void OnWriteError(HRESULT hr);
  void OnStartFailed(HRESULT hr, int previousRecordState);
  // The bookkeeping of a closed file: play request, next serial number, log and history.
  void AfterFileClosed(const std::wstring& path, HRESULT cutShort);
  void WriteRecordLog(const std::wstring& path, HRESULT cutShort);
  void StopOrFinalizeForEvent();
  void ContinueInNewFile();

  void ShowRecordableTime(ULONGLONG seconds);
  void ShowTimecode(const Timecode& timecode);
  void ShowTimecodeZeros();
  void ShowDropCount(int count, bool blink);
  void ShowRecordingFolder();
  void ShowNextFileName(int serialNumber);
  void ShowRecordModeText();
  void ShowFileFormatText();
  void ShowFinalizeByMode();
  void SetAnnouncement(UINT stringId);
  void StartRecordingIcon();
  void StopRecordingIcon();
  void ApplyPreviewGeometry();
  void ShowItem(int id, bool show);
  void EnableItem(int id, bool enable);
  bool IsItemShownAndEnabled(int id) const;
  void FocusItem(int id);
  void LockMainPanel(bool locked);

  void UpdatePlayButtons();
  void OpenHistoryEntry();
  void ShowPreviewMenu(POINT client);
  void ToggleOverlay(bool centreMarker);
  void ApplyOverlayFlags();
  void ShowLevelMeter(bool show);

  bool IsLinkedMode() const;
  bool IsRecordTabCurrent() const;
  bool IsGraphRecordingOrPaused() const;
  static std::wstring LoadFilledText(UINT stringId, const std::wstring& value);

  MainPanel& m_mainPanel;
  AppSettings& m_settings;
  DVManager& m_dvManager;
  RecordGraph m_recordGraph;
  PanelToolTip m_toolTip;
  SkinLayout m_skinLayout;
  DropHistoryList m_historyList;
  LevelMeter m_levelMeter;
  PreviewOverlay m_overlay;

  SkinButton m_btnRecord;
  SkinButton m_btnStop;
  SkinButton m_btnFinalize;
  SkinButton m_btnPlayFile;
  SkinButton m_btnPlayDrop;
  SkinButton m_btnMeterHide;
  SkinButton m_btnMeterShow;
  SkinLabel m_lblNoPicture;
  SkinLabel m_lblLinkedNotice;
  SkinLabel m_lblFileName;
  SkinLabel m_lblTimeLabel;
  SkinLabel m_lblHoursUnit;
  SkinLabel m_lblMinutesUnit;
  SkinLabel m_lblHistoryLabel;
  SkinLabel m_lblDropsLabel;
  SkinLabel m_lblHours;
  SkinLabel m_lblMinutes;
  SkinLabel m_lblTimecode[4];
  SkinLabel m_lblDrops;
  SkinLabel m_lblF5;
  SkinLabel m_lblF6;
  SkinLabel m_lblAnnouncement;
  SkinLabel m_lblMode;
  SkinLabel m_lblFormat;
  SkinEdit m_editFolder;

  std::wstring m_strModeFormat;    // "録画モード : %s"
  std::wstring m_strFormatFormat;  // "ファイル形式 : %s"
  bool m_bInitialized = false;
  int m_nIconFrame = 0;
  int m_nWantedState = kPanelReady;
  int m_nAppliedState = kPanelRecording;  // so that the first evaluation always applies
  int m_nRecordState = kRecordNone;
  int m_nPreviewLayout = 3;               // PreviewSize: 3 large ... 0 none
  int m_nWide = 0;
  bool m_bVisible = false;
  bool m_bStopInProgress = false;
  bool m_bDropBlinkShown = true;
  // Set while a failed write ends the recording: the closed file is marked as cut short.
  HRESULT m_hrCutShort = S_OK;
};
