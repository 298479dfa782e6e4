// Pictures of the screen as the program shows them: a window's rectangle read back from the
// display, compared with a bitmap of the program's resources, and saved for a person to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Pixels as 0x00RRGGBB, row by row from the top.
struct Picture {
  int nWidth = 0;
  int nHeight = 0;
  std::vector<uint32_t> vecPixels;

  bool Empty() const { return vecPixels.empty(); }
  bool operator==(const Picture&) const = default;
};

// A rectangle of the screen.
Picture CaptureScreen(const RECT& screenRect);
// A rectangle of a window's client area, in client coordinates.
Picture CaptureClient(HWND window, const RECT& clientRect);
// A window with its frame.
Picture CaptureWindow(HWND window);
// A bitmap resource of a program or library file, without running it.
Picture LoadBitmapResource(const std::wstring& modulePath, UINT bitmapId);
// Writes a 24-bit bitmap file; false when it cannot be written.
bool SavePicture(const Picture& picture, const std::wstring& path);

}  // namespace e2e
