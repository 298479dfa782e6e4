#include "ui/LevelMeter.h"

#include "framework/BitmapButton.h"

namespace {

// Row geometry: the first segment's left edge, the step between segments and each row's top.
constexpr int kFirstSegmentX = 28;
constexpr int kSegmentStep = 4;
constexpr int kRowTop[2] = {3, 13};
constexpr int kSegmentHeight = 4;
constexpr int kDarkSegmentWidth = 2;
// Segments 1 ... 16 are white, 17 ... 23 orange, 24 red.
constexpr int kLastNormalSegment = 16;
constexpr int kLastHighSegment = 23;

// Copies the top-left part of `bitmap` (its whole size when width and height are 0) to (x, y).
void CopyBitmap(HDC dc, HDC source, HBITMAP bitmap, int x, int y, int width = 0, int height = 0) {
  if (bitmap == nullptr) return;
  if (width == 0 || height == 0) {
    BITMAP info{};
    if (::GetObjectW(bitmap, sizeof(info), &info) == 0) return;
    width = info.bmWidth;
    height = info.bmHeight;
  }
  framework::SelectObjectScope select(source, bitmap);
  if (select.IsSelected()) ::BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY);
}

}  // namespace

POINT LevelMeter::SegmentOrigin(int nRow, int i) {
  return POINT{kFirstSegmentX + kSegmentStep * (i - 1), kRowTop[nRow]};
}

RECT LevelMeter::SegmentRect(int nRow, int i) {
  // The widest lit segment (24) fills the whole step.
  const POINT origin = SegmentOrigin(nRow, i);
  return RECT{origin.x, origin.y, origin.x + kSegmentStep, origin.y + kSegmentHeight};
}

void LevelMeter::Show(bool bShow) {
  m_nVisible = bShow ? 1 : 0;
  if (m_hWnd != nullptr) ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

void LevelMeter::SetLevels(int nLevel1, int nLevel2, int nPeak1, int nPeak2) {
  if (m_nVisible == 0) return;
  m_nLevel[0] = nLevel1;
  m_nLevel[1] = nLevel2;
  m_nPeak[0] = nPeak1;
  m_nPeak[1] = nPeak2;
  bool bChanged = false;
  for (int nRow = 0; nRow < 2; ++nRow) {
    for (int i = 1; i <= kSegments; ++i) {
      const bool bWasLit = IsLit(m_nShownLevel[nRow], m_nShownPeak[nRow], i);
      const bool bIsLit = IsLit(m_nLevel[nRow], m_nPeak[nRow], i);
      if (bWasLit == bIsLit) continue;
      const RECT rect = SegmentRect(nRow, i);
      if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, &rect, FALSE);
      bChanged = true;
    }
    m_nShownLevel[nRow] = m_nLevel[nRow];
    m_nShownPeak[nRow] = m_nPeak[nRow];
  }
  // Asking for an update that has nothing to paint is still a call into the window system.
  if (bChanged && m_hWnd != nullptr) ::UpdateWindow(m_hWnd);
}

void LevelMeter::OnSubclassed() { LoadBitmaps(); }

void LevelMeter::LoadBitmaps() {
  using framework::BitmapButton;
  m_bmpBackground.Reset(BitmapButton::LoadResourceBitmap(kBitmapBackground));
  m_bmpLabel1.Reset(BitmapButton::LoadResourceBitmap(kBitmapLabel1));
  m_bmpLabel2.Reset(BitmapButton::LoadResourceBitmap(kBitmapLabel2));
  m_bmpSegmentNormal.Reset(BitmapButton::LoadResourceBitmap(kBitmapSegmentNormal));
  m_bmpSegmentHigh.Reset(BitmapButton::LoadResourceBitmap(kBitmapSegmentHigh));
  m_bmpSegmentTop.Reset(BitmapButton::LoadResourceBitmap(kBitmapSegmentTop));
}

LRESULT LevelMeter::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    framework::PaintDC dc(m_hWnd);
    Paint(dc);
    return 0;
  }
  return Control::WindowProc(msg, wParam, lParam);
}

void LevelMeter::Paint(HDC dc) const {
  framework::MemoryDC source(dc);
  if (source.Get() == nullptr) return;
  CopyBitmap(dc, source, m_bmpBackground.Get(), 0, 0);
  CopyBitmap(dc, source, m_bmpLabel1.Get(), m_rcLabel1.left, m_rcLabel1.top, m_rcLabel1.right - m_rcLabel1.left,
             m_rcLabel1.bottom - m_rcLabel1.top);
  CopyBitmap(dc, source, m_bmpLabel2.Get(), m_rcLabel2.left, m_rcLabel2.top, m_rcLabel2.right - m_rcLabel2.left,
             m_rcLabel2.bottom - m_rcLabel2.top);

  framework::BrushHolder darkBrush(::CreateSolidBrush(kDarkSegment));
  for (int nRow = 0; nRow < 2; ++nRow) {
    for (int i = 1; i <= kSegments; ++i) {
      const POINT origin = SegmentOrigin(nRow, i);
      if (IsLit(m_nLevel[nRow], m_nPeak[nRow], i)) {
        const HBITMAP lit = i <= kLastNormalSegment ? m_bmpSegmentNormal.Get()
                            : i <= kLastHighSegment ? m_bmpSegmentHigh.Get()
                                                    : m_bmpSegmentTop.Get();
        CopyBitmap(dc, source, lit, origin.x, origin.y);
      } else {
        const RECT dark{origin.x, origin.y, origin.x + kDarkSegmentWidth, origin.y + kSegmentHeight};
        ::FillRect(dc, &dark, darkBrush.Get());
      }
    }
  }
}
