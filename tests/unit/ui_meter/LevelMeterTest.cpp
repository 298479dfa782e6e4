// The level meter on a real panel: what its pixels show for given levels and peaks, and which
// parts it repaints.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "MeterTestResources.h"
#include "TestSupport.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "ui/LevelMeter.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 0, 160);
constexpr COLORREF kLabel1 = RGB(0, 200, 0);
constexpr COLORREF kLabel2 = RGB(200, 200, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kOrange = RGB(255, 128, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kDark = RGB(35, 35, 35);

// Counts paints and remembers the area each paint was asked for.
class CountingMeter : public LevelMeter {
 public:
  int m_nPaints = 0;
  RECT m_rcLastUpdate{};

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_PAINT) {
      ++m_nPaints;
      ::GetUpdateRect(m_hWnd, &m_rcLastUpdate, FALSE);
    }
    return LevelMeter::WindowProc(msg, wParam, lParam);
  }
};

class LevelMeterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_panel.Create(nullptr));
    ::SetWindowPos(m_panel.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    ASSERT_TRUE(m_meter.SubclassDlgItem(IDC_METER_TEST_METER, m_panel.GetSafeHwnd()));
    ::SetWindowPos(m_meter.GetSafeHwnd(), nullptr, 0, 0, 129, 20, SWP_NOMOVE | SWP_NOZORDER);
    m_meter.Show(true);
    ::UpdateWindow(m_panel.GetSafeHwnd());
    testsupport::PumpUntil([] { return false; }, 50);
  }
  void TearDown() override { m_panel.DestroyWindow(); }

  COLORREF Pixel(int x, int y) const {
    framework::WindowDC dc(m_meter.GetSafeHwnd());
    return ::GetPixel(dc, x, y);
  }

  // One letter per segment of a row, read from the window: W white, O orange, R red, . dark,
  // ? anything else (both columns of a segment must agree).
  std::string Row(int nRow) const {
    std::string row;
    for (int i = 1; i <= LevelMeter::kSegments; ++i) {
      const POINT at = LevelMeter::SegmentOrigin(nRow, i);
      const COLORREF colour = Pixel(at.x, at.y + 2);
      const char letter = colour == kWhite ? 'W' : colour == kOrange ? 'O' : colour == kRed ? 'R' : colour == kDark ? '.' : '?';
      row += Pixel(at.x + 1, at.y + 3) == colour ? letter : '?';
    }
    return row;
  }

  framework::Dialog m_panel{IDD_METER_TEST_PANEL};
  CountingMeter m_meter;
};

TEST_F(LevelMeterTest, SegmentsShowLevelsAndPeaksInTheirColours) {
  struct Case {
    int nLevel1, nLevel2, nPeak1, nPeak2;
    const char* upper;
    const char* lower;
  };
  const Case cases[] = {
      {0, 0, 0, 0, "........................", "........................"},
      {24, 0, 0, 0, "WWWWWWWWWWWWWWWWOOOOOOOR", "........................"},
      {5, 0, 20, 0, "WWWWW..............O....", "........................"},
      {0, 3, 0, 24, "........................", "WWW....................R"},
      {17, 16, 17, 23, "WWWWWWWWWWWWWWWWO.......", "WWWWWWWWWWWWWWWW......O."},
      {0, 0, 0, 0, "........................", "........................"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nLevel1 << "/" << c.nLevel2 << " peaks " << c.nPeak1 << "/" << c.nPeak2);
    m_meter.SetLevels(c.nLevel1, c.nLevel2, c.nPeak1, c.nPeak2);
    EXPECT_EQ(Row(0), c.upper);
    EXPECT_EQ(Row(1), c.lower);
  }

  // A full row: the red top segment is 4 pixels wide, the others 2 with the background between.
  m_meter.SetLevels(24, 24, 0, 0);
  for (int nRow = 0; nRow < 2; ++nRow) {
    const int y = LevelMeter::SegmentOrigin(nRow, 24).y + 1;
    const int x = LevelMeter::SegmentOrigin(nRow, 24).x;
    EXPECT_EQ(Pixel(x - 1, y), kBackground);
    EXPECT_EQ(Pixel(x - 3, y), kOrange);
    for (int dx = 0; dx < 4; ++dx) EXPECT_EQ(Pixel(x + dx, y), kRed) << dx;
    EXPECT_EQ(Pixel(x + 4, y), kBackground);
  }
  // Back to nothing: the red segment's right half is background again, not left over.
  m_meter.SetLevels(0, 0, 0, 0);
  const POINT top = LevelMeter::SegmentOrigin(0, 24);
  EXPECT_EQ(Pixel(top.x + 1, top.y + 1), kDark);
  EXPECT_EQ(Pixel(top.x + 2, top.y + 1), kBackground);

  // Labels: 17 of their 19 columns, at (3, 1) and (3, 10), on the background.
  EXPECT_EQ(Pixel(3, 1), kLabel1);
  EXPECT_EQ(Pixel(19, 9), kLabel1);
  EXPECT_EQ(Pixel(20, 1), kBackground);
  EXPECT_EQ(Pixel(3, 10), kLabel2);
  EXPECT_EQ(Pixel(19, 18), kLabel2);
  EXPECT_EQ(Pixel(20, 18), kBackground);
  EXPECT_EQ(Pixel(2, 5), kBackground);
  EXPECT_EQ(Pixel(128, 19), kBackground);
}

TEST_F(LevelMeterTest, OnlyChangedSegmentsAreRepainted) {
  m_meter.SetLevels(10, 10, 12, 12);
  const int nAfterFirst = m_meter.m_nPaints;
  m_meter.SetLevels(10, 10, 12, 12);
  EXPECT_EQ(m_meter.m_nPaints, nAfterFirst) << "the same values invalidate nothing";
  RECT pending{};
  EXPECT_FALSE(::GetUpdateRect(m_meter.GetSafeHwnd(), &pending, FALSE));

  // One more lit segment on the upper row: exactly that segment's rectangle, painted at once.
  m_meter.SetLevels(11, 10, 12, 12);
  EXPECT_EQ(m_meter.m_nPaints, nAfterFirst + 1);
  const RECT segment11 = LevelMeter::SegmentRect(0, 11);
  EXPECT_TRUE(::EqualRect(&m_meter.m_rcLastUpdate, &segment11));
  EXPECT_EQ(Row(0), "WWWWWWWWWWWW............");

  // The lower peak moves from 12 to 14: segments 12 and 14 change, 13 stays dark.
  m_meter.SetLevels(11, 10, 12, 14);
  EXPECT_EQ(m_meter.m_nPaints, nAfterFirst + 2);
  const RECT from = LevelMeter::SegmentRect(1, 12);
  const RECT to = LevelMeter::SegmentRect(1, 14);
  EXPECT_EQ(m_meter.m_rcLastUpdate.left, from.left);
  EXPECT_EQ(m_meter.m_rcLastUpdate.right, to.right);
  EXPECT_EQ(m_meter.m_rcLastUpdate.top, from.top);
  EXPECT_EQ(m_meter.m_rcLastUpdate.bottom, from.bottom);
  EXPECT_EQ(Row(1), "WWWWWWWWWW...W..........");

  // Level 11 with peak 12 and level 12 with a peak inside the lit part look the same.
  m_meter.SetLevels(12, 10, 5, 14);
  EXPECT_EQ(m_meter.m_nPaints, nAfterFirst + 2);
}

TEST_F(LevelMeterTest, HiddenMeterIgnoresLevelsAndShowsChangesAfterShow) {
  m_meter.SetLevels(3, 3, 0, 0);
  m_meter.Show(false);
  EXPECT_FALSE(::IsWindowVisible(m_meter.GetSafeHwnd()));
  EXPECT_FALSE(m_meter.IsShown());
  const int nPaints = m_meter.m_nPaints;
  m_meter.SetLevels(20, 20, 0, 0);
  EXPECT_EQ(m_meter.m_nPaints, nPaints);

  m_meter.Show(true);
  ::UpdateWindow(m_meter.GetSafeHwnd());
  EXPECT_TRUE(::IsWindowVisible(m_meter.GetSafeHwnd()));
  EXPECT_EQ(Row(0), "WWW.....................") << "levels given while hidden were not taken";

  const int nShown = m_meter.m_nPaints;
  m_meter.SetLevels(20, 3, 0, 0);
  EXPECT_EQ(m_meter.m_nPaints, nShown + 1);
  EXPECT_EQ(Row(0), "WWWWWWWWWWWWWWWWOOOO....");
  EXPECT_EQ(Row(1), "WWW.....................");
  const RECT first = LevelMeter::SegmentRect(0, 4);
  const RECT last = LevelMeter::SegmentRect(0, 20);
  EXPECT_EQ(m_meter.m_rcLastUpdate.left, first.left);
  EXPECT_EQ(m_meter.m_rcLastUpdate.right, last.right);
  EXPECT_EQ(m_meter.m_rcLastUpdate.bottom, first.bottom) << "the lower row was not touched";
}

}  // namespace
