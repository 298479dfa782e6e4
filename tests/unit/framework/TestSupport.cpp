#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

#include "framework/MessageLoop.h"

namespace framework_test {

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

void PostKey(HWND window, WPARAM key) {
  ::PostMessageW(window, WM_KEYDOWN, key, 1);
  ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

DrawSurface::DrawSurface(int width, int height)
    : m_rcAll{0, 0, width, height},
      m_screen(nullptr),
      m_dc(m_screen),
      m_bitmap(::CreateCompatibleBitmap(m_screen, width, height)),
      m_select(m_dc, m_bitmap.Get()) {
  Clear();
}

void DrawSurface::Clear() { ::FillRect(m_dc, &m_rcAll, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))); }

void DrawSurface::Draw(framework::BitmapButton& button, UINT state, int left) {
  Clear();
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.itemState = state;
  item.hDC = m_dc;
  item.hwndItem = button.GetSafeHwnd();
  item.rcItem = RECT{left, 0, m_rcAll.right, m_rcAll.bottom};
  button.DrawItem(item);
}

std::optional<POINT> PointMouseAt(HWND window, POINT client, DWORD timeoutMs) {
  POINT screen = client;
  ::ClientToScreen(window, &screen);
  HWND top = ::GetAncestor(window, GA_ROOT);
  const bool found = PumpUntil(
      [&] {
        ::SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetCursorPos(screen.x, screen.y);
        return ::WindowFromPoint(screen) == window;
      },
      timeoutMs);
  if (!found) return std::nullopt;
  return screen;
}

}  // namespace framework_test

namespace {
// Under Wine on an X display without a window manager, every top-level window that is hidden or
// destroyed waits two seconds for a window manager that never answers. Windows that the X driver
// does not hand to a window manager skip that wait; the setting is read when the first window is
// made, so it is written before any test runs. It only names this test program.
class UnmanagedWindowsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const wchar_t* name = ::PathFindFileNameW(path);
    const std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + name + L"\\X11 Driver";
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
