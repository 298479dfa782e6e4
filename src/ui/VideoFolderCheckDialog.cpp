#include "ui/VideoFolderCheckDialog.h"

#include "core/TextHelpers.h"
#include "resource.h"

namespace {
// The items below the hidden note area, which move up with the dialog's bottom edge.
constexpr int kItemsBelowNote[] = {IDC_FOLDER_CHECK_BOX, IDC_FOLDER_SEPARATOR, IDOK, IDC_FOLDER_CHECK_CHANGE};

// The first "%s" of a template text replaced by `text`.
std::wstring FillIn(std::wstring format, const std::wstring& text) {
  const size_t position = format.find(L"%s");
  if (position != std::wstring::npos) format.replace(position, 2, text);
  return format;
}
}  // namespace

VideoFolderCheckDialog::VideoFolderCheckDialog(framework::Window* parent) : Dialog(IDD_VIDEO_FOLDER_CHECK, parent) {}

BOOL VideoFolderCheckDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  const std::wstring text = FillIn(GetDlgItemText(IDC_FOLDER_CHECK_TEXT), m_strFolder);
  Shorten();

  HWND label = GetDlgItem(IDC_FOLDER_CHECK_TEXT);
  RECT area{};
  ::GetClientRect(label, &area);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  SetDlgItemText(IDC_FOLDER_CHECK_TEXT, WrapTextToWidth(text, area.right - area.left, font));

  ::SendDlgItemMessageW(m_hWnd, IDC_FOLDER_CHECK_BOX, BM_SETCHECK, m_nCheckState == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
  return TRUE;
}

void VideoFolderCheckDialog::Shorten() {
  RECT window{};
  ::GetWindowRect(m_hWnd, &window);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, window.bottom - window.top - kShortenBy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (int id : kItemsBelowNote) {
    HWND item = GetDlgItem(id);
    if (item == nullptr) continue;
    RECT place{};
    ::GetWindowRect(item, &place);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
    ::SetWindowPos(item, nullptr, place.left, place.top - kShortenBy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

BOOL VideoFolderCheckDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
  return Dialog::PreTranslateMessage(msg);
}

bool VideoFolderCheckDialog::OnCommand(WORD id, WORD code, HWND control) {
  if (code == BN_CLICKED && id == IDC_FOLDER_CHECK_CHANGE) {
    EndWithCheckState(IDC_FOLDER_CHECK_CHANGE);
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void VideoFolderCheckDialog::OnOK() { EndWithCheckState(IDOK); }

void VideoFolderCheckDialog::EndWithCheckState(INT_PTR result) {
  m_nCheckState = ::SendDlgItemMessageW(m_hWnd, IDC_FOLDER_CHECK_BOX, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  EndDialog(result);
}

bool VideoFolderCheckDialog::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg != WM_HELP) return false;
  result = TRUE;  // the program has no context help
  return true;
}
