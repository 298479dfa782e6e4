#include "ui/OptionSheet.h"

#include "framework/Resources.h"
#include "resource.h"

namespace {
// The preview radio buttons from large (size 3) to none (size 0).
constexpr int kPreviewButtons[] = {IDC_OPT_PREVIEW_LARGE, IDC_OPT_PREVIEW_MEDIUM, IDC_OPT_PREVIEW_SMALL,
                                   IDC_OPT_PREVIEW_NONE};
constexpr DWORD kLargestPreviewSize = 3;
constexpr DWORD kFormatType1 = 1;
constexpr DWORD kFormatType2 = 2;
}  // namespace

COptionRecPage::COptionRecPage(AppSettings& settings) : PropertyPage(IDD_OPTION_REC), m_settings(settings) {}

BOOL COptionRecPage::OnInitDialog() {
  PropertyPage::OnInitDialog();
  CheckDlgButton(m_settings.GetRecordMode() != 0 ? IDC_OPT_MODE_LINKED : IDC_OPT_MODE_STANDARD, true);
  const DWORD previewSize = m_settings.GetPreviewSize();
  if (previewSize <= kLargestPreviewSize) CheckDlgButton(kPreviewButtons[kLargestPreviewSize - previewSize], true);
  if (m_settings.GetRecordFormat() == kFormatType1) CheckDlgButton(IDC_OPT_FORMAT_TYPE1, true);
  if (m_settings.GetRecordFormat() == kFormatType2) CheckDlgButton(IDC_OPT_FORMAT_TYPE2, true);
  return TRUE;
}

void COptionRecPage::OnOK() {
  m_settings.SetRecordMode(IsDlgButtonChecked(IDC_OPT_MODE_STANDARD) ? 0 : 1);
  for (DWORD i = 0; i <= kLargestPreviewSize; ++i) {
    if (IsDlgButtonChecked(kPreviewButtons[i])) {
      m_settings.SetPreviewSize(kLargestPreviewSize - i);
      break;
    }
  }
  m_settings.SetRecordFormat(IsDlgButtonChecked(IDC_OPT_FORMAT_TYPE1) ? kFormatType1 : kFormatType2);
}

bool COptionRecPage::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg != WM_HELP) return false;
  result = TRUE;  // the program has no context help
  return true;
}

COptionSheet::COptionSheet(AppSettings& settings, framework::Window* parent, FolderChoice& folders)
    : PropertySheetDialog(framework::LoadResString(IDS_OPTION_SHEET_CAPTION), parent),
      m_pageWhole(settings, folders),
      m_pageRec(settings) {
  AddPage(&m_pageWhole);
  AddPage(&m_pageRec);
}
