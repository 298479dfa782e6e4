// The framing aids laid over a preview picture: a small centre cross and the two safe-margin
// outlines at 5 % and 10 % inside the picture's edges. The overlay is a child window exactly on top
// of the preview whose window region holds only the marker lines, painted white, so the video shows
// through everywhere else.
#pragma once

#include <windows.h>

#include "framework/Control.h"

class PreviewOverlay : public framework::Control {
 public:
  // Takes over the overlay window (a hidden static of the panel), remembers the preview window it
  // covers, puts the preview directly behind it and builds the markers. False when the overlay
  // window cannot be taken over.
  bool Attach(HWND hOverlay, HWND hTarget);
  // Moves the overlay back onto the preview after the preview moved or changed size, and builds
  // its region anew.
  void Rebuild();

  void SetCentreMarker(bool bOn);
  void SetSafeMargin(bool bOn);
  bool GetCentreMarker() const { return m_nCentreMarker != 0; }
  bool GetSafeMargin() const { return m_nSafeMargin != 0; }

  // The marker lines for a picture of w x h pixels, in its client coordinates (empty when both are
  // off). The caller owns the region.
  static HRGN BuildMarkerRegion(int w, int h, bool bCentreMarker, bool bSafeMargin);

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint(HDC dc) const;

  HWND m_hTarget = nullptr;
  int m_nCentreMarker = 0;
  int m_nSafeMargin = 0;
};
