#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "TestResources.h"
#include "TestSupport.h"
#include "framework/BitmapButton.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/PopupMenu.h"
#include "framework/ToolTipCtrl.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kBitmapWidth = 12;

using DrawSurface = testsupport::DrawSurface;

TEST(BitmapButton, StateChoosesPressedThenFocusedThenDisabledThenNormal) {
  framework::BitmapButton button;
  ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_RED, IDB_TEST_GREEN, IDB_TEST_BLUE, IDB_TEST_GREY));
  DrawSurface surface;
  surface.Draw(button, 0);
  EXPECT_EQ(surface.At(1, 1), kRed);
  EXPECT_EQ(surface.At(kBitmapWidth + 1, 1), kWhite) << "the bitmap is copied unscaled";
  surface.Draw(button, ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(surface.At(1, 1), kGreen);
  surface.Draw(button, ODS_FOCUS | ODS_DISABLED);
  EXPECT_EQ(surface.At(1, 1), kBlue);
  surface.Draw(button, ODS_DISABLED);
  EXPECT_EQ(surface.At(1, 1), kGrey);
  surface.Draw(button, 0, 5);
  EXPECT_EQ(surface.At(4, 1), kWhite) << "drawing starts at the item rectangle's corner";
  EXPECT_EQ(surface.At(5, 1), kRed);
}

TEST(BitmapButton, MissingBitmapsFallBackToNormalAndNoNormalDrawsNothing) {
  framework::BitmapButton button;
  EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_RED, IDB_TEST_MISSING, 0, 0));
  EXPECT_NE(button.GetNormalBitmap(), nullptr) << "what could be loaded is kept";
  EXPECT_EQ(button.GetSelectedBitmap(), nullptr);
  DrawSurface surface;
  surface.Draw(button, ODS_SELECTED);
  EXPECT_EQ(surface.At(1, 1), kRed);

  EXPECT_FALSE(button.LoadBitmaps(IDB_TEST_MISSING, IDB_TEST_GREEN));
  EXPECT_EQ(button.GetNormalBitmap(), nullptr) << "the old bitmaps are replaced";
  surface.Draw(button, ODS_SELECTED);
  EXPECT_EQ(surface.At(1, 1), kWhite);
  EXPECT_FALSE(button.LoadBitmaps(0));
}

class CountingButton : public framework::BitmapButton {
 public:
  void DrawItem(const DRAWITEMSTRUCT& item) override {
    if (item.hwndItem == m_hWnd) ++m_nDraws;
    BitmapButton::DrawItem(item);
  }
  int m_nDraws = 0;
};

TEST(BitmapButton, ParentDrawRequestsReachTheSubclassedButton) {
  framework::Dialog dialog(IDD_TEST_MODAL);
  ASSERT_TRUE(dialog.Create(nullptr));
  CountingButton button;
  ASSERT_TRUE(button.SubclassDlgItem(IDC_TEST_BUTTON, dialog.GetSafeHwnd()));
  EXPECT_EQ(::GetWindowLongPtrW(button.GetSafeHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_BLUE));
  button.SizeToContent();
  RECT rect{};
  ::GetClientRect(button.GetSafeHwnd(), &rect);
  EXPECT_EQ(rect.right, kBitmapWidth);
  EXPECT_EQ(rect.bottom, 8);
  ::RedrawWindow(dialog.GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_GE(button.m_nDraws, 1);
  framework::WindowDC dc(button.GetSafeHwnd());
  EXPECT_EQ(::GetPixel(dc, 2, 2), kBlue);
  dialog.DestroyWindow();
}

TEST(BitmapButton, HotBitmapShowsWhileTheMouseIsOverTheButtonAndGoesWhenItLeaves) {
  framework::Dialog dialog(IDD_TEST_MODAL);
  ASSERT_TRUE(dialog.Create(nullptr));
  ::SetWindowPos(dialog.GetSafeHwnd(), HWND_TOPMOST, 30, 30, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  framework::BitmapButton button;
  ASSERT_TRUE(button.SubclassDlgItem(IDC_TEST_BUTTON, dialog.GetSafeHwnd()));
  ASSERT_TRUE(button.LoadBitmaps(IDB_TEST_RED, IDB_TEST_GREEN));
  HWND window = button.GetSafeHwnd();
  ASSERT_TRUE(testsupport::PointMouseAt(window, POINT{3, 3})) << "another window covers the button";
  ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_FALSE(button.IsHovering()) << "without a hot bitmap there is no hover";

  ASSERT_TRUE(button.LoadHotBitmap(IDB_TEST_BLUE));
  ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(button.IsHovering());
  DrawSurface surface;
  surface.Draw(button, 0);
  EXPECT_EQ(surface.At(1, 1), kBlue);
  surface.Draw(button, ODS_SELECTED);
  EXPECT_EQ(surface.At(1, 1), kGreen) << "pressed wins over hot";

  // The mouse leaves without another move over the button: the system's leave notice ends it.
  ::SetCursorPos(1000, 700);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !button.IsHovering(); }, 10000));
  surface.Draw(button, 0);
  EXPECT_EQ(surface.At(1, 1), kRed);

  // A move seen over another window ends it too.
  ASSERT_TRUE(testsupport::PointMouseAt(window, POINT{3, 3}));
  ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  ASSERT_TRUE(button.IsHovering());
  ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(-200, -200));
  EXPECT_FALSE(button.IsHovering());

  EXPECT_FALSE(button.LoadHotBitmap(IDB_TEST_MISSING));
  EXPECT_EQ(button.GetHotBitmap(), nullptr);
  ::SetCursorPos(1000, 700);
  dialog.DestroyWindow();
}

TEST(PopupMenu, TrackedSubMenuReturnsTheChosenCommand) {
  framework::Dialog dialog(IDD_TEST_MODAL);
  ASSERT_TRUE(dialog.Create(nullptr));
  ::SetWindowPos(dialog.GetSafeHwnd(), HWND_TOPMOST, 30, 30, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  framework::PopupMenu menu;
  EXPECT_FALSE(menu.Load(IDR_TEST_MISSING_MENU));
  EXPECT_EQ(menu.Track(0, POINT{60, 60}, dialog.GetSafeHwnd()), 0u) << "nothing loaded, nothing shown";
  ASSERT_TRUE(menu.Load(IDR_TEST_MENU));
  EXPECT_EQ(menu.GetSubMenu(2), nullptr);
  menu.CheckRadioItem(IDM_TEST_FIRST, IDM_TEST_SECOND, IDM_TEST_SECOND);
  EXPECT_EQ(::GetMenuState(menu.GetSubMenu(0), IDM_TEST_SECOND, MF_BYCOMMAND) & MF_CHECKED, UINT{MF_CHECKED});
  EXPECT_EQ(::GetMenuState(menu.GetSubMenu(0), IDM_TEST_FIRST, MF_BYCOMMAND) & MF_CHECKED, 0u);

  // The keys wait in the queue and reach the menu once its own loop runs.
  const auto choose = [&](int index, std::vector<WPARAM> keys) {
    for (WPARAM key : keys) ::PostMessageW(dialog.GetSafeHwnd(), WM_KEYDOWN, key, 1);
    return menu.Track(index, POINT{60, 60}, dialog.GetSafeHwnd());
  };
  EXPECT_EQ(choose(0, {VK_DOWN, VK_DOWN, VK_RETURN}), UINT{IDM_TEST_SECOND});
  EXPECT_EQ(choose(1, {VK_DOWN, VK_RETURN}), UINT{IDM_TEST_OTHER});
  EXPECT_EQ(choose(0, {VK_ESCAPE}), 0u);
  menu.EnableItem(IDM_TEST_OTHER, false);
  EXPECT_EQ(choose(1, {VK_DOWN, VK_RETURN, VK_ESCAPE}), 0u) << "a greyed item is not chosen";
  dialog.DestroyWindow();
}

// A tooltip that tells when it has decided whether to show a tip. The control asks itself
// (TTM_WINDOWFROMPOINT) which window lies under the cursor each time a timer of its makes that
// decision; this one answers from its own dialog, because the display is shared with other test
// programs whose windows may lie over the tool.
class ObservedToolTip : public framework::ToolTipCtrl {
 public:
  int m_nDecisions = 0;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == TTM_WINDOWFROMPOINT && lParam != 0) {
      ++m_nQueries;
      POINT point = *reinterpret_cast<const POINT*>(lParam);
      HWND owner = GetOwner();
      ::ScreenToClient(owner, &point);
      HWND child = ::ChildWindowFromPointEx(owner, point, CWP_SKIPINVISIBLE);
      return reinterpret_cast<LRESULT>(child != nullptr ? child : owner);
    }
    if (msg != WM_TIMER) return ToolTipCtrl::WindowProc(msg, wParam, lParam);
    const int nQueries = m_nQueries;
    const LRESULT result = ToolTipCtrl::WindowProc(msg, wParam, lParam);
    if (m_nQueries != nQueries) ++m_nDecisions;
    return result;
  }

 private:
  int m_nQueries = 0;
};

class ToolTipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.Create(nullptr));
    ASSERT_TRUE(m_tip.Create(m_dialog.GetSafeHwnd()));
    m_tip.Activate(true);
  }
  void TearDown() override {
    m_tip.DestroyWindow();
    m_dialog.DestroyWindow();
  }
  HWND Item(int id) const { return m_dialog.GetDlgItem(id); }
  framework::Dialog m_dialog{IDD_TEST_MODAL};
  ObservedToolTip m_tip;
};

TEST_F(ToolTipTest, ToolsAreAddedUpdatedAndDeleted) {
  EXPECT_EQ(m_tip.GetToolCount(), 0);
  ASSERT_TRUE(m_tip.AddTool(Item(IDC_TEST_EDIT), L"ファイル名"));
  ASSERT_TRUE(m_tip.AddTool(Item(IDC_TEST_BUTTON), static_cast<UINT>(IDS_TEST_TIP)));
  ASSERT_TRUE(m_tip.AddTool(UINT_PTR{7}, RECT{0, 0, 10, 10}, L"area"));
  EXPECT_EQ(m_tip.GetToolCount(), 3);
  EXPECT_EQ(m_tip.GetToolText(Item(IDC_TEST_BUTTON)), L"オプション設定");
  EXPECT_TRUE(m_tip.HasTool(UINT_PTR{7}));

  m_tip.UpdateTipText(Item(IDC_TEST_EDIT), L"新しい説明");
  EXPECT_EQ(m_tip.GetToolText(Item(IDC_TEST_EDIT)), L"新しい説明");
  EXPECT_EQ(m_tip.GetToolText(Item(IDC_TEST_BUTTON)), L"オプション設定") << "only the named tool changes";

  m_tip.DelTool(Item(IDC_TEST_EDIT));
  EXPECT_FALSE(m_tip.HasTool(Item(IDC_TEST_EDIT)));
  EXPECT_TRUE(m_tip.HasTool(Item(IDC_TEST_BUTTON)));
  m_tip.DelTool(UINT_PTR{7});
  EXPECT_EQ(m_tip.GetToolCount(), 1);
  EXPECT_FALSE(m_tip.HasTool(Item(IDC_TEST_CHECK)));
}

TEST_F(ToolTipTest, TrackingTipAppearsWherePlacedAndGoesWhenDeactivated) {
  HWND owner = m_dialog.GetSafeHwnd();
  ASSERT_TRUE(m_tip.AddTool(owner, L"", TTF_TRACK | TTF_ABSOLUTE));
  m_tip.UpdateTipText(owner, L"バルーン");
  m_tip.TrackPosition(220, 140);
  m_tip.TrackActivate(owner, true);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return ::IsWindowVisible(m_tip.GetSafeHwnd()) != FALSE; }, 1000));
  RECT rect{};
  ::GetWindowRect(m_tip.GetSafeHwnd(), &rect);
  // The control may shift the window by its frame.
  EXPECT_NEAR(rect.left, 220, 3);
  EXPECT_NEAR(rect.top, 140, 3);
  m_tip.TrackPosition(300, 200);
  ::GetWindowRect(m_tip.GetSafeHwnd(), &rect);
  EXPECT_NEAR(rect.left, 300, 3);
  m_tip.TrackActivate(owner, false);
  EXPECT_FALSE(::IsWindowVisible(m_tip.GetSafeHwnd()));
}

TEST_F(ToolTipTest, CustomColoursAndTitleAreKept) {
  const COLORREF background = m_tip.GetTipBkColor();
  m_tip.SetTipBkColor(RGB(255, 255, 225));
  m_tip.SetTipTextColor(RGB(0, 0, 0));
  EXPECT_EQ(m_tip.GetTipBkColor(), RGB(255, 255, 225));
  EXPECT_EQ(m_tip.GetTipTextColor(), RGB(0, 0, 0));
  m_tip.SetTipBkColor(background);
  EXPECT_EQ(m_tip.GetTipBkColor(), background);
  EXPECT_TRUE(m_tip.SetTitle(TTI_INFO, L"エラー"));
}

TEST_F(ToolTipTest, RelayedMouseMoveOverAToolShowsItsTip) {
  HWND edit = Item(IDC_TEST_EDIT);
  ASSERT_TRUE(m_tip.AddTool(edit, L"ファイル名"));
  m_tip.SetDelayTime(TTDT_INITIAL, 1);
  RECT rect{};
  ::GetWindowRect(edit, &rect);
  const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  POINT client = centre;
  ::ScreenToClient(edit, &client);
  MSG move{edit, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y), ::GetTickCount(), centre};
  ::SetCursorPos(centre.x, centre.y);
  m_tip.RelayEvent(&move);
  // The tip is shown, or not, when its delay timer fires; that moment is waited for, however
  // late a loaded machine brings it (the limit only keeps a broken control from hanging).
  ASSERT_TRUE(testsupport::PumpUntil([&] { return m_tip.m_nDecisions > 0; }, 60000));
  EXPECT_TRUE(::IsWindowVisible(m_tip.GetSafeHwnd()));
  // Keyboard messages are not the tooltip's business and must not disturb it.
  MSG key{edit, WM_KEYDOWN, 'A', 0, ::GetTickCount(), centre};
  m_tip.RelayEvent(&key);
  EXPECT_TRUE(::IsWindowVisible(m_tip.GetSafeHwnd()));
}

}  // namespace
