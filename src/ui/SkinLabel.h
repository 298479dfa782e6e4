// A static text with its own font and colours; transparent by default, so the skin's background
// shows through. Its font starts as the parent's, with the interface font's face and standard size.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Control.h"
#include "framework/Handles.h"

class SkinLabel : public framework::Control {
 public:
  // The application's interface font: a face (empty keeps the parent's) and a font height (0 keeps
  // the parent's) that every label attached from now on starts with.
  static void SetInterfaceFont(const std::wstring& face, LONG height);

  void SetFaceName(const std::wstring& face, BYTE charSet);
  // A font height as in a font description (negative: character height).
  void SetHeight(LONG height);
  // Bold, or back to the weight the label started with.
  void SetBold(bool bold);
  void SetTextColor(COLORREF color);
  COLORREF GetTextColor() const { return m_crText; }
  // A solid background, or (COLORREF)-1 for a transparent one.
  void SetBkColor(COLORREF color);
  // Sets the new text, erasing the old one through the parent's background when the label is
  // transparent (a solid one fills its background itself); nothing when the text is already shown.
  void SetText(const std::wstring& text);
  // Makes the font as tall as `fullHeight`, or less tall down to `smallestHeight` while `text`
  // would be wider than the label: a count that outgrows its field is drawn smaller rather than
  // losing digits. Nothing changes when the height is already the right one.
  void FitHeightToText(const std::wstring& text, LONG fullHeight, LONG smallestHeight);
  HFONT GetFont() const { return m_font.Get(); }
  const LOGFONTW& GetLogFont() const { return m_logFont; }

 protected:
  void OnSubclassed() override;
  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void RebuildFont();

  LOGFONTW m_logFont{};
  LONG m_nNormalWeight = FW_NORMAL;
  framework::FontHolder m_font;
  COLORREF m_crText = ::GetSysColor(COLOR_WINDOWTEXT);
  framework::BrushHolder m_brushBk;  // null: transparent
  std::wstring m_strFittedText;      // the text the font height was last fitted to
  LONG m_nFittedFullHeight = 0;
};
