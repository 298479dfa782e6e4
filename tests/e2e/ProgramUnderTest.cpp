#include "ProgramUnderTest.h"

#include <gtest/gtest.h>

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
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
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
  // Under a loaded Wine a new process now and then dies before it starts and CreateProcess fails;
  // that is the host's, not the program's, so the start is tried again a few times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt > 0) Sleep(250);
    if (CreateProcessW(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                       &startup, &m_process)) {
      return;
    }
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

std::vector<HWND> VisibleDialogs(const RunningProgram& program, HWND except) {
  std::vector<HWND> dialogs;
  for (HWND window : program.TopWindows()) {
    if (window != except && IsWindowVisible(window) && ClassName(window) == L"#32770") dialogs.push_back(window);
  }
  return dialogs;
}

std::wstring AnswerDialog(const RunningProgram& program, int button, std::chrono::milliseconds timeout, HWND except) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] {
        const std::vector<HWND> dialogs = VisibleDialogs(program, except);
        if (!dialogs.empty()) dialog = dialogs.front();
        return dialog != nullptr;
      },
      timeout);
  if (dialog == nullptr) return L"";
  const std::wstring texts = JoinedStaticTexts(dialog);
  PostMessageW(dialog, WM_COMMAND, button, 0);
  return texts;
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

std::wstring JoinedStaticTexts(HWND dialog) {
  std::wstring all;
  for (const std::wstring& text : StaticTexts(dialog)) all += text;
  return all;
}

std::string Narrow(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
  converted.resize(converted.size() - 1);
  return converted;
}

std::string ReadFileText(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

HWND FindPanel(HWND main, int backgroundId) {
  for (HWND child = FindWindowExW(main, nullptr, L"#32770", nullptr); child != nullptr;
       child = FindWindowExW(main, child, L"#32770", nullptr)) {
    if (GetDlgItem(child, backgroundId) != nullptr) return child;
  }
  return nullptr;
}

void PressKey(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

DWORD RunBusTool(const std::wstring& arguments) {
  RunningProgram command(BinaryFolder() + L"\\plover-dvbus.exe", arguments);
  DWORD exitCode = 99;
  if (!command.WaitForExit(std::chrono::seconds(30), &exitCode)) return 99;
  return exitCode;
}

std::string BusAnswer(const std::string& command) {
  HANDLE pipe = CreateFileW(kBusPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return std::string();
  const std::string line = command + "\n";
  DWORD done = 0;
  WriteFile(pipe, line.data(), static_cast<DWORD>(line.size()), &done, nullptr);
  std::string answer;
  char buffer[512];
  while (ReadFile(pipe, buffer, sizeof(buffer), &done, nullptr) && done > 0) answer.append(buffer, done);
  CloseHandle(pipe);
  return answer;
}

bool WriteSettings(const Settings& settings) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  bool written = true;
  auto text = [&](const wchar_t* name, const std::wstring& value) {
    written = written && RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  };
  auto number = [&](const wchar_t* name, DWORD value) {
    written = written && RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                        sizeof(value)) == ERROR_SUCCESS;
  };
  text(L"RecordFolder", settings.strRecordFolder);
  number(L"NewFolderCreate", settings.dwNewFolderCreate);
  number(L"NewFolderNameSetting", settings.dwNewFolderNameSetting);
  text(L"NewFolderName", settings.strNewFolderName);
  text(L"FilePrefix", settings.strFilePrefix);
  number(L"VideoFolderCheck", settings.dwVideoFolderCheck);
  number(L"RecordMode", settings.dwRecordMode);
  number(L"PreviewSize", settings.dwPreviewSize);
  number(L"RecordFormat", settings.dwRecordFormat);
  RegCloseKey(key);
  return written;
}

void DeleteSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

std::optional<DWORD> ReadSettingNumber(const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::wstring> ReadSettingText(const wchar_t* name) {
  wchar_t value[520] = {};
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

ProgramSession::ProgramSession(SessionOptions options)
    : m_options(std::move(options)), m_install(m_options.bEnglish) {
  if (m_options.bFirstStart) DeleteSettings();
  CreateDirectoryW(VideoFolder().c_str(), nullptr);
  if (m_options.settings) {
    if (m_options.settings->strRecordFolder.empty()) m_options.settings->strRecordFolder = VideoFolder();
    WriteSettings(*m_options.settings);
  }
  if (m_options.nTraceLevel > 0) {
    WritePrivateProfileStringW(L"Debug", L"FileOut", std::to_wstring(m_options.nTraceLevel).c_str(),
                               (m_install.Path() + L"\\Plover.ini").c_str());
  }
  m_spProgram = std::make_unique<RunningProgram>(m_install.ProgramPath());
  if (m_options.bWaitForMain) WaitForMain(std::chrono::seconds(30));
}

ProgramSession::~ProgramSession() {
  if (!m_bClosed) Close();
  m_spProgram.reset();
  if (m_options.settings) DeleteSettings();
}

HWND ProgramSession::WaitForMain(std::chrono::milliseconds timeout) {
  if (m_hMain == nullptr) m_hMain = m_spProgram->WaitForTopWindow(kMainTitle, timeout);
  return m_hMain;
}

HWND ProgramSession::OtherDialog() const {
  const std::vector<HWND> dialogs = VisibleDialogs(*m_spProgram, m_hMain);
  return dialogs.empty() ? nullptr : dialogs.front();
}

HWND ProgramSession::WaitForOtherDialog(std::chrono::milliseconds timeout) const {
  HWND dialog = nullptr;
  WaitUntil([&] { return (dialog = OtherDialog()) != nullptr; }, timeout);
  return dialog;
}

std::wstring ProgramSession::AnswerMessageBox(int button, std::chrono::milliseconds timeout) const {
  return AnswerDialog(*m_spProgram, button, timeout, m_hMain);
}

bool ProgramSession::Close() {
  m_bClosed = true;
  if (!m_spProgram->IsRunning()) return true;
  HWND main = m_hMain != nullptr ? m_hMain : m_spProgram->WaitForTopWindow(kMainTitle, std::chrono::seconds(0));
  if (main != nullptr) PostMessageW(main, WM_CLOSE, 0, 0);
  // A recording still running asks before the program ends.
  WaitUntil([&] { return !m_spProgram->IsRunning() || AnswerMessageBox(IDYES, std::chrono::seconds(0)) != L""; },
            std::chrono::seconds(5));
  const bool ended = m_spProgram->WaitForExit(std::chrono::seconds(30));
  EXPECT_TRUE(ended) << "the program did not end after WM_CLOSE";
  return ended;
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
