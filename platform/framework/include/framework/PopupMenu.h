// A context menu from a menu resource of the resource module: one of its sub-menus is shown at a
// point and the chosen command is returned to the caller instead of being sent as WM_COMMAND.
#pragma once

#include <windows.h>

#include "framework/Handles.h"

namespace framework {

class PopupMenu {
 public:
  // Loads menu resource `id`, replacing the one held; false when there is none.
  bool Load(UINT id);
  bool IsLoaded() const { return static_cast<bool>(m_menu); }
  HMENU GetSubMenu(int index) const;

  // Items anywhere in the menu, by command.
  void CheckItem(UINT command, bool checked);
  void EnableItem(UINT command, bool enabled);
  // Puts the radio mark on `command` and clears it from the other items first..last of its sub-menu.
  void CheckRadioItem(UINT first, UINT last, UINT command);

  // Shows sub-menu `index` with its top-left corner (or as `flags` align it) at a point of the screen,
  // for `owner`, and waits for the user. The chosen command, or 0 when the menu was dismissed or
  // there is no such sub-menu.
  UINT Track(int index, POINT screen, HWND owner, UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON) const;

 private:
  MenuHolder m_menu;
};

}  // namespace framework
