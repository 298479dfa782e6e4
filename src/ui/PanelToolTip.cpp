#include "ui/PanelToolTip.h"

#include "framework/Resources.h"

namespace {
constexpr UINT kIconMask = 0x0F;
// The tooltip styles that the balloon's style bits replace.
constexpr LONG_PTR kToolTipStyleMask = 0xFF;

// Mouse messages the tooltip must see to show and hide tips; double clicks are left out.
bool IsRelayedMouseMessage(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return true;
    default:
      return false;
  }
}
}  // namespace

void PanelToolTip::RelayEvent(const MSG* msg) {
  if (msg == nullptr) return;
  if (IsRelayedMouseMessage(msg->message)) framework::ToolTipCtrl::RelayEvent(msg);
  CheckAutoHide(msg->message);
}

void PanelToolTip::CheckAutoHide(UINT message) {
  if (m_hBalloonWindow == nullptr) return;
  const bool hide = (m_bHideOnFocusChange && ::GetFocus() != m_hFocusAtShow) ||
                    (m_bHideOnKey && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) ||
                    (m_bHideOnMove && message == WM_MOVE) || (m_bHideOnSize && message == WM_SIZE);
  if (hide) HideBalloon(m_hBalloonWindow);
}

void PanelToolTip::SetBalloonColors(COLORREF background, COLORREF text, DWORD styleBits) {
  m_bCustomColors = true;
  m_crCustomBk = background;
  m_crCustomText = text;
  m_dwBalloonStyle = styleBits;
}

void PanelToolTip::ShowBalloon(HWND anchor, UINT textId, UINT titleId, UINT flags) {
  HWND owner = GetOwner();
  if (m_hWnd == nullptr || owner == nullptr || anchor == nullptr) return;
  // One balloon at a time: a second would save the first one's look as the tooltip's own.
  if (m_hBalloonWindow != nullptr) HideBalloon(m_hBalloonWindow);

  const UINT icon = flags & kIconMask;
  m_bHideOnKey = (flags & kHideOnKey) != 0;
  m_bHideOnFocusChange = (flags & kHideOnFocusChange) != 0;
  m_bHideOnMove = (flags & kHideOnMove) != 0;
  m_bHideOnSize = (flags & kHideOnSize) != 0;
  m_hFocusAtShow = m_bHideOnFocusChange ? ::GetFocus() : nullptr;

  m_nSavedStyle = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  m_bStyleSaved = true;
  LONG_PTR style = (m_nSavedStyle & ~kToolTipStyleMask) | (m_dwBalloonStyle & kToolTipStyleMask);
  if ((m_dwBalloonStyle & TTS_BALLOON) != 0) {
    style &= ~static_cast<LONG_PTR>(WS_BORDER);
  } else {
    style |= WS_BORDER;
  }
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);

  if (m_bCustomColors) {
    m_crSavedBk = GetTipBkColor();
    m_crSavedText = GetTipTextColor();
    m_bColorsSaved = true;
    SetTipBkColor(m_crCustomBk);
    SetTipTextColor(m_crCustomText);
  }
  if (titleId != 0) m_bTitleSet = SetTitle(icon, framework::LoadResString(titleId));

  m_bToolAdded = AddTool(owner, std::wstring(), TTF_TRACK);
  UpdateTipText(owner, framework::LoadResString(textId));

  RECT rect{};
  ::GetClientRect(anchor, &rect);
  ::MapWindowPoints(anchor, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  int x = (rect.left + rect.right) / 2;
  if ((flags & kAnchorLeft) != 0) {
    x = rect.left;
  } else if ((flags & kAnchorRight) != 0) {
    x = rect.right;
  }
  int y = (rect.top + rect.bottom) / 2;
  if ((flags & kAnchorTop) != 0) {
    y = rect.top;
  } else if ((flags & kAnchorBottom) != 0) {
    y = rect.bottom;
  }
  TrackPosition(x, y);
  TrackActivate(owner, true);
  m_hBalloonWindow = owner;
}

void PanelToolTip::HideBalloon(HWND window) {
  m_hBalloonWindow = nullptr;
  m_hFocusAtShow = nullptr;
  m_bHideOnKey = m_bHideOnFocusChange = m_bHideOnMove = m_bHideOnSize = false;
  if (m_hWnd == nullptr) return;
  if (window != nullptr) TrackActivate(window, false);
  if (m_bToolAdded && window != nullptr) {
    DelTool(window);
    Update();
  }
  m_bToolAdded = false;
  RestoreAfterBalloon();
}

void PanelToolTip::RestoreAfterBalloon() {
  if (m_bTitleSet) SetTitle(TTI_NONE, std::wstring());
  m_bTitleSet = false;
  if (m_bColorsSaved) {
    SetTipBkColor(m_crSavedBk);
    SetTipTextColor(m_crSavedText);
  }
  m_bColorsSaved = false;
  if (m_bStyleSaved) {
    // The tip was hidden just now: the saved style comes back, but not a visible bit it had then.
    const LONG_PTR visible = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_VISIBLE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (m_nSavedStyle & ~static_cast<LONG_PTR>(WS_VISIBLE)) | visible);
  }
  m_bStyleSaved = false;
}
