// The camcorder link of the running program under faults: a bus reset under it, a scripted
// camcorder that misbehaves, and the camcorder's own record button afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ProgramUnderTest.h"
#include "RecordPanelDriver.h"
#include "devices/BusControl.h"

using namespace std::chrono_literals;
using e2e::InstallFolder;
using e2e::RunningProgram;

namespace {

constexpr int kCamcorderNameId = 1003;  // shown while the camcorder is usable
const wchar_t kPipeName[] = L"\\\\.\\pipe\\PloverDVBus";

std::string Bus(const std::string& command) {
  std::string answer;
  if (!devices::SendBusCommand(kPipeName, command, answer)) return "(no answer)";
  return answer;
}

std::string Utf8(const std::wstring& text) {
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                                   static_cast<int>(bytes.size()), nullptr, nullptr));
  return bytes;
}

class CamcorderLink : public ::testing::Test {
 protected:
  void SetUp() override {
    // The camcorder's record button makes recordings: in standard mode (its stop button ends the
    // file), into a folder of this test, with no start-up folder question, whatever other tests
    // left in the settings.
    m_folder = m_install.Path() + L"\\recordings\\";
    CreateDirectoryW(m_folder.c_str(), nullptr);
    e2e::DeleteSettings();
    e2e::Settings settings;
    settings.strRecordFolder = m_folder;
    settings.dwNewFolderCreate = 0;
    settings.strFilePrefix = L"PLVR";
    ASSERT_TRUE(e2e::WriteSettings(settings));
    // The trace log shows what reaches the main window; records are committed one by one.
    WritePrivateProfileStringW(L"Debug", L"FileOut", L"2", (m_install.Path() + L"\\Plover.ini").c_str());
    m_program = std::make_unique<RunningProgram>(m_install.ProgramPath());
    m_main = m_program->WaitForTopWindow(L"Plover", 30s);
    ASSERT_NE(nullptr, m_main);
    ASSERT_TRUE(WaitUsable(true, 30s)) << "the camcorder never became usable";
  }
  void TearDown() override {
    if (m_main != nullptr) PostMessageW(m_main, WM_CLOSE, 0, 0);
    if (!m_program->WaitForExit(30s)) {
      // A window still open (a message box) or where the program's last records stop tells why.
      std::wstring windows;
      for (HWND window : m_program->TopWindows()) {
        if (!IsWindowVisible(window)) continue;
        windows += L"[" + e2e::WindowText(window) + L"]";
        for (const std::wstring& text : e2e::StaticTexts(window)) windows += L" " + text;
        windows += L"\n";
      }
      const std::string log = e2e::ReadFileText(m_install.Path() + L"\\Plover.log");
      ADD_FAILURE() << "the program did not end after WM_CLOSE; its windows:\n"
                    << Utf8(windows) << "the end of its trace:\n"
                    << log.substr(log.size() > 6000 ? log.size() - 6000 : 0);
    }
    e2e::DeleteSettings();
  }
  bool WaitUsable(bool usable, std::chrono::milliseconds timeout) const {
    return e2e::WaitUntil([&] { return (IsWindowVisible(GetDlgItem(m_main, kCamcorderNameId)) != FALSE) == usable; }, timeout);
  }

  size_t CommandsSeen(const char* command) const {
    const std::string log = e2e::ReadFileText(m_install.Path() + L"\\Plover.log");
    size_t count = 0;
    for (size_t pos = log.find(command); pos != std::string::npos; pos = log.find(command, pos + 1)) ++count;
    return count;
  }

  InstallFolder m_install;
  std::wstring m_folder;
  std::unique_ptr<RunningProgram> m_program;
  HWND m_main = nullptr;
};

TEST_F(CamcorderLink, BusResetUnderTheProgramIsSeenAndTheCamcorderRecordsAgainAfterwards) {
  ASSERT_EQ("OK", Bus("reset"));
  ASSERT_EQ("OK", Bus("mode vcr"));
  EXPECT_TRUE(WaitUsable(false, 8s)) << "the program still shows a usable camcorder after the bus reset";

  ASSERT_EQ("OK", Bus("mode camera"));
  ASSERT_TRUE(WaitUsable(true, 20s)) << "the camcorder was not found again";
  // The virtual VCR listens again: the camcorder's record and stop buttons reach the main window,
  // and the recording they start and end is a whole file in the recordings folder.
  const std::wstring folder = m_folder.substr(0, m_folder.size() - 1);
  ASSERT_TRUE(e2e::AviFiles(folder).empty());
  e2e::RecordPanelDriver panel(m_main);
  ASSERT_NE(nullptr, panel.Panel());
  ASSERT_TRUE(panel.WaitReady());
  const size_t before = CommandsSeen("EVENT_DVCOMMAND Command=2");
  EXPECT_EQ("OK", Bus("record"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return CommandsSeen("EVENT_DVCOMMAND Command=2") == before + 1; }, 10s));
  EXPECT_TRUE(panel.WaitRecording()) << "the camcorder's record button started no recording";
  Sleep(2000);
  EXPECT_EQ("OK", Bus("stop"));
  EXPECT_TRUE(e2e::WaitUntil([&] { return CommandsSeen("EVENT_DVCOMMAND Command=3") >= 1; }, 10s));
  EXPECT_TRUE(e2e::WaitUntil([&] { return panel.HistoryRows() >= 1; }, 15s)) << "the recording was never closed";
  const std::vector<std::wstring> files = e2e::AviFiles(folder);
  ASSERT_EQ(1u, files.size());
  EXPECT_EQ(L"PLVR0001.avi", files.front());
  const e2e::AviReport report = e2e::CheckRecordedFile(m_folder + files.front());
  EXPECT_TRUE(report.bConsistent);
  EXPECT_GE(report.nFrames, 30u) << "two seconds of recording";
  // The computer's tape state reaches the camcorder again, on every tick.
  const auto sends = [] {
    const std::string state = Bus("state");
    const size_t at = state.find("tape-state-sends=");
    return at == std::string::npos ? -1 : std::atoi(state.c_str() + at + 17);
  };
  const int first = sends();
  EXPECT_TRUE(e2e::WaitUntil([&] { return sends() >= first + 5; }, 5s));
}

TEST_F(CamcorderLink, ScriptedCamcorderRunsStepByStepAgainstTheProgram) {
  const char script[] =
      "# a camcorder that misbehaves while the program watches it\n"
      "wait 500\n"
      "aspect 16:9\n"
      "audio 32k\n"
      "wait 1000\n"
      "drop 5\n"
      "refuse 1 transport\n"
      "wait 1000\n"
      "aspect 4:3\n"
      "audio 48k\n"
      "transport-bytes C4 31\n"
      "wait 1000\n"
      "transport-bytes auto\n"
      "unplug\n"
      "wait 2s\n"
      "plug\n";
  const std::wstring path = m_install.Path() + L"\\camcorder.txt";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, script, sizeof(script) - 1, &written, nullptr);
  CloseHandle(file);

  RunningProgram tool(e2e::BinaryFolder() + L"\\plover-dvbus.exe", L"script \"" + path + L"\"");
  DWORD exitCode = 99;
  ASSERT_TRUE(tool.WaitForExit(60s, &exitCode)) << "plover-dvbus did not end";
  EXPECT_EQ(0u, exitCode) << "a step of the script was not answered OK";
  // Plugged in again, the camcorder is usable again.
  EXPECT_TRUE(WaitUsable(true, 20s));
}

}  // namespace
