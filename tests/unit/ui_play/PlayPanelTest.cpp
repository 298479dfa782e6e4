// The play panel in the main window: a folder of recordings with dropped frames, the file shown
// paused at its start, playing and pausing, the dropped scenes and their counts, the end of a file,
// the record panel's play request, a file that cannot be loaded, and deleting the shown file.
#include "MainWindowTestSupport.h"
#include "TestRecording.h"

#include <set>

#include "avi/AviWriter.h"
#include "avi/FileIo.h"
#include "dv/Pattern.h"
#include "framework/Resources.h"
#include "resource.h"

namespace {

class PlayPanelTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    m_strFirst = m_strFolder + L"Rec 001.avi";
    m_strSecond = m_strFolder + L"Rec 002.avi";
    // Drops: a scene of three frames at 1.2 s and a single frame at 2.8 s.
    WriteTestRecording(m_strFirst, 100, {30, 31, 32, 70});
    WriteTestRecording(m_strSecond, 30, {});
    Open(/*newFolderCreate=*/0);
  }

  PlayPanel& Panel() { return m_spPanel->GetPlayPanel(); }
  PlayGraph& Graph() { return Panel().GetPlayGraph(); }
  std::wstring Text(int id) {
    wchar_t text[512] = {};
    ::GetDlgItemTextW(Panel(), id, text, 512);
    return text;
  }
  bool Visible(int id) { return ::IsWindowVisible(Panel().GetDlgItem(id)) != FALSE; }
  bool Enabled(int id) { return ::IsWindowEnabled(Panel().GetDlgItem(id)) != FALSE; }
  std::wstring Timecode() {
    return Text(IDC_PLAY_TIMECODE_HOURS) + Text(IDC_PLAY_TIMECODE_MINUTES) + Text(IDC_PLAY_TIMECODE_SECONDS) +
           Text(IDC_PLAY_TIMECODE_FRAMES);
  }
  void Command(int id) { ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  BOOL Key(WPARAM key) {
    MSG msg{Panel(), WM_KEYDOWN, key, 1, 0, {}};
    return Panel().OnKeyDown(&msg);
  }
  void OpenPlayTab() {
    m_spPanel->SelectTab(MainPanel::kPlayTab);
    PumpPending();
  }
  // Selects a file in the list as a click would, and lets the panel load it.
  void Choose(const std::wstring& path) {
    Panel().GetFileList().SelectFile(path, true);
    ASSERT_TRUE(PumpUntil([&] { return Graph().GetFilePath() == path; }, 3000));
  }

  std::wstring m_strFirst;
  std::wstring m_strSecond;
};

TEST_F(PlayPanelTest, AChosenFileShowsPausedAtItsStartAndTheDroppedScenesStepWithTheirCounts) {
  OpenPlayTab();
  EXPECT_EQ(m_strFolder, Text(IDC_PLAY_FOLDER));
  EXPECT_TRUE(Panel().IsFolderHeld());
  const std::vector<std::wstring> listed = Panel().GetFileList().GetPaths();
  EXPECT_EQ(2u, listed.size());
  // Nothing is shown until a file is chosen.
  EXPECT_EQ(PlayGraph::StateNoFile, Graph().GetState());
  EXPECT_FALSE(Enabled(IDC_PLAY_PLAY));
  EXPECT_EQ(L"", Text(IDC_PLAY_ANNOUNCEMENT));

  Choose(m_strFirst);
  EXPECT_EQ(PlayGraph::StatePaused, Graph().GetState());
  EXPECT_TRUE(Panel().IsFileHeld());
  EXPECT_EQ(L"Rec 001", Text(IDC_PLAY_FILE_NAME));
  EXPECT_TRUE(Enabled(IDC_PLAY_PLAY));
  EXPECT_TRUE(Enabled(IDC_PLAY_TO_START));
  EXPECT_EQ(L"00:00:00:00", Timecode());
  EXPECT_TRUE(Visible(IDC_PLAY_TOTAL_TIME));
  // 100 frames at 25 a second: the last frame starts at 3 s 24 frames.
  EXPECT_EQ(L"合計時間 : 00:00:03", Text(IDC_PLAY_TOTAL_TIME));
  EXPECT_EQ(PlayPanel::kPreview4x3, Panel().GetPreviewGeometry());

  struct Step {
    int command;
    int frame;
    const wchar_t* previous;
    const wchar_t* next;
    const wchar_t* timecode;
  };
  // At single frames a scene that holds the position counts as neither before nor after it.
  const Step steps[] = {
      {0, 0, L"", L"2", L"00:00:00:00"},
      {IDC_PLAY_NEXT_DROP, 30, L"", L"1", L"00:00:01:05"},
      {IDC_PLAY_NEXT_DROP, 70, L"1", L"", L"00:00:02:20"},
      {IDC_PLAY_NEXT_DROP, 70, L"1", L"", L"00:00:02:20"},
      {IDC_PLAY_PREVIOUS_DROP, 30, L"", L"1", L"00:00:01:05"},
      {IDC_PLAY_TO_START, 0, L"", L"2", L"00:00:00:00"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.frame);
    if (step.command != 0) Command(step.command);
    EXPECT_EQ(step.frame, Graph().GetCurrentFrame());
    EXPECT_EQ(step.frame, Panel().GetSlider().CellToFrame(Panel().GetSlider().GetCurrentCell()));
    EXPECT_EQ(step.previous, Text(IDC_PLAY_PREVIOUS_COUNT));
    EXPECT_EQ(step.next, Text(IDC_PLAY_NEXT_COUNT));
    EXPECT_EQ(*step.previous != 0, Enabled(IDC_PLAY_PREVIOUS_DROP));
    EXPECT_EQ(*step.next != 0, Enabled(IDC_PLAY_NEXT_DROP));
    EXPECT_EQ(step.timecode, Timecode());
  }

  // Zoom: one frame a cell is the finest; at a second a cell the two scenes fill adjacent cells, one scene.
  EXPECT_EQ(5, Panel().GetSlider().GetZoomLevel());
  EXPECT_FALSE(Enabled(IDC_PLAY_ZOOM_IN));
  Command(IDC_PLAY_ZOOM_IN);
  EXPECT_EQ(5, Panel().GetSlider().GetZoomLevel());
  Command(IDC_PLAY_ZOOM_OUT);
  EXPECT_EQ(4, Panel().GetSlider().GetZoomLevel());
  EXPECT_TRUE(Enabled(IDC_PLAY_ZOOM_IN));
  EXPECT_EQ(L"1", Text(IDC_PLAY_NEXT_COUNT));
  for (int n = 0; n < 5; ++n) Command(IDC_PLAY_ZOOM_OUT);
  EXPECT_EQ(1, Panel().GetSlider().GetZoomLevel());
  EXPECT_FALSE(Enabled(IDC_PLAY_ZOOM_OUT));

  // A file without drops: both buttons off, no counts.
  Choose(m_strSecond);
  EXPECT_EQ(L"", Text(IDC_PLAY_PREVIOUS_COUNT));
  EXPECT_EQ(L"", Text(IDC_PLAY_NEXT_COUNT));
  EXPECT_FALSE(Enabled(IDC_PLAY_PREVIOUS_DROP));
  EXPECT_FALSE(Enabled(IDC_PLAY_NEXT_DROP));
}

// Counts the moments at which the play and pause buttons are visible together: every change of
// either button's position or visibility is looked at once it has been made.
class BothButtonsWatch {
 public:
  BothButtonsWatch(HWND play, HWND pause) {
    s_play = play;
    s_pause = pause;
    s_changes = s_both = 0;
    m_hook = ::SetWindowsHookExW(WH_CALLWNDPROC, &Look, nullptr, ::GetCurrentThreadId());
  }
  ~BothButtonsWatch() { ::UnhookWindowsHookEx(m_hook); }
  static int Changes() { return s_changes; }
  static int Both() { return s_both; }

 private:
  static LRESULT CALLBACK Look(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_WINDOWPOSCHANGED && (call->hwnd == s_play || call->hwnd == s_pause)) {
      ++s_changes;
      const auto visible = [](HWND button) { return (::GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE) != 0; };
      if (visible(s_play) && visible(s_pause)) ++s_both;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline HWND s_play = nullptr, s_pause = nullptr;
  static inline int s_changes = 0, s_both = 0;
  HHOOK m_hook = nullptr;
};

TEST_F(PlayPanelTest, F9PlaysAndPausesOnThePlayTabOnlyAndTheEndPausesUntilPlayStartsAgain) {
  // On the record tab the key is not the panel's.
  EXPECT_FALSE(Key(VK_F9));
  OpenPlayTab();
  Choose(m_strSecond);
  // Play and pause take each other's place without ever being shown together.
  BothButtonsWatch watch(Panel().GetDlgItem(IDC_PLAY_PLAY), Panel().GetDlgItem(IDC_PLAY_PAUSE));

  EXPECT_TRUE(Key(VK_F9));
  EXPECT_EQ(PlayGraph::StatePlaying, Graph().GetState());
  EXPECT_TRUE(Visible(IDC_PLAY_PAUSE));
  EXPECT_FALSE(Visible(IDC_PLAY_PLAY));
  // The 30-frame file ends after 1.2 s: it pauses there by itself.
  ASSERT_TRUE(PumpUntil([&] { return Graph().GetState() == PlayGraph::StatePaused; }, 5000));
  EXPECT_TRUE(Visible(IDC_PLAY_PLAY));
  EXPECT_EQ(30, Graph().GetCurrentFrame());
  EXPECT_EQ(L"00:00:01:05", Timecode());

  // Play at the end starts again from the beginning; F9 pauses it.
  Command(IDC_PLAY_PLAY);
  EXPECT_EQ(PlayGraph::StatePlaying, Graph().GetState());
  EXPECT_LT(Graph().GetCurrentFrame(), 10);
  EXPECT_TRUE(Key(VK_F9));
  EXPECT_EQ(PlayGraph::StatePaused, Graph().GetState());
  EXPECT_TRUE(Visible(IDC_PLAY_PLAY));

  // Another file chosen while one plays is shown paused at its start.
  Command(IDC_PLAY_PLAY);
  Choose(m_strFirst);
  EXPECT_EQ(PlayGraph::StatePaused, Graph().GetState());
  EXPECT_EQ(0, Graph().GetCurrentFrame());
  EXPECT_TRUE(Visible(IDC_PLAY_PLAY));

  // The record tab pauses, lets the graph go and leaves the file for the next visit.
  Command(IDC_PLAY_PLAY);
  m_spPanel->SelectTab(MainPanel::kRecordTab);
  EXPECT_EQ(PlayGraph::StateNoFile, Graph().GetState());
  EXPECT_FALSE(Key(VK_F9));
  OpenPlayTab();
  EXPECT_EQ(PlayGraph::StatePaused, Graph().GetState());
  EXPECT_EQ(m_strFirst, Graph().GetFilePath());
  EXPECT_GE(BothButtonsWatch::Changes(), 8);
  EXPECT_EQ(0, BothButtonsWatch::Both());
}

TEST_F(PlayPanelTest, PlayRequestsOpenTheFileAtTheirSecondAndZoom) {
  struct Case {
    int second;
    int mode;
    int zoom;
    int state;
  };
  // A history row: its second, one frame a cell, playing. A new recording: its start, seconds.
  for (const Case& c : {Case{2, 1, 5, PlayGraph::StatePlaying}, Case{-1, 0, 4, PlayGraph::StatePaused}}) {
    SCOPED_TRACE(c.second);
    m_spPanel->SelectTab(MainPanel::kRecordTab);
    m_spPanel->SetPlayRequest(m_strFirst, c.second, c.mode);
    OpenPlayTab();
    EXPECT_EQ(L"", m_spPanel->GetPlayRequest().strPath);
    EXPECT_EQ(m_strFirst, Graph().GetFilePath());
    EXPECT_EQ(m_strFolder, Text(IDC_PLAY_FOLDER));
    EXPECT_EQ(c.zoom, Panel().GetSlider().GetZoomLevel());
    EXPECT_EQ(c.state, Graph().GetState());
    EXPECT_GE(Graph().GetCurrentFrame(), c.second < 1 ? 0 : c.second * 25);
    EXPECT_EQ(m_strFirst, Panel().GetFileList().GetSelectedPath());
  }
}

TEST_F(PlayPanelTest, AFileThatCannotBeLoadedSaysSoAndCannotBePlayed) {
  // A recording cut off a little after its headers: listed as a recording, but it holds no frames.
  const std::wstring damaged = m_strFolder + L"Broken.avi";
  ASSERT_TRUE(::CopyFileW(m_strSecond.c_str(), damaged.c_str(), FALSE));
  const HANDLE handle = ::CreateFileW(damaged.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ::SetFilePointer(handle, 1024, nullptr, FILE_BEGIN);
  ::SetEndOfFile(handle);
  ::CloseHandle(handle);
  OpenPlayTab();
  Choose(m_strFirst);
  Panel().SelectFolder(m_strFolder);
  EXPECT_EQ(3u, Panel().GetFileList().GetPaths().size());

  Choose(damaged);
  EXPECT_EQ(PlayGraph::StateNoFile, Graph().GetState());
  EXPECT_EQ(framework::LoadResString(IDS_FILE_UNREADABLE), Text(IDC_PLAY_ANNOUNCEMENT));
  EXPECT_FALSE(Enabled(IDC_PLAY_PLAY));
  EXPECT_FALSE(Enabled(IDC_PLAY_TO_START));
  EXPECT_EQ(PlayPanel::kPreviewNone, Panel().GetPreviewGeometry());
  EXPECT_FALSE(Visible(IDC_PLAY_TOTAL_TIME));
  EXPECT_FALSE(Key(VK_F9) && Graph().GetState() != PlayGraph::StateNoFile);

  // A good file clears the message.
  Choose(m_strSecond);
  EXPECT_EQ(L"", Text(IDC_PLAY_ANNOUNCEMENT));
  EXPECT_TRUE(Visible(IDC_PLAY_TOTAL_TIME));
}

TEST_F(PlayPanelTest, DeletingTheShownFileAsksThenUnloadsItBeforeRemovingIt) {
  OpenPlayTab();
  // A file another program holds open cannot be deleted: it stays listed and shown, and the
  // user is told why.
  Choose(m_strSecond);
  {
    const HANDLE other = ::CreateFileW(m_strSecond.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                       nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    std::vector<std::wstring> texts;
    WhileModal answerBoxes([&] {
      const std::vector<HWND> boxes = VisibleDialogs(Window());
      if (boxes.empty()) return false;
      texts.push_back(MessageBoxText(boxes.front()));
      ::PostMessageW(boxes.front(), WM_COMMAND, texts.size() == 1 ? IDYES : IDOK, 0);
      return texts.size() == 2;
    });
    Command(IDM_FILE_DELETE);
    ::CloseHandle(other);
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(0u, texts[1].find(L"'Rec 002' を削除できませんでした。\n")) << texts[1];
    EXPECT_GT(texts[1].size(), std::wstring(L"'Rec 002' を削除できませんでした。\n").size());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_strSecond.c_str()));
    EXPECT_EQ(2u, Panel().GetFileList().GetPaths().size());
    EXPECT_EQ(m_strSecond, Graph().GetFilePath());
  }
  Choose(m_strFirst);
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer);
    std::wstring question;
    std::wstring shownWhileAsking;
    WhileModal answerBox([&] {
      const std::vector<HWND> boxes = VisibleDialogs(Window());
      if (boxes.empty()) return false;
      question = MessageBoxText(boxes.front());
      shownWhileAsking = Graph().GetFilePath();
      ::PostMessageW(boxes.front(), WM_COMMAND, answer, 0);
      return true;
    });
    Command(IDM_FILE_DELETE);
    EXPECT_EQ(L"'Rec 001' を削除します。よろしいですか?", question);
    EXPECT_EQ(m_strFirst, shownWhileAsking);
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(m_strFirst.c_str()));
  EXPECT_EQ(L"", Graph().GetFilePath());
  EXPECT_EQ(PlayGraph::StateNoFile, Graph().GetState());
  EXPECT_EQ(L"", Text(IDC_PLAY_FILE_NAME));
  EXPECT_FALSE(Panel().IsFileHeld());
  EXPECT_EQ(std::vector<std::wstring>{m_strSecond}, Panel().GetFileList().GetPaths());
}

TEST_F(PlayPanelTest, ChangingTheSortOrderKeepsTheSelectedFile) {
  // The older file first: the newer one is written a little later.
  FILETIME older{};
  const HANDLE handle = ::CreateFileW(m_strFirst.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  ::GetFileTime(handle, nullptr, nullptr, &older);
  ULARGE_INTEGER time{};
  time.LowPart = older.dwLowDateTime;
  time.HighPart = older.dwHighDateTime;
  time.QuadPart -= 600000000ULL;
  older.dwLowDateTime = time.LowPart;
  older.dwHighDateTime = time.HighPart;
  ::SetFileTime(handle, nullptr, nullptr, &older);
  ::CloseHandle(handle);
  OpenPlayTab();
  EXPECT_EQ((std::vector<std::wstring>{m_strSecond, m_strFirst}), Panel().GetFileList().GetPaths());
  Choose(m_strFirst);
  Command(IDM_SORT_OLDEST_FIRST);
  EXPECT_EQ(VideoFileList::SortOldestFirst, Panel().GetFileList().GetSortOrder());
  EXPECT_EQ((std::vector<std::wstring>{m_strFirst, m_strSecond}), Panel().GetFileList().GetPaths());
  EXPECT_EQ(m_strFirst, Panel().GetFileList().GetSelectedPath());
  // The same order again changes nothing, and the shown file stays loaded.
  Command(IDM_SORT_OLDEST_FIRST);
  EXPECT_EQ(m_strFirst, Graph().GetFilePath());
  EXPECT_EQ(PlayGraph::StatePaused, Graph().GetState());

  // The sort button's menu marks the order in force; its other item, chosen, sorts the other way.
  for (const auto& [key, order] : {std::pair{L'n', VideoFileList::SortNewestFirst}, std::pair{L'o', VideoFileList::SortOldestFirst}}) {
    SCOPED_TRACE(order);
    const bool newestBefore = Panel().GetFileList().GetSortOrder() == VideoFileList::SortNewestFirst;
    UINT newestState = 0;
    UINT oldestState = 0;
    WhileModal choose([&, key = key] {
      HWND popup = ::FindWindowW(L"#32768", nullptr);
      if (popup == nullptr || !::IsWindowVisible(popup)) return false;
      HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
      newestState = ::GetMenuState(menu, IDM_SORT_NEWEST_FIRST, MF_BYCOMMAND);
      oldestState = ::GetMenuState(menu, IDM_SORT_OLDEST_FIRST, MF_BYCOMMAND);
      ::PostMessageW(popup, WM_CHAR, key, 0);
      return true;
    });
    Command(IDC_PLAY_SORT);
    EXPECT_EQ(newestBefore, (newestState & MF_CHECKED) != 0);
    EXPECT_EQ(!newestBefore, (oldestState & MF_CHECKED) != 0);
    EXPECT_EQ(order, Panel().GetFileList().GetSortOrder());
  }
  EXPECT_EQ(m_strFirst, Panel().GetFileList().GetSelectedPath());
}

TEST_F(PlayPanelTest, ThePreviewTakesTheShapeOfTheShownPicture) {
  const std::wstring wide = m_strFolder + L"Rec 003.avi";
  WriteTestRecording(wide, 20, {}, /*wide=*/true);
  OpenPlayTab();
  Panel().SelectFolder(m_strFolder);
  struct Case {
    const std::wstring* path;
    int geometry;
    RECT place;
  };
  const std::wstring none;
  for (const Case& c : {Case{&wide, PlayPanel::kPreview16x9, {12, 51, 372, 253}},
                        Case{&m_strSecond, PlayPanel::kPreview4x3, {12, 17, 372, 287}},
                        Case{&none, PlayPanel::kPreviewNone, {12, 17, 12, 17}}}) {
    SCOPED_TRACE(c.geometry);
    Panel().ShowFile(*c.path, 0);
    // The picture's own report, posted from the stream, agrees with the file's headers.
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(c.geometry, Panel().GetPreviewGeometry());
    RECT place{};
    ::GetWindowRect(Panel().GetDlgItem(IDC_PLAY_PREVIEW), &place);
    ::MapWindowPoints(nullptr, Panel(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_TRUE(::EqualRect(&c.place, &place)) << place.left << "," << place.top << " " << place.right << "," << place.bottom;
  }
}

TEST_F(PlayPanelTest, TheFramingAidMenuOverThePreviewTogglesTheMainPanelsFlags) {
  m_spPanel->SetOverlayFlags(0, 1);
  OpenPlayTab();
  UINT centreState = 0;
  UINT marginState = 0;
  WhileModal choose([&] {
    HWND popup = ::FindWindowW(L"#32768", nullptr);
    if (popup == nullptr || !::IsWindowVisible(popup)) return false;
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
    centreState = ::GetMenuState(menu, IDM_PREVIEW_CENTRE_MARKER, MF_BYCOMMAND);
    marginState = ::GetMenuState(menu, IDM_PREVIEW_SAFE_MARGIN, MF_BYCOMMAND);
    ::PostMessageW(popup, WM_CHAR, L'c', 0);
    return true;
  });
  // A right click inside the 4:3 picture frame.
  ::SendMessageW(Panel(), WM_RBUTTONUP, 0, MAKELPARAM(100, 100));
  EXPECT_EQ(0u, centreState & MF_CHECKED);
  EXPECT_NE(0u, marginState & MF_CHECKED);
  int centre = 0;
  int margin = 0;
  m_spPanel->GetOverlayFlags(centre, margin);
  EXPECT_EQ(1, centre);
  EXPECT_EQ(1, margin);

  // Outside the frame (over the file list) no menu opens.
  ::PostMessageW(Panel(), WM_RBUTTONUP, 0, MAKELPARAM(500, 100));
  PumpPending();
  HWND popup = ::FindWindowW(L"#32768", nullptr);
  EXPECT_TRUE(popup == nullptr || !::IsWindowVisible(popup));
}

}  // namespace
