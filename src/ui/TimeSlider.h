// A horizontal time ruler for one file: the file is cut into equal cells (one frame, or 1, 5, 15 or
// 30 seconds each, by zoom level), a thumb stands on the current cell, and the ruler scrolls
// sideways under its own scroll bar. The user moves the thumb by clicking or dragging (dragging
// past an edge scrolls), with the arrow, Home, End, Page Up and Page Down keys, and asks for a
// finer or coarser zoom with Up, Down or Shift + mouse wheel. What the user does is reported to
// the owner as notifications; the owner decides what follows (seeking, zooming).
//
// This class owns the geometry, zoom, scrolling and input; a derived class paints the ruler and
// says where its thumb is.
#pragma once

#include <windows.h>

#include <utility>

#include "framework/Control.h"
#include "framework/Handles.h"

class TimeSlider : public framework::Control {
 public:
  // Notification codes, sent as SendMessage(owner, notify message, code, 0).
  enum Notification : WPARAM {
    SliderPositionChanged = 1,  // the user moved the current cell by mouse or keys
    SliderStepDown = 2,         // Down key, or Shift + wheel towards the user: one level finer
    SliderStepUp = 3,           // Up key, or Shift + wheel away from the user: one level coarser
    SliderScrolled = 4,         // a scroll bar message, sent before the scroll is applied
  };

  static constexpr int kMinZoomLevel = 1;  // 30 seconds a cell
  static constexpr int kMaxZoomLevel = 5;  // one frame a cell

  TimeSlider();
  ~TimeSlider() override;

  // Creates the slider as a visible child of `owner` with a tab stop, a sunken edge, a horizontal
  // scroll bar and an empty rectangle (the owner places it). Notifications go to `owner` as
  // `notifyMessage`.
  bool Create(HWND owner, UINT id, UINT notifyMessage);

  // A new file of `totalFrames` frames in `videoFormat` (1 = 525/60, 2 = 625/50): thumb and view at
  // the start; the zoom level stays.
  void Reset(int totalFrames, int videoFormat);

  int GetZoomLevel() const { return m_nZoomLevel; }
  // The lowest (coarsest) and highest (finest) zoom level.
  std::pair<int, int> GetZoomRange() const { return {kMinZoomLevel, kMaxZoomLevel}; }
  // Changes the zoom, keeping the frame at the left edge at the left edge. The current cell is
  // not converted: the owner follows with SetPosition. Levels outside the range are ignored.
  void SetZoomLevel(int level);

  int GetFirstVisibleCell() const { return m_nFirstVisibleCell; }
  int GetCurrentCell() const { return m_nCurrentCell; }
  int GetTotalFrames() const { return m_nTotalFrames; }
  int GetVideoFormat() const { return m_nVideoFormat; }
  // Cells of the file; the end position (the thumb after the last frame) is this number.
  int GetTotalCells() const;
  // Cells that the client area shows, the last one possibly in part.
  int GetVisibleCells() const;
  // Cells one page of scrolling (Page Up, Page Down, the scroll bar's page) moves.
  int GetPageCells() const;

  // The cell holding a frame (-1 for a negative frame), and the first frame of a cell.
  int FrameToCell(int frame) const;
  int CellToFrame(int cell) const;

  // Moves the thumb to the frame's cell (the last frame puts it on the end position) and, if asked,
  // scrolls it into view.
  void SetPosition(int frame, bool ensureVisible);
  // The same, scrolling so that the thumb stays in the left two thirds of the view. While a file
  // plays (`playing`), the scroll bar's thumb is redrawn at most every ScrollBarPaceMs: each
  // drawing of the bar is dear under Wine, and the eye does not tell the difference.
  void SetPositionFollow(int frame, bool playing = false);

  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  // Paints the whole ruler into a paint device context.
  virtual void Draw(HDC dc) = 0;
  // The thumb's rectangle in client coordinates.
  virtual void GetThumbRect(RECT* rect) const = 0;
  // Called when the cells change their meaning (a zoom change), before the view is scrolled.
  virtual void OnZoomChanged() {}

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Cell i in client coordinates: its left edge, the cell width wide, kCellHeight high.
  RECT GetCellRect(int cell) const;
  int GetCellWidth() const { return m_nCellWidth; }
  // Above 0: seconds a cell; 0 or below: minus the frames a cell.
  int GetCellSpan() const { return m_nCellSpan; }
  // Label and short tick periods of the scale (see the zoom table in TimeSlider.cpp).
  int GetMajorTick() const { return m_nMajorTick; }
  int GetMinorTick() const { return m_nMinorTick; }

  static constexpr int kCellHeight = 100;

 private:
  static constexpr UINT_PTR kDragTimerId = 1;
  static constexpr UINT kDragTimerPeriodMs = 100;
  static constexpr UINT_PTR kScrollBarTimerId = 2;
  static constexpr DWORD kScrollBarPaceMs = 500;

  void LoadZoomRow();
  int PositionCell(int frame) const;
  void SetCurrentCell(int cell);
  // The scroll bar's maximum: the end position and one cell more.
  int GetScrollMax() const;
  // A first visible cell within what scrolling may show.
  int LimitFirstVisibleCell(int first) const;
  void UpdateScrollBar();
  void ScrollTo(int first);
  // Draws the scroll bar at the current first visible cell now, or (when paced) once
  // kScrollBarPaceMs have passed since it was last drawn.
  void DrawScrollBar();
  void DrawScrollBarPaced();
  // Scrolls so that the cell lies within the first `page` cells of the view.
  void KeepWithin(int cell, int page);
  void Notify(WPARAM code);
  void TakeFocus();

  void OnPaint();
  void OnHScroll(WORD request);
  bool OnKeyDown(WPARAM key);
  bool OnMouseWheel(WPARAM wParam);
  void BeginDrag(int x);
  void DragTo(int x);
  void EndDrag();
  bool IsDragging() const;
  bool IsInsideHorizontally(int x) const;

  HWND m_hOwner = nullptr;
  UINT m_nNotifyMessage = 0;
  int m_nTotalFrames = 0;
  int m_nFirstVisibleCell = 0;
  bool m_bPaceScrollBar = false;      // while following a playing file
  bool m_bScrollBarDue = false;       // a paced drawing waits for kScrollBarTimerId
  DWORD m_dwScrollBarDrawn = 0;
  int m_nCurrentCell = 0;
  int m_nVideoFormat = 1;
  int m_nZoomLevel = kMaxZoomLevel;
  int m_nCellWidth = 0;
  int m_nCellSpan = 0;
  int m_nMajorTick = 0;
  int m_nMinorTick = 0;
  // The pointer's last x while dragging; the edge timer scrolls towards it.
  int m_nDragX = 0;
};
