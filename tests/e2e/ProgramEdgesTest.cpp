// The program's edges seen from outside: a client of the camcorder bus's control pipe that stalls,
// another process holding the pipe's name, and a language library where the program does not live.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ProgramUnderTest.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::kBusPipe;
using e2e::kMainTitle;
using e2e::kMakerMutexName;
using e2e::kQuitOtherAppJapanese;
using e2e::RunningProgram;

namespace {


// Closes the main window and waits for it to go; the process itself is then left to end.
void CloseMainWindow(HWND mainWindow) {
  PostMessageW(mainWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindow(mainWindow) == FALSE; }, 30s)) << "the main window stayed";
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
        silent = CreateFileW(kBusPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return silent != INVALID_HANDLE_VALUE;
      },
      10s));
  EXPECT_EQ(0u, e2e::RunBusTool(L"status")) << "the silent client kept the command out";

  CloseMainWindow(main);
  EXPECT_TRUE(program.WaitForExit(2s)) << "the program stayed after its window had gone";
  CloseHandle(silent);
}

TEST(ProgramEdges, PipeNameTakenByAnotherProcessIsTracedAndTheProgramRunsWithoutIt) {
  // This test process takes the name first, with a pipe of the same kind.
  HANDLE other = CreateNamedPipeW(kBusPipe, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
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
  const std::string log = e2e::ReadFileText(install.Path() + L"\\Plover.log");
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

  EXPECT_EQ(kQuitOtherAppJapanese, e2e::AnswerDialog(program, IDOK, 30s)) << "a library beside neither folder switched the texts";
  EXPECT_TRUE(program.WaitForExit(20s));
  CloseHandle(makerMutex);
}
