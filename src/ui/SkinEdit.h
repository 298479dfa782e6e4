// A read-only edit field with its own font and colours that ignores the right mouse button.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Control.h"
#include "framework/Handles.h"

class SkinEdit : public framework::Control {
 public:
  void SetTextColor(COLORREF color);
  void SetBkColor(COLORREF color);
  void SetFaceName(const std::wstring& face, BYTE charSet);
  void SetHeight(LONG height);

 protected:
  void OnSubclassed() override;
  bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void RebuildFont();

  COLORREF m_crText = RGB(0, 0, 0);
  COLORREF m_crBk = RGB(255, 255, 255);
  framework::BrushHolder m_brushBk;
  LOGFONTW m_logFont{};
  framework::FontHolder m_font;
};
