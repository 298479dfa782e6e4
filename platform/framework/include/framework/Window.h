// A non-owning view over a window handle, with the dialog-item helpers every panel uses.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

class Window {
 public:
  Window() = default;
  virtual ~Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  bool IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd) != FALSE; }

  // The object bound to a window by Dialog or Control, or null for a plain window.
  static Window* FromHandle(HWND window);

  // Offered every queued message whose target is this window or one of its children before it is
  // dispatched; TRUE consumes the message.
  virtual BOOL PreTranslateMessage(MSG* msg);

  // A notification the parent received from this window (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
  // WM_CTLCOLOR...), handed back to it first. True when handled; the result is the parent's answer.
  virtual bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // Window text.
  std::wstring GetWindowText() const;
  void SetWindowText(const std::wstring& text);
  // Sets the text only when it differs from the one shown, so nothing flickers; true when changed.
  bool SetWindowTextIfChanged(const std::wstring& text);

  // Dialog items.
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  std::wstring GetDlgItemText(int id) const;
  void SetDlgItemText(int id, const std::wstring& text);
  bool SetDlgItemTextIfChanged(int id, const std::wstring& text);
  UINT GetDlgItemInt(int id, bool* ok = nullptr, bool isSigned = true) const;
  void SetDlgItemInt(int id, UINT value, bool isSigned = true);
  bool IsDlgButtonChecked(int id) const;
  void CheckDlgButton(int id, bool checked);
  void CheckRadioButton(int firstId, int lastId, int checkId);
  void EnableDlgItem(int id, bool enable);

  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL EnableWindow(bool enable) { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
  }
  BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
  }
  void Invalidate(bool erase = true) { ::InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE); }

  // Style bits: `remove` is cleared, then `add` is set. True when the style changed. With
  // `swpFlags` (SWP_FRAMECHANGED for a frame bit) the window is told of the change at once, without
  // moving, sizing, reordering or activating it.
  bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) { return ModifyStyle(m_hWnd, remove, add, swpFlags); }
  bool ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0) {
    return ModifyStyleEx(m_hWnd, remove, add, swpFlags);
  }
  static bool ModifyStyle(HWND window, DWORD remove, DWORD add, UINT swpFlags = 0);
  static bool ModifyStyleEx(HWND window, DWORD remove, DWORD add, UINT swpFlags = 0);

 protected:
  // Binds this object to a window so that FromHandle finds it; Unbind undoes it.
  void Bind(HWND window);
  void Unbind();

  HWND m_hWnd = nullptr;
};

// Gives every queued message to the windows from its target up to the first top-level window, each
// through its PreTranslateMessage, innermost first. TRUE when one of them consumed the message.
BOOL WalkPreTranslateTree(MSG* msg);

}  // namespace framework
