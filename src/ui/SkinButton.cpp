#include "ui/SkinButton.h"

#include <algorithm>

void SkinButton::AddOverlappingWindow(HWND window) {
  if (window == nullptr) return;
  if (std::find(m_vecOverlapping.begin(), m_vecOverlapping.end(), window) != m_vecOverlapping.end()) return;
  m_vecOverlapping.push_back(window);
}

bool SkinButton::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg != WM_CTLCOLORBTN) return framework::BitmapButton::OnReflectedMessage(msg, wParam, lParam, result);
  // The button asks for its colours on the surface it is about to draw on: what lies under a
  // visible label on top of it is left out, so the label stays readable.
  const auto dc = reinterpret_cast<HDC>(wParam);
  for (HWND window : m_vecOverlapping) {
    if (!::IsWindow(window) || !::IsWindowVisible(window)) continue;
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    ::ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  }
  result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
  return true;
}

LRESULT SkinButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDBLCLK:
      // Two quick clicks are two clicks, not a click and a double click.
      msg = WM_LBUTTONDOWN;
      break;
    case WM_ERASEBKGND:
      // The bitmap covers the whole button; erasing first would only flicker.
      return TRUE;
    default:
      break;
  }
  return framework::BitmapButton::WindowProc(msg, wParam, lParam);
}
