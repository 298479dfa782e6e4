// A C++ object attached to an existing window (usually a dialog item) by replacing its window
// procedure. Messages go to the virtual WindowProc; DefaultProc calls the procedure that was replaced.
// The original procedure is put back when the window is destroyed or the object detaches.
#pragma once

#include "framework/Window.h"

namespace framework {

class Control : public Window {
 public:
  Control() = default;
  ~Control() override;

  // Attaches to the item `id` of `parent`; false when there is no such item or it is already taken.
  bool SubclassDlgItem(int id, HWND parent);
  bool Subclass(HWND window);
  // Gives the window its original procedure back and forgets it.
  void Unsubclass();
  bool IsSubclassed() const { return m_hWnd != nullptr; }

 protected:
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // Called once the window is attached, before any message reaches WindowProc.
  virtual void OnSubclassed() {}
  // Called after the window has been destroyed and the original procedure restored.
  virtual void OnFinalDestroy() {}

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

  WNDPROC m_pfnOldProc = nullptr;
};

}  // namespace framework
