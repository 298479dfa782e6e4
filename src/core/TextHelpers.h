// Text measured in a font: wrapping to a width, shortening with an ellipsis; splitting; and the
// conversion to the system code page.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Inserts "\r\n" before each character that would make the running line wider than nMaxWidth
// pixels (characters measured one at a time in the font on the screen); line breaks already in
// the text restart the width. A surrogate pair is one character.
std::wstring WrapTextToWidth(const std::wstring& strText, int nMaxWidth, HFONT hFont);

// The text itself when it fits in nMaxWidth pixels, else the longest "<first n characters>..."
// that fits, else the first character followed by "...".
std::wstring FitTextWithEllipsis(const std::wstring& strText, int nMaxWidth, HFONT hFont);

// The pieces between separators; the piece after the last separator is included even when it
// is empty ("9|11|13|" gives "9", "11", "13", ""). An empty separator gives the whole text.
std::vector<std::wstring> SplitString(const std::wstring& strText, const std::wstring& strSeparator);

// The text in the system's code page (the bytes the log files hold); empty when it cannot be
// converted.
std::string ToMultiByte(const std::wstring& strText);

// The system's own text for a Win32 error code or an HRESULT (one of the Win32 facility is taken
// as its code), without its closing line break; the number in hexadecimal when the system has none.
std::wstring SystemErrorText(HRESULT hr);
