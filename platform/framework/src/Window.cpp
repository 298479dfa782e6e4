#include "framework/Window.h"

#include <mutex>
#include <unordered_map>
#include <vector>

#include "WindowBinding.h"

namespace framework {

namespace {

// The bound objects of this process's windows, beside the window property that names them: every
// message of a bound window looks its object up, and a window property lives in the window system
// (a round trip to its server on some hosts), while this table is the process's own.
class BindingTable {
 public:
  static Window* Find(HWND window) {
    std::lock_guard lock(Mutex());
    const auto found = Map().find(window);
    return found != Map().end() ? found->second : nullptr;
  }
  static void Set(HWND window, Window* object) {
    std::lock_guard lock(Mutex());
    Map()[window] = object;
  }
  static void Erase(HWND window) {
    std::lock_guard lock(Mutex());
    Map().erase(window);
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex s_mutex;
    return s_mutex;
  }
  static std::unordered_map<HWND, Window*>& Map() {
    static std::unordered_map<HWND, Window*> s_map;
    return s_map;
  }
};

}  // namespace

Window* Window::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  return BindingTable::Find(window);
}

void Window::Bind(HWND window) {
  m_hWnd = window;
  ::SetPropW(window, kObjectProperty, static_cast<HANDLE>(this));
  BindingTable::Set(window, this);
}

void Window::Unbind() {
  if (m_hWnd != nullptr && FromHandle(m_hWnd) == this) {
    ::RemovePropW(m_hWnd, kObjectProperty);
    BindingTable::Erase(m_hWnd);
  }
  m_hWnd = nullptr;
}

BOOL Window::PreTranslateMessage(MSG*) { return FALSE; }

bool Window::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

namespace {
std::wstring TextOf(HWND window) {
  if (window == nullptr) return std::wstring();
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int copied = ::GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

bool SetTextIfChanged(HWND window, const std::wstring& text) {
  if (window == nullptr || TextOf(window) == text) return false;
  ::SetWindowTextW(window, text.c_str());
  return true;
}
}  // namespace

std::wstring Window::GetWindowText() const { return TextOf(m_hWnd); }

void Window::SetWindowText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }

bool Window::SetWindowTextIfChanged(const std::wstring& text) { return SetTextIfChanged(m_hWnd, text); }

std::wstring Window::GetDlgItemText(int id) const { return TextOf(GetDlgItem(id)); }

void Window::SetDlgItemText(int id, const std::wstring& text) { ::SetDlgItemTextW(m_hWnd, id, text.c_str()); }

bool Window::SetDlgItemTextIfChanged(int id, const std::wstring& text) {
  return SetTextIfChanged(GetDlgItem(id), text);
}

UINT Window::GetDlgItemInt(int id, bool* ok, bool isSigned) const {
  BOOL translated = FALSE;
  const UINT value = ::GetDlgItemInt(m_hWnd, id, &translated, isSigned ? TRUE : FALSE);
  if (ok != nullptr) *ok = translated != FALSE;
  return value;
}

void Window::SetDlgItemInt(int id, UINT value, bool isSigned) {
  ::SetDlgItemInt(m_hWnd, id, value, isSigned ? TRUE : FALSE);
}

bool Window::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED; }

void Window::CheckDlgButton(int id, bool checked) {
  ::CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Window::CheckRadioButton(int firstId, int lastId, int checkId) {
  ::CheckRadioButton(m_hWnd, firstId, lastId, checkId);
}

void Window::EnableDlgItem(int id, bool enable) {
  if (HWND item = GetDlgItem(id)) ::EnableWindow(item, enable ? TRUE : FALSE);
}

namespace {
bool ModifyLong(HWND window, int index, DWORD remove, DWORD add, UINT swpFlags) {
  if (window == nullptr) return false;
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, index));
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return false;
  ::SetWindowLongPtrW(window, index, static_cast<LONG_PTR>(changed));
  if (swpFlags != 0) {
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
  }
  return true;
}
}  // namespace

bool Window::ModifyStyle(HWND window, DWORD remove, DWORD add, UINT swpFlags) {
  return ModifyLong(window, GWL_STYLE, remove, add, swpFlags);
}

bool Window::ModifyStyleEx(HWND window, DWORD remove, DWORD add, UINT swpFlags) {
  return ModifyLong(window, GWL_EXSTYLE, remove, add, swpFlags);
}

BOOL WalkPreTranslateTree(MSG* msg) {
  for (HWND window = msg->hwnd; window != nullptr;) {
    if (Window* object = Window::FromHandle(window)) {
      if (object->PreTranslateMessage(msg)) return TRUE;
    }
    // A modal dialog or a pop-up ends the walk: its owner must not see keys meant for it.
    if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0) break;
    window = ::GetParent(window);
  }
  return FALSE;
}

}  // namespace framework
