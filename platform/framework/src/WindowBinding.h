// Names of the window properties by which the framework finds its objects.
#pragma once

#include <windows.h>

namespace framework {

// The C++ object bound to a window.
inline constexpr const wchar_t* kObjectProperty = L"PloverFramework.Object";
// The window procedure a Control replaced, kept on the window so that messages still reach it
// when the object has gone first.
inline constexpr const wchar_t* kOldProcProperty = L"PloverFramework.OldProc";

}  // namespace framework
