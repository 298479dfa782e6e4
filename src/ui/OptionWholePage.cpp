#include "ui/OptionWholePage.h"

#include <direct.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

#include "framework/App.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/PerformanceCheckDialog.h"

namespace {
// The error balloon: pale yellow with black text, a balloon with the information icon that hides
// on a key press, a focus change, a move or a resize.
constexpr COLORREF kBalloonBackground = RGB(255, 255, 225);
constexpr COLORREF kBalloonText = RGB(0, 0, 0);
constexpr DWORD kBalloonStyle = TTS_BALLOON;
constexpr UINT kBalloonFlags = 1 | PanelToolTip::kHideOnKey | PanelToolTip::kHideOnFocusChange |
                               PanelToolTip::kHideOnMove | PanelToolTip::kHideOnSize;
// Shown in the example instead of a name that cannot be used.
constexpr wchar_t kNoExample[] = L"--------";

// Blanks removed from the ends of a name: the space and the ideographic space.
bool IsBlank(wchar_t character) { return character == L' ' || character == L'\x3000'; }

int MultiByteLength(const std::wstring& text) {
  if (text.empty()) return 0;
  return ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
}

// The first "%s" of a template text replaced by `text`.
std::wstring FillIn(std::wstring format, const std::wstring& text) {
  const size_t position = format.find(L"%s");
  if (position != std::wstring::npos) format.replace(position, 2, text);
  return format;
}

DWORD CaretPosition(HWND edit) {
  DWORD start = 0;
  ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  return start;
}

void PlaceCaret(HWND edit, size_t position) {
  ::SendMessageW(edit, EM_SETSEL, position, position);
  ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}
}  // namespace

COptionWholePage::COptionWholePage(AppSettings& settings, FolderChoice& folders)
    : PropertyPage(IDD_OPTION_WHOLE), m_settings(settings), m_folders(folders) {}

BOOL COptionWholePage::OnInitDialog() {
  PropertyPage::OnInitDialog();
  m_toolTip.Create(m_hWnd);
  m_toolTip.Activate(true);
  m_toolTip.AddTool(GetDlgItem(IDC_OPT_FOLDER), std::wstring());

  m_strChosenFolder = m_settings.GetRecordFolder();
  SetDlgItemText(IDC_OPT_FOLDER, m_strChosenFolder);

  const bool named = m_settings.GetNewFolderNameSetting() == 1;
  CheckDlgButton(named ? IDC_OPT_NAME_BY_TEXT : IDC_OPT_NAME_BY_DATE, true);
  if (m_settings.GetNewFolderCreate() == 1) {
    CheckDlgButton(IDC_OPT_NEW_FOLDER, true);
    SetSubFolderControls(true, true, named ? kSubFolderNamed : kSubFolderDate);
  } else {
    SetSubFolderControls(false, false, kSubFolderNone);
  }

  SetDlgItemText(IDC_OPT_PREFIX, m_settings.GetFilePrefix());
  m_edtPrefix.SetMaxLength(kMaxNameBytes);
  m_edtPrefix.SetNotify(m_hWnd, WM_PREFIX_REFUSED);
  m_edtPrefix.SubclassDlgItem(IDC_OPT_PREFIX, m_hWnd);
  m_edtSubFolderName.SetMaxLength(kMaxNameBytes);
  m_edtSubFolderName.SetNotify(m_hWnd, WM_SUBFOLDER_REFUSED);
  m_edtSubFolderName.SubclassDlgItem(IDC_OPT_SUBFOLDER_NAME, m_hWnd);

  m_strExampleFormat = GetDlgItemText(IDC_OPT_EXAMPLE);
  ShowExample(true);

  CheckDlgButton(IDC_OPT_FOLDER_CHECK, m_settings.GetVideoFolderCheck() != 0);
  m_nSubFolderError = kNameOk;
  m_nPrefixError = kNameOk;
  return TRUE;
}

BOOL COptionWholePage::PreTranslateMessage(MSG* msg) {
  if (m_toolTip.IsWindow()) m_toolTip.RelayEvent(msg);
  return PropertyPage::PreTranslateMessage(msg);
}

bool COptionWholePage::OnCommand(WORD id, WORD code, HWND control) {
  switch (id) {
    case IDC_OPT_CHANGE_FOLDER:
      if (code != BN_CLICKED) return false;
      ChooseFolder();
      return true;
    case IDC_OPT_PERFORMANCE:
      if (code != BN_CLICKED) return false;
      OpenPerformanceCheck();
      return true;
    case IDC_OPT_NEW_FOLDER:
    case IDC_OPT_NAME_BY_DATE:
    case IDC_OPT_NAME_BY_TEXT:
      if (code != BN_CLICKED) return false;
      UpdateSubFolderControls(id);
      return true;
    case IDC_OPT_PREFIX:
      if (code != EN_CHANGE) return false;
      CheckPrefix();
      return true;
    case IDC_OPT_SUBFOLDER_NAME:
      if (code != EN_CHANGE) return false;
      CheckSubFolderName();
      return true;
    default:
      return PropertyPage::OnCommand(id, code, control);
  }
}

bool COptionWholePage::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (msg) {
    case WM_HELP:
      result = TRUE;  // the program has no context help
      return true;
    case WM_FOCUS_ERROR_EDIT:
      FocusEditInError();
      return true;
    case WM_PREFIX_REFUSED:
      OnNameRefused(m_edtPrefix, wParam);
      return true;
    case WM_SUBFOLDER_REFUSED:
      OnNameRefused(m_edtSubFolderName, wParam);
      return true;
    default:
      return false;
  }
}

BOOL COptionWholePage::OnSetActive() {
  // Once the page shows again, the edit whose name kept it from being left gets the focus.
  PostMessage(WM_FOCUS_ERROR_EDIT);
  return PropertyPage::OnSetActive();
}

BOOL COptionWholePage::OnKillActive() {
  // A balloon of this page does not stay over the other page.
  if (HWND shown = m_toolTip.GetBalloonWindow()) m_toolTip.HideBalloon(shown);
  return ApplyGeneralPage();
}

void COptionWholePage::OpenPerformanceCheck() {
  PerformanceCheckDialog check(this);
  check.SetTestFolder(m_strChosenFolder);
  check.DoModal();
}

void COptionWholePage::ChooseFolder() {
  std::wstring folder;
  if (!m_folders.BrowseForFolder(GetSafeOwnerWindow(m_hWnd), m_strChosenFolder, folder)) return;
  const int bytes = MultiByteLength(folder);
  if (bytes == 0) return;
  if (bytes > kMaxFolderBytes) {
    ShowErrorBalloon(GetDlgItem(IDC_OPT_FOLDER), IDS_FOLDER_PATH_TOO_LONG);
    return;
  }
  folder = WithTrailingBackslash(folder);
  const std::wstring fileSystem = m_folders.GetFileSystemName(folder);
  if (fileSystem == L"FAT32" || fileSystem == L"FAT") {
    framework::AppMessageBox(IDS_FOLDER_NOT_NTFS, MB_OK);
    return;
  }
  // A refused folder is not taken: the performance check and the next browse keep the old one.
  m_strChosenFolder = folder;
  SetDlgItemText(IDC_OPT_FOLDER, folder);
}

void COptionWholePage::UpdateSubFolderControls(WORD id) {
  if (id == IDC_OPT_NAME_BY_DATE) {
    SetSubFolderControls(true, true, kSubFolderDate);
  } else if (id == IDC_OPT_NAME_BY_TEXT) {
    SetSubFolderControls(true, true, kSubFolderNamed);
  } else if (!IsDlgButtonChecked(IDC_OPT_NEW_FOLDER)) {
    SetSubFolderControls(false, false, kSubFolderNone);
  } else {
    SetSubFolderControls(true, true, IsDlgButtonChecked(IDC_OPT_NAME_BY_DATE) ? kSubFolderDate : kSubFolderNamed);
  }
  // The name's error follows the mode, also when the new text equals the old one.
  CheckSubFolderName();
}

void COptionWholePage::SetSubFolderControls(bool enableDate, bool enableName, SubFolderMode mode) {
  EnableDlgItem(IDC_OPT_NAME_BY_DATE, enableDate);
  EnableDlgItem(IDC_OPT_NAME_BY_TEXT, enableName);
  HWND edit = GetDlgItem(IDC_OPT_SUBFOLDER_NAME);
  switch (mode) {
    case kSubFolderNone:
      SetDlgItemText(IDC_OPT_SUBFOLDER_NAME, std::wstring());
      ::EnableWindow(edit, FALSE);
      break;
    case kSubFolderDate:
      SetDlgItemText(IDC_OPT_SUBFOLDER_NAME, m_settings.MakeDateFolderName());
      ::EnableWindow(edit, FALSE);
      ::SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
      break;
    case kSubFolderNamed:
      SetDlgItemText(IDC_OPT_SUBFOLDER_NAME, m_settings.GetNewFolderName());
      ::EnableWindow(edit, TRUE);
      ::SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
      break;
  }
}

void COptionWholePage::CheckPrefix() {
  if (!m_edtPrefix.IsSubclassed()) return;
  m_nPrefixError = kNameOk;
  const std::wstring text = m_edtPrefix.GetWindowText();
  const DWORD caret = CaretPosition(m_edtPrefix);
  if (text.empty()) {
    m_nPrefixError = kNameEmpty;
  } else if (IsBlank(text.front())) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    // Setting the text checks it again (a new EN_CHANGE), which sets the error for the new text.
    m_edtPrefix.SetWindowText(text.substr(first));
    PlaceCaret(m_edtPrefix, caret > first ? caret - first : 0);
  } else if (MultiByteLength(text) > kMaxNameBytes) {
    m_nPrefixError = kNameTooLong;
  }
  ShowExample(m_nPrefixError == kNameOk);
}

void COptionWholePage::CheckSubFolderName() {
  if (!m_edtSubFolderName.IsSubclassed()) return;
  m_nSubFolderError = kNameOk;
  const std::wstring text = m_edtSubFolderName.GetWindowText();
  const DWORD caret = CaretPosition(m_edtSubFolderName);
  if (text.empty()) {
    if (IsDlgButtonChecked(IDC_OPT_NEW_FOLDER)) m_nSubFolderError = kNameEmpty;
  } else if (IsBlank(text.front()) || IsBlank(text.back())) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) --last;
    const std::wstring trimmed = text.substr(first, last - first);
    m_edtSubFolderName.SetWindowText(trimmed);
    PlaceCaret(m_edtSubFolderName, std::min<size_t>(caret, trimmed.size()));
  } else if (MultiByteLength(text) > kMaxNameBytes) {
    m_nSubFolderError = kNameTooLong;
  }
}

void COptionWholePage::ShowExample(bool valid) {
  if (GetDlgItem(IDC_OPT_EXAMPLE) == nullptr || m_strExampleFormat.empty()) return;
  std::wstring example = kNoExample;
  if (valid) {
    wchar_t number[32] = {};
    std::swprintf(number, sizeof(number) / sizeof(number[0]), L"%0*d", m_settings.GetSerialDigits(),
                  m_settings.GetFirstSerialNumber());
    example = GetDlgItemText(IDC_OPT_PREFIX) + number;
  }
  SetDlgItemTextIfChanged(IDC_OPT_EXAMPLE, FillIn(m_strExampleFormat, example));
}

BOOL COptionWholePage::ApplyGeneralPage() {
  // Only a sub-folder the program made is removed when the recording path moves away from it.
  const bool hadSubFolder = m_settings.GetNewFolderCreate() == 1;
  const std::wstring oldPath = m_settings.GetVideoFolder();

  const std::wstring folder = GetDlgItemText(IDC_OPT_FOLDER);
  m_settings.SetRecordFolder(folder == AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL) ? std::wstring() : folder);

  if (IsDlgButtonChecked(IDC_OPT_NEW_FOLDER)) {
    m_settings.SetNewFolderCreate(1);
    if (IsDlgButtonChecked(IDC_OPT_NAME_BY_DATE)) {
      m_settings.SetNewFolderNameSetting(0);
      m_settings.SetNewFolderName(std::wstring());
    } else {
      m_settings.SetNewFolderNameSetting(1);
      if (m_nSubFolderError == kNameEmpty) {
        framework::AppMessageBox(IDS_SETTING_EMPTY, MB_OK);
      } else if (m_nSubFolderError == kNameTooLong) {
        framework::AppMessageBox(IDS_FILE_NAME_TOO_LONG, MB_OK);
      } else {
        m_settings.SetNewFolderName(GetDlgItemText(IDC_OPT_SUBFOLDER_NAME));
      }
    }
  } else {
    m_settings.SetNewFolderCreate(0);
    m_settings.SetNewFolderNameSetting(0);
    m_settings.SetNewFolderName(std::wstring());
  }

  const std::wstring newPath = m_settings.GetVideoFolder();
  if (m_settings.GetNewFolderCreate() == 1) _wmkdir(newPath.c_str());
  if (hadSubFolder && newPath != oldPath) _wrmdir(oldPath.c_str());

  if (m_nSubFolderError == kNameOk) {
    if (m_nPrefixError == kNameEmpty) {
      framework::AppMessageBox(IDS_SETTING_EMPTY, MB_OK);
    } else if (m_nPrefixError == kNameTooLong) {
      framework::AppMessageBox(IDS_FILE_NAME_TOO_LONG, MB_OK);
    } else {
      m_settings.SetFilePrefix(GetDlgItemText(IDC_OPT_PREFIX));
    }
  }
  m_settings.SetVideoFolderCheck(IsDlgButtonChecked(IDC_OPT_FOLDER_CHECK) ? 1 : 0);
  return m_nSubFolderError == kNameOk && m_nPrefixError == kNameOk ? TRUE : FALSE;
}

void COptionWholePage::ShowErrorBalloon(HWND control, UINT textId) {
  m_toolTip.SetBalloonColors(kBalloonBackground, kBalloonText, kBalloonStyle);
  m_toolTip.ShowBalloon(control, textId, IDS_ERROR_TITLE, kBalloonFlags);
}

void COptionWholePage::OnNameRefused(FileNameEdit& edit, WPARAM code) {
  UINT textId = 0;
  if (code == FileNameEdit::kNotifyBadCharacter) textId = IDS_FILE_NAME_BAD_CHARACTER;
  if (code == FileNameEdit::kNotifyTooLong) textId = IDS_FILE_NAME_TOO_LONG;
  if (textId == 0) return;
  // A balloon still shown goes first, so that the new one takes its place at this edit.
  if (HWND shown = m_toolTip.GetBalloonWindow()) m_toolTip.HideBalloon(shown);
  ShowErrorBalloon(edit, textId);
}

void COptionWholePage::FocusEditInError() {
  if (m_nSubFolderError != kNameOk) {
    ::SetFocus(GetDlgItem(IDC_OPT_SUBFOLDER_NAME));
  } else if (m_nPrefixError != kNameOk) {
    ::SetFocus(GetDlgItem(IDC_OPT_PREFIX));
  }
}
