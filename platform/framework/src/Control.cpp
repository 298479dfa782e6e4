#include "framework/Control.h"

#include <utility>

#include "WindowBinding.h"

namespace framework {
namespace {
constexpr const wchar_t* kFrameworkWindowClass = L"PloverFrameworkWindow";

// The object whose own-class window is being created on this thread; it takes the first message.
thread_local Control* t_pCreating = nullptr;

bool RegisterFrameworkClass(WNDPROC procedure) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(GetModuleHandleW(nullptr), kFrameworkWindowClass, &existing)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  windowClass.lpszClassName = kFrameworkWindowClass;
  return ::RegisterClassExW(&windowClass) != 0;
}
}  // namespace

Control::~Control() {
  // The derived parts are gone already: the window is let go first, so that no message of its
  // destruction reaches a handler of this object.
  HWND window = m_hWnd;
  const bool owned = m_bOwnsWindow;
  Unsubclass();
  if (owned && ::IsWindow(window)) ::DestroyWindow(window);
}

bool Control::SubclassDlgItem(int id, HWND parent) {
  HWND item = ::GetDlgItem(parent, id);
  return item != nullptr && Subclass(item);
}

bool Control::Subclass(HWND window) {
  if (window == nullptr || m_hWnd != nullptr) return false;
  if (FromHandle(window) != nullptr) return false;  // already bound to another object
  // A procedure of ours still sits in the window's chain under someone else's subclass; a second
  // one would find the new object from both places and call it in a circle.
  if (::GetPropW(window, kOldProcProperty) != nullptr) return false;
  Bind(window);
  // The old procedure is stored before the new one is installed, so no message finds it missing.
  const auto oldProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
  ::SetPropW(window, kOldProcProperty, reinterpret_cast<HANDLE>(oldProc));
  m_pfnOldProc = oldProc;
  ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::StaticWindowProc));
  OnSubclassed();
  return true;
}

bool Control::Create(DWORD exStyle, const wchar_t* className, const std::wstring& title, DWORD style,
                     const RECT& rect, HWND parent, UINT_PTR id) {
  if (m_hWnd != nullptr) return false;
  const bool ownClass = className == nullptr;
  if (ownClass && !RegisterFrameworkClass(&Control::StaticWindowProc)) return false;
  if (ownClass) t_pCreating = this;
  HWND window = ::CreateWindowExW(exStyle, ownClass ? kFrameworkWindowClass : className, title.c_str(), style,
                                  rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(id), ::GetModuleHandleW(nullptr), nullptr);
  t_pCreating = nullptr;
  if (window == nullptr) return false;
  if (!ownClass && !Subclass(window)) {
    ::DestroyWindow(window);
    return false;
  }
  m_bOwnsWindow = true;
  return true;
}

BOOL Control::DestroyWindow() { return m_hWnd != nullptr ? ::DestroyWindow(m_hWnd) : FALSE; }

void Control::Unsubclass() {
  if (m_hWnd == nullptr) return;
  HWND window = m_hWnd;
  const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
  if (current == &Control::StaticWindowProc) {
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnOldProc));
    ::RemovePropW(window, kOldProcProperty);
  }
  // Otherwise someone subclassed the window after us; our procedure stays in their chain and forwards
  // to the old procedure through the property, now that no object is bound.
  Unbind();
  m_pfnOldProc = nullptr;
  m_bOwnsWindow = false;
}

LRESULT Control::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultProc(msg, wParam, lParam); }

LRESULT Control::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (m_pfnOldProc == nullptr) return ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
  return ::CallWindowProcW(m_pfnOldProc, m_hWnd, msg, wParam, lParam);
}

LRESULT CALLBACK Control::StaticWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<Control*>(FromHandle(window));
  // A bound object holds the old procedure itself: the property is read only when the object is
  // gone or the window is going.
  if (self != nullptr && msg != WM_NCDESTROY) return self->WindowProc(msg, wParam, lParam);
  if (self == nullptr && t_pCreating != nullptr && ::GetPropW(window, kOldProcProperty) == nullptr) {
    // The first message of a window of the framework's class: bind the object that creates it.
    self = std::exchange(t_pCreating, nullptr);
    self->Bind(window);
    self->m_pfnOldProc = &::DefWindowProcW;
    ::SetPropW(window, kOldProcProperty, reinterpret_cast<HANDLE>(&::DefWindowProcW));
  }
  const auto oldProc = reinterpret_cast<WNDPROC>(::GetPropW(window, kOldProcProperty));
  if (msg == WM_NCDESTROY) {
    // The window goes away: hand it its own procedure back before it sees its last message.
    if (reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC)) == &Control::StaticWindowProc) {
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc));
    }
    ::RemovePropW(window, kOldProcProperty);
    LRESULT result = 0;
    if (self != nullptr) {
      result = self->WindowProc(msg, wParam, lParam);
      self->Unbind();
      self->m_pfnOldProc = nullptr;
      self->m_bOwnsWindow = false;
      self->OnFinalDestroy();
    } else if (oldProc != nullptr) {
      result = ::CallWindowProcW(oldProc, window, msg, wParam, lParam);
    }
    return result;
  }
  if (self != nullptr) return self->WindowProc(msg, wParam, lParam);
  if (oldProc != nullptr) return ::CallWindowProcW(oldProc, window, msg, wParam, lParam);
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace framework
