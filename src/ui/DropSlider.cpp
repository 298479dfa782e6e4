#include "ui/DropSlider.h"

#include <algorithm>
#include <climits>

#include "core/DebugTrace.h"
#include "files/AviInspection.h"
#include "files/Timecode.h"
#include "framework/Resources.h"

namespace {

// The thumb's picture stands this far left of its cell's left edge, so its tip marks the edge.
constexpr int kThumbOffsetX = 5;

// The scale: labels at the top, their lines from kLabelLineTop down, short ticks from kShortTickTop.
constexpr COLORREF kScaleTextColor = RGB(255, 255, 255);
constexpr COLORREF kScaleLineColor = RGB(227, 237, 234);
constexpr int kLabelLineTop = 10;
constexpr int kShortTickTop = 24;
constexpr int kLabelOffsetX = 2;
constexpr size_t kLabelChars = 8;  // "hh:mm:ss" of "hh:mm:ss:ff"
// The closest labels: a second of 625/50 at one frame a cell (25 cells of 2 pixels). A label and
// the gap after it must fit in that.
constexpr int kNarrowestLabelSpacing = 50;
constexpr int kLabelGap = 2;

int LabelWidth(HDC dc, HFONT font) {
  framework::SelectObjectScope select(dc, font);
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, L"00:00:00", static_cast<int>(kLabelChars), &extent);
  return static_cast<int>(extent.cx);
}

// A copy of the system's interface font for the scale, condensed when the system draws it too wide
// for the closest labels (as a substituted face may be), so that no label runs into the next.
HFONT CreateScaleFont() {
  LOGFONTW font{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  HFONT scaleFont = ::CreateFontIndirectW(&font);
  const int room = kNarrowestLabelSpacing - kLabelOffsetX - kLabelGap;
  framework::WindowDC screen(nullptr);
  if (scaleFont == nullptr || LabelWidth(screen, scaleFont) <= room) return scaleFont;
  TEXTMETRICW metrics{};
  {
    framework::SelectObjectScope select(screen, scaleFont);
    ::GetTextMetricsW(screen, &metrics);
  }
  for (LONG width = metrics.tmAveCharWidth; width > 1; --width) {
    font.lfWidth = width;
    HFONT condensed = ::CreateFontIndirectW(&font);
    if (condensed == nullptr) break;
    ::DeleteObject(scaleFont);
    scaleFont = condensed;
    if (LabelWidth(screen, scaleFont) <= room) break;
  }
  return scaleFont;
}

// Ternary raster operation: destination AND NOT source.
constexpr DWORD kRopDestAndNotSource = 0x00220326;

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  ::SetBkColor(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

bool Meets(const RECT& a, const RECT& b) {
  RECT common;
  return ::IntersectRect(&common, &a, &b) != FALSE;
}

}  // namespace

bool TransparentBitmap::Prepare(HBITMAP source, COLORREF transparent) {
  BITMAP info{};
  if (source == nullptr || ::GetObjectW(source, sizeof(info), &info) == 0) return false;
  const int width = info.bmWidth;
  const int height = info.bmHeight;
  framework::WindowDC screen(nullptr);
  framework::BitmapHolder mask(::CreateBitmap(width, height, 1, 1, nullptr));
  framework::BitmapHolder image(::CreateCompatibleBitmap(screen, width, height));
  framework::BitmapHolder work(::CreateCompatibleBitmap(screen, width, height));
  if (!mask || !image || !work) return false;
  {
    framework::MemoryDC sourceDC(screen);
    framework::MemoryDC maskDC(screen);
    framework::MemoryDC imageDC(screen);
    framework::SelectObjectScope selectSource(sourceDC, source);
    framework::SelectObjectScope selectMask(maskDC, mask.Get());
    framework::SelectObjectScope selectImage(imageDC, image.Get());
    // Colour to one bit: pixels of the source's background colour become white.
    ::SetBkColor(sourceDC, transparent);
    ::BitBlt(maskDC, 0, 0, width, height, sourceDC, 0, 0, SRCCOPY);
    ::BitBlt(imageDC, 0, 0, width, height, sourceDC, 0, 0, SRCCOPY);
    // One bit to colour: white (1) becomes the background colour, black (0) the text colour.
    ::SetBkColor(imageDC, RGB(255, 255, 255));
    ::SetTextColor(imageDC, RGB(0, 0, 0));
    ::BitBlt(imageDC, 0, 0, width, height, maskDC, 0, 0, kRopDestAndNotSource);
  }
  if (m_dcMask.Get() == nullptr || m_dcImage.Get() == nullptr || m_dcWork.Get() == nullptr) return false;
  // The new bitmaps take the places of any earlier ones in the DCs before those are freed.
  ::SelectObject(m_dcMask, mask.Get());
  ::SelectObject(m_dcImage, image.Get());
  ::SelectObject(m_dcWork, work.Get());
  m_bmpMask = std::move(mask);
  m_bmpImage = std::move(image);
  m_bmpWork = std::move(work);
  m_size = {width, height};
  return true;
}

void TransparentBitmap::Draw(HDC dc, int x, int y) const {
  if (!IsReady()) return;
  const int width = m_size.cx;
  const int height = m_size.cy;
  ::BitBlt(m_dcWork, 0, 0, width, height, dc, x, y, SRCCOPY);
  // The mask keeps the destination where the picture is transparent and clears it elsewhere; the
  // prepared picture, black where transparent, then fills the cleared pixels.
  ::SetBkColor(m_dcWork, RGB(255, 255, 255));
  ::SetTextColor(m_dcWork, RGB(0, 0, 0));
  ::BitBlt(m_dcWork, 0, 0, width, height, m_dcMask, 0, 0, SRCAND);
  ::BitBlt(m_dcWork, 0, 0, width, height, m_dcImage, 0, 0, SRCINVERT);
  ::BitBlt(dc, x, y, width, height, m_dcWork, 0, 0, SRCCOPY);
}

bool DropSlider::Create(HWND owner, UINT id, UINT notifyMessage, UINT thumbBitmapId) {
  if (!TimeSlider::Create(owner, id, notifyMessage)) return false;
  m_fontScale.Reset(CreateScaleFont());
  m_bmpThumb.Reset(::LoadBitmapW(framework::GetResourceHandle(), MAKEINTRESOURCEW(thumbBitmapId)));
  if (TRACE_NULL(m_bmpThumb.Get(), "LoadBitmap")) return false;
  COLORREF transparent = RGB(0, 0, 0);
  {
    BITMAP info{};
    ::GetObjectW(m_bmpThumb.Get(), sizeof(info), &info);
    framework::WindowDC screen(nullptr);
    framework::MemoryDC dc(screen);
    framework::SelectObjectScope select(dc, m_bmpThumb.Get());
    transparent = ::GetPixel(dc, info.bmWidth - 1, info.bmHeight - 1);
  }
  if (TRACE_FAILED_BOOL(m_thumbDrawing.Prepare(m_bmpThumb.Get(), transparent), "CreateTransparentBitmap")) {
    return false;
  }
  return true;
}

bool DropSlider::SetFile(const std::wstring& path) {
  Reset(0, kVideoFormat525);
  m_vecDroppedFrames.clear();
  BuildDropRanges();
  if (path.empty()) return true;
  int videoFormat = kVideoFormat525;
  int aviType = 1;
  DWORD totalFrames = 0;
  std::vector<DWORD> droppedFrames;
  if (TRACE_FAILED_BOOL(GetAVIDropInfo(path, &videoFormat, &aviType, &totalFrames, &droppedFrames),
                        "GetAVIDropInfo")) {
    return false;
  }
  m_vecDroppedFrames = std::move(droppedFrames);
  Reset(static_cast<int>(std::min<DWORD>(totalFrames, INT_MAX)), videoFormat);
  BuildDropRanges();
  return true;
}

int DropSlider::GetPreviousDrop(int* firstCell) const {
  const int current = GetCurrentCell();
  // The first range that reaches the current cell; the one before it is the previous scene.
  const auto next = std::find_if(m_vecDropRanges.begin(), m_vecDropRanges.end(),
                                 [current](const DropRange& range) { return range.nLastCell >= current; });
  if (next == m_vecDropRanges.begin()) return 0;
  const auto previous = next - 1;
  if (firstCell != nullptr) *firstCell = previous->nFirstCell;
  return static_cast<int>(previous - m_vecDropRanges.begin()) + 1;
}

int DropSlider::GetNextDrop(int* firstCell) const {
  const int current = GetCurrentCell();
  const auto next = std::upper_bound(m_vecDropRanges.begin(), m_vecDropRanges.end(), current,
                                     [](int cell, const DropRange& range) { return cell < range.nFirstCell; });
  if (next == m_vecDropRanges.end()) return 0;
  if (firstCell != nullptr) *firstCell = next->nFirstCell;
  return static_cast<int>(m_vecDropRanges.end() - next);
}

bool DropSlider::IsDropCell(int cell) const {
  const auto after = std::upper_bound(m_vecDropRanges.begin(), m_vecDropRanges.end(), cell,
                                      [](int value, const DropRange& range) { return value < range.nFirstCell; });
  return after != m_vecDropRanges.begin() && (after - 1)->nLastCell >= cell;
}

void DropSlider::Draw(HDC dc) {
  RECT clip{};
  ::GetClipBox(dc, &clip);
  const int saved = ::SaveDC(dc);
  DrawCells(dc, clip);
  DrawScale(dc, clip);
  RECT thumb{};
  GetThumbRect(&thumb);
  m_thumbDrawing.Draw(dc, thumb.left, thumb.top);
  ::RestoreDC(dc, saved);
}

void DropSlider::GetThumbRect(RECT* rect) const {
  const SIZE size = m_thumbDrawing.GetSize();
  rect->left = GetCellRect(GetCurrentCell()).left - kThumbOffsetX;
  rect->top = 0;
  rect->right = rect->left + size.cx;
  rect->bottom = size.cy;
}

void DropSlider::OnZoomChanged() { BuildDropRanges(); }

void DropSlider::BuildDropRanges() {
  m_vecDropRanges.clear();
  bool first = true;
  int previousCell = 0;
  for (DWORD frame : m_vecDroppedFrames) {
    const int cell = FrameToCell(static_cast<int>(frame));
    if (!first && cell == previousCell) continue;
    first = false;
    previousCell = cell;
    if (!m_vecDropRanges.empty() && m_vecDropRanges.back().nLastCell == cell - 1) {
      m_vecDropRanges.back().nLastCell = cell;
    } else {
      m_vecDropRanges.push_back({cell, cell});
    }
  }
}

DropSlider::Tick DropSlider::GetTick(int cell) const {
  const int major = GetMajorTick();
  const int minor = GetMinorTick();
  if (GetCellSpan() > 0) {
    if (major != 0 && cell % major == 0) return Tick::Label;
    if (minor != 0 && cell % minor == 0) return Tick::Short;
    return Tick::None;
  }
  // A cell is a frame: labels where a new second begins, short ticks on every minor-th frame.
  const Timecode tc = FrameToTimecode(GetVideoFormat(), cell);
  if (major != 0 && (cell == 0 || FrameToTimecode(GetVideoFormat(), cell - 1).nSeconds != tc.nSeconds)) {
    return Tick::Label;
  }
  if (minor != 0 && tc.nFrames % minor == 0) return Tick::Short;
  return Tick::None;
}

void DropSlider::DrawCells(HDC dc, const RECT& clip) {
  const int first = GetFirstVisibleCell();
  const int last = first + GetVisibleCells() - 1;
  const int totalCells = GetTotalCells();
  for (int cell = first; cell <= last; ++cell) {
    const RECT rect = GetCellRect(cell);
    if (!Meets(rect, clip)) continue;
    COLORREF color = kPastEndColor;
    if (IsDropCell(cell)) {
      color = kDropCellColor;
    } else if (cell < totalCells) {
      color = m_crCell;
    }
    FillSolid(dc, rect, color);
  }
}

void DropSlider::DrawScale(HDC dc, const RECT& clip) {
  framework::PenHolder pen(::CreatePen(PS_SOLID, 1, kScaleLineColor));
  framework::SelectObjectScope selectPen(dc, pen.Get());
  framework::SelectObjectScope selectFont(dc, m_fontScale ? static_cast<HGDIOBJ>(m_fontScale.Get())
                                                           : ::GetStockObject(DEFAULT_GUI_FONT));
  ::SetTextColor(dc, kScaleTextColor);
  ::SetBkMode(dc, TRANSPARENT);
  const int first = GetFirstVisibleCell();
  const int visible = GetVisibleCells();
  // Labels of cells left of the view may reach into it, so the walk starts a view's width earlier.
  for (int cell = std::max(0, first - visible); cell <= first + visible - 1; ++cell) {
    const Tick tick = GetTick(cell);
    if (tick == Tick::None) continue;
    const RECT rect = GetCellRect(cell);
    if (Meets(rect, clip)) {
      ::MoveToEx(dc, rect.left, tick == Tick::Label ? kLabelLineTop : kShortTickTop, nullptr);
      ::LineTo(dc, rect.left, rect.bottom);
    }
    if (tick != Tick::Label) continue;
    const Timecode tc = FrameToTimecode(GetVideoFormat(), CellToFrame(cell));
    const std::wstring label =
        FormatTimecode(tc.nHours, tc.nMinutes, tc.nSeconds, tc.nFrames).substr(0, kLabelChars);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &extent);
    const RECT textRect{rect.left + kLabelOffsetX, 0, rect.left + kLabelOffsetX + extent.cx, extent.cy};
    if (Meets(textRect, clip)) {
      ::TextOutW(dc, textRect.left, textRect.top, label.c_str(), static_cast<int>(label.size()));
    }
  }
}
