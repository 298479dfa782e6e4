// Libraries loaded at run time from one known folder only.
//
// A bare LoadLibraryW also looks in the current directory and along PATH, so a library of the same
// name placed there by somebody else would run inside the program. These load from the system
// folder or from the program's own folder and nowhere else.
#pragma once

#include <windows.h>

#include <string>

// A library of the system folder ("wtsapi32.dll"). Null when the name is not a bare file name or
// the library is not there.
HMODULE LoadSystemLibrary(const wchar_t* pszName);

// A library beside the program's executable ("PLVRLang.dll"). Null when the name is not a bare file
// name or the library is not there.
HMODULE LoadProgramFolderLibrary(const wchar_t* pszName);

// The full path of a file of the given bare name beside the program's executable; empty when the
// executable's path cannot be had.
std::wstring ProgramFolderFilePath(const wchar_t* pszName);
