// Starts copies of Plover.exe in throw-away folders and finds their windows, for end-to-end tests.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// The folder of the running test binary; Plover.exe is built beside it.
std::wstring BinaryFolder();

// A fresh folder holding a copy of Plover.exe (and, on request, the English language library).
class InstallFolder {
 public:
  explicit InstallFolder(bool withEnglishLibrary = false);
  ~InstallFolder();
  InstallFolder(const InstallFolder&) = delete;
  InstallFolder& operator=(const InstallFolder&) = delete;

  const std::wstring& Path() const { return m_strPath; }
  std::wstring ProgramPath() const { return m_strPath + L"\\Plover.exe"; }

 private:
  std::wstring m_strPath;
};

// One started process of the program.
class RunningProgram {
 public:
  // Runs in `workingFolder`, or in the program's own folder when it is empty.
  RunningProgram(const std::wstring& programPath, const std::wstring& arguments = L"/nosplash",
                 const std::wstring& workingFolder = L"");
  ~RunningProgram();  // ends the process if it still runs
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool Started() const { return m_process.hProcess != nullptr; }
  DWORD ProcessId() const { return m_process.dwProcessId; }
  HANDLE ProcessHandle() const { return m_process.hProcess; }
  // Waits for the process to end; true with its exit code when it did in time.
  bool WaitForExit(std::chrono::milliseconds timeout, DWORD* exitCode = nullptr) const;
  bool IsRunning() const;
  void Terminate();

  // The first visible top-level window of this process whose text equals `title` (any title when empty).
  HWND WaitForTopWindow(const std::wstring& title, std::chrono::milliseconds timeout) const;
  // All top-level windows of the process (visible or not).
  std::vector<HWND> TopWindows() const;

 private:
  PROCESS_INFORMATION m_process{};
};

// Polls `condition` every 50 ms until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// The texts of the static controls of a dialog (a message box's message, for instance).
std::vector<std::wstring> StaticTexts(HWND dialog);

}  // namespace e2e
