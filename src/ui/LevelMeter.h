// The audio level meter below the record panel's preview: a static control that paints itself from
// bitmaps, one row of 24 segments per channel plus a peak-hold segment, and repaints only the
// segments whose state changed since they were last drawn.
#pragma once

#include <windows.h>

#include "framework/Control.h"
#include "framework/Handles.h"

class LevelMeter : public framework::Control {
 public:
  // Bitmaps of the resource module.
  static constexpr UINT kBitmapBackground = 316;    // whole meter, 129 x 20
  static constexpr UINT kBitmapSegmentHigh = 319;   // lit segments 17 ... 23, 2 x 4 (orange)
  static constexpr UINT kBitmapLabel1 = 320;        // channel label "1", drawn 17 x 9
  static constexpr UINT kBitmapLabel2 = 322;        // channel label "2", drawn 17 x 9
  static constexpr UINT kBitmapSegmentTop = 328;    // lit segment 24, 4 x 4 (red)
  static constexpr UINT kBitmapSegmentNormal = 329; // lit segments 1 ... 16, 2 x 4 (white)

  static constexpr int kSegments = 24;
  // Colour of a segment that is not lit.
  static constexpr COLORREF kDarkSegment = RGB(35, 35, 35);

  // Shows or hides the meter; levels are taken only while it is shown.
  void Show(bool bShow);
  bool IsShown() const { return m_nVisible != 0; }

  // Lit segments (0 ... 24) and peak-hold segment (1 ... 24, 0 = none) of both channels; repaints
  // at once the segments whose state changed. Ignored while hidden.
  void SetLevels(int nLevel1, int nLevel2, int nPeak1, int nPeak2);

  // Segment i (1 ... 24) of row 0 (channel 1) or row 1 (channel 2): where it is drawn, and the
  // rectangle invalidated when it changes.
  static POINT SegmentOrigin(int nRow, int i);
  static RECT SegmentRect(int nRow, int i);

 protected:
  void OnSubclassed() override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  static bool IsLit(int nLevel, int nPeak, int i) { return nLevel >= i || i == nPeak; }
  void LoadBitmaps();
  void Paint(HDC dc) const;

  int m_nVisible = 0;
  int m_nLevel[2] = {0, 0};
  int m_nPeak[2] = {0, 0};
  // The values for which the segments on screen were last invalidated.
  int m_nShownLevel[2] = {0, 0};
  int m_nShownPeak[2] = {0, 0};
  RECT m_rcLabel1{3, 1, 20, 10};
  RECT m_rcLabel2{3, 10, 20, 19};

  framework::BitmapHolder m_bmpBackground;
  framework::BitmapHolder m_bmpLabel1;
  framework::BitmapHolder m_bmpLabel2;
  framework::BitmapHolder m_bmpSegmentNormal;
  framework::BitmapHolder m_bmpSegmentHigh;
  framework::BitmapHolder m_bmpSegmentTop;
};
