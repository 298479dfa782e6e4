#include "framework/PopupMenu.h"

#include "framework/Resources.h"

namespace framework {

bool PopupMenu::Load(UINT id) {
  m_menu.Reset(::LoadMenuW(GetResourceHandle(), MAKEINTRESOURCEW(id)));
  return static_cast<bool>(m_menu);
}

HMENU PopupMenu::GetSubMenu(int index) const { return m_menu ? ::GetSubMenu(m_menu.Get(), index) : nullptr; }

void PopupMenu::CheckItem(UINT command, bool checked) {
  if (m_menu) ::CheckMenuItem(m_menu.Get(), command, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void PopupMenu::EnableItem(UINT command, bool enabled) {
  if (m_menu) ::EnableMenuItem(m_menu.Get(), command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void PopupMenu::CheckRadioItem(UINT first, UINT last, UINT command) {
  if (m_menu) ::CheckMenuRadioItem(m_menu.Get(), first, last, command, MF_BYCOMMAND);
}

UINT PopupMenu::Track(int index, POINT screen, HWND owner, UINT flags) const {
  HMENU popup = GetSubMenu(index);
  if (popup == nullptr || owner == nullptr) return 0;
  // A menu of a window in the background would not close when the user clicks elsewhere.
  ::SetForegroundWindow(owner);
  const UINT command = static_cast<UINT>(
      ::TrackPopupMenu(popup, flags | TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, owner, nullptr));
  // Lets the owner's thread leave the menu's modal state cleanly before the next menu.
  ::PostMessageW(owner, WM_NULL, 0, 0);
  return command;
}

}  // namespace framework
