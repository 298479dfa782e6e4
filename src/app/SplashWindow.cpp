#include "app/SplashWindow.h"

#include "framework/Resources.h"
#include "resource.h"

SplashWindow* SplashWindow::s_pSplash = nullptr;
bool SplashWindow::s_bSplashEnabled = true;

namespace {
const wchar_t kSplashClassName[] = L"PloverSplashWindow";
}

void SplashWindow::EnableSplash(bool enable) { s_bSplashEnabled = enable; }

bool SplashWindow::IsSplashEnabled() { return s_bSplashEnabled; }

void SplashWindow::ShowSplash(HWND parent) {
  if (!s_bSplashEnabled || s_pSplash != nullptr) return;
  auto* splash = new SplashWindow();
  if (!splash->Create(parent)) {
    delete splash;
    return;
  }
  s_pSplash = splash;
  UpdateWindow(splash->m_hWnd);
}

void SplashWindow::HideSplash() {
  if (s_pSplash == nullptr) return;
  SplashWindow* splash = s_pSplash;
  s_pSplash = nullptr;
  const HWND parent = splash->m_hParent;
  delete splash;
  if (parent != nullptr && IsWindow(parent)) UpdateWindow(parent);
}

BOOL SplashWindow::PreTranslateAppMessage(const MSG* msg) {
  if (s_pSplash == nullptr || msg == nullptr) return FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
      HideSplash();
      return TRUE;
    default:
      return FALSE;
  }
}

SplashWindow::~SplashWindow() {
  if (m_hWnd != nullptr) {
    // The window procedure must not reach this object while it is being destroyed.
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    DestroyWindow(m_hWnd);
  }
  if (m_hBitmap != nullptr) DeleteObject(m_hBitmap);
}

bool SplashWindow::Create(HWND parent) {
  m_hParent = parent;
  m_hBitmap = static_cast<HBITMAP>(
      LoadImageW(framework::GetResourceHandle(), MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (m_hBitmap == nullptr) return false;
  BITMAP info{};
  if (GetObjectW(m_hBitmap, sizeof(info), &info) == 0) return false;
  m_sizeBitmap = {info.bmWidth, info.bmHeight};

  const HINSTANCE instance = framework::GetInstanceHandle();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(instance, kSplashClassName, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &SplashWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kSplashClassName;
    if (!RegisterClassExW(&wc)) return false;
  }
  m_hWnd = CreateWindowExW(0, kSplashClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, m_sizeBitmap.cx, m_sizeBitmap.cy,
                           parent, nullptr, instance, this);
  return m_hWnd != nullptr;
}

LRESULT CALLBACK SplashWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<SplashWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);

  switch (message) {
    case WM_CREATE: {
      RECT rc{};
      GetWindowRect(hwnd, &rc);
      const int x = (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
      const int y = (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
      SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      SetTimer(hwnd, kHideTimerId, kHideAfterMs, nullptr);
      return 0;
    }
    case WM_PAINT:
      self->OnPaint();
      return 0;
    case WM_TIMER:
      if (wParam == kHideTimerId) {
        HideSplash();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void SplashWindow::OnPaint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(m_hWnd, &ps);
  HDC memory = CreateCompatibleDC(dc);
  if (memory != nullptr) {
    HGDIOBJ previous = SelectObject(memory, m_hBitmap);
    BitBlt(dc, 0, 0, m_sizeBitmap.cx, m_sizeBitmap.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
  }
  EndPaint(m_hWnd, &ps);
}
