#include "SkinTestDialog.h"

#include "SkinTestResources.h"
#include "framework/Handles.h"
#include "ui/PanelToolTip.h"

namespace skin_test {

SkinTestDialog::SkinTestDialog() : framework::Dialog(IDD_SKIN_TEST) {}

bool SkinTestDialog::Open(int x, int y) {
  if (!Create(nullptr)) return false;
  // Other windows on the display must not cover the controls the tests point at and read back.
  ::SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  PaintNow(m_hWnd);
  return true;
}

bool SkinTestDialog::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (m_pToolTip != nullptr) m_pToolTip->CheckAutoHide(msg);
  return framework::Dialog::ProcessMessage(msg, wParam, lParam, result);
}

bool SkinTestDialog::OnCommand(WORD id, WORD code, HWND control) {
  if (code == BN_CLICKED) {
    ++m_mapClicks[id];
    return true;
  }
  return framework::Dialog::OnCommand(id, code, control);
}

bool SkinTestDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != kNotifyMessage) return false;
  m_vecNotifications.push_back(wParam);
  result = 0;
  return true;
}

void PaintNow(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_ERASENOW | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

COLORREF PixelAt(HWND window, int x, int y) {
  framework::WindowDC dc(window);
  return ::GetPixel(dc, x, y);
}

}  // namespace skin_test
