// Scenario file, run-time commands and the control pipe of the simulated bus.
#include "SimulationFixture.h"

#include "devices/BusControl.h"

#include <string>

namespace {

TEST_F(SimulationTest, CommandsChangeTheCamcorderAndReportErrors) {
    EXPECT_EQ("OK", devices::ExecuteBusCommand("mode vcr"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("medium card 1"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("aspect 16:9"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("audio 32k"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("system 625"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("framemode 24"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("tape end"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("drop 7"));
    {
        auto lock = devices::Bus::Get().Lock();
        devices::Camcorder& camcorder = devices::Bus::Get().GetCamcorder(0);
        EXPECT_EQ(devices::CamcorderMode::Vcr, camcorder.Settings().mode);
        EXPECT_EQ(devices::Medium::Card, camcorder.Settings().medium);
        EXPECT_TRUE(camcorder.Settings().bWide);
        EXPECT_EQ(devices::AudioMode::Pcm32k12, camcorder.Settings().audio);
        EXPECT_EQ(devices::VideoSystem::Lines625, camcorder.Settings().system);
        EXPECT_EQ(24, camcorder.Settings().nFrameMode);
        EXPECT_EQ(devices::Transport::EndOfTape, camcorder.Settings().transport);
        EXPECT_EQ(7, camcorder.Stream().nDropPending);
    }
    const std::string strStatus = devices::ExecuteBusCommand("status");
    EXPECT_EQ(0u, strStatus.find("OK nodes=2"));
    EXPECT_NE(std::string::npos, strStatus.find("camcorder 1: plugged tavin selkie_ze mode=vcr medium=card tape=end dvcontrol=on system=625 aspect=16:9 framemode=24 audio=32k"));

    EXPECT_EQ("ERROR unknown command: fly", devices::ExecuteBusCommand("fly"));
    EXPECT_EQ("ERROR bad value", devices::ExecuteBusCommand("aspect 21:9"));
    EXPECT_EQ("ERROR no such camcorder", devices::ExecuteBusCommand("mode vcr 2"));
    EXPECT_EQ("ERROR no such camcorder", devices::ExecuteBusCommand("unplug 0"));
    EXPECT_EQ("ERROR frame count expected", devices::ExecuteBusCommand("drop -3"));
    EXPECT_EQ("ERROR count, all or off expected", devices::ExecuteBusCommand("refuse some"));
    EXPECT_EQ("ERROR unknown command kind", devices::ExecuteBusCommand("timeout 1 fax"));
    EXPECT_EQ("ERROR no other node", devices::ExecuteBusCommand("node remove"));
    EXPECT_EQ("ERROR the virtual VCR is not listening", devices::ExecuteBusCommand("event 2"));
    EXPECT_EQ("ERROR not possible now", devices::ExecuteBusCommand("plug"));  // already plugged
}

TEST_F(SimulationTest, PluggingChangesTheNodesAndNotifiesTheWindows) {
    NotificationWindow window;
    EXPECT_EQ("OK camcorder 2", devices::ExecuteBusCommand("add-camcorder acme cam_9"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("unplug 1"));
    EXPECT_EQ("OK", devices::ExecuteBusCommand("node add"));
    auto lock = devices::Bus::Get().Lock();
    devices::Bus& bus = devices::Bus::Get();
    EXPECT_EQ(3, bus.NodeCount());
    ASSERT_EQ(2u, window.m_vecSeen.size());
    EXPECT_EQ(L"+" + bus.DevicePath(1), window.m_vecSeen[0]);
    EXPECT_EQ(L"-" + bus.DevicePath(0), window.m_vecSeen[1]);
    EXPECT_NE(std::wstring::npos, bus.DevicePath(1).find(L"#acme&cam_9&camcorder&dv#"));
    EXPECT_EQ(3, bus.BusResets());
}

TEST(BusScenarioFile, ReadsEverySetting) {
    wchar_t szFolder[MAX_PATH], szPath[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szFolder);
    ::GetTempFileNameW(szFolder, L"bus", 0, szPath);
    const char szText[] =
        "[Bus]\r\nCamcorders=2\r\nOtherNodes=1\r\nHostController=0\r\nSubunitProblem=10\r\nSubunitProblemAdds=2\r\n"
        "[Camcorder1]\r\nVendor=acme\r\nModel=x_1\r\nMode=vcr\r\nMedium=card\r\nTape=none\r\nDVControl=0\r\nSystem=625\r\n"
        "Aspect=16:9\r\nFrameMode=30\r\nAudio=32k\r\n"
        "[Camcorder2]\r\nPlugged=0\r\nDVControlAnswer=0\r\n";
    HANDLE hFile = ::CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, szText, sizeof szText - 1, &dwWritten, nullptr);
    ::CloseHandle(hFile);

    devices::BusScenario scenario;
    ASSERT_TRUE(devices::LoadBusScenario(szPath, scenario));
    ::DeleteFileW(szPath);
    EXPECT_EQ(1, scenario.nOtherNodes);
    EXPECT_FALSE(scenario.driver.bHostController);
    EXPECT_EQ(10u, scenario.driver.nSubunitProblem);
    EXPECT_EQ(2, scenario.driver.nSubunitProblemAdds);
    ASSERT_EQ(2u, scenario.vecCamcorders.size());
    const devices::CamcorderSettings& first = scenario.vecCamcorders[0].settings;
    EXPECT_EQ(L"acme", first.strVendor);
    EXPECT_EQ(L"x_1", first.strModel);
    EXPECT_EQ(devices::CamcorderMode::Vcr, first.mode);
    EXPECT_EQ(devices::Medium::Card, first.medium);
    EXPECT_EQ(devices::Transport::NoCassette, first.transport);
    EXPECT_FALSE(first.bDVControl);
    EXPECT_EQ(devices::VideoSystem::Lines625, first.system);
    EXPECT_TRUE(first.bWide);
    EXPECT_EQ(30, first.nFrameMode);
    EXPECT_EQ(devices::AudioMode::Pcm32k12, first.audio);
    EXPECT_TRUE(scenario.vecCamcorders[0].bPlugged);
    EXPECT_FALSE(scenario.vecCamcorders[1].bPlugged);
    EXPECT_FALSE(scenario.vecCamcorders[1].settings.bAnswersDVControl);
    EXPECT_EQ(L"tavin", scenario.vecCamcorders[1].settings.strVendor);

    EXPECT_FALSE(devices::LoadBusScenario(std::wstring(szPath) + L".missing", scenario));
    ASSERT_EQ(1u, scenario.vecCamcorders.size());  // the default: one usable camcorder of the maker
    EXPECT_TRUE(scenario.vecCamcorders[0].bPlugged);
    EXPECT_EQ(devices::CamcorderMode::Camera, scenario.vecCamcorders[0].settings.mode);
    EXPECT_TRUE(scenario.driver.bHostController);
}

TEST_F(SimulationTest, ControlPipeCarriesCommandsFromAnotherProcessView) {
    const std::wstring strPipe = L"\\\\.\\pipe\\PloverDVBusTest" + std::to_wstring(::GetCurrentProcessId());
    std::string strAnswer;
    EXPECT_FALSE(devices::SendBusCommand(strPipe, "status", strAnswer));
    devices::ControlPipe pipe;
    ASSERT_TRUE(pipe.Start(strPipe));
    devices::ControlPipe second;
    EXPECT_FALSE(second.Start(strPipe));  // one server per name
    ASSERT_TRUE(devices::SendBusCommand(strPipe, "dvcontrol off\n", strAnswer));
    EXPECT_EQ("OK", strAnswer);
    ASSERT_TRUE(devices::SendBusCommand(strPipe, "mode", strAnswer));
    EXPECT_EQ("ERROR bad value", strAnswer);
    ASSERT_TRUE(devices::SendBusCommand(strPipe, "status", strAnswer));
    EXPECT_NE(std::string::npos, strAnswer.find("dvcontrol=off"));
    pipe.Stop();
    EXPECT_FALSE(devices::SendBusCommand(strPipe, "status", strAnswer));
}

} // namespace
