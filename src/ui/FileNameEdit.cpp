#include "ui/FileNameEdit.h"

namespace {
// Characters a file name may not hold, and the full stop that would start an extension.
constexpr wchar_t kRefusedCharacters[] = L"\\/:*?\"<>|.";

// Keys that only move or leave the field, delete, or never insert a character.
bool IsControlCharacter(WPARAM character) {
  switch (character) {
    case 8:   // backspace
    case 9:   // tab
    case 10:  // line feed
    case 13:  // carriage return
    case 27:  // escape
      return true;
    default:
      return false;
  }
}

// The length of a text in bytes of the system's multibyte code page (a double-byte character is 2).
int MultiByteLength(const std::wstring& text) {
  if (text.empty()) return 0;
  return ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
}
}  // namespace

void FileNameEdit::OnSubclassed() {
  m_strAccepted = GetWindowText();
  ::SendMessageW(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&m_dwSelStart), reinterpret_cast<LPARAM>(&m_dwSelEnd));
}

void FileNameEdit::SaveState() {
  m_strAccepted = GetWindowText();
  ::SendMessageW(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&m_dwSelStart), reinterpret_cast<LPARAM>(&m_dwSelEnd));
}

LRESULT FileNameEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // A typed character or a pasted text may be refused: the text and caret before it are kept.
  if ((msg == WM_CHAR && !IsControlCharacter(wParam)) || msg == WM_PASTE) SaveState();
  return DefaultProc(msg, wParam, lParam);
}

bool FileNameEdit::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
  if (msg != WM_COMMAND || HIWORD(wParam) != EN_UPDATE || m_bRestoring) return false;
  const std::wstring text = GetWindowText();
  WPARAM refusal = 0;
  if (MultiByteLength(text) > m_nMaxLength) {
    refusal = kNotifyTooLong;
  } else if (text.find_first_of(kRefusedCharacters) != std::wstring::npos) {
    refusal = kNotifyBadCharacter;
  }
  if (refusal == 0) {
    m_strAccepted = text;
    return false;  // the owner still hears of the change
  }
  m_bRestoring = true;
  SetWindowText(m_strAccepted);
  ::SendMessageW(m_hWnd, EM_SETSEL, m_dwSelStart, m_dwSelEnd);
  m_bRestoring = false;
  if (m_hOwner != nullptr) ::SendMessageW(m_hOwner, m_nMessage, refusal, 0);
  return true;
}
