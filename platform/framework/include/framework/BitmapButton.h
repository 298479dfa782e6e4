// An owner-drawn push button drawn from bitmaps of the resource module: normal, pressed (selected),
// focused, disabled and hot (while the mouse hovers over it). Derived buttons choose and draw
// differently by overriding ChooseBitmap or DrawItem; the parent's WM_DRAWITEM reaches the button
// through the dialog's reflection.
#pragma once

#include <windows.h>

#include "framework/Control.h"
#include "framework/Handles.h"

namespace framework {

class BitmapButton : public Control {
 public:
  // Replaces the four bitmaps (0 = none). False when the normal one or a requested one cannot be
  // loaded; what could be loaded is kept, and a missing state falls back to the normal bitmap.
  bool LoadBitmaps(UINT normalId, UINT selectedId = 0, UINT focusedId = 0, UINT disabledId = 0);
  // Replaces the hot bitmap (0 removes it; without one the button does not track the mouse). False
  // when a requested bitmap cannot be loaded.
  bool LoadHotBitmap(UINT hotId);
  // Sizes the button to its normal bitmap.
  void SizeToContent();

  HBITMAP GetNormalBitmap() const { return m_bmpNormal.Get(); }
  HBITMAP GetSelectedBitmap() const { return m_bmpSelected.Get(); }
  HBITMAP GetFocusedBitmap() const { return m_bmpFocused.Get(); }
  HBITMAP GetDisabledBitmap() const { return m_bmpDisabled.Get(); }
  HBITMAP GetHotBitmap() const { return m_bmpHot.Get(); }
  // True while the mouse is over the button and the button shows its hot state.
  bool IsHovering() const { return m_bHovering; }

  // Draws one state; called for the reflected WM_DRAWITEM.
  virtual void DrawItem(const DRAWITEMSTRUCT& item);

  // A bitmap of the resource module as a device-independent section, or null.
  static HBITMAP LoadResourceBitmap(UINT id);
  // Copies `bitmap` unscaled to `dc` at (x, y); false when there is nothing to draw.
  static bool DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);

 protected:
  // The bitmap for an item state (ODS_ flags): hot while hovering over a button neither pressed nor
  // disabled, else pressed, else focused, else disabled, else normal, each only when it exists. Null
  // when there is no normal bitmap.
  virtual HBITMAP ChooseBitmap(UINT itemState) const;

  void OnSubclassed() override;
  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Hover tracking: mouse moves and the mouse-leave notification.
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  BitmapHolder m_bmpNormal;
  BitmapHolder m_bmpSelected;
  BitmapHolder m_bmpFocused;
  BitmapHolder m_bmpDisabled;
  BitmapHolder m_bmpHot;

 private:
  void TrackHover(LPARAM clientPoint, WPARAM keys);
  void SetHovering(bool hovering);

  bool m_bHovering = false;
};

}  // namespace framework
