// Trace records whose text is written in Japanese: converted to the process's ANSI code page,
// as every trace record is.
#pragma once

#include "core/DebugTrace.h"

#include <windows.h>

#include <string>

inline void TraceTextWide(const char* sourcePath, int nLine, const wchar_t* pszText) {
    const int nBytes = ::WideCharToMultiByte(CP_ACP, 0, pszText, -1, nullptr, 0, nullptr, nullptr);
    std::string strText(nBytes > 0 ? nBytes : 1, '\0');
    if (nBytes > 0) ::WideCharToMultiByte(CP_ACP, 0, pszText, -1, strText.data(), nBytes, nullptr, nullptr);
    TraceText(sourcePath, nLine, strText.c_str());
}

#define TRACE_TEXT_W(text) TraceTextWide(__FILE__, __LINE__, (text))
