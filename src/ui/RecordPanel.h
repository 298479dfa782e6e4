// The record-to-disk tab: a child dialog of the main window below its tab strip. It owns the
// record graph, watches the video folder every second while its tab has been selected, and keeps
// the camcorder told of the computer's state. The recording itself joins it with its controls.
#pragma once

#include <windows.h>

#include "framework/Dialog.h"
#include "graph/RecordGraph.h"
#include "ui/PanelToolTip.h"
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

  RecordPanel(MainPanel& mainPanel, AppSettings& settings, DVManager& dvManager);
  ~RecordPanel() override;

  // Creates the panel as a hidden child of the main window, at (0, 29) with its background's size.
  bool CreatePanel(HWND parent);
  RecordGraph& GetRecordGraph() { return m_recordGraph; }

  void SetVisible(bool visible);
  bool IsVisible() const { return m_bVisible; }
  // Off stops the folder watch and the status tick, on starts them again.
  void RestartTimers(bool on);
  void OnDvEvent(int code, LPARAM argument);
  void OnSystemEvent(int code);
  // The panel's function keys; TRUE when the key was taken.
  BOOL OnKeyDown(const MSG* msg);
  int GetRecordState() const { return m_nRecordState; }
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
  void OnTimer(UINT_PTR timerId) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static constexpr UINT_PTR kFolderWatchTimerId = 4;
  static constexpr UINT kFolderWatchPeriodMs = 1000;
  // The panel lies below the main window's tab strip.
  static constexpr int kPanelTop = 29;

  void WatchVideoFolder();

  MainPanel& m_mainPanel;
  AppSettings& m_settings;
  DVManager& m_dvManager;
  RecordGraph m_recordGraph;
  PanelToolTip m_toolTip;
  SkinLayout m_skinLayout;
  int m_nRecordState = kRecordNone;
  bool m_bVisible = false;
};
