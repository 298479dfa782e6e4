#include "framework/Dialog.h"

#include <vector>

#include "framework/App.h"
#include "framework/MessageLoop.h"
#include "framework/Resources.h"

namespace framework {
namespace {
// Extended templates start with a version word of 1 and a signature word of 0xFFFF.
constexpr WORD kExtendedTemplateSignature = 0xFFFF;
constexpr size_t kExtendedTemplateStyleOffset = 12;  // after dlgVer, signature, helpID, exStyle

// The child a notification comes from, whose object may answer it first.
HWND ReflectionSource(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
      return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
      return lParam != 0 ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return item != nullptr && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
      const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      return item != nullptr && item->CtlType != ODT_MENU ? ::GetDlgItem(dialog, static_cast<int>(wParam)) : nullptr;
    }
    default:
      return nullptr;
  }
}

// Posted or dispatched messages whose answer nobody reads: storing one would only cost a call into
// the window system, several times a second for the timers.
bool AnswerIsUnread(UINT msg) {
  return msg == WM_TIMER || msg == WM_PAINT;
}

// Messages whose answer is the dialog procedure's return value instead of DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT msg) {
  switch (msg) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

// Where the style lies in either template layout (DLGTEMPLATE or DLGTEMPLATEEX).
size_t TemplateStyleOffset(const std::vector<BYTE>& dialogTemplate) {
  WORD signature = 0;
  ::CopyMemory(&signature, dialogTemplate.data() + sizeof(WORD), sizeof(signature));
  return signature == kExtendedTemplateSignature ? kExtendedTemplateStyleOffset : 0;
}

// A modal dialog is created hidden and shown by its loop once idle, so that whatever its
// initialisation queued has run first; a visible template would be shown right after WM_INITDIALOG.
void RemoveVisibleStyle(std::vector<BYTE>& dialogTemplate) {
  DWORD style = 0;
  const size_t offset = TemplateStyleOffset(dialogTemplate);
  ::CopyMemory(&style, dialogTemplate.data() + offset, sizeof(style));
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  ::CopyMemory(dialogTemplate.data() + offset, &style, sizeof(style));
}
}  // namespace

Dialog::Dialog(UINT templateId, Window* parent) : m_pParent(parent), m_nTemplateId(templateId) {}


Dialog::~Dialog() {
  if (m_hWnd != nullptr) {
    // The derived parts are gone already: no handler may run while the window is torn down.
    HWND window = m_hWnd;
    Unbind();
    if (::IsWindow(window)) ::DestroyWindow(window);
  }
}

std::vector<BYTE> Dialog::LoadTemplate() const {
  HINSTANCE module = GetResourceHandle();
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(m_nTemplateId), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
  if (resource == nullptr) return {};
  HGLOBAL loaded = ::LoadResource(module, resource);
  const DWORD size = ::SizeofResource(module, resource);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr || size < sizeof(DLGTEMPLATE)) return {};
  const auto* bytes = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(bytes, bytes + size);
}

HWND Dialog::GetModalOwner() const { return FindModalOwner(m_pParent, this); }

INT_PTR Dialog::DoModal() {
  if (m_hWnd != nullptr) return -1;
  std::vector<BYTE> dialogTemplate = LoadTemplate();
  if (dialogTemplate.empty()) return -1;
  RemoveVisibleStyle(dialogTemplate);

  HWND owner = GetModalOwner();
  // The owner is disabled before the dialog exists, as it stays for the dialog's whole life.
  const bool enableOwner = owner != nullptr && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);

  m_bModal = true;
  m_bEndModal = false;
  m_nModalResult = -1;
  HWND window = ::CreateDialogIndirectParamW(GetResourceHandle(), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), owner, &Dialog::StaticDialogProc,
                                             reinterpret_cast<LPARAM>(this));
  if (window != nullptr) {
    RunModalLoop([this, window] { return !m_bEndModal && ::IsWindow(window); }, window);
  }
  // The owner is enabled before the dialog goes, so that activation returns to it.
  if (enableOwner) ::EnableWindow(owner, TRUE);
  if (window != nullptr && ::IsWindow(window)) {
    if (owner != nullptr && ::GetActiveWindow() == window) ::SetActiveWindow(owner);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    ::DestroyWindow(window);
  }
  m_bModal = false;
  return window != nullptr ? m_nModalResult : -1;
}

bool Dialog::Create(HWND parent) {
  if (m_hWnd != nullptr) return false;
  const std::vector<BYTE> dialogTemplate = LoadTemplate();
  if (dialogTemplate.empty()) return false;
  m_bModal = false;
  HWND window = ::CreateDialogIndirectParamW(GetResourceHandle(), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), parent, &Dialog::StaticDialogProc,
                                             reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return false;
  if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0) {
    // The top-level dialog's keyboard navigation reaches the panel's controls.
    ::SetWindowLongPtrW(window, GWL_EXSTYLE, ::GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  }
  return true;
}

void Dialog::EndDialog(INT_PTR result) {
  if (m_bModal) {
    m_nModalResult = result;
    m_bEndModal = true;
    // Wakes the modal loop, which may be waiting in GetMessage.
    if (m_hWnd != nullptr) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
  } else if (m_hWnd != nullptr) {
    ::EndDialog(m_hWnd, result);
  }
}

BOOL Dialog::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

BOOL Dialog::PreTranslateMessage(MSG* msg) {
  if (m_hWnd == nullptr || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  // A child panel leaves navigation to its top-level dialog, which sees every key of its panels.
  if ((::GetWindowLongPtrW(m_hWnd, GWL_STYLE) & WS_CHILD) != 0) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return ::IsDialogMessageW(m_hWnd, msg);
}

bool Dialog::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (HWND source = ReflectionSource(m_hWnd, msg, wParam, lParam)) {
    Window* child = FromHandle(source);
    if (child != nullptr && child != this && child->OnReflectedMessage(msg, wParam, lParam, result)) return true;
  }
  switch (msg) {
    case WM_INITDIALOG:
      result = OnInitDialog();
      return true;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam), result);
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return true;
    case WM_DESTROY:
      OnDestroy();
      return false;  // the default handling still frees what the system made for the dialog
    case WM_NCDESTROY:
      return false;
    default:
      return OnMessage(msg, wParam, lParam, result);
  }
}

BOOL Dialog::OnInitDialog() { return TRUE; }

bool Dialog::OnCommand(WORD id, WORD code, HWND) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

bool Dialog::OnNotify(NMHDR*, LRESULT&) { return false; }

void Dialog::OnTimer(UINT_PTR) {}

void Dialog::OnOK() { EndDialog(IDOK); }

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::OnDestroy() {}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  Dialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lParam);
    if (self != nullptr) self->Bind(window);
  } else {
    self = static_cast<Dialog*>(FromHandle(window));
  }
  return RouteMessage(self, window, msg, wParam, lParam);
}

INT_PTR Dialog::RouteMessage(Dialog* self, HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Messages sent before WM_INITDIALOG (WM_SETFONT) find no object yet and get the default handling.
  if (self == nullptr) return FALSE;
  LRESULT result = 0;
  const bool handled = self->ProcessMessage(msg, wParam, lParam, result);
  if (msg == WM_NCDESTROY) {
    self->Unbind();
    self->PostNcDestroy();
    return FALSE;
  }
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(msg)) return static_cast<INT_PTR>(result);
  if (AnswerIsUnread(msg)) return TRUE;
  // Storing the answer is a call into the window system under Wine; it mostly holds it already.
  if (::GetWindowLongPtrW(window, DWLP_MSGRESULT) != result) ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace framework
