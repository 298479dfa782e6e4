#include "ui/RecordPanel.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>

#include "app/RecorderApp.h"
#include "core/AppSettings.h"
#include "core/DebugTrace.h"
#include "core/TextHelpers.h"
#include "device/DVManager.h"
#include "files/AviInspection.h"
#include "framework/App.h"
#include "framework/PopupMenu.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/MainPanel.h"
#include "ui/SkinTables.h"

namespace {

// Looks of the panel's texts.
constexpr COLORREF kLightText = RGB(240, 240, 240);
constexpr COLORREF kPanelGrey = RGB(73, 73, 73);
constexpr COLORREF kPreviewBlack = RGB(27, 27, 27);
constexpr COLORREF kRecordingRed = RGB(255, 0, 0);
constexpr COLORREF kTimecodeCyan = RGB(34, 220, 218);
constexpr COLORREF kWarningOrange = RGB(194, 68, 29);
constexpr COLORREF kCautionYellow = RGB(239, 242, 1);
constexpr COLORREF kKeyGrey = RGB(110, 110, 110);
constexpr COLORREF kAnnouncementBack = RGB(192, 192, 192);
constexpr COLORREF kModeBack = RGB(91, 91, 91);
constexpr COLORREF kFormatBack = RGB(85, 85, 85);
constexpr LONG kCounterFontHeight = 16;
constexpr const wchar_t* kCounterFace = L"Lucida Console";
constexpr const wchar_t* kTimecodeFace = L"MS Sans Serif";
constexpr LONG kSmallestTimecodeHeight = 9;
constexpr LONG kSmallestCounterHeight = 8;

constexpr int kToolTipWidth = 600;
constexpr UINT_PTR kFileNameToolId = 10;

constexpr UINT kIconPeriodMs = 125;
constexpr UINT kCounterPeriodMs = 50;
constexpr UINT kTitlePeriodMs = 100;
constexpr UINT kTickPeriodMs = 1000;
constexpr UINT kLevelPeriodMs = 50;
constexpr int kIconFrames = 8;

// Recordable seconds at or below which no recording starts.
constexpr ULONGLONG kStartReserveSeconds = 10;
// Minutes shown in white above this; at or below in yellow, and 0 h 0 m in orange.
constexpr ULONGLONG kCautionMinutes = 5;

// The camcorder's tape status and the transport command of its tape subunit.
constexpr int kTapeStopped = 4;
constexpr int kTapeRecording = 5;
constexpr BYTE kOpcodeRecord = 0xC2;
constexpr BYTE kOperandRecord = 0x75;
constexpr BYTE kOperandRecordPause = 0x7D;
// Commands of the camcorder through the virtual VCR.
constexpr LPARAM kCamcorderRecord = 2;
constexpr LPARAM kCamcorderStop = 3;
// The computer's tape state told to the camcorder.
constexpr int kPcTapeReady = 3;
constexpr int kPcTapeIdle = 5;
// The only device mode in which the camcorder records: camera mode with a tape.
constexpr int kCameraWithTape = 2;
// Settings values.
constexpr DWORD kLinkedMode = 1;
constexpr DWORD kNoPreview = 0;

// Preview layouts (PreviewSize 3 large ... 0 none) as variants of the preview's skin rows; the
// 16:9 variants are 10 higher.
constexpr int kPreviewVariantNone = 3;
constexpr int kWideVariantOffset = 10;
// The large 4:3 frame, where the right button opens the preview menu.
constexpr RECT kLargePreviewFrame{12, 17, 12 + 360, 17 + 270};

// What each connection status announces (status 8 is usable).
UINT AnnouncementForStatus(int status) {
  switch (status) {
    case DEVICE_STATUS_TOO_MANY_NODES: return IDS_TOO_MANY_1394_DEVICES;
    case DEVICE_STATUS_NOT_SUPPORTED:
    case DEVICE_STATUS_NO_DVCONTROL_ANSWER: return IDS_CAMCORDER_NOT_SUPPORTED;
    case DEVICE_STATUS_CARD_MODE: return IDS_CAMCORDER_CARD_MODE;
    case DEVICE_STATUS_NOT_CAMERA_MODE: return IDS_CAMCORDER_NOT_CAMERA_MODE;
    case DEVICE_STATUS_DVCONTROL_OFF: return IDS_CAMCORDER_DV_CONTROL_OFF;
    default: return IDS_CAMCORDER_NOT_CONNECTED;
  }
}

// Dropped frames already reported to the camcorder, for the whole process.
int g_nReportedDrops = 0;

// What the camcorder is told of the battery: -2 on mains power, -1 unknown, else minutes left.
int BatteryMinutes() {
  SYSTEM_POWER_STATUS status{};
  if (!GetSystemPowerStatus(&status)) return -1;
  if (status.ACLineStatus == 1) return -2;
  if (status.BatteryLifeTime == static_cast<DWORD>(-1)) return -1;
  return static_cast<int>(status.BatteryLifeTime / 60);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileTitleOf(const std::wstring& fileName) {
  const size_t dot = fileName.rfind(L'.');
  return dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
}

// The format's "%s" replaced by the value.
std::wstring FillField(std::wstring format, const std::wstring& value) {
  const size_t field = format.find(L"%s");
  if (field != std::wstring::npos) format.replace(field, 2, value);
  return format;
}

// The width of a text in a label's font.
int TextWidth(const SkinLabel& label, const wchar_t* text) {
  HDC dc = ::GetDC(label);
  const HGDIOBJ old = label.GetFont() != nullptr ? ::SelectObject(dc, label.GetFont()) : nullptr;
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &extent);
  if (old != nullptr) ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  return static_cast<int>(extent.cx);
}

bool SameFileTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace

RecordPanel::RecordPanel(MainPanel& mainPanel, AppSettings& settings, DVManager& dvManager)
    : framework::Dialog(IDD_RECORDPANEL),
      m_mainPanel(mainPanel),
      m_settings(settings),
      m_dvManager(dvManager) {}

RecordPanel::~RecordPanel() = default;

bool RecordPanel::CreatePanel(HWND parent) {
  if (!Create(parent)) return false;
  MainPanel::PlaceChildPanel(m_hWnd, IDC_RECORD_BACKGROUND, kPanelTop);
  return true;
}

// ---- initialisation -----------------------------------------------------------------------------

BOOL RecordPanel::OnInitDialog() {
  framework::Dialog::OnInitDialog();
  const HRESULT hr = m_recordGraph.InitGraph(&m_dvManager, GetDlgItem(IDC_RECORD_PREVIEW));
  if (TRACE_FAILED_HR(hr, "InitRecordGraph")) return TRUE;

  m_historyList.SubclassDlgItem(IDC_RECORD_HISTORY, m_hWnd);
  m_historyList.Init(m_hWnd, WM_LIST_NOTIFY, L"Position", L"Count");
  SetUpControls();
  ShowItem(IDC_RECORD_PLAY_DROP, false);
  ShowItem(IDC_RECORD_PLAY_FILE, true);
  EnableItem(IDC_RECORD_PLAY_FILE, false);

  m_toolTip.Create(m_hWnd);
  m_toolTip.SetMaxTipWidth(kToolTipWidth);
  m_toolTip.Activate(true);
  m_skinLayout.Init(m_hWnd, kRecordPanelLayout, kRecordPanelLayoutRows, &m_toolTip);
  SetUpLooks();

  ShowItem(IDC_RECORD_RECORD, true);
  EnableItem(IDC_RECORD_RECORD, false);
  ShowItem(IDC_RECORD_STOP, false);
  EnableItem(IDC_RECORD_FINALIZE, false);
  ShowFinalizeByMode();

  ShowRecordingFolder();
  ShowNextFileName(m_settings.GetNextSerialNumber());
  ShowItem(IDC_RECORD_FILE_NAME, false);
  SetAnnouncement(IDS_CAMCORDER_NOT_CONNECTED);
  m_nIconFrame = 0;
  m_skinLayout.SetVariant(IDC_RECORD_ICON, 0);
  ShowItem(IDC_RECORD_ICON, false);
  ShowRecordModeText();
  ShowFileFormatText();

  m_overlay.Attach(GetDlgItem(IDC_RECORD_OVERLAY), GetDlgItem(IDC_RECORD_PREVIEW));
  m_levelMeter.SubclassDlgItem(IDC_RECORD_LEVEL_METER, m_hWnd);
  m_levelMeter.SetLevels(0, 0, 0, 0);
  ShowLevelMeter(true);

  SetTimer(m_hWnd, kLevelTimerId, kLevelPeriodMs, nullptr);
  m_bInitialized = true;
  ApplyPreviewGeometry();
  return TRUE;
}

void RecordPanel::SetUpControls() {
  m_btnRecord.SubclassDlgItem(IDC_RECORD_RECORD, m_hWnd);
  m_btnStop.SubclassDlgItem(IDC_RECORD_STOP, m_hWnd);
  m_btnFinalize.SubclassDlgItem(IDC_RECORD_FINALIZE, m_hWnd);
  m_btnPlayFile.SubclassDlgItem(IDC_RECORD_PLAY_FILE, m_hWnd);
  m_btnPlayDrop.SubclassDlgItem(IDC_RECORD_PLAY_DROP, m_hWnd);
  m_btnMeterHide.SubclassDlgItem(IDC_RECORD_METER_HIDE, m_hWnd);
  m_btnMeterShow.SubclassDlgItem(IDC_RECORD_METER_SHOW, m_hWnd);
  // Placeholder captions ("!...") only reserve a place for the skin.
  for (HWND item = ::GetWindow(m_hWnd, GW_CHILD); item != nullptr; item = ::GetWindow(item, GW_HWNDNEXT)) {
    wchar_t first[2] = {};
    if (::GetWindowTextW(item, first, 2) > 0 && first[0] == L'!') ::SetWindowTextW(item, L"");
  }
  struct LabelItem {
    SkinLabel& label;
    int id;
  };
  const LabelItem labels[] = {
      {m_lblNoPicture, IDC_RECORD_NO_PICTURE},     {m_lblLinkedNotice, IDC_RECORD_LINKED_NOTICE},
      {m_lblFileName, IDC_RECORD_FILE_NAME},       {m_lblTimeLabel, IDC_RECORD_TIME_LABEL},
      {m_lblHoursUnit, IDC_RECORD_HOURS_UNIT},     {m_lblMinutesUnit, IDC_RECORD_MINUTES_UNIT},
      {m_lblHistoryLabel, IDC_RECORD_HISTORY_LABEL}, {m_lblDropsLabel, IDC_RECORD_DROPS_LABEL},
      {m_lblHours, IDC_RECORD_HOURS},              {m_lblMinutes, IDC_RECORD_MINUTES},
      {m_lblTimecode[0], IDC_RECORD_TC_HOURS},     {m_lblTimecode[1], IDC_RECORD_TC_MINUTES},
      {m_lblTimecode[2], IDC_RECORD_TC_SECONDS},   {m_lblTimecode[3], IDC_RECORD_TC_FRAMES},
      {m_lblDrops, IDC_RECORD_DROPS},              {m_lblF5, IDC_RECORD_F5},
      {m_lblF6, IDC_RECORD_F6},                    {m_lblAnnouncement, IDC_RECORD_ANNOUNCEMENT},
      {m_lblMode, IDC_RECORD_MODE},                {m_lblFormat, IDC_RECORD_FORMAT},
  };
  for (const LabelItem& item : labels) item.label.SubclassDlgItem(item.id, m_hWnd);
  m_editFolder.SubclassDlgItem(IDC_RECORD_FOLDER, m_hWnd);
  // The formats are the initial texts of their items, read once.
  m_strModeFormat = GetDlgItemText(IDC_RECORD_MODE);
  m_strFormatFormat = GetDlgItemText(IDC_RECORD_FORMAT);
  // The F5 and F6 keys lie beside their buttons, which leave them uncovered.
  m_btnRecord.AddOverlappingWindow(m_lblF5);
  m_btnStop.AddOverlappingWindow(m_lblF5);
  m_btnFinalize.AddOverlappingWindow(m_lblF6);
}

void RecordPanel::SetUpLooks() {
  struct Look {
    SkinLabel& label;
    COLORREF text;
    COLORREF back;
  };
  const Look looks[] = {
      {m_lblNoPicture, kRecordingRed, kPreviewBlack},  {m_lblLinkedNotice, kLightText, kPreviewBlack},
      {m_lblFileName, kLightText, kPanelGrey},         {m_lblTimeLabel, kLightText, kPanelGrey},
      {m_lblHoursUnit, kLightText, kPanelGrey},        {m_lblMinutesUnit, kLightText, kPanelGrey},
      {m_lblHistoryLabel, kLightText, kPanelGrey},     {m_lblDropsLabel, kLightText, kPanelGrey},
      {m_lblHours, kLightText, kPanelGrey},            {m_lblMinutes, kLightText, kPanelGrey},
      {m_lblDrops, kWarningOrange, kPanelGrey},        {m_lblF5, kLightText, kKeyGrey},
      {m_lblF6, kLightText, kKeyGrey},                 {m_lblAnnouncement, RGB(0, 0, 0), kAnnouncementBack},
      {m_lblMode, kLightText, kModeBack},              {m_lblFormat, kLightText, kFormatBack},
  };
  for (const Look& look : looks) {
    look.label.SetTextColor(look.text);
    look.label.SetBkColor(look.back);
  }
  for (SkinLabel* counter : {&m_lblHours, &m_lblMinutes, &m_lblDrops}) {
    counter->SetFaceName(kCounterFace, DEFAULT_CHARSET);
    counter->SetHeight(kCounterFontHeight);
    counter->SetBold(true);
  }
  for (SkinLabel& field : m_lblTimecode) {
    field.SetFaceName(kTimecodeFace, DEFAULT_CHARSET);
    field.SetHeight(kCounterFontHeight);
    field.SetTextColor(kTimecodeCyan);
    field.SetBkColor(kPreviewBlack);
  }
  // A face that the system draws wider than the skin's fields is made smaller, all four alike,
  // until "00:" fits.
  m_lblTimecode[0].FitHeightToText(L"00:", kCounterFontHeight, kSmallestTimecodeHeight);
  const LONG fitted = m_lblTimecode[0].GetLogFont().lfHeight;
  for (size_t n = 1; n < std::size(m_lblTimecode); ++n) m_lblTimecode[n].SetHeight(fitted);
  // The unit letters' fields are as wide as the skin's face draws them; a face that draws its
  // letter wider (the English library's "m") gets a field as wide as the letter.
  for (const int id : {IDC_RECORD_HOURS_UNIT, IDC_RECORD_MINUTES_UNIT}) {
    SkinLabel& unit = id == IDC_RECORD_HOURS_UNIT ? m_lblHoursUnit : m_lblMinutesUnit;
    RECT place{};
    ::GetWindowRect(unit, &place);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
    const int needed = TextWidth(unit, GetDlgItemText(id).c_str());
    if (needed > place.right - place.left) {
      ::MoveWindow(unit, place.left, place.top, needed, place.bottom - place.top, FALSE);
    }
  }
  m_lblDrops.SetText(L"0");
  ShowItem(IDC_RECORD_NO_PICTURE, false);
  ShowItem(IDC_RECORD_LINKED_NOTICE, false);

  // The folder field: the interface font, as tall as a letter "A", in the middle of its place.
  if (const RecorderApp* app = RecorderApp::Get()) {
    if (!app->GetFontFace().empty()) m_editFolder.SetFaceName(app->GetFontFace(), DEFAULT_CHARSET);
    m_editFolder.SetHeight(app->GetStandardFontSize());
  }
  m_editFolder.SetTextColor(kLightText);
  m_editFolder.SetBkColor(kModeBack);
  RECT place{};
  ::GetWindowRect(m_editFolder, &place);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  HDC dc = ::GetDC(m_editFolder);
  const HFONT font = reinterpret_cast<HFONT>(m_editFolder.SendMessage(WM_GETFONT));
  const HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
  SIZE letter{};
  ::GetTextExtentPoint32W(dc, L"A", 1, &letter);
  if (old != nullptr) ::SelectObject(dc, old);
  ::ReleaseDC(m_editFolder, dc);
  const int height = letter.cy > 0 ? static_cast<int>(letter.cy) : static_cast<int>(place.bottom - place.top);
  ::MoveWindow(m_editFolder, place.left, place.top + (place.bottom - place.top - height) / 2, place.right - place.left,
               height, TRUE);
}

// ---- messages -----------------------------------------------------------------------------------

BOOL RecordPanel::PreTranslateMessage(MSG* msg) {
  if (MainPanel::IsEnterOrEsc(msg)) return TRUE;
  if (m_toolTip.IsWindow()) m_toolTip.RelayEvent(msg);
  m_historyList.RelayToolTipEvent(msg);
  return framework::Dialog::PreTranslateMessage(msg);
}

BOOL RecordPanel::OnKeyDown(const MSG* msg) {
  if (m_hWnd == nullptr || !m_bInitialized || !IsRecordTabCurrent()) return FALSE;
  if (msg->wParam == VK_F5) {
    if (::IsWindowVisible(GetDlgItem(IDC_RECORD_RECORD))) {
      if (::IsWindowEnabled(GetDlgItem(IDC_RECORD_RECORD))) OnRecordCommand();
    } else if (IsItemShownAndEnabled(IDC_RECORD_STOP)) {
      OnStopCommand();
    }
    return TRUE;
  }
  if (msg->wParam == VK_F6) {
    if (::IsWindowEnabled(GetDlgItem(IDC_RECORD_FINALIZE)) && IsLinkedMode()) OnFinalizeCommand();
    return TRUE;
  }
  return FALSE;
}

bool RecordPanel::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_RECORD_RECORD:
      OnRecordCommand();
      return true;
    case IDC_RECORD_STOP:
      OnStopCommand();
      return true;
    case IDC_RECORD_FINALIZE:
      OnFinalizeCommand();
      return true;
    case IDC_RECORD_PLAY_FILE:
    case IDC_RECORD_PLAY_DROP:
      OpenHistoryEntry();
      return true;
    case IDC_RECORD_METER_HIDE:
      ShowLevelMeter(false);
      return true;
    case IDC_RECORD_METER_SHOW:
      ShowLevelMeter(true);
      return true;
    case IDM_PREVIEW_CENTRE_MARKER:
      ToggleOverlay(true);
      return true;
    case IDM_PREVIEW_SAFE_MARGIN:
      ToggleOverlay(false);
      return true;
    default:
      return framework::Dialog::OnCommand(id, code, control);
  }
}

bool RecordPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_ERASEBKGND:
      MainPanel::DrawItemPicture(GetDlgItem(IDC_RECORD_BACKGROUND), reinterpret_cast<HDC>(wParam), 0, 0);
      result = TRUE;
      return true;
    case WM_RBUTTONUP: {
      // Clicks on the picture come from the video window in its own coordinates; where the
      // cursor was tells the place on the panel either way.
      const DWORD position = ::GetMessagePos();
      POINT client{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
      ::ScreenToClient(m_hWnd, &client);
      ShowPreviewMenu(client);
      result = 0;
      return true;
    }
    case WM_LIST_NOTIFY:
      if (wParam != HistoryOpenSelection) {
        UpdatePlayButtons();
      } else {
        const int visible = ::IsWindowVisible(GetDlgItem(IDC_RECORD_PLAY_DROP)) ? IDC_RECORD_PLAY_DROP : IDC_RECORD_PLAY_FILE;
        if (::IsWindowEnabled(GetDlgItem(visible))) OpenHistoryEntry();
      }
      result = 0;
      return true;
    case WM_DISPLAYCHANGE:
      if (IsGraphRecordingOrPaused()) {
        AbortRecording();
        framework::AppMessageBox(IDS_RESOLUTION_CHANGED, MB_ICONEXCLAMATION);
      }
      return false;
    default:
      return framework::Dialog::OnMessage(msg, wParam, lParam, result);
  }
}

void RecordPanel::OnDestroy() {
  KillTimer(m_hWnd, kLevelTimerId);
  m_recordGraph.ExitGraph();
  m_bInitialized = false;
  framework::Dialog::OnDestroy();
}

void RecordPanel::OnTimer(UINT_PTR timerId) {
  if (!m_bInitialized) return;
  switch (timerId) {
    case kIconTimerId:
      m_nIconFrame = m_nIconFrame % kIconFrames + 1;
      m_skinLayout.SetVariant(IDC_RECORD_ICON, m_nIconFrame);
      break;
    case kCounterTimerId: {
      ShowTimecode(m_recordGraph.GetRecordedTime());
      ShowDropCount(m_recordGraph.GetDroppedFrameCount(), true);
      break;
    }
    case kTitleTimerId: {
      const Timecode recorded = m_recordGraph.GetRecordedTime();
      m_mainPanel.UpdateTitle(&recorded);
      break;
    }
    case kFolderWatchTimerId:
      WatchVideoFolder();
      break;
    case kStatusTimerId:
      StatusTick();
      break;
    case kLevelTimerId: {
      const LevelMeterCB::Levels levels = m_recordGraph.GetAudioLevels();
      m_levelMeter.SetLevels(levels.nLeft, levels.nRight, levels.nLeftPeak, levels.nRightPeak);
      break;
    }
    default:
      break;
  }
}

// ---- visibility and timers ----------------------------------------------------------------------

void RecordPanel::SetVisible(bool visible) {
  m_bVisible = visible;
  if (m_hWnd == nullptr) return;
  if (visible) {
    ApplyOverlayFlags();
    ShowWindow(SW_SHOW);
    MSG pending;
    while (::PeekMessageW(&pending, nullptr, 0, 0, PM_REMOVE)) {
      if (pending.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(pending.wParam));
        break;
      }
      ::TranslateMessage(&pending);
      ::DispatchMessageW(&pending);
    }
    m_recordGraph.SetMute(FALSE);
    // The level meter is fed again (hidden, the panel shows no levels and needs no ticks).
    if (m_bInitialized) SetTimer(m_hWnd, kLevelTimerId, kLevelPeriodMs, nullptr);
    // The preview is rebuilt when it does not run; a capture is never cut off for it.
    if (m_bInitialized && m_recordGraph.GetState() != RecordGraph::StatePreview && !IsGraphRecordingOrPaused()) {
      m_recordGraph.UpdateGraph();
    }
  } else {
    ShowWindow(SW_HIDE);
    m_recordGraph.SetMute(TRUE);
    KillTimer(m_hWnd, kLevelTimerId);
  }
  ApplyPreviewGeometry();
}

void RecordPanel::RestartTimers(bool on) {
  if (m_hWnd == nullptr) return;
  if (on) {
    SetTimer(m_hWnd, kStatusTimerId, kTickPeriodMs, nullptr);
    SetTimer(m_hWnd, kFolderWatchTimerId, kTickPeriodMs, nullptr);
  } else {
    KillTimer(m_hWnd, kStatusTimerId);
    KillTimer(m_hWnd, kFolderWatchTimerId);
  }
}

void RecordPanel::WatchVideoFolder() {
  // The option sheet changes the folder itself while it is shown.
  if (m_mainPanel.IsOptionsOpen()) return;
  m_mainPanel.WatchVideoFolder(m_settings.GetVideoFolder());
}

// ---- status -------------------------------------------------------------------------------------

void RecordPanel::StatusTick() {
  m_recordGraph.SetFilePath(m_settings.GetNextFilePath());
  const ULONGLONG seconds = m_recordGraph.GetRecordableSeconds();
  const bool recording = m_recordGraph.GetState() == RecordGraph::StateCapture;
  m_nWantedState = seconds == 0 || (!recording && seconds <= kStartReserveSeconds) ? kPanelDiskFull : kPanelReady;
  ShowRecordableTime(seconds);
  if (IsRecordTabCurrent()) {
    EvaluateState();
    ApplyPanelState(m_nWantedState);
  }
  SendPcStatus(FALSE);
}

bool RecordPanel::EvaluateState() {
  if (!CheckCamcorder()) return false;
  if (!CheckDiskAndGraph()) return false;
  m_nWantedState = m_nRecordState == kRecordPaused    ? kPanelPaused
                   : m_nRecordState == kRecordRunning ? kPanelRecording
                                                      : kPanelReady;
  return true;
}

bool RecordPanel::CheckCamcorder() {
  const int status = m_dvManager.GetDeviceStatus();
  if (status == DEVICE_STATUS_READY) return true;
  SetAnnouncement(AnnouncementForStatus(status));
  m_nWantedState = kPanelNoCamcorder;
  return false;
}

bool RecordPanel::CheckDiskAndGraph() {
  if (m_dvManager.GetDVDevice().GetDVMode() != kCameraWithTape) return false;
  bool ready = false;
  const ULONGLONG seconds = m_recordGraph.GetRecordableSeconds();
  const bool recording = m_recordGraph.GetState() == RecordGraph::StateCapture;
  if (seconds > 0 && (recording || seconds > kStartReserveSeconds)) {
    if ((m_nRecordState == kRecordNone || m_nRecordState == kRecordStopped) && m_settings.IsSerialNumberExhausted()) {
      SetAnnouncement(IDS_FILE_NAMES_EXHAUSTED);
      EnableItem(IDC_RECORD_RECORD, false);
      m_nWantedState = kPanelNoFileName;
    } else if (m_recordGraph.GetState() != RecordGraph::StateNone && m_recordGraph.GetState() != RecordGraph::StateIdle) {
      m_nWantedState = kPanelReady;
      ready = true;
    } else {
      // No preview: the camcorder is busy elsewhere, or the preview was never built. The next
      // tick sees whether it runs now.
      m_recordGraph.UpdateGraph();
      m_nWantedState = kPanelInUse;
    }
  }
  m_dvManager.GetVirtualDevice().SetRecordBlocked(ready ? FALSE : TRUE);
  return ready;
}

void RecordPanel::ApplyPanelState(int state) {
  if (state == m_nAppliedState || m_hWnd == nullptr) return;
  // States that cannot record end the recording first, keeping its file.
  if (state == kPanelNoCamcorder || state == kPanelDiskFull || state == kPanelNoFileName) StopIfRecording();
  m_nAppliedState = state;
  const bool linked = IsLinkedMode();
  switch (state) {
    case kPanelNoCamcorder:
    case kPanelDiskFull:
    case kPanelNoFileName:
    case kPanelInUse:
      ShowItem(IDC_RECORD_STOP, false);  // hidden first: Record and Stop never show together
      ShowItem(IDC_RECORD_RECORD, true);
      EnableItem(IDC_RECORD_RECORD, false);
      EnableItem(IDC_RECORD_FINALIZE, false);
      ShowItem(IDC_RECORD_FILE_NAME, false);
      ShowItem(IDC_RECORD_ICON, state == kPanelDiskFull || state == kPanelNoFileName);
      if (state == kPanelDiskFull) SetAnnouncement(IDS_DISK_FULL);
      if (state == kPanelNoFileName) SetAnnouncement(IDS_FILE_NAMES_EXHAUSTED);
      if (state == kPanelInUse) {
        SetAnnouncement(IDS_CAMCORDER_IN_USE);
        m_dvManager.GetVirtualDevice().SetPcTapeState(kPcTapeIdle);
      } else {
        m_mainPanel.UpdateTitle(nullptr);
      }
      if (state == kPanelNoCamcorder) {
        ::SetFocus(::GetDlgItem(::GetParent(m_hWnd), IDC_MAIN_PLAY_TAB));
        LockMainPanel(false);
      }
      break;
    case kPanelReady:
      ShowItem(IDC_RECORD_STOP, false);
      ShowItem(IDC_RECORD_RECORD, true);
      EnableItem(IDC_RECORD_RECORD, true);
      EnableItem(IDC_RECORD_STOP, false);
      EnableItem(IDC_RECORD_FINALIZE, false);
      ShowFinalizeByMode();
      ShowItem(IDC_RECORD_FILE_NAME, false);
      ShowItem(IDC_RECORD_ICON, true);
      m_lblAnnouncement.SetText(L"");
      m_mainPanel.UpdateTitle(nullptr);
      m_dvManager.GetVirtualDevice().SetPcTapeState(kPcTapeReady);
      FocusItem(IDC_RECORD_RECORD);
      break;
    case kPanelPaused:
      ShowItem(IDC_RECORD_STOP, false);
      ShowItem(IDC_RECORD_RECORD, true);
      EnableItem(IDC_RECORD_RECORD, true);
      EnableItem(IDC_RECORD_STOP, false);
      EnableItem(IDC_RECORD_FINALIZE, true);
      ShowItem(IDC_RECORD_FILE_NAME, true);
      ShowItem(IDC_RECORD_ICON, true);
      m_lblAnnouncement.SetText(L"");
      FocusItem(IDC_RECORD_RECORD);
      break;
    case kPanelRecording:
      ShowItem(IDC_RECORD_RECORD, false);
      ShowItem(IDC_RECORD_STOP, true);
      EnableItem(IDC_RECORD_STOP, true);
      EnableItem(IDC_RECORD_FINALIZE, linked);
      ShowItem(IDC_RECORD_FILE_NAME, true);
      ShowItem(IDC_RECORD_ICON, true);
      m_lblAnnouncement.SetText(L"");
      FocusItem(IDC_RECORD_STOP);
      break;
    default:
      break;
  }
}

// ---- recording ----------------------------------------------------------------------------------

void RecordPanel::SendTransportIfTape(int tapeStatus, BYTE operand) {
  DVDevice& device = m_dvManager.GetDVDevice();
  if (device.GetTapeStatus() != tapeStatus) return;
  TRACE_FAILED_HR(device.SendTransportCommand(kOpcodeRecord, operand), "SendTransportCommand");
}

void RecordPanel::OnRecordCommand() {
  // A camcorder with its tape stopped records on tape too.
  SendTransportIfTape(kTapeStopped, kOperandRecord);
  StartRecording();
}

void RecordPanel::OnStopCommand() {
  SendTransportIfTape(kTapeRecording, kOperandRecordPause);
  StopRecording();
}

void RecordPanel::OnFinalizeCommand() {
  SendTransportIfTape(kTapeRecording, kOperandRecordPause);
  FinalizeRecording();
}

void RecordPanel::StartRecording() {
  const int previousRecordState = m_nRecordState;
  // A new file takes the folder's next free number as the folder is now: the options may have
  // changed the folder or the prefix since the last status tick, and a recording never overwrites
  // an existing file. With no number left the next status tick says so.
  if (previousRecordState != kRecordPaused && m_settings.IsSerialNumberExhausted()) return;
  m_nWantedState = kPanelRecording;
  m_nRecordState = kRecordRunning;
  ShowItem(IDC_RECORD_LINKED_NOTICE, false);
  ApplyPanelState(kPanelRecording);
  ShowItem(IDC_RECORD_RECORD, false);
  ShowItem(IDC_RECORD_STOP, true);
  EnableItem(IDC_RECORD_STOP, true);
  EnableItem(IDC_RECORD_FINALIZE, IsLinkedMode());

  m_recordGraph.SetFilePath(m_settings.GetNextFilePath());
  ShowNextFileName(m_settings.GetNextSerialNumber());
  const HRESULT hr = m_recordGraph.StartCapture();
  if (FAILED(hr)) {
    OnStartFailed(hr, previousRecordState);
    return;
  }
  if (IsRecordTabCurrent()) LockMainPanel(true);

  m_nPreviewLayout = static_cast<int>(m_settings.GetPreviewSize());
  ApplyPreviewGeometry();
  if (m_settings.GetPreviewSize() == kNoPreview) ShowItem(IDC_RECORD_NO_PICTURE, true);

  StartRecordingIcon();
  SetTimer(m_hWnd, kTitleTimerId, kTitlePeriodMs, nullptr);
  UpdatePlayButtons();
  FocusItem(IDC_RECORD_STOP);
  SendPcStatus(TRUE);
}

void RecordPanel::OnStartFailed(HRESULT hr, int previousRecordState) {
  // The graph is back at the preview. A paused linked file it could not resume has been closed
  // as it stood: it is finished like any other.
  const std::wstring path = m_recordGraph.GetFilePath();
  m_nRecordState = previousRecordState == kRecordPaused ? kRecordStopped : previousRecordState;
  m_nWantedState = kPanelReady;
  ShowItem(IDC_RECORD_LINKED_NOTICE, false);
  LockMainPanel(false);
  ApplyPanelState(kPanelReady);
  ShowTimecodeZeros();
  if (previousRecordState == kRecordPaused) AfterFileClosed(path, S_OK);
  framework::AppMessageBox(LoadFilledText(IDS_RECORD_START_FAILED, SystemErrorText(hr)), MB_ICONEXCLAMATION);
}

void RecordPanel::StopRecording() {
  EnableItem(IDC_RECORD_STOP, false);
  // The file written so far; taken before the stop, while it is certainly still the open one.
  const std::wstring path = m_recordGraph.GetFilePath();
  const HRESULT hr = m_recordGraph.StopCapture();
  const bool paused = IsLinkedMode() && m_recordGraph.GetState() == RecordGraph::StatePaused;
  if (paused) {
    EnableItem(IDC_RECORD_FINALIZE, true);
    if (!m_bStopInProgress) ShowItem(IDC_RECORD_LINKED_NOTICE, true);
    m_nWantedState = kPanelPaused;
    m_nRecordState = kRecordPaused;
    const Timecode recorded = m_recordGraph.GetRecordedTime();
    ShowTimecode(recorded);
    m_mainPanel.UpdateTitle(&recorded);
    UpdatePlayButtons();
  } else {
    // Standard mode, or a linked pause that failed and closed the file: the file is finished.
    if (FAILED(hr)) TRACE_FAILED_HR(hr, "StopCapture");
    if (IsLinkedMode()) EnableItem(IDC_RECORD_FINALIZE, false);
    m_nWantedState = kPanelReady;
    m_nRecordState = kRecordStopped;
    ShowTimecodeZeros();
    KillTimer(m_hWnd, kTitleTimerId);
    AfterFileClosed(path, m_hrCutShort);
  }
  StopRecordingIcon();
  m_nPreviewLayout = paused ? 0 : 3;
  ApplyPreviewGeometry();
  ShowItem(IDC_RECORD_NO_PICTURE, false);
  ShowItem(IDC_RECORD_STOP, false);
  ShowItem(IDC_RECORD_RECORD, true);
  EnableItem(IDC_RECORD_RECORD, true);
  FocusItem(IDC_RECORD_RECORD);
  LockMainPanel(m_nWantedState == kPanelPaused || m_nWantedState == kPanelRecording);
}

void RecordPanel::FinalizeRecording() {
  const std::wstring path = m_recordGraph.GetFilePath();
  ShowItem(IDC_RECORD_RECORD, true);
  ShowItem(IDC_RECORD_STOP, false);
  EnableItem(IDC_RECORD_FINALIZE, false);
  TRACE_FAILED_HR(m_recordGraph.FinishCapture(), "FinishCapture");
  m_nWantedState = kPanelReady;
  m_nRecordState = kRecordStopped;
  ShowTimecodeZeros();
  KillTimer(m_hWnd, kTitleTimerId);
  StopRecordingIcon();
  AfterFileClosed(path, m_hrCutShort);
  m_nPreviewLayout = 3;
  ApplyPreviewGeometry();
  ShowItem(IDC_RECORD_NO_PICTURE, false);
  ShowItem(IDC_RECORD_LINKED_NOTICE, false);
  FocusItem(IDC_RECORD_RECORD);
  LockMainPanel(false);
}

void RecordPanel::AfterFileClosed(const std::wstring& path, HRESULT cutShort) {
  m_mainPanel.SetPlayRequest(path, -1, 0);
  m_settings.SetNextSerialNumber(m_settings.GetNextSerialNumber() + 1);
  WriteRecordLog(path, cutShort);
}

void RecordPanel::StopIfRecording() {
  ShowTimecodeZeros();
  if (m_nRecordState == kRecordNone) return;
  if (IsLinkedMode()) {
    if (m_nRecordState == kRecordPaused) {
      FinalizeRecording();
    } else if (m_nRecordState == kRecordRunning) {
      m_bStopInProgress = true;
      StopRecording();
      // A pause that failed has closed the file already.
      if (m_nRecordState == kRecordPaused) FinalizeRecording();
      m_bStopInProgress = false;
    }
  } else {
    if (m_nRecordState == kRecordRunning) StopRecording();
    m_nRecordState = kRecordNone;
  }
  m_recordGraph.UpdateGraph();
}

void RecordPanel::AbortRecording() {
  const std::wstring path = m_recordGraph.GetFilePath();
  m_recordGraph.UpdateGraph();
  if (IsLinkedMode()) {
    EnableItem(IDC_RECORD_FINALIZE, false);
    ShowItem(IDC_RECORD_LINKED_NOTICE, false);
  } else {
    EnableItem(IDC_RECORD_STOP, false);
  }
  m_nWantedState = kPanelReady;
  m_nRecordState = kRecordStopped;
  KillTimer(m_hWnd, kTitleTimerId);
  StopRecordingIcon();
  m_nPreviewLayout = 3;
  ApplyPreviewGeometry();
  ShowItem(IDC_RECORD_NO_PICTURE, false);
  LockMainPanel(false);
  ApplyPanelState(kPanelReady);
  UpdatePlayButtons();
  ShowTimecodeZeros();
  FocusItem(IDC_RECORD_RECORD);
  // Nothing is logged or listed, and the serial number stays: the file is gone.
  _wremove(path.c_str());
}

void RecordPanel::OnWriteError(HRESULT hr) {
  if (!IsGraphRecordingOrPaused()) return;
  m_hrCutShort = hr;
  StopOrFinalizeForEvent();
  m_hrCutShort = S_OK;
  m_nWantedState = kPanelReady;
  ApplyPanelState(kPanelReady);
  framework::AppMessageBox(LoadFilledText(IDS_RECORD_WRITE_ERROR, SystemErrorText(hr)), MB_ICONEXCLAMATION);
}

// Linked mode stops and finalizes, standard mode stops.
void RecordPanel::StopOrFinalizeForEvent() {
  if (IsLinkedMode()) {
    m_bStopInProgress = true;
    if (m_nRecordState == kRecordRunning) StopRecording();
    if (m_nRecordState == kRecordPaused) FinalizeRecording();
    m_bStopInProgress = false;
  } else if (m_nRecordState == kRecordRunning) {
    StopRecording();
  }
}

void RecordPanel::ContinueInNewFile() {
  StopIfRecording();
  if (EvaluateState()) {
    StartRecording();
  } else {
    ApplyPanelState(m_nWantedState);
  }
}

void RecordPanel::WriteRecordLog(const std::wstring& path, HRESULT cutShort) {
  const std::wstring logPath = FolderOf(path) + L"\\PLVR.LOG";
  std::wstring header = GetAVIReportHeader(path);
  if (FAILED(cutShort)) {
    // The note goes just before the heading of the dropped-frame lines, the header's last line.
    const std::wstring note = framework::LoadResString(IDS_RECORD_CUT_SHORT) + L": " + SystemErrorText(cutShort) + L"\r\n";
    size_t lastLine = header.size() >= 2 ? header.rfind(L"\r\n", header.size() - 3) : std::wstring::npos;
    lastLine = lastLine == std::wstring::npos ? 0 : lastLine + 2;
    header.insert(lastLine, note);
  }
  if (FILE* file = _wfopen(logPath.c_str(), L"ab")) {
    std::fprintf(file, "%s", ToMultiByte(header).c_str());
    std::fclose(file);
  }
  const int drops = m_historyList.AddRecordedFile(path, logPath);
  if (FAILED(cutShort)) m_historyList.SetLastFileNote(framework::LoadResString(IDS_RECORD_CUT_SHORT));
  ShowDropCount(drops, false);
  UpdatePlayButtons();
}

// ---- events -------------------------------------------------------------------------------------

void RecordPanel::OnDvEvent(int code, LPARAM argument) {
  if (m_hWnd == nullptr || !m_bInitialized) return;
  switch (code) {
    case EVENT_DVMODECHANGE:
      if (m_bVisible && IsGraphRecordingOrPaused()) StopOrFinalizeForEvent();
      m_recordGraph.UpdateGraph();
      ApplyPreviewGeometry();
      break;
    case EVENT_DVCOMMAND:
      if (argument == kCamcorderRecord && m_recordGraph.GetState() != RecordGraph::StateCapture) {
        if (!m_bVisible) m_mainPanel.SelectTab(MainPanel::kRecordTab);
        StartRecording();
      } else if (argument == kCamcorderStop && m_recordGraph.GetState() == RecordGraph::StateCapture) {
        if (!m_bVisible) m_mainPanel.SelectTab(MainPanel::kRecordTab);
        StopRecording();
      }
      break;
    case EVENT_DISKFULL:
      // The status tick shows it and ends the recording.
      m_nWantedState = kPanelDiskFull;
      break;
    case EVENT_FILELIMIT:
      if (IsGraphRecordingOrPaused()) ContinueInNewFile();
      break;
    case EVENT_RECASPECT:
      m_nWide = argument != 0 ? 1 : 0;
      ApplyPreviewGeometry();
      break;
    case EVENT_RECFORMAT:
      if (m_recordGraph.GetState() == RecordGraph::StateCapture) ContinueInNewFile();
      break;
    case EVENT_WRITEERROR:
      OnWriteError(static_cast<HRESULT>(argument));
      break;
    default:
      break;
  }
}

void RecordPanel::OnSystemEvent(int code) {
  if (m_hWnd == nullptr || !m_bInitialized || !m_bVisible) return;
  if (code != EVENT_SUSPEND && code != EVENT_SESSIONLOCK) return;
  if (IsGraphRecordingOrPaused()) StopOrFinalizeForEvent();
  m_recordGraph.UpdateGraph();
}

// ---- settings and the camcorder -----------------------------------------------------------------

void RecordPanel::RefreshSettings() {
  m_recordGraph.SetFilePath(m_settings.GetNextFilePath());
  if (m_hWnd == nullptr || !m_bInitialized) return;
  ShowRecordableTime(m_recordGraph.GetRecordableSeconds());
  ShowRecordModeText();
  ShowFileFormatText();
  ShowRecordingFolder();
  ShowFinalizeByMode();
  EnableItem(IDC_RECORD_FINALIZE, false);
}

void RecordPanel::SendPcStatus(BOOL force) {
  const int graphState = m_recordGraph.GetState();
  int dropCount = 0;
  if (graphState == RecordGraph::StateCapture || graphState == RecordGraph::StatePaused) {
    dropCount = m_recordGraph.GetDroppedFrameCount();
  } else {
    g_nReportedDrops = 0;
  }
  if (g_nReportedDrops > dropCount) g_nReportedDrops = dropCount;
  const int newDrops = dropCount - g_nReportedDrops;
  g_nReportedDrops = dropCount;
  const int diskMinutes = static_cast<int>(m_recordGraph.GetRecordableSeconds() / 60);
  m_dvManager.GetDVDevice().UpdatePCInfo(dropCount > 0, newDrops, diskMinutes, BatteryMinutes(),
                                         force || newDrops > 0);
}

// ---- what the panel shows -----------------------------------------------------------------------

void RecordPanel::ShowRecordableTime(ULONGLONG seconds) {
  if (!m_bInitialized) return;
  const ULONGLONG hours = seconds / 3600;
  const ULONGLONG minutes = (seconds / 60) % 60;
  wchar_t text[32] = {};
  swprintf(text, 32, L"%d", static_cast<int>(hours));
  // The hundreds of hours of a large disk are drawn smaller rather than losing a digit.
  m_lblHours.FitHeightToText(text, kCounterFontHeight, kSmallestCounterHeight);
  m_lblHours.SetText(text);
  swprintf(text, 32, L"%d", static_cast<int>(minutes));
  m_lblMinutes.SetText(text);
  ShowItem(IDC_RECORD_HOURS, hours > 0);
  ShowItem(IDC_RECORD_HOURS_UNIT, hours > 0);
  COLORREF color = kCautionYellow;
  if (hours == 0 && minutes == 0) {
    color = kWarningOrange;
  } else if (hours > 0 || minutes > kCautionMinutes) {
    color = kLightText;
  }
  m_lblMinutes.SetTextColor(color);
  m_lblMinutesUnit.SetTextColor(color);
}

void RecordPanel::ShowTimecode(const Timecode& timecode) {
  if (timecode.nHours < 0 || !m_bInitialized) return;
  const std::wstring text = FormatTimecode(timecode.nHours, timecode.nMinutes, timecode.nSeconds, timecode.nFrames);
  if (text.size() < 11) return;
  m_lblTimecode[0].SetText(text.substr(0, 3));
  m_lblTimecode[1].SetText(text.substr(3, 3));
  m_lblTimecode[2].SetText(text.substr(6, 3));
  m_lblTimecode[3].SetText(text.substr(text.size() - 2));
}

void RecordPanel::ShowTimecodeZeros() { ShowTimecode(Timecode{0, 0, 0, 0}); }

void RecordPanel::ShowDropCount(int count, bool blink) {
  if (!m_bInitialized) return;
  if (count < kMaxShownDrops) {
    m_bDropBlinkShown = true;
    m_lblDrops.SetText(std::to_wstring(count));
    return;
  }
  // From the cap on, the count alternates between "999" and nothing on every tick.
  m_bDropBlinkShown = blink ? !m_bDropBlinkShown : true;
  m_lblDrops.SetText(m_bDropBlinkShown ? std::to_wstring(kMaxShownDrops) : std::wstring());
}

void RecordPanel::ShowRecordingFolder() {
  const std::wstring folder = m_settings.GetVideoFolder();
  m_editFolder.SetWindowTextIfChanged(folder);
  const HFONT font = reinterpret_cast<HFONT>(m_editFolder.SendMessage(WM_GETFONT));
  const std::wstring tip = WrapTextToWidth(folder, kToolTipWidth, font);
  if (m_toolTip.HasTool(m_editFolder)) {
    m_toolTip.UpdateTipText(m_editFolder, tip);
  } else {
    m_toolTip.AddTool(m_editFolder, tip);
  }
}

void RecordPanel::ShowNextFileName(int serialNumber) {
  const std::wstring name = FileTitleOf(m_settings.MakeFileName(serialNumber));
  RECT client{};
  ::GetClientRect(m_lblFileName, &client);
  m_lblFileName.SetText(FitTextWithEllipsis(name, client.right, m_lblFileName.GetFont()));
  if (m_toolTip.HasTool(kFileNameToolId)) m_toolTip.DelTool(kFileNameToolId);
  if (name.empty()) return;
  RECT place{};
  ::GetWindowRect(m_lblFileName, &place);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  const HFONT tipFont = reinterpret_cast<HFONT>(m_toolTip.SendMessage(WM_GETFONT));
  m_toolTip.AddTool(kFileNameToolId, place, WrapTextToWidth(name, kToolTipWidth, tipFont));
}

void RecordPanel::ShowRecordModeText() {
  const UINT name = m_settings.GetRecordMode() == kLinkedMode ? IDS_RECORD_MODE_LINKED : IDS_RECORD_MODE_STANDARD;
  m_lblMode.SetText(FillField(m_strModeFormat, framework::LoadResString(name)));
}

void RecordPanel::ShowFileFormatText() {
  const DWORD format = m_settings.GetRecordFormat();
  const std::wstring name = format == 1   ? framework::LoadResString(IDS_AVI_TYPE1)
                            : format == 2 ? framework::LoadResString(IDS_AVI_TYPE2)
                                          : std::wstring();
  m_lblFormat.SetText(FillField(m_strFormatFormat, name));
}

void RecordPanel::ShowFinalizeByMode() {
  const bool linked = IsLinkedMode();
  ShowItem(IDC_RECORD_FINALIZE, linked);
  ShowItem(IDC_RECORD_F6, linked);
}

void RecordPanel::SetAnnouncement(UINT stringId) { m_lblAnnouncement.SetText(framework::LoadResString(stringId)); }

void RecordPanel::StartRecordingIcon() {
  m_nIconFrame = 1;
  m_skinLayout.SetVariant(IDC_RECORD_ICON, m_nIconFrame);
  SetTimer(m_hWnd, kIconTimerId, kIconPeriodMs, nullptr);
  SetTimer(m_hWnd, kCounterTimerId, kCounterPeriodMs, nullptr);
}

void RecordPanel::StopRecordingIcon() {
  KillTimer(m_hWnd, kIconTimerId);
  KillTimer(m_hWnd, kCounterTimerId);
  m_nIconFrame = 0;
  m_skinLayout.SetVariant(IDC_RECORD_ICON, 0);
}

void RecordPanel::ApplyPreviewGeometry() {
  if (!m_bInitialized) return;
  const int graphState = m_recordGraph.GetState();
  int variant = kPreviewVariantNone;
  if (graphState != RecordGraph::StateNone && graphState != RecordGraph::StateIdle && m_bVisible) {
    variant = kPreviewVariantNone - std::clamp(m_nPreviewLayout, 0, 3);
  }
  if (m_nWide != 0) variant += kWideVariantOffset;
  m_skinLayout.SetVariant(IDC_RECORD_PREVIEW, variant);
  m_overlay.Rebuild();
}

void RecordPanel::ShowItem(int id, bool show) {
  HWND item = GetDlgItem(id);
  if (item != nullptr && (::IsWindowVisible(item) != FALSE) != show) ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

void RecordPanel::EnableItem(int id, bool enable) {
  HWND item = GetDlgItem(id);
  if (item != nullptr && (::IsWindowEnabled(item) != FALSE) != enable) ::EnableWindow(item, enable ? TRUE : FALSE);
}

bool RecordPanel::IsItemShownAndEnabled(int id) const {
  HWND item = GetDlgItem(id);
  return item != nullptr && ::IsWindowVisible(item) && ::IsWindowEnabled(item);
}

void RecordPanel::FocusItem(int id) {
  // Only a shown panel takes the focus; a hidden one would steal it from the play tab.
  if (m_bVisible) ::SetFocus(GetDlgItem(id));
}

void RecordPanel::LockMainPanel(bool locked) { m_mainPanel.SetRecordingLock(locked); }

// ---- history ------------------------------------------------------------------------------------

void RecordPanel::UpdatePlayButtons() {
  if (!m_bInitialized) return;
  int second = -1;
  const bool selected = m_historyList.GetSelectedEntry(nullptr, nullptr, nullptr, &second, nullptr);
  const bool busy = IsGraphRecordingOrPaused();
  const bool dropRow = selected && second >= 0;
  ShowItem(IDC_RECORD_PLAY_DROP, dropRow);
  ShowItem(IDC_RECORD_PLAY_FILE, !dropRow);
  EnableItem(IDC_RECORD_PLAY_DROP, selected && !busy);
  EnableItem(IDC_RECORD_PLAY_FILE, selected && !busy);
  if (busy) ShowDropCount(m_recordGraph.GetDroppedFrameCount(), false);
}

void RecordPanel::OpenHistoryEntry() {
  std::wstring path;
  FILETIME recorded{};
  ULONGLONG length = 0;
  int second = -1;
  if (!m_historyList.GetSelectedEntry(&path, &recorded, &length, &second, nullptr)) return;
  FILETIME onDisk{};
  ULONGLONG lengthOnDisk = 0;
  if (!DropHistoryList::ReadFileIdentity(path, &onDisk, &lengthOnDisk) || !SameFileTime(onDisk, recorded) ||
      lengthOnDisk != length) {
    framework::AppMessageBox(IDS_FILE_NOT_FOUND, MB_ICONINFORMATION);
    return;
  }
  m_mainPanel.SetPlayRequest(path, second, 1);
  m_mainPanel.SelectTab(MainPanel::kPlayTab);
}

// ---- preview menu, overlay and level meter ------------------------------------------------------

void RecordPanel::ShowPreviewMenu(POINT client) {
  if (!::PtInRect(&kLargePreviewFrame, client)) return;
  framework::PopupMenu menu;
  if (!menu.Load(IDR_PREVIEW_MENU)) return;
  int centreMarker = 0;
  int safeMargin = 0;
  m_mainPanel.GetOverlayFlags(centreMarker, safeMargin);
  menu.CheckItem(IDM_PREVIEW_CENTRE_MARKER, centreMarker != 0);
  menu.CheckItem(IDM_PREVIEW_SAFE_MARGIN, safeMargin != 0);
  POINT screen = client;
  ::ClientToScreen(m_hWnd, &screen);
  const UINT command = menu.Track(0, screen, m_hWnd, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON);
  if (command != 0) OnCommand(static_cast<WORD>(command), 0, nullptr);
}

void RecordPanel::ToggleOverlay(bool centreMarker) {
  int centre = 0;
  int margin = 0;
  m_mainPanel.GetOverlayFlags(centre, margin);
  if (centreMarker) {
    centre = centre != 0 ? 0 : 1;
  } else {
    margin = margin != 0 ? 0 : 1;
  }
  m_mainPanel.SetOverlayFlags(centre, margin);
  ApplyOverlayFlags();
}

void RecordPanel::ApplyOverlayFlags() {
  if (!m_bInitialized) return;
  int centre = 0;
  int margin = 0;
  m_mainPanel.GetOverlayFlags(centre, margin);
  m_overlay.SetCentreMarker(centre != 0);
  m_overlay.SetSafeMargin(margin != 0);
}

void RecordPanel::ShowLevelMeter(bool show) {
  m_levelMeter.Show(show);
  ShowItem(IDC_RECORD_LEVEL_METER, show);
  ShowItem(IDC_RECORD_METER_HIDE, show);
  ShowItem(IDC_RECORD_METER_SHOW, !show);
}

// ---- small helpers ------------------------------------------------------------------------------

bool RecordPanel::IsLinkedMode() const { return m_settings.GetRecordMode() == kLinkedMode; }

bool RecordPanel::IsRecordTabCurrent() const { return m_mainPanel.GetCurrentTab() == MainPanel::kRecordTab; }

bool RecordPanel::IsGraphRecordingOrPaused() const {
  const int state = m_recordGraph.GetState();
  return state == RecordGraph::StateCapture || state == RecordGraph::StatePaused;
}

std::wstring RecordPanel::LoadFilledText(UINT stringId, const std::wstring& value) {
  return FillField(framework::LoadResString(stringId), value);
}
