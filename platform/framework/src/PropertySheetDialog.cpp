#include "framework/PropertySheetDialog.h"

#include "framework/MessageLoop.h"
#include "framework/Resources.h"

namespace framework {
namespace {
constexpr WORD kExtendedTemplateSignature = 0xFFFF;
constexpr size_t kExtendedTemplateStyleOffset = 12;

// The sheet's caption bar gets no "?" button: nothing in it offers context help.
void RemoveContextHelp(DLGTEMPLATE* sheetTemplate) {
  auto* bytes = reinterpret_cast<BYTE*>(sheetTemplate);
  WORD signature = 0;
  ::CopyMemory(&signature, bytes + sizeof(WORD), sizeof(signature));
  const size_t offset = signature == kExtendedTemplateSignature ? kExtendedTemplateStyleOffset : 0;
  DWORD style = 0;
  ::CopyMemory(&style, bytes + offset, sizeof(style));
  style &= ~static_cast<DWORD>(DS_CONTEXTHELP);
  ::CopyMemory(bytes + offset, &style, sizeof(style));
}

HWND CurrentPageOf(HWND sheet) { return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }
}  // namespace

PropertyPage::PropertyPage(UINT templateId) : Dialog(templateId) {}

PROPSHEETPAGEW PropertyPage::MakePageData() {
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof(page);
  page.dwFlags = PSP_DEFAULT;  // no PSP_HASHELP: the sheet has no Help button
  page.hInstance = GetResourceHandle();
  page.pszTemplate = MAKEINTRESOURCEW(GetTemplateId());
  page.pfnDlgProc = &PropertyPage::PageDialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

INT_PTR CALLBACK PropertyPage::PageDialogProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  PropertyPage* self = nullptr;
  if (msg == WM_INITDIALOG) {
    // The sheet hands its own copy of the page data; the object travels in its lParam.
    const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    self = page != nullptr ? reinterpret_cast<PropertyPage*>(page->lParam) : nullptr;
    if (self != nullptr) self->Bind(window);
  } else {
    self = static_cast<PropertyPage*>(FromHandle(window));
  }
  return RouteMessage(self, window, msg, wParam, lParam);
}

BOOL PropertyPage::PreTranslateMessage(MSG*) { return FALSE; }

BOOL PropertyPage::OnSetActive() { return TRUE; }

BOOL PropertyPage::OnKillActive() { return TRUE; }

void PropertyPage::OnOK() {}

void PropertyPage::OnCancel() {}

bool PropertyPage::OnNotify(NMHDR* header, LRESULT& result) {
  // Only the sheet's own notifications; those of the page's controls are the page's business.
  if (header->hwndFrom != GetSheetWindow()) return false;
  switch (header->code) {
    case PSN_SETACTIVE:
      result = OnSetActive() ? 0 : -1;
      return true;
    case PSN_KILLACTIVE:
      result = OnKillActive() ? FALSE : TRUE;  // TRUE keeps the page current
      return true;
    case PSN_APPLY:
      if (m_pSheet != nullptr) m_pSheet->OnPageApplied();
      OnOK();
      result = PSNRET_NOERROR;
      return true;
    case PSN_RESET:
      OnCancel();
      result = 0;
      return true;
    default:
      return false;
  }
}

PropertySheetDialog::PropertySheetDialog(std::wstring caption, Window* parent) : m_strCaption(std::move(caption)), m_pParent(parent) {}

void PropertySheetDialog::AddPage(PropertyPage* page) {
  page->m_pSheet = this;
  m_arrPages.push_back(page);
}

int CALLBACK PropertySheetDialog::SheetCallback(HWND, UINT msg, LPARAM lParam) {
  if (msg == PSCB_PRECREATE && lParam != 0) RemoveContextHelp(reinterpret_cast<DLGTEMPLATE*>(lParam));
  return 0;
}

INT_PTR PropertySheetDialog::DoModal() {
  if (m_hWnd != nullptr || m_arrPages.empty()) return -1;
  std::vector<PROPSHEETPAGEW> pages;
  pages.reserve(m_arrPages.size());
  for (PropertyPage* page : m_arrPages) pages.push_back(page->MakePageData());

  PROPSHEETHEADERW header{};
  header.dwSize = sizeof(header);
  // Modeless underneath, so that the framework's loop pumps the sheet's messages.
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | PSH_USECALLBACK | PSH_MODELESS;
  HWND owner = FindModalOwner(m_pParent, this);
  header.hwndParent = owner;
  header.hInstance = GetResourceHandle();
  header.pszCaption = m_strCaption.c_str();
  header.nPages = static_cast<UINT>(pages.size());
  header.nStartPage = m_nStartPage >= 0 && m_nStartPage < GetPageCount() ? static_cast<UINT>(m_nStartPage) : 0;
  header.ppsp = pages.data();
  header.pfnCallback = &PropertySheetDialog::SheetCallback;

  const bool enableOwner = owner != nullptr && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);
  m_bApplied = false;
  auto window = reinterpret_cast<HWND>(::PropertySheetW(&header));
  if (window == nullptr || window == reinterpret_cast<HWND>(-1)) {
    if (enableOwner) ::EnableWindow(owner, TRUE);
    return -1;
  }
  Subclass(window);
  // OK and Cancel leave a modeless sheet without a current page; that ends the loop.
  RunModalLoop([window] { return ::IsWindow(window) && CurrentPageOf(window) != nullptr; }, nullptr);
  if (enableOwner) ::EnableWindow(owner, TRUE);
  if (::IsWindow(window)) {
    if (owner != nullptr && ::GetActiveWindow() == window) ::SetActiveWindow(owner);
    ::DestroyWindow(window);
  }
  Unsubclass();
  return m_bApplied ? IDOK : IDCANCEL;
}

PropertyPage* PropertySheetDialog::GetActivePage() const {
  if (m_hWnd == nullptr) return nullptr;
  return static_cast<PropertyPage*>(FromHandle(CurrentPageOf(m_hWnd)));
}

int PropertySheetDialog::GetActiveIndex() const {
  const PropertyPage* active = GetActivePage();
  for (size_t i = 0; i < m_arrPages.size(); ++i) {
    if (m_arrPages[i] == active) return static_cast<int>(i);
  }
  return -1;
}

bool PropertySheetDialog::SetActivePage(int index) {
  if (m_hWnd == nullptr || index < 0 || index >= GetPageCount()) return false;
  return ::SendMessageW(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != FALSE;
}

void PropertySheetDialog::PressButton(int button) {
  if (m_hWnd == nullptr) return;
  ::PostMessageW(m_hWnd, PSM_PRESSBUTTON, button == IDOK ? PSBTN_OK : PSBTN_CANCEL, 0);
}

BOOL PropertySheetDialog::PreTranslateMessage(MSG* msg) {
  if (m_hWnd == nullptr || msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return static_cast<BOOL>(::SendMessageW(m_hWnd, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(msg)));
}

}  // namespace framework
