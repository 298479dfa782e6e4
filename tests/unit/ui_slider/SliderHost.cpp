#include "SliderHost.h"

#include "TestSupport.h"

namespace slidertest {
namespace {

constexpr const wchar_t* kHostClass = L"SliderTestHost";
std::vector<WPARAM> g_notifications;

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kNotifyMessage) {
    g_notifications.push_back(wParam);
    return 0;
  }
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace

SliderHost::SliderHost() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &HostProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kHostClass;
  ::RegisterClassExW(&windowClass);
  m_hWnd = ::CreateWindowExW(0, kHostClass, L"Slider test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 520, 150,
                             nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetForegroundWindow(m_hWnd);
  g_notifications.clear();
}

SliderHost::~SliderHost() {
  ::DestroyWindow(m_hWnd);
  g_notifications.clear();
}

const std::vector<WPARAM>& SliderHost::Notifications() const { return g_notifications; }

void SliderHost::ClearNotifications() { g_notifications.clear(); }

void PlaceSlider(HWND slider, int x, int y, int width) {
  ::MoveWindow(slider, x, y, width, kSliderHeight, TRUE);
  ::UpdateWindow(slider);
}

void PumpPending() {
  testsupport::PumpUntil([] { return false; }, 50);
}

avitest::Bytes Make625File(size_t frames, const std::vector<size_t>& drops) {
  avitest::HandAvi layout;
  layout.dwScale = 1;
  layout.dwRate = 25;
  layout.frames = avitest::MakeFrames(frames, drops);
  return avitest::BuildAvi(layout).bytes;
}

}  // namespace slidertest
