#include "ui/SkinLabel.h"

#include <cwchar>

namespace {
// The interface font of the skinned labels: the face and the standard size of the string table.
std::wstring g_strInterfaceFace;
LONG g_nInterfaceHeight = 0;

void CopyFaceName(LOGFONTW& font, const std::wstring& face) {
  wcsncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  font.lfFaceName[LF_FACESIZE - 1] = L'\0';
}

void InvalidateUnder(HWND control) {
  HWND parent = ::GetParent(control);
  if (parent == nullptr) return;
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  ::InvalidateRect(parent, &rect, TRUE);
}
}  // namespace

void SkinLabel::SetInterfaceFont(const std::wstring& face, LONG height) {
  g_strInterfaceFace = face;
  g_nInterfaceHeight = height;
}

void SkinLabel::OnSubclassed() {
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(m_logFont), &m_logFont);
  const auto parentFont = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
  if (parentFont != nullptr) ::GetObjectW(parentFont, sizeof(m_logFont), &m_logFont);
  if (!g_strInterfaceFace.empty()) CopyFaceName(m_logFont, g_strInterfaceFace);
  if (g_nInterfaceHeight != 0) m_logFont.lfHeight = g_nInterfaceHeight;
  m_nNormalWeight = m_logFont.lfWeight;
  RebuildFont();
}

void SkinLabel::SetFaceName(const std::wstring& face, BYTE charSet) {
  CopyFaceName(m_logFont, face);
  m_logFont.lfCharSet = charSet;
  RebuildFont();
}

void SkinLabel::SetHeight(LONG height) {
  m_logFont.lfHeight = height;
  RebuildFont();
}

void SkinLabel::SetBold(bool bold) {
  m_logFont.lfWeight = bold ? FW_BOLD : m_nNormalWeight;
  RebuildFont();
}

void SkinLabel::SetTextColor(COLORREF color) {
  if (m_crText == color) return;
  m_crText = color;
  if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void SkinLabel::SetBkColor(COLORREF color) {
  m_brushBk.Reset(color == static_cast<COLORREF>(-1) ? nullptr : ::CreateSolidBrush(color));
  if (m_hWnd == nullptr) return;
  InvalidateUnder(m_hWnd);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void SkinLabel::SetText(const std::wstring& text) {
  if (m_hWnd != nullptr) SetWindowTextIfChanged(text);
}

void SkinLabel::FitHeightToText(const std::wstring& text, LONG fullHeight, LONG smallestHeight) {
  if (m_hWnd == nullptr) return;
  // Counts are shown many times a second and mostly unchanged: only a new text is measured.
  if (text == m_strFittedText && fullHeight == m_nFittedFullHeight) return;
  RECT field{};
  ::GetClientRect(m_hWnd, &field);
  const auto widthAt = [&](LONG height) {
    LOGFONTW look = m_logFont;
    look.lfHeight = height;
    framework::FontHolder font(::CreateFontIndirectW(&look));
    framework::WindowDC dc(m_hWnd);
    framework::SelectObjectScope select(dc, font.Get());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return static_cast<int>(extent.cx);
  };
  LONG height = fullHeight;
  while (height > smallestHeight && widthAt(height) > field.right) --height;
  if (m_logFont.lfHeight != height) SetHeight(height);
  m_strFittedText = text;
  m_nFittedFullHeight = fullHeight;
}

void SkinLabel::RebuildFont() {
  // Another font: a text fitted to the old one is measured again.
  m_nFittedFullHeight = 0;
  framework::FontHolder font(::CreateFontIndirectW(&m_logFont));
  if (!font) return;
  // The new font is in place before the old one is freed.
  if (m_hWnd != nullptr) ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
  m_font = std::move(font);
  if (m_hWnd == nullptr) return;
  // A larger old text of a transparent label is erased through the parent.
  InvalidateUnder(m_hWnd);
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  ::UpdateWindow(m_hWnd);
}

bool SkinLabel::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  if (msg != WM_CTLCOLORSTATIC) return false;
  const auto dc = reinterpret_cast<HDC>(wParam);
  if (m_font) ::SelectObject(dc, m_font.Get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, m_crText);
  result = reinterpret_cast<LRESULT>(m_brushBk ? m_brushBk.Get() : ::GetStockObject(NULL_BRUSH));
  return true;
}

LRESULT SkinLabel::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // However the text is set, the old one of a transparent label is erased through the parent's
  // background first, as the label does not paint over it itself. A label with a solid background
  // fills it when the new text is drawn, so the parent is left alone: a counter changing twenty
  // times a second would otherwise repaint the panel under it as often.
  if (msg == WM_SETTEXT && !m_brushBk) InvalidateUnder(m_hWnd);
  return DefaultProc(msg, wParam, lParam);
}
