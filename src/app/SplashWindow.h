// The start-up picture: a borderless pop-up that shows bitmap 102 centred on the screen.
#pragma once

#include <windows.h>

class SplashWindow {
 public:
  // Whether the command line allows the splash; set once at start-up.
  static void EnableSplash(bool enable);
  static bool IsSplashEnabled();

  // Creates and paints the splash unless it is disabled or one is already shown.
  static void ShowSplash(HWND parent);
  // Destroys the splash, if one is shown, and repaints the main window at once.
  static void HideSplash();
  // A key or mouse press while the splash is shown hides it and is consumed.
  static BOOL PreTranslateAppMessage(const MSG* msg);

  static bool IsShown() { return s_pSplash != nullptr; }
  static HWND GetSplashWindow() { return s_pSplash ? s_pSplash->m_hWnd : nullptr; }

 private:
  SplashWindow() = default;
  ~SplashWindow();
  bool Create(HWND parent);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();

  static constexpr UINT_PTR kHideTimerId = 1;
  static constexpr UINT kHideAfterMs = 2000;

  static SplashWindow* s_pSplash;
  static bool s_bSplashEnabled;

  HWND m_hWnd = nullptr;
  HWND m_hParent = nullptr;
  HBITMAP m_hBitmap = nullptr;
  SIZE m_sizeBitmap{};
};
