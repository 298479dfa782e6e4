#include "app/RecorderApp.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/SplashWindow.h"
#include "core/DebugTrace.h"
#include "core/TextHelpers.h"
#include "devices/BusControl.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/MainPanel.h"
#include "ui/SkinLabel.h"

namespace {

// Seen from every logon session, so that one copy runs per machine.
const wchar_t kInstanceMutexName[] = L"Global\\{B54ECEA0-7DDC-498f-B0A5-AC0622B0AE04}";
// Created by every DV application of the maker; its existence means such an application runs.
const wchar_t kMakerMutexName[] = L"{0A929612-4FEF-4305-BE51-97E75F1A5521}";
const wchar_t kLanguageLibraryName[] = L"PLVRLang.dll";

int SizeOr(const std::vector<std::wstring>& pieces, size_t index, int fallback) {
  if (index >= pieces.size()) return fallback;
  const std::wstring& piece = pieces[index];
  if (piece.find_first_not_of(L" \t") == std::wstring::npos) return fallback;
  return _wtoi(piece.c_str());
}

}  // namespace

FontSizes ParseFontSizes(const std::wstring& strSizes) {
  const std::vector<std::wstring> pieces = SplitString(strSizes, L"|");
  FontSizes sizes;
  sizes.nSmall = SizeOr(pieces, 0, sizes.nSmall);
  sizes.nStandard = SizeOr(pieces, 1, sizes.nStandard);
  sizes.nLarge = SizeOr(pieces, 2, sizes.nLarge);
  return sizes;
}

RecorderApp* RecorderApp::Get() { return static_cast<RecorderApp*>(framework::App::Get()); }

BOOL RecorderApp::InitInstance() {
  TRACE_FAILED_HR(CoInitialize(nullptr), "CoInitialize");
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  LoadLanguageLibrary();

  m_hInstanceMutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
  if (TRACE_NULL(m_hInstanceMutex, "m_hInstanceMutex")) return FALSE;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ActivateRunningCopy();
    ReleaseMutexes();
    return FALSE;
  }

  m_hMakerMutex = CreateMutexW(nullptr, FALSE, kMakerMutexName);
  if (TRACE_NULL(m_hMakerMutex, "m_hMakerMutex")) {
    ReleaseMutexes();
    return FALSE;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    const std::wstring message = framework::LoadResString(IDS_QUIT_OTHER_TAVIN_APP);
    MessageBoxW(nullptr, message.c_str(), GetAppName().c_str(), MB_OK | MB_ICONINFORMATION);
    ReleaseMutexes();
    return FALSE;
  }

  LoadInterfaceFont();
  // The camcorder bus of this machine, with its control pipe; only the copy that runs serves it.
  devices::StartProgramBus();

  framework::CommandLineInfo commandLine;
  ParseCommandLine(commandLine);
  SplashWindow::EnableSplash(commandLine.m_bShowSplash);

  {
    MainPanel mainPanel;
    SetMainWindow(&mainPanel);
    mainPanel.DoModal();
    SetMainWindow(nullptr);
  }
  ReleaseMutexes();
  return FALSE;
}

int RecorderApp::ExitInstance() {
  devices::StopProgramBus();
  CoUninitialize();
  return framework::App::ExitInstance();
}

BOOL RecorderApp::PreTranslateMessage(MSG* msg) {
  if (SplashWindow::PreTranslateAppMessage(msg)) return TRUE;
  return framework::App::PreTranslateMessage(msg);
}

void RecorderApp::LoadLanguageLibrary() {
  // Never unloaded: every text, dialog and bitmap is taken from it for the rest of the run.
  HMODULE library = LoadLibraryW(kLanguageLibraryName);
  if (library != nullptr) framework::SetResourceHandle(library);
}

bool RecorderApp::ActivateRunningCopy() {
  const std::wstring& appName = GetAppName();
  for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (GetPropW(window, appName.c_str()) == nullptr) continue;
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    if (IsWindow(window)) SetForegroundWindow(GetLastActivePopup(window));
    return true;
  }
  return false;
}

void RecorderApp::LoadInterfaceFont() {
  m_strFontFace = framework::LoadResString(IDS_FONT_FACE);
  const FontSizes sizes = ParseFontSizes(framework::LoadResString(IDS_FONT_SIZES));
  m_nSmallFontSize = sizes.nSmall;
  m_nStandardFontSize = sizes.nStandard;
  m_nLargeFontSize = sizes.nLarge;
  SkinLabel::SetInterfaceFont(m_strFontFace, m_nStandardFontSize);
}

void RecorderApp::ReleaseMutexes() {
  // Neither mutex is owned; the handles stay open until the process ends.
  if (m_hMakerMutex != nullptr) ReleaseMutex(m_hMakerMutex);
  if (m_hInstanceMutex != nullptr) ReleaseMutex(m_hInstanceMutex);
}
