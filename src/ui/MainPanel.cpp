#include "ui/MainPanel.h"

#include <direct.h>

#include "app/SplashWindow.h"
#include "core/DebugTrace.h"
#include "framework/App.h"
#include "framework/Resources.h"
#include "resource.h"

MainPanel::MainPanel() : framework::Dialog(IDD_MAINPANEL) {}

MainPanel::~MainPanel() {
  if (m_hIcon != nullptr) DestroyIcon(m_hIcon);
}

BOOL MainPanel::OnInitDialog() {
  framework::Dialog::OnInitDialog();
  SplashWindow::ShowSplash(m_hWnd);

  // A second copy of the program finds this window by this property.
  const std::wstring& appName = framework::App::Get()->GetAppName();
  TRACE_FAILED_BOOL(SetPropW(m_hWnd, appName.c_str(), m_hWnd), "SetPropW");
  SetWindowText(framework::LoadResString(IDS_APP_TITLE));

  EditSystemMenu();
  m_hIcon = static_cast<HICON>(LoadImageW(framework::GetResourceHandle(), MAKEINTRESOURCEW(IDI_MAINFRAME),
                                          IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (m_hIcon != nullptr) {
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  }

  m_settings.Load();
  if (m_settings.GetNewFolderCreate() == 1) CreateRecordingFolder();

  SizeToFrame();
  ClearPlaceholderTexts();
  ::ShowWindow(GetDlgItem(IDC_MAIN_CLOSING_NOTICE), SW_HIDE);
  SetTimer(m_hWnd, kBlinkTimerId, kBlinkPeriodMs, nullptr);

  const std::wstring recordingFolder = m_settings.GetVideoFolder();
  if (AppSettings::GetFileSystemName(recordingFolder) == L"NTFS") {
    PostMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SHOW_FOLDER_CHECK, 0), 0);
  } else {
    _wrmdir(recordingFolder.c_str());
    Sleep(kStartupPauseMs);
    SplashWindow::HideSplash();
    PostMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_SHOW_FOLDER_SPECIFY, 0), 0);
  }
  m_settings.Save();
  // The modal loop shows the window once the start-up messages have been handled.
  ShowWindow(SW_HIDE);
  return TRUE;
}

BOOL MainPanel::PreTranslateMessage(MSG* msg) {
  // Neither Enter nor Esc closes the main window.
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) return TRUE;
  return framework::Dialog::PreTranslateMessage(msg);
}

bool MainPanel::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_MAIN_SHOW_FOLDER_CHECK:
      RunStartupFolderCheck();
      return true;
    default:
      return framework::Dialog::OnCommand(id, code, control);
  }
}

void MainPanel::OnTimer(UINT_PTR timerId) {
  if (timerId == kBlinkTimerId) m_nBlink = !m_nBlink;
}

bool MainPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kSysCommandAbout) {
        OpenAboutBox();
        result = 0;
        return true;
      }
      return false;
    case WM_PAINT:
      if (IsIconic(m_hWnd)) {
        PaintMinimizedIcon();
        result = 0;
        return true;
      }
      return false;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    default:
      return framework::Dialog::OnMessage(msg, wParam, lParam, result);
  }
}

void MainPanel::EditSystemMenu() {
  HMENU menu = GetSystemMenu(m_hWnd, FALSE);
  if (TRACE_NULL(menu, "GetSystemMenu")) return;
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  const std::wstring help = framework::LoadResString(IDS_HELP_MENU);
  const std::wstring about = framework::LoadResString(IDS_ABOUTBOX);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  if (!help.empty()) AppendMenuW(menu, MF_STRING, kSysCommandHelp, help.c_str());
  if (!about.empty()) AppendMenuW(menu, MF_STRING, kSysCommandAbout, about.c_str());
}

void MainPanel::SizeToFrame() {
  HWND frame = GetDlgItem(IDC_MAIN_FRAME);
  if (frame == nullptr) return;
  RECT frameRect{};
  ::GetWindowRect(frame, &frameRect);
  const int frameWidth = frameRect.right - frameRect.left;
  const int frameHeight = frameRect.bottom - frameRect.top;
  SetWindowPos(m_hWnd, nullptr, 0, 0, frameWidth, frameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  SetWindowPos(m_hWnd, nullptr, 0, 0, 2 * frameWidth - client.right, 2 * frameHeight - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainPanel::ClearPlaceholderTexts() {
  // Items whose caption starts with "!" only reserve a place for the skin; their text never shows.
  for (HWND item = GetWindow(m_hWnd, GW_CHILD); item != nullptr; item = GetWindow(item, GW_HWNDNEXT)) {
    wchar_t first[2] = {};
    if (::GetWindowTextW(item, first, 2) > 0 && first[0] == L'!') ::SetWindowTextW(item, L"");
  }
}

void MainPanel::CreateRecordingFolder() {
  // Only the last level is created; an existing folder is no error.
  _wmkdir(m_settings.GetVideoFolder().c_str());
}

void MainPanel::RunStartupFolderCheck() {
  if (m_settings.GetVideoFolderCheck() == 1) {
    Sleep(kStartupPauseMs);
    SplashWindow::HideSplash();
  }
  if (m_settings.GetNewFolderCreate() == 1) CreateRecordingFolder();
}

void MainPanel::OpenAboutBox() {
  framework::Dialog about(IDD_ABOUTBOX, this);
  about.DoModal();
}

void MainPanel::PaintMinimizedIcon() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &ps);
}
