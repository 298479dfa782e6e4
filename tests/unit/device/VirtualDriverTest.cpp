// The virtual VCR's load steps, camcorder commands and the computer's tape state.
#include "LinkFixture.h"

#include "devices/Faces.h"

namespace {

using Events = std::vector<std::pair<int, int>>;

class VirtualDriverTest : public LinkTest {
protected:
    VirtualDriver& Driver() { return m_manager.GetVirtualDevice(); }
    void Start() {
        m_window.Route(&m_manager);
        ASSERT_TRUE(m_manager.InitDVManager(m_window.Handle(), WM_DEVICE_EVENT, 1));
    }
    void TickUntilLoaded(int nMaxTicks = 100) {
        for (int i = 0; i < nMaxTicks && !Driver().IsLoaded(); ++i) Tick(m_manager, m_clock);
    }
    devices::VcrDriver& Sim() { return devices::Bus::Get().Driver(); }
    DVDevice& Device() { return m_manager.GetDVDevice(); }
    void LoseTheHandleAndRecover(const char* pszCause);
};

TEST_F(VirtualDriverTest, LoadsStepByStepWithSettlingWaits) {
    m_ini.TraceToFile();
    Start();
    EXPECT_EQ(0, Driver().GetLoadStep());
    Tick(m_manager, m_clock);
    EXPECT_EQ(1, Driver().GetLoadStep());
    EXPECT_TRUE(Sim().IsVirtualDeviceAdded());
    Tick(m_manager, m_clock, 9);  // 900 ms: still settling
    EXPECT_EQ(1, Driver().GetLoadStep());
    Tick(m_manager, m_clock);
    EXPECT_EQ(2, Driver().GetLoadStep());
    EXPECT_TRUE(Sim().IsSubunitAdded());
    Tick(m_manager, m_clock);
    EXPECT_EQ(3, Driver().GetLoadStep());
    EXPECT_TRUE(Driver().IsLoaded());
    EXPECT_TRUE(Sim().IsEventEnabled());
    EXPECT_EQ(2, m_manager.GetDeviceStatus());
    // The tape state is sent only once step 3 has settled for a second.
    Tick(m_manager, m_clock, 9);
    EXPECT_EQ(0, Sim().TapeStateSends());
    Tick(m_manager, m_clock);
    EXPECT_EQ(1, Sim().TapeStateSends());
    EXPECT_EQ(5, Sim().LastTapeState());

    const std::string strLog = m_ini.ReadLog();
    size_t nPos = 0;
    for (const std::string& strLine : {Ansi(L"1394仮想デバイスロード成功"), std::string("m_nLoadStep = 1"), Ansi(L"AVC仮想デバイスロード成功"),
                                       std::string("m_nLoadStep = 2"), Ansi(L"AVC仮想デバイス検索成功")}) {
        nPos = strLog.find(strLine, nPos);
        EXPECT_NE(std::string::npos, nPos) << strLine;
        if (nPos == std::string::npos) break;
    }
    EXPECT_NE(std::string::npos, strLog.find("VirtualDriver.cpp("));
}

TEST_F(VirtualDriverTest, WithoutAHostControllerStep0FailsOnEveryTick) {
    devices::BusScenario scenario;
    scenario.driver.bHostController = false;
    ResetBus(scenario);
    m_ini.TraceToFile();
    Start();
    Tick(m_manager, m_clock, 5);
    EXPECT_EQ(0, Driver().GetLoadStep());
    const std::string strLog = m_ini.ReadLog();
    EXPECT_EQ(5u, CountOf(strLog, Ansi(L"1394仮想デバイスロード失敗")));
    EXPECT_EQ(5u, CountOf(strLog, "GetFirstDevicePath() failed"));
    EXPECT_TRUE(m_window.m_vecEvents.empty());
}

TEST_F(VirtualDriverTest, VirtualDeviceAlreadyOnTheBusIsUsed) {
    // Someone else added the device before us.
    const std::wstring strPath = VirtualDriver::GetFirstDevicePath(devices::Bus1394InterfaceClass);
    HANDLE hBus = devices::CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hBus);
    std::vector<BYTE> request(42, 0);
    request[0] = 1;
    memcpy(request.data() + 24, "A02D&10001", 10);
    DWORD dwReturned = 0;
    ASSERT_TRUE(devices::DeviceIoControl(hBus, devices::IOCTL_IEEE1394_API_REQUEST, request.data(), 42, nullptr, 0, &dwReturned, nullptr));
    devices::CloseHandle(hBus);

    Start();
    TickUntilLoaded();
    EXPECT_TRUE(Driver().IsLoaded());
    EXPECT_EQ(2, Sim().AddDeviceRequests());
}

TEST_F(VirtualDriverTest, UninstalledSubunitDriverIsMarkedForReinstallOnTheFirstAttempt) {
    devices::BusScenario scenario;
    scenario.driver.nSubunitProblem = devices::ProblemFailedInstall;
    ResetBus(scenario);
    Start();
    while (Driver().GetLoadStep() != 2) Tick(m_manager, m_clock);
    Tick(m_manager, m_clock);
    EXPECT_EQ(0, Driver().GetLoadStep());
    EXPECT_TRUE(Sim().IsReinstallMarked());
    EXPECT_FALSE(Sim().IsSubunitAdded());
    EXPECT_FALSE(Sim().IsVirtualDeviceAdded());
    TickUntilLoaded();
    EXPECT_TRUE(Driver().IsLoaded());
}

TEST_F(VirtualDriverTest, UninstalledSubunitDriverAfterTheFirstAttemptWaitsAtStep2) {
    Start();
    TickUntilLoaded();
    ASSERT_TRUE(Driver().IsLoaded());
    m_manager.ExitDVManager();

    devices::BusScenario scenario;
    scenario.driver.nSubunitProblem = devices::ProblemFailedInstall;
    ResetBus(scenario);
    Start();
    Tick(m_manager, m_clock, 40);
    EXPECT_EQ(2, Driver().GetLoadStep());
    EXPECT_FALSE(Sim().IsReinstallMarked());
}

TEST_F(VirtualDriverTest, SubunitThatFailsToStartIsRemovedAndLoadedAgain) {
    devices::BusScenario scenario;
    scenario.driver.nSubunitProblem = devices::ProblemFailedStart;
    scenario.driver.nSubunitProblemAdds = 1;
    ResetBus(scenario);
    m_ini.TraceToFile();
    Start();
    while (Driver().GetLoadStep() != 2) Tick(m_manager, m_clock);
    m_clock.m_vecSleeps.clear();
    Tick(m_manager, m_clock);
    EXPECT_EQ(0, Driver().GetLoadStep());
    EXPECT_EQ(std::vector<DWORD>{1000}, m_clock.m_vecSleeps);
    EXPECT_FALSE(Sim().IsVirtualDeviceAdded());
    EXPECT_EQ(1u, CountOf(m_ini.ReadLog(), Ansi(L"AVC仮想デバイス、ドライバの開始に失敗")));
    TickUntilLoaded();
    EXPECT_TRUE(Driver().IsLoaded());
}

TEST_F(VirtualDriverTest, SubunitNodeNotYetListedIsAwaitedAtStep2) {
    devices::BusScenario scenario;
    scenario.driver.nSubunitNodeDelay = 3;
    ResetBus(scenario);
    Start();
    while (Driver().GetLoadStep() != 2) Tick(m_manager, m_clock);
    Tick(m_manager, m_clock, 3);
    EXPECT_EQ(2, Driver().GetLoadStep());
    EXPECT_TRUE(Sim().IsSubunitAdded());
    Tick(m_manager, m_clock);
    EXPECT_EQ(3, Driver().GetLoadStep());
}

TEST_F(VirtualDriverTest, MissingFilterRestartsTheLoad) {
    devices::BusScenario scenario;
    scenario.driver.bTarnFilter = false;
    ResetBus(scenario);
    m_ini.TraceToFile();
    Start();
    while (Driver().GetLoadStep() != 2) Tick(m_manager, m_clock);
    Tick(m_manager, m_clock);
    EXPECT_EQ(0, Driver().GetLoadStep());
    EXPECT_EQ(1u, CountOf(m_ini.ReadLog(), Ansi(L"AVC仮想デバイス検索失敗")));
    EXPECT_FALSE(Sim().IsVirtualDeviceAdded());
}

TEST_F(VirtualDriverTest, CamcorderCommandsAreCollapsedAndCode8NeverArrives) {
    Start();
    TickUntilLoaded();
    Tick(m_manager, m_clock, 10);
    m_window.m_vecEvents.clear();
    for (const char* pszEvent : {"event 2", "event 2 7", "event 8", "event 3", "event 3", "event 8", "event 8", "event 2"}) {
        ASSERT_EQ("OK", devices::ExecuteBusCommand(pszEvent));
    }
    Driver().SetPcTapeState(3);  // keeps the camcorder poll quiet about tape state changes
    Tick(m_manager, m_clock);
    Events commands;
    for (const auto& event : m_window.m_vecEvents) {
        if (event.first == 3) commands.push_back(event);
    }
    EXPECT_EQ((Events{{3, 2}, {3, 3}, {3, 2}}), commands);
}

TEST_F(VirtualDriverTest, LongRunsOfEventsAreReadToTheEndAndEachCodeArrivesOnce) {
    Start();
    TickUntilLoaded();
    Tick(m_manager, m_clock, 10);
    Driver().SetPcTapeState(3);
    m_window.m_vecEvents.clear();
    {
        auto lock = devices::Bus::Get().Lock();
        for (int i = 0; i < 5000; ++i) Sim().QueueCommand(2, 0);
        Sim().QueueCommand(3, 0);
        Sim().QueueCommand(2, 0);
    }
    Tick(m_manager, m_clock, 3);
    EXPECT_EQ((Events{{3, 2}, {3, 3}, {3, 2}}), m_window.m_vecEvents);
    EXPECT_EQ(0u, Sim().PendingEvents());

    // A driver that never says it has no more: every tick ends, the code arrives once, and the
    // tape state still goes out on each tick.
    m_ini.TraceToFile();
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("stuck-events on"));
    ASSERT_EQ("OK", devices::ExecuteBusCommand("event 4"));
    const int nSends = Sim().TapeStateSends();
    Tick(m_manager, m_clock, 5);
    EXPECT_EQ((Events{{3, 4}}), m_window.m_vecEvents);
    EXPECT_EQ(nSends + 5, Sim().TapeStateSends());
    EXPECT_EQ(1u, CountOf(m_ini.ReadLog(), "did not run dry"));
}

TEST_F(VirtualDriverTest, CamcorderButtonsReachTheWindowAsCommands) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("record"));
    Tick(m_manager, m_clock);
    ASSERT_EQ("OK", devices::ExecuteBusCommand("stop"));
    Tick(m_manager, m_clock);
    EXPECT_EQ((Events{{3, 2}, {3, 3}}), m_window.m_vecEvents);
}

TEST_F(VirtualDriverTest, TapeStateIs5WhileBlockedLockedOrADialogIsOpen) {
    Start();
    TickUntilLoaded();
    Tick(m_manager, m_clock, 10);
    auto Sent = [&] {
        Tick(m_manager, m_clock);
        auto lock = devices::Bus::Get().Lock();
        return devices::Bus::Get().GetCamcorder(0).Report().nTapeState;
    };
    Driver().SetPcTapeState(2);
    EXPECT_EQ(2, Sent());
    Driver().SetRecordBlocked(TRUE);
    EXPECT_EQ(5, Sent());
    Driver().SetRecordBlocked(FALSE);
    Driver().SetSessionLocked(TRUE);
    EXPECT_EQ(5, Sent());
    Driver().SetSessionLocked(FALSE);
    EXPECT_EQ(2, Sent());

    // A popup owned by the main window is active: a dialog is open.
    HWND hDialog = ::CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, m_window.Handle(), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hDialog);
    ::SetActiveWindow(hDialog);
    ASSERT_EQ(hDialog, ::GetLastActivePopup(m_window.Handle()));
    EXPECT_EQ(5, Sent());
    ::DestroyWindow(hDialog);
    EXPECT_EQ(2, Sent());
    // Sent on every tick, changed or not.
    const int nBefore = Sim().TapeStateSends();
    Tick(m_manager, m_clock, 3);
    EXPECT_EQ(nBefore + 3, Sim().TapeStateSends());
}

TEST_F(VirtualDriverTest, ShutdownRemovesTheVirtualDeviceUnlessOthersHoldOne) {
    Start();
    TickUntilLoaded();
    m_clock.m_vecSleeps.clear();
    m_manager.ExitDVManager();
    EXPECT_FALSE(Sim().IsSubunitAdded());
    EXPECT_FALSE(Sim().IsVirtualDeviceAdded());
    EXPECT_EQ((std::vector<DWORD>{3000, 1000}), m_clock.m_vecSleeps);
    EXPECT_EQ(5, Driver().GetPcTapeState());
    EXPECT_EQ(0, m_manager.GetDeviceStatus());
}

TEST_F(VirtualDriverTest, NonZeroCountAtShutdownLeavesTheVirtualDeviceOnTheBus) {
    SetVirtualDeviceCount(0x10001);  // low 16 bits count
    Start();
    TickUntilLoaded();
    m_clock.m_vecSleeps.clear();
    m_manager.ExitDVManager();
    EXPECT_FALSE(Sim().IsSubunitAdded());
    EXPECT_TRUE(Sim().IsVirtualDeviceAdded());
    EXPECT_EQ(std::vector<DWORD>{3000}, m_clock.m_vecSleeps);

    SetVirtualDeviceCount(0x10000);  // only the high bits: nobody else
    Start();
    TickUntilLoaded();
    m_manager.ExitDVManager();
    EXPECT_FALSE(Sim().IsVirtualDeviceAdded());
}

// The virtual VCR's kernel-streaming handle dies under the program; it must load the driver again
// and the camcorder must be usable again afterwards.
void VirtualDriverTest::LoseTheHandleAndRecover(const char* pszCause) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    m_ini.TraceToFile();
    ASSERT_EQ("OK", devices::ExecuteBusCommand(pszCause));
    Tick(m_manager, m_clock, 5);
    EXPECT_LT(Driver().GetLoadStep(), 3);
    EXPECT_EQ((Events{{2, 0}, {1, 0}}), m_window.m_vecEvents);
    EXPECT_EQ(2, m_manager.GetDeviceStatus());
    EXPECT_EQ(1u, CountOf(m_ini.ReadLog(), "m_hKsHandle lost"));

    for (int i = 0; i < 100 && Device().GetDVMode() != 2; ++i) Tick(m_manager, m_clock);
    EXPECT_EQ((Events{{2, 0}, {1, 0}, {1, 1}, {2, 4}, {1, 2}}), m_window.m_vecEvents);
    EXPECT_TRUE(Sim().IsEventEnabled());
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("record"));
    Tick(m_manager, m_clock, 11);
    EXPECT_EQ((Events{{3, 2}}), m_window.m_vecEvents);
}

TEST_F(VirtualDriverTest, BusResetUnderTheProgramIsRiddenOut) {
    LoseTheHandleAndRecover("reset");
}

TEST_F(VirtualDriverTest, DriverRestartUnderTheProgramIsRiddenOut) {
    LoseTheHandleAndRecover("vcr-restart");
}

TEST_F(VirtualDriverTest, AfterABusResetTheCamcordersModeIsWatchedAgain) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    ASSERT_EQ("OK", devices::ExecuteBusCommand("reset"));
    ASSERT_EQ("OK", devices::ExecuteBusCommand("mode vcr"));
    ASSERT_EQ("OK", devices::ExecuteBusCommand("tape none"));
    Tick(m_manager, m_clock, 60);
    EXPECT_EQ(6, m_manager.GetDeviceStatus());
    EXPECT_EQ(3, Device().GetDVMode());
    EXPECT_EQ(0, Device().GetTapeStatus());
}

TEST_F(VirtualDriverTest, KernelStreamingRequestsWithoutAHandleFail) {
    m_ini.TraceToFile();
    EXPECT_EQ(0, Driver().KsGetNodeCount());
    EXPECT_EQ(0, Driver().KsGetIsDVControl());
    EXPECT_EQ(E_FAIL, Driver().KsSendTarnTapeStateChange(3));
    std::vector<std::pair<LONG, LONG>> events;
    EXPECT_EQ(E_FAIL, Driver().KsGetEvent(events));
    EXPECT_EQ(4u, CountOf(m_ini.ReadLog(), "*error* m_hKsHandle is Null"));
}

} // namespace
