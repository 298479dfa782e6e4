// The tooltip control of a panel: relays the panel's mouse messages to its tools, and shows a
// tracking balloon anchored to a control that hides itself on a key press, a focus change, or a
// move or resize of the panel.
#pragma once

#include <windows.h>

#include "framework/ToolTipCtrl.h"

class PanelToolTip : public framework::ToolTipCtrl {
 public:
  // ShowBalloon flags: the icon in the low four bits (0 none, 1 information, 2 warning, 3 error),
  // the hide conditions, and where the tip points on the anchor (centre unless given).
  static constexpr UINT kHideOnKey = 0x10;
  static constexpr UINT kHideOnFocusChange = 0x20;
  static constexpr UINT kHideOnMove = 0x40;
  static constexpr UINT kHideOnSize = 0x80;
  static constexpr UINT kAnchorLeft = 0x100;
  static constexpr UINT kAnchorRight = 0x400;
  static constexpr UINT kAnchorTop = 0x800;
  static constexpr UINT kAnchorBottom = 0x2000;

  // Mouse moves and button presses and releases go to the tooltip; then CheckAutoHide.
  void RelayEvent(const MSG* msg);
  // Hides a shown balloon whose hide condition the message meets.
  void CheckAutoHide(UINT message);
  void SetBalloonColors(COLORREF background, COLORREF text, DWORD styleBits);
  void ShowBalloon(HWND anchor, UINT textId, UINT titleId, UINT flags);
  void HideBalloon(HWND window);
  // The window of the shown balloon (the tooltip's owner), or null.
  HWND GetBalloonWindow() const { return m_hBalloonWindow; }

 private:
  // What a balloon changed, so that HideBalloon can put it back.
  void RestoreAfterBalloon();

  HWND m_hBalloonWindow = nullptr;
  HWND m_hFocusAtShow = nullptr;
  bool m_bHideOnKey = false;
  bool m_bHideOnFocusChange = false;
  bool m_bHideOnMove = false;
  bool m_bHideOnSize = false;
  bool m_bToolAdded = false;
  bool m_bTitleSet = false;
  bool m_bStyleSaved = false;
  bool m_bColorsSaved = false;
  bool m_bCustomColors = false;
  COLORREF m_crSavedBk = 0;
  COLORREF m_crSavedText = 0;
  COLORREF m_crCustomBk = 0;
  COLORREF m_crCustomText = 0;
  LONG_PTR m_nSavedStyle = 0;
  DWORD m_dwBalloonStyle = TTS_BALLOON;
};
