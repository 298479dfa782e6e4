#include "ProgramUnderTest.h"

#include <thread>

namespace e2e {

std::wstring BinaryFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

namespace {

std::wstring MakeTempFolder() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  for (int attempt = 0;; ++attempt) {
    std::wstring path = std::wstring(base) + L"plover-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(path.c_str(), nullptr)) return path;
  }
}

void RemoveFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// The program asks the user to confirm the video folder at every start until that is switched
// off, and a modal question keeps its window hidden; the tests here start it many times, so they
// switch the question off in the user's settings. The settings are read in order up to the first
// missing value, so the values before it get their defaults when they are missing.
void SwitchOffStartupFolderCheck() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Tavin\\Plover1.0", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  auto missing = [key](const wchar_t* name) {
    return RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
  };
  auto setText = [key](const wchar_t* name) {
    static const wchar_t kEmpty[] = L"";
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kEmpty), sizeof(kEmpty));
  };
  auto setNumber = [key](const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  };
  if (missing(L"RecordFolder")) setText(L"RecordFolder");
  if (missing(L"NewFolderCreate")) setNumber(L"NewFolderCreate", 1);
  if (missing(L"NewFolderNameSetting")) setNumber(L"NewFolderNameSetting", 0);
  if (missing(L"NewFolderName")) setText(L"NewFolderName");
  if (missing(L"FilePrefix")) setText(L"FilePrefix");
  setNumber(L"VideoFolderCheck", 0);
  RegCloseKey(key);
}

}  // namespace

InstallFolder::InstallFolder(bool withEnglishLibrary) : m_strPath(MakeTempFolder()) {
  SwitchOffStartupFolderCheck();
  const std::wstring bin = BinaryFolder();
  CopyFileW((bin + L"\\Plover.exe").c_str(), ProgramPath().c_str(), FALSE);
  if (withEnglishLibrary) {
    const std::wstring build = bin.substr(0, bin.find_last_of(L'\\'));
    CopyFileW((build + L"\\lang\\PLVRLang.dll").c_str(), (m_strPath + L"\\PLVRLang.dll").c_str(), FALSE);
  }
}

InstallFolder::~InstallFolder() { RemoveFolderTree(m_strPath); }

RunningProgram::RunningProgram(const std::wstring& programPath, const std::wstring& arguments,
                               const std::wstring& workingFolder) {
  std::wstring commandLine = L"\"" + programPath + L"\" " + arguments;
  const std::wstring folder =
      workingFolder.empty() ? programPath.substr(0, programPath.find_last_of(L'\\')) : workingFolder;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &startup, &m_process)) {
    m_process = PROCESS_INFORMATION{};
  }
}

RunningProgram::~RunningProgram() {
  if (!Started()) return;
  if (IsRunning()) Terminate();
  CloseHandle(m_process.hThread);
  CloseHandle(m_process.hProcess);
}

bool RunningProgram::WaitForExit(std::chrono::milliseconds timeout, DWORD* exitCode) const {
  if (!Started()) return false;
  if (WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return false;
  if (exitCode != nullptr) GetExitCodeProcess(m_process.hProcess, exitCode);
  return true;
}

bool RunningProgram::IsRunning() const {
  return Started() && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

void RunningProgram::Terminate() {
  TerminateProcess(m_process.hProcess, 1);
  WaitForSingleObject(m_process.hProcess, 10000);
}

std::vector<HWND> RunningProgram::TopWindows() const { return TopWindowsOf(m_process.dwProcessId); }

std::vector<HWND> TopWindowsOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == s->processId) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ChildDialogWith(HWND parent, int id) {
  if (parent == nullptr) return nullptr;
  for (HWND child = FindWindowExW(parent, nullptr, L"#32770", nullptr); child != nullptr;
       child = FindWindowExW(parent, child, L"#32770", nullptr)) {
    if (GetDlgItem(child, id) != nullptr) return child;
  }
  return nullptr;
}

HWND RunningProgram::WaitForTopWindow(const std::wstring& title, std::chrono::milliseconds timeout) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND hwnd : TopWindows()) {
          if (IsWindowVisible(hwnd) && (title.empty() || WindowText(hwnd) == title)) {
            found = hwnd;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::wstring WindowText(HWND hwnd) {
  wchar_t text[1024] = {};
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

std::wstring ClassName(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::vector<std::wstring> StaticTexts(HWND dialog) {
  std::vector<std::wstring> texts;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassName(child).c_str(), L"Static") == 0) {
      const std::wstring text = WindowText(child);
      if (!text.empty()) texts.push_back(text);
    }
  }
  return texts;
}

}  // namespace e2e
