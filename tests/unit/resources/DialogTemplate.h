// Reads an extended dialog template (DLGTEMPLATEEX) from a module's resources, so tests can
// compare the dialogs of the built-in resources with those of the language library.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace restest {

struct DialogItem {
  uint32_t nId = 0;
  uint32_t nStyle = 0;
  uint32_t nExStyle = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::wstring strClass;  // window class name in lower case; predefined ordinals become "button", "static", ...
  std::wstring strTitle;  // caption, or "#n" for a resource ordinal
};

struct DialogTemplate {
  uint32_t nStyle = 0;
  uint32_t nExStyle = 0;
  int16_t cx = 0, cy = 0;
  std::wstring strCaption;
  uint16_t nPointSize = 0;
  std::wstring strFace;
  std::vector<DialogItem> items;

  const DialogItem* Find(uint32_t id) const;
};

// The dialog template with the id, or nothing when it is missing or not a well-formed
// extended template.
std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, UINT id);

// Parses template bytes (exposed for the parser's own tests).
std::optional<DialogTemplate> ParseDialogTemplate(const uint8_t* data, size_t size);

}  // namespace restest
