// The time ruler's geometry, zoom, scrolling and input, on a slider placed as the play panel
// places it (480 pixels of client width: 240 cells of 2 pixels, a page of 239 cells).
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "SliderHost.h"
#include "TestSupport.h"
#include "ui/DropSlider.h"

using namespace slidertest;

namespace {

constexpr UINT kSliderId = 1091;
constexpr WPARAM kMoved = TimeSlider::SliderPositionChanged;
constexpr WPARAM kFiner = TimeSlider::SliderStepDown;
constexpr WPARAM kCoarser = TimeSlider::SliderStepUp;
constexpr WPARAM kScrolled = TimeSlider::SliderScrolled;
using Codes = std::vector<WPARAM>;

// While the slider holds the capture, every mouse message of the display comes to it: a window of
// another program appearing under the pointer would move the drag under the test's feet. This
// thread's hook lets only the test's own mouse messages, marked with a key-state bit the system
// never sets, reach the slider, and removes the mark on the way.
constexpr WPARAM kFromTest = 0x8000;
HWND g_testSlider = nullptr;

LRESULT CALLBACK OnlyTheTestsMouse(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && msg->hwnd == g_testSlider && msg->message >= WM_MOUSEFIRST &&
      msg->message <= WM_MOUSELAST) {
    if ((msg->wParam & kFromTest) != 0) {
      msg->wParam &= ~kFromTest;
    } else {
      msg->message = WM_NULL;
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class TimeSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_slider.Create(m_host.Get(), kSliderId, kNotifyMessage, kSliderThumbBitmapId));
    PlaceSlider(m_slider, 10, 10);
    ::SetFocus(m_slider);
    ASSERT_EQ(240, m_slider.GetVisibleCells());
    g_testSlider = m_slider;
    m_hook = ::SetWindowsHookExW(WH_GETMESSAGE, OnlyTheTestsMouse, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(m_hook, nullptr);
  }
  void TearDown() override {
    if (m_hook != nullptr) ::UnhookWindowsHookEx(m_hook);
    g_testSlider = nullptr;
  }

  void Load(int frames, int format, int level) {
    m_slider.SetZoomLevel(level);
    m_slider.Reset(frames, format);
    m_host.ClearNotifications();
  }

  // Puts a cell at the left edge: from the end of the file back to the cell.
  void ScrollCellToLeftEdge(int cell) {
    m_slider.SetPosition(m_slider.GetTotalFrames() - 1, true);
    m_slider.SetPosition(m_slider.CellToFrame(cell), true);
  }

  bool IsScrollBarDisabled() const {
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    ::GetScrollBarInfo(m_slider, OBJID_HSCROLL, &info);
    // Both arrows (elements 1 and 5) unavailable: the bar is disabled in both directions.
    return (info.rgstate[1] & STATE_SYSTEM_UNAVAILABLE) != 0 && (info.rgstate[5] & STATE_SYSTEM_UNAVAILABLE) != 0;
  }

  // The colours along the middle line of the horizontal scroll bar, as drawn on the screen.
  std::vector<COLORREF> ScrollBarPixels() const {
    SCROLLBARINFO info{};
    info.cbSize = sizeof(info);
    ::GetScrollBarInfo(m_slider, OBJID_HSCROLL, &info);
    RECT window{};
    ::GetWindowRect(m_slider, &window);
    std::vector<COLORREF> pixels;
    HDC dc = ::GetWindowDC(m_slider);
    const int y = (info.rcScrollBar.top + info.rcScrollBar.bottom) / 2 - window.top;
    for (int x = info.rcScrollBar.left - window.left; x < info.rcScrollBar.right - window.left; ++x)
      pixels.push_back(::GetPixel(dc, x, y));
    ::ReleaseDC(m_slider, dc);
    return pixels;
  }

  POINT ClientToScreenPoint(int x, int y) const {
    POINT point{x, y};
    ::ClientToScreen(m_slider, &point);
    return point;
  }

  // Posts a mouse message marked as the test's own (see OnlyTheTestsMouse).
  void PostMouse(UINT msg, int x, WPARAM keys = 0) {
    ::PostMessageW(m_slider, msg, keys | kFromTest, MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), 10));
  }

  HHOOK m_hook = nullptr;
  SliderHost m_host;
  DropSlider m_slider;
};

TEST_F(TimeSliderTest, CellsAndTheEndPositionFollowTheZoomLevel) {
  struct Row {
    int nFormat, nFrames, nLevel;
    int nTotalCells;
    int nFrame, nCell;          // SetPosition(frame) puts the thumb on this cell
    int nSomeCell, nItsFrame;   // CellToFrame
  };
  const Row rows[] = {
      // 10 s of 625/50: the last frame stands for the end position, not for its own cell.
      {2, 250, 5, 250, 249, 250, 7, 7},
      {2, 250, 5, 250, 248, 248, 100, 100},
      {2, 250, 4, 10, 249, 10, 4, 100},
      {2, 250, 4, 10, 248, 9, 9, 225},
      {2, 250, 3, 2, 124, 0, 1, 125},
      {2, 250, 3, 2, 125, 1, 1, 125},
      {2, 90000, 1, 120, 45000, 60, 60, 45000},
      {2, 90000, 2, 240, 44999, 119, 4, 1500},
      // 525/60 drop-frame: frame 1800 is 00:01:00:02, the first frame of minute one.
      {1, 1900, 4, 64, 1799, 59, 60, 1800},
      {1, 1900, 4, 64, 1800, 60, 59, 1770},
      {1, 1900, 5, 1900, 1800, 1800, 1800, 1800},
      {1, 0, 5, 0, 0, 0, 0, 0},
      {1, 0, 4, 0, 100, 0, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "format " << row.nFormat << ", " << row.nFrames << " frames, level "
                                    << row.nLevel << ", frame " << row.nFrame);
    Load(row.nFrames, row.nFormat, row.nLevel);
    EXPECT_EQ(row.nTotalCells, m_slider.GetTotalCells());
    m_slider.SetPosition(row.nFrame, true);
    EXPECT_EQ(row.nCell, m_slider.GetCurrentCell());
    EXPECT_EQ(row.nItsFrame, m_slider.CellToFrame(row.nSomeCell));
    EXPECT_EQ(row.nSomeCell, m_slider.FrameToCell(row.nItsFrame));
    EXPECT_TRUE(m_host.Notifications().empty());  // the owner's own moves are not reported back
  }
}

TEST_F(TimeSliderTest, ZoomChangeKeepsTheFrameAtTheLeftEdge) {
  struct Row {
    int nFormat, nFrames;
    int nFromLevel, nFromFirst;
    int nToLevel, nToFirst;
  };
  const Row rows[] = {
      {2, 30000, 5, 500, 4, 20},   // frame 500 is second 20
      {2, 30000, 4, 20, 5, 500},
      {2, 30000, 5, 512, 4, 20},   // inside second 20
      {2, 360000, 4, 3600, 1, 120},  // four hours: one hour in
      {1, 30000, 5, 1800, 4, 60},  // 00:01:00:02
      {1, 30000, 4, 60, 5, 1800},
      // The left edge of the last page of 1,200 s lies at second 962; at 5 s a cell the file has
      // only 240 cells, so the view cannot start past cell 2.
      {2, 30000, 4, 962, 3, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "level " << row.nFromLevel << " first " << row.nFromFirst << " to level "
                                    << row.nToLevel);
    Load(row.nFrames, row.nFormat, row.nFromLevel);
    ScrollCellToLeftEdge(row.nFromFirst);
    ASSERT_EQ(row.nFromFirst, m_slider.GetFirstVisibleCell());
    const int current = m_slider.GetCurrentCell();
    m_slider.SetZoomLevel(row.nToLevel);
    EXPECT_EQ(row.nToLevel, m_slider.GetZoomLevel());
    EXPECT_EQ(row.nToFirst, m_slider.GetFirstVisibleCell());
    EXPECT_EQ(row.nToFirst, ::GetScrollPos(m_slider, SB_HORZ));
    EXPECT_EQ(current, m_slider.GetCurrentCell());  // the owner follows with SetPosition
  }
  // Levels outside the range change nothing.
  for (int level : {0, 6}) {
    m_slider.SetZoomLevel(level);
    EXPECT_EQ(3, m_slider.GetZoomLevel());
  }
  EXPECT_EQ((std::pair<int, int>(1, 5)), m_slider.GetZoomRange());
}

TEST_F(TimeSliderTest, ScrollBarIsDisabledExactlyWhenThePageCoversTheRange) {
  struct Row {
    int nFrames;
    int nWidth;
    bool bDisabled;
  };
  // A page is 239 cells at 480 pixels, 197 at 400; the range is the cells and the end position.
  const Row rows[] = {
      {0, kSliderWidth, true},   {237, kSliderWidth, true},  {238, kSliderWidth, true},
      {239, kSliderWidth, false}, {5000, kSliderWidth, false}, {238, 400, false},
      {196, 400, true},          {197, 400, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.nFrames << " frames, " << row.nWidth << " pixels");
    PlaceSlider(m_slider, 10, 10, row.nWidth);
    Load(row.nFrames, 2, 5);
    EXPECT_EQ(row.bDisabled, IsScrollBarDisabled());
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(m_slider, SB_HORZ, &info);
    EXPECT_EQ(0, info.nMin);
    EXPECT_EQ(row.nFrames + 1, info.nMax);
    EXPECT_EQ(static_cast<UINT>(m_slider.GetPageCells()), info.nPage);
  }
  // A resize alone re-evaluates the bar.
  PlaceSlider(m_slider, 10, 10, kSliderWidth);
  Load(238, 2, 5);
  EXPECT_TRUE(IsScrollBarDisabled());
  PlaceSlider(m_slider, 10, 10, 400);
  EXPECT_FALSE(IsScrollBarDisabled());
  PlaceSlider(m_slider, 10, 10, kSliderWidth);
  EXPECT_TRUE(IsScrollBarDisabled());
}

TEST_F(TimeSliderTest, ScrollBarMessagesScrollWithinTheFileAndAreReportedFirst) {
  Load(1000, 2, 5);  // 1,000 cells; the last page starts at 1000 - 240 + 2 = 762
  struct Step {
    WORD nRequest;
    int nFirst;
  };
  const Step steps[] = {
      {SB_LINERIGHT, 1}, {SB_PAGERIGHT, 240}, {SB_LINELEFT, 239}, {SB_RIGHT, 762}, {SB_LINERIGHT, 762},
      {SB_PAGELEFT, 523}, {SB_ENDSCROLL, 523}, {SB_LEFT, 0}, {SB_LINELEFT, 0},
  };
  ::SetFocus(m_host.Get());
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "request " << step.nRequest);
    m_host.ClearNotifications();
    m_slider.SendMessage(WM_HSCROLL, MAKEWPARAM(step.nRequest, 0), 0);
    EXPECT_EQ(Codes{kScrolled}, m_host.Notifications());
    EXPECT_EQ(step.nFirst, m_slider.GetFirstVisibleCell());
    EXPECT_EQ(step.nFirst, ::GetScrollPos(m_slider, SB_HORZ));
    EXPECT_EQ(0, m_slider.GetCurrentCell());  // scrolling leaves the thumb where it is
  }
  EXPECT_EQ(m_slider.GetSafeHwnd(), ::GetFocus());
}

TEST_F(TimeSliderTest, FollowingAPlayingFileDrawsTheScrollBarAtItsLastPositionAtItsPace) {
  Load(5000, 2, 5);
  for (int frame = 0; frame <= 3000; frame += 25) m_slider.SetPositionFollow(frame, true);
  const int first = m_slider.GetFirstVisibleCell();
  EXPECT_GT(first, 2500);
  EXPECT_EQ(first, ::GetScrollPos(m_slider, SB_HORZ)) << "the bar's position is set at once";
  testsupport::PumpFor(700);
  const std::vector<COLORREF> paced = ScrollBarPixels();
  ::RedrawWindow(m_slider, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(paced, ScrollBarPixels()) << "the bar drawn at its pace shows the last position";
}

TEST_F(TimeSliderTest, KeysMoveTheThumbWithinTheFileAndAskForZoomSteps) {
  struct Row {
    int nStartFrame;
    WPARAM nKey;
    int nCell;
    Codes codes;
  };
  // 1,000 frames at one frame a cell: the end position is cell 1000, a page 239 cells.
  const Row rows[] = {
      {0, VK_LEFT, 0, {}},
      {0, VK_HOME, 0, {}},
      {0, VK_RIGHT, 1, {kMoved}},
      {999, VK_END, 1000, {}},
      {999, VK_RIGHT, 1000, {}},
      {0, VK_END, 1000, {kMoved}},
      {500, VK_HOME, 0, {kMoved}},
      {500, VK_PRIOR, 261, {kMoved}},
      {100, VK_PRIOR, 0, {kMoved}},
      {500, VK_NEXT, 739, {kMoved}},
      {900, VK_NEXT, 1000, {kMoved}},
      {500, VK_UP, 500, {kCoarser}},
      {500, VK_DOWN, 500, {kFiner}},
      {500, 'A', 500, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "key " << row.nKey << " from frame " << row.nStartFrame);
    Load(1000, 2, 5);
    m_slider.SetPosition(row.nStartFrame, true);
    testsupport::PostKey(m_slider, row.nKey);
    PumpPending();
    EXPECT_EQ(row.nCell, m_slider.GetCurrentCell());
    EXPECT_EQ(row.codes, m_host.Notifications());
    // The thumb stays in view.
    EXPECT_LE(m_slider.GetFirstVisibleCell(), row.nCell);
    EXPECT_LE(row.nCell, m_slider.GetFirstVisibleCell() + m_slider.GetPageCells());
  }
  // Inside a dialog the arrows belong to the slider, not to the dialog's focus navigation.
  EXPECT_NE(0, m_slider.SendMessage(WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);
}

TEST_F(TimeSliderTest, ShiftWheelAsksForZoomStepsAndTakesTheFocus) {
  struct Row {
    WORD nKeys;
    short nDelta;
    Codes codes;
  };
  const Row rows[] = {
      {MK_SHIFT, WHEEL_DELTA, {kCoarser}},        // away from the user
      {MK_SHIFT, -WHEEL_DELTA, {kFiner}},         // towards the user
      {MK_SHIFT | MK_CONTROL, WHEEL_DELTA, {}},   // only Shift counts
      {MK_SHIFT | MK_CONTROL, -WHEEL_DELTA, {}},
      {MK_CONTROL, WHEEL_DELTA, {}},
      {0, -WHEEL_DELTA, {}},
  };
  Load(1000, 2, 5);
  const POINT screen = ClientToScreenPoint(50, 10);
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "keys " << row.nKeys << " delta " << row.nDelta);
    // A window of a test running beside this one may hold the activation, and focus follows it.
    ::SetForegroundWindow(m_host.Get());
    testsupport::PumpUntil([&] { return ::GetActiveWindow() == m_host.Get(); }, 2000);
    ::SetFocus(m_host.Get());
    m_host.ClearNotifications();
    ::PostMessageW(m_slider, WM_MOUSEWHEEL, MAKEWPARAM(row.nKeys | kFromTest, static_cast<WORD>(row.nDelta)),
                   MAKELPARAM(screen.x, screen.y));
    PumpPending();
    EXPECT_EQ(row.codes, m_host.Notifications());
    EXPECT_EQ(m_slider.GetSafeHwnd(), ::GetFocus());
    EXPECT_EQ(0, m_slider.GetCurrentCell());
  }
}

TEST_F(TimeSliderTest, DraggingCapturesTheMouseAndScrollsPastTheEdges) {
  Load(5000, 2, 5);
  const int clientWidth = 480;

  // A press moves the thumb to the cell under the pointer and holds the mouse.
  PostMouse(WM_LBUTTONDOWN, 20, MK_LBUTTON);
  PumpPending();
  EXPECT_EQ(10, m_slider.GetCurrentCell());
  EXPECT_EQ(m_slider.GetSafeHwnd(), ::GetCapture());
  PostMouse(WM_MOUSEMOVE, 101, MK_LBUTTON);
  PumpPending();
  EXPECT_EQ(50, m_slider.GetCurrentCell());

  // Held past the right edge, the ruler runs on by itself while the pointer stands still.
  PostMouse(WM_MOUSEMOVE, clientWidth + 40, MK_LBUTTON);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return m_slider.GetFirstVisibleCell() > 200; }, 3000));
  EXPECT_GT(m_slider.GetCurrentCell(), 239);
  EXPECT_LE(m_slider.GetCurrentCell(), m_slider.GetFirstVisibleCell() + m_slider.GetPageCells());

  // Releasing the button ends the drag: nothing moves any more.
  PostMouse(WM_LBUTTONUP, clientWidth + 40);
  PumpPending();
  EXPECT_EQ(nullptr, ::GetCapture());
  int first = m_slider.GetFirstVisibleCell();
  int current = m_slider.GetCurrentCell();
  testsupport::PumpUntil([] { return false; }, 350);
  EXPECT_EQ(first, m_slider.GetFirstVisibleCell());
  EXPECT_EQ(current, m_slider.GetCurrentCell());
  for (WPARAM code : m_host.Notifications()) EXPECT_EQ(kMoved, code);
  EXPECT_GE(m_host.Notifications().size(), 3u);

  // Past the left edge it runs back; Escape ends that drag, a right button press the next one.
  for (UINT ending : {UINT{WM_KEYDOWN}, UINT{WM_RBUTTONDOWN}}) {
    SCOPED_TRACE(ending == WM_KEYDOWN ? "Escape" : "right button");
    first = m_slider.GetFirstVisibleCell();
    PostMouse(WM_LBUTTONDOWN, 200, MK_LBUTTON);
    PumpPending();
    EXPECT_EQ(first + 100, m_slider.GetCurrentCell());
    PostMouse(WM_MOUSEMOVE, -30, MK_LBUTTON);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return m_slider.GetFirstVisibleCell() < first - 20; }, 3000));
    EXPECT_GE(m_slider.GetCurrentCell(), m_slider.GetFirstVisibleCell());
    if (ending == WM_KEYDOWN) {
      testsupport::PostKey(m_slider, VK_ESCAPE);
    } else {
      PostMouse(WM_RBUTTONDOWN, -30, MK_RBUTTON);
    }
    PumpPending();
    EXPECT_EQ(nullptr, ::GetCapture());
    const int stopped = m_slider.GetFirstVisibleCell();
    testsupport::PumpUntil([] { return false; }, 350);
    EXPECT_EQ(stopped, m_slider.GetFirstVisibleCell());
  }
}

}  // namespace
