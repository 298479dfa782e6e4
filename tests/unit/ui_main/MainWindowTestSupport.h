// The main window under test: a fresh simulated bus with one usable camcorder, the registry
// redirected, the recording folder in a throw-away folder, and helpers that act from inside the
// modal loops of message boxes and dialogs the window opens.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DeviceTestSupport.h"
#include "MessagePump.h"
#include "RegistryOverride.h"
#include "TempFolder.h"
#include "app/RecorderApp.h"
#include "ui/MainPanel.h"

// Remembers what the help would have opened instead of starting a viewer.
class TestMainPanel : public MainPanel {
 public:
  using MainPanel::MainPanel;
  std::vector<std::wstring> m_vecOpened;

 protected:
  bool ShellOpenFile(const std::wstring& path) override {
    m_vecOpened.push_back(path);
    return true;
  }
};

using testsupport::PumpPending;
using testsupport::PumpUntil;

// Runs `step` every 30 ms from whatever message loop runs, until it returns true.
class WhileModal {
 public:
  explicit WhileModal(std::function<bool()> step);
  ~WhileModal();
  WhileModal(const WhileModal&) = delete;
  WhileModal& operator=(const WhileModal&) = delete;

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  UINT_PTR m_nTimer = 0;
};

// The visible dialog windows of this thread other than `except` (message boxes, dialogs).
std::vector<HWND> VisibleDialogs(HWND except);
// The texts of a message box's static controls, joined.
std::wstring MessageBoxText(HWND box);

using testsupport::MakeTempFolder;
using testsupport::RemoveFolderTree;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the settings the window loads, then opens it shown and active.
  void Open(DWORD newFolderCreate = 1);
  // Trace records go to the log file, each written at once.
  void TraceEveryRecord();
  // Moves the camcorder link on until the camcorder is usable; false when it never is.
  bool BringUp();
  // Ticks the link until `done` holds (at most 20 simulated seconds).
  bool TickUntil(const std::function<bool()>& done);
  int DVMode() { return m_spPanel->GetDVManager().GetDVDevice().GetDVMode(); }
  int TapeStatus() { return m_spPanel->GetDVManager().GetDVDevice().GetTapeStatus(); }
  int StatusIcon() const;
  bool NameShown() const;
  HWND Window() const { return m_spPanel->GetSafeHwnd(); }

  RegistryOverride m_registry;
  RecorderApp m_app;
  DebugIni m_ini;
  FakeClock m_clock;
  std::wstring m_strFolder;
  std::unique_ptr<TestMainPanel> m_spPanel;
};
