// The file-play tab: a child dialog of the main window below its tab strip. It owns the play
// graph, whose video window hears every message of the main window, and takes the main panel's
// play request when it is shown. The file list, slider and playing controls join it later.
#pragma once

#include <windows.h>

#include "framework/Dialog.h"
#include "graph/PlayGraph.h"
#include "ui/PanelToolTip.h"
#include "ui/SkinLayout.h"

class MainPanel;

class PlayPanel : public framework::Dialog {
 public:
  explicit PlayPanel(MainPanel& mainPanel);
  ~PlayPanel() override;

  // Creates the panel as a hidden child of the main window, at (0, 29) with its background's size.
  bool CreatePanel(HWND parent);
  PlayGraph& GetPlayGraph() { return m_playGraph; }

  void SetVisible(bool visible);
  bool IsVisible() const { return m_bVisible; }
  void OnDvEvent(int code, LPARAM argument);
  void OnSystemEvent(int code);
  // The panel's function keys; TRUE when the key was taken.
  BOOL OnKeyDown(const MSG* msg);
  // Hands a message of the main window to the play graph's video window.
  void RelayOwnerMessage(HWND mainWindow, UINT msg, WPARAM wParam, LPARAM lParam);

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static constexpr int kPanelTop = 29;

  void TakePlayRequest();
  static void CloseOpenPopupMenu();

  MainPanel& m_mainPanel;
  PlayGraph m_playGraph;
  PanelToolTip m_toolTip;
  SkinLayout m_skinLayout;
  bool m_bVisible = false;
};
