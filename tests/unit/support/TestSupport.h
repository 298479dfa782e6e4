// Helpers of the tests of windows: message pumping, pointer and key input, and a surface that
// bitmap buttons draw on.
#pragma once

#include <windows.h>

#include <optional>

#include "MessagePump.h"
#include "framework/BitmapButton.h"
#include "framework/Handles.h"

namespace testsupport {

// Makes `window` the window the system finds at its client point `client` and puts the mouse
// there: raises its top-level window above the others (windows of other programs on the same
// display may lie over it) until the system reports `window` at that point. Returns the point in
// screen coordinates, or nothing when another window kept covering it.
std::optional<POINT> PointMouseAt(HWND window, POINT client, DWORD timeoutMs = 3000);

// Sends a key press (WM_KEYDOWN then WM_KEYUP) to `window` through the queue.
void PostKey(HWND window, WPARAM key);

// A white surface of the screen's format on which a bitmap button draws one state.
class DrawSurface {
 public:
  explicit DrawSurface(int width = 32, int height = 16);
  void Clear();
  // Draws `state` with the item rectangle starting at `left`.
  void Draw(framework::BitmapButton& button, UINT state, int left = 0);
  COLORREF At(int x, int y) const { return ::GetPixel(m_dc, x, y); }
  HDC Get() const { return m_dc.Get(); }

 private:
  RECT m_rcAll;
  framework::WindowDC m_screen;
  framework::MemoryDC m_dc;
  framework::BitmapHolder m_bitmap;
  framework::SelectObjectScope m_select;
};

}  // namespace testsupport
