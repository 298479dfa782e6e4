// A modal property sheet with dialog-template pages. It has no Apply button and no Help button;
// a page may refuse to be left (PSN_KILLACTIVE), and every message of the sheet passes the
// application's PreTranslateMessage as in a dialog of the framework.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Control.h"
#include "framework/Dialog.h"

namespace framework {

class PropertySheetDialog;

class PropertyPage : public Dialog {
 public:
  // The page's template from the resource module; its caption is the tab's text.
  explicit PropertyPage(UINT templateId);

  PropertySheetDialog* GetSheet() const { return m_pSheet; }
  HWND GetSheetWindow() const { return m_hWnd != nullptr ? ::GetParent(m_hWnd) : nullptr; }

  // Keys of a page are handled by its sheet.
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  // The page becomes the current one; FALSE refuses it.
  virtual BOOL OnSetActive();
  // The page is about to be left (another page, or OK); FALSE refuses and keeps it current.
  virtual BOOL OnKillActive();
  // The sheet ended with OK; only pages that were ever shown are told.
  void OnOK() override;
  // The sheet was cancelled.
  void OnCancel() override;
  bool OnNotify(NMHDR* header, LRESULT& result) override;

 private:
  friend class PropertySheetDialog;
  static INT_PTR CALLBACK PageDialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  PROPSHEETPAGEW MakePageData();

  PropertySheetDialog* m_pSheet = nullptr;
};

class PropertySheetDialog : public Control {
 public:
  PropertySheetDialog(std::wstring caption, Window* parent = nullptr);

  // Pages in tab order; the sheet does not own them.
  void AddPage(PropertyPage* page);
  int GetPageCount() const { return static_cast<int>(m_arrPages.size()); }
  void SetStartPage(int index) { m_nStartPage = index; }

  // Shows the sheet modally; IDOK when it ended with OK, IDCANCEL otherwise, -1 when it could not
  // be created.
  INT_PTR DoModal();
  // The page shown now, or null when the sheet is not shown.
  PropertyPage* GetActivePage() const;
  int GetActiveIndex() const;
  bool SetActivePage(int index);
  // Presses OK (IDOK) or Cancel (IDCANCEL) as the user would; a page may still refuse OK.
  void PressButton(int button);

  BOOL PreTranslateMessage(MSG* msg) override;

 private:
  friend class PropertyPage;
  static int CALLBACK SheetCallback(HWND window, UINT msg, LPARAM lParam);
  void OnPageApplied() { m_bApplied = true; }

  std::wstring m_strCaption;
  Window* m_pParent;
  std::vector<PropertyPage*> m_arrPages;
  int m_nStartPage = 0;
  bool m_bApplied = false;
};

}  // namespace framework
