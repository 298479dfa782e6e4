#include "ui/PreviewOverlay.h"

#include "core/DebugTrace.h"
#include "framework/Handles.h"

namespace {

// The centre cross spans the middle 2/32 of the picture in each direction.
constexpr int kCentreInsetNumerator = 15;
constexpr int kCentreInsetDenominator = 32;
// The safe margins lie 10/200 (5 %) and 20/200 (10 %) inside the edges.
constexpr int kMarginDenominator = 200;
constexpr int kMarginNumerators[] = {10, 20};

// Adds the rectangle (left, top)-(right, bottom) to `region`.
void AddRect(HRGN region, int left, int top, int right, int bottom) {
  framework::RegionHolder piece(::CreateRectRgn(left, top, right, bottom));
  if (piece) ::CombineRgn(region, region, piece.Get(), RGN_OR);
}

}  // namespace

bool PreviewOverlay::Attach(HWND hOverlay, HWND hTarget) {
  if (!Subclass(hOverlay)) return false;
  m_hTarget = hTarget;
  if (m_hTarget != nullptr) {
    // The preview must not paint over the lines lying on top of it.
    const LONG_PTR style = ::GetWindowLongPtrW(m_hTarget, GWL_STYLE);
    ::SetWindowLongPtrW(m_hTarget, GWL_STYLE, style | WS_CLIPSIBLINGS);
    TRACE_FAILED_BOOL(::SetWindowPos(m_hTarget, m_hWnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE),
                      "SetWindowPos");
  }
  Rebuild();
  return true;
}

void PreviewOverlay::SetCentreMarker(bool bOn) {
  m_nCentreMarker = bOn ? 1 : 0;
  Rebuild();
}

void PreviewOverlay::SetSafeMargin(bool bOn) {
  m_nSafeMargin = bOn ? 1 : 0;
  Rebuild();
}

HRGN PreviewOverlay::BuildMarkerRegion(int w, int h, bool bCentreMarker, bool bSafeMargin) {
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  if (region == nullptr) return nullptr;
  if (bCentreMarker) {
    const int left = kCentreInsetNumerator * w / kCentreInsetDenominator;
    const int top = kCentreInsetNumerator * h / kCentreInsetDenominator;
    const int right = w - left;
    const int bottom = h - top;
    const int cx = left + (right - left) / 2;
    const int cy = top + (bottom - top) / 2;
    AddRect(region, cx, top, cx + 1, bottom);
    AddRect(region, left, cy, right, cy + 1);
  }
  if (bSafeMargin) {
    for (int numerator : kMarginNumerators) {
      const int left = numerator * w / kMarginDenominator;
      const int top = numerator * h / kMarginDenominator;
      const int right = w - left;
      const int bottom = h - top;
      AddRect(region, left, top, left + 1, bottom);
      AddRect(region, right, top, right + 1, bottom);
      AddRect(region, left, top, right, top + 1);
      AddRect(region, left, bottom, right, bottom + 1);
    }
  }
  return region;
}

void PreviewOverlay::Rebuild() {
  if (m_hWnd == nullptr) return;
  ShowWindow(SW_HIDE);
  if (m_hTarget != nullptr) {
    RECT rect{};
    if (::GetWindowRect(m_hTarget, &rect)) {
      ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rect), 2);
      ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    }
  }
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  HRGN region = BuildMarkerRegion(client.right, client.bottom, m_nCentreMarker != 0, m_nSafeMargin != 0);
  if (TRACE_NULL(region, "CreateRectRgn")) return;
  // The window owns the region from here on.
  if (TRACE_FAILED_BOOL(::SetWindowRgn(m_hWnd, region, TRUE) != 0, "SetWindowRgn")) ::DeleteObject(region);
  ShowWindow(SW_SHOW);
  ::UpdateWindow(m_hWnd);
}

LRESULT PreviewOverlay::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return TRUE;  // the paint covers the whole region
    case WM_PAINT: {
      framework::PaintDC dc(m_hWnd);
      Paint(dc);
      return 0;
    }
    default:
      return Control::WindowProc(msg, wParam, lParam);
  }
}

void PreviewOverlay::Paint(HDC dc) const {
  framework::RegionHolder region(::CreateRectRgn(0, 0, 0, 0));
  if (!region || ::GetWindowRgn(m_hWnd, region.Get()) == ERROR) return;
  ::FillRgn(dc, region.Get(), static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}
