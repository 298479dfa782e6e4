// A C++ object that handles the messages of one window: either an existing window (usually a
// dialog item) whose window procedure it replaces, or a window it creates itself. Messages go to the
// virtual WindowProc; DefaultProc calls the procedure that was replaced (DefWindowProc for a window
// of the framework's own class). The original procedure is put back when the window is destroyed
// or the object detaches. A window the object created itself (Create) is destroyed with the object;
// a window it only subclassed stays.
#pragma once

#include <string>

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
  // True while the object holds a window it created itself.
  bool OwnsWindow() const { return m_bOwnsWindow; }

  // Creates a window of the framework's own class (className null: arrow cursor, double clicks,
  // no background) whose every message, WM_NCCREATE and WM_CREATE included, reaches WindowProc; or
  // a window of a system class, attached as soon as it exists. `id` is the child identifier or menu.
  // The object owns the window: its destructor destroys it.
  bool Create(DWORD exStyle, const wchar_t* className, const std::wstring& title, DWORD style, const RECT& rect,
              HWND parent, UINT_PTR id = 0);
  BOOL DestroyWindow();

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
  bool m_bOwnsWindow = false;
};

}  // namespace framework
