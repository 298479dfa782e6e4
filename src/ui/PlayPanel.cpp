#include "ui/PlayPanel.h"

#include "resource.h"
#include "ui/MainPanel.h"
#include "ui/SkinTables.h"

PlayPanel::PlayPanel(MainPanel& mainPanel) : framework::Dialog(IDD_PLAYPANEL), m_mainPanel(mainPanel) {}

PlayPanel::~PlayPanel() = default;

bool PlayPanel::CreatePanel(HWND parent) {
  if (!Create(parent)) return false;
  MainPanel::PlaceChildPanel(m_hWnd, IDC_PLAY_BACKGROUND, kPanelTop);
  return true;
}

BOOL PlayPanel::OnInitDialog() {
  framework::Dialog::OnInitDialog();
  m_toolTip.Create(m_hWnd);
  m_toolTip.SetMaxTipWidth(600);
  m_toolTip.Activate(true);
  // The background picture is the first row of the panel's layout.
  m_skinLayout.Init(m_hWnd, kPlayPanelLayout, 1, &m_toolTip);
  return TRUE;
}

BOOL PlayPanel::PreTranslateMessage(MSG* msg) {
  if (MainPanel::IsEnterOrEsc(msg)) return TRUE;
  return framework::Dialog::PreTranslateMessage(msg);
}

bool PlayPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_ERASEBKGND) {
    MainPanel::DrawItemPicture(GetDlgItem(IDC_PLAY_BACKGROUND), reinterpret_cast<HDC>(wParam), 0, 0);
    result = TRUE;
    return true;
  }
  return framework::Dialog::OnMessage(msg, wParam, lParam, result);
}

void PlayPanel::SetVisible(bool visible) {
  m_bVisible = visible;
  if (m_hWnd == nullptr) return;
  if (visible) {
    m_playGraph.SetActive(TRUE);
    TakePlayRequest();
    ShowWindow(SW_SHOW);
  } else {
    ShowWindow(SW_HIDE);
    m_playGraph.SetActive(FALSE);
    CloseOpenPopupMenu();
  }
}

void PlayPanel::TakePlayRequest() {
  // The request is this panel's once it is shown, whether or not its file can be played.
  const MainPanel::PlayRequest request = m_mainPanel.GetPlayRequest();
  if (!request.strPath.empty()) m_mainPanel.SetPlayRequest(L"", 0, 0);
}

void PlayPanel::CloseOpenPopupMenu() {
  // A pop-up menu of the panel must not stay open over the other tab.
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (menu != nullptr) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
}

void PlayPanel::OnDvEvent(int, LPARAM) {
  // Play position, end of file and aspect events concern a loaded file; none is loaded here yet.
}

void PlayPanel::OnSystemEvent(int) {
  // Suspend and session lock pause playback; nothing plays here yet.
}

BOOL PlayPanel::OnKeyDown(const MSG*) {
  // F9, F11 and F12 drive the play button, the file list and the time slider, not shown yet.
  return FALSE;
}

void PlayPanel::RelayOwnerMessage(HWND mainWindow, UINT msg, WPARAM wParam, LPARAM lParam) {
  m_playGraph.NotifyOwnerMessage(mainWindow, msg, wParam, lParam);
}
