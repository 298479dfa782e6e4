// Message pumping with a time limit, for tests that wait on windows, timers and worker threads.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace testsupport {

// Pumps messages (through the framework's translation) until `done` holds or `timeoutMs` passes;
// the value of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return PumpUntil(done, static_cast<DWORD>(timeout.count()));
}

// Handles whatever is queued now.
void PumpPending();

// Pumps for `ms`, then handles what is still queued (a busy machine may end the time first).
void PumpFor(DWORD ms);
inline void PumpFor(std::chrono::milliseconds time) { PumpFor(static_cast<DWORD>(time.count())); }

}  // namespace testsupport
