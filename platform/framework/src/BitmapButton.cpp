#include "framework/BitmapButton.h"

#include "framework/Resources.h"

namespace framework {
namespace {
// Loads `id` into `holder` (0 empties it); false when a requested bitmap is missing.
bool LoadInto(BitmapHolder& holder, UINT id) {
  holder.Reset(id != 0 ? BitmapButton::LoadResourceBitmap(id) : nullptr);
  return id == 0 || holder;
}
}  // namespace

HBITMAP BitmapButton::LoadResourceBitmap(UINT id) {
  return static_cast<HBITMAP>(
      ::LoadImageW(GetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

bool BitmapButton::DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (dc == nullptr || bitmap == nullptr) return false;
  BITMAP info{};
  if (::GetObjectW(bitmap, sizeof(info), &info) == 0) return false;
  MemoryDC source(dc);
  if (source.Get() == nullptr) return false;
  SelectObjectScope select(source, bitmap);
  if (!select.IsSelected()) return false;
  return ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY) != FALSE;
}

bool BitmapButton::LoadBitmaps(UINT normalId, UINT selectedId, UINT focusedId, UINT disabledId) {
  bool ok = LoadInto(m_bmpNormal, normalId) && normalId != 0;
  ok = LoadInto(m_bmpSelected, selectedId) && ok;
  ok = LoadInto(m_bmpFocused, focusedId) && ok;
  ok = LoadInto(m_bmpDisabled, disabledId) && ok;
  if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, FALSE);
  return ok;
}

bool BitmapButton::LoadHotBitmap(UINT hotId) {
  const bool ok = LoadInto(m_bmpHot, hotId);
  if (!m_bmpHot) m_bHovering = false;
  if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, FALSE);
  return ok;
}

void BitmapButton::SizeToContent() {
  BITMAP info{};
  if (m_hWnd == nullptr || !m_bmpNormal || ::GetObjectW(m_bmpNormal.Get(), sizeof(info), &info) == 0) return;
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HBITMAP BitmapButton::ChooseBitmap(UINT itemState) const {
  if (!m_bmpNormal) return nullptr;
  if (m_bHovering && (itemState & (ODS_SELECTED | ODS_DISABLED)) == 0 && m_bmpHot) return m_bmpHot.Get();
  if ((itemState & ODS_SELECTED) != 0 && m_bmpSelected) return m_bmpSelected.Get();
  if ((itemState & ODS_FOCUS) != 0 && m_bmpFocused) return m_bmpFocused.Get();
  if ((itemState & ODS_DISABLED) != 0 && m_bmpDisabled) return m_bmpDisabled.Get();
  return m_bmpNormal.Get();
}

void BitmapButton::DrawItem(const DRAWITEMSTRUCT& item) {
  DrawBitmap(item.hDC, ChooseBitmap(item.itemState), item.rcItem.left, item.rcItem.top);
}

void BitmapButton::OnSubclassed() {
  // The button is drawn here only when the system asks its parent to draw it.
  const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
  if ((style & BS_TYPEMASK) != BS_OWNERDRAW) {
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
  }
}

bool BitmapButton::OnReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
  if (msg != WM_DRAWITEM) return false;
  DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
  result = TRUE;
  return true;
}

LRESULT BitmapButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEMOVE: {
      const LRESULT result = DefaultProc(msg, wParam, lParam);
      TrackHover(lParam, wParam);
      return result;
    }
    case WM_MOUSELEAVE:
      SetHovering(false);
      return DefaultProc(msg, wParam, lParam);
    default:
      return Control::WindowProc(msg, wParam, lParam);
  }
}

void BitmapButton::TrackHover(LPARAM clientPoint, WPARAM keys) {
  // Without a hot bitmap nothing changes; a press that started elsewhere is not a hover.
  if (!m_bmpHot || ((keys & MK_LBUTTON) != 0 && !m_bHovering)) return;
  POINT point{static_cast<short>(LOWORD(clientPoint)), static_cast<short>(HIWORD(clientPoint))};
  ::ClientToScreen(m_hWnd, &point);
  if (::WindowFromPoint(point) != m_hWnd) {
    SetHovering(false);
    return;
  }
  if (m_bHovering) return;
  SetHovering(true);
  // The system reports when the mouse leaves, also when it leaves faster than a move is seen.
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
  ::TrackMouseEvent(&track);
}

void BitmapButton::SetHovering(bool hovering) {
  if (m_bHovering == hovering) return;
  m_bHovering = hovering;
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

}  // namespace framework
