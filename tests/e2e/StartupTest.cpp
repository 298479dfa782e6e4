// The program's start-up as a user meets it: one copy at a time, the maker's other applications,
// the main window and the language library.
#include <windows.h>

#include <gtest/gtest.h>

#include "ProgramUnderTest.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::RunningProgram;

namespace {

const wchar_t kMainTitle[] = L"Plover";
const wchar_t kMakerMutexName[] = L"{0A929612-4FEF-4305-BE51-97E75F1A5521}";
const wchar_t kQuitOtherAppJapanese[] =
    L"Ploverを使用する前に他のTavinDVアプリケーションを終了してください。";

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

// Message boxes of the process, with their texts, while the process runs.
std::vector<HWND> VisibleDialogs(const RunningProgram& program) {
  std::vector<HWND> dialogs;
  for (HWND hwnd : program.TopWindows()) {
    if (IsWindowVisible(hwnd) && e2e::ClassName(hwnd) == L"#32770") dialogs.push_back(hwnd);
  }
  return dialogs;
}

void CloseMainWindow(RunningProgram& program, HWND mainWindow) {
  PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(program.WaitForExit(20s)) << "the program did not end after WM_CLOSE";
}

// Returns the text of the message box the program shows, after pressing its OK button.
std::wstring AnswerMessageBox(const RunningProgram& program) {
  HWND box = nullptr;
  e2e::WaitUntil(
      [&] {
        auto dialogs = VisibleDialogs(program);
        if (dialogs.empty()) return false;
        box = dialogs.front();
        return true;
      },
      20s);
  if (box == nullptr) return L"";
  const auto texts = e2e::StaticTexts(box);
  EXPECT_EQ(1u, VisibleDialogs(program).size()) << "only one message box is shown";
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  std::wstring all;
  for (const auto& text : texts) all += text;
  return all;
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
  const std::wstring tool = e2e::BinaryFolder() + L"\\plover-dvbus.exe";
  auto runTool = [&](const std::wstring& arguments) {
    RunningProgram command(tool, arguments);
    DWORD exitCode = 99;
    EXPECT_TRUE(command.WaitForExit(20s, &exitCode));
    return exitCode;
  };
  EXPECT_EQ(0u, runTool(L"status"));
  {
    RunningProgram second(install.ProgramPath());
    EXPECT_TRUE(second.WaitForExit(20s));
  }
  EXPECT_EQ(0u, runTool(L"status"));
  CloseMainWindow(program, main);
  EXPECT_EQ(2u, runTool(L"status")) << "no program listens after the window closed";
}
