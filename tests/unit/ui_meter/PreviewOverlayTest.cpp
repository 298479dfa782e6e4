// The preview overlay on a real panel: the exact pixels of its window region, where it sits, and
// what shows on screen through it.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "MeterTestResources.h"
#include "TestSupport.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "ui/PreviewOverlay.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Every pixel of a region, from its rectangles.
Pixels PixelsOf(HRGN region) {
  Pixels pixels;
  const DWORD nBytes = ::GetRegionData(region, 0, nullptr);
  std::vector<BYTE> buffer(nBytes);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (nBytes == 0 || ::GetRegionData(region, nBytes, data) == 0) return pixels;
  const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
  for (DWORD n = 0; n < data->rdh.nCount; ++n) {
    for (int y = rects[n].top; y < rects[n].bottom; ++y) {
      for (int x = rects[n].left; x < rects[n].right; ++x) pixels.insert({x, y});
    }
  }
  return pixels;
}

// The centre cross of a 360 x 270 picture: x 168 ... 191 at y 135, y 126 ... 143 at x 180.
Pixels CentreCross() {
  Pixels pixels;
  for (int x = 168; x <= 191; ++x) pixels.insert({x, 135});
  for (int y = 126; y <= 143; ++y) pixels.insert({180, y});
  return pixels;
}

// The two safe-margin outlines of a 360 x 270 picture, from corner (18, 13) to (342, 257) and from
// (36, 27) to (324, 243); each side is drawn up to the far corner, which itself stays open.
Pixels SafeMargins() {
  Pixels pixels;
  const RECT outlines[] = {{18, 13, 342, 257}, {36, 27, 324, 243}};
  for (const RECT& r : outlines) {
    for (int x = r.left; x < r.right; ++x) {
      pixels.insert({x, r.top});
      pixels.insert({x, r.bottom});
    }
    for (int y = r.top; y < r.bottom; ++y) {
      pixels.insert({r.left, y});
      pixels.insert({r.right, y});
    }
  }
  return pixels;
}

Pixels Union(Pixels a, const Pixels& b) {
  a.insert(b.begin(), b.end());
  return a;
}

class PreviewOverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_panel.Create(nullptr));
    ::SetWindowPos(m_panel.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 420, 330, SWP_NOACTIVATE);
    m_hPreview = m_panel.GetDlgItem(IDC_METER_TEST_PREVIEW);
    PlacePreview(20, 30, 360, 270);
    ASSERT_TRUE(m_overlay.Attach(m_panel.GetDlgItem(IDC_METER_TEST_OVERLAY), m_hPreview));
  }
  void TearDown() override { m_panel.DestroyWindow(); }

  void PlacePreview(int x, int y, int w, int h) {
    ::SetWindowPos(m_hPreview, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  Pixels RegionPixels() const {
    framework::RegionHolder region(::CreateRectRgn(0, 0, 0, 0));
    if (::GetWindowRgn(m_overlay.GetSafeHwnd(), region.Get()) == ERROR) return {{-1, -1}};
    return PixelsOf(region.Get());
  }

  // A pixel of the panel on screen, in the preview's coordinates.
  COLORREF ScreenPixel(int x, int y) {
    ::UpdateWindow(m_panel.GetSafeHwnd());
    testsupport::PumpUntil([] { return false; }, 30);
    POINT at{x, y};
    ::MapWindowPoints(m_hPreview, m_panel.GetSafeHwnd(), &at, 1);
    framework::WindowDC dc(m_panel.GetSafeHwnd());
    return ::GetPixel(dc, at.x, at.y);
  }

  framework::Dialog m_panel{IDD_METER_TEST_PANEL};
  HWND m_hPreview = nullptr;
  PreviewOverlay m_overlay;
};

TEST_F(PreviewOverlayTest, RegionHoldsExactlyTheMarkerLinesThatAreOn) {
  struct Case {
    bool bCentre;
    bool bMargin;
    Pixels expected;
  };
  const Case cases[] = {
      {true, true, Union(CentreCross(), SafeMargins())},
      {false, false, {}},
      {true, false, CentreCross()},
      {false, false, {}},
      {false, true, SafeMargins()},
  };
  // The preview's own colour, where no line ever lies.
  const COLORREF kPreview = ScreenPixel(5, 5);
  EXPECT_NE(kPreview, kWhite);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "centre " << c.bCentre << ", margin " << c.bMargin);
    m_overlay.SetCentreMarker(c.bCentre);
    m_overlay.SetSafeMargin(c.bMargin);
    EXPECT_TRUE(RegionPixels() == c.expected) << RegionPixels().size() << " pixels, " << c.expected.size()
                                              << " expected";
    EXPECT_TRUE(::IsWindowVisible(m_overlay.GetSafeHwnd()));
    // On screen: white lines, and the preview wherever no line is.
    EXPECT_EQ(ScreenPixel(180, 135), c.bCentre ? kWhite : kPreview);
    EXPECT_EQ(ScreenPixel(180, 126), c.bCentre ? kWhite : kPreview);
    EXPECT_EQ(ScreenPixel(18, 100), c.bMargin ? kWhite : kPreview);
    EXPECT_EQ(ScreenPixel(200, 243), c.bMargin ? kWhite : kPreview);
    EXPECT_EQ(ScreenPixel(179, 134), kPreview);
    EXPECT_EQ(ScreenPixel(100, 100), kPreview);
  }
}

TEST_F(PreviewOverlayTest, OverlayFollowsThePreviewAndLiesDirectlyOnTopOfIt) {
  m_overlay.SetCentreMarker(true);
  auto expectOnPreview = [&] {
    RECT preview{};
    RECT overlay{};
    ::GetWindowRect(m_hPreview, &preview);
    ::GetWindowRect(m_overlay.GetSafeHwnd(), &overlay);
    EXPECT_TRUE(::EqualRect(&preview, &overlay));
    EXPECT_EQ(::GetWindow(m_overlay.GetSafeHwnd(), GW_HWNDNEXT), m_hPreview);
  };
  expectOnPreview();

  // Half the size somewhere else: the cross moves to the new centre.
  PlacePreview(50, 40, 180, 135);
  m_overlay.Rebuild();
  expectOnPreview();
  const int left = 15 * 180 / 32;  // 84
  const int top = 15 * 135 / 32;   // 63
  Pixels cross;
  for (int x = left; x < 180 - left; ++x) cross.insert({x, 67});
  for (int y = top; y < 135 - top; ++y) cross.insert({90, y});
  EXPECT_TRUE(RegionPixels() == cross);

  // No picture: an overlay of no size, with nothing in its region.
  m_overlay.SetSafeMargin(true);
  PlacePreview(50, 40, 0, 0);
  m_overlay.Rebuild();
  RECT client{1, 1, 1, 1};
  ::GetClientRect(m_overlay.GetSafeHwnd(), &client);
  EXPECT_EQ(client.right, 0);
  EXPECT_EQ(client.bottom, 0);
  EXPECT_TRUE(RegionPixels().empty());
}

}  // namespace
