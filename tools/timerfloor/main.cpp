// plover-timer-floor: a window that runs the window timers Plover.exe keeps in one situation and
// does nothing on their ticks, for SECONDS. Under Wine every tick is a wake of the thread and calls
// into the Wine server, so this is the least processor time the program can spend in that
// situation while its timers keep their periods; the benchmarks print it beside the program's.
//   plover-timer-floor record|play|idle-record|idle-play|graph SECONDS
//     record: recording on the record tab (the record graph's 10 ms; the record panel's 50 ms
//             counters, 50 ms level meter, 125 ms icon, 100 ms title and two 1 s ticks; the main
//             panel's 100 ms device and 250 ms blink timers; the file list's 100 ms)
//     play:   playing on the play tab (the play graph's 10 ms; 100 ms device, 250 ms blink, 100 ms list)
//     idle-record, idle-play: a ready camcorder, not recording, on that tab (the level meter's
//             50 ms and the two 1 s ticks on the record tab; 100 ms device, 250 ms blink, 100 ms list)
//     graph:  the graphs' 10 ms timer alone
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

constexpr UINT_PTR kEndTimerId = 1;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER) {
    if (wParam == kEndTimerId) ::DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

std::vector<UINT> PeriodsOf(const wchar_t* pszSet) {
  if (std::wcscmp(pszSet, L"record") == 0) return {10, 50, 50, 125, 100, 1000, 1000, 100, 250, 100};
  if (std::wcscmp(pszSet, L"play") == 0) return {10, 100, 250, 100};
  if (std::wcscmp(pszSet, L"idle-record") == 0) return {50, 1000, 1000, 100, 250, 100};
  if (std::wcscmp(pszSet, L"idle-play") == 0) return {100, 250, 100};
  if (std::wcscmp(pszSet, L"graph") == 0) return {10};
  return {};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<UINT> periods = argc == 3 ? PeriodsOf(argv[1]) : std::vector<UINT>{};
  const int nSeconds = argc == 3 ? _wtoi(argv[2]) : 0;
  if (periods.empty() || nSeconds <= 0) {
    std::fwprintf(stderr, L"usage: plover-timer-floor record|play|idle-record|idle-play|graph SECONDS\n");
    return 2;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = FloorProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"PloverTimerFloor";
  if (::RegisterClassW(&wc) == 0) return 1;
  HWND hwnd = ::CreateWindowW(wc.lpszClassName, L"timer floor", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
  if (hwnd == nullptr) return 1;
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  for (size_t i = 0; i < periods.size(); ++i) ::SetTimer(hwnd, kEndTimerId + 1 + i, periods[i], nullptr);
  ::SetTimer(hwnd, kEndTimerId, static_cast<UINT>(nSeconds) * 1000, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
