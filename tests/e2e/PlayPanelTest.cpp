// The play tab as a user meets it: recordings with dropped frames in the video folder are listed
// with thumbnails; choosing one shows it paused at its start with its length; F9 plays and pauses
// and the minimised window's title runs with the time code; the dropped-scene buttons step to the
// drops with the right counts; the end of the file pauses and Play starts again from the start;
// deleting the shown file unloads and removes it; a cut-off recording says it cannot be read.
// Pictures of the tab in Japanese and English are left in <build>/e2e-shots.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <set>
#include <vector>

#include "ProgramUnderTest.h"
#include "TestRecording.h"
#include "ScreenCapture.h"
#include "avi/AviWriter.h"
#include "avi/FileIo.h"
#include "dv/Pattern.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::RunningProgram;

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Tavin\\Plover1.0";
constexpr int kPlayBackgroundId = 1078;
constexpr int kPlayId = 1004;
constexpr int kPauseId = 1005;
constexpr int kNextDropId = 1006;
constexpr int kPreviousDropId = 1007;
constexpr int kToStartId = 1008;
constexpr int kFileNameId = 1058;
constexpr int kPreviousCountId = 1061;
constexpr int kNextCountId = 1063;
constexpr int kAnnouncementId = 1068;
constexpr int kFileListId = 1079;
constexpr int kTotalTimeId = 1095;
constexpr int kZoomOutId = 1109;
constexpr int kDeleteCommand = 32772;
constexpr int kTimecodeIds[4] = {1060, 1064, 1067, 1069};

std::wstring ShotFolder() {
  const std::wstring bin = e2e::BinaryFolder();
  const std::wstring folder = bin.substr(0, bin.find_last_of(L'\\')) + L"\\e2e-shots";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void Shot(HWND window, const std::wstring& name) {
  Sleep(300);
  EXPECT_TRUE(e2e::SavePicture(e2e::CaptureWindow(window), ShotFolder() + L"\\" + name + L".bmp")) << "picture " << name;
}

// Moves a file's last-write time back, so that the list's order is known.
void Age(const std::wstring& path, int minutes) {
  const HANDLE handle = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME time{};
  GetFileTime(handle, nullptr, nullptr, &time);
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  value.QuadPart -= static_cast<ULONGLONG>(minutes) * 600000000ULL;
  time.dwLowDateTime = value.LowPart;
  time.dwHighDateTime = value.HighPart;
  SetFileTime(handle, nullptr, nullptr, &time);
  CloseHandle(handle);
}

// Points the program's recording folder at a folder of the test and keeps the start-up folder
// check quiet; the values the program had are put back afterwards.
class FolderSettings {
 public:
  explicit FolderSettings(const std::wstring& folder) {
    for (const wchar_t* name : {L"RecordFolder", L"NewFolderCreate", L"VideoFolderCheck"}) m_saved.push_back(Read(name));
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"RecordFolder", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    const DWORD zero = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"NewFolderCreate", REG_DWORD, &zero, sizeof(zero));
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"VideoFolderCheck", REG_DWORD, &zero, sizeof(zero));
  }
  ~FolderSettings() {
    for (const Saved& saved : m_saved) {
      if (saved.present) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, saved.name, saved.type, saved.data.data(),
                        static_cast<DWORD>(saved.data.size()));
      } else {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, saved.name);
      }
    }
  }

 private:
  struct Saved {
    const wchar_t* name = nullptr;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  static Saved Read(const wchar_t* name) {
    Saved saved;
    saved.name = name;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &saved.type, nullptr, &size) != ERROR_SUCCESS) {
      return saved;
    }
    saved.data.resize(size);
    saved.present = RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_ANY, &saved.type, saved.data.data(),
                                 &size) == ERROR_SUCCESS;
    return saved;
  }
  std::vector<Saved> m_saved;
};

std::wstring MakeFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"plover-play-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) DeleteFileW((folder + data.cFileName).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

HWND FindPanel(HWND main, int backgroundId) {
  for (HWND child = FindWindowExW(main, nullptr, L"#32770", nullptr); child != nullptr;
       child = FindWindowExW(main, child, L"#32770", nullptr)) {
    if (GetDlgItem(child, backgroundId) != nullptr) return child;
  }
  return nullptr;
}

class PlaySession {
 public:
  // Every trace record of the program goes to Plover.log beside it at once.
  static const std::wstring& StartWithTrace(const InstallFolder& install) {
    WritePrivateProfileStringW(L"Debug", L"FileOut", L"2", (install.Path() + L"\\Plover.ini").c_str());
    static std::wstring path;
    path = install.ProgramPath();
    return path;
  }

  explicit PlaySession(bool english) : m_install(english), m_program(StartWithTrace(m_install)) {
    m_hMain = m_program.WaitForTopWindow(L"Plover", 30s);
  }
  ~PlaySession() {
    if (m_hMain != nullptr) PostMessageW(m_hMain, WM_CLOSE, 0, 0);
    EXPECT_TRUE(m_program.WaitForExit(20s)) << "the program did not end after WM_CLOSE";
    // What the program traced helps to tell why a step failed.
    if (::testing::Test::HasFailure()) {
      const HANDLE log = CreateFileW((m_install.Path() + L"\\Plover.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
      std::string text(64 * 1024, '\0');
      DWORD read = 0;
      if (log != INVALID_HANDLE_VALUE) {
        ReadFile(log, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
        CloseHandle(log);
      }
      text.resize(read);
      ADD_FAILURE() << "the program's trace:\n" << text;
    }
  }

  HWND Main() const { return m_hMain; }
  HWND Panel() const { return m_hPanel; }
  HWND List() const { return GetDlgItem(m_hPanel, kFileListId); }

  // F4, then the play panel shown.
  bool OpenPlayTab() {
    Key(m_hMain, VK_F4);
    return e2e::WaitUntil([&] {
      m_hPanel = FindPanel(m_hMain, kPlayBackgroundId);
      return m_hPanel != nullptr && IsWindowVisible(m_hPanel);
    }, 10s);
  }
  static void Key(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
  void Command(int id) const { PostMessageW(m_hPanel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  std::wstring Text(int id) const { return e2e::WindowText(GetDlgItem(m_hPanel, id)); }
  bool Visible(int id) const { return IsWindowVisible(GetDlgItem(m_hPanel, id)) != FALSE; }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(m_hPanel, id)) != FALSE; }
  int ItemCount() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring Timecode() const {
    std::wstring text;
    for (int id : kTimecodeIds) text += Text(id);
    return text;
  }
  bool WaitForText(int id, const std::wstring& text, std::chrono::milliseconds timeout = 10s) const {
    return e2e::WaitUntil([&] { return Text(id) == text; }, timeout);
  }
  // A visible dialog of the program other than the main window, or null.
  HWND OtherDialog() const {
    for (HWND window : m_program.TopWindows()) {
      if (window != m_hMain && IsWindowVisible(window) && e2e::ClassName(window) == L"#32770") return window;
    }
    return nullptr;
  }

 private:
  InstallFolder m_install;
  RunningProgram m_program;
  HWND m_hMain = nullptr;
  HWND m_hPanel = nullptr;
};

class PlayPanelE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    m_strFolder = MakeFolder();
    m_spSettings.emplace(m_strFolder);
    // Newest first in the list: A (with drops), B (none), then the cut-off C.
    m_strA = m_strFolder + L"Rec A.avi";
    m_strB = m_strFolder + L"Rec B.avi";
    m_strC = m_strFolder + L"Rec C.avi";
    // 8 s with a scene of three dropped frames at 2 s and one dropped frame at 6 s.
    WriteTestRecording(m_strA, 200, {50, 51, 52, 150});
    WriteTestRecording(m_strB, 50, {});
    ASSERT_TRUE(CopyFileW(m_strB.c_str(), m_strC.c_str(), FALSE));
    const HANDLE handle = CreateFileW(m_strC.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFilePointer(handle, 1024, nullptr, FILE_BEGIN);
    SetEndOfFile(handle);
    CloseHandle(handle);
    Age(m_strB, 10);
    Age(m_strC, 20);
  }
  void TearDown() override {
    m_spSettings.reset();
    RemoveFolder(m_strFolder);
  }

  std::wstring m_strFolder;
  std::optional<FolderSettings> m_spSettings;
  std::wstring m_strA;
  std::wstring m_strB;
  std::wstring m_strC;
};

TEST_F(PlayPanelE2E, RecordingsWithDropsArePlayedSteppedThroughAndDeleted) {
  PlaySession session(/*english=*/false);
  ASSERT_NE(nullptr, session.Main());
  ASSERT_TRUE(session.OpenPlayTab());
  ASSERT_TRUE(e2e::WaitUntil([&] { return session.ItemCount() == 3; }, 10s)) << session.ItemCount();
  EXPECT_EQ(m_strFolder, session.Text(1066));
  Sleep(2000);  // the thumbnails
  Shot(session.Main(), L"play-ja-list");

  // The newest file, chosen with the keyboard, shows paused at its start with its length.
  PlaySession::Key(session.List(), VK_HOME);
  ASSERT_TRUE(session.WaitForText(kFileNameId, L"Rec A"));
  EXPECT_EQ(L"合計時間 : 00:00:07", session.Text(kTotalTimeId));
  EXPECT_EQ(L"00:00:00:00", session.Timecode());
  EXPECT_TRUE(session.Enabled(kPlayId));
  EXPECT_TRUE(session.Visible(kPlayId));
  EXPECT_EQ(L"", session.Text(kPreviousCountId));
  EXPECT_EQ(L"2", session.Text(kNextCountId));
  EXPECT_FALSE(session.Enabled(kPreviousDropId));
  Shot(session.Main(), L"play-ja-drops-frames");
  session.Command(kZoomOutId);
  Shot(session.Main(), L"play-ja-drops-seconds");

  // The dropped scenes, one after the other, and back.
  struct Step {
    int command;
    const wchar_t* timecode;
    const wchar_t* previous;
    const wchar_t* next;
  };
  for (const Step& step : {Step{kNextDropId, L"00:00:02:00", L"", L"1"}, Step{kNextDropId, L"00:00:06:00", L"1", L""},
                           Step{kPreviousDropId, L"00:00:02:00", L"", L"1"}}) {
    SCOPED_TRACE(step.timecode);
    session.Command(step.command);
    EXPECT_TRUE(e2e::WaitUntil([&] { return session.Timecode() == step.timecode; }, 5s)) << session.Timecode();
    EXPECT_EQ(step.previous, session.Text(kPreviousCountId));
    EXPECT_EQ(step.next, session.Text(kNextCountId));
  }

  // Back to the start of the file.
  session.Command(kToStartId);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Timecode() == L"00:00:00:00"; }, 5s)) << session.Timecode();

  // F9 plays; the minimised window's title runs with the time code; F9 pauses and it goes back.
  ShowWindow(session.Main(), SW_MINIMIZE);
  PlaySession::Key(session.Main(), VK_F9);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Visible(kPauseId); }, 5s));
  std::wstring title;
  EXPECT_TRUE(e2e::WaitUntil([&] {
    title = e2e::WindowText(session.Main());
    return title.rfind(L"00:00:0", 0) == 0 && title.size() > 8;
  }, 5s)) << title;
  PlaySession::Key(session.Main(), VK_F9);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Visible(kPlayId); }, 5s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(session.Main()) == L"Plover"; }, 5s));
  ShowWindow(session.Main(), SW_RESTORE);

  // Played to its end, the file pauses there; Play starts it again from the start.
  PlaySession::Key(session.Main(), VK_F9);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Visible(kPauseId); }, 5s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Visible(kPlayId); }, 15s)) << "the end did not pause";
  EXPECT_EQ(L"00:00:08:00", session.Timecode());
  PlaySession::Key(session.Main(), VK_F9);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Visible(kPauseId); }, 5s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Timecode() < L"00:00:02:00"; }, 5s)) << session.Timecode();
  PlaySession::Key(session.Main(), VK_F9);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Visible(kPlayId); }, 5s));

  // Deleting the shown file: asked first, then unloaded and removed.
  session.Command(kDeleteCommand);
  HWND box = nullptr;
  ASSERT_TRUE(e2e::WaitUntil([&] { return (box = session.OtherDialog()) != nullptr; }, 10s));
  std::wstring question;
  for (const std::wstring& part : e2e::StaticTexts(box)) question += part;
  EXPECT_NE(std::wstring::npos, question.find(L"'Rec A' を削除します。よろしいですか?")) << question;
  PostMessageW(box, WM_COMMAND, IDYES, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return GetFileAttributesW(m_strA.c_str()) == INVALID_FILE_ATTRIBUTES; }, 10s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.ItemCount() == 2; }, 5s));
  // The list moves on to the next file, which the panel shows.
  EXPECT_NE(L"Rec A", session.Text(kFileNameId));

  // The cut-off recording, last in the list, cannot be read.
  PlaySession::Key(session.List(), VK_END);
  EXPECT_TRUE(session.WaitForText(kFileNameId, L"Rec C"));
  EXPECT_TRUE(session.WaitForText(
      kAnnouncementId, L"ファイルを読み込めませんでした。選択されたファイルが有効でないか、壊れています。"));
  EXPECT_FALSE(session.Enabled(kPlayId));
  Shot(session.Main(), L"play-ja-unreadable");
}

TEST_F(PlayPanelE2E, EnglishPictures) {
  PlaySession session(/*english=*/true);
  ASSERT_NE(nullptr, session.Main());
  ASSERT_TRUE(session.OpenPlayTab());
  ASSERT_TRUE(e2e::WaitUntil([&] { return session.ItemCount() == 3; }, 10s));
  Sleep(2000);
  Shot(session.Main(), L"play-en-list");
  PlaySession::Key(session.List(), VK_HOME);
  ASSERT_TRUE(session.WaitForText(kFileNameId, L"Rec A"));
  EXPECT_EQ(L"Total time : 00:00:07", session.Text(kTotalTimeId));
  session.Command(kNextDropId);
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Timecode() == L"00:00:02:00"; }, 5s));
  Shot(session.Main(), L"play-en-drops-frames");
  session.Command(kZoomOutId);
  session.Command(kZoomOutId);
  Shot(session.Main(), L"play-en-drops-5-seconds");
}

}  // namespace
