#include "OptionsTestSupport.h"

#include <commctrl.h>

namespace {
constexpr DWORD kScriptTimeoutMs = 20000;
}  // namespace

bool FakeFolders::BrowseForFolder(HWND, const std::wstring& initial, std::wstring& chosen) {
  m_initialFolders.push_back(initial);
  if (m_answers.empty()) return false;
  chosen = m_answers.front();
  m_answers.pop_front();
  return !chosen.empty();
}

std::wstring FakeFolders::GetFileSystemName(const std::wstring& folder) {
  const auto found = m_fileSystems.find(folder);
  return found != m_fileSystems.end() ? found->second : L"NTFS";
}

Step Do(std::function<void()> action) {
  return [action = std::move(action)] {
    action();
    return true;
  };
}

Step WaitFor(std::function<bool()> condition) { return condition; }

Script::Script(std::vector<Step> steps) : m_spState(std::make_shared<State>()) {
  m_spState->steps = std::move(steps);
  m_spState->dwStart = ::GetTickCount();
  std::shared_ptr<State> state = m_spState;
  m_spTicker = std::make_unique<WhileModal>([state] {
    if (::GetTickCount() - state->dwStart > kScriptTimeoutMs) {
      ADD_FAILURE() << "script stalled at step " << state->nNext;
      for (HWND dialog : VisibleDialogs(nullptr)) {
        ::PostMessageW(dialog, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      }
      return true;
    }
    if (state->nNext < state->steps.size() && state->steps[state->nNext]()) ++state->nNext;
    return state->nNext == state->steps.size();
  });
}

void PostClick(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void TypeText(HWND edit, const std::wstring& text) {
  ::SetFocus(edit);
  for (wchar_t character : text) {
    const LRESULT length = ::SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    ::SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
    ::SendMessageW(edit, WM_CHAR, character, 0);
  }
}

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[2048] = {};
  ::GetDlgItemTextW(dialog, id, text, 2048);
  return text;
}

std::wstring WithoutLineBreaks(const std::wstring& text) {
  std::wstring plain;
  for (wchar_t character : text) {
    if (character != L'\r' && character != L'\n') plain.push_back(character);
  }
  return plain;
}

HWND FindBoxWithText(const std::wstring& text, HWND except) {
  for (HWND box : VisibleDialogs(except)) {
    if (MessageBoxText(box).find(text) != std::wstring::npos) return box;
  }
  return nullptr;
}

bool AnswerBox(const std::wstring& text, HWND except) {
  HWND box = FindBoxWithText(text, except);
  if (box == nullptr) return false;
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  return true;
}

std::vector<std::wstring> TemporaryFiles(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW((folder + L"PLV*.tmp").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return names;
}
