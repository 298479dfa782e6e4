// The record panel in the main window on the simulated camcorder: the recordable time and its
// colours, the capped and blinking dropped-frame count, the keys, the number of a new recording, a
// recording whose file stops taking data part way through, a history row opened for playing, and the
// panel's seven states, pictured in both languages.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "MainWindowTestSupport.h"
#include "ScreenCapture.h"
#include "devices/Bus.h"
#include "devices/BusControl.h"
#include "files/AviInspection.h"
#include "framework/Resources.h"
#include "media/WriteLimit.h"
#include "resource.h"
#include "ui/SkinLabel.h"

namespace {

constexpr ULONGLONG kReserveBytes = 524288000;
constexpr ULONGLONG kBytesPerSecond = 3937053;

// How wide a text is drawn in a control's font, and how tall that font is.
int TextWidthIn(HWND control, const std::wstring& text) {
  HDC dc = ::GetDC(control);
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return static_cast<int>(extent.cx);
}

LONG FontHeight(HWND control) {
  LOGFONTW look{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(look), &look);
  return look.lfHeight;
}

// Pictures of the main window for a person to look at, beside the end-to-end tests' ones.
void Shot(HWND window, const std::wstring& name) {
  PumpPending();
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 300);
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder = module;
  folder = folder.substr(0, folder.rfind(L'\\'));
  folder = folder.substr(0, folder.rfind(L'\\')) + L"\\e2e-shots";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_TRUE(e2e::SavePicture(e2e::CaptureWindow(window), folder + L"\\" + name + L".bmp")) << "picture";
}

// A volume with as much free space as the test says, and an NTFS file system.
class FreeSpaceVolume final : public VolumeQuery {
 public:
  BOOL GetFreeBytes(const std::wstring&, ULONGLONG* free) override {
    *free = m_nFree;
    return TRUE;
  }
  // A FAT32 volume on which one file has grown past the file system's limit.
  BOOL GetFileSystemName(const std::wstring& root, std::wstring* name) override {
    if (m_strFullFile.empty()) return VolumeQuery::GetFileSystemName(root, name);
    *name = L"FAT32";
    return TRUE;
  }
  BOOL GetFileSize(const std::wstring& path, ULONGLONG* size) override {
    if (path != m_strFullFile) return VolumeQuery::GetFileSize(path, size);
    *size = 5ULL << 30;
    return TRUE;
  }
  ULONGLONG m_nFree = 100ULL << 30;
  std::wstring m_strFullFile;
};

// Reaches the graph's last polled drop count, which the panel shows.
class DropCountAccess : public RecordGraph {
 public:
  static void Set(RecordGraph& graph, int count) { static_cast<DropCountAccess&>(graph).m_nDroppedTotal = count; }
};

class RecordPanelTest : public MainWindowTest {
 protected:
  RecordPanel& Panel() { return m_spPanel->GetRecordPanel(); }
  // A step for WhileModal: answers the first message box with OK, keeping its text in `message`.
  std::function<bool()> AnswerMessageBoxInto(std::wstring& message) {
    return [this, &message] {
      const std::vector<HWND> boxes = VisibleDialogs(Window());
      if (boxes.empty()) return false;
      message = MessageBoxText(boxes.front());
      ::PostMessageW(boxes.front(), WM_COMMAND, IDOK, 0);
      return true;
    };
  }
  std::wstring Text(int id) {
    wchar_t text[512] = {};
    ::GetDlgItemTextW(Panel(), id, text, 512);
    return text;
  }
  bool Shown(int id) { return ::IsWindowVisible(Panel().GetDlgItem(id)) != FALSE; }
  COLORREF TextColor(int id) {
    auto* label = dynamic_cast<SkinLabel*>(framework::Window::FromHandle(Panel().GetDlgItem(id)));
    return label != nullptr ? label->GetTextColor() : CLR_INVALID;
  }
  void StatusTick() { ::SendMessageW(Panel(), WM_TIMER, RecordPanel::kStatusTimerId, 0); }
  // Ticks the status until the panel shows the state; the preview may take a tick to start.
  bool TickUntilState(int state) {
    for (int tick = 0; tick < 5; ++tick) {
      StatusTick();
      if (Panel().GetPanelState() == state) return true;
      PumpPending();
    }
    return false;
  }
  // Opens the window with the camcorder usable and the panel watching a volume of the test.
  void OpenReady() {
    Open();
    ASSERT_TRUE(BringUp());
    Panel().GetRecordGraph().SetVolumeQuery(&m_volume);
  }

  FreeSpaceVolume m_volume;
};

TEST_F(RecordPanelTest, RecordableTimeShowsHoursOnlyWhenThereAreAnyAndWarnsInColour) {
  OpenReady();
  struct Case {
    ULONGLONG minutes;
    bool hoursShown;
    const wchar_t* hours;
    const wchar_t* shownMinutes;
    COLORREF colour;
    int state;
  };
  const Case cases[] = {
      {150 * 60 + 7, true, L"150", L"7", RGB(240, 240, 240), RecordPanel::kPanelReady},
      {65, true, L"1", L"5", RGB(240, 240, 240), RecordPanel::kPanelReady},
      {6, false, L"0", L"6", RGB(240, 240, 240), RecordPanel::kPanelReady},
      {4, false, L"0", L"4", RGB(239, 242, 1), RecordPanel::kPanelReady},
      {0, false, L"0", L"0", RGB(194, 68, 29), RecordPanel::kPanelDiskFull},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minutes);
    m_volume.m_nFree = kReserveBytes + c.minutes * 60 * kBytesPerSecond + kBytesPerSecond / 2;
    EXPECT_TRUE(TickUntilState(c.state)) << Panel().GetPanelState();
    EXPECT_EQ(c.hoursShown, Shown(IDC_RECORD_HOURS));
    EXPECT_EQ(c.hoursShown, Shown(IDC_RECORD_HOURS_UNIT));
    if (c.hoursShown) {
      EXPECT_EQ(c.hours, Text(IDC_RECORD_HOURS));
      // Every digit of a large disk's hours is drawn; fewer digits take the minutes' full size.
      HWND hours = Panel().GetDlgItem(IDC_RECORD_HOURS);
      RECT field{};
      ::GetClientRect(hours, &field);
      EXPECT_LE(TextWidthIn(hours, c.hours), field.right);
      if (wcslen(c.hours) < 3) {
        EXPECT_EQ(FontHeight(Panel().GetDlgItem(IDC_RECORD_MINUTES)), FontHeight(hours));
      } else {
        Shot(Window(), L"record-time-left-150h");
      }
    }
    EXPECT_TRUE(Shown(IDC_RECORD_MINUTES));
    EXPECT_EQ(c.shownMinutes, Text(IDC_RECORD_MINUTES));
    EXPECT_EQ(c.colour, TextColor(IDC_RECORD_MINUTES));
    EXPECT_EQ(c.colour, TextColor(IDC_RECORD_MINUTES_UNIT));
  }
  // An empty disk says so and allows no recording.
  EXPECT_EQ(framework::LoadResString(IDS_DISK_FULL), Text(IDC_RECORD_ANNOUNCEMENT));
  EXPECT_FALSE(::IsWindowEnabled(Panel().GetDlgItem(IDC_RECORD_RECORD)));
  // Ten seconds are too few to start with; eleven are enough.
  m_volume.m_nFree = kReserveBytes + 10 * kBytesPerSecond;
  EXPECT_TRUE(TickUntilState(RecordPanel::kPanelDiskFull));
  m_volume.m_nFree = kReserveBytes + 11 * kBytesPerSecond;
  EXPECT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  EXPECT_TRUE(Text(IDC_RECORD_ANNOUNCEMENT).empty());
  EXPECT_TRUE(::IsWindowEnabled(Panel().GetDlgItem(IDC_RECORD_RECORD)));
}

TEST_F(RecordPanelTest, TheDroppedFrameCountStopsAt999AndThenBlinks) {
  Open();
  struct Case {
    int count;
    const wchar_t* first;
    const wchar_t* second;
  };
  const Case cases[] = {{0, L"0", L"0"}, {998, L"998", L"998"}, {999, L"", L"999"}, {1000, L"", L"999"},
                        {54321, L"", L"999"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    DropCountAccess::Set(Panel().GetRecordGraph(), c.count);
    // Every tick of the counter timer shows the count anew.
    std::vector<std::wstring> shown;
    for (int tick = 0; tick < 4; ++tick) {
      ::SendMessageW(Panel(), WM_TIMER, RecordPanel::kCounterTimerId, 0);
      shown.push_back(Text(IDC_RECORD_DROPS));
    }
    // The blinking pair may start at either half.
    const bool startsShown = shown[0] == c.second;
    EXPECT_EQ(startsShown ? c.second : c.first, shown[0]);
    EXPECT_EQ(startsShown ? c.first : c.second, shown[1]);
    EXPECT_EQ(shown[0], shown[2]);
    EXPECT_EQ(shown[1], shown[3]);
  }
}

TEST_F(RecordPanelTest, F5OnThePlayTabAndF6InStandardModeDoNothing) {
  OpenReady();
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  m_spPanel->SelectTab(MainPanel::kPlayTab);
  MSG key{Panel(), WM_KEYDOWN, VK_F5, 1, 0, {}};
  EXPECT_FALSE(Panel().OnKeyDown(&key));
  key.wParam = VK_F6;
  EXPECT_FALSE(Panel().OnKeyDown(&key));
  EXPECT_EQ(RecordPanel::kRecordNone, Panel().GetRecordState());
  m_spPanel->SelectTab(MainPanel::kRecordTab);
  EXPECT_TRUE(Panel().OnKeyDown(&key));  // F6 is the panel's, but standard mode has no finalize
  EXPECT_EQ(RecordPanel::kRecordNone, Panel().GetRecordState());
  EXPECT_FALSE(Shown(IDC_RECORD_FINALIZE));
  EXPECT_FALSE(Shown(IDC_RECORD_F6));
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Ansi(const std::wstring& text) {
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
  converted.resize(converted.size() - 1);
  return converted;
}

TEST_F(RecordPanelTest, AFileThatStopsTakingDataEndsTheRecordingAndIsListedAsCutShort) {
  // The camcorder's frames come in real time from the start.
  devices::Bus::Get().SetTickSource(nullptr);
  OpenReady();
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  const std::wstring path = m_spPanel->GetSettings().GetNextFilePath();
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_RECORD, BN_CLICKED), 0);
  ASSERT_EQ(RecordPanel::kRecordRunning, Panel().GetRecordState());
  EXPECT_EQ(RecordGraph::StateCapture, Panel().GetRecordGraph().GetState());
  PumpUntil([] { return false; }, 1500);

  std::wstring message;
  WhileModal closeBox(AnswerMessageBoxInto(message));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  media::SetFileWriteLimit(data.nFileSizeLow + 1, ERROR_DISK_FULL);
  const bool ended = PumpUntil([&] { return !message.empty(); }, 5000);
  media::SetFileWriteLimit(0, 0);
  ASSERT_TRUE(ended) << "the failed writes went unnoticed";

  const std::wstring heading = framework::LoadResString(IDS_RECORD_WRITE_ERROR);
  EXPECT_EQ(0u, message.find(heading.substr(0, heading.find(L'\n')))) << std::string(message.begin(), message.end());
  EXPECT_GT(message.size(), heading.size() - 2) << "no system error text";
  EXPECT_EQ(RecordPanel::kRecordStopped, Panel().GetRecordState());
  EXPECT_EQ(RecordGraph::StatePreview, Panel().GetRecordGraph().GetState());
  EXPECT_TRUE(Shown(IDC_RECORD_RECORD));
  EXPECT_FALSE(Shown(IDC_RECORD_STOP));

  // The file holds what was written up to its last checkpoint, and is listed and logged as cut.
  int format = 0, type = 0;
  DWORD frames = 0;
  std::vector<DWORD> drops;
  EXPECT_TRUE(GetAVIDropInfo(path, &format, &type, &frames, &drops));
  EXPECT_GE(frames, 25u);
  DropHistoryList& history = Panel().GetHistoryList();
  ASSERT_EQ(1u, history.GetFileRecords().size());
  wchar_t count[32] = {};
  LVITEMW item{};
  item.iSubItem = 1;
  item.pszText = count;
  item.cchTextMax = 32;
  ::SendMessageW(history, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(framework::LoadResString(IDS_RECORD_CUT_SHORT), count);
  const std::string log = ReadFile(path.substr(0, path.rfind(L'\\')) + L"\\PLVR.LOG");
  EXPECT_NE(std::string::npos, log.find(Ansi(framework::LoadResString(IDS_RECORD_CUT_SHORT) + L": "))) << log;
  // The serial number moved on: the next Record never reuses the cut file.
  EXPECT_NE(path, m_spPanel->GetSettings().GetNextFilePath());
}

TEST_F(RecordPanelTest, AFileAtItsFileSystemsSizeLimitIsClosedAndTheRecordingGoesOnInTheNext) {
  devices::Bus::Get().SetTickSource(nullptr);
  OpenReady();
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  AppSettings& settings = m_spPanel->GetSettings();
  const std::wstring first = settings.GetNextFilePath();
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_RECORD, BN_CLICKED), 0);
  PumpUntil([] { return false; }, 1000);
  m_volume.m_strFullFile = first;
  ASSERT_TRUE(PumpUntil([&] { return Panel().GetRecordGraph().GetFilePath() != first; }, 3000));
  EXPECT_EQ(RecordPanel::kRecordRunning, Panel().GetRecordState());
  EXPECT_EQ(RecordGraph::StateCapture, Panel().GetRecordGraph().GetState());
  const std::wstring second = Panel().GetRecordGraph().GetFilePath();
  EXPECT_EQ(L"PLVR0002", Text(IDC_RECORD_FILE_NAME));
  PumpUntil([] { return false; }, 1000);
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_STOP, BN_CLICKED), 0);
  EXPECT_EQ(RecordPanel::kRecordStopped, Panel().GetRecordState());

  // Both files are whole, listed and logged; the next one would be the third.
  for (const std::wstring& path : {first, second}) {
    int format = 0, type = 0;
    DWORD frames = 0;
    std::vector<DWORD> drops;
    EXPECT_TRUE(GetAVIDropInfo(path, &format, &type, &frames, &drops));
    EXPECT_GE(frames, 20u);
  }
  EXPECT_EQ(2u, Panel().GetHistoryList().GetFileRecords().size());
  const std::string log = ReadFile(first.substr(0, first.rfind(L'\\')) + L"\\PLVR.LOG");
  EXPECT_NE(std::string::npos, log.find("\\PLVR0001\r\n"));
  EXPECT_NE(std::string::npos, log.find("\\PLVR0002\r\n"));
  EXPECT_EQ(3, settings.GetNextSerialNumber());
}

TEST_F(RecordPanelTest, ANewRecordingTakesTheFoldersNextNumberWithoutWaitingForAStatusTick) {
  devices::Bus::Get().SetTickSource(nullptr);
  OpenReady();
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  AppSettings& settings = m_spPanel->GetSettings();
  auto click = [&](int id) { ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
  click(IDC_RECORD_RECORD);
  PumpUntil([] { return false; }, 500);
  click(IDC_RECORD_STOP);
  ASSERT_EQ(2, settings.GetNextSerialNumber());

  // The prefix changes, as the option sheet changes it, and Record comes before the next tick.
  settings.SetFilePrefix(L"CLIP");
  click(IDC_RECORD_RECORD);
  const std::wstring path = Panel().GetRecordGraph().GetFilePath();
  EXPECT_EQ(L"CLIP0001.avi", path.substr(path.rfind(L'\\') + 1));
  PumpUntil([] { return false; }, 300);
  click(IDC_RECORD_STOP);
}

TEST_F(RecordPanelTest, DoubleClickInTheHistoryPlaysTheFileFromTheDropsSecondOrFromTheStart) {
  devices::Bus::Get().SetTickSource(nullptr);
  OpenReady();
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  const std::wstring path = m_spPanel->GetSettings().GetNextFilePath();
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_RECORD, BN_CLICKED), 0);
  // Frames lost after a second and a half: their row is that of second 1 or later.
  PumpUntil([] { return false; }, 1500);
  EXPECT_EQ("OK", devices::ExecuteBusCommand("drop 3"));
  PumpUntil([] { return false; }, 1000);
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_STOP, BN_CLICKED), 0);
  ASSERT_EQ(RecordPanel::kRecordStopped, Panel().GetRecordState());

  DropHistoryList& history = Panel().GetHistoryList();
  PlayGraph& player = m_spPanel->GetPlayPanel().GetPlayGraph();
  // Selects a row and double-clicks it as the mouse would; returns the row's second.
  auto open = [&](int row) {
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(history, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    PumpPending();
    int second = -2;
    history.GetSelectedEntry(nullptr, nullptr, nullptr, &second, nullptr);
    RECT place{};
    place.left = LVIR_BOUNDS;
    ::SendMessageW(history, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&place));
    ::PostMessageW(history, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(place.left + 20, (place.top + place.bottom) / 2));
    PumpPending();
    return second;
  };
  int dropRow = -1;
  for (int row = 0; row < history.GetRowCount() && dropRow < 0; ++row) {
    int second = -1;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    ::SendMessageW(history, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    if (history.GetSelectedEntry(nullptr, nullptr, nullptr, &second, nullptr) && second >= 0) dropRow = row;
  }
  ASSERT_GE(dropRow, 1) << "no drop row under the file row";
  PumpPending();

  // The file changed since it was listed (its last write time moved on): message 154, no play.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  auto setWriteTime = [&](FILETIME time) {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(::SetFileTime(file, nullptr, nullptr, &time));
    ::CloseHandle(file);
  };
  FILETIME later = data.ftLastWriteTime;
  later.dwHighDateTime += 1;
  setWriteTime(later);
  std::wstring message;
  {
    WhileModal closeBox(AnswerMessageBoxInto(message));
    open(dropRow);
    PumpUntil([&] { return !message.empty(); }, 3000);
  }
  EXPECT_EQ(framework::LoadResString(IDS_FILE_NOT_FOUND), message);
  EXPECT_EQ(MainPanel::kRecordTab, m_spPanel->GetCurrentTab());
  setWriteTime(data.ftLastWriteTime);

  // The drop row: the play tab shows the file at the drop's second and plays it.
  const int second = open(dropRow);
  ASSERT_GE(second, 1);
  EXPECT_EQ(MainPanel::kPlayTab, m_spPanel->GetCurrentTab());
  EXPECT_EQ(path, player.GetFilePath());
  EXPECT_EQ(PlayGraph::StatePlaying, player.GetState());
  const int frame = player.GetCurrentFrame();
  EXPECT_GE(frame, second * 30 - 1);
  EXPECT_LT(frame, second * 30 + 20);

  // The file row: from the start.
  m_spPanel->SelectTab(MainPanel::kRecordTab);
  PumpPending();
  EXPECT_EQ(-1, open(0));
  EXPECT_EQ(MainPanel::kPlayTab, m_spPanel->GetCurrentTab());
  EXPECT_EQ(path, player.GetFilePath());
  EXPECT_LT(player.GetCurrentFrame(), 20);
}

class RecordPanelStatesTest : public RecordPanelTest, public ::testing::WithParamInterface<bool> {
 protected:
  void TearDown() override {
    RecordPanelTest::TearDown();
    framework::SetResourceHandle(framework::GetInstanceHandle());
    if (m_hLanguage != nullptr) ::FreeLibrary(m_hLanguage);
  }
  HMODULE m_hLanguage = nullptr;
};

TEST_P(RecordPanelStatesTest, EachStateHasItsLookInBothLanguages) {
  const bool english = GetParam();
  const std::wstring language = english ? L"en" : L"ja";
  if (english) {
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring path = module;
    path = path.substr(0, path.rfind(L'\\'));
    path = path.substr(0, path.rfind(L'\\')) + L"\\lang\\PLVRLang.dll";
    m_hLanguage = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, m_hLanguage);
    framework::SetResourceHandle(m_hLanguage);
  }
  // The camcorder's frames come in real time from the start.
  devices::Bus::Get().SetTickSource(nullptr);
  OpenReady();
  // Each unit letter of the recordable time fits its field, whatever face the language draws it in.
  for (const int id : {IDC_RECORD_HOURS_UNIT, IDC_RECORD_MINUTES_UNIT}) {
    HWND unit = ::GetDlgItem(Panel(), id);
    wchar_t letter[4] = {};
    ::GetWindowTextW(unit, letter, 4);
    RECT field{};
    ::GetClientRect(unit, &field);
    EXPECT_LE(TextWidthIn(unit, letter), field.right) << "unit " << id;
  }
  AppSettings& settings = m_spPanel->GetSettings();
  auto shot = [&](int state) {
    EXPECT_EQ(state, Panel().GetPanelState());
    Shot(Window(), L"record-state" + std::to_wstring(state) + L"-" + language);
  };

  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  shot(RecordPanel::kPanelReady);

  // The preview gone: the camcorder looks taken by another program until it runs again.
  Panel().GetRecordGraph().ClearGraph();
  StatusTick();
  shot(RecordPanel::kPanelInUse);
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));

  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_RECORD, BN_CLICKED), 0);
  PumpUntil([] { return false; }, 1200);
  StatusTick();
  shot(RecordPanel::kPanelRecording);
  EXPECT_TRUE(Shown(IDC_RECORD_STOP));
  EXPECT_FALSE(Shown(IDC_RECORD_RECORD));
  EXPECT_TRUE(Shown(IDC_RECORD_FILE_NAME));
  EXPECT_EQ(L"PLVR0001", Text(IDC_RECORD_FILE_NAME));
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_STOP, BN_CLICKED), 0);
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));

  // Linked mode: stopped with the file open.
  settings.SetRecordMode(1);
  Panel().GetRecordGraph().SetRecordMode(RecordGraph::ModeLinked);
  Panel().RefreshSettings();
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_RECORD, BN_CLICKED), 0);
  PumpUntil([] { return false; }, 800);
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_STOP, BN_CLICKED), 0);
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelPaused));
  EXPECT_TRUE(Shown(IDC_RECORD_LINKED_NOTICE));
  EXPECT_TRUE(Shown(IDC_RECORD_FINALIZE));
  shot(RecordPanel::kPanelPaused);
  ::SendMessageW(Panel(), WM_COMMAND, MAKEWPARAM(IDC_RECORD_FINALIZE, BN_CLICKED), 0);
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelReady));
  EXPECT_EQ(2, Panel().GetHistoryList().GetRowCount());

  // No automatic name left.
  const std::wstring last = settings.GetVideoFolder() + settings.MakeFileName(AppSettings::kLastSerialNumber);
  ::CloseHandle(::CreateFileW(last.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelNoFileName));
  EXPECT_EQ(framework::LoadResString(IDS_FILE_NAMES_EXHAUSTED), Text(IDC_RECORD_ANNOUNCEMENT));
  shot(RecordPanel::kPanelNoFileName);
  ::DeleteFileW(last.c_str());

  m_volume.m_nFree = 0;
  ASSERT_TRUE(TickUntilState(RecordPanel::kPanelDiskFull));
  shot(RecordPanel::kPanelDiskFull);
  m_volume.m_nFree = 100ULL << 30;

  devices::ExecuteBusCommand("unplug");
  ASSERT_TRUE(TickUntil([&] {
    StatusTick();
    return Panel().GetPanelState() == RecordPanel::kPanelNoCamcorder;
  }));
  EXPECT_EQ(framework::LoadResString(IDS_CAMCORDER_NOT_CONNECTED), Text(IDC_RECORD_ANNOUNCEMENT));
  shot(RecordPanel::kPanelNoCamcorder);
}

INSTANTIATE_TEST_SUITE_P(Languages, RecordPanelStatesTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "English" : "Japanese"; });

}  // namespace
