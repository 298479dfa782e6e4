#include "ui/TimeSlider.h"

#include <windowsx.h>

#include <algorithm>
#include <iterator>

#include "core/DebugTrace.h"
#include "files/Timecode.h"

namespace {

constexpr const wchar_t* kTimeSliderClass = L"PloverTimeSlider";

// One zoom level: how wide a cell is, what it stands for and how the scale is marked.
struct ZoomRow {
  int nCellWidth;  // pixels
  int nCellSpan;   // above 0: seconds a cell; 0 or below: minus the frames a cell
  int nMajorTick;  // label period (cells), or at every new second when a cell is a frame
  int nMinorTick;  // short tick period (cells), or the frame number's divisor when a cell is a frame
};

// Indexed by zoom level; row 0 is never selected.
constexpr ZoomRow kZoomTable[] = {
    {0, 0, 0, 0},
    {2, 30, 30, 2},  // 30 s a cell: label every 15 min, tick every minute
    {2, 15, 40, 2},  // 15 s a cell: label every 10 min, tick every 30 s
    {2, 5, 30, 2},   // 5 s a cell: label every 2 min 30 s, tick every 10 s
    {2, 1, 30, 2},   // 1 s a cell: label every 30 s, tick every 2 s
    {2, -1, 1, 5},   // a frame a cell: label at each new second, tick at frames 5, 10, ...
};
static_assert(std::size(kZoomTable) == TimeSlider::kMaxZoomLevel + 1);

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

bool RegisterTimeSliderClass() {
  const HINSTANCE module = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(module, kTimeSliderClass, &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = &::DefWindowProcW;  // the slider object takes over at once
  windowClass.hInstance = module;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = kTimeSliderClass;
  return ::RegisterClassExW(&windowClass) != 0;
}

}  // namespace

TimeSlider::TimeSlider() { LoadZoomRow(); }

TimeSlider::~TimeSlider() {
  if (m_hWnd == nullptr) return;
  // The derived part is gone: the window loses its object before it is destroyed, so no message
  // of the destruction reaches a drawing handler.
  HWND window = m_hWnd;
  ::KillTimer(window, kDragTimerId);
  ::KillTimer(window, kScrollBarTimerId);
  Unsubclass();
  ::DestroyWindow(window);
}

bool TimeSlider::Create(HWND owner, UINT id, UINT notifyMessage) {
  if (TRACE_FAILED_BOOL(RegisterTimeSliderClass(), "RegisterClass")) return false;
  m_hOwner = owner;
  m_nNotifyMessage = notifyMessage;
  const RECT empty{};
  if (TRACE_FAILED_BOOL(Control::Create(WS_EX_CLIENTEDGE, kTimeSliderClass, L"",
                                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL, empty, owner, id),
                        "CreateEx")) {
    return false;
  }
  ::ShowScrollBar(m_hWnd, SB_HORZ, TRUE);
  UpdateScrollBar();
  return true;
}

void TimeSlider::Reset(int totalFrames, int videoFormat) {
  m_nTotalFrames = std::max(totalFrames, 0);
  m_nFirstVisibleCell = 0;
  m_nCurrentCell = 0;
  m_nVideoFormat = videoFormat == kVideoFormat625 ? kVideoFormat625 : kVideoFormat525;
  LoadZoomRow();
  if (m_hWnd == nullptr) return;
  Invalidate(false);
  UpdateScrollBar();
}

void TimeSlider::SetZoomLevel(int level) {
  if (level < kMinZoomLevel || level > kMaxZoomLevel) return;
  const int leftFrame = CellToFrame(m_nFirstVisibleCell);
  m_nZoomLevel = level;
  LoadZoomRow();
  OnZoomChanged();
  // Every pixel changes its meaning, so the view is painted anew rather than scrolled.
  m_nFirstVisibleCell = LimitFirstVisibleCell(FrameToCell(leftFrame));
  if (m_hWnd == nullptr) return;
  UpdateScrollBar();
  Invalidate(false);
}

int TimeSlider::GetTotalCells() const { return FrameToCell(m_nTotalFrames - 1) + 1; }

int TimeSlider::GetVisibleCells() const {
  if (m_hWnd == nullptr || m_nCellWidth <= 0) return 0;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  return (client.right - client.left + m_nCellWidth - 1) / m_nCellWidth;
}

int TimeSlider::GetPageCells() const {
  return std::max(0, std::min(GetVisibleCells() - 1, GetScrollMax()));
}

int TimeSlider::FrameToCell(int frame) const {
  if (frame < 0) return -1;
  if (m_nCellSpan <= 0) return frame / -m_nCellSpan;
  const Timecode tc = FrameToTimecode(m_nVideoFormat, frame);
  return (tc.nHours * kSecondsPerHour + tc.nMinutes * kSecondsPerMinute + tc.nSeconds) / m_nCellSpan;
}

int TimeSlider::CellToFrame(int cell) const {
  if (m_nCellSpan <= 0) return cell * -m_nCellSpan;
  const int seconds = cell * m_nCellSpan;
  return static_cast<int>(TimecodeToFrame(m_nVideoFormat, seconds / kSecondsPerHour,
                                          (seconds / kSecondsPerMinute) % 60, seconds % kSecondsPerMinute, 0));
}

void TimeSlider::SetPosition(int frame, bool ensureVisible) {
  const int cell = PositionCell(frame);
  SetCurrentCell(cell);
  if (ensureVisible) KeepWithin(cell, GetPageCells());
}

void TimeSlider::SetPositionFollow(int frame, bool playing) {
  const int cell = PositionCell(frame);
  SetCurrentCell(cell);
  m_bPaceScrollBar = playing;
  KeepWithin(cell, GetPageCells() * 2 / 3);
  m_bPaceScrollBar = false;
}

BOOL TimeSlider::PreTranslateMessage(MSG* msg) {
  // Escape ends a drag even when the dialog around the slider keeps the key for itself.
  if (msg->hwnd == m_hWnd && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE && IsDragging()) {
    ::ReleaseCapture();
  }
  return Control::PreTranslateMessage(msg);
}

RECT TimeSlider::GetCellRect(int cell) const {
  RECT rect;
  rect.left = (cell - m_nFirstVisibleCell) * m_nCellWidth;
  rect.top = 0;
  rect.right = rect.left + m_nCellWidth;
  rect.bottom = kCellHeight;
  return rect;
}

LRESULT TimeSlider::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      UpdateScrollBar();
      break;
    case WM_GETDLGCODE:
      // Arrows move the thumb rather than the dialog's focus; while dragging Escape ends the drag.
      return DLGC_WANTARROWS | (IsDragging() ? DLGC_WANTALLKEYS : 0);
    case WM_HSCROLL:
      TakeFocus();
      OnHScroll(LOWORD(wParam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      TakeFocus();
      BeginDrag(GET_X_LPARAM(lParam));
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      TakeFocus();
      if (IsDragging()) ::ReleaseCapture();
      return 0;
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      TakeFocus();
      break;
    case WM_MOUSEMOVE:
      if (IsDragging()) {
        m_nDragX = GET_X_LPARAM(lParam);
        if (IsInsideHorizontally(m_nDragX)) DragTo(m_nDragX);
      }
      return 0;
    case WM_TIMER:
      if (wParam == kScrollBarTimerId) {
        DrawScrollBar();
        return 0;
      }
      if (wParam != kDragTimerId) break;
      // Past an edge the pointer stands still while the ruler runs under it.
      if (IsDragging() && !IsInsideHorizontally(m_nDragX)) DragTo(m_nDragX);
      return 0;
    case WM_LBUTTONUP:
      if (IsDragging()) ::ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      ::KillTimer(m_hWnd, kDragTimerId);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && IsDragging()) ::ReleaseCapture();
      if (OnKeyDown(wParam)) return 0;
      break;
    case WM_MOUSEWHEEL:
      TakeFocus();
      if (OnMouseWheel(wParam)) return 0;
      break;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}

void TimeSlider::LoadZoomRow() {
  const ZoomRow& row = kZoomTable[m_nZoomLevel];
  m_nCellWidth = row.nCellWidth;
  m_nCellSpan = row.nCellSpan;
  m_nMajorTick = row.nMajorTick;
  m_nMinorTick = row.nMinorTick;
}

int TimeSlider::PositionCell(int frame) const {
  // The last frame (and anything past it) stands for the end position, one past the last cell.
  if (frame + 1 >= m_nTotalFrames) return GetTotalCells();
  return std::max(FrameToCell(frame), 0);
}

void TimeSlider::SetCurrentCell(int cell) {
  if (cell == m_nCurrentCell) return;
  RECT before{};
  GetThumbRect(&before);
  m_nCurrentCell = cell;
  RECT after{};
  GetThumbRect(&after);
  RECT both{};
  ::UnionRect(&both, &before, &after);
  // While a file plays the thumb moves a cell at a time: the old and the new place are drawn at
  // once through the window's DC, as a paint message would cost several calls into the window
  // system for every frame.
  if (m_hWnd == nullptr) return;
  HDC dc = ::GetDC(m_hWnd);
  if (dc == nullptr) {
    ::InvalidateRect(m_hWnd, &both, FALSE);
    return;
  }
  ::IntersectClipRect(dc, both.left, both.top, both.right, both.bottom);
  Draw(dc);
  ::ReleaseDC(m_hWnd, dc);
}

int TimeSlider::GetScrollMax() const { return std::max(GetTotalCells() + 1, 0); }

int TimeSlider::LimitFirstVisibleCell(int first) const {
  return std::max(std::min(first, GetTotalCells() - GetVisibleCells() + 2), 0);
}

void TimeSlider::UpdateScrollBar() {
  if (m_hWnd == nullptr) return;
  const int maximum = GetScrollMax();
  const int page = GetPageCells();
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = maximum;
  info.nPage = static_cast<UINT>(page);
  info.nPos = m_nFirstVisibleCell;
  ::SetScrollInfo(m_hWnd, SB_HORZ, &info, TRUE);
  // A page as long as the range leaves nothing to scroll to.
  ::EnableScrollBar(m_hWnd, SB_HORZ, page == maximum ? ESB_DISABLE_BOTH : ESB_ENABLE_BOTH);
}

void TimeSlider::ScrollTo(int first) {
  first = LimitFirstVisibleCell(first);
  if (first == m_nFirstVisibleCell) return;
  const int scrolledFrom = m_nFirstVisibleCell;
  m_nFirstVisibleCell = first;
  // While a file plays the view follows it a cell at a time, and a long file's scroll bar moves
  // its thumb a pixel only every few cells: the bar, whose drawing is dear under Wine, is drawn
  // again only when its thumb moves on the screen.
  SCROLLBARINFO before{};
  before.cbSize = sizeof(before);
  const bool known = ::GetScrollBarInfo(m_hWnd, OBJID_HSCROLL, &before) != FALSE;
  ::SetScrollPos(m_hWnd, SB_HORZ, first, FALSE);
  SCROLLBARINFO after{};
  after.cbSize = sizeof(after);
  if (!known || !::GetScrollBarInfo(m_hWnd, OBJID_HSCROLL, &after) || after.xyThumbTop != before.xyThumbTop ||
      after.xyThumbBottom != before.xyThumbBottom) {
    if (m_bPaceScrollBar) {
      DrawScrollBarPaced();
    } else {
      DrawScrollBar();
    }
  }
  ::ScrollWindowEx(m_hWnd, (scrolledFrom - first) * m_nCellWidth, 0, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
  ::UpdateWindow(m_hWnd);
}

void TimeSlider::DrawScrollBar() {
  if (m_bScrollBarDue) {
    ::KillTimer(m_hWnd, kScrollBarTimerId);
    m_bScrollBarDue = false;
  }
  ::SetScrollPos(m_hWnd, SB_HORZ, m_nFirstVisibleCell, TRUE);
  m_dwScrollBarDrawn = ::GetTickCount();
}

void TimeSlider::DrawScrollBarPaced() {
  if (m_bScrollBarDue) return;
  const DWORD elapsed = ::GetTickCount() - m_dwScrollBarDrawn;
  if (elapsed >= kScrollBarPaceMs) {
    DrawScrollBar();
    return;
  }
  m_bScrollBarDue = ::SetTimer(m_hWnd, kScrollBarTimerId, kScrollBarPaceMs - elapsed, nullptr) != 0;
  if (!m_bScrollBarDue) DrawScrollBar();
}

void TimeSlider::KeepWithin(int cell, int page) {
  int first = std::min(m_nFirstVisibleCell, cell);
  if (cell - page >= first) first = cell - page + 1;
  ScrollTo(first);
}

void TimeSlider::Notify(WPARAM code) {
  if (m_hOwner == nullptr || code == 0) return;
  ::SendMessageW(m_hOwner, m_nNotifyMessage, code, 0);
}

void TimeSlider::TakeFocus() {
  if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
}

void TimeSlider::OnPaint() {
  framework::PaintDC dc(m_hWnd);
  Draw(dc);
}

void TimeSlider::OnHScroll(WORD request) {
  Notify(SliderScrolled);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  ::GetScrollInfo(m_hWnd, SB_HORZ, &info);
  const int page = static_cast<int>(info.nPage);
  int first = m_nFirstVisibleCell;
  switch (request) {
    case SB_LINELEFT: first -= 1; break;
    case SB_LINERIGHT: first += 1; break;
    case SB_PAGELEFT: first -= page; break;
    case SB_PAGERIGHT: first += page; break;
    // The 32-bit tracking position: long files at one frame a cell pass 65,535 cells.
    case SB_THUMBTRACK: first = info.nTrackPos; break;
    case SB_LEFT: first = info.nMin; break;
    case SB_RIGHT: first = info.nMax; break;
    default: break;
  }
  first = std::max(first, info.nMin);
  first = std::min(first, info.nMax - page + 1);
  ScrollTo(first);
}

bool TimeSlider::OnKeyDown(WPARAM key) {
  int cell = m_nCurrentCell;
  switch (key) {
    case VK_PRIOR: cell -= GetPageCells(); break;
    case VK_NEXT: cell += GetPageCells(); break;
    case VK_END: cell = GetTotalCells(); break;
    case VK_HOME: cell = 0; break;
    case VK_LEFT: cell -= 1; break;
    case VK_RIGHT: cell += 1; break;
    case VK_UP:
      Notify(SliderStepUp);
      return true;
    case VK_DOWN:
      Notify(SliderStepDown);
      return true;
    default:
      return false;
  }
  cell = std::clamp(cell, 0, GetTotalCells());
  if (cell == m_nCurrentCell) return true;
  SetCurrentCell(cell);
  KeepWithin(cell, GetPageCells());
  Notify(SliderPositionChanged);
  return true;
}

bool TimeSlider::OnMouseWheel(WPARAM wParam) {
  if (GET_KEYSTATE_WPARAM(wParam) != MK_SHIFT) return false;
  Notify(GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SliderStepUp : SliderStepDown);
  return true;
}

void TimeSlider::BeginDrag(int x) {
  ::SetCapture(m_hWnd);
  ::SetTimer(m_hWnd, kDragTimerId, kDragTimerPeriodMs, nullptr);
  m_nDragX = x;
  DragTo(x);
}

void TimeSlider::DragTo(int x) {
  const int cell = std::clamp((m_nCellWidth * m_nFirstVisibleCell + x) / m_nCellWidth, 0, GetTotalCells());
  if (cell == m_nCurrentCell) return;
  SetCurrentCell(cell);
  KeepWithin(cell, GetPageCells());
  Notify(SliderPositionChanged);
}

bool TimeSlider::IsDragging() const { return m_hWnd != nullptr && ::GetCapture() == m_hWnd; }

bool TimeSlider::IsInsideHorizontally(int x) const {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  return x >= client.left && x < client.right;
}
