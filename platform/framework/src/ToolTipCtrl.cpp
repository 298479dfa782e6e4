#include "framework/ToolTipCtrl.h"

#include <vector>

#include "framework/Resources.h"

namespace framework {
namespace {
// The tool description that every version of the common controls accepts.
const UINT kToolInfoSize = TTTOOLINFOW_V2_SIZE;
// Tool texts are read back into a buffer of this many characters.
constexpr size_t kMaxToolText = 1024;
}  // namespace

ToolTipCtrl::~ToolTipCtrl() { DestroyWindow(); }

bool ToolTipCtrl::Create(HWND owner, DWORD style) {
  if (m_hWnd != nullptr) return false;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  HWND window = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetInstanceHandle(),
                                  nullptr);
  if (window == nullptr) return false;
  m_hOwner = owner;
  Subclass(window);
  return true;
}

void ToolTipCtrl::DestroyWindow() {
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

void ToolTipCtrl::Activate(bool activate) { SendMessage(TTM_ACTIVATE, activate ? TRUE : FALSE); }

TTTOOLINFOW ToolTipCtrl::MakeToolInfo(HWND tool) const {
  TTTOOLINFOW info{};
  info.cbSize = kToolInfoSize;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = m_hOwner;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  return info;
}

TTTOOLINFOW ToolTipCtrl::MakeToolInfo(UINT_PTR toolId) const {
  TTTOOLINFOW info{};
  info.cbSize = kToolInfoSize;
  info.hwnd = m_hOwner;
  info.uId = toolId;
  return info;
}

bool ToolTipCtrl::AddToolInfo(TTTOOLINFOW& info, const std::wstring& text) {
  if (m_hWnd == nullptr) return false;
  std::wstring copy = text;  // the control copies the text; it only needs it for the call
  info.lpszText = copy.data();
  return SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

bool ToolTipCtrl::AddTool(HWND tool, const std::wstring& text, UINT extraFlags) {
  if (tool == nullptr) return false;
  TTTOOLINFOW info = MakeToolInfo(tool);
  info.uFlags |= extraFlags;
  return AddToolInfo(info, text);
}

bool ToolTipCtrl::AddTool(HWND tool, UINT textId, UINT extraFlags) {
  return AddTool(tool, LoadResString(textId), extraFlags);
}

bool ToolTipCtrl::AddTool(UINT_PTR toolId, const RECT& rect, const std::wstring& text, UINT extraFlags) {
  TTTOOLINFOW info = MakeToolInfo(toolId);
  info.uFlags |= extraFlags;
  info.rect = rect;
  return AddToolInfo(info, text);
}

void ToolTipCtrl::UpdateTipText(HWND tool, const std::wstring& text) {
  TTTOOLINFOW info = MakeToolInfo(tool);
  std::wstring copy = text;
  info.lpszText = copy.data();
  SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTipCtrl::UpdateTipText(UINT_PTR toolId, const std::wstring& text) {
  TTTOOLINFOW info = MakeToolInfo(toolId);
  std::wstring copy = text;
  info.lpszText = copy.data();
  SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTipCtrl::DelTool(HWND tool) {
  TTTOOLINFOW info = MakeToolInfo(tool);
  SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTipCtrl::DelTool(UINT_PTR toolId) {
  TTTOOLINFOW info = MakeToolInfo(toolId);
  SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

bool ToolTipCtrl::HasTool(HWND tool) const {
  if (m_hWnd == nullptr) return false;
  TTTOOLINFOW info = MakeToolInfo(tool);
  return SendMessage(TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

bool ToolTipCtrl::HasTool(UINT_PTR toolId) const {
  if (m_hWnd == nullptr) return false;
  TTTOOLINFOW info = MakeToolInfo(toolId);
  return SendMessage(TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

std::wstring ToolTipCtrl::GetToolText(HWND tool) const {
  if (m_hWnd == nullptr) return std::wstring();
  std::vector<wchar_t> buffer(kMaxToolText, L'\0');
  TTTOOLINFOW info = MakeToolInfo(tool);
  info.lpszText = buffer.data();
  // The buffer size is given in wParam where the control supports it.
  SendMessage(TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&info));
  buffer.back() = L'\0';
  return std::wstring(buffer.data());
}

int ToolTipCtrl::GetToolCount() const {
  return m_hWnd != nullptr ? static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)) : 0;
}

void ToolTipCtrl::RelayEvent(const MSG* msg) {
  if (m_hWnd == nullptr || msg == nullptr) return;
  if (msg->message < WM_MOUSEFIRST || msg->message > WM_MOUSELAST) return;
  MSG copy = *msg;
  SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

void ToolTipCtrl::Update() { SendMessage(TTM_UPDATE); }

void ToolTipCtrl::Pop() { SendMessage(TTM_POP); }

void ToolTipCtrl::SetMaxTipWidth(int width) { SendMessage(TTM_SETMAXTIPWIDTH, 0, width); }

void ToolTipCtrl::SetDelayTime(DWORD which, int milliseconds) {
  SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(milliseconds, 0));
}

void ToolTipCtrl::TrackActivate(HWND tool, bool activate) {
  TTTOOLINFOW info = MakeToolInfo(tool);
  SendMessage(TTM_TRACKACTIVATE, activate ? TRUE : FALSE, reinterpret_cast<LPARAM>(&info));
}

void ToolTipCtrl::TrackPosition(int screenX, int screenY) {
  SendMessage(TTM_TRACKPOSITION, 0, MAKELPARAM(screenX, screenY));
}

bool ToolTipCtrl::SetTitle(UINT icon, const std::wstring& title) {
  // An empty title string would still take a title line: no string removes the title.
  const LPARAM text = title.empty() ? 0 : reinterpret_cast<LPARAM>(title.c_str());
  return SendMessage(TTM_SETTITLEW, icon, text) != FALSE;
}

COLORREF ToolTipCtrl::GetTipBkColor() const { return static_cast<COLORREF>(SendMessage(TTM_GETTIPBKCOLOR)); }

COLORREF ToolTipCtrl::GetTipTextColor() const { return static_cast<COLORREF>(SendMessage(TTM_GETTIPTEXTCOLOR)); }

void ToolTipCtrl::SetTipBkColor(COLORREF color) { SendMessage(TTM_SETTIPBKCOLOR, color); }

void ToolTipCtrl::SetTipTextColor(COLORREF color) { SendMessage(TTM_SETTIPTEXTCOLOR, color); }

}  // namespace framework
