// The tooltip control of a window: tools for child windows or rectangles, texts that can be
// changed, mouse messages relayed by the owner, and tracking tips placed by the program.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/Control.h"

namespace framework {

class ToolTipCtrl : public Control {
 public:
  ~ToolTipCtrl() override;

  // Creates the tooltip window owned by `owner` (the dialog whose controls get tips).
  bool Create(HWND owner, DWORD style = TTS_ALWAYSTIP);
  void DestroyWindow();
  HWND GetOwner() const { return m_hOwner; }

  void Activate(bool activate);

  // A tool for a whole child window (or the owner itself); extra TTF_ flags may be added.
  bool AddTool(HWND tool, const std::wstring& text, UINT extraFlags = 0);
  bool AddTool(HWND tool, UINT textId, UINT extraFlags = 0);
  // A tool for a rectangle of the owner's client area.
  bool AddTool(UINT_PTR toolId, const RECT& rect, const std::wstring& text, UINT extraFlags = 0);
  void UpdateTipText(HWND tool, const std::wstring& text);
  void UpdateTipText(UINT_PTR toolId, const std::wstring& text);
  void DelTool(HWND tool);
  void DelTool(UINT_PTR toolId);
  bool HasTool(HWND tool) const;
  bool HasTool(UINT_PTR toolId) const;
  std::wstring GetToolText(HWND tool) const;
  int GetToolCount() const;

  // Hands a mouse message of a tool window to the tooltip, which then shows or hides tips.
  void RelayEvent(const MSG* msg);
  // Shows the tip again after its text or tools changed.
  void Update();
  void Pop();
  void SetMaxTipWidth(int width);
  void SetDelayTime(DWORD which, int milliseconds);

  // Tracking: the tip of `tool` (added with TTF_TRACK) is shown where TrackPosition puts it.
  void TrackActivate(HWND tool, bool activate);
  void TrackPosition(int screenX, int screenY);

  // Title and icon (TTI_NONE, TTI_INFO, TTI_WARNING, TTI_ERROR) of balloon tips; empty clears it.
  bool SetTitle(UINT icon, const std::wstring& title);
  COLORREF GetTipBkColor() const;
  COLORREF GetTipTextColor() const;
  void SetTipBkColor(COLORREF color);
  void SetTipTextColor(COLORREF color);

 private:
  TTTOOLINFOW MakeToolInfo(HWND tool) const;
  TTTOOLINFOW MakeToolInfo(UINT_PTR toolId) const;
  bool AddToolInfo(TTTOOLINFOW& info, const std::wstring& text);

  HWND m_hOwner = nullptr;
};

}  // namespace framework
