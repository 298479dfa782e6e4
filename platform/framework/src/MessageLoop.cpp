#include "framework/MessageLoop.h"

#include "framework/App.h"
#include "framework/Window.h"

namespace framework {

void TranslateAndDispatch(MSG& msg) {
  App* app = App::Get();
  const BOOL consumed = app != nullptr ? app->PreTranslateMessage(&msg) : WalkPreTranslateTree(&msg);
  if (consumed) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

HWND FindModalOwner(const Window* parent, const Window* self) {
  HWND owner = parent != nullptr ? parent->GetSafeHwnd() : nullptr;
  if (owner == nullptr) {
    App* app = App::Get();
    Window* main = app != nullptr ? app->GetMainWindow() : nullptr;
    if (main != nullptr && main != self) owner = main->GetSafeHwnd();
  }
  if (owner == nullptr || !::IsWindow(owner)) return nullptr;
  // Only a top-level window can be disabled for the time a modal window is shown.
  return ::GetAncestor(owner, GA_ROOT);
}

bool RunModalLoop(const std::function<bool()>& keepRunning, HWND showOnIdle, int* quitCode) {
  bool idleShowPending = showOnIdle != nullptr;
  MSG msg;
  while (keepRunning()) {
    if (idleShowPending && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      // The dialog's template asked for a visible window: it appears once start-up work queued
      // during its initialisation has been handled, unless it was destroyed meanwhile.
      idleShowPending = false;
      if (::IsWindow(showOnIdle) && !::IsWindowVisible(showOnIdle)) {
        ::ShowWindow(showOnIdle, SW_SHOWNORMAL);
        ::UpdateWindow(showOnIdle);
      }
      continue;
    }
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      const int code = got == 0 ? static_cast<int>(msg.wParam) : -1;
      if (quitCode != nullptr) *quitCode = code;
      ::PostQuitMessage(code);
      return false;
    }
    TranslateAndDispatch(msg);
  }
  return true;
}

}  // namespace framework
