#include "ui/SkinLayout.h"

#include <vector>

#include "framework/BitmapButton.h"
#include "framework/Resources.h"
#include "framework/Window.h"
#include "ui/PanelToolTip.h"

SkinLayout::~SkinLayout() {
  for (const auto& [control, picture] : m_mapPicture) {
    // A static that still shows the picture must not paint a freed bitmap.
    if (::IsWindow(control) &&
        reinterpret_cast<HBITMAP>(::SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0)) == picture) {
      ::SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, 0);
    }
  }
}

bool SkinLayout::Init(HWND parent, const SkinLayoutRecord* table, int rowCount, PanelToolTip* toolTip) {
  m_hParent = parent;
  m_pTable = table;
  m_nRowCount = table != nullptr && rowCount > 0 ? rowCount : 0;
  m_pToolTip = toolTip;
  m_mapFirstRow.clear();
  m_mapVariant.clear();
  m_mapControl.clear();

  std::vector<int> controlIds;
  HWND previous = HWND_BOTTOM;
  for (int index = 0; index < m_nRowCount; ++index) {
    const SkinLayoutRecord& row = m_pTable[index];
    if (!m_mapFirstRow.emplace(row.nControlId, index).second) continue;
    controlIds.push_back(row.nControlId);
    HWND control = ::GetDlgItem(m_hParent, row.nControlId);
    if (control == nullptr) continue;
    if (row.nKind == kSkinPicture) {
      framework::Window::ModifyStyle(control, SS_TYPEMASK, SS_BITMAP);
      framework::Window::ModifyStyleEx(control, WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    }
    if (row.nVariant == 0) {
      // The first goes to the bottom, each later one right behind it: these controls lie behind
      // every other child, the first of them in front.
      ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      previous = control;
    }
  }
  for (int controlId : controlIds) SetVariant(controlId, 0);
  return true;
}

const SkinLayoutRecord* SkinLayout::FindRow(int controlId, int variant) const {
  const auto first = m_mapFirstRow.find(controlId);
  if (first == m_mapFirstRow.end()) return nullptr;
  for (int index = first->second; index < m_nRowCount && m_pTable[index].nControlId == controlId; ++index) {
    if (m_pTable[index].nVariant == variant) return &m_pTable[index];
  }
  return nullptr;
}

bool SkinLayout::SetVariant(int controlId, int variant) {
  // Looking a child up by its id asks the window system for the parent's children; the controls
  // are found once.
  HWND& control = m_mapControl[controlId];
  if (control == nullptr || !::IsWindow(control)) control = ::GetDlgItem(m_hParent, controlId);
  return SetVariant(control, variant);
}

bool SkinLayout::SetVariant(HWND control, int variant) {
  if (control == nullptr) return false;
  const SkinLayoutRecord* row = FindRow(::GetDlgCtrlID(control), variant);
  if (row == nullptr) return false;
  m_mapVariant[control] = variant;
  if (row->nKind == kSkinPicture) ApplyPicture(control, *row);
  if (row->nKind == kSkinButton) ApplyButtonBitmaps(control, *row);
  ApplyToolTip(control, *row);
  ApplyPlace(control, *row);
  ::InvalidateRect(control, nullptr, FALSE);
  return true;
}

void SkinLayout::RefreshAll() {
  const std::map<HWND, int> variants = m_mapVariant;
  for (const auto& [control, variant] : variants) SetVariant(control, variant);
}

int SkinLayout::GetVariant(HWND control) const {
  const auto found = m_mapVariant.find(control);
  return found != m_mapVariant.end() ? found->second : -1;
}

bool SkinLayout::IsOurPicture(HBITMAP bitmap) const {
  for (const auto& [id, picture] : m_mapSmallPicture)
    if (picture.Get() == bitmap) return true;
  return false;
}

void SkinLayout::ApplyPicture(HWND control, const SkinLayoutRecord& row) {
  if (row.nBitmap[0] == 0) return;
  // Small pictures are loaded once and kept: an animation (the recording icon) steps through the
  // same few several times a second. A large one is loaded when shown and freed when replaced.
  constexpr LONG kKeptPixels = 64 * 64;
  const auto cached = m_mapSmallPicture.find(row.nBitmap[0]);
  HBITMAP picture = cached != m_mapSmallPicture.end() ? cached->second.Get() : nullptr;
  framework::BitmapHolder loaded;
  if (picture == nullptr) {
    loaded.Reset(framework::BitmapButton::LoadResourceBitmap(static_cast<UINT>(row.nBitmap[0])));
    if (!loaded) return;
    picture = loaded.Get();
    BITMAP info{};
    if (::GetObjectW(picture, sizeof(info), &info) != 0 && info.bmWidth * info.bmHeight <= kKeptPixels)
      m_mapSmallPicture[row.nBitmap[0]] = std::move(loaded);
  }
  HBITMAP& shown = m_mapPicture[control];
  if (shown == picture) return;
  const auto replaced = reinterpret_cast<HBITMAP>(
      ::SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
  // A picture the static had before the layout took it over is freed here; ours by their holders.
  framework::BitmapHolder& large = m_mapLargePicture[control];
  if (replaced != nullptr && replaced != large.Get() && !IsOurPicture(replaced)) ::DeleteObject(replaced);
  large = std::move(loaded);
  shown = picture;
}

void SkinLayout::ApplyButtonBitmaps(HWND control, const SkinLayoutRecord& row) {
  auto* button = dynamic_cast<framework::BitmapButton*>(framework::Window::FromHandle(control));
  if (button == nullptr) return;
  button->LoadBitmaps(static_cast<UINT>(row.nBitmap[0]), static_cast<UINT>(row.nBitmap[1]),
                      static_cast<UINT>(row.nBitmap[2]), static_cast<UINT>(row.nBitmap[3]));
  button->LoadHotBitmap(static_cast<UINT>(row.nBitmap[4]));
}

void SkinLayout::ApplyToolTip(HWND control, const SkinLayoutRecord& row) {
  if (m_pToolTip == nullptr || m_pToolTip->GetSafeHwnd() == nullptr) return;
  const bool hasTool = m_pToolTip->HasTool(control);
  if (row.nTooltipId == 0) {
    if (!hasTool) return;
    m_pToolTip->DelTool(control);
  } else {
    const std::wstring text = framework::LoadResString(static_cast<UINT>(row.nTooltipId));
    if (!hasTool) {
      m_pToolTip->AddTool(control, text);
    } else if (m_pToolTip->GetToolText(control) != text) {
      m_pToolTip->UpdateTipText(control, text);
    } else {
      return;
    }
  }
  m_pToolTip->Update();
}

void SkinLayout::ApplyPlace(HWND control, const SkinLayoutRecord& row) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  if (rect.left == row.x && rect.top == row.y && rect.right - rect.left == row.cx && rect.bottom - rect.top == row.cy) {
    return;
  }
  ::MoveWindow(control, row.x, row.y, row.cx, row.cy, TRUE);
}
