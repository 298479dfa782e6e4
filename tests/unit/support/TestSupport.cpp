#include "TestSupport.h"

namespace testsupport {

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 1);
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

DrawSurface::DrawSurface(int width, int height)
    : m_rcAll{0, 0, width, height},
      m_screen(nullptr),
      m_dc(m_screen),
      m_bitmap(::CreateCompatibleBitmap(m_screen, width, height)),
      m_select(m_dc, m_bitmap.Get()) {
  Clear();
}

void DrawSurface::Clear() { ::FillRect(m_dc, &m_rcAll, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))); }

void DrawSurface::Draw(framework::BitmapButton& button, UINT state, int left) {
  Clear();
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.itemState = state;
  item.hDC = m_dc;
  item.hwndItem = button.GetSafeHwnd();
  item.rcItem = RECT{left, 0, m_rcAll.right, m_rcAll.bottom};
  button.DrawItem(item);
}

std::optional<POINT> PointMouseAt(HWND window, POINT client, DWORD timeoutMs) {
  POINT screen = client;
  ::ClientToScreen(window, &screen);
  HWND top = ::GetAncestor(window, GA_ROOT);
  const bool found = PumpUntil(
      [&] {
        ::SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetCursorPos(screen.x, screen.y);
        return ::WindowFromPoint(screen) == window;
      },
      timeoutMs);
  if (!found) return std::nullopt;
  return screen;
}

}  // namespace testsupport
