#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "SkinTestDialog.h"
#include "SkinTestResources.h"
#include "TestSupport.h"
#include "ui/PanelToolTip.h"

namespace {

// Counts what reaches the tooltip control to be relayed.
class RecordingToolTip : public PanelToolTip {
 public:
  std::vector<UINT> m_vecRelayed;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == TTM_RELAYEVENT) m_vecRelayed.push_back(reinterpret_cast<const MSG*>(lParam)->message);
    return PanelToolTip::WindowProc(msg, wParam, lParam);
  }
};

constexpr UINT kInfoIcon = 1;
// The option page's balloon: information icon, every hide condition, centred on the edit.
constexpr UINT kOptionPageFlags = 241;

class PanelToolTipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.Open());
    ASSERT_TRUE(m_tip.Create(m_dialog.GetSafeHwnd()));
    m_tip.Activate(true);
    m_dialog.SetToolTip(&m_tip);
    ::SetFocus(Edit());
  }
  void TearDown() override {
    m_dialog.SetToolTip(nullptr);
    m_tip.DestroyWindow();
    m_dialog.DestroyWindow();
  }
  HWND Edit() const { return m_dialog.GetDlgItem(IDC_SKIN_FILE_NAME); }
  bool Shown() const { return ::IsWindowVisible(m_tip.GetSafeHwnd()) != FALSE; }
  void Show(UINT flags) { m_tip.ShowBalloon(Edit(), IDS_SKIN_BALLOON_TEXT, IDS_SKIN_BALLOON_TITLE, flags); }

  skin_test::SkinTestDialog m_dialog;
  RecordingToolTip m_tip;
};

TEST_F(PanelToolTipTest, BalloonTakesItsLookAndHidingGivesTheOldOneBack) {
  const LONG_PTR style = ::GetWindowLongPtrW(m_tip.GetSafeHwnd(), GWL_STYLE);
  const COLORREF background = m_tip.GetTipBkColor();
  const COLORREF text = m_tip.GetTipTextColor();
  m_tip.SetBalloonColors(RGB(255, 255, 225), RGB(0, 0, 0), TTS_BALLOON);
  Show(kOptionPageFlags);

  EXPECT_TRUE(Shown());
  EXPECT_EQ(m_tip.GetBalloonWindow(), m_dialog.GetSafeHwnd());
  const LONG_PTR balloonStyle = ::GetWindowLongPtrW(m_tip.GetSafeHwnd(), GWL_STYLE);
  EXPECT_NE(balloonStyle & TTS_BALLOON, 0);
  EXPECT_EQ(balloonStyle & WS_BORDER, 0);
  EXPECT_EQ(m_tip.GetTipBkColor(), RGB(255, 255, 225));
  EXPECT_EQ(m_tip.GetTipTextColor(), RGB(0, 0, 0));
  EXPECT_EQ(m_tip.GetToolText(m_dialog.GetSafeHwnd()), L"文字数がオーバーしています。");

  m_tip.HideBalloon(m_tip.GetBalloonWindow());
  EXPECT_FALSE(Shown());
  EXPECT_EQ(m_tip.GetBalloonWindow(), nullptr);
  EXPECT_FALSE(m_tip.HasTool(m_dialog.GetSafeHwnd()));
  EXPECT_EQ(::GetWindowLongPtrW(m_tip.GetSafeHwnd(), GWL_STYLE) & ~static_cast<LONG_PTR>(WS_VISIBLE),
            style & ~static_cast<LONG_PTR>(WS_VISIBLE));
  EXPECT_EQ(m_tip.GetTipBkColor(), background);
  EXPECT_EQ(m_tip.GetTipTextColor(), text);
}

TEST_F(PanelToolTipTest, TitleLineComesWithTheBalloonAndGoesWithIt) {
  const auto shownHeight = [&](UINT titleId) {
    m_tip.ShowBalloon(Edit(), IDS_SKIN_BALLOON_TEXT, titleId, kInfoIcon);
    RECT rect{};
    ::GetWindowRect(m_tip.GetSafeHwnd(), &rect);
    m_tip.HideBalloon(m_tip.GetBalloonWindow());
    return rect.bottom - rect.top;
  };
  const LONG plain = shownHeight(0);
  EXPECT_GT(shownHeight(IDS_SKIN_BALLOON_TITLE), plain);
  EXPECT_EQ(shownHeight(0), plain) << "the title of the last balloon is cleared";
}

TEST_F(PanelToolTipTest, BalloonHidesOnlyOnItsOwnConditions) {
  const struct {
    UINT flags;
    UINT message;
    bool focusMoves;
    bool hides;
  } cases[] = {
      {PanelToolTip::kHideOnKey, WM_KEYDOWN, false, true},
      {PanelToolTip::kHideOnKey, WM_KEYUP, false, false},
      {PanelToolTip::kHideOnFocusChange, WM_KEYDOWN, false, false},
      {PanelToolTip::kHideOnFocusChange, WM_NULL, true, true},
      {PanelToolTip::kHideOnKey, WM_NULL, true, false},
      {PanelToolTip::kHideOnMove, WM_MOVE, false, true},
      {PanelToolTip::kHideOnMove, WM_SIZE, false, false},
      {PanelToolTip::kHideOnSize, WM_SIZE, false, true},
      {0, WM_KEYDOWN, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags << ", message " << c.message);
    ::SetFocus(Edit());
    Show(kInfoIcon | c.flags);
    ASSERT_TRUE(Shown());
    if (c.focusMoves) ::SetFocus(m_dialog.GetDlgItem(IDC_SKIN_OTHER));
    m_tip.CheckAutoHide(c.message);
    EXPECT_EQ(!Shown(), c.hides);
    EXPECT_EQ(m_tip.GetBalloonWindow() == nullptr, c.hides);
    m_tip.HideBalloon(m_dialog.GetSafeHwnd());
  }
}

TEST_F(PanelToolTipTest, TabbingAwayAndTypingHideTheBalloonThroughTheMessageLoop) {
  Show(kInfoIcon | PanelToolTip::kHideOnFocusChange);
  ASSERT_TRUE(Shown());
  // The panel's message handling sees the focus leave the edit.
  testsupport::PostKey(Edit(), VK_TAB);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !Shown(); }, 2000));
  EXPECT_NE(::GetFocus(), Edit());

  ::SetFocus(Edit());
  Show(kInfoIcon | PanelToolTip::kHideOnKey);
  ASSERT_TRUE(Shown());
  MSG key{Edit(), WM_KEYDOWN, 'A', 1, ::GetTickCount(), {}};
  m_tip.RelayEvent(&key);  // the relay of the panel's queue checks every message
  EXPECT_FALSE(Shown());
}

TEST_F(PanelToolTipTest, RelayPassesMovesAndPressesButNotDoubleClicks) {
  for (UINT message = WM_MOUSEMOVE; message <= WM_MOUSEWHEEL; ++message) {
    MSG msg{Edit(), message, 0, MAKELPARAM(2, 2), ::GetTickCount(), {}};
    m_tip.RelayEvent(&msg);
  }
  MSG key{Edit(), WM_KEYDOWN, 'A', 1, ::GetTickCount(), {}};
  m_tip.RelayEvent(&key);
  EXPECT_EQ(m_tip.m_vecRelayed, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                                                   WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP}));
}

}  // namespace
