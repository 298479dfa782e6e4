#include "ui/RecordPanel.h"

#include "core/AppSettings.h"
#include "device/DVManager.h"
#include "resource.h"
#include "ui/MainPanel.h"
#include "ui/SkinTables.h"

namespace {
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

BOOL RecordPanel::OnInitDialog() {
  framework::Dialog::OnInitDialog();
  m_toolTip.Create(m_hWnd);
  m_toolTip.SetMaxTipWidth(600);
  m_toolTip.Activate(true);
  // The background picture is the first row of the panel's layout.
  m_skinLayout.Init(m_hWnd, kRecordPanelLayout, 1, &m_toolTip);
  return TRUE;
}

BOOL RecordPanel::PreTranslateMessage(MSG* msg) {
  if (MainPanel::IsEnterOrEsc(msg)) return TRUE;
  return framework::Dialog::PreTranslateMessage(msg);
}

bool RecordPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_ERASEBKGND) {
    MainPanel::DrawItemPicture(GetDlgItem(IDC_RECORD_BACKGROUND), reinterpret_cast<HDC>(wParam), 0, 0);
    result = TRUE;
    return true;
  }
  return framework::Dialog::OnMessage(msg, wParam, lParam, result);
}

void RecordPanel::SetVisible(bool visible) {
  m_bVisible = visible;
  if (m_hWnd == nullptr) return;
  ShowWindow(visible ? SW_SHOW : SW_HIDE);
  m_recordGraph.SetMute(visible ? FALSE : TRUE);
}

void RecordPanel::RestartTimers(bool on) {
  if (m_hWnd == nullptr) return;
  if (on) {
    SetTimer(m_hWnd, kFolderWatchTimerId, kFolderWatchPeriodMs, nullptr);
  } else {
    KillTimer(m_hWnd, kFolderWatchTimerId);
  }
}

void RecordPanel::OnTimer(UINT_PTR timerId) {
  if (timerId == kFolderWatchTimerId) WatchVideoFolder();
}

void RecordPanel::WatchVideoFolder() {
  // The option sheet changes the folder itself while it is shown.
  if (m_mainPanel.IsOptionsOpen()) return;
  m_mainPanel.WatchVideoFolder(m_settings.GetVideoFolder());
}

void RecordPanel::OnDvEvent(int, LPARAM) {
  // Without a recording to start, stop or split, the camcorder's events change nothing here.
}

void RecordPanel::OnSystemEvent(int) {
  // Suspend and session lock end a recording; nothing records here yet.
}

BOOL RecordPanel::OnKeyDown(const MSG*) {
  // F5 and F6 drive the Record, Stop and Finalize buttons, which this panel does not show yet.
  return FALSE;
}

void RecordPanel::StopIfRecording() {
  if (m_nRecordState == kRecordNone) return;
  // Linked mode finalizes its file (stopped); standard mode stops and starts afresh.
  const bool linked = m_settings.GetRecordMode() == 1;
  if (linked && (m_nRecordState == kRecordPaused || m_nRecordState == kRecordRunning)) {
    m_nRecordState = kRecordStopped;
  } else if (!linked && m_nRecordState == kRecordRunning) {
    m_nRecordState = kRecordNone;
  }
}

void RecordPanel::RefreshSettings() { m_recordGraph.SetFilePath(m_settings.GetNextFilePath()); }

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
