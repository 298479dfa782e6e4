// A dialog made from a template: run modally with DoModal or created as a modeless (child) dialog.
// One dialog procedure binds the object at WM_INITDIALOG and routes messages to virtual handlers.
// A notification from a child that a Control object holds (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
// WM_MEASUREITEM, WM_CTLCOLOR..., WM_HSCROLL, WM_VSCROLL) is first offered to that object's
// OnReflectedMessage; only when it declines do the dialog's handlers see it. A handler that returns
// false leaves the message to the system's default dialog handling.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Window.h"

namespace framework {

class Dialog : public Window {
 public:
  // A template of the resource module (GetResourceHandle) by id.
  explicit Dialog(UINT templateId, Window* parent = nullptr);
  ~Dialog() override;

  // Runs the dialog modally: its owner is disabled and a message loop runs until EndDialog. The
  // dialog is shown when the loop first finds the queue empty (also when its initialisation hid it).
  // Every message first passes the application's PreTranslateMessage (which walks the dialogs), so
  // keyboard navigation works as in any dialog. Returns EndDialog's result, or -1 when the dialog
  // could not be created or a quit message ended the loop (the quit message is posted again).
  virtual INT_PTR DoModal();
  // Creates the dialog modeless, typically as a child panel of `parent`; false on failure.
  virtual bool Create(HWND parent);
  // Ends a modal dialog with `result`; a modeless dialog is hidden.
  void EndDialog(INT_PTR result);
  BOOL DestroyWindow();
  bool IsModal() const { return m_bModal; }

  UINT GetTemplateId() const { return m_nTemplateId; }

  // Runs IsDialogMessage for keyboard messages meant for this top-level dialog or its controls; a
  // child panel leaves them to its top-level dialog, whose navigation covers the panel.
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  // The whole routing of one message; true when handled, with the message's result in `result`.
  // Panels that must see every message before the handlers override this and call it at the end.
  virtual bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

  // TRUE lets the system set the focus to the first control.
  virtual BOOL OnInitDialog();
  // True when the command was handled. The base routes IDOK to OnOK and IDCANCEL to OnCancel.
  virtual bool OnCommand(WORD id, WORD code, HWND control);
  // True when handled; `result` goes to DWLP_MSGRESULT.
  virtual bool OnNotify(NMHDR* header, LRESULT& result);
  virtual void OnTimer(UINT_PTR timerId);
  virtual void OnOK();
  virtual void OnCancel();
  virtual void OnDestroy();
  // Every message without a handler above; true when handled.
  virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // After the window has gone (WM_NCDESTROY); the object is unbound by then.
  virtual void PostNcDestroy() {}

  // The owner a modal dialog disables: the parent given, else the application's main window.
  HWND GetModalOwner() const;

  static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  // Shared by dialogs and property pages once the object is known.
  static INT_PTR RouteMessage(Dialog* self, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

  Window* m_pParent = nullptr;

 private:
  // A copy of the template resource; empty when it is missing.
  std::vector<BYTE> LoadTemplate() const;

  UINT m_nTemplateId = 0;
  bool m_bModal = false;
  bool m_bEndModal = false;
  INT_PTR m_nModalResult = -1;
};

}  // namespace framework
