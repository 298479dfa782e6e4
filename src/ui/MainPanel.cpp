#include "ui/MainPanel.h"

#include <direct.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/RecorderApp.h"
#include "app/SplashWindow.h"
#include "core/DebugTrace.h"
#include "core/LibraryLoading.h"
#include "framework/App.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/OptionSheet.h"
#include "core/TextHelpers.h"
#include "ui/SkinTables.h"
#include "ui/VideoFolderCheckDialog.h"

namespace {

// Looks of the tab captions drawn on the tab buttons.
constexpr COLORREF kCaptionSelected = RGB(240, 240, 240);
constexpr COLORREF kCaptionUnselected = RGB(170, 170, 170);
constexpr COLORREF kCaptionDisabled = RGB(105, 105, 105);
constexpr COLORREF kNameColor = RGB(240, 240, 240);
constexpr COLORREF kFrameColor = RGB(74, 74, 74);

// Layout variants of the tab controls: variant 1 of a tab button is its selected look (one
// bitmap for every state); the selected tab's caption sits two pixels higher than the other.
constexpr int kTabButtonNormal = 0;
constexpr int kTabButtonSelected = 1;
constexpr int kRecordCaptionSelected = 0;
constexpr int kRecordCaptionUnselected = 1;
constexpr int kPlayCaptionUnselected = 0;
constexpr int kPlayCaptionSelected = 1;

// Status icon images.
constexpr int kIconNoCassette = 0;
constexpr int kIconStopped = 1;
constexpr int kIconRecording = 2;
constexpr int kIconBlankTape = 4;
constexpr int kIconTapeEnd = 5;
constexpr int kIconWinding = 6;
constexpr int kIconNoCamcorder = 7;

// The only device mode in which the camcorder can be used: camera mode with a tape.
constexpr int kUsableDVMode = 2;

// PBT_APMQUERYSUSPEND's lParam: bit 0 set when the user may be asked.
constexpr LPARAM kUserInteractionAllowed = 1;

// The "%s" of a string-table text replaced by the given texts in order.
std::wstring FillIn(std::wstring format, std::initializer_list<std::wstring> texts) {
  size_t position = 0;
  for (const std::wstring& text : texts) {
    position = format.find(L"%s", position);
    if (position == std::wstring::npos) break;
    format.replace(position, 2, text);
    position += text.size();
  }
  return format;
}

bool FolderExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring WindowTitle(HWND window) {
  wchar_t title[512] = {};
  ::GetWindowTextW(window, title, 512);
  return title;
}

// The device's trace of an event, preceded by this source's position.
void TraceEvent(int line, const char* name, LPARAM argument) {
  char text[128];
  std::snprintf(text, sizeof(text), "%s Command=%d\n", name, static_cast<int>(argument));
  TraceText(__FILE__, line, text);
}

}  // namespace

void SessionNotification::Register(HWND window, UINT message) {
  m_hWnd = window;
  m_nMessage = message;
  // From the system folder only, never from the current directory or PATH.
  m_hWtsApi = LoadSystemLibrary(L"wtsapi32.dll");
  if (m_hWtsApi == nullptr) return;
  using RegisterFn = BOOL(WINAPI*)(HWND, DWORD);
  auto fnRegister = reinterpret_cast<RegisterFn>(
      reinterpret_cast<void*>(GetProcAddress(m_hWtsApi, "WTSRegisterSessionNotification")));
  if (fnRegister != nullptr) fnRegister(window, NOTIFY_FOR_THIS_SESSION);
}

void SessionNotification::Unregister() {
  if (m_hWtsApi == nullptr) return;
  using UnregisterFn = BOOL(WINAPI*)(HWND);
  auto fnUnregister = reinterpret_cast<UnregisterFn>(
      reinterpret_cast<void*>(GetProcAddress(m_hWtsApi, "WTSUnRegisterSessionNotification")));
  if (fnUnregister != nullptr) fnUnregister(m_hWnd);
  FreeLibrary(m_hWtsApi);
  m_hWtsApi = nullptr;
}

MainPanel::MainPanel(DeviceClock& clock)
    : framework::Dialog(IDD_MAINPANEL),
      m_dvManager(clock),
      m_recordPanel(*this, m_settings, m_dvManager),
      m_playPanel(*this),
      m_dlgFolderSpecify(this) {}

MainPanel::~MainPanel() {
  // The window goes before the panels and the camcorder link its messages would reach.
  if (m_hWnd != nullptr) {
    HWND window = m_hWnd;
    Unbind();
    if (::IsWindow(window)) ::DestroyWindow(window);
  }
}

bool MainPanel::IsEnterOrEsc(const MSG* msg) {
  return msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

bool MainPanel::DrawItemPicture(HWND item, HDC dc, int x, int y) {
  if (item == nullptr) return false;
  auto bitmap = reinterpret_cast<HBITMAP>(::SendMessageW(item, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (bitmap == nullptr) return false;
  BITMAP info{};
  if (GetObjectW(bitmap, sizeof(info), &info) == 0) return false;
  framework::MemoryDC memory(dc);
  framework::SelectObjectScope select(memory, bitmap);
  return BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY) != FALSE;
}

void MainPanel::PlaceChildPanel(HWND panel, int backgroundId, int top) {
  RECT background{};
  ::GetWindowRect(::GetDlgItem(panel, backgroundId), &background);
  ::SetWindowPos(panel, nullptr, 0, top, background.right - background.left, background.bottom - background.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

BOOL MainPanel::OnInitDialog() {
  framework::Dialog::OnInitDialog();
  SplashWindow::ShowSplash(m_hWnd);

  // A second copy of the program finds this window by this property.
  if (framework::App* app = framework::App::Get()) {
    TRACE_FAILED_BOOL(SetPropW(m_hWnd, app->GetAppName().c_str(), m_hWnd), "SetPropW");
  }
  SetWindowText(framework::LoadResString(IDS_APP_TITLE));

  EditSystemMenu();
  LoadIcons();
  // Loaded with the window; the panels take their function keys themselves.
  m_hAccelerators = LoadAcceleratorsW(framework::GetResourceHandle(), MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));

  m_settings.Load();
  if (m_settings.GetNewFolderCreate() == 1) CreateRecordingFolder();
  HandSettingsToRecordGraph();

  SetUpControls();
  SizeToFrame();
  ::ShowWindow(GetDlgItem(IDC_MAIN_CLOSING_NOTICE), SW_HIDE);

  m_dvManager.InitDVManager(m_hWnd, WM_DEVICE_EVENT, kDeviceTimerId);
  m_sessionNotification.Register(m_hWnd, WM_SYSTEM_EVENT);

  m_recordPanel.CreatePanel(m_hWnd);
  m_playPanel.CreatePanel(m_hWnd);
  SelectTab(kRecordTab);
  ShowCamcorderName();
  UpdateStatusIcon();
  SetTimer(m_hWnd, kBlinkTimerId, kBlinkPeriodMs, nullptr);

  const std::wstring recordingFolder = m_settings.GetVideoFolder();
  if (m_pFolders->GetFileSystemName(recordingFolder) == L"NTFS") {
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

void MainPanel::LoadIcons() {
  m_icon.Reset(static_cast<HICON>(LoadImageW(framework::GetResourceHandle(), MAKEINTRESOURCEW(IDI_MAINFRAME),
                                             IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
  if (!m_icon) return;
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.Get()));
}

void MainPanel::SetUpControls() {
  ClearPlaceholderTexts();
  m_lblCamcorderName.SubclassDlgItem(IDC_MAIN_CAMCORDER_NAME, m_hWnd);
  if (const RecorderApp* app = RecorderApp::Get()) m_lblCamcorderName.SetHeight(app->GetLargeFontSize());
  m_lblCamcorderName.SetTextColor(kNameColor);
  m_lblRecordCaption.SubclassDlgItem(IDC_MAIN_RECORD_CAPTION, m_hWnd);
  m_lblPlayCaption.SubclassDlgItem(IDC_MAIN_PLAY_CAPTION, m_hWnd);
  m_lblClosingNotice.SubclassDlgItem(IDC_MAIN_CLOSING_NOTICE, m_hWnd);

  m_toolTip.Create(m_hWnd);
  m_toolTip.Activate(true);
  m_btnRecordTab.SubclassDlgItem(IDC_MAIN_RECORD_TAB, m_hWnd);
  m_btnPlayTab.SubclassDlgItem(IDC_MAIN_PLAY_TAB, m_hWnd);
  m_btnOptions.SubclassDlgItem(IDC_MAIN_OPTIONS, m_hWnd);
  // The captions lie on the tab buttons, which leave them uncovered.
  m_btnRecordTab.AddOverlappingWindow(m_lblRecordCaption);
  m_btnPlayTab.AddOverlappingWindow(m_lblPlayCaption);
  m_skinLayout.Init(m_hWnd, kMainPanelLayout, kMainPanelLayoutRows, &m_toolTip);
}

void MainPanel::HandSettingsToRecordGraph() {
  RecordGraph& graph = m_recordPanel.GetRecordGraph();
  graph.SetRecordMode(m_settings.GetRecordMode() == 0 ? RecordGraph::ModeStandard : RecordGraph::ModeLinked);
  // Preview sizes 0 (none) to 3 (large) are the graph's sizes 4 (none) to 1 (large).
  const DWORD previewSize = std::min<DWORD>(m_settings.GetPreviewSize(), 3);
  graph.SetPreviewSize(4 - static_cast<int>(previewSize));
  const DWORD format = m_settings.GetRecordFormat();
  if (format == 1 || format == 2) graph.SetRecordFormat(static_cast<int>(format));
}

BOOL MainPanel::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN) {
    // Neither Enter nor Esc closes the main window.
    if (IsEnterOrEsc(msg)) return TRUE;
    if (m_recordPanel.OnKeyDown(msg)) return TRUE;
    if (m_playPanel.OnKeyDown(msg)) return TRUE;
    if (OnFunctionKey(msg)) return TRUE;
  }
  if (m_toolTip.IsWindow()) m_toolTip.RelayEvent(msg);
  return framework::Dialog::PreTranslateMessage(msg);
}

BOOL MainPanel::OnFunctionKey(const MSG* msg) {
  if (msg->wParam == VK_F1) {
    // The help request of F1, made here so that it comes the same way on every system.
    HELPINFO help{};
    help.cbSize = sizeof(help);
    help.iContextType = HELPINFO_WINDOW;
    help.hItemHandle = msg->hwnd;
    help.iCtrlId = ::GetDlgCtrlID(msg->hwnd);
    GetCursorPos(&help.MousePos);
    SendMessage(WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    return TRUE;
  }
  if (msg->wParam == VK_F3 && m_btnRecordTab.IsWindow() && ::IsWindowEnabled(m_btnRecordTab)) {
    SelectTab(kRecordTab);
    return TRUE;
  }
  if (msg->wParam == VK_F4 && m_btnPlayTab.IsWindow() && ::IsWindowEnabled(m_btnPlayTab)) {
    SelectTab(kPlayTab);
    return TRUE;
  }
  return FALSE;
}

bool MainPanel::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (m_toolTip.IsWindow()) m_toolTip.CheckAutoHide(msg);
  m_playPanel.RelayOwnerMessage(m_hWnd, msg, wParam, lParam);
  if (FilterSystemEvent(msg, wParam, lParam, result)) return true;
  if (m_dvManager.HandleWindowMessage(msg, wParam, lParam)) {
    result = TRUE;
    return true;
  }
  return framework::Dialog::ProcessMessage(msg, wParam, lParam, result);
}

bool MainPanel::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_MAIN_RECORD_TAB:
      SelectTab(kRecordTab);
      return true;
    case IDC_MAIN_PLAY_TAB:
      SelectTab(kPlayTab);
      return true;
    case IDC_MAIN_OPTIONS:
      OpenOptions();
      return true;
    case IDC_MAIN_SHOW_FOLDER_CHECK:
      RunStartupFolderCheck();
      return true;
    case IDC_MAIN_SHOW_FOLDER_SPECIFY:
      RunFolderSpecify();
      return true;
    default:
      return framework::Dialog::OnCommand(id, code, control);
  }
}

void MainPanel::OnOK() {
  // Enter never closes the main window.
}

void MainPanel::OnCancel() {
  // However the dialog is asked to end, it shuts down in order first.
  if (CanClose() != 0) EndDialog(IDCANCEL);
}

void MainPanel::OnTimer(UINT_PTR timerId) {
  if (timerId == kCloseChainTimerId) {
    KillTimer(m_hWnd, kCloseChainTimerId);
    PostMessage(WM_CLOSE_MODAL_WINDOWS);
    return;
  }
  if (timerId != kBlinkTimerId) return;
  m_nBlink = !m_nBlink;
  UpdateStatusIcon();
}

bool MainPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_CLOSE:
      if (CanClose() != 0) return false;  // the default handling ends the dialog
      result = 0;
      return true;
    case WM_HELP:
      if (GetActiveWindow() == m_hWnd) OpenHelp();
      result = TRUE;
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kSysCommandAbout) {
        OpenAboutBox();
      } else if ((wParam & 0xFFF0) == kSysCommandHelp) {
        OpenHelp();
      } else {
        return false;
      }
      result = 0;
      return true;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam));
      result = TRUE;
      return true;
    case WM_PAINT:
      if (!IsIconic(m_hWnd)) return false;
      PaintMinimizedIcon();
      result = 0;
      return true;
    case WM_SIZE:
      UpdateTitle(&m_lastTimecode);
      return false;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(m_icon.Get());
      return true;
    case WM_DISPLAYCHANGE:
      // Only top-level windows hear of it; the record panel ends a recording on it.
      if (m_recordPanel.IsWindow()) m_recordPanel.SendMessage(WM_DISPLAYCHANGE, wParam, lParam);
      return false;
    case WM_DEVICE_EVENT:
      result = OnDeviceEvent(static_cast<int>(wParam), lParam);
      return true;
    case WM_SYSTEM_EVENT:
      OnSystemEvent(static_cast<int>(wParam), reinterpret_cast<LRESULT*>(lParam));
      result = 0;
      return true;
    case WM_CLOSE_MODAL_WINDOWS:
      CloseModalWindows();
      result = 0;
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

void MainPanel::SelectTab(int tab) {
  m_nCurrentTab = tab;
  const bool record = tab == kRecordTab;
  m_skinLayout.SetVariant(IDC_MAIN_RECORD_CAPTION, record ? kRecordCaptionSelected : kRecordCaptionUnselected);
  m_skinLayout.SetVariant(IDC_MAIN_PLAY_CAPTION, record ? kPlayCaptionUnselected : kPlayCaptionSelected);
  SetCaptionLook(m_lblRecordCaption, record ? kCaptionSelected : kCaptionUnselected);
  SetCaptionLook(m_lblPlayCaption, record ? kCaptionUnselected : kCaptionSelected);
  m_skinLayout.SetVariant(IDC_MAIN_RECORD_TAB, record ? kTabButtonSelected : kTabButtonNormal);
  m_skinLayout.SetVariant(IDC_MAIN_PLAY_TAB, record ? kTabButtonNormal : kTabButtonSelected);
  // The focus leaves the button about to be disabled first.
  ::SetFocus(record ? m_btnPlayTab.GetSafeHwnd() : m_btnRecordTab.GetSafeHwnd());
  ::EnableWindow(m_btnRecordTab, record ? FALSE : TRUE);
  ::EnableWindow(m_btnPlayTab, record ? TRUE : FALSE);
  if (record) {
    m_playPanel.SetVisible(false);
    m_recordPanel.SetVisible(true);
    m_recordPanel.RestartTimers(false);
    m_recordPanel.RestartTimers(true);
  } else {
    m_recordPanel.SetVisible(false);
    m_playPanel.SetVisible(true);
  }
  // The background depends on the tab.
  RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainPanel::SetCaptionLook(SkinLabel& caption, COLORREF color) {
  if (caption.IsWindow()) caption.SetTextColor(color);
}

void MainPanel::SetRecordingLock(bool locked) {
  SetCaptionLook(m_lblPlayCaption, locked ? kCaptionDisabled : kCaptionUnselected);
  ::EnableWindow(m_btnPlayTab, locked ? FALSE : TRUE);
  ::EnableWindow(m_btnOptions, locked ? FALSE : TRUE);
}

void MainPanel::UpdateTitle(const Timecode* timecode) {
  std::wstring title;
  if (IsIconic(m_hWnd) && timecode != nullptr && timecode->nHours >= 0) {
    const Timecode shown = *timecode;
    // Hours, minutes and seconds: the first eight characters of the time code text.
    title = FormatTimecode(shown.nHours, shown.nMinutes, shown.nSeconds, shown.nFrames).substr(0, 8) + L" " +
            framework::LoadResString(IDS_APP_TITLE_MINIMIZED);
    m_lastTimecode = shown;
  } else {
    title = framework::LoadResString(IDS_APP_TITLE);
    m_lastTimecode = Timecode{};
  }
  SetWindowTextIfChanged(title);
}

void MainPanel::SetPlayRequest(const std::wstring& path, int second, int mode) {
  m_playRequest.strPath = path;
  m_playRequest.nSecond = second;
  m_playRequest.nMode = mode;
}

void MainPanel::GetOverlayFlags(int& centreMarker, int& safeMargin) const {
  centreMarker = m_nCentreMarker;
  safeMargin = m_nSafeMargin;
}

void MainPanel::SetOverlayFlags(int centreMarker, int safeMargin) {
  m_nCentreMarker = centreMarker;
  m_nSafeMargin = safeMargin;
}

void MainPanel::EraseBackground(HDC dc) {
  HWND holder = GetDlgItem(m_nCurrentTab == kRecordTab ? IDC_MAIN_RECORD_BACKGROUND : IDC_MAIN_PLAY_BACKGROUND);
  RECT place{};
  if (HWND anchor = GetDlgItem(IDC_MAIN_RECORD_BACKGROUND)) {
    ::GetWindowRect(anchor, &place);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  }
  DrawItemPicture(holder, dc, place.left, place.top);

  RECT client{};
  GetClientRect(m_hWnd, &client);
  if (client.right <= kSkinWidth && client.bottom <= kSkinHeight) return;
  framework::BrushHolder frame(CreateSolidBrush(kFrameColor));
  const RECT right{kSkinWidth, 0, client.right, client.bottom};
  const RECT below{0, kSkinHeight, std::min<LONG>(client.right, kSkinWidth), client.bottom};
  if (right.right > right.left) FillRect(dc, &right, frame.Get());
  if (below.bottom > below.top) FillRect(dc, &below, frame.Get());
}

void MainPanel::UpdateStatusIcon() {
  DVDevice& device = m_dvManager.GetDVDevice();
  int image = kIconNoCamcorder;
  if (device.GetDVMode() == kUsableDVMode) {
    switch (device.GetTapeStatus()) {
      case 0:
        image = m_nBlink ? kIconWinding : kIconNoCamcorder;
        break;
      case 2:
        image = m_nBlink ? kIconBlankTape : kIconNoCamcorder;
        break;
      case 3:
        image = m_nBlink ? kIconTapeEnd : kIconNoCamcorder;
        break;
      case 4:
        image = kIconStopped;
        break;
      case 5:
        image = kIconRecording;
        break;
      default:
        image = kIconNoCassette;
        break;
    }
  }
  // The picture is changed only when it differs from the one shown.
  // Asked at every device event (each frame while a file plays): the item is looked up once.
  if (m_hStatusIcon == nullptr) m_hStatusIcon = GetDlgItem(IDC_MAIN_STATUS_ICON);
  if (m_skinLayout.GetVariant(m_hStatusIcon) != image) m_skinLayout.SetVariant(m_hStatusIcon, image);
}

void MainPanel::ShowCamcorderName() {
  const bool usable = m_dvManager.GetDVDevice().GetDVMode() == kUsableDVMode;
  HWND name = m_lblCamcorderName.GetSafeHwnd();
  if (name == nullptr) name = GetDlgItem(IDC_MAIN_CAMCORDER_NAME);
  const bool shown = (::GetWindowLongPtrW(name, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown != usable) ::ShowWindow(name, usable ? SW_SHOW : SW_HIDE);
}

LRESULT MainPanel::OnDeviceEvent(int code, LPARAM argument) {
  switch (code) {
    case EVENT_DVMODECHANGE:
      TraceEvent(__LINE__, "EVENT_DVMODECHANGE", argument);
      if (m_lblCamcorderName.IsWindow()) {
        const std::wstring& name = m_dvManager.GetDVDevice().GetModelName();
        if (m_lblCamcorderName.GetWindowText() != name) m_lblCamcorderName.SetText(name);
      }
      break;
    case EVENT_TAPESTATUSCHANGE:
      TraceEvent(__LINE__, "EVENT_TAPESTATUSCHANGE", argument);
      break;
    case EVENT_DVCOMMAND:
      TraceEvent(__LINE__, "EVENT_DVCOMMAND", argument);
      break;
    case EVENT_PLAYCOMPLETE:
      TraceEvent(__LINE__, "EVENT_PLAYCOMPLETE", argument);
      break;
    default:
      break;
  }
  ShowCamcorderName();
  UpdateStatusIcon();
  m_recordPanel.OnDvEvent(code, argument);
  m_playPanel.OnDvEvent(code, argument);
  return 0;
}

void MainPanel::OnSystemEvent(int code, LRESULT* answer) {
  switch (code) {
    case EVENT_SUSPEND:
      TRACE_TEXT("EVENT_SUSPEND\n");
      break;
    case EVENT_SESSIONLOCK:
      TRACE_TEXT("EVENT_SESSIONLOCK\n");
      m_dvManager.GetVirtualDevice().SetSessionLocked(TRUE);
      break;
    case EVENT_SESSIONUNLOCK:
      TRACE_TEXT("EVENT_SESSIONUNLOCK\n");
      m_dvManager.GetVirtualDevice().SetSessionLocked(FALSE);
      break;
    case EVENT_QUERYENDSESSION: {
      TRACE_TEXT("EVENT_QUERYENDSESSION\n");
      // A second query while the first one's confirmation is open is refused at once.
      if (m_bAnsweringEndSession) return;
      m_bAnsweringEndSession = true;
      const int allowed = CanClose();
      if (answer != nullptr) *answer = allowed;
      if (allowed != 0) {
        ShowWindow(SW_HIDE);
        PostMessage(WM_CLOSE_MODAL_WINDOWS);
      }
      m_bAnsweringEndSession = false;
      return;
    }
    default:
      return;
  }
  m_recordPanel.OnSystemEvent(code);
  m_playPanel.OnSystemEvent(code);
}

LRESULT MainPanel::SendSystemEvent(int code, LRESULT* answer) {
  return SendMessage(WM_SYSTEM_EVENT, static_cast<WPARAM>(code), reinterpret_cast<LPARAM>(answer));
}

bool MainPanel::FilterSystemEvent(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_POWERBROADCAST && (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMQUERYSTANDBY)) {
    // Nobody could be asked about a recording: the computer stays awake.
    if ((lParam & kUserInteractionAllowed) == 0) {
      result = BROADCAST_QUERY_DENY;
      return true;
    }
    SendSystemEvent(EVENT_SUSPEND);
    result = TRUE;
    return true;
  }
  if (msg == WM_QUERYENDSESSION) {
    LRESULT answer = 0;
    SendSystemEvent(EVENT_QUERYENDSESSION, &answer);
    result = answer;
    return true;
  }
  if (msg == WM_WTSSESSION_CHANGE) {
    const bool connected = m_sessionNotification.IsConsoleConnected();
    if (connected && wParam == WTS_CONSOLE_DISCONNECT) {
      m_sessionNotification.SetConsoleConnected(false);
      SendSystemEvent(EVENT_SESSIONLOCK);
      return false;
    }
    if (connected && wParam == WTS_SESSION_LOCK) {
      SendSystemEvent(EVENT_SESSIONLOCK);
      return false;
    }
    if (connected && wParam == WTS_SESSION_UNLOCK) {
      SendSystemEvent(EVENT_SESSIONUNLOCK);
      return false;
    }
    if (!connected && wParam == WTS_CONSOLE_CONNECT) {
      m_sessionNotification.SetConsoleConnected(true);
      SendSystemEvent(EVENT_SESSIONUNLOCK);
      return false;
    }
  }
  // Setting the screen saver's time-out again restarts its idle time; the panel's timers bring
  // messages several times a second, so neither the screen saver nor idle sleep starts. Once a
  // second is enough for time-outs of a minute or more: each setting writes the user's settings,
  // and the panel sees hundreds of messages a second while a recording plays.
  const DWORD now = GetTickCount();
  if (m_bScreenSaverReset && now - m_dwScreenSaverReset < kScreenSaverResetMs) return false;
  m_bScreenSaverReset = true;
  m_dwScreenSaverReset = now;
  UINT timeout = 0;
  if (SystemParametersInfoW(SPI_GETSCREENSAVETIMEOUT, 0, &timeout, 0)) {
    SystemParametersInfoW(SPI_SETSCREENSAVETIMEOUT, timeout, nullptr, SPIF_UPDATEINIFILE);
  }
  SetThreadExecutionState(ES_SYSTEM_REQUIRED);
  return false;
}

void MainPanel::CloseModalWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));

  // Down the chain of modal windows to the one on top. A dialog that hides itself while a modal
  // window of its own is open (the option sheet during the disk check) is passed through: it is
  // disabled, and the window it waits for is the one to close first.
  HWND current = m_hWnd;
  for (size_t depth = 0; !::IsWindowEnabled(current); ++depth) {
    auto ownedDialog = [&current](HWND window) {
      return ::GetParent(window) == current && ::GetWindow(window, GW_OWNER) == current &&
             (::GetWindowLongPtrW(window, GWL_STYLE) & WS_DLGFRAME) != 0;
    };
    auto found = std::find_if(windows.begin(), windows.end(),
                              [&](HWND window) { return ownedDialog(window) && ::IsWindowVisible(window); });
    if (found == windows.end()) {
      found = std::find_if(windows.begin(), windows.end(),
                           [&](HWND window) { return ownedDialog(window) && !::IsWindowEnabled(window); });
    }
    if (found == windows.end() || depth > windows.size()) return;
    current = *found;
  }

  const std::string closing = "Window close (title=" + ToMultiByte(WindowTitle(current)) + ")\n";
  TRACE_TEXT(closing.c_str());
  // A window that did not close after one request is not asked again.
  if (current == m_hLastCloseWindow) {
    m_hLastCloseWindow = nullptr;
    return;
  }
  m_hLastCloseWindow = current;
  ::UpdateWindow(current);
  HWND noButton = ::GetDlgItem(current, IDNO);
  wchar_t className[32] = {};
  if (noButton != nullptr) ::GetClassNameW(noButton, className, 32);
  if (noButton != nullptr && _wcsicmp(className, L"button") == 0) {
    ::PostMessageW(current, WM_COMMAND, IDNO, 0);
  } else {
    ::PostMessageW(current, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  // The next level is looked at once this window has had time to close: a dialog closes on the
  // cancel command its close request posts in turn.
  if (current != m_hWnd) SetTimer(m_hWnd, kCloseChainTimerId, kCloseChainDelayMs, nullptr);
}

int MainPanel::CanClose() {
  if (m_bClosing) return 1;
  const int recordState = m_recordPanel.GetRecordState();
  if (recordState == RecordPanel::kRecordRunning || recordState == RecordPanel::kRecordPaused) {
    if (framework::AppMessageBox(IDS_CONFIRM_QUIT_RECORDING, MB_YESNO | MB_DEFBUTTON2) != IDYES) return 0;
    m_recordPanel.StopIfRecording();
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  // The folder is held open while it is watched; let go of it so that an empty recording folder
  // (a dated folder that received no recording) can be removed.
  m_folderHandle.Reset();
  m_strFolderPath.clear();
  RemoveDirectoryW(m_settings.GetVideoFolder().c_str());

  MSG pending;
  for (int count = 0; count < 100 && PeekMessageW(&pending, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++count) {
    DispatchMessageW(&pending);
  }
  m_recordPanel.DestroyWindow();
  m_playPanel.DestroyWindow();

  if (HWND notice = GetDlgItem(IDC_MAIN_CLOSING_NOTICE)) {
    m_lblClosingNotice.SetTextColor(RGB(0, 0, 0));
    m_lblClosingNotice.SetBkColor(RGB(255, 255, 255));
    SetWindowLongPtrW(notice, GWL_STYLE, GetWindowLongPtrW(notice, GWL_STYLE) | WS_CLIPSIBLINGS);
    ::ShowWindow(notice, SW_SHOW);
    ::UpdateWindow(notice);
  }
  m_dvManager.ExitDVManager();
  m_sessionNotification.Unregister();
  m_bClosing = true;
  return 1;
}

void MainPanel::OpenHelp() {
  wchar_t module[520] = {};
  GetModuleFileNameW(nullptr, module, 520);
  wchar_t drive[_MAX_DRIVE] = {};
  wchar_t folder[520] = {};
  _wsplitpath_s(module, drive, _MAX_DRIVE, folder, 520, nullptr, 0, nullptr, 0);
  std::wstring file = std::wstring(drive) + folder;
  if (!file.empty() && file.back() == L'\\') file.pop_back();
  file += L"\\Plover.chm";
  // The help window must be able to come in front of the main window.
  SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ShellOpenFile(file);
}

bool MainPanel::ShellOpenFile(const std::wstring& path) {
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(m_hWnd, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

void MainPanel::OpenAboutBox() {
  framework::Dialog about(IDD_ABOUTBOX, this);
  about.DoModal();
}

void MainPanel::PaintMinimizedIcon() {
  framework::PaintDC dc(m_hWnd);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_icon.Get());
}

void MainPanel::SetFolderChoice(FolderChoice& folders) {
  m_pFolders = &folders;
  m_dlgFolderSpecify.SetFolderChoice(folders);
}

void MainPanel::OpenOptions() {
  m_bOptionsOpen = true;
  const std::wstring oldRecordingPath = m_settings.GetNewFolderCreate() == 1 ? m_settings.GetVideoFolder() : L"";
  COptionSheet sheet(m_settings, this, *m_pFolders);
  const INT_PTR result = sheet.DoModal();
  if (result == IDOK) ApplyAcceptedOptions(oldRecordingPath);
  m_bOptionsOpen = false;
  ::SetFocus(m_btnOptions);
}

void MainPanel::ApplyAcceptedOptions(const std::wstring& oldRecordingPath) {
  m_recordPanel.RefreshSettings();
  HandSettingsToRecordGraph();
  m_settings.Save();
  if (!oldRecordingPath.empty()) {
    WatchVideoFolder(m_settings.GetVideoFolder());
    _wrmdir(oldRecordingPath.c_str());
  }
  m_recordPanel.SendPcStatus(TRUE);
}

void MainPanel::RunStartupFolderCheck() {
  if (m_settings.GetVideoFolderCheck() == 1) {
    Sleep(kStartupPauseMs);
    SplashWindow::HideSplash();
    std::wstring folder = m_settings.GetVideoFolder();
    if (!FolderExists(folder)) folder = AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL);
    if (m_pFolders->GetFileSystemName(folder) != L"NTFS") {
      RunFolderSpecify();
      return;
    }
    VideoFolderCheckDialog check(this);
    check.SetFolder(folder);
    check.SetCheckState(static_cast<int>(m_settings.GetVideoFolderCheck()));
    const INT_PTR result = check.DoModal();
    m_settings.SetVideoFolderCheck(check.GetCheckState() == 1 ? 1 : 0);
    m_settings.Save();
    if (result == IDC_FOLDER_CHECK_CHANGE) OpenOptions();
  }
  if (m_settings.GetNewFolderCreate() == 1) CreateRecordingFolder();
}

void MainPanel::RunFolderSpecify() {
  m_dlgFolderSpecify.SetShowing(true);
  m_dlgFolderSpecify.SetFolder(m_settings.GetRecordFolder());
  const INT_PTR result = m_dlgFolderSpecify.DoModal();
  if (result == IDC_FOLDER_SPECIFY_CHOOSE) {
    m_settings.SetRecordFolder(m_dlgFolderSpecify.GetFolder());
    m_settings.Save();
    m_recordPanel.RefreshSettings();
    m_recordPanel.SendPcStatus(TRUE);
    m_dlgFolderSpecify.SetShowing(false);
    if (m_settings.GetNewFolderCreate() == 1) CreateRecordingFolder();
  } else if (result == IDC_FOLDER_SPECIFY_QUIT) {
    m_dlgFolderSpecify.SetShowing(false);
    if (framework::App* app = framework::App::Get()) {
      if (framework::Window* main = app->GetMainWindow()) main->PostMessage(WM_CLOSE);
    }
  } else {
    m_dlgFolderSpecify.SetShowing(false);
  }
}

int MainPanel::WatchVideoFolder(const std::wstring& path) {
  if (FolderExists(path)) {
    if (path != m_strFolderPath) {
      m_folderHandle.Reset();
      HANDLE folder = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr);
      m_folderHandle.Reset(folder == INVALID_HANDLE_VALUE ? nullptr : folder);
      m_strFolderPath = path;
    }
    return 1;
  }
  // The folder is gone (its volume removed, for one): nothing is held for it any more.
  m_folderHandle.Reset();
  m_strFolderPath.clear();
  const std::wstring documents = AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL);
  if (AppSettings::GetFileSystemName(documents) == L"NTFS") {
    m_settings.SetRecordFolder(documents);
    m_settings.SetNewFolderCreate(0);
    m_settings.Save();
    m_recordPanel.RefreshSettings();
    framework::AppMessageBox(FillIn(framework::LoadResString(IDS_VIDEO_FOLDER_CHANGED), {path, documents}), MB_OK);
  } else if (!m_dlgFolderSpecify.IsShowing()) {
    RunFolderSpecify();
  }
  return 0;
}
