// The test dialog of the skinned controls: a modeless dialog on top of everything that counts the
// clicks it receives, keeps the notifications of its file-name edit and lets a tooltip see every
// message it handles, as a panel does.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "framework/Dialog.h"

class PanelToolTip;

namespace skin_test {

constexpr UINT kNotifyMessage = WM_APP + 7;

class SkinTestDialog : public framework::Dialog {
 public:
  SkinTestDialog();
  // Creates the dialog, visible and topmost at (x, y) of the screen.
  bool Open(int x = 40, int y = 40);
  void SetToolTip(PanelToolTip* toolTip) { m_pToolTip = toolTip; }

  std::map<int, int> m_mapClicks;             // button id -> BN_CLICKED count
  std::vector<WPARAM> m_vecNotifications;     // codes of kNotifyMessage

 protected:
  bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  PanelToolTip* m_pToolTip = nullptr;
};

// Paints what is pending in the dialog now.
void PaintNow(HWND window);
// The colour at a client point of a window, as shown.
COLORREF PixelAt(HWND window, int x, int y);

}  // namespace skin_test
