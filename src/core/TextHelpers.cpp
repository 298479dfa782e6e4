#include "core/TextHelpers.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kEllipsis = L"...";

bool IsHighSurrogate(wchar_t ch) { return ch >= 0xD800 && ch <= 0xDBFF; }
bool IsLowSurrogate(wchar_t ch) { return ch >= 0xDC00 && ch <= 0xDFFF; }

// A screen device context with a font selected, for measuring text.
class ScreenTextMeter {
public:
  explicit ScreenTextMeter(HFONT hFont) : m_hDC(GetDC(nullptr)) {
    if (m_hDC && hFont) m_hOldFont = static_cast<HFONT>(SelectObject(m_hDC, hFont));
  }
  ~ScreenTextMeter() {
    if (!m_hDC) return;
    if (m_hOldFont) SelectObject(m_hDC, m_hOldFont);
    ReleaseDC(nullptr, m_hDC);
  }
  ScreenTextMeter(const ScreenTextMeter&) = delete;
  ScreenTextMeter& operator=(const ScreenTextMeter&) = delete;

  // Width in pixels of nCount characters starting at text; 0 when it cannot be measured.
  int Width(const wchar_t* text, size_t nCount) const {
    SIZE size = {};
    if (!m_hDC || nCount == 0 || !GetTextExtentPoint32W(m_hDC, text, static_cast<int>(nCount), &size)) return 0;
    return size.cx;
  }
  int Width(const std::wstring& strText) const { return Width(strText.c_str(), strText.size()); }

private:
  HDC m_hDC;
  HFONT m_hOldFont = nullptr;
};

// Number of UTF-16 units of the character that starts at nPos.
size_t CharUnits(const std::wstring& strText, size_t nPos) {
  if (IsHighSurrogate(strText[nPos]) && nPos + 1 < strText.size() && IsLowSurrogate(strText[nPos + 1])) return 2;
  return 1;
}

}  // namespace

std::wstring WrapTextToWidth(const std::wstring& strText, int nMaxWidth, HFONT hFont) {
  ScreenTextMeter meter(hFont);
  std::wstring strWrapped;
  strWrapped.reserve(strText.size() + strText.size() / 8);
  int nLineWidth = 0;
  for (size_t nPos = 0; nPos < strText.size();) {
    const wchar_t ch = strText[nPos];
    if (ch == L'\r' || ch == L'\n') {
      strWrapped += ch;
      nLineWidth = 0;
      ++nPos;
      continue;
    }
    const size_t nUnits = CharUnits(strText, nPos);
    const int nCharWidth = meter.Width(strText.c_str() + nPos, nUnits);
    // A character wider than the whole line still starts a line of its own, never an empty one.
    if (nLineWidth > 0 && nLineWidth + nCharWidth > nMaxWidth) {
      strWrapped += L"\r\n";
      nLineWidth = 0;
    }
    strWrapped.append(strText, nPos, nUnits);
    nLineWidth += nCharWidth;
    nPos += nUnits;
  }
  return strWrapped;
}

std::wstring FitTextWithEllipsis(const std::wstring& strText, int nMaxWidth, HFONT hFont) {
  ScreenTextMeter meter(hFont);
  if (strText.empty() || meter.Width(strText) <= nMaxWidth) return strText;
  for (size_t nKeep = strText.size() - 1; nKeep >= 1; --nKeep) {
    if (IsLowSurrogate(strText[nKeep]) && IsHighSurrogate(strText[nKeep - 1])) continue;  // inside a pair
    const std::wstring strCandidate = strText.substr(0, nKeep) + kEllipsis;
    if (meter.Width(strCandidate) <= nMaxWidth) return strCandidate;
  }
  return strText.substr(0, CharUnits(strText, 0)) + kEllipsis;
}

std::vector<std::wstring> SplitString(const std::wstring& strText, const std::wstring& strSeparator) {
  std::vector<std::wstring> pieces;
  if (strSeparator.empty()) {
    pieces.push_back(strText);
    return pieces;
  }
  size_t nStart = 0;
  for (size_t nFound = strText.find(strSeparator); nFound != std::wstring::npos;
       nFound = strText.find(strSeparator, nStart)) {
    pieces.push_back(strText.substr(nStart, nFound - nStart));
    nStart = nFound + strSeparator.size();
  }
  pieces.push_back(strText.substr(nStart));
  return pieces;
}

std::string ToMultiByte(const std::wstring& strText) {
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, strText.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string converted(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, strText.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
  converted.resize(static_cast<size_t>(bytes) - 1);
  return converted;
}

std::wstring SystemErrorText(HRESULT hr) {
  DWORD dwCode = static_cast<DWORD>(hr);
  if (HRESULT_FACILITY(hr) == FACILITY_WIN32) dwCode = HRESULT_CODE(hr);
  wchar_t* pszBuffer = nullptr;
  const DWORD nLength =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, dwCode, 0, reinterpret_cast<wchar_t*>(&pszBuffer), 0, nullptr);
  std::wstring strText = nLength > 0 && pszBuffer != nullptr ? std::wstring(pszBuffer, nLength) : std::wstring();
  if (pszBuffer != nullptr) ::LocalFree(pszBuffer);
  while (!strText.empty() && (strText.back() == L'\n' || strText.back() == L'\r' || strText.back() == L' ')) {
    strText.pop_back();
  }
  if (strText.empty()) {
    wchar_t szNumber[32] = {};
    swprintf(szNumber, 32, L"0x%08lX", static_cast<unsigned long>(hr));
    strText = szNumber;
  }
  return strText;
}
