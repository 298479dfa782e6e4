// The main window with the simulated camcorder: its name, the status icon, the tabs and keys,
// the title while minimised and the window's own set-up.
#include "MainWindowTestSupport.h"

#include <algorithm>

#include "devices/BusControl.h"
#include "resource.h"

namespace {

std::wstring ItemText(HWND window, int id) {
  wchar_t text[256] = {};
  ::GetDlgItemTextW(window, id, text, 256);
  return text;
}

void PostKeyDown(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 1);
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

TEST_F(MainWindowTest, OpensWithTheRecordTabItsSystemMenuAndTheSkinSize) {
  Open();
  RECT client{};
  ::GetClientRect(Window(), &client);
  EXPECT_EQ(646, client.right);
  EXPECT_EQ(440, client.bottom);

  HMENU menu = ::GetSystemMenu(Window(), FALSE);
  EXPECT_EQ(static_cast<UINT>(-1), ::GetMenuState(menu, SC_SIZE, MF_BYCOMMAND));
  EXPECT_EQ(static_cast<UINT>(-1), ::GetMenuState(menu, SC_MAXIMIZE, MF_BYCOMMAND));
  EXPECT_NE(static_cast<UINT>(-1), ::GetMenuState(menu, 0x20, MF_BYCOMMAND));
  EXPECT_NE(static_cast<UINT>(-1), ::GetMenuState(menu, 0x10, MF_BYCOMMAND));

  EXPECT_EQ(MainPanel::kRecordTab, m_spPanel->GetCurrentTab());
  EXPECT_TRUE(::IsWindowVisible(m_spPanel->GetRecordPanel()));
  EXPECT_FALSE(::IsWindowVisible(m_spPanel->GetPlayPanel()));
  EXPECT_FALSE(::IsWindowEnabled(m_spPanel->GetDlgItem(IDC_MAIN_RECORD_TAB)));
  EXPECT_TRUE(::IsWindowEnabled(m_spPanel->GetDlgItem(IDC_MAIN_PLAY_TAB)));
  EXPECT_FALSE(::IsWindowVisible(m_spPanel->GetDlgItem(IDC_MAIN_CLOSING_NOTICE)));
  // The panels lie below the tab strip, with their backgrounds' size.
  RECT panel{};
  ::GetWindowRect(m_spPanel->GetRecordPanel(), &panel);
  ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&panel), 2);
  EXPECT_EQ(0, panel.left);
  EXPECT_EQ(29, panel.top);
  EXPECT_EQ(646, panel.right - panel.left);
  EXPECT_EQ(411, panel.bottom - panel.top);
  // Standard mode and the large preview reach the record graph.
  EXPECT_EQ(RecordGraph::ModeStandard, m_spPanel->GetRecordPanel().GetRecordGraph().GetRecordMode());
}

TEST_F(MainWindowTest, CamcorderNameShowsOnlyWhileTheCamcorderIsUsable) {
  TraceEveryRecord();
  Open();
  EXPECT_FALSE(NameShown());
  EXPECT_EQ(7, StatusIcon());

  ASSERT_TRUE(BringUp());
  EXPECT_TRUE(NameShown());
  EXPECT_EQ(L"SELKIE Ze", ItemText(Window(), IDC_MAIN_CAMCORDER_NAME));

  devices::ExecuteBusCommand("mode vcr");
  ASSERT_TRUE(TickUntil([this] { return DVMode() != 2; }));
  EXPECT_FALSE(NameShown());
  EXPECT_EQ(7, StatusIcon());

  devices::ExecuteBusCommand("mode camera");
  ASSERT_TRUE(BringUp());
  EXPECT_TRUE(NameShown());

  devices::ExecuteBusCommand("unplug");
  ASSERT_TRUE(TickUntil([this] { return DVMode() != 2; }));
  EXPECT_FALSE(NameShown());
  EXPECT_EQ(7, StatusIcon());

  // Each mode and tape event is traced with this window's source position.
  const std::string log = m_ini.ReadLog();
  EXPECT_NE(std::string::npos, log.find("MainPanel.cpp(")) << log;
  EXPECT_NE(std::string::npos, log.find("EVENT_DVMODECHANGE Command=2")) << log;
  EXPECT_NE(std::string::npos, log.find("EVENT_DVMODECHANGE Command=0")) << log;
  EXPECT_NE(std::string::npos, log.find("EVENT_TAPESTATUSCHANGE Command=")) << log;
}

TEST_F(MainWindowTest, StatusIconFollowsTheTapeAndBlinksForMovingBlankAndEndedTapes) {
  struct Case {
    const char* command;
    int tapeStatus;
    int shown;      // image while the blink flag is set
    int blinkedTo;  // image while it is clear
  };
  const Case cases[] = {
      {"tape none", 1, 0, 0},     {"tape stopped", 4, 1, 1}, {"tape recording", 5, 2, 2},
      {"tape winding", 0, 6, 7},  {"tape end", 3, 5, 7},     {"tape stopped", 4, 1, 1},
      {"medium-info 32 31", 2, 4, 7},
  };
  Open();
  ASSERT_TRUE(BringUp());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ASSERT_EQ("OK", devices::ExecuteBusCommand(c.command).substr(0, 2));
    ASSERT_TRUE(TickUntil([&] { return TapeStatus() == c.tapeStatus; }));
    // Two blink ticks: one of them shows the image, the other the blinked one.
    std::vector<int> seen;
    for (int tick = 0; tick < 2; ++tick) {
      m_spPanel->SendMessage(WM_TIMER, 2, 0);
      seen.push_back(StatusIcon());
    }
    std::sort(seen.begin(), seen.end());
    std::vector<int> expected{c.shown, c.blinkedTo};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, seen);
  }
}

TEST_F(MainWindowTest, EnterAndEscDoNothingWhileF3AndF4SwitchTabs) {
  Open();
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    PostKeyDown(::GetFocus() != nullptr ? ::GetFocus() : Window(), key);
    PumpPending();
    EXPECT_TRUE(::IsWindowVisible(Window())) << "key " << key;
    EXPECT_FALSE(m_spPanel->IsClosing());
  }
  PostKeyDown(Window(), VK_F4);
  PumpPending();
  EXPECT_EQ(MainPanel::kPlayTab, m_spPanel->GetCurrentTab());
  EXPECT_TRUE(::IsWindowVisible(m_spPanel->GetPlayPanel()));
  EXPECT_FALSE(::IsWindowVisible(m_spPanel->GetRecordPanel()));
  EXPECT_FALSE(::IsWindowEnabled(m_spPanel->GetDlgItem(IDC_MAIN_PLAY_TAB)));

  // Keys of the panel's own items reach the main window's keys too.
  PostKeyDown(m_spPanel->GetDlgItem(IDC_MAIN_RECORD_TAB), VK_F3);
  PumpPending();
  EXPECT_EQ(MainPanel::kRecordTab, m_spPanel->GetCurrentTab());
  EXPECT_TRUE(::IsWindowVisible(m_spPanel->GetRecordPanel()));

  // While a recording locks the play tab, F4 leaves the record tab current.
  m_spPanel->SetRecordingLock(true);
  PostKeyDown(Window(), VK_F4);
  PumpPending();
  EXPECT_EQ(MainPanel::kRecordTab, m_spPanel->GetCurrentTab());
  EXPECT_FALSE(::IsWindowEnabled(m_spPanel->GetDlgItem(IDC_MAIN_OPTIONS)));
  m_spPanel->SetRecordingLock(false);
  EXPECT_TRUE(::IsWindowEnabled(m_spPanel->GetDlgItem(IDC_MAIN_OPTIONS)));
}

TEST_F(MainWindowTest, PlayRequestIsTakenWhenThePlayTabIsShown) {
  Open();
  m_spPanel->SetPlayRequest(m_strFolder + L"PLVR0001.avi", -1, 0);
  m_spPanel->SelectTab(MainPanel::kRecordTab);
  EXPECT_EQ(m_strFolder + L"PLVR0001.avi", m_spPanel->GetPlayRequest().strPath);
  m_spPanel->SelectTab(MainPanel::kPlayTab);
  EXPECT_TRUE(m_spPanel->GetPlayRequest().strPath.empty());
}

TEST_F(MainWindowTest, MinimisedTitleShowsTheRunningTimeUntilRestored) {
  Open();
  const Timecode running{1, 2, 3, 4};
  m_spPanel->UpdateTitle(&running);
  EXPECT_EQ(L"Plover", m_spPanel->GetWindowText()) << "not minimised: the plain title";

  ::ShowWindow(Window(), SW_MINIMIZE);
  PumpPending();
  m_spPanel->UpdateTitle(&running);
  EXPECT_EQ(L"01:02:03 Plover", m_spPanel->GetWindowText());
  m_spPanel->UpdateTitle(nullptr);
  EXPECT_EQ(L"Plover", m_spPanel->GetWindowText());

  m_spPanel->UpdateTitle(&running);
  ::ShowWindow(Window(), SW_RESTORE);
  PumpPending();
  EXPECT_EQ(L"Plover", m_spPanel->GetWindowText()) << "restoring gives the plain title back";
}

}  // namespace
