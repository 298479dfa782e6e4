// Helpers shared by the framework tests: message pumping with a time limit.
#pragma once

#include <windows.h>

#include <functional>

namespace framework_test {

// Pumps messages (through the framework's translation) until `done` holds or `timeoutMs` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000);

// Sends a key press (WM_KEYDOWN then WM_KEYUP) to `window` through the queue.
void PostKey(HWND window, WPARAM key);

}  // namespace framework_test
