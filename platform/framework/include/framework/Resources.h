// Where the program's resources come from: the executable, or the language library once loaded.
#pragma once

#include <windows.h>

#include <string>

namespace framework {

// The module that holds the program's own code (the executable).
HINSTANCE GetInstanceHandle();

// The module from which strings, dialogs, menus, bitmaps and icons are loaded.
// It is the executable until SetResourceHandle names a language library.
HINSTANCE GetResourceHandle();
void SetResourceHandle(HINSTANCE module);

// A string of the string table of the resource module; empty when the id is missing.
std::wstring LoadResString(UINT id);

}  // namespace framework
