// An owner-drawn push button drawn entirely from five bitmaps: normal, pressed, focused, disabled
// and hot (while the mouse hovers). It never erases its background, takes a double click as a
// click, and leaves uncovered the windows (labels) that lie on top of it.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/BitmapButton.h"

class SkinButton : public framework::BitmapButton {
 public:
  // LoadBitmaps (normal, pressed, focused, disabled) and LoadHotBitmap come from the framework's
  // bitmap button. A window added here is not painted over while it is visible.
  void AddOverlappingWindow(HWND window);

 protected:
  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  std::vector<HWND> m_vecOverlapping;
};
