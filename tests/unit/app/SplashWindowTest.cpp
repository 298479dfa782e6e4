// The splash: shown once, hidden by its own presses only, and never shown when disabled.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/SplashWindow.h"

namespace {

MSG MessageTo(HWND hwnd, UINT message, WPARAM wParam = 0) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  return msg;
}

class SplashWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { SplashWindow::EnableSplash(true); }
  void TearDown() override {
    SplashWindow::HideSplash();
    SplashWindow::EnableSplash(true);
  }
};

}  // namespace

TEST_F(SplashWindowTest, ShowsTheBitmapCentredAtItsNaturalSize) {
  SplashWindow::ShowSplash(nullptr);
  ASSERT_TRUE(SplashWindow::IsShown());
  HWND splash = SplashWindow::GetSplashWindow();
  ASSERT_TRUE(IsWindowVisible(splash));
  RECT rc{};
  GetWindowRect(splash, &rc);
  EXPECT_EQ(500, rc.right - rc.left);
  EXPECT_EQ(300, rc.bottom - rc.top);
  EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 500) / 2, rc.left);
  EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 300) / 2, rc.top);

  // A second request while one is shown changes nothing.
  SplashWindow::ShowSplash(nullptr);
  EXPECT_EQ(splash, SplashWindow::GetSplashWindow());
}

TEST_F(SplashWindowTest, KeyOrMousePressOnlyHidesTheSplash) {
  for (UINT press : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_NCLBUTTONDOWN,
                     WM_NCRBUTTONDOWN, WM_NCMBUTTONDOWN}) {
    SplashWindow::ShowSplash(nullptr);
    ASSERT_TRUE(SplashWindow::IsShown());
    HWND splash = SplashWindow::GetSplashWindow();
    MSG msg = MessageTo(GetDesktopWindow(), press, 'A');
    EXPECT_TRUE(SplashWindow::PreTranslateAppMessage(&msg)) << "press " << press << " must be consumed";
    EXPECT_FALSE(SplashWindow::IsShown());
    EXPECT_FALSE(IsWindow(splash));
  }
}

TEST_F(SplashWindowTest, OtherMessagesPassAndPressesPassWithoutSplash) {
  SplashWindow::ShowSplash(nullptr);
  MSG move = MessageTo(GetDesktopWindow(), WM_MOUSEMOVE);
  MSG key = MessageTo(GetDesktopWindow(), WM_KEYUP, 'A');
  EXPECT_FALSE(SplashWindow::PreTranslateAppMessage(&move));
  EXPECT_FALSE(SplashWindow::PreTranslateAppMessage(&key));
  EXPECT_TRUE(SplashWindow::IsShown());

  SplashWindow::HideSplash();
  MSG press = MessageTo(GetDesktopWindow(), WM_KEYDOWN, 'A');
  EXPECT_FALSE(SplashWindow::PreTranslateAppMessage(&press));
}

TEST_F(SplashWindowTest, DisabledSplashIsNeverShown) {
  SplashWindow::EnableSplash(false);
  SplashWindow::ShowSplash(nullptr);
  EXPECT_FALSE(SplashWindow::IsShown());
}

TEST_F(SplashWindowTest, HidesItselfAfterTwoSeconds) {
  SplashWindow::ShowSplash(nullptr);
  const DWORD start = GetTickCount();
  MSG msg{};
  while (SplashWindow::IsShown() && GetTickCount() - start < 10000) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
  EXPECT_FALSE(SplashWindow::IsShown());
  EXPECT_GE(GetTickCount() - start, 1900u);
}
