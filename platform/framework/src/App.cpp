#include "framework/App.h"

#include <commctrl.h>
#include <shellapi.h>

#include "framework/MessageLoop.h"
#include "framework/Resources.h"
#include "framework/Window.h"

namespace framework {
namespace {
App* g_app = nullptr;

std::wstring ExecutableBaseName() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length < MAX_PATH ? length : 0);
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}
}  // namespace

void CommandLineInfo::ParseParam(const wchar_t* param, bool isFlag, bool) {
  if (isFlag) {
    if (::lstrcmpiW(param, L"nosplash") == 0 || ::lstrcmpiW(param, L"nologo") == 0) m_bShowSplash = false;
  } else if (m_strFileName.empty()) {
    m_strFileName = param;
  }
}

App::App() : m_strAppName(ExecutableBaseName()), m_strAppTitle(m_strAppName) {
  // One application object per process: a second one does not take over.
  if (g_app == nullptr) g_app = this;
}

App::~App() {
  if (g_app == this) g_app = nullptr;
}

App* App::Get() { return g_app; }

HINSTANCE App::GetInstanceHandle() const { return ::GetModuleHandleW(nullptr); }

bool App::InitCommonControls() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  return ::InitCommonControlsEx(&controls) != FALSE;
}

int App::DoMessageBox(const std::wstring& text, UINT type) const {
  HWND owner = m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr;
  // A box over the main window goes over whatever modal window sits on it now.
  owner = owner != nullptr ? ::GetLastActivePopup(owner) : ::GetActiveWindow();
  return ::MessageBoxW(owner, text.c_str(), m_strAppTitle.c_str(), type);
}

int AppMessageBox(const std::wstring& text, UINT type) {
  if (App* app = App::Get()) return app->DoMessageBox(text, type);
  return ::MessageBoxW(::GetActiveWindow(), text.c_str(), nullptr, type);
}

int AppMessageBox(UINT stringId, UINT type) { return AppMessageBox(LoadResString(stringId), type); }

BOOL App::InitInstance() { return TRUE; }

int App::ExitInstance() { return m_nExitCode; }

BOOL App::PreTranslateMessage(MSG* msg) { return WalkPreTranslateTree(msg); }

int App::Run() {
  int quitCode = 0;
  RunModalLoop([] { return true; }, nullptr, &quitCode);
  // RunModalLoop posts WM_QUIT again for an outer loop; this is the outermost one.
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  m_nExitCode = quitCode;
  return ExitInstance();
}

int App::Main() {
  if (InitInstance()) return Run();
  return ExitInstance();
}

void App::ParseCommandLine(CommandLineInfo& info) { ParseCommandLine(::GetCommandLineW(), info); }

void App::ParseCommandLine(const wchar_t* commandLine, CommandLineInfo& info) {
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(commandLine, &count);
  if (args == nullptr) return;
  for (int i = 1; i < count; ++i) {
    const wchar_t* arg = args[i];
    const bool isFlag = arg[0] == L'/' || arg[0] == L'-';
    info.ParseParam(isFlag ? arg + 1 : arg, isFlag, i == count - 1);
  }
  ::LocalFree(args);
}

}  // namespace framework
