#include "MessagePump.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "framework/MessageLoop.h"

namespace testsupport {

namespace {

// The most messages PumpPending handles, so that a window that keeps posting cannot hold it.
constexpr int kMaxPendingMessages = 1000;

// Under Wine on an X display without a window manager, every top-level window that is hidden or
// destroyed waits two seconds for a window manager that never answers. Windows that the X driver
// does not hand to a window manager skip that wait; the setting is read when the first window is
// made, so it is written before any test runs. It only names this test program, and it comes
// with the message pump: a test program that pumps messages has windows.
class UnmanagedWindowsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + ::PathFindFileNameW(path) + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
      static const wchar_t kNo[] = L"N";
      ::RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
      ::RegCloseKey(handle);
    }
  }
};
[[maybe_unused]] ::testing::Environment* const g_unmanagedWindows =
    ::testing::AddGlobalTestEnvironment(new UnmanagedWindowsEnvironment);

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  MSG msg;
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      framework::TranslateAndDispatch(msg);
    } else {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return true;
}

void PumpPending() {
  MSG msg;
  for (int count = 0; count < kMaxPendingMessages && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++count) {
    framework::TranslateAndDispatch(msg);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
  PumpPending();
}

}  // namespace testsupport
