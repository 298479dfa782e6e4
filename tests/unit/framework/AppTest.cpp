#include <gtest/gtest.h>

#include <vector>

#include "framework/App.h"

namespace {

TEST(CommandLine, SplashStaysOnUnlessASwitchTurnsItOff) {
  framework::CommandLineInfo plain;
  framework::App::ParseCommandLine(L"Plover.exe", plain);
  EXPECT_TRUE(plain.m_bShowSplash);

  framework::CommandLineInfo noSplash;
  framework::App::ParseCommandLine(L"Plover.exe /nosplash", noSplash);
  EXPECT_FALSE(noSplash.m_bShowSplash);

  framework::CommandLineInfo noLogo;
  framework::App::ParseCommandLine(L"\"C:\\Program Files\\Plover.exe\" -NoLogo \"a b.avi\"", noLogo);
  EXPECT_FALSE(noLogo.m_bShowSplash);
  EXPECT_EQ(noLogo.m_strFileName, L"a b.avi");

  framework::CommandLineInfo other;
  framework::App::ParseCommandLine(L"Plover.exe /nosplashes nosplash", other);
  EXPECT_TRUE(other.m_bShowSplash) << "only whole switches count, and a file named nosplash is no switch";
  EXPECT_EQ(other.m_strFileName, L"nosplash");
}

class RecordingApp : public framework::App {
 public:
  explicit RecordingApp(BOOL initResult) : m_bInitResult(initResult) {}
  BOOL InitInstance() override {
    m_calls.push_back("init");
    // The loop must end with the code of the quit message.
    if (m_bInitResult) ::PostQuitMessage(7);
    return m_bInitResult;
  }
  int ExitInstance() override {
    m_calls.push_back("exit");
    return App::ExitInstance() + 100;
  }
  int Run() override {
    m_calls.push_back("run");
    return App::Run();
  }
  BOOL m_bInitResult;
  std::vector<const char*> m_calls;
};

TEST(App, FailedStartGoesStraightToExitInstance) {
  RecordingApp app(FALSE);
  EXPECT_EQ(app.Main(), 100);
  EXPECT_EQ(app.m_calls, (std::vector<const char*>{"init", "exit"}));
}

TEST(App, LoopRunsUntilQuitAndExitInstanceRunsOnce) {
  RecordingApp app(TRUE);
  EXPECT_EQ(app.Main(), 107);
  EXPECT_EQ(app.m_calls, (std::vector<const char*>{"init", "run", "exit"}));
  MSG msg;
  EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "the quit message was left behind";
}

TEST(App, OneApplicationObjectPerProcess) {
  EXPECT_EQ(framework::App::Get(), nullptr);
  {
    framework::App first;
    framework::App second;
    EXPECT_EQ(framework::App::Get(), &first);
  }
  EXPECT_EQ(framework::App::Get(), nullptr);
}

TEST(App, NameIsTheExecutablesBaseName) {
  framework::App app;
  EXPECT_EQ(app.GetAppName(), L"unit_framework");
}

}  // namespace
