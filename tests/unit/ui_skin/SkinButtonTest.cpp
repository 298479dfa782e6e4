#include <gtest/gtest.h>

#include <windows.h>

#include "SkinTestDialog.h"
#include "SkinTestResources.h"
#include "TestSupport.h"
#include "ui/SkinButton.h"
#include "ui/SkinLayout.h"

namespace {

constexpr COLORREF kNormal = RGB(255, 0, 0);
constexpr COLORREF kPressed = RGB(0, 255, 0);
constexpr COLORREF kFocused = RGB(0, 0, 255);
constexpr COLORREF kDisabled = RGB(128, 128, 128);
constexpr COLORREF kHot = RGB(255, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The record button with all five bitmaps; the tab button like the main window's unselected tab,
// with a normal bitmap only.
const SkinLayoutRecord kButtons[] = {
    {IDC_SKIN_BUTTON, 0, kSkinButton, 10, 10, 40, 20, 0,
     {IDB_SKIN_NORMAL, IDB_SKIN_PRESSED, IDB_SKIN_FOCUSED, IDB_SKIN_DISABLED, IDB_SKIN_HOT}},
    {IDC_SKIN_TAB, 1, kSkinButton, 60, 10, 40, 20, 0, {IDB_SKIN_NORMAL, 0, 0, 0, 0}},
};

// A white surface the size of a button; Draw tells the colour the state left inside.
class Surface : public testsupport::DrawSurface {
 public:
  Surface() : DrawSurface(40, 20) {}
  COLORREF Draw(SkinButton& button, UINT state) {
    DrawSurface::Draw(button, state);
    return At(5, 5);
  }
};

class SkinButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.Open());
    ASSERT_TRUE(m_button.SubclassDlgItem(IDC_SKIN_BUTTON, m_dialog.GetSafeHwnd()));
    ASSERT_TRUE(m_tab.SubclassDlgItem(IDC_SKIN_TAB, m_dialog.GetSafeHwnd()));
    ASSERT_TRUE(m_layout.Init(m_dialog.GetSafeHwnd(), kButtons, 2, nullptr));
    m_layout.SetVariant(m_tab.GetSafeHwnd(), 1);
  }
  void TearDown() override {
    ::SetCursorPos(1000, 700);
    m_dialog.DestroyWindow();
  }
  // Puts the mouse over a button and tells the button, as the system does.
  void HoverOver(SkinButton& button, WPARAM keys = 0) {
    ASSERT_TRUE(testsupport::PointMouseAt(button.GetSafeHwnd(), POINT{5, 5})) << "another window covers the button";
    ::SendMessageW(button.GetSafeHwnd(), WM_MOUSEMOVE, keys, MAKELPARAM(5, 5));
  }

  skin_test::SkinTestDialog m_dialog;
  SkinButton m_button;
  SkinButton m_tab;
  SkinLayout m_layout;
};

TEST_F(SkinButtonTest, StatesPickHotThenPressedFocusedDisabledNormal) {
  Surface surface;
  const struct {
    UINT state;
    COLORREF away;
    COLORREF hovering;
  } cases[] = {
      {0, kNormal, kHot},
      {ODS_FOCUS, kFocused, kHot},
      {ODS_SELECTED | ODS_FOCUS, kPressed, kPressed},  // held down: pressed, not hot
      {ODS_DISABLED, kDisabled, kDisabled},            // disabled: never hot
      {ODS_DISABLED | ODS_FOCUS, kFocused, kFocused},
  };
  for (const auto& c : cases) EXPECT_EQ(surface.Draw(m_button, c.state), c.away) << "state " << c.state;
  HoverOver(m_button);
  ASSERT_TRUE(m_button.IsHovering());
  for (const auto& c : cases) EXPECT_EQ(surface.Draw(m_button, c.state), c.hovering) << "hover, state " << c.state;

  // The tab button of the unselected variant has only its normal bitmap: it looks the same in every
  // state and does not react to the mouse.
  HoverOver(m_tab);
  EXPECT_FALSE(m_tab.IsHovering());
  for (UINT state : {0u, UINT{ODS_SELECTED}, UINT{ODS_FOCUS}, UINT{ODS_DISABLED}}) {
    EXPECT_EQ(surface.Draw(m_tab, state), kNormal) << "tab, state " << state;
  }

  // Without a normal bitmap nothing is drawn at all.
  m_button.LoadBitmaps(IDB_SKIN_MISSING, IDB_SKIN_PRESSED);
  EXPECT_EQ(surface.Draw(m_button, ODS_SELECTED), kWhite);
}

TEST_F(SkinButtonTest, HotOnScreenWhileHoveredAndNotWhenPressStartedElsewhere) {
  ::SetFocus(m_dialog.GetDlgItem(IDC_SKIN_OTHER));  // the focused bitmap would show otherwise
  HoverOver(m_button, MK_LBUTTON);
  EXPECT_FALSE(m_button.IsHovering()) << "a press that began elsewhere is dragged over, not hovering";
  HoverOver(m_button);
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(m_button.GetSafeHwnd(), 20, 10), kHot);
  ::SetCursorPos(1000, 700);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !m_button.IsHovering(); }, 10000)) << "mouse-leave ends it";
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(m_button.GetSafeHwnd(), 20, 10), kNormal);
}

TEST_F(SkinButtonTest, DoubleClickCountsAsTwoClicks) {
  HWND button = m_button.GetSafeHwnd();
  const LPARAM inside = MAKELPARAM(5, 5);
  ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  ::SendMessageW(button, WM_LBUTTONUP, 0, inside);
  ::SendMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, inside);
  ::SendMessageW(button, WM_LBUTTONUP, 0, inside);
  EXPECT_EQ(m_dialog.m_mapClicks[IDC_SKIN_BUTTON], 2);
}

TEST_F(SkinButtonTest, NeverErasesAndLeavesVisibleOverlappingWindowsUnpainted) {
  Surface surface;
  EXPECT_NE(::SendMessageW(m_button.GetSafeHwnd(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(surface.Get()), 0), 0);
  EXPECT_EQ(surface.At(5, 5), kWhite) << "erase requests are answered without painting";

  // A label lies over the button's right half, as the tab captions lie on the tab buttons.
  HWND label = m_dialog.GetDlgItem(IDC_SKIN_NOT_IN_TABLE);
  POINT corner{20, 0};
  ::MapWindowPoints(m_button.GetSafeHwnd(), m_dialog.GetSafeHwnd(), &corner, 1);
  ::MoveWindow(label, corner.x, corner.y, 20, 20, FALSE);
  m_button.AddOverlappingWindow(label);

  const auto paintAll = [&] {
    surface.Clear();
    const int saved = ::SaveDC(surface.Get());
    const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
        m_dialog.GetSafeHwnd(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(surface.Get()),
        reinterpret_cast<LPARAM>(m_button.GetSafeHwnd())));
    EXPECT_EQ(brush, static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
    RECT all{0, 0, 40, 20};
    ::FillRect(surface.Get(), &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::RestoreDC(surface.Get(), saved);
  };
  paintAll();
  EXPECT_EQ(surface.At(5, 5), RGB(0, 0, 0));
  EXPECT_EQ(surface.At(30, 5), kWhite) << "the label's rectangle is left out";
  ::ShowWindow(label, SW_HIDE);
  paintAll();
  EXPECT_EQ(surface.At(30, 5), RGB(0, 0, 0)) << "a hidden label covers nothing";
}

}  // namespace
