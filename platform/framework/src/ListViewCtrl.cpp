#include "framework/ListViewCtrl.h"

#include <vector>

namespace framework {

namespace {
// Longest item text read back; list-view items hold at most this many characters anyway.
constexpr int MaxItemText = 1024;

// An item description that names the item and the fields (LVIF_...) to read or write.
LVITEMW ItemFields(int index, UINT mask) {
  LVITEMW item{};
  item.mask = mask;
  item.iItem = index;
  return item;
}
}  // namespace

int ListViewCtrl::GetItemCount() const {
  return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

int ListViewCtrl::InsertItem(int index, const std::wstring& text, int image, LPARAM data) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  item.iImage = image;
  item.lParam = data;
  return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListViewCtrl::DeleteItem(int index) {
  return SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index)) != FALSE;
}

bool ListViewCtrl::DeleteAllItems() {
  return SendMessage(LVM_DELETEALLITEMS) != FALSE;
}

std::wstring ListViewCtrl::GetItemText(int index, int subItem) const {
  std::vector<wchar_t> buffer(MaxItemText + 1, L'\0');
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = buffer.data();
  item.cchTextMax = MaxItemText;
  const LRESULT length = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return std::wstring(item.pszText, static_cast<size_t>(length));
}

bool ListViewCtrl::SetItemText(int index, int subItem, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  return SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

LPARAM ListViewCtrl::GetItemData(int index) const {
  LVITEMW item = ItemFields(index, LVIF_PARAM);
  return GetItem(item) ? item.lParam : 0;
}

bool ListViewCtrl::SetItemData(int index, LPARAM data) {
  LVITEMW item = ItemFields(index, LVIF_PARAM);
  item.lParam = data;
  return SetItem(item);
}

int ListViewCtrl::GetItemImage(int index) const {
  LVITEMW item = ItemFields(index, LVIF_IMAGE);
  return GetItem(item) ? item.iImage : I_IMAGENONE;
}

bool ListViewCtrl::SetItemImage(int index, int image) {
  LVITEMW item = ItemFields(index, LVIF_IMAGE);
  item.iImage = image;
  return SetItem(item);
}

bool ListViewCtrl::GetItem(LVITEMW& item) const {
  return SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

bool ListViewCtrl::SetItem(LVITEMW& item) {
  return SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
}

int ListViewCtrl::FindItemByData(LPARAM data) const {
  LVFINDINFOW find{};
  find.flags = LVFI_PARAM;
  find.lParam = data;
  return static_cast<int>(SendMessage(LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int ListViewCtrl::InsertColumn(int index, const std::wstring& heading, int width, int format) {
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<wchar_t*>(heading.c_str());
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

bool ListViewCtrl::DeleteColumn(int index) {
  return SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(index)) != FALSE;
}

int ListViewCtrl::GetColumnWidth(int index) const {
  return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(index)));
}

HIMAGELIST ListViewCtrl::SetImageList(HIMAGELIST imageList, int which) {
  return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(imageList)));
}

HIMAGELIST ListViewCtrl::GetImageList(int which) const {
  return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(which)));
}

DWORD ListViewCtrl::GetExtendedStyle() const {
  return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

DWORD ListViewCtrl::SetExtendedStyle(DWORD mask, DWORD style) {
  return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, mask, style));
}

HWND ListViewCtrl::GetToolTips() const {
  return reinterpret_cast<HWND>(SendMessage(LVM_GETTOOLTIPS));
}

HWND ListViewCtrl::SetToolTips(HWND toolTip) {
  return reinterpret_cast<HWND>(SendMessage(LVM_SETTOOLTIPS, reinterpret_cast<WPARAM>(toolTip)));
}

int ListViewCtrl::HitTest(POINT point, UINT* flags) const {
  LVHITTESTINFO info{};
  info.pt = point;
  const int index = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
  if (flags != nullptr) *flags = info.flags;
  return index;
}

bool ListViewCtrl::GetItemRect(int index, RECT* rect, int part) const {
  if (rect == nullptr) return false;
  rect->left = part;
  return SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)) != FALSE;
}

int ListViewCtrl::GetTopIndex() const {
  return static_cast<int>(SendMessage(LVM_GETTOPINDEX));
}

int ListViewCtrl::GetCountPerPage() const {
  return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE));
}

bool ListViewCtrl::EnsureVisible(int index, bool partialOk) {
  return SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk ? TRUE : FALSE) != FALSE;
}

DWORD ListViewCtrl::SetIconSpacing(int cx, int cy) {
  return static_cast<DWORD>(SendMessage(LVM_SETICONSPACING, 0, MAKELPARAM(cx, cy)));
}

bool ListViewCtrl::Arrange(UINT code) {
  return SendMessage(LVM_ARRANGE, code) != FALSE;
}

bool ListViewCtrl::SetBkColor(COLORREF color) {
  return SendMessage(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(color)) != FALSE;
}

COLORREF ListViewCtrl::GetBkColor() const {
  return static_cast<COLORREF>(SendMessage(LVM_GETBKCOLOR));
}

bool ListViewCtrl::SetTextColor(COLORREF color) {
  return SendMessage(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color)) != FALSE;
}

COLORREF ListViewCtrl::GetTextColor() const {
  return static_cast<COLORREF>(SendMessage(LVM_GETTEXTCOLOR));
}

bool ListViewCtrl::SetTextBkColor(COLORREF color) {
  return SendMessage(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(color)) != FALSE;
}

UINT ListViewCtrl::GetItemState(int index, UINT mask) const {
  return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
}

bool ListViewCtrl::SetItemState(int index, UINT state, UINT mask) {
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  return SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) != FALSE;
}

int ListViewCtrl::GetNextItem(int start, UINT flags) const {
  return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

UINT ListViewCtrl::GetSelectedCount() const {
  return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT));
}

bool ListViewCtrl::FocusItem(int index, bool select) {
  const UINT mask = LVIS_FOCUSED | (select ? LVIS_SELECTED : 0u);
  return SetItemState(index, mask, mask);
}

void ListViewCtrl::SetRedraw(bool redraw) {
  SendMessage(WM_SETREDRAW, redraw ? TRUE : FALSE);
  if (redraw) ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool ListViewCtrl::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg != WM_NOTIFY) return Control::OnReflectedMessage(msg, wParam, lParam, result);
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (header == nullptr || header->hwndFrom != m_hWnd) return false;
  result = 0;
  switch (header->code) {
    case NM_CUSTOMDRAW:
      return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam), result);
    case LVN_ITEMCHANGED:
      return OnItemChanged(reinterpret_cast<NMLISTVIEW*>(lParam));
    case NM_CLICK:
      return OnClick(reinterpret_cast<NMITEMACTIVATE*>(lParam));
    case NM_DBLCLK:
      return OnDoubleClick(reinterpret_cast<NMITEMACTIVATE*>(lParam));
    case NM_RCLICK:
      return OnRightClick(reinterpret_cast<NMITEMACTIVATE*>(lParam));
    case LVN_KEYDOWN:
      return OnKeyDown(reinterpret_cast<NMLVKEYDOWN*>(lParam));
    case LVN_GETINFOTIPW:
      return OnGetInfoTip(reinterpret_cast<NMLVGETINFOTIPW*>(lParam));
    default:
      return false;
  }
}

bool ListViewCtrl::OnCustomDraw(NMLVCUSTOMDRAW*, LRESULT&) { return false; }
bool ListViewCtrl::OnItemChanged(NMLISTVIEW*) { return false; }
bool ListViewCtrl::OnClick(NMITEMACTIVATE*) { return false; }
bool ListViewCtrl::OnDoubleClick(NMITEMACTIVATE*) { return false; }
bool ListViewCtrl::OnRightClick(NMITEMACTIVATE*) { return false; }
bool ListViewCtrl::OnKeyDown(NMLVKEYDOWN*) { return false; }
bool ListViewCtrl::OnGetInfoTip(NMLVGETINFOTIPW*) { return false; }

}  // namespace framework
