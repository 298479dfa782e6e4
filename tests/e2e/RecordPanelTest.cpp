// Recording as a user does it, with the simulated camcorder driven through its pipe: standard and
// linked mode, the camcorder's own buttons, drops, an unplugged camcorder, a change of the sound
// format and of the screen resolution while recording. Every recorded file must pass the AVI
// consistency check, and the recording log and the history must list what was recorded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "ProgramUnderTest.h"
#include "avi/AviCheck.h"
#include "avi/AviParser.h"
#include "avi/FileIo.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::RunningProgram;

namespace {

// Items of the record panel (dialog 105).
constexpr int kBackground = 1077;
constexpr int kPlayBackground = 1078;
constexpr int kHistory = 1005;
constexpr int kRecord = 1006;
constexpr int kStop = 1007;
constexpr int kDrops = 1022;
constexpr int kPlayFile = 1092;
constexpr int kPlayDrop = 1093;
constexpr int kFinalize = 1037;
constexpr int kAnnouncement = 1040;
constexpr int kLinkedNotice = 1090;
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Tavin\\Plover1.0";

DWORD RunBusCommand(const std::wstring& arguments) {
  RunningProgram command(e2e::BinaryFolder() + L"\\plover-dvbus.exe", arguments);
  DWORD exitCode = 99;
  EXPECT_TRUE(command.WaitForExit(20s, &exitCode)) << arguments.size();
  EXPECT_EQ(0u, exitCode);
  return exitCode;
}

// The bus's answer to a command sent straight through its control pipe.
std::string BusAnswer(const std::string& command) {
  HANDLE pipe = CreateFileW(L"\\\\.\\pipe\\PloverDVBus", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return std::string();
  const std::string line = command + "\n";
  DWORD done = 0;
  WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
  std::string answer;
  char buffer[512];
  while (ReadFile(pipe, buffer, sizeof(buffer), &done, nullptr) && done > 0) answer.append(buffer, done);
  CloseHandle(pipe);
  return answer;
}

// True once the camcorder has been told this tape state of the computer.
bool CamcorderSawTapeState(int state) {
  const std::string wanted = "tape-state=" + std::to_string(state) + " ";
  return e2e::WaitUntil([&] { return BusAnswer("state").find(wanted) != std::string::npos; }, 10s);
}

HWND FindPanel(HWND main, int backgroundId) {
  for (HWND child = FindWindowExW(main, nullptr, L"#32770", nullptr); child != nullptr;
       child = FindWindowExW(main, child, L"#32770", nullptr)) {
    if (GetDlgItem(child, backgroundId) != nullptr) return child;
  }
  return nullptr;
}

std::string Narrow(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
  converted.resize(converted.size() - 1);
  return converted;
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

// What the AVI tool's check says of a recorded file: consistent, its frames and its drops.
struct AviReport {
  bool bConsistent = false;
  uint32_t nFrames = 0;
  size_t nDrops = 0;
};

// With PLOVER_E2E_KEEP naming a folder, a copy of each checked recording goes there, listed in its
// "manifest.txt" with what our reader found ("name frames drops"), for ffprobe on the host.
void KeepForTheHostsReaders(const std::wstring& path, const AviReport& report) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"PLOVER_E2E_KEEP", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  static int s_nKept = 0;
  const std::wstring name = std::to_wstring(++s_nKept) + L"-" + path.substr(path.find_last_of(L'\\') + 1);
  if (!CopyFileW(path.c_str(), (std::wstring(folder) + L"\\" + name).c_str(), FALSE)) return;
  std::ofstream manifest(Narrow(std::wstring(folder) + L"\\manifest.txt"), std::ios::app);
  manifest << Narrow(name) << ' ' << report.nFrames << ' ' << report.nDrops << '\n';
}

AviReport CheckRecordedFile(const std::wstring& path) {
  AviReport report;
  avi::StdioFile file;
  if (!file.Open(Narrow(path), avi::StdioFile::Mode::Read)) return report;
  avi::AviParser parser;
  if (parser.Parse(file) != avi::AviResult::Ok) return report;
  report.bConsistent = avi::CheckAvi(parser, file).bConsistent && parser.IsConsistent();
  report.nFrames = parser.DeclaredLength();
  report.nDrops = parser.DroppedFrames().size();
  KeepForTheHostsReaders(path, report);
  return report;
}

// One run of the program with its settings in the registry and its recordings in its own folder.
class RecordSession {
 public:
  // recordMode 0 standard, 1 linked; recordFormat 1 Type 1, 2 Type 2.
  RecordSession(DWORD recordMode, DWORD recordFormat) {
    m_strVideo = m_install.Path() + L"\\video";
    CreateDirectoryW(m_strVideo.c_str(), nullptr);
    WriteSettings(recordMode, recordFormat);
    m_spProgram = std::make_unique<RunningProgram>(m_install.ProgramPath());
    m_hMain = m_spProgram->WaitForTopWindow(L"Plover", 30s);
    m_hPanel = m_hMain != nullptr ? FindPanel(m_hMain, kBackground) : nullptr;
  }
  ~RecordSession() {
    if (m_hMain != nullptr) PostMessageW(m_hMain, WM_CLOSE, 0, 0);
    // A recording still running asks before the program ends.
    e2e::WaitUntil([&] { return !m_spProgram->IsRunning() || CloseOtherDialog(IDYES); }, 5s);
    EXPECT_TRUE(m_spProgram->WaitForExit(20s)) << "the program did not end after WM_CLOSE";
    m_spProgram.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  }

  HWND Main() const { return m_hMain; }
  HWND Panel() const { return m_hPanel; }
  HWND Item(int id) const { return GetDlgItem(m_hPanel, id); }
  bool Shown(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
  bool ShownEnabled(int id) const { return Shown(id) && IsWindowEnabled(Item(id)); }
  std::wstring Text(int id) const { return e2e::WindowText(Item(id)); }
  void Click(int id) const {
    PostMessageW(m_hPanel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  void PressKey(WPARAM key) const {
    PostMessageW(m_hMain, WM_KEYDOWN, key, 1);
    PostMessageW(m_hMain, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
  bool WaitReady() const { return e2e::WaitUntil([&] { return ShownEnabled(kRecord); }, 40s); }
  bool WaitRecording() const { return e2e::WaitUntil([&] { return ShownEnabled(kStop); }, 15s); }
  int HistoryRows() const { return static_cast<int>(SendMessageW(Item(kHistory), LVM_GETITEMCOUNT, 0, 0)); }

  // The dated folder the recordings went into.
  std::wstring RecordingFolder() const {
    SYSTEMTIME today{};
    GetLocalTime(&today);
    wchar_t name[32] = {};
    swprintf(name, 32, L"\\%d_%02d_%02d", today.wYear, today.wMonth, today.wDay);
    return m_strVideo + name;
  }
  std::vector<std::wstring> AviFiles() const {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((RecordingFolder() + L"\\*.avi").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
      files.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
  }
  std::wstring FilePath(const std::wstring& name) const { return RecordingFolder() + L"\\" + name; }
  std::string Log() const {
    std::ifstream file((RecordingFolder() + L"\\PLVR.LOG").c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  // A message box or dialog of the program over the main window, or null.
  HWND OtherDialog() const {
    for (HWND window : m_spProgram->TopWindows()) {
      if (window != m_hMain && IsWindowVisible(window) && e2e::ClassName(window) == L"#32770") return window;
    }
    return nullptr;
  }
  // Answers an open dialog with a button; false when none is open.
  bool CloseOtherDialog(int button) const {
    HWND dialog = OtherDialog();
    if (dialog == nullptr) return false;
    PostMessageW(dialog, WM_COMMAND, button, 0);
    return true;
  }
  // Records for a while from a ready panel and stops with the given button.
  void RecordFor(DWORD ms, int stopButton) const {
    ASSERT_TRUE(WaitReady());
    Click(kRecord);
    ASSERT_TRUE(WaitRecording());
    Sleep(ms);
    Click(stopButton);
  }

 private:
  void WriteSettings(DWORD recordMode, DWORD recordFormat) const {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    auto text = [&](const wchar_t* name, const std::wstring& value) {
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    };
    auto number = [&](const wchar_t* name, DWORD value) {
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    };
    text(L"RecordFolder", m_strVideo);
    number(L"NewFolderCreate", 1);
    number(L"NewFolderNameSetting", 0);
    text(L"NewFolderName", L"");
    text(L"FilePrefix", L"");
    number(L"VideoFolderCheck", 0);
    number(L"RecordMode", recordMode);
    number(L"PreviewSize", 3);
    number(L"RecordFormat", recordFormat);
    RegCloseKey(key);
  }

  InstallFolder m_install;
  std::wstring m_strVideo;
  std::unique_ptr<RunningProgram> m_spProgram;
  HWND m_hMain = nullptr;
  HWND m_hPanel = nullptr;
};

TEST(RecordPanel, StandardModeRecordsNumberedFilesLogsThemAndFollowsTheCamcordersButtons) {
  RecordSession session(/*recordMode=*/0, /*recordFormat=*/2);
  ASSERT_NE(nullptr, session.Panel());

  // Record, Stop, Record with three frames lost on the bus, Stop. The camcorder hears of the
  // computer's recording (tape state 2) and of its being ready again (3).
  ASSERT_TRUE(session.WaitReady());
  EXPECT_TRUE(CamcorderSawTapeState(3)) << BusAnswer("state");
  session.RecordFor(1200, kStop);
  EXPECT_TRUE(CamcorderSawTapeState(3)) << BusAnswer("state");
  ASSERT_TRUE(session.WaitReady());
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  EXPECT_TRUE(CamcorderSawTapeState(2)) << BusAnswer("state");
  RunBusCommand(L"drop 3");
  Sleep(800);
  session.Click(kStop);
  ASSERT_TRUE(session.WaitReady());

  const std::vector<std::wstring> files = session.AviFiles();
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ(L"PLVR0001.avi", files[0]);
  EXPECT_EQ(L"PLVR0002.avi", files[1]);
  const AviReport first = CheckRecordedFile(session.FilePath(files[0]));
  const AviReport second = CheckRecordedFile(session.FilePath(files[1]));
  EXPECT_TRUE(first.bConsistent);
  EXPECT_TRUE(second.bConsistent);
  EXPECT_GE(first.nFrames, 20u);
  EXPECT_EQ(0u, first.nDrops);
  EXPECT_EQ(3u, second.nDrops);
  EXPECT_EQ(L"3", session.Text(kDrops));

  // Two information blocks with sizes in thousands, and the drop line of the second file.
  const std::string log = session.Log();
  // The file name line holds the file's path without its extension.
  EXPECT_EQ(1u, CountOf(log, "\\PLVR0001\r\n")) << log;
  EXPECT_EQ(1u, CountOf(log, "\\PLVR0002\r\n"));
  EXPECT_EQ(2u, CountOf(log, Narrow(L"ファイル名: ")));
  EXPECT_EQ(2u, CountOf(log, Narrow(L"欠落フレーム情報: \r\n")));
  const size_t size = log.find(Narrow(L"ファイルサイズ: "));
  ASSERT_NE(std::string::npos, size);
  EXPECT_NE(std::string::npos, log.substr(size, log.find("\r\n", size) - size).find(',')) << log;
  EXPECT_TRUE(CountOf(log, " 3\r\n") == 1 || CountOf(log, " 0:00:0") == 2) << log;
  EXPECT_EQ(0u, log.find(Narrow(L"ファイル名: ")));
  // Two bold file rows, and the second file's dropped second (or two, across a second's edge).
  EXPECT_GE(session.HistoryRows(), 3);
  EXPECT_LE(session.HistoryRows(), 4);

  // The last row, selected, is a dropped scene: its play button opens the play tab.
  EXPECT_TRUE(session.ShownEnabled(kPlayDrop));
  EXPECT_FALSE(session.Shown(kPlayFile));
  session.Click(kPlayDrop);
  HWND playPanel = FindPanel(session.Main(), kPlayBackground);
  EXPECT_TRUE(e2e::WaitUntil([&] { return playPanel != nullptr && IsWindowVisible(playPanel); }, 10s));

  // F5 on the play tab does nothing; the camcorder's record button brings the record tab back.
  session.PressKey(VK_F4);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(session.Panel()); }, 10s));
  session.PressKey(VK_F5);
  Sleep(1000);
  EXPECT_FALSE(IsWindowVisible(session.Panel()));
  EXPECT_EQ(2u, session.AviFiles().size());
  RunBusCommand(L"record");
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(session.Panel()) != FALSE; }, 10s));
  ASSERT_TRUE(session.WaitRecording());
  Sleep(1000);
  RunBusCommand(L"stop");
  ASSERT_TRUE(session.WaitReady());
  ASSERT_EQ(3u, session.AviFiles().size());
  EXPECT_TRUE(CheckRecordedFile(session.FilePath(L"PLVR0003.avi")).bConsistent);

  // Unplugged while recording: the file is kept and the panel says why it stopped.
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  Sleep(1200);
  RunBusCommand(L"unplug");
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Text(kAnnouncement) == L"ビデオカメラが接続されていないか、電源が入っていません。"; }, 15s))
      << Narrow(session.Text(kAnnouncement));
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.AviFiles().size() == 4u && !session.Shown(kStop); }, 10s));
  const AviReport unplugged = CheckRecordedFile(session.FilePath(L"PLVR0004.avi"));
  EXPECT_TRUE(unplugged.bConsistent);
  EXPECT_GT(unplugged.nFrames, 10u);
  RunBusCommand(L"plug");
}

TEST(RecordPanel, LinkedModeContinuesOneFileAndSplitsOnASoundChange) {
  RecordSession session(/*recordMode=*/1, /*recordFormat=*/1);
  ASSERT_NE(nullptr, session.Panel());

  // Record, Stop, Record, Finalize: one file; the notice shows only while stopped.
  session.RecordFor(1000, kStop);
  ASSERT_TRUE(session.WaitReady());
  EXPECT_TRUE(session.Shown(kLinkedNotice));
  EXPECT_TRUE(session.ShownEnabled(kFinalize));
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  EXPECT_FALSE(session.Shown(kLinkedNotice));
  Sleep(1000);
  session.Click(kFinalize);
  ASSERT_TRUE(session.WaitReady());
  // The file is closed, logged and listed once the finalize is through.
  EXPECT_TRUE(e2e::WaitUntil([&] { return CountOf(session.Log(), Narrow(L"ファイル名: ")) == 1; }, 10s));
  EXPECT_FALSE(session.Shown(kLinkedNotice));
  EXPECT_FALSE(IsWindowEnabled(session.Item(kFinalize)));
  std::vector<std::wstring> files = session.AviFiles();
  ASSERT_EQ(1u, files.size());
  const AviReport linked = CheckRecordedFile(session.FilePath(files[0]));
  EXPECT_TRUE(linked.bConsistent);
  EXPECT_GE(linked.nFrames, 40u);
  EXPECT_EQ(1, session.HistoryRows());

  // 48 kHz to 32 kHz while recording: the recording goes on in the next file.
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  Sleep(1000);
  RunBusCommand(L"audio 32k");
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.AviFiles().size() == 3u; }, 10s));
  EXPECT_TRUE(session.Shown(kStop));
  Sleep(1000);
  session.Click(kFinalize);
  ASSERT_TRUE(session.WaitReady());
  EXPECT_TRUE(e2e::WaitUntil([&] { return CountOf(session.Log(), Narrow(L"ファイル名: ")) == 3; }, 10s));
  files = session.AviFiles();
  ASSERT_EQ(3u, files.size());
  EXPECT_EQ(L"PLVR0002.avi", files[1]);
  EXPECT_EQ(L"PLVR0003.avi", files[2]);
  for (const std::wstring& name : files) EXPECT_TRUE(CheckRecordedFile(session.FilePath(name)).bConsistent);

  // A screen-resolution change while recording deletes the file and says so.
  const int rows = session.HistoryRows();
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  Sleep(800);
  PostMessageW(session.Main(), WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768));
  std::wstring message;
  EXPECT_TRUE(e2e::WaitUntil([&] {
    HWND box = session.OtherDialog();
    if (box == nullptr) return false;
    for (const std::wstring& text : e2e::StaticTexts(box)) message += text;
    return session.CloseOtherDialog(IDOK);
  }, 10s));
  EXPECT_NE(std::wstring::npos, message.find(L"画面の解像度が変更されたため")) << Narrow(message);
  EXPECT_TRUE(session.WaitReady());
  EXPECT_EQ(3u, session.AviFiles().size());
  EXPECT_EQ(rows, session.HistoryRows());
}

}  // namespace
