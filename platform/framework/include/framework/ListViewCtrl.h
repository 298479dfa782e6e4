// The list-view common control: items with their data, columns, image lists, hit-testing, item
// rectangles, selection and focus, colours and spacing. The notifications the list sends its
// parent (WM_NOTIFY) come back to the object first, through the dialog's reflection, and reach
// the virtual On... handlers below; a handler that returns false leaves the notification to the
// parent dialog.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/Control.h"

namespace framework {

class ListViewCtrl : public Control {
 public:
  // Items.
  int GetItemCount() const;
  // Inserts an item with its text, image (I_IMAGENONE for none) and data; the new item's index,
  // or -1 on failure.
  int InsertItem(int index, const std::wstring& text, int image = I_IMAGENONE, LPARAM data = 0);
  bool DeleteItem(int index);
  bool DeleteAllItems();
  std::wstring GetItemText(int index, int subItem = 0) const;
  bool SetItemText(int index, int subItem, const std::wstring& text);
  LPARAM GetItemData(int index) const;
  bool SetItemData(int index, LPARAM data);
  int GetItemImage(int index) const;
  bool SetItemImage(int index, int image);
  // The index of the item whose data is `data`, or -1.
  int FindItemByData(LPARAM data) const;

  // Columns (report view).
  int InsertColumn(int index, const std::wstring& heading, int width, int format = LVCFMT_LEFT);
  bool DeleteColumn(int index);
  int GetColumnWidth(int index) const;

  // Image lists (LVSIL_NORMAL, LVSIL_SMALL, LVSIL_STATE); the previous list is returned, not freed.
  HIMAGELIST SetImageList(HIMAGELIST imageList, int which);
  HIMAGELIST GetImageList(int which) const;

  // Extended styles (LVS_EX_...): the previous ones are returned.
  DWORD GetExtendedStyle() const;
  DWORD SetExtendedStyle(DWORD mask, DWORD style);
  DWORD AddExtendedStyle(DWORD style) { return SetExtendedStyle(style, style); }

  // The list's own tooltip (for info tips); SetToolTips(nullptr) detaches it and returns it.
  HWND GetToolTips() const;
  HWND SetToolTips(HWND toolTip);

  // Geometry.
  // The item at a client point (flags receive LVHT_...), or -1.
  int HitTest(POINT point, UINT* flags = nullptr) const;
  // The item's rectangle of the given part (LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL, LVIR_SELECTBOUNDS).
  bool GetItemRect(int index, RECT* rect, int part) const;
  int GetTopIndex() const;
  int GetCountPerPage() const;
  bool EnsureVisible(int index, bool partialOk);
  // Icon view spacing in pixels; the previous spacing is returned (x in the low word).
  DWORD SetIconSpacing(int cx, int cy);
  bool Arrange(UINT code = LVA_DEFAULT);

  // Colours.
  bool SetBkColor(COLORREF color);
  COLORREF GetBkColor() const;
  bool SetTextColor(COLORREF color);
  COLORREF GetTextColor() const;
  bool SetTextBkColor(COLORREF color);

  // Selection and focus.
  UINT GetItemState(int index, UINT mask) const;
  bool SetItemState(int index, UINT state, UINT mask);
  // The next item after `start` (-1: from the first) with the LVNI_ flags, or -1.
  int GetNextItem(int start, UINT flags) const;
  int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
  int GetFocusedItem() const { return GetNextItem(-1, LVNI_FOCUSED); }
  UINT GetSelectedCount() const;
  // Focuses the item, and selects it too when `select` is true.
  bool FocusItem(int index, bool select);

  // Switches drawing off while many items change, and back on (which repaints).
  void SetRedraw(bool redraw);

  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 protected:
  // Reads or writes the fields that item.mask names of the item item.iItem (LVM_GETITEMW,
  // LVM_SETITEMW); false when the list refuses.
  bool GetItem(LVITEMW& item) const;
  bool SetItem(LVITEMW& item);

  // Notifications of this list, true when handled. `result` is the answer to the parent.
  virtual bool OnCustomDraw(NMLVCUSTOMDRAW* draw, LRESULT& result);
  virtual bool OnItemChanged(NMLISTVIEW* change);
  virtual bool OnClick(NMITEMACTIVATE* activate);
  virtual bool OnDoubleClick(NMITEMACTIVATE* activate);
  virtual bool OnRightClick(NMITEMACTIVATE* activate);
  virtual bool OnKeyDown(NMLVKEYDOWN* key);
  // The text of an item's info tip (LVS_EX_INFOTIP); fill tip->pszText up to tip->cchTextMax.
  virtual bool OnGetInfoTip(NMLVGETINFOTIPW* tip);
};

}  // namespace framework
