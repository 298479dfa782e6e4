// The drop slider on recorded files: dropped ranges at each zoom, the previous and next dropped
// scenes, files that cannot be read, and what it paints.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AviTestFiles.h"
#include "SliderHost.h"
#include "TestSupport.h"
#include "core/DebugTraceTesting.h"
#include "ui/DropSlider.h"

using namespace slidertest;

namespace {

constexpr UINT kSliderId = 1091;
using Ranges = std::vector<DropRange>;

class DropSliderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_slider.Create(m_host.Get(), kSliderId, kNotifyMessage, kSliderThumbBitmapId));
    PlaceSlider(m_slider, 10, 10);
  }

  // Loads a 625/50 file of `frames` frames with the given drops.
  bool LoadFile(size_t frames, const std::vector<size_t>& drops) {
    avitest::TempFile file(L"slider.avi", Make625File(frames, drops));
    return m_slider.SetFile(file.Path());
  }

  SliderHost m_host;
  DropSlider m_slider;
};

TEST_F(DropSliderTest, DroppedFramesMakeRangesOfAdjacentCellsAtEachZoom) {
  struct Row {
    std::vector<size_t> drops;
    int nLevel;
    Ranges ranges;
  };
  const Row rows[] = {
      {{100, 101, 102}, 5, {{100, 102}}},
      {{100, 102}, 5, {{100, 100}, {102, 102}}},
      {{100, 101, 102}, 4, {{4, 4}}},  // all in second 4
      {{100, 102}, 4, {{4, 4}}},
      {{24, 25, 74, 100, 249}, 4, {{0, 2}, {4, 4}, {9, 9}}},  // seconds 0, 1, 2, 4 and 9
      {{0, 249}, 3, {{0, 1}}},
      {{}, 5, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "level " << row.nLevel << ", " << row.drops.size() << " drops");
    // Loaded at the finest level and then zoomed, so the ranges follow a zoom change too.
    m_slider.SetZoomLevel(5);
    ASSERT_TRUE(LoadFile(250, row.drops));
    m_slider.SetZoomLevel(row.nLevel);
    EXPECT_EQ(row.ranges, m_slider.GetDropRanges());
    EXPECT_EQ(250, m_slider.GetTotalFrames());
    EXPECT_EQ(2, m_slider.GetVideoFormat());
    EXPECT_EQ(row.drops.size(), m_slider.GetDroppedFrames().size());
    for (const DropRange& range : row.ranges) {
      EXPECT_FALSE(m_slider.IsDropCell(range.nFirstCell - 1));
      EXPECT_TRUE(m_slider.IsDropCell(range.nFirstCell));
      EXPECT_TRUE(m_slider.IsDropCell(range.nLastCell));
      EXPECT_FALSE(m_slider.IsDropCell(range.nLastCell + 1));
    }
  }
  EXPECT_FALSE(m_slider.IsDropCell(-1));
}

TEST_F(DropSliderTest, PreviousAndNextDropsSkipTheSceneUnderTheThumb) {
  struct Row {
    int nLevel;
    int nFrame;
    int nPrevious, nPreviousFirst;
    int nNext, nNextFirst;
  };
  // At one frame a cell the scenes are cells 10-11, 50-52, 100 and 200; at one second a cell they
  // are cells 0, 2, 4 and 8.
  const Row rows[] = {
      {5, 0, 0, -7, 4, 10},   {5, 10, 0, -7, 3, 50},  {5, 11, 0, -7, 3, 50},  {5, 12, 1, 10, 3, 50},
      {5, 51, 1, 10, 2, 100}, {5, 53, 2, 50, 2, 100}, {5, 100, 2, 50, 1, 200}, {5, 249, 4, 200, 0, -7},
      {4, 60, 1, 0, 2, 4},    {4, 0, 0, -7, 3, 2},    {4, 249, 4, 8, 0, -7},
  };
  m_slider.SetZoomLevel(5);
  ASSERT_TRUE(LoadFile(250, {10, 11, 50, 51, 52, 100, 200}));
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "level " << row.nLevel << ", frame " << row.nFrame);
    m_slider.SetZoomLevel(row.nLevel);
    m_slider.SetPosition(row.nFrame, true);
    int previousFirst = -7;  // left alone when there is no such scene
    int nextFirst = -7;
    EXPECT_EQ(row.nPrevious, m_slider.GetPreviousDrop(&previousFirst));
    EXPECT_EQ(row.nPreviousFirst, previousFirst);
    EXPECT_EQ(row.nNext, m_slider.GetNextDrop(&nextFirst));
    EXPECT_EQ(row.nNextFirst, nextFirst);
    EXPECT_EQ(row.nPrevious, m_slider.GetPreviousDrop());
    EXPECT_EQ(row.nNext, m_slider.GetNextDrop());
  }
}

TEST_F(DropSliderTest, UnreadableFilesLeaveTheSliderEmptyAndAreTraced) {
  wchar_t exe[MAX_PATH] = {};
  const std::wstring base(exe, ::GetModuleFileNameW(nullptr, exe, MAX_PATH) - 4);  // without ".exe"
  ::WritePrivateProfileStringW(L"Debug", L"FileOut", L"1", (base + L".ini").c_str());
  ResetDebugTraceForTesting();

  m_slider.SetZoomLevel(4);
  avitest::HandAvi cut;  // the index lists one frame less than the stream header counts
  cut.dwScale = 1;
  cut.dwRate = 25;
  cut.frames = avitest::MakeFrames(250, {100});
  cut.nLength = 251;
  avitest::TempFile cutFile(L"cut.avi", avitest::BuildAvi(cut).bytes);
  avitest::TempFile missing(L"missing.avi");
  ::DeleteFileW(missing.Path().c_str());
  for (const std::wstring& path : {cutFile.Path(), missing.Path()}) {
    ASSERT_TRUE(LoadFile(250, {100, 101}));
    m_slider.SetPosition(120, true);
    EXPECT_FALSE(m_slider.SetFile(path));
    EXPECT_EQ(0, m_slider.GetTotalFrames());
    EXPECT_EQ(0, m_slider.GetTotalCells());
    EXPECT_EQ(0, m_slider.GetCurrentCell());
    EXPECT_EQ(1, m_slider.GetVideoFormat());
    EXPECT_TRUE(m_slider.GetDropRanges().empty());
    EXPECT_EQ(0, m_slider.GetNextDrop());
    EXPECT_EQ(4, m_slider.GetZoomLevel());  // the zoom survives file changes
  }
  ASSERT_TRUE(LoadFile(250, {100, 101}));
  EXPECT_TRUE(m_slider.SetFile(L""));
  EXPECT_EQ(0, m_slider.GetTotalFrames());
  EXPECT_TRUE(m_slider.GetDroppedFrames().empty());

  ::DeleteFileW((base + L".ini").c_str());
  ResetDebugTraceForTesting();
  std::ostringstream log;
  log << std::ifstream((base + L".log").c_str(), std::ios::binary).rdbuf();
  ::DeleteFileW((base + L".log").c_str());
  EXPECT_NE(std::string::npos, log.str().find("GetAVIDropInfo()")) << log.str();
}

// Pixels of the ruler: cells, ticks, labels and the see-through thumb.
class RulerPixels {
 public:
  explicit RulerPixels(HWND slider) : m_hWnd(slider), m_hDC(::GetDC(slider)) {}
  ~RulerPixels() { ::ReleaseDC(m_hWnd, m_hDC); }
  RulerPixels(const RulerPixels&) = delete;
  RulerPixels& operator=(const RulerPixels&) = delete;
  COLORREF At(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  int CountOf(COLORREF color, const RECT& area) const {
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) count += At(x, y) == color ? 1 : 0;
    }
    return count;
  }

 private:
  HWND m_hWnd;
  HDC m_hDC;
};

TEST_F(DropSliderTest, PaintsDropsScaleAndThumbAtTwoZoomLevels) {
  constexpr COLORREF kLine = RGB(227, 237, 234);
  constexpr COLORREF kWhite = RGB(255, 255, 255);
  constexpr COLORREF kThumbFace = RGB(255, 220, 0);  // the test thumb's stem (column 5)
  constexpr COLORREF kThumbEdge = RGB(120, 60, 0);
  constexpr int kRow = 20;  // below the labels, above the short ticks

  // One frame a cell, thumb on frame 60 (its picture spans x 115 to 125).
  m_slider.SetZoomLevel(5);
  ASSERT_TRUE(LoadFile(400, {100, 101, 102}));
  m_slider.SetPosition(60, true);
  // One second a cell, 8 cells long, thumb on second 6 (x 7 to 17).
  DropSlider seconds;
  ASSERT_TRUE(seconds.Create(m_host.Get(), kSliderId + 1, kNotifyMessage, kSliderThumbBitmapId));
  PlaceSlider(seconds, 10, 80);
  seconds.SetZoomLevel(4);
  avitest::TempFile file(L"slider.avi", Make625File(200, {100, 101, 102}));
  ASSERT_TRUE(seconds.SetFile(file.Path()));
  seconds.SetPosition(150, true);
  ::UpdateWindow(m_slider);
  ::UpdateWindow(seconds);

  const RulerPixels frames(m_slider);
  EXPECT_EQ(DropSlider::kDropCellColor, frames.At(203, kRow));   // cell 101
  EXPECT_EQ(DropSlider::kCellColor, frames.At(61, kRow));        // cell 30
  EXPECT_EQ(kLine, frames.At(50, kRow));                         // label line of second 1
  EXPECT_EQ(DropSlider::kCellColor, frames.At(10, kRow));        // frame 5: a short tick, lower down
  EXPECT_EQ(kLine, frames.At(10, 26));
  EXPECT_GT(frames.CountOf(kWhite, RECT{52, 0, 100, 16}), 10);   // "00:00:01"
  EXPECT_EQ(0, frames.CountOf(kWhite, RECT{48, 0, 52, 10}));     // "00:00:00" ends before it
  EXPECT_EQ(kThumbFace, frames.At(120, kRow));
  EXPECT_EQ(kThumbEdge, frames.At(115, 3));
  EXPECT_EQ(DropSlider::kCellColor, frames.At(116, kRow));       // see-through beside the stem

  const RulerPixels secondCells(seconds);
  EXPECT_EQ(DropSlider::kDropCellColor, secondCells.At(9, kRow));    // second 4, seen through the thumb
  EXPECT_EQ(kThumbFace, secondCells.At(12, kRow));
  EXPECT_EQ(DropSlider::kCellColor, secondCells.At(3, kRow));        // second 1
  EXPECT_EQ(DropSlider::kPastEndColor, secondCells.At(19, kRow));    // second 9 of 8
  EXPECT_EQ(kLine, secondCells.At(0, 12));                           // label line of second 0

  // Scrolling moves the painted ruler with it.
  m_slider.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
  ::UpdateWindow(m_slider);
  EXPECT_EQ(DropSlider::kDropCellColor, frames.At(201, kRow));   // cell 101 one cell further left
  EXPECT_EQ(kThumbFace, frames.At(118, kRow));

  // A developer can look at the result: PLOVER_SLIDER_HOLD_MS keeps the window up that long.
  if (const char* hold = std::getenv("PLOVER_SLIDER_HOLD_MS")) {
    testsupport::PumpUntil([] { return false; }, static_cast<DWORD>(std::atoi(hold)));
  }
}

}  // namespace
