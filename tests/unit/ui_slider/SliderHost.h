// A top-level test window that owns time sliders and records the notifications they send it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "AviTestFiles.h"

namespace slidertest {

// The notification message the play panel gives its slider.
constexpr UINT kNotifyMessage = WM_APP + 10;
// The play panel's slider size; with its sunken edge the client area is 480 pixels wide.
constexpr int kSliderWidth = 484;
constexpr int kSliderHeight = 51;

class SliderHost {
 public:
  SliderHost();
  ~SliderHost();
  SliderHost(const SliderHost&) = delete;
  SliderHost& operator=(const SliderHost&) = delete;

  HWND Get() const { return m_hWnd; }
  // Codes of the notifications received so far, oldest first.
  const std::vector<WPARAM>& Notifications() const;
  void ClearNotifications();

 private:
  HWND m_hWnd = nullptr;
};

// Places a slider as the play panel does, at (x, y) of its parent.
void PlaceSlider(HWND slider, int x, int y, int width = kSliderWidth);

// Lets the queued messages run.
void PumpPending();

// A 625/50 Type 1 file of `frames` frames with the given frames dropped.
avitest::Bytes Make625File(size_t frames, const std::vector<size_t>& drops);

}  // namespace slidertest
