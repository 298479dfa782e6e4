// Owning holders for kernel handles and GDI objects, and scopes that undo what they did.
// Holders are move-only: exactly one of them frees what it holds.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace framework {

// A kernel handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : m_hHandle(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : m_hHandle(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return m_hHandle; }
  bool IsValid() const { return m_hHandle != nullptr && m_hHandle != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return IsValid(); }
  // Gives up ownership without closing.
  HANDLE Release() { return std::exchange(m_hHandle, nullptr); }
  void Reset(HANDLE handle = nullptr) {
    const HANDLE old = std::exchange(m_hHandle, handle);
    if (old != nullptr && old != INVALID_HANDLE_VALUE && old != handle) ::CloseHandle(old);
  }

 private:
  HANDLE m_hHandle = nullptr;
};

// An object freed by `Free` (a function object taking the handle); null means "none".
template <class Handle, class Free>
class UniqueObject {
 public:
  UniqueObject() = default;
  explicit UniqueObject(Handle object) : m_hObject(object) {}
  ~UniqueObject() { Reset(); }
  UniqueObject(UniqueObject&& other) noexcept : m_hObject(other.Release()) {}
  UniqueObject& operator=(UniqueObject&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueObject(const UniqueObject&) = delete;
  UniqueObject& operator=(const UniqueObject&) = delete;

  Handle Get() const { return m_hObject; }
  explicit operator bool() const { return m_hObject != nullptr; }
  Handle Release() { return std::exchange(m_hObject, nullptr); }
  void Reset(Handle object = nullptr) {
    const Handle old = std::exchange(m_hObject, object);
    if (old != nullptr && old != object) Free()(old);
  }

 private:
  Handle m_hObject = nullptr;
};

struct DeleteGdiObject {
  void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DestroyIconHandle {
  void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
struct DestroyImageList {
  void operator()(HIMAGELIST list) const { ::ImageList_Destroy(list); }
};
struct DestroyMenuHandle {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};

// A GDI object (HBITMAP, HFONT, HBRUSH, HRGN, HPEN) deleted with DeleteObject.
template <class Handle>
using GdiObject = UniqueObject<Handle, DeleteGdiObject>;

using BitmapHolder = GdiObject<HBITMAP>;
using FontHolder = GdiObject<HFONT>;
using BrushHolder = GdiObject<HBRUSH>;
using RegionHolder = GdiObject<HRGN>;
using PenHolder = GdiObject<HPEN>;
// An icon made by LoadImage without LR_SHARED, or by CreateIconIndirect.
using IconHolder = UniqueObject<HICON, DestroyIconHandle>;
using ImageListHolder = UniqueObject<HIMAGELIST, DestroyImageList>;
// A menu made by LoadMenu or CreateMenu that no window holds (DestroyMenu frees its sub-menus too).
using MenuHolder = UniqueObject<HMENU, DestroyMenuHandle>;

// Selects an object into a device context and selects the previous one back when it ends.
// Regions are not selected this way (SelectObject answers them with a complexity, not an object).
class SelectObjectScope {
 public:
  SelectObjectScope(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hPrevious(::SelectObject(dc, object)) {}
  SelectObjectScope(HDC dc, HRGN region) = delete;
  ~SelectObjectScope() {
    if (m_hPrevious != nullptr && m_hPrevious != HGDI_ERROR) ::SelectObject(m_hDC, m_hPrevious);
  }
  SelectObjectScope(const SelectObjectScope&) = delete;
  SelectObjectScope& operator=(const SelectObjectScope&) = delete;

  // False when the object could not be selected.
  bool IsSelected() const { return m_hPrevious != nullptr && m_hPrevious != HGDI_ERROR; }
  HGDIOBJ GetPrevious() const { return m_hPrevious; }

 private:
  HDC m_hDC;
  HGDIOBJ m_hPrevious;
};

// The device context of a window's client area (GetDC / ReleaseDC); null window = the screen.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : m_hWnd(window), m_hDC(::GetDC(window)) {}
  ~WindowDC() {
    if (m_hDC != nullptr) ::ReleaseDC(m_hWnd, m_hDC);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

 private:
  HWND m_hWnd;
  HDC m_hDC;
};

// A memory device context compatible with another one (CreateCompatibleDC / DeleteDC).
class MemoryDC {
 public:
  explicit MemoryDC(HDC compatibleWith) : m_hDC(::CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDC() {
    if (m_hDC != nullptr) ::DeleteDC(m_hDC);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC Get() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

 private:
  HDC m_hDC;
};

// Painting in WM_PAINT (BeginPaint / EndPaint).
class PaintDC {
 public:
  explicit PaintDC(HWND window) : m_hWnd(window), m_hDC(::BeginPaint(window, &m_psPaint)) {}
  ~PaintDC() { ::EndPaint(m_hWnd, &m_psPaint); }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  HDC Get() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  const PAINTSTRUCT& GetPaintStruct() const { return m_psPaint; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_psPaint{};
  HDC m_hDC;
};

}  // namespace framework
