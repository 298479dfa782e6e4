// The play panel's time slider: the time ruler of one recorded file with the cells in which
// frames were dropped during recording painted in a warning colour, an hours:minutes:seconds scale
// along its top and a bitmap thumb on the playing position. It answers how many runs of dropped
// cells (dropped scenes) lie before and after the thumb and where the nearest one starts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "ui/TimeSlider.h"

// The thumb picture the play panel hands to the slider (11 x 50 pixels; its bottom-right pixel's
// colour is see-through).
constexpr UINT kSliderThumbBitmapId = 130;

// A bitmap drawn with one of its colours left out, so that what lies beneath shows through.
class TransparentBitmap {
 public:
  // Prepares a copy of `source` in which the colour `transparent` is left out; false when a GDI
  // object could not be made.
  bool Prepare(HBITMAP source, COLORREF transparent);
  bool IsReady() const { return static_cast<bool>(m_bmpImage); }
  SIZE GetSize() const { return m_size; }
  // Draws the prepared bitmap with its top-left corner at (x, y).
  void Draw(HDC dc, int x, int y) const;

 private:
  framework::BitmapHolder m_bmpMask;   // one bit a pixel: white where transparent
  framework::BitmapHolder m_bmpImage;  // the picture with its transparent pixels black
  framework::BitmapHolder m_bmpWork;   // the destination area while it is combined
  // Each bitmap stays selected in a DC of its own from Prepare on (the DCs go before the bitmaps):
  // the thumb is drawn at every frame while a file plays, and under Wine selecting a bitmap of the
  // screen's format into a DC asks the window system for the display's layout each time.
  framework::MemoryDC m_dcMask{nullptr};
  framework::MemoryDC m_dcImage{nullptr};
  framework::MemoryDC m_dcWork{nullptr};
  SIZE m_size{};
};

// A run of adjacent cells holding dropped frames, bounds inclusive.
struct DropRange {
  int nFirstCell;
  int nLastCell;
  bool operator==(const DropRange&) const = default;
};

class DropSlider : public TimeSlider {
 public:
  // Ordinary cells, cells with dropped frames, and cells past the end of the file.
  static constexpr COLORREF kCellColor = RGB(99, 113, 109);
  static constexpr COLORREF kDropCellColor = RGB(172, 91, 66);
  static constexpr COLORREF kPastEndColor = RGB(48, 48, 48);

  // The time slider's Create, then the thumb from bitmap `thumbBitmapId` of the resource module.
  bool Create(HWND owner, UINT id, UINT notifyMessage, UINT thumbBitmapId);

  // Shows the file's length and dropped frames; an empty path empties the slider. A file whose
  // drops cannot be read leaves the slider empty and gives false.
  bool SetFile(const std::wstring& path);

  // The dropped scenes before (after) the current cell: their number, and the first cell of the
  // nearest one. A scene that holds the current cell counts as neither.
  int GetPreviousDrop(int* firstCell = nullptr) const;
  int GetNextDrop(int* firstCell = nullptr) const;
  bool IsDropCell(int cell) const;

  const std::vector<DWORD>& GetDroppedFrames() const { return m_vecDroppedFrames; }
  // Ascending, at the current zoom level.
  const std::vector<DropRange>& GetDropRanges() const { return m_vecDropRanges; }

 protected:
  void Draw(HDC dc) override;
  void GetThumbRect(RECT* rect) const override;
  void OnZoomChanged() override;

 private:
  enum class Tick { None, Short, Label };

  void BuildDropRanges();
  Tick GetTick(int cell) const;
  void DrawCells(HDC dc, const RECT& clip);
  void DrawScale(HDC dc, const RECT& clip);

  framework::BitmapHolder m_bmpThumb;
  TransparentBitmap m_thumbDrawing;
  framework::FontHolder m_fontScale;
  std::vector<DWORD> m_vecDroppedFrames;
  std::vector<DropRange> m_vecDropRanges;
  COLORREF m_crCell = kCellColor;
};
