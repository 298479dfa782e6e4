// The process's one application object: start-up, the message loop, the main window and the
// command line.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

class Window;

// The standard command line: switches start with "/" or "-". "/nosplash" and "/nologo" (any case)
// turn the splash off; the first plain argument is kept as a file name.
class CommandLineInfo {
 public:
  virtual ~CommandLineInfo() = default;
  // One argument, without its "/" or "-" when `isFlag`; `isLast` for the last one.
  virtual void ParseParam(const wchar_t* param, bool isFlag, bool isLast);

  bool m_bShowSplash = true;
  std::wstring m_strFileName;
};

class App {
 public:
  App();
  virtual ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // The application object of the process, or null when none exists.
  static App* Get();

  // Start-up; TRUE runs the message loop, FALSE goes straight to ExitInstance.
  virtual BOOL InitInstance();
  // Clean-up; the result is the process's exit code (the WM_QUIT code after the loop ran).
  virtual int ExitInstance();
  // Every queued message passes here before it is dispatched: the base walks the target window and
  // its parents up to its top-level window (Window::PreTranslateMessage). TRUE consumes it.
  virtual BOOL PreTranslateMessage(MSG* msg);

  // The message loop; returns ExitInstance's result when WM_QUIT arrives.
  virtual int Run();
  // InitInstance, Run when it succeeded, ExitInstance in every case; the process's exit code.
  int Main();

  Window* GetMainWindow() const { return m_pMainWnd; }
  void SetMainWindow(Window* window) { m_pMainWnd = window; }

  // Parses the process's command line (GetCommandLineW) into `info`.
  void ParseCommandLine(CommandLineInfo& info);
  // Parses a given command line, the program's name first.
  static void ParseCommandLine(const wchar_t* commandLine, CommandLineInfo& info);

  // The executable's base name without extension ("Plover" for Plover.exe).
  const std::wstring& GetAppName() const { return m_strAppName; }
  // The caption of the application's message boxes; the application name until set.
  const std::wstring& GetAppTitle() const { return m_strAppTitle; }
  void SetAppTitle(std::wstring title) { m_strAppTitle = std::move(title); }

  // Registers the common controls (list views, tooltips, property sheets, track bars...).
  static bool InitCommonControls();

  // A message box of the application, owned by the main window's last active pop-up (or by the
  // active window), with the application's title. Returns the button pressed.
  int DoMessageBox(const std::wstring& text, UINT type) const;
  HINSTANCE GetInstanceHandle() const;

 protected:
  Window* m_pMainWnd = nullptr;
  int m_nExitCode = 0;

 private:
  std::wstring m_strAppName;
  std::wstring m_strAppTitle;
};

// The application's message box for a text, or for a string of the resource module.
int AppMessageBox(const std::wstring& text, UINT type = MB_OK);
int AppMessageBox(UINT stringId, UINT type = MB_OK);

// The program's entry: constructs the application and runs it.
//   int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return framework::RunApp<RecorderApp>(); }
template <class AppClass>
int RunApp() {
  AppClass app;
  return app.Main();
}

}  // namespace framework
