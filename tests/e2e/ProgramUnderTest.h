// Starts copies of Plover.exe in throw-away folders and finds their windows, for end-to-end tests.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

inline constexpr wchar_t kMainTitle[] = L"Plover";
inline constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Tavin\\Plover1.0";
inline constexpr wchar_t kBusPipe[] = L"\\\\.\\pipe\\PloverDVBus";
// The mutex the maker's other DV applications hold, and the message the program then gives.
inline constexpr wchar_t kMakerMutexName[] = L"{0A929612-4FEF-4305-BE51-97E75F1A5521}";
inline constexpr wchar_t kQuitOtherAppJapanese[] = L"Ploverを使用する前に他のTavinDVアプリケーションを終了してください。";

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

// The visible dialogs and message boxes of the process, leaving out `except`.
std::vector<HWND> VisibleDialogs(const RunningProgram& program, HWND except = nullptr);
// Waits for a dialog of the process other than `except`, presses `button` on it and returns its static
// texts joined; empty when none came in time.
std::wstring AnswerDialog(const RunningProgram& program, int button, std::chrono::milliseconds timeout,
                          HWND except = nullptr);

// Polls `condition` every 50 ms until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// All top-level windows of a process (visible or not).
std::vector<HWND> TopWindowsOf(DWORD processId);
// The child dialog of `parent` that holds the item `id` (a panel of the main window), or null.
HWND ChildDialogWith(HWND parent, int id);

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// The texts of the static controls of a dialog (a message box's message, for instance).
std::vector<std::wstring> StaticTexts(HWND dialog);
// The static texts of a dialog joined, with no separator.
std::wstring JoinedStaticTexts(HWND dialog);
// In the system's multibyte code page, as the program writes its log files.
std::string Narrow(const std::wstring& text);
// A whole file as bytes (empty when it cannot be read); the writer may still hold it open.
std::string ReadFileText(const std::wstring& path);
// The child panel of the main window that holds the given background item.
HWND FindPanel(HWND main, int backgroundId);
// Posts a key press and its release to a window.
void PressKey(HWND window, WPARAM key);

// plover-dvbus with these arguments; its exit code, 99 when it did not end in time.
DWORD RunBusTool(const std::wstring& arguments);
// The bus's answer to one command sent straight through its control pipe; empty when none listens.
std::string BusAnswer(const std::string& command);

// The user's settings as the program stores them, all written in the order the program reads them.
struct Settings {
  std::wstring strRecordFolder;
  DWORD dwNewFolderCreate = 1;
  DWORD dwNewFolderNameSetting = 0;
  std::wstring strNewFolderName;
  std::wstring strFilePrefix;
  DWORD dwVideoFolderCheck = 0;
  DWORD dwRecordMode = 0;
  DWORD dwPreviewSize = 3;
  DWORD dwRecordFormat = 2;
};
bool WriteSettings(const Settings& settings);
void DeleteSettings();
// A stored number or text of the settings; nullopt when it is missing.
std::optional<DWORD> ReadSettingNumber(const wchar_t* name);
std::optional<std::wstring> ReadSettingText(const wchar_t* name);

struct SessionOptions {
  bool bEnglish = false;       // PLVRLang.dll beside the program
  int nTraceLevel = 0;         // [Debug] FileOut of Plover.ini; 0 writes no Plover.log
  bool bWaitForMain = true;    // wait for the main window before the constructor returns
  bool bFirstStart = false;    // no stored settings at all before the start
  // Written before the start and removed at the end; an empty RecordFolder is replaced by the
  // session's own video folder.
  std::optional<Settings> settings;
};

// One run of the program in its own install folder: started with its settings, its main window
// found, and closed at the end as a user closes it.
class ProgramSession {
 public:
  explicit ProgramSession(SessionOptions options = {});
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  HWND Main() const { return m_hMain; }
  HWND WaitForMain(std::chrono::milliseconds timeout);
  const RunningProgram& Program() const { return *m_spProgram; }
  const InstallFolder& Install() const { return m_install; }
  // <install folder>\video, made before the start.
  std::wstring VideoFolder() const { return m_install.Path() + L"\\video"; }
  std::string TraceLog() const { return ReadFileText(m_install.Path() + L"\\Plover.log"); }

  // A visible dialog or message box of the program other than the main window, or null.
  HWND OtherDialog() const;
  HWND WaitForOtherDialog(std::chrono::milliseconds timeout) const;
  // Waits for a message box, answers it with `button` and returns its texts joined (empty when none came).
  std::wstring AnswerMessageBox(int button, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  // WM_CLOSE to the main window; a question about a running recording is answered Yes. True when the
  // process ended.
  bool Close();

 private:
  SessionOptions m_options;
  InstallFolder m_install;
  std::unique_ptr<RunningProgram> m_spProgram;
  HWND m_hMain = nullptr;
  bool m_bClosed = false;
};

}  // namespace e2e
