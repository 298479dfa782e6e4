#include "ui/PlayPanel.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

#include "app/FolderBrowser.h"
#include "app/RecorderApp.h"
#include "core/DebugTrace.h"
#include "core/TextHelpers.h"
#include "device/DeviceEvents.h"
#include "files/AviInspection.h"
#include "files/Timecode.h"
#include "framework/App.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/MainPanel.h"
#include "ui/SkinTables.h"

namespace {

constexpr COLORREF kBackgroundColor = RGB(236, 240, 224);
constexpr COLORREF kLightText = RGB(240, 240, 240);
constexpr COLORREF kNameBackground = RGB(73, 73, 73);
constexpr COLORREF kTimecodeText = RGB(34, 220, 218);
constexpr COLORREF kTimecodeBackground = RGB(27, 27, 27);
constexpr LONG kTimecodeFontHeight = -10;
constexpr COLORREF kCountText = RGB(189, 90, 61);
constexpr LONG kDropCountFontHeight = 12;
constexpr LONG kSmallestDropCountHeight = 6;
constexpr COLORREF kButtonLabelBackground = RGB(110, 110, 110);
constexpr COLORREF kListCaptionBackground = RGB(91, 91, 91);
constexpr COLORREF kAnnouncementBackground = RGB(192, 192, 192);
// The 4:3 preview frame, in which a right click opens the framing-aid menu.
constexpr RECT kPreviewFrame{12, 17, 12 + 360, 17 + 270};

constexpr int kTimecodeFields[4] = {IDC_PLAY_TIMECODE_HOURS, IDC_PLAY_TIMECODE_MINUTES, IDC_PLAY_TIMECODE_SECONDS,
                                    IDC_PLAY_TIMECODE_FRAMES};

// "C:\v\Rec 001.avi" -> "Rec 001".
std::wstring FileTitle(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return name;
}

// A text with one %s, filled in.
std::wstring FormatWithText(const std::wstring& format, const std::wstring& text) {
  std::vector<wchar_t> buffer(format.size() + text.size() + 64, L'\0');
  _snwprintf(buffer.data(), buffer.size() - 1, format.c_str(), text.c_str());
  return buffer.data();
}

std::wstring CountText(int count) {
  if (count <= 0) return std::wstring();
  return std::to_wstring(std::min(count, PlayPanel::kMaxShownDropCount));
}

bool IsPlayingState(int state) {
  return state == PlayGraph::StatePlaying || state == PlayGraph::StatePlayingOut;
}

bool IsPausedState(int state) {
  return state == PlayGraph::StatePaused || state == PlayGraph::StatePausedOut;
}

}  // namespace

PlayPanel::PlayPanel(MainPanel& mainPanel)
    : framework::Dialog(IDD_PLAYPANEL),
      m_mainPanel(mainPanel),
      m_brushBackground(::CreateSolidBrush(kBackgroundColor)) {}

PlayPanel::~PlayPanel() = default;

bool PlayPanel::CreatePanel(HWND parent) {
  if (!Create(parent)) return false;
  MainPanel::PlaceChildPanel(m_hWnd, IDC_PLAY_BACKGROUND, kPanelTop);
  return true;
}

BOOL PlayPanel::OnInitDialog() {
  framework::Dialog::OnInitDialog();
  // The time slider takes the place of its placeholder.
  if (HWND placeholder = GetDlgItem(IDC_PLAY_SLIDER)) ::DestroyWindow(placeholder);
  if (!m_slider.Create(m_hWnd, IDC_PLAY_SLIDER, WM_LIST_NOTIFY, kSliderThumbBitmapId)) {
    TRACE_TEXT("the time slider could not be created\n");
    return TRUE;
  }
  m_toolTip.Create(m_hWnd);
  m_toolTip.SetMaxTipWidth(kToolTipWidth);
  m_toolTip.Activate(true);
  SetUpControls();
  m_skinLayout.Init(m_hWnd, kPlayPanelLayout, kPlayPanelLayoutRows, &m_toolTip);
  PlaceFolderEdit();
  ::ShowWindow(m_btnPlay, SW_SHOW);
  ::ShowWindow(m_btnPause, SW_HIDE);

  m_fileList.SubclassDlgItem(IDC_PLAY_FILE_LIST, m_hWnd);
  m_fileList.Init(m_hWnd, WM_FILE_LIST_NOTIFY, VideoFileList::SortNewestFirst);
  m_playGraph.InitGraph(&m_mainPanel.GetDVManager(), GetDlgItem(IDC_PLAY_PREVIEW));
  m_overlay.Attach(GetDlgItem(IDC_PLAY_OVERLAY), GetDlgItem(IDC_PLAY_PREVIEW));
  return TRUE;
}

void PlayPanel::SetUpControls() {
  const std::pair<SkinButton*, int> buttons[] = {
      {&m_btnPlay, IDC_PLAY_PLAY},           {&m_btnPause, IDC_PLAY_PAUSE},     {&m_btnPreviousDrop, IDC_PLAY_PREVIOUS_DROP},
      {&m_btnNextDrop, IDC_PLAY_NEXT_DROP},  {&m_btnToStart, IDC_PLAY_TO_START}, {&m_btnZoomOut, IDC_PLAY_ZOOM_OUT},
      {&m_btnZoomIn, IDC_PLAY_ZOOM_IN},      {&m_btnSort, IDC_PLAY_SORT},        {&m_btnFolder, IDC_PLAY_FOLDER_BUTTON}};
  for (const auto& [button, id] : buttons) button->SubclassDlgItem(id, m_hWnd);

  const auto setUpLabel = [this](SkinLabel& label, int id, COLORREF text, COLORREF background) {
    label.SubclassDlgItem(id, m_hWnd);
    label.SetTextColor(text);
    label.SetBkColor(background);
  };
  setUpLabel(m_lblFileName, IDC_PLAY_FILE_NAME, kLightText, kNameBackground);
  setUpLabel(m_lblTotalTime, IDC_PLAY_TOTAL_TIME, kLightText, kNameBackground);
  m_strTotalTimeFormat = GetDlgItemText(IDC_PLAY_TOTAL_TIME);
  for (int n = 0; n < 4; ++n) {
    setUpLabel(m_lblTimecode[n], kTimecodeFields[n], kTimecodeText, kTimecodeBackground);
    // Each field is 16 pixels wide and holds "00:".
    m_lblTimecode[n].SetFaceName(L"MS Sans Serif", DEFAULT_CHARSET);
    m_lblTimecode[n].SetHeight(kTimecodeFontHeight);
  }
  for (SkinLabel* count : {&m_lblPreviousCount, &m_lblNextCount}) {
    setUpLabel(*count, count == &m_lblPreviousCount ? IDC_PLAY_PREVIOUS_COUNT : IDC_PLAY_NEXT_COUNT, kCountText,
               kButtonLabelBackground);
    count->SetFaceName(L"Arial", DEFAULT_CHARSET);
    count->SetHeight(kDropCountFontHeight);
    count->SetText(L"");
  }
  setUpLabel(m_lblF9, IDC_PLAY_F9, kLightText, kButtonLabelBackground);
  setUpLabel(m_lblSliderCaption, IDC_PLAY_SLIDER_CAPTION, kLightText, kButtonLabelBackground);
  setUpLabel(m_lblFileListCaption, IDC_PLAY_FILE_LIST_CAPTION, kLightText, kListCaptionBackground);
  setUpLabel(m_lblAnnouncement, IDC_PLAY_ANNOUNCEMENT, RGB(0, 0, 0), kAnnouncementBackground);

  m_editFolder.SubclassDlgItem(IDC_PLAY_FOLDER, m_hWnd);
  if (const RecorderApp* app = RecorderApp::Get()) {
    m_editFolder.SetFaceName(app->GetFontFace(), DEFAULT_CHARSET);
    m_editFolder.SetHeight(app->GetStandardFontSize());
  }
  m_editFolder.SetTextColor(kLightText);
  m_editFolder.SetBkColor(kListCaptionBackground);
}

// The folder's one line sits in the middle of its strip of the skin, as tall as a capital letter
// of its font.
void PlayPanel::PlaceFolderEdit() {
  HWND edit = m_editFolder.GetSafeHwnd();
  if (edit == nullptr) return;
  RECT place{};
  ::GetWindowRect(edit, &place);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  HDC dc = ::GetDC(edit);
  const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(edit, WM_GETFONT, 0, 0)));
  SIZE letter{};
  ::GetTextExtentPoint32W(dc, L"A", 1, &letter);
  ::SelectObject(dc, old);
  ::ReleaseDC(edit, dc);
  const int height = place.bottom - place.top;
  if (letter.cy <= 0 || letter.cy >= height) return;
  ::MoveWindow(edit, place.left, place.top + (height - letter.cy) / 2, place.right - place.left, letter.cy, TRUE);
}

BOOL PlayPanel::PreTranslateMessage(MSG* msg) {
  if (MainPanel::IsEnterOrEsc(msg)) return TRUE;
  if (m_toolTip.IsWindow()) m_toolTip.RelayEvent(msg);
  if (m_fileList.IsWindow()) m_fileList.RelayToolTipEvent(msg);
  return framework::Dialog::PreTranslateMessage(msg);
}

BOOL PlayPanel::OnKeyDown(const MSG* msg) {
  if (msg->message != WM_KEYDOWN || !m_bVisible || m_hWnd == nullptr) return FALSE;
  switch (msg->wParam) {
    case VK_F9:
      if (::IsWindowVisible(m_btnPlay)) {
        StartPlay();
      } else {
        StopPlay();
      }
      return TRUE;
    case VK_F11:
      if (::IsWindowVisible(m_fileList)) ::SetFocus(m_fileList);
      return TRUE;
    case VK_F12:
      if (::IsWindowVisible(m_slider)) ::SetFocus(m_slider);
      return TRUE;
    default:
      return FALSE;
  }
}

bool PlayPanel::OnCommand(WORD id, WORD, HWND) {
  switch (id) {
    case IDC_PLAY_PLAY:
      StartPlay();
      return true;
    case IDC_PLAY_PAUSE:
      StopPlay();
      return true;
    case IDC_PLAY_FOLDER_BUTTON:
      BrowseFolder();
      return true;
    case IDC_PLAY_SORT:
      ShowSortMenu();
      return true;
    case IDC_PLAY_PREVIOUS_DROP:
      PreviousDrop();
      return true;
    case IDC_PLAY_NEXT_DROP:
      NextDrop();
      return true;
    case IDC_PLAY_TO_START:
      ToStart();
      return true;
    case IDC_PLAY_ZOOM_OUT:
      ZoomSlider(-1);
      return true;
    case IDC_PLAY_ZOOM_IN:
      ZoomSlider(+1);
      return true;
    case IDM_FILE_DELETE:
      DeleteSelectedFile();
      return true;
    case IDM_SORT_NEWEST_FIRST:
    case IDM_SORT_OLDEST_FIRST:
      SetSortOrder(id);
      return true;
    case IDM_PREVIEW_CENTRE_MARKER:
    case IDM_PREVIEW_SAFE_MARGIN: {
      int centreMarker = 0;
      int safeMargin = 0;
      m_mainPanel.GetOverlayFlags(centreMarker, safeMargin);
      if (id == IDM_PREVIEW_CENTRE_MARKER) {
        centreMarker = centreMarker != 0 ? 0 : 1;
      } else {
        safeMargin = safeMargin != 0 ? 0 : 1;
      }
      m_mainPanel.SetOverlayFlags(centreMarker, safeMargin);
      ApplyOverlayFlags();
      return true;
    }
    default:
      return false;
  }
}

bool PlayPanel::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_ERASEBKGND:
      MainPanel::DrawItemPicture(GetDlgItem(IDC_PLAY_BACKGROUND), reinterpret_cast<HDC>(wParam), 0, 0);
      result = TRUE;
      return true;
    case WM_CTLCOLORDLG:
      result = reinterpret_cast<LRESULT>(m_brushBackground.Get());
      return true;
    case WM_DESTROY:
      m_playGraph.ExitGraph();
      return false;
    case WM_RBUTTONUP: {
      const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (::PtInRect(&kPreviewFrame, point)) ShowPreviewMenu(point);
      return false;
    }
    case WM_LIST_NOTIFY:
      OnSliderNotify(wParam);
      result = 0;
      return true;
    case WM_FILE_LIST_NOTIFY:
      OnFileListNotify(wParam, lParam);
      result = 0;
      return true;
    default:
      return framework::Dialog::OnMessage(msg, wParam, lParam, result);
  }
}

void PlayPanel::OnSliderNotify(WPARAM code) {
  switch (code) {
    case TimeSlider::SliderPositionChanged:
      m_playGraph.SeekToFrame(m_slider.CellToFrame(m_slider.GetCurrentCell()));
      UpdatePositionDisplay(false);
      break;
    case TimeSlider::SliderStepDown:
      ZoomSlider(+1);
      break;
    case TimeSlider::SliderStepUp:
      ZoomSlider(-1);
      break;
    case TimeSlider::SliderScrolled:
      StopPlay();
      break;
    default:
      break;
  }
}

void PlayPanel::OnFileListNotify(WPARAM code, LPARAM lParam) {
  switch (code) {
    case VideoFileList::FileSelectionChanged: {
      const std::wstring path = m_fileList.GetFocusedPath();
      if (path != m_playGraph.GetFilePath()) ShowFile(path, 0);
      break;
    }
    case VideoFileList::FileDoubleClicked:
    case VideoFileList::FileActivated:
      if (::IsWindowVisible(m_btnPlay)) {
        StartPlay();
      } else {
        StopPlay();
      }
      break;
    case VideoFileList::FileContextMenu:
      ShowFileMenu(lParam);
      break;
    case VideoFileList::FileDeleteRequested:
      DeleteSelectedFile();
      break;
    default:
      break;
  }
}

// ---- showing and hiding ---------------------------------------------------------------------

void PlayPanel::SetVisible(bool visible) {
  m_bVisible = visible;
  if (m_hWnd == nullptr) return;
  if (!visible) {
    StopPlay();
    ShowWindow(SW_HIDE);
    // Inactive, the graph loads nothing: the file and the camcorder are let go.
    m_playGraph.SetActive(FALSE);
    m_playGraph.LoadFile();
    CloseOpenPopupMenu();
    return;
  }
  ApplyOverlayFlags();
  m_playGraph.SetActive(TRUE);
  TakePlayRequest();
  ShowWindow(SW_SHOW);
  ::SetFocus(m_fileList);
}

void PlayPanel::TakePlayRequest() {
  const MainPanel::PlayRequest request = m_mainPanel.GetPlayRequest();
  if (!request.strPath.empty()) {
    const size_t slash = request.strPath.find_last_of(L'\\');
    SelectFolder(slash == std::wstring::npos ? std::wstring() : request.strPath.substr(0, slash + 1));
    ShowFile(request.strPath, request.nSecond < 1 ? 0 : request.nSecond);
    // The request is this panel's once it is shown, whether or not its file can be played.
    m_mainPanel.SetPlayRequest(L"", 0, 0);
    // A drop's second opens at single frames; a whole new recording at seconds.
    const auto [lowest, highest] = m_slider.GetZoomRange();
    m_slider.SetZoomLevel(request.nSecond >= 0 ? highest : std::max(lowest, highest - 1));
    m_slider.SetPosition(m_playGraph.GetCurrentFrame(), true);
    UpdatePositionDisplay(false);
    ShowWindow(SW_SHOW);
    ::SetFocus(m_fileList);
    if (request.nMode == 1) StartPlay();
    return;
  }
  if (m_fileList.GetFolder().empty()) SelectFolder(m_mainPanel.GetSettings().GetVideoFolder());
  ShowFile(m_playGraph.GetFilePath(), 0);
}

void PlayPanel::CloseOpenPopupMenu() {
  // A pop-up menu of the panel must not stay open over the other tab.
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (menu != nullptr) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
}

void PlayPanel::ApplyOverlayFlags() {
  int centreMarker = 0;
  int safeMargin = 0;
  m_mainPanel.GetOverlayFlags(centreMarker, safeMargin);
  if (!m_overlay.IsWindow()) return;
  m_overlay.SetCentreMarker(centreMarker != 0);
  m_overlay.SetSafeMargin(safeMargin != 0);
}

// ---- folder and file ------------------------------------------------------------------------

void PlayPanel::SelectFolder(const std::wstring& folder) {
  m_folderHandle.Reset();
  m_folderHandle.Reset(::CreateFileW(folder.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr));
  SetDlgItemText(IDC_PLAY_FOLDER, folder);
  if (m_toolTip.IsWindow()) {
    HWND edit = GetDlgItem(IDC_PLAY_FOLDER);
    const std::wstring tip =
        WrapTextToWidth(folder, kToolTipWidth, reinterpret_cast<HFONT>(::SendMessageW(edit, WM_GETFONT, 0, 0)));
    if (m_toolTip.HasTool(edit)) {
      m_toolTip.UpdateTipText(edit, tip);
    } else {
      m_toolTip.AddTool(edit, tip);
    }
  }
  m_fileList.SetFolder(folder);
  ShowFile(L"", 0);
}

void PlayPanel::BrowseFolder() {
  const std::wstring chosen = ChooseFolder(GetDlgItemText(IDC_PLAY_FOLDER));
  if (chosen.empty()) return;
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SelectFolder(chosen.back() == L'\\' ? chosen : chosen + L'\\');
  ::SetFocus(m_fileList);
}

std::wstring PlayPanel::ChooseFolder(const std::wstring& initial) {
  FolderBrowser browser;
  browser.SetInitialFolder(initial);
  if (browser.Browse(::GetAncestor(m_hWnd, GA_ROOT)) != FolderBrowser::kChosen) return std::wstring();
  return browser.GetFolder();
}

void PlayPanel::ShowFile(const std::wstring& path, int seconds) {
  if (m_hWnd == nullptr || !m_slider.IsWindow()) return;
  StopPlay();
  EnableControl(m_btnPlay, false);
  EnableControl(m_btnToStart, false);
  ::InvalidateRect(m_slider, nullptr, TRUE);
  Invalidate();

  ShowFileName(path);
  m_fileHandle.Reset();
  if (!path.empty()) {
    // Held for reading while it is shown: nobody else may write to it meanwhile.
    m_fileHandle.Reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    int wide = 0;
    int frameMode = 0;
    Timecode timecode;
    if (GetAVIAspect(path, &wide, &frameMode, &timecode)) SetPreviewGeometry(wide != 0 ? kPreview16x9 : kPreview4x3);
  }
  m_playGraph.OpenFile(path);
  const int state = m_playGraph.GetState();
  if (state == PlayGraph::StateNone || state == PlayGraph::StateNoFile) SetPreviewGeometry(kPreviewNone);
  if (state == PlayGraph::StateNoFile) {
    m_lblAnnouncement.SetText(path.empty() ? std::wstring() : framework::LoadResString(IDS_FILE_UNREADABLE));
  } else {
    EnableControl(m_btnPlay, true);
    EnableControl(m_btnToStart, true);
    m_playGraph.SeekToTimeCode(seconds / 3600, (seconds / 60) % 60, seconds % 60, 0);
    m_slider.SetPosition(m_playGraph.GetCurrentFrame(), true);
  }
  m_slider.SetFile(state == PlayGraph::StateNoFile ? std::wstring() : path);
  ShowTotalTime();
  m_fileList.SelectFile(path, true);
  UpdatePositionDisplay(true);
}

void PlayPanel::ShowFileName(const std::wstring& path) {
  const std::wstring name = path.empty() ? std::wstring() : FileTitle(path);
  HWND label = m_lblFileName.GetSafeHwnd();
  RECT client{};
  ::GetClientRect(label, &client);
  m_lblFileName.SetText(name.empty() ? name : FitTextWithEllipsis(name, client.right, m_lblFileName.GetFont()));
  if (!m_toolTip.IsWindow()) return;
  m_toolTip.DelTool(kFileNameToolId);
  if (name.empty()) return;
  RECT place{};
  ::GetWindowRect(label, &place);
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  m_toolTip.AddTool(kFileNameToolId, place, WrapTextToWidth(name, kToolTipWidth, m_lblFileName.GetFont()));
}

void PlayPanel::ShowTotalTime() {
  const int total = m_slider.GetTotalFrames();
  const int cells = total > 0 ? m_slider.FrameToCell(total - 1) + 1 : 0;
  if (cells - 1 < 0) {
    ::ShowWindow(m_lblTotalTime, SW_HIDE);
    return;
  }
  const Timecode end = FrameToTimecode(m_slider.GetVideoFormat(), m_slider.CellToFrame(cells - 1));
  const std::wstring length = FormatTimecode(end.nHours, end.nMinutes, end.nSeconds, end.nFrames).substr(0, 8);
  m_lblTotalTime.SetText(FormatWithText(m_strTotalTimeFormat, length));
  ::ShowWindow(m_lblTotalTime, SW_SHOW);
}

void PlayPanel::SetPreviewGeometry(int geometry) {
  m_nPreviewGeometry = geometry;
  m_skinLayout.SetVariant(IDC_PLAY_PREVIEW, geometry);
  if (m_overlay.IsWindow()) m_overlay.Rebuild();
}

// ---- playing and moving ---------------------------------------------------------------------

void PlayPanel::StartPlay() {
  if (IsPausedState(m_playGraph.GetState())) TRACE_FAILED_HR(m_playGraph.Play(), "ExecPlay");
  if (!::IsWindowEnabled(m_btnPlay)) return;
  SwapPlayButtons(true);
  m_lblAnnouncement.SetText(L"");
}

void PlayPanel::StopPlay() {
  if (IsPlayingState(m_playGraph.GetState())) TRACE_FAILED_HR(m_playGraph.Pause(), "ExecPlayStop");
  if (!::IsWindowEnabled(m_btnPause)) return;
  SwapPlayButtons(false);
  m_lblAnnouncement.SetText(L"");
  m_mainPanel.UpdateTitle(nullptr);
}

void PlayPanel::SwapPlayButtons(bool playing) {
  HWND shown = playing ? m_btnPause.GetSafeHwnd() : m_btnPlay.GetSafeHwnd();
  HWND hidden = playing ? m_btnPlay.GetSafeHwnd() : m_btnPause.GetSafeHwnd();
  if (shown == nullptr || hidden == nullptr) return;
  // One button at a time: the one going is hidden before the other appears, so that no one ever
  // sees both (or presses the wrong one); the focus moves along with them.
  const bool hadFocus = ::GetFocus() == hidden;
  ::ShowWindow(hidden, SW_HIDE);
  ::ShowWindow(shown, SW_SHOW);
  if (hadFocus) ::SetFocus(shown);
}

void PlayPanel::PreviousDrop() {
  int cell = 0;
  if (m_slider.GetPreviousDrop(&cell) <= 0) return;
  const int frame = m_slider.CellToFrame(cell);
  m_slider.SetPosition(frame, true);
  m_playGraph.SeekToFrame(frame);
  UpdatePositionDisplay(false);
}

void PlayPanel::NextDrop() {
  int cell = 0;
  if (m_slider.GetNextDrop(&cell) <= 0) return;
  const int frame = m_slider.CellToFrame(cell);
  m_slider.SetPositionFollow(frame);
  m_playGraph.SeekToFrame(frame);
  UpdatePositionDisplay(false);
}

void PlayPanel::ToStart() {
  m_slider.SetPosition(0, true);
  m_playGraph.SeekToFrame(0);
  UpdatePositionDisplay(false);
}

void PlayPanel::ZoomSlider(int step) {
  const auto [lowest, highest] = m_slider.GetZoomRange();
  const int level = std::clamp(m_slider.GetZoomLevel() + step, lowest, highest);
  if (level == m_slider.GetZoomLevel()) return;
  const int frame = m_playGraph.GetCurrentFrame();
  m_slider.SetZoomLevel(level);
  m_slider.SetPosition(frame, true);
  UpdatePositionDisplay(false);
}

void PlayPanel::EnableControl(HWND control, bool enable) {
  // Asked at every frame while playing: a control already in that state is left alone.
  if (control == nullptr || (::IsWindowEnabled(control) != FALSE) == enable) return;
  if (!enable && ::GetFocus() == control) ::SetFocus(m_hWnd);
  ::EnableWindow(control, enable ? TRUE : FALSE);
}

void PlayPanel::UpdatePositionDisplay(bool follow, bool newPosition) {
  if (!m_slider.IsWindow()) return;
  if (follow) m_slider.SetPositionFollow(m_playGraph.GetCurrentFrame(), newPosition);
  const auto [lowest, highest] = m_slider.GetZoomRange();
  EnableControl(m_btnZoomIn, m_slider.GetZoomLevel() != highest);
  EnableControl(m_btnZoomOut, m_slider.GetZoomLevel() != lowest);

  const int previous = m_slider.GetPreviousDrop();
  const int next = m_slider.GetNextDrop();
  EnableControl(m_btnPreviousDrop, previous > 0);
  EnableControl(m_btnNextDrop, next > 0);
  // Up to "999" is drawn smaller where the field is narrower than that in the face.
  const std::pair<SkinLabel*, int> counts[] = {{&m_lblPreviousCount, previous}, {&m_lblNextCount, next}};
  for (const auto& [label, count] : counts) {
    const std::wstring text = CountText(count);
    label->FitHeightToText(text, kDropCountFontHeight, kSmallestDropCountHeight);
    label->SetText(text);
  }

  const Timecode timecode = m_playGraph.GetCurrentTimeCode();
  const std::wstring text = FormatTimecode(timecode.nHours, timecode.nMinutes, timecode.nSeconds, timecode.nFrames);
  const bool textChanged = text != m_strLastTimecode;
  if (textChanged && text.size() == 11) {
    m_lblTimecode[0].SetText(text.substr(0, 3));
    m_lblTimecode[1].SetText(text.substr(3, 3));
    m_lblTimecode[2].SetText(text.substr(6, 3));
    m_lblTimecode[3].SetText(text.substr(9, 2));
  }
  const bool playing = IsPlayingState(m_playGraph.GetState());
  if (textChanged || playing != m_bLastPlaying) m_mainPanel.UpdateTitle(playing ? &timecode : nullptr);
  m_strLastTimecode = text;
  m_bLastPlaying = playing;
}

// ---- menus ----------------------------------------------------------------------------------

void PlayPanel::TrackMenu(const framework::PopupMenu& menu, int subMenu, POINT screen) {
  const UINT command = menu.Track(subMenu, screen, m_hWnd, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON);
  if (command != 0) OnCommand(static_cast<WORD>(command), 0, nullptr);
}

void PlayPanel::ShowSortMenu() {
  framework::PopupMenu menu;
  if (!menu.Load(IDR_FILE_MENU)) return;
  const bool newest = m_fileList.GetSortOrder() == VideoFileList::SortNewestFirst;
  menu.CheckItem(IDM_SORT_NEWEST_FIRST, newest);
  menu.CheckItem(IDM_SORT_OLDEST_FIRST, !newest);
  RECT button{};
  ::GetWindowRect(m_btnSort, &button);
  TrackMenu(menu, 1, POINT{button.left, button.top});
}

void PlayPanel::ShowFileMenu(LPARAM screenPoint) {
  framework::PopupMenu menu;
  if (!menu.Load(IDR_FILE_MENU)) return;
  POINT point{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
  if (screenPoint == 0) ::GetCursorPos(&point);
  TrackMenu(menu, 0, point);
}

void PlayPanel::ShowPreviewMenu(POINT) {
  framework::PopupMenu menu;
  if (!menu.Load(IDR_PREVIEW_MENU)) return;
  int centreMarker = 0;
  int safeMargin = 0;
  m_mainPanel.GetOverlayFlags(centreMarker, safeMargin);
  menu.CheckItem(IDM_PREVIEW_CENTRE_MARKER, centreMarker != 0);
  menu.CheckItem(IDM_PREVIEW_SAFE_MARGIN, safeMargin != 0);
  POINT cursor{};
  ::GetCursorPos(&cursor);
  TrackMenu(menu, 0, cursor);
}

void PlayPanel::SetSortOrder(UINT command) {
  const int order = command == IDM_SORT_NEWEST_FIRST ? VideoFileList::SortNewestFirst : VideoFileList::SortOldestFirst;
  if (order == m_fileList.GetSortOrder()) return;
  const std::wstring selected = m_fileList.GetSelectedPath();
  const std::wstring focused = m_fileList.GetFocusedPath();
  m_fileList.Sort(order);
  if (!selected.empty()) {
    m_fileList.SelectFile(selected, false);
  } else {
    m_fileList.FocusFile(focused);
  }
}

void PlayPanel::DeleteSelectedFile() {
  const std::wstring path = m_fileList.GetSelectedPath();
  if (path.empty()) return;
  const std::wstring question = FormatWithText(framework::LoadResString(IDS_CONFIRM_DELETE_FILE), FileTitle(path));
  if (::MessageBoxW(::GetAncestor(m_hWnd, GA_ROOT), question.c_str(), framework::LoadResString(IDS_APP_TITLE).c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return;
  }
  // The player and this panel let the file go before it is deleted.
  ShowFile(L"", 0);
  if (!::DeleteFileW(path.c_str())) {
    // Another program holding the file, or a read-only one: it stays listed and shown, and the
    // user is told why, rather than seeing it vanish from the list while it stays on the disk.
    const DWORD error = ::GetLastError();
    ShowFile(path, 0);
    framework::AppMessageBox(FormatWithText(framework::LoadResString(IDS_DELETE_FILE_FAILED), FileTitle(path)) +
                                 L"\n" + SystemErrorText(HRESULT_FROM_WIN32(error)),
                             MB_ICONEXCLAMATION);
    return;
  }
  m_fileList.RemoveFile(path);
  // The files after it close the gap.
  m_fileList.Arrange();
}

// ---- events ---------------------------------------------------------------------------------

void PlayPanel::OnDvEvent(int code, LPARAM argument) {
  if (m_hWnd == nullptr) return;
  switch (code) {
    case EVENT_DVMODECHANGE:
      if (m_bVisible) m_playGraph.SyncWithDVMode();
      break;
    case EVENT_PLAYPOSITION:
      UpdatePositionDisplay(true, true);
      break;
    case EVENT_PLAYCOMPLETE:
      StopPlay();
      UpdatePositionDisplay(true);
      break;
    case EVENT_PLAYASPECT:
      SetPreviewGeometry(argument != 0 ? kPreview16x9 : kPreview4x3);
      break;
    default:
      break;
  }
}

void PlayPanel::OnSystemEvent(int code) {
  if (m_hWnd == nullptr) return;
  if (code == EVENT_SUSPEND || code == EVENT_SESSIONLOCK) StopPlay();
}

void PlayPanel::RelayOwnerMessage(HWND mainWindow, UINT msg, WPARAM wParam, LPARAM lParam) {
  m_playGraph.NotifyOwnerMessage(mainWindow, msg, wParam, lParam);
}
