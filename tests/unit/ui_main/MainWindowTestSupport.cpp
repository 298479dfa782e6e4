#include "MainWindowTestSupport.h"

#include <shlwapi.h>

#include "app/SplashWindow.h"
#include "devices/Bus.h"
#include "framework/MessageLoop.h"
#include "resource.h"

namespace {

std::function<bool()> g_fnModalStep;

// Under Wine on an X display without a window manager, every top-level window that is hidden or
// destroyed waits two seconds for a window manager that never answers; windows the X driver does
// not hand to one skip that wait. Written before the first window and before the registry is
// redirected, for this test program only.
class UnmanagedWindowsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring key = std::wstring(L"Software\\Wine\\AppDefaults\\") + ::PathFindFileNameW(path) + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
      static const wchar_t kNo[] = L"N";
      ::RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
      ::RegCloseKey(handle);
    }
    SplashWindow::EnableSplash(false);
  }
};
[[maybe_unused]] ::testing::Environment* const g_unmanagedWindows =
    ::testing::AddGlobalTestEnvironment(new UnmanagedWindowsEnvironment);

std::wstring ClassNameOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  MSG msg;
  while (!done()) {
    if (::GetTickCount() - start > timeoutMs) return false;
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      framework::TranslateAndDispatch(msg);
    } else {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return true;
}

void PumpPending() {
  MSG msg;
  for (int count = 0; count < 1000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++count) {
    framework::TranslateAndDispatch(msg);
  }
}

WhileModal::WhileModal(std::function<bool()> step) {
  g_fnModalStep = std::move(step);
  m_nTimer = ::SetTimer(nullptr, 0, 30, &WhileModal::OnTimer);
}

WhileModal::~WhileModal() {
  if (m_nTimer != 0) ::KillTimer(nullptr, m_nTimer);
  g_fnModalStep = nullptr;
}

void CALLBACK WhileModal::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_fnModalStep) return;
  // A step may open a loop of its own; it must not run again from inside it.
  std::function<bool()> step = std::move(g_fnModalStep);
  g_fnModalStep = nullptr;
  if (!step()) g_fnModalStep = std::move(step);
}

std::vector<HWND> VisibleDialogs(HWND except) {
  struct Search {
    HWND except;
    std::vector<HWND> found;
  } search{except, {}};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (window != s->except && ::IsWindowVisible(window) && ClassNameOf(window) == L"#32770") s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassNameOf(child).c_str(), L"Static") != 0) continue;
    wchar_t part[1024] = {};
    ::GetWindowTextW(child, part, 1024);
    text += part;
  }
  return text;
}

std::wstring MakeTempFolder() {
  wchar_t base[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, base);
  for (int attempt = 0;; ++attempt) {
    std::wstring path = std::wstring(base) + L"plover-main-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                        std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(attempt);
    if (::CreateDirectoryW(path.c_str(), nullptr)) return path + L"\\";
  }
}

void RemoveFolderTree(const std::wstring& folder) {
  std::wstring root = folder;
  if (!root.empty() && root.back() == L'\\') root.pop_back();
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW((root + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = root + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(root.c_str());
}

void MainWindowTest::SetUp() {
  ASSERT_TRUE(m_registry.IsActive());
  devices::Bus& bus = devices::Bus::Get();
  bus.Reset(devices::BusScenario{});
  bus.SetTickSource([this] { return m_clock.m_dwNow; });
  VirtualDriver::ResetProcessStateForTesting();
  m_strFolder = MakeTempFolder();
}

void MainWindowTest::TearDown() {
  if (m_spPanel) {
    if (m_spPanel->IsWindow()) {
      m_spPanel->CanClose();
      m_spPanel->DestroyWindow();
    }
    m_app.SetMainWindow(nullptr);
    m_spPanel.reset();
  }
  PumpPending();
  devices::Bus::Get().SetTickSource(nullptr);
  RemoveFolderTree(m_strFolder);
}

void MainWindowTest::Open(DWORD newFolderCreate) {
  AppSettings settings;
  settings.SetRecordFolder(m_strFolder);
  settings.SetNewFolderCreate(newFolderCreate);
  settings.SetVideoFolderCheck(0);
  ASSERT_TRUE(settings.Save());

  m_spPanel = std::make_unique<TestMainPanel>(m_clock);
  m_app.SetMainWindow(m_spPanel.get());
  ASSERT_TRUE(m_spPanel->Create(nullptr));
  m_spPanel->ShowWindow(SW_SHOW);
  ::SetForegroundWindow(Window());
  ::SetActiveWindow(Window());
  PumpPending();
}

void MainWindowTest::TraceEveryRecord() {
  m_ini.Set(L"FileOut", L"2");
  m_ini.ClearLog();
}

bool MainWindowTest::TickUntil(const std::function<bool()>& done) {
  for (int tick = 0; tick < 200 && !done(); ++tick) Tick(m_spPanel->GetDVManager(), m_clock);
  return done();
}

bool MainWindowTest::BringUp() {
  return TickUntil([this] { return DVMode() == 2; });
}

int MainWindowTest::StatusIcon() const {
  return m_spPanel->GetSkinLayout().GetVariant(m_spPanel->GetDlgItem(IDC_MAIN_STATUS_ICON));
}

bool MainWindowTest::NameShown() const {
  return ::IsWindowVisible(m_spPanel->GetDlgItem(IDC_MAIN_CAMCORDER_NAME)) != FALSE;
}
