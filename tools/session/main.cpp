// plover-session: plays one step of a user's session with the running Plover.exe, as the user
// would (keys, buttons, the option sheet), waits with a deadline until the program shows the
// step's outcome and prints what it shows. Exit code 0 when the step was done, 1 when the program
// did not get there in time (the reason on stderr), 2 for a wrong command line.
//   plover-session STEP [ARGUMENT]    (steps: see Usage below)
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ProgramUnderTest.h"
#include "resource.h"

using namespace std::chrono_literals;

namespace {

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char Usage[] =
    "usage: plover-session STEP [ARGUMENT]\n"
    "  prepare FOLDER      settings of a first start, with FOLDER as the video folder (before the program starts)\n"
    "  folder-check        wait for the start-up question about the video folder\n"
    "  confirm-folder      answer it with OK\n"
    "  camcorder-ready     wait until the camcorder can record\n"
    "  record              F5 on the record tab: record (or go on with a paused linked recording)\n"
    "  stop                F5 while recording: stop, and wait for the file in the history\n"
    "  pause               F5 while recording in linked mode: pause the file\n"
    "  finalize            F6: close the linked file, and wait for it in the history\n"
    "  linked-mode         open the options, show the record page, choose linked mode\n"
    "  options-ok          close the options with OK\n"
    "  history             the rows of the recording history\n"
    "  play-tab            F4, and wait for the recordings in the file list\n"
    "  show-file NAME      choose the recording NAME (without .avi) in the file list\n"
    "  play                F9 on the play tab, and wait until it plays\n"
    "  wait-end            wait until playing reaches the end of the file\n"
    "  previous-drop       jump to the dropped scene before the position\n"
    "  zoom-in             the play tab's time slider at one frame a cell\n"
    "  close               close the program as a user does\n";

// Why the step failed; printed on stderr.
std::string g_strFailure;

bool Fail(const std::string& reason) {
  g_strFailure = reason;
  return false;
}

std::string Utf8(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), converted.data(), bytes, nullptr, nullptr);
  return converted;
}

// One line on stdout, UTF-8, whatever the console's code page.
void Say(const std::wstring& line) {
  const std::string text = Utf8(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// The windows of the running program, found by what they hold rather than by their captions, so
// that the steps work in either language.
class Program {
 public:
  // The main window: a dialog whose record panel holds the record panel's background.
  bool Find() {
    m_hMain = nullptr;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
      if (e2e::ChildDialogWith(window, IDC_RECORD_BACKGROUND) != nullptr) {
        m_hMain = window;
        GetWindowThreadProcessId(window, &m_nProcessId);
        return true;
      }
    }
    return false;
  }
  bool WaitForMainWindow(std::chrono::milliseconds timeout) {
    return e2e::WaitUntil([&] { return Find() && IsWindowVisible(m_hMain); }, timeout) ||
           Fail("the program's main window did not appear");
  }

  HWND Main() const { return m_hMain; }
  HWND RecordPanel() const { return e2e::ChildDialogWith(m_hMain, IDC_RECORD_BACKGROUND); }
  HWND PlayPanel() const { return e2e::ChildDialogWith(m_hMain, IDC_PLAY_BACKGROUND); }
  HWND RecordItem(int id) const { return GetDlgItem(RecordPanel(), id); }
  HWND PlayItem(int id) const { return GetDlgItem(PlayPanel(), id); }
  static bool Shown(HWND item) { return item != nullptr && IsWindowVisible(item); }
  static bool ShownEnabled(HWND item) { return Shown(item) && IsWindowEnabled(item); }

  // A visible dialog of the program's own, other than the main window, holding item `id`.
  HWND OtherDialogWith(int id) const {
    for (HWND window : e2e::TopWindowsOf(m_nProcessId)) {
      if (window != m_hMain && IsWindowVisible(window) && e2e::ClassName(window) == L"#32770" &&
          (id == 0 || GetDlgItem(window, id) != nullptr)) {
        return window;
      }
    }
    return nullptr;
  }
  // The option sheet: a dialog of the program holding a tab control.
  HWND OptionSheet() const {
    for (HWND window : e2e::TopWindowsOf(m_nProcessId)) {
      if (window != m_hMain && IsWindowVisible(window) && FindWindowExW(window, nullptr, WC_TABCONTROLW, nullptr)) {
        return window;
      }
    }
    return nullptr;
  }

  void PressKey(WPARAM key) const {
    PostMessageW(m_hMain, WM_KEYDOWN, key, 1);
    PostMessageW(m_hMain, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
  static void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  }

  bool WaitForExit(std::chrono::milliseconds timeout) const {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, m_nProcessId);
    if (process == nullptr) return true;  // already gone
    const bool ended = WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
  }

 private:
  HWND m_hMain = nullptr;
  DWORD m_nProcessId = 0;
};

// Memory in the program's process: a list-view control reads its requests from there and writes
// its answers there, so its items can be read and set from this process.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, size_t bytes) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    m_hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (m_hProcess != nullptr) m_pBase = VirtualAllocEx(m_hProcess, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (m_pBase != nullptr) VirtualFreeEx(m_hProcess, m_pBase, 0, MEM_RELEASE);
    if (m_hProcess != nullptr) CloseHandle(m_hProcess);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Valid() const { return m_pBase != nullptr; }
  BYTE* At(size_t offset) const { return static_cast<BYTE*>(m_pBase) + offset; }
  bool Write(size_t offset, const void* data, size_t bytes) const {
    return WriteProcessMemory(m_hProcess, At(offset), data, bytes, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t bytes) const {
    return ReadProcessMemory(m_hProcess, At(offset), data, bytes, nullptr) != FALSE;
  }

 private:
  HANDLE m_hProcess = nullptr;
  void* m_pBase = nullptr;
};

constexpr size_t MaxItemText = 260;

// The texts of a list view's rows, `columns` per row, read with LVM_GETITEMTEXT.
std::vector<std::vector<std::wstring>> ListRows(HWND list, int columns) {
  std::vector<std::vector<std::wstring>> rows;
  RemoteMemory memory(list, sizeof(LVITEMW) + MaxItemText * sizeof(wchar_t));
  if (!memory.Valid()) return rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    std::vector<std::wstring>& texts = rows.emplace_back();
    for (int column = 0; column < columns; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.pszText = reinterpret_cast<LPWSTR>(memory.At(sizeof(LVITEMW)));
      item.cchTextMax = MaxItemText;
      wchar_t text[MaxItemText] = {};
      DWORD_PTR length = 0;
      if (memory.Write(0, &item, sizeof(item)) &&
          SendMessageTimeoutW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory.At(0)), SMTO_ABORTIFHUNG, 5000,
                              &length) != 0) {
        memory.Read(sizeof(LVITEMW), text, sizeof(text) - sizeof(wchar_t));
      }
      texts.emplace_back(text);
    }
  }
  return rows;
}

// Selects and focuses one row, as a click on it does.
bool SelectListRow(HWND list, int row) {
  RemoteMemory memory(list, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  return memory.Valid() && memory.Write(0, &item, sizeof(item)) &&
         SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(memory.At(0))) != FALSE;
}

std::wstring Text(HWND item) { return e2e::WindowText(item); }

std::wstring Timecode(HWND panel, const int (&ids)[4]) {
  std::wstring text;
  for (int id : ids) text += Text(GetDlgItem(panel, id));
  return text;
}

constexpr int RecordTimecodeIds[4] = {IDC_RECORD_TC_HOURS, IDC_RECORD_TC_MINUTES, IDC_RECORD_TC_SECONDS, IDC_RECORD_TC_FRAMES};
constexpr int PlayTimecodeIds[4] = {IDC_PLAY_TIMECODE_HOURS, IDC_PLAY_TIMECODE_MINUTES, IDC_PLAY_TIMECODE_SECONDS,
                                    IDC_PLAY_TIMECODE_FRAMES};
constexpr int TimeSliderLevels = 5;
constexpr wchar_t SettingsKey[] = L"SOFTWARE\\Tavin\\Plover1.0";

// --- The steps ---

// A first start's settings, except for the video folder: the program still asks at start-up
// whether to keep that folder, records into a dated sub-folder in standard mode, and numbers
// the files from the first serial number.
bool Prepare(const std::wstring& folder) {
  RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
  const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKey, L"RecordFolder", REG_SZ, folder.c_str(),
                                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) return Fail("the video folder could not be set in the registry");
  Say(L"video folder: " + folder);
  return true;
}

bool FolderCheck(Program& program) {
  // The first start of a fresh Wine prefix takes long.
  HWND dialog = nullptr;
  if (!e2e::WaitUntil([&] { return program.Find() && (dialog = program.OtherDialogWith(IDC_FOLDER_CHECK_CHANGE)) != nullptr; }, 240s)) {
    return Fail("the start-up question about the video folder did not appear");
  }
  Say(L"the program asks: " + Text(dialog) + L": " + Text(GetDlgItem(dialog, IDC_FOLDER_CHECK_TEXT)));
  return true;
}

bool ConfirmFolder(Program& program) {
  HWND dialog = program.Find() ? program.OtherDialogWith(IDC_FOLDER_CHECK_CHANGE) : nullptr;
  if (dialog == nullptr) return Fail("no question about the video folder is open");
  Say(L"answered with " + Text(GetDlgItem(dialog, IDOK)));
  Program::Click(dialog, IDOK);
  if (!e2e::WaitUntil([&] { return program.OtherDialogWith(IDC_FOLDER_CHECK_CHANGE) == nullptr; }, 10s)) {
    return Fail("the question about the video folder did not close");
  }
  return program.WaitForMainWindow(20s);
}

bool CamcorderReady(Program& program) {
  if (!program.WaitForMainWindow(60s)) return false;
  if (!e2e::WaitUntil([&] { return Program::ShownEnabled(program.RecordItem(IDC_RECORD_RECORD)); }, 60s)) {
    return Fail("the record button did not become ready: " + Utf8(Text(program.RecordItem(IDC_RECORD_ANNOUNCEMENT))));
  }
  // The status tick shows the recordable time once a second.
  if (!e2e::WaitUntil([&] { return !Text(program.RecordItem(IDC_RECORD_MINUTES)).empty(); }, 10s)) {
    return Fail("the recordable time was not shown");
  }
  Say(L"camcorder: " + Text(GetDlgItem(program.Main(), IDC_MAIN_CAMCORDER_NAME)));
  Say(Text(program.RecordItem(IDC_RECORD_TIME_LABEL)) + L" " + Text(program.RecordItem(IDC_RECORD_HOURS)) + L" h " +
      Text(program.RecordItem(IDC_RECORD_MINUTES)) + L" m");
  Say(Text(program.RecordItem(IDC_RECORD_MODE)) + L", " + Text(program.RecordItem(IDC_RECORD_FORMAT)));
  Say(L"next file: " + Text(program.RecordItem(IDC_RECORD_FILE_NAME)));
  return true;
}

bool Record(Program& program) {
  if (!program.WaitForMainWindow(5s)) return false;
  program.PressKey(VK_F5);
  if (!e2e::WaitUntil([&] { return Program::ShownEnabled(program.RecordItem(IDC_RECORD_STOP)); }, 20s)) {
    return Fail("recording did not start: " + Utf8(Text(program.RecordItem(IDC_RECORD_ANNOUNCEMENT))));
  }
  Say(L"recording " + Text(program.RecordItem(IDC_RECORD_FILE_NAME)));
  return true;
}

int HistoryRowCount(const Program& program) {
  return static_cast<int>(SendMessageW(program.RecordItem(IDC_RECORD_HISTORY), LVM_GETITEMCOUNT, 0, 0));
}

// Waits until the record button is back, and with `listed` until the history has grown.
bool WaitStopped(Program& program, int rowsBefore, bool listed) {
  if (!e2e::WaitUntil([&] { return Program::ShownEnabled(program.RecordItem(IDC_RECORD_RECORD)); }, 30s)) {
    return Fail("the record button did not come back");
  }
  if (listed && !e2e::WaitUntil([&] { return HistoryRowCount(program) > rowsBefore; }, 15s)) {
    return Fail("the recorded file did not appear in the history");
  }
  Say(L"dropped frames " + Text(program.RecordItem(IDC_RECORD_DROPS)));
  return true;
}

void SayRecordingTime(const Program& program) {
  Say(L"stopped at " + Timecode(program.RecordPanel(), RecordTimecodeIds));
}

bool Stop(Program& program, bool listed) {
  if (!program.WaitForMainWindow(5s)) return false;
  if (!Program::ShownEnabled(program.RecordItem(IDC_RECORD_STOP))) return Fail("the program is not recording");
  const int rows = HistoryRowCount(program);
  SayRecordingTime(program);
  program.PressKey(VK_F5);
  if (!WaitStopped(program, rows, listed)) return false;
  if (!listed) {
    if (!Program::Shown(program.RecordItem(IDC_RECORD_LINKED_NOTICE))) return Fail("the linked recording did not pause");
    Say(Text(program.RecordItem(IDC_RECORD_LINKED_NOTICE)));
  }
  return true;
}

bool Finalize(Program& program) {
  if (!program.WaitForMainWindow(5s)) return false;
  if (!Program::ShownEnabled(program.RecordItem(IDC_RECORD_FINALIZE))) return Fail("there is no linked file to finalize");
  const int rows = HistoryRowCount(program);
  SayRecordingTime(program);
  program.PressKey(VK_F6);
  if (!WaitStopped(program, rows, true)) return false;
  return e2e::WaitUntil([&] { return !IsWindowEnabled(program.RecordItem(IDC_RECORD_FINALIZE)); }, 10s) ||
         Fail("the finalize button stayed enabled");
}

bool LinkedMode(Program& program) {
  if (!program.WaitForMainWindow(5s)) return false;
  Program::Click(program.Main(), IDC_MAIN_OPTIONS);
  HWND sheet = nullptr;
  if (!e2e::WaitUntil([&] { return (sheet = program.OptionSheet()) != nullptr; }, 15s)) return Fail("the options did not open");
  PostMessageW(sheet, PSM_SETCURSEL, 1, 0);
  HWND page = nullptr;
  if (!e2e::WaitUntil([&] {
        page = e2e::ChildDialogWith(sheet, IDC_OPT_MODE_LINKED);
        return page != nullptr && IsWindowVisible(page);
      }, 10s)) {
    return Fail("the record page of the options did not show");
  }
  HWND linked = GetDlgItem(page, IDC_OPT_MODE_LINKED);
  SendMessageW(linked, BM_CLICK, 0, 0);
  if (!e2e::WaitUntil([&] { return SendMessageW(linked, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5s)) {
    return Fail("linked mode could not be chosen");
  }
  Say(Text(sheet) + L": " + Text(linked));
  return true;
}

bool OptionsOk(Program& program) {
  if (!program.Find()) return Fail("the program's main window is gone");
  HWND sheet = program.OptionSheet();
  if (sheet == nullptr) return Fail("the options are not open");
  PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
  if (!e2e::WaitUntil([&] { return program.OptionSheet() == nullptr; }, 10s)) return Fail("the options did not close");
  Say(Text(program.RecordItem(IDC_RECORD_MODE)));
  return true;
}

bool History(Program& program) {
  if (!program.WaitForMainWindow(5s)) return false;
  for (const std::vector<std::wstring>& row : ListRows(program.RecordItem(IDC_RECORD_HISTORY), 2)) {
    wchar_t line[600];
    swprintf(line, 600, L"  %-24ls %4ls", row[0].c_str(), row[1].c_str());
    Say(line);
  }
  return true;
}

bool PlayTab(Program& program) {
  if (!program.WaitForMainWindow(5s)) return false;
  program.PressKey(VK_F4);
  if (!e2e::WaitUntil([&] { return Program::Shown(program.PlayPanel()); }, 15s)) return Fail("the play tab did not open");
  HWND list = program.PlayItem(IDC_PLAY_FILE_LIST);
  if (!e2e::WaitUntil([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 0; }, 15s)) {
    return Fail("the file list stayed empty");
  }
  Say(L"folder " + Text(program.PlayItem(IDC_PLAY_FOLDER)));
  for (const std::vector<std::wstring>& row : ListRows(list, 1)) Say(L"  " + row[0]);
  return true;
}

void SayPlayPosition(const Program& program) {
  Say(L"at " + Timecode(program.PlayPanel(), PlayTimecodeIds) + L", dropped scenes before " +
      Text(program.PlayItem(IDC_PLAY_PREVIOUS_COUNT)) + L", after " + Text(program.PlayItem(IDC_PLAY_NEXT_COUNT)));
}

bool ShowFile(Program& program, const std::wstring& name) {
  if (!program.WaitForMainWindow(5s) || !Program::Shown(program.PlayPanel())) return Fail("the play tab is not open");
  HWND list = program.PlayItem(IDC_PLAY_FILE_LIST);
  const std::vector<std::vector<std::wstring>> rows = ListRows(list, 1);
  int row = -1;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (_wcsicmp(rows[i][0].c_str(), name.c_str()) == 0 || _wcsicmp(rows[i][0].c_str(), (name + L".avi").c_str()) == 0) {
      row = static_cast<int>(i);
    }
  }
  if (row < 0) return Fail("the file list holds no " + Utf8(name));
  if (!SelectListRow(list, row)) return Fail("the file could not be chosen in the list");
  if (!e2e::WaitUntil([&] { return Text(program.PlayItem(IDC_PLAY_FILE_NAME)) == name; }, 15s)) {
    return Fail("the play tab did not show " + Utf8(name) + ": " + Utf8(Text(program.PlayItem(IDC_PLAY_ANNOUNCEMENT))));
  }
  Say(L"shown: " + name + L", " + Text(program.PlayItem(IDC_PLAY_TOTAL_TIME)));
  SayPlayPosition(program);
  return true;
}

bool Play(Program& program) {
  if (!program.WaitForMainWindow(5s) || !Program::Shown(program.PlayPanel())) return Fail("the play tab is not open");
  program.PressKey(VK_F9);
  if (!e2e::WaitUntil([&] { return Program::Shown(program.PlayItem(IDC_PLAY_PAUSE)); }, 10s)) {
    return Fail("playing did not start: " + Utf8(Text(program.PlayItem(IDC_PLAY_ANNOUNCEMENT))));
  }
  Say(L"playing");
  return true;
}

bool WaitEnd(Program& program) {
  if (!program.WaitForMainWindow(5s) || !Program::Shown(program.PlayPanel())) return Fail("the play tab is not open");
  // The session's recordings are a few seconds long.
  if (!e2e::WaitUntil([&] { return Program::Shown(program.PlayItem(IDC_PLAY_PLAY)); }, 60s)) {
    return Fail("playing did not reach the end of the file");
  }
  SayPlayPosition(program);
  return true;
}

bool PreviousDrop(Program& program) {
  if (!program.WaitForMainWindow(5s) || !Program::Shown(program.PlayPanel())) return Fail("the play tab is not open");
  HWND button = program.PlayItem(IDC_PLAY_PREVIOUS_DROP);
  if (!IsWindowEnabled(button)) return Fail("there is no dropped scene before the position");
  const std::wstring before = Timecode(program.PlayPanel(), PlayTimecodeIds);
  Program::Click(program.PlayPanel(), IDC_PLAY_PREVIOUS_DROP);
  if (!e2e::WaitUntil([&] { return Timecode(program.PlayPanel(), PlayTimecodeIds) != before; }, 10s)) {
    return Fail("the position did not move to a dropped scene");
  }
  SayPlayPosition(program);
  return true;
}

// The time slider at its finest scale, one frame a cell, where each dropped frame shows.
bool ZoomIn(Program& program) {
  if (!program.WaitForMainWindow(5s) || !Program::Shown(program.PlayPanel())) return Fail("the play tab is not open");
  HWND button = program.PlayItem(IDC_PLAY_ZOOM_IN);
  for (int clicks = 0; IsWindowEnabled(button); ++clicks) {
    if (clicks == TimeSliderLevels) return Fail("the time slider did not zoom in");
    Program::Click(program.PlayPanel(), IDC_PLAY_ZOOM_IN);
    Sleep(300);
  }
  SayPlayPosition(program);
  return true;
}

bool Close(Program& program) {
  if (!program.Find()) {
    Say(L"the program is not running");
    return true;
  }
  PostMessageW(program.Main(), WM_CLOSE, 0, 0);
  // A recording still running makes the program ask first; the user says yes.
  const bool ended = e2e::WaitUntil([&] {
    if (program.WaitForExit(0ms)) return true;
    if (HWND question = program.OtherDialogWith(IDYES)) PostMessageW(question, WM_COMMAND, IDYES, 0);
    return false;
  }, 30s);
  if (!ended) return Fail("the program did not end after it was closed");
  Say(L"the program has ended");
  return true;
}

bool RunStep(const std::wstring& step, const std::wstring& argument) {
  Program program;
  if (step == L"prepare") return Prepare(argument);
  if (step == L"folder-check") return FolderCheck(program);
  if (step == L"confirm-folder") return ConfirmFolder(program);
  if (step == L"camcorder-ready") return CamcorderReady(program);
  if (step == L"record") return Record(program);
  if (step == L"stop") return Stop(program, true);
  if (step == L"pause") return Stop(program, false);
  if (step == L"finalize") return Finalize(program);
  if (step == L"linked-mode") return LinkedMode(program);
  if (step == L"options-ok") return OptionsOk(program);
  if (step == L"history") return History(program);
  if (step == L"play-tab") return PlayTab(program);
  if (step == L"show-file") return ShowFile(program, argument);
  if (step == L"play") return Play(program);
  if (step == L"wait-end") return WaitEnd(program);
  if (step == L"previous-drop") return PreviousDrop(program);
  if (step == L"zoom-in") return ZoomIn(program);
  if (step == L"close") return Close(program);
  return Fail("unknown step");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool needsArgument = argc >= 2 && (wcscmp(argv[1], L"prepare") == 0 || wcscmp(argv[1], L"show-file") == 0);
  if (argc < 2 || argc != (needsArgument ? 3 : 2)) {
    std::fputs(Usage, stderr);
    return ExitUsage;
  }
  if (RunStep(argv[1], needsArgument ? argv[2] : L"")) return ExitDone;
  std::fprintf(stderr, "plover-session %ls: %s\n", argv[1], g_strFailure.c_str());
  return ExitFailed;
}
