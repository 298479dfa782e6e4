#include "ui/SkinEdit.h"

#include <cwchar>

void SkinEdit::OnSubclassed() {
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(m_logFont), &m_logFont);
  m_brushBk.Reset(::CreateSolidBrush(m_crBk));
}

void SkinEdit::SetTextColor(COLORREF color) {
  m_crText = color;
  if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void SkinEdit::SetBkColor(COLORREF color) {
  m_crBk = color;
  m_brushBk.Reset(::CreateSolidBrush(color));
  if (m_hWnd != nullptr) ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void SkinEdit::SetFaceName(const std::wstring& face, BYTE charSet) {
  wcsncpy(m_logFont.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  m_logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
  m_logFont.lfCharSet = charSet;
  RebuildFont();
}

void SkinEdit::SetHeight(LONG height) {
  m_logFont.lfHeight = height;
  RebuildFont();
}

void SkinEdit::RebuildFont() {
  framework::FontHolder font(::CreateFontIndirectW(&m_logFont));
  if (!font) return;
  // The edit uses the new font before the old one is freed.
  if (m_hWnd != nullptr) ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  m_font = std::move(font);
}

bool SkinEdit::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  // A read-only or disabled edit asks as a static, an editable one as an edit.
  if (msg != WM_CTLCOLOREDIT && msg != WM_CTLCOLORSTATIC) return false;
  const auto dc = reinterpret_cast<HDC>(wParam);
  ::SetTextColor(dc, m_crText);
  ::SetBkColor(dc, m_crBk);
  result = reinterpret_cast<LRESULT>(m_brushBk.Get());
  return true;
}

LRESULT SkinEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      // No context menu and no selection by the right button.
      return 0;
    default:
      return DefaultProc(msg, wParam, lParam);
  }
}
