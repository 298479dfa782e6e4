#include "MainWindowTestSupport.h"

#include "app/SplashWindow.h"
#include "devices/Bus.h"
#include "resource.h"

namespace {

std::function<bool()> g_fnModalStep;

// The splash window is off for the whole program, before the first window. (The message pump
// of the test-support library leaves this program's windows unmanaged by the X driver.)
class NoSplashEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { SplashWindow::EnableSplash(false); }
};
[[maybe_unused]] ::testing::Environment* const g_noSplash = ::testing::AddGlobalTestEnvironment(new NoSplashEnvironment);

std::wstring ClassNameOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

}  // namespace

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
