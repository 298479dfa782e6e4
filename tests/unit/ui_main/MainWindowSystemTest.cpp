// The main window and the system around it: power and session messages, the end of a session
// with its open windows, the recording folder it guards, and the help.
#include "MainWindowTestSupport.h"

#include <dbt.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include "devices/Bus.h"
#include "resource.h"

namespace {

constexpr LRESULT kBroadcastQueryDeny = 0x424D5144;

TEST_F(MainWindowTest, SuspendAndStandbyAreRefusedWhenNobodyCanBeAsked) {
  TraceEveryRecord();
  Open();
  struct Case {
    WPARAM event;
    LPARAM flags;
    LRESULT answer;
  };
  const Case cases[] = {
      {PBT_APMQUERYSUSPEND, 1, TRUE},
      {PBT_APMQUERYSTANDBY, 1, TRUE},
      {PBT_APMQUERYSUSPEND, 0, kBroadcastQueryDeny},
      {PBT_APMQUERYSTANDBY, 0, kBroadcastQueryDeny},
  };
  for (const Case& c : cases) {
    m_ini.ClearLog();
    EXPECT_EQ(c.answer, m_spPanel->SendMessage(WM_POWERBROADCAST, c.event, c.flags)) << c.event << "/" << c.flags;
    // Only an allowed suspend is an event for the panels.
    const bool traced = m_ini.ReadLog().find("EVENT_SUSPEND") != std::string::npos;
    EXPECT_EQ(c.answer == TRUE, traced) << c.event << "/" << c.flags;
  }
}

TEST_F(MainWindowTest, LockedSessionOrDisconnectedConsoleMakesTheComputerIdleForTheCamcorder) {
  Open();
  ASSERT_TRUE(BringUp());
  VirtualDriver& vcr = m_spPanel->GetDVManager().GetVirtualDevice();
  ASSERT_TRUE(vcr.IsLoaded());
  vcr.SetPcTapeState(PCTAPE_READY);
  auto reported = [this] {
    Tick(m_spPanel->GetDVManager(), m_clock, 5);
    devices::Bus& bus = devices::Bus::Get();
    auto lock = bus.Lock();
    return bus.GetCamcorder(0).Report().nTapeState;
  };
  ASSERT_EQ(PCTAPE_READY, reported());

  struct Step {
    WPARAM change;
    int expected;
  };
  const Step steps[] = {
      {WTS_SESSION_LOCK, PCTAPE_IDLE},        {WTS_SESSION_UNLOCK, PCTAPE_READY},
      {WTS_CONSOLE_DISCONNECT, PCTAPE_IDLE},  // the console is gone: unlocking does not count
      {WTS_SESSION_UNLOCK, PCTAPE_IDLE},      {WTS_CONSOLE_CONNECT, PCTAPE_READY},
  };
  for (const Step& step : steps) {
    m_spPanel->SendMessage(WM_WTSSESSION_CHANGE, step.change, 0);
    EXPECT_EQ(step.expected, reported()) << "after change " << step.change;
  }
}

TEST_F(MainWindowTest, SecondEndOfSessionQueryWhileAskingIsRefusedWithoutASecondBox) {
  Open();
  m_spPanel->GetRecordPanel().SetRecordStateForTesting(RecordPanel::kRecordRunning);

  int boxes = 0;
  LRESULT secondAnswer = -1;
  std::wstring text;
  {
    WhileModal modal([&] {
      std::vector<HWND> dialogs = VisibleDialogs(Window());
      if (dialogs.empty()) return false;
      text = MessageBoxText(dialogs.front());
      secondAnswer = m_spPanel->SendMessage(WM_QUERYENDSESSION, 0, 0);
      boxes = static_cast<int>(VisibleDialogs(Window()).size());
      ::PostMessageW(dialogs.front(), WM_COMMAND, IDNO, 0);
      return true;
    });
    EXPECT_EQ(0, m_spPanel->SendMessage(WM_QUERYENDSESSION, 0, 0)) << "answering No keeps the session";
  }
  EXPECT_EQ(L"録画中です。終了してもよろしいですか？", text);
  EXPECT_EQ(0, secondAnswer);
  EXPECT_EQ(1, boxes);
  EXPECT_FALSE(m_spPanel->IsClosing());
  EXPECT_TRUE(::IsWindowVisible(Window()));

  // Yes lets the session end: the recording is ended, the window hidden and shut down.
  {
    WhileModal modal([&] {
      std::vector<HWND> dialogs = VisibleDialogs(Window());
      if (dialogs.empty()) return false;
      ::PostMessageW(dialogs.front(), WM_COMMAND, IDYES, 0);
      return true;
    });
    EXPECT_NE(0, m_spPanel->SendMessage(WM_QUERYENDSESSION, 0, 0));
  }
  EXPECT_TRUE(m_spPanel->IsClosing());
  EXPECT_EQ(RecordPanel::kRecordNone, m_spPanel->GetRecordPanel().GetRecordState());
  EXPECT_FALSE(m_spPanel->GetRecordPanel().IsWindow());
  EXPECT_FALSE(::IsWindowVisible(Window()));
  // Without a recording a second query passes at once.
  EXPECT_NE(0, m_spPanel->SendMessage(WM_QUERYENDSESSION, 0, 0));
}

TEST_F(MainWindowTest, EndOfSessionAnswersAMessageBoxNoAndClosesADialogThenTheWindow) {
  Open();
  // A message box with a No button gets No.
  int answer = 0;
  {
    WhileModal modal([&] {
      if (VisibleDialogs(Window()).empty()) return false;
      m_spPanel->PostMessage(WM_APP + 3);
      return true;
    });
    answer = ::MessageBoxW(Window(), L"question", L"test", MB_YESNO);
  }
  EXPECT_EQ(IDNO, answer);

  // The chain goes on down to the main window itself.
  PumpUntil([this] { return m_spPanel->IsClosing(); }, 2000);
  EXPECT_TRUE(m_spPanel->IsClosing()) << "the chain went on to the main window";
}

TEST_F(MainWindowTest, EndOfSessionClosesAModalDialogWithoutANoButton) {
  Open();
  bool asked = false;
  {
    WhileModal modal([&] {
      if (VisibleDialogs(Window()).empty()) return false;
      asked = true;
      m_spPanel->PostMessage(WM_APP + 3);
      return true;
    });
    // The about box runs modally until it is closed.
    m_spPanel->SendMessage(WM_SYSCOMMAND, 0x10, 0);
  }
  EXPECT_TRUE(asked);
  EXPECT_TRUE(VisibleDialogs(Window()).empty());
  PumpUntil([this] { return m_spPanel->IsClosing(); }, 2000);
  EXPECT_TRUE(m_spPanel->IsClosing());
}

TEST_F(MainWindowTest, EmptyRecordingFolderIsRemovedAtExitAndAFilledOneKept) {
  for (bool withRecording : {false, true}) {
    SCOPED_TRACE(withRecording ? "with a recording" : "empty");
    Open(1);
    const std::wstring dated = m_spPanel->GetSettings().GetVideoFolder();
    ASSERT_NE(m_strFolder, dated);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(dated.c_str())) << "made at start";
    // Held open while it is watched.
    EXPECT_EQ(1, m_spPanel->WatchVideoFolder(dated));
    EXPECT_FALSE(::RemoveDirectoryW(dated.c_str())) << "the watched folder cannot be removed";
    const std::wstring file = dated + L"PLVR0001.avi";
    if (withRecording) {
      HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, handle);
      ::CloseHandle(handle);
    }
    m_spPanel->SendMessage(WM_CLOSE);
    EXPECT_TRUE(m_spPanel->IsClosing());
    EXPECT_EQ(withRecording, ::GetFileAttributesW(dated.c_str()) != INVALID_FILE_ATTRIBUTES);
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(dated.c_str());
    m_spPanel->DestroyWindow();
    m_spPanel.reset();
  }
}

TEST_F(MainWindowTest, LostVideoFolderIsReplacedByDocumentsWithMessage125) {
  Open(0);
  const std::wstring folder = m_spPanel->GetSettings().GetVideoFolder();
  EXPECT_EQ(1, m_spPanel->WatchVideoFolder(folder));
  const std::wstring lost = m_strFolder + L"gone\\";

  std::wstring text;
  {
    WhileModal modal([&] {
      std::vector<HWND> dialogs = VisibleDialogs(Window());
      if (dialogs.empty()) return false;
      text = MessageBoxText(dialogs.front());
      ::PostMessageW(dialogs.front(), WM_COMMAND, IDOK, 0);
      return true;
    });
    EXPECT_EQ(0, m_spPanel->WatchVideoFolder(lost));
  }
  const std::wstring documents = AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL);
  ASSERT_FALSE(documents.empty());
  EXPECT_EQ(L"ビデオフォルダ\"" + lost + L"\"を読み込むことができません。\nビデオフォルダを\"" + documents + L"\"に変更します。",
            text);
  // The change is saved at once.
  AppSettings saved;
  saved.Load();
  EXPECT_EQ(documents, saved.GetRecordFolder());
  EXPECT_EQ(0u, saved.GetNewFolderCreate());
  EXPECT_EQ(documents, m_spPanel->GetSettings().GetVideoFolder());
}

TEST_F(MainWindowTest, HelpOpensTheHelpFileBesideTheProgram) {
  Open();
  wchar_t program[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring expected(program);
  expected = expected.substr(0, expected.find_last_of(L'\\')) + L"\\Plover.chm";

  // F1 reaches the window as WM_HELP while it is the active window. A window of a test running
  // beside this one may take the activation away: the window is made active again before each try.
  for (int attempt = 0; attempt < 5 && m_spPanel->m_vecOpened.empty(); ++attempt) {
    ::SetForegroundWindow(Window());
    PumpUntil([this] { return ::GetActiveWindow() == Window(); }, 1000);
    ::PostMessageW(::GetFocus() != nullptr ? ::GetFocus() : Window(), WM_KEYDOWN, VK_F1, 1);
    PumpUntil([this] { return !m_spPanel->m_vecOpened.empty(); }, 1000);
  }
  m_spPanel->SendMessage(WM_SYSCOMMAND, 0x20, 0);
  EXPECT_EQ((std::vector<std::wstring>{expected, expected}), m_spPanel->m_vecOpened);
}

}  // namespace
