// The program's edges seen from outside: a client of the camcorder bus's control pipe that stalls,
// another process holding the pipe's name, and a language library where the program does not live.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ProgramUnderTest.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::RunningProgram;

namespace {

const wchar_t kMainTitle[] = L"Plover";
const wchar_t kPipeName[] = L"\\\\.\\pipe\\PloverDVBus";
const wchar_t kMakerMutexName[] = L"{0A929612-4FEF-4305-BE51-97E75F1A5521}";
const wchar_t kQuitOtherAppJapanese[] =
    L"Ploverを使用する前に他のTavinDVアプリケーションを終了してください。";

DWORD RunTool(const std::wstring& arguments) {
  RunningProgram command(e2e::BinaryFolder() + L"\\plover-dvbus.exe", arguments);
  DWORD exitCode = 99;
  EXPECT_TRUE(command.WaitForExit(30s, &exitCode)) << "plover-dvbus did not end";
  return exitCode;
}

// Closes the main window and waits for it to go; the process itself is then left to end.
void CloseMainWindow(HWND mainWindow) {
  PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindow(mainWindow) == FALSE; }, 30s)) << "the main window stayed";
}

std::string ReadFileText(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

// The message box's texts joined, after pressing its OK button.
std::wstring AnswerMessageBox(const RunningProgram& program) {
  HWND box = nullptr;
  e2e::WaitUntil(
      [&] {
        for (HWND hwnd : program.TopWindows()) {
          if (IsWindowVisible(hwnd) && e2e::ClassName(hwnd) == L"#32770") box = hwnd;
        }
        return box != nullptr;
      },
      30s);
  if (box == nullptr) return L"";
  std::wstring all;
  for (const auto& text : e2e::StaticTexts(box)) all += text;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return all;
}

}  // namespace

TEST(ProgramEdges, SilentPipeClientNeitherKeepsOthersOutNorHoldsTheProgram) {
  InstallFolder install;
  RunningProgram program(install.ProgramPath());
  HWND main = program.WaitForTopWindow(kMainTitle, 30s);
  ASSERT_NE(nullptr, main);

  // Connects and never sends a byte.
  HANDLE silent = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(e2e::WaitUntil(
      [&] {
        silent = CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return silent != INVALID_HANDLE_VALUE;
      },
      10s));
  EXPECT_EQ(0u, RunTool(L"status")) << "the silent client kept the command out";

  CloseMainWindow(main);
  EXPECT_TRUE(program.WaitForExit(2s)) << "the program stayed after its window had gone";
  CloseHandle(silent);
}

TEST(ProgramEdges, PipeNameTakenByAnotherProcessIsTracedAndTheProgramRunsWithoutIt) {
  // This test process takes the name first, with a pipe of the same kind.
  HANDLE other = CreateNamedPipeW(kPipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                  PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);

  InstallFolder install;
  ASSERT_TRUE(WritePrivateProfileStringW(L"Debug", L"FileOut", L"1", (install.Path() + L"\\Plover.ini").c_str()));
  {
    RunningProgram program(install.ProgramPath());
    HWND main = program.WaitForTopWindow(kMainTitle, 30s);
    ASSERT_NE(nullptr, main) << "the program did not run without its pipe";
    CloseMainWindow(main);
    EXPECT_TRUE(program.WaitForExit(10s));
  }
  const std::string log = ReadFileText(install.Path() + L"\\Plover.log");
  EXPECT_NE(std::string::npos, log.find("another process holds the camcorder bus's control pipe \\\\.\\pipe\\PloverDVBus"))
      << log;
  CloseHandle(other);
}

TEST(ProgramEdges, LanguageLibraryOnlyInTheCurrentDirectoryOrPathIsNotLoaded) {
  // The maker's other application makes the program show one message box and end.
  HANDLE makerMutex = CreateMutexW(nullptr, FALSE, kMakerMutexName);
  ASSERT_NE(nullptr, makerMutex);
  InstallFolder install;
  InstallFolder currentFolder(/*withEnglishLibrary=*/true);
  InstallFolder pathFolder(/*withEnglishLibrary=*/true);

  wchar_t oldPath[32768] = {};
  const DWORD oldPathChars = GetEnvironmentVariableW(L"PATH", oldPath, 32768);
  SetEnvironmentVariableW(L"PATH", (pathFolder.Path() + L";" + oldPath).c_str());
  RunningProgram program(install.ProgramPath(), L"/nosplash", currentFolder.Path());
  SetEnvironmentVariableW(L"PATH", oldPathChars > 0 ? oldPath : nullptr);

  EXPECT_EQ(kQuitOtherAppJapanese, AnswerMessageBox(program)) << "a library beside neither folder switched the texts";
  EXPECT_TRUE(program.WaitForExit(20s));
  CloseHandle(makerMutex);
}
