// The program's start-up as a user meets it: one copy at a time, the maker's other applications,
// the main window, the video folder confirmation of a first start and the language library.
#include <windows.h>
#include <prsht.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ProgramUnderTest.h"
#include "RecordPanelDriver.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::kMainTitle;
using e2e::kMakerMutexName;
using e2e::kQuitOtherAppJapanese;
using e2e::RunningProgram;

namespace {


// Holds the maker's shared mutex the way another of the maker's applications would.
class OtherMakerApplication {
 public:
  OtherMakerApplication() : m_hMutex(CreateMutexW(nullptr, FALSE, kMakerMutexName)) {}
  ~OtherMakerApplication() {
    if (m_hMutex) CloseHandle(m_hMutex);
  }

 private:
  HANDLE m_hMutex;
};

void CloseMainWindow(RunningProgram& program, HWND mainWindow) {
  PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.WaitForExit(20s)) << "the program did not end after WM_CLOSE";
}

// Returns the text of the one message box the program shows, after pressing its OK button.
std::wstring AnswerMessageBox(const RunningProgram& program) {
  e2e::WaitUntil([&] { return !e2e::VisibleDialogs(program).empty(); }, 20s);
  EXPECT_EQ(1u, e2e::VisibleDialogs(program).size()) << "only one message box is shown";
  return e2e::AnswerDialog(program, IDOK, 0ms);
}

}  // namespace

TEST(Startup, MainWindowOpensWithItsTitleAndFindableProperty) {
  InstallFolder install;
  RunningProgram program(install.ProgramPath());
  ASSERT_TRUE(program.Started());
  HWND main = program.WaitForTopWindow(kMainTitle, 30s);
  ASSERT_NE(nullptr, main) << "no main window titled Plover";
  // A second copy finds the first one by this property, named after the program.
  EXPECT_EQ(main, static_cast<HWND>(GetPropW(main, L"Plover")));
  CloseMainWindow(program, main);
}

TEST(Startup, SecondCopyRestoresTheFirstAndEndsWithoutAWindow) {
  InstallFolder install;
  RunningProgram first(install.ProgramPath());
  HWND main = first.WaitForTopWindow(kMainTitle, 30s);
  ASSERT_NE(nullptr, main);
  ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(e2e::WaitUntil([&] { return IsIconic(main) != FALSE; }, 5s));

  RunningProgram second(install.ProgramPath());
  ASSERT_TRUE(second.Started());
  EXPECT_TRUE(second.WaitForExit(20s)) << "the second copy kept running";
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsIconic(main) == FALSE; }, 5s)) << "the first copy was not restored";
  EXPECT_TRUE(first.IsRunning());
  CloseMainWindow(first, main);
}

TEST(Startup, OtherMakerApplicationGivesMessageOnceAndEnds) {
  OtherMakerApplication other;
  InstallFolder install;
  RunningProgram program(install.ProgramPath());
  const std::wstring text = AnswerMessageBox(program);
  EXPECT_EQ(kQuitOtherAppJapanese, text);
  DWORD exitCode = 0;
  EXPECT_TRUE(program.WaitForExit(20s, &exitCode)) << "the program kept running after the message";
  EXPECT_EQ(nullptr, program.WaitForTopWindow(kMainTitle, 0ms));
}

TEST(Startup, EnglishLibraryBesideTheProgramSwitchesTheTexts) {
  OtherMakerApplication other;
  InstallFolder install(/*withEnglishLibrary=*/true);
  RunningProgram program(install.ProgramPath());
  const std::wstring text = AnswerMessageBox(program);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(kQuitOtherAppJapanese, text);
  for (wchar_t ch : text) EXPECT_LT(ch, 0x80) << "a Japanese character in the English text";
  EXPECT_TRUE(program.WaitForExit(20s));
}

TEST(Startup, RunningProgramServesTheCamcorderBusAndASecondCopyDoesNot) {
  InstallFolder install;
  RunningProgram program(install.ProgramPath());
  HWND main = program.WaitForTopWindow(kMainTitle, 30s);
  ASSERT_NE(nullptr, main);

  // The command tool reaches the bus of the running program; a refused second copy leaves it alone.
  EXPECT_EQ(0u, e2e::RunBusTool(L"status"));
  {
    RunningProgram second(install.ProgramPath());
    EXPECT_TRUE(second.WaitForExit(20s));
  }
  EXPECT_EQ(0u, e2e::RunBusTool(L"status"));
  CloseMainWindow(program, main);
  EXPECT_EQ(2u, e2e::RunBusTool(L"status")) << "no program listens after the window closed";
}

namespace {

constexpr int kFolderCheckText = 1080;
constexpr int kFolderCheckBox = 1082;
constexpr int kFolderCheckChange = 1083;
constexpr int kOptionsFolder = 1010;
constexpr int kOptionsFolderCheck = 1025;
constexpr int kOptionsPerformanceCheck = 1022;

std::wstring DocumentsFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path);
  return std::wstring(path) + L"\\";
}

std::wstring WithoutLineBreaks(std::wstring text) {
  std::erase_if(text, [](wchar_t ch) { return ch == L'\r' || ch == L'\n'; });
  return text;
}

bool Checked(HWND dialog, int id) { return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Texts of a window and of all its child windows that are not plain ASCII. Names beginning with "!"
// are the program's own names of picture-drawn items, never shown; an icon's text is its resource.
std::vector<std::wstring> NonEnglishTexts(HWND window) {
  std::vector<HWND> windows{window};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM found) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  std::vector<std::wstring> texts;
  for (HWND each : windows) {
    const LONG type = GetWindowLongW(each, GWL_STYLE) & SS_TYPEMASK;
    if (e2e::ClassName(each) == L"Static" && (type == SS_ICON || type == SS_BITMAP)) continue;
    const std::wstring text = e2e::WindowText(each);
    if (text.starts_with(L"!")) continue;
    if (std::any_of(text.begin(), text.end(), [](wchar_t ch) { return ch >= 0x80; })) texts.push_back(text);
  }
  return texts;
}

std::string Listed(const std::vector<std::wstring>& texts) {
  std::string list;
  for (const std::wstring& text : texts) list += "\n  " + e2e::Narrow(text);
  return list;
}

}  // namespace

TEST(Startup, FirstStartConfirmsTheVideoFolderAndTheUserSwitchesTheCheckOffOnTheWayToTheOptions) {
  SYSTEMTIME today{};
  GetLocalTime(&today);
  wchar_t date[16] = {};
  swprintf(date, 16, L"%d_%02d_%02d", today.wYear, today.wMonth, today.wDay);
  const std::wstring datedFolder = DocumentsFolder() + date;
  const bool datedFolderExisted = GetFileAttributesW(datedFolder.c_str()) != INVALID_FILE_ATTRIBUTES;

  e2e::SessionOptions firstStart;
  firstStart.bFirstStart = true;
  firstStart.bWaitForMain = false;
  {
    e2e::ProgramSession program(firstStart);
    HWND check = program.Program().WaitForTopWindow(L"ビデオフォルダ確認", 30s);
    ASSERT_NE(nullptr, check) << "no video folder confirmation at the first start";
    EXPECT_EQ(nullptr, program.Program().WaitForTopWindow(kMainTitle, 0ms)) << "the main window shows behind the question";
    // The default folder: the Documents folder with today's sub-folder, made before the question.
    EXPECT_EQ(L"ビデオフォルダ: \"" + datedFolder + L"\\\"", WithoutLineBreaks(e2e::WindowText(GetDlgItem(check, kFolderCheckText))));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(datedFolder.c_str()));
    EXPECT_TRUE(Checked(check, kFolderCheckBox));

    // The user switches the check off and asks to change the folder: the option sheet opens with it off.
    SendMessageW(GetDlgItem(check, kFolderCheckBox), BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageW(check, WM_COMMAND, MAKEWPARAM(kFolderCheckChange, BN_CLICKED), 0);
    HWND sheet = program.Program().WaitForTopWindow(L"オプション設定", 15s);
    ASSERT_NE(nullptr, sheet) << "フォルダ変更... did not open the options";
    EXPECT_EQ(0u, e2e::ReadSettingNumber(L"VideoFolderCheck")) << "the answer was not saved before the options";
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    EXPECT_FALSE(Checked(page, kOptionsFolderCheck));
    EXPECT_EQ(DocumentsFolder(), e2e::WindowText(GetDlgItem(page, kOptionsFolder)));
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);

    ASSERT_NE(nullptr, program.WaitForMain(30s)) << "no main window after the options";
    EXPECT_EQ(0u, e2e::ReadSettingNumber(L"VideoFolderCheck"));
    // The Documents folder is the default and is stored as such.
    EXPECT_EQ(L"", e2e::ReadSettingText(L"RecordFolder"));
    EXPECT_TRUE(program.Close());
  }
  if (!datedFolderExisted) {
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(datedFolder.c_str())) << "the empty dated folder stayed";
  }
  e2e::DeleteSettings();
}

TEST(Startup, EnglishLibrarySwitchesEveryWindowToEnglish) {
  e2e::SessionOptions english;
  english.bEnglish = true;
  english.bWaitForMain = false;
  english.settings = e2e::Settings{};
  english.settings->dwVideoFolderCheck = 1;
  e2e::ProgramSession program(english);

  HWND check = program.Program().WaitForTopWindow(L"Video folder confirmation", 30s);
  ASSERT_NE(nullptr, check) << "no video folder confirmation in English";
  EXPECT_EQ(std::vector<std::wstring>{}, NonEnglishTexts(check)) << Listed(NonEnglishTexts(check));
  PostMessageW(check, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

  HWND main = program.WaitForMain(30s);
  ASSERT_NE(nullptr, main);
  e2e::RecordPanelDriver panel(main);
  ASSERT_TRUE(panel.WaitReady());
  // Both panels are child windows of the main window, the hidden one too.
  EXPECT_EQ(std::vector<std::wstring>{}, NonEnglishTexts(main)) << Listed(NonEnglishTexts(main));

  // The option sheet with both of its pages.
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
  HWND sheet = program.WaitForOtherDialog(15s);
  ASSERT_NE(nullptr, sheet);
  EXPECT_EQ(L"Options", e2e::WindowText(sheet));
  // The pages are the program's; the sheet's own buttons are the system's.
  for (int index : {0, 1}) {
    SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    EXPECT_EQ(std::vector<std::wstring>{}, NonEnglishTexts(page)) << "page " << index << Listed(NonEnglishTexts(page));
  }
  // The disk check of the general page, over the sheet.
  SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
  HWND general = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  PostMessageW(general, WM_COMMAND, MAKEWPARAM(kOptionsPerformanceCheck, BN_CLICKED), 0);
  HWND diskCheck = program.Program().WaitForTopWindow(L"Performance check", 10s);
  EXPECT_NE(nullptr, diskCheck) << "no disk check in English";
  if (diskCheck != nullptr) {
    EXPECT_EQ(std::vector<std::wstring>{}, NonEnglishTexts(diskCheck)) << Listed(NonEnglishTexts(diskCheck));
    PostMessageW(diskCheck, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(sheet) != FALSE; }, 10s));
  }
  PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  ASSERT_TRUE(e2e::WaitUntil([&] { return program.OtherDialog() == nullptr; }, 10s));

  // The about box from the system menu.
  PostMessageW(main, WM_SYSCOMMAND, 0x10, 0);
  HWND about = program.WaitForOtherDialog(10s);
  ASSERT_NE(nullptr, about);
  EXPECT_EQ(std::vector<std::wstring>{}, NonEnglishTexts(about)) << Listed(NonEnglishTexts(about));
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(e2e::WaitUntil([&] { return program.OtherDialog() == nullptr; }, 10s));

  // The question when the window is closed while recording.
  panel.Click(e2e::record::kRecord);
  ASSERT_TRUE(panel.WaitRecording());
  EXPECT_EQ(std::vector<std::wstring>{}, NonEnglishTexts(main)) << Listed(NonEnglishTexts(main));
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(L"Recording is in progress. Do you really want to quit?", program.AnswerMessageBox(IDYES));
  EXPECT_TRUE(program.Program().WaitForExit(30s));
}
