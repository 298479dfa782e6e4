// Finding, choosing and watching the camcorder.
#include "LinkFixture.h"

#include <dbt.h>

namespace {

using Events = std::vector<std::pair<int, int>>;

devices::BusScenario WithCamcorder(const wchar_t* pszVendor, const wchar_t* pszModel) {
    devices::BusScenario scenario;
    scenario.vecCamcorders[0].settings.strVendor = pszVendor;
    scenario.vecCamcorders[0].settings.strModel = pszModel;
    return scenario;
}

class DVDeviceTest : public LinkTest {
protected:
    DVDevice& Device() { return m_manager.GetDVDevice(); }
    void Start() {
        m_window.Route(&m_manager);
        ASSERT_TRUE(m_manager.InitDVManager(m_window.Handle(), WM_DEVICE_EVENT, 1));
    }
    // Ticks for the given time of the fake clock.
    void Run(DWORD dwMs) { Tick(m_manager, m_clock, static_cast<int>(dwMs / 100)); }
    void ClearLog() {
        auto lock = devices::Bus::Get().Lock();
        Camcorder().ClearLog();
    }
};

TEST_F(DVDeviceTest, UsableCamcorderGoesThroughMode1ToReadyWithItsTapeStatus) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    EXPECT_EQ((Events{{1, 1}, {2, 4}, {1, 2}}), m_window.m_vecEvents);
    EXPECT_EQ(8, m_manager.GetDeviceStatus());
    EXPECT_EQ(L"SELKIE Ze", Device().GetModelName());
    EXPECT_TRUE(Device().GetDVFilter());
    // A second pass with nothing changed sends nothing.
    Run(1000);
    EXPECT_EQ(3u, m_window.m_vecEvents.size());
}

TEST_F(DVDeviceTest, NewNodeCountTakesEffectThreeSecondsAfterItWasFirstSeen) {
    Start();
    while (!m_manager.GetVirtualDevice().IsLoaded()) Tick(m_manager, m_clock);
    const DWORD dwLoaded = m_clock.m_dwNow;
    while (Device().GetDVMode() == 0 && m_clock.m_dwNow - dwLoaded < 10000) Tick(m_manager, m_clock);
    const DWORD dwWaited = m_clock.m_dwNow - dwLoaded;
    // Seen at the first pass after loading, accepted at the first pass more than 3 s later.
    EXPECT_GE(dwWaited, 3000u);
    EXPECT_LE(dwWaited, 4000u);
}

TEST_F(DVDeviceTest, CaptureInterfaceNotificationAcceptsThePendingNodeCountAtOnce) {
    Start();
    while (!m_manager.GetVirtualDevice().IsLoaded()) Tick(m_manager, m_clock);
    Run(500);  // the differing count is now pending
    ASSERT_EQ(0, Device().GetDVMode());
    // A camcorder interface arrives (no "TYP_4" in its name).
    std::vector<BYTE> record(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + 64 * sizeof(wchar_t), 0);
    auto* pInterface = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record.data());
    pInterface->dbcc_size = static_cast<DWORD>(record.size());
    pInterface->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    pInterface->dbcc_classguid = devices::KsCategoryCapture;
    wcscpy(pInterface->dbcc_name, L"\\\\?\\avc#tavin&selkie_ze&camcorder&dv#1#{x}");
    EXPECT_EQ(TRUE, ::SendMessageW(m_window.Handle(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(pInterface)));
    Run(500);
    EXPECT_EQ(2, Device().GetDVMode());
}

TEST_F(DVDeviceTest, TwoCamcordersMeanTooManyNodesUnlessTheCheckIsOff) {
    devices::BusScenario scenario;
    scenario.vecCamcorders.push_back(scenario.vecCamcorders[0]);
    ResetBus(scenario);
    Start();
    Run(8000);
    EXPECT_EQ(1, m_manager.GetDeviceStatus());
    EXPECT_EQ(0, Device().GetDVMode());

    m_ini.Set(L"OnlyNodeCount2", L"0");
    Run(1000);
    EXPECT_EQ(2, m_manager.GetDeviceStatus());  // two DV devices: none is chosen
    EXPECT_EQ(0, Device().GetDVMode());
}

TEST_F(DVDeviceTest, AnotherNodeOnTheBusMeansTooManyNodes) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    devices::ExecuteBusCommand("node add");
    Run(500);
    EXPECT_EQ(1, m_manager.GetDeviceStatus());
    EXPECT_EQ((Events{{2, 0}, {1, 0}}), m_window.m_vecEvents);
}

TEST_F(DVDeviceTest, CamcorderOfAnotherMakerIsNotUsedUnlessAllowed) {
    ResetBus(WithCamcorder(L"acme", L"cam_1"));
    Start();
    Run(8000);
    EXPECT_EQ(3, m_manager.GetDeviceStatus());
    EXPECT_EQ(1, Device().GetDVMode());
    EXPECT_FALSE(Device().GetDVFilter());

    m_ini.Set(L"OnlyTavinDVC", L"0");
    Run(1000);
    EXPECT_EQ(8, m_manager.GetDeviceStatus());
    EXPECT_EQ(L"CAM 1", Device().GetModelName());
}

TEST_F(DVDeviceTest, VendorTokenVen3dIsTheMaker) {
    ResetBus(WithCamcorder(L"ven_3d", L"xy100i"));
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    EXPECT_EQ(L"XY100i", Device().GetModelName());
}

TEST(ParseDeviceName, PiecesOfTheDevicePath) {
    std::wstring strVendor;
    EXPECT_EQ(L"SELKIE Ze", DVDevice::ParseDeviceName(L"\\\\?\\avc#tavin&selkie_ze&camcorder&dv#0800460100001234#{65e8773d}", strVendor));
    EXPECT_EQ(L"TAVIN", strVendor);
    EXPECT_EQ(L"XY20MC", DVDevice::ParseDeviceName(L"a#tavin&tavin_xy20mc&camcorder&dv#c#d", strVendor));
    EXPECT_EQ(L"XY100i", DVDevice::ParseDeviceName(L"a#tavin&xy100i&camcorder&dv#c#d", strVendor));
    EXPECT_EQ(L"AB12cD34MC", DVDevice::ParseDeviceName(L"a#ven_3d&ab12cd34mc&x&y#c#d", strVendor));
    EXPECT_EQ(L"VEN_3D", strVendor);
    EXPECT_EQ(L"", DVDevice::ParseDeviceName(L"a#tavin&selkie_ze&camcorder&dv#c", strVendor));
    EXPECT_EQ(L"", DVDevice::ParseDeviceName(L"a#tavin&selkie_ze&camcorder#c#d", strVendor));
    EXPECT_EQ(L"", DVDevice::ParseDeviceName(L"a#tavin&selkie_ze&camcorder&dv#c#d#", strVendor));
    EXPECT_EQ(L"", DVDevice::ParseDeviceName(L"", strVendor));
}

TEST_F(DVDeviceTest, MalformedDevicePathLeavesTheCamcorderUnused) {
    ResetBus(WithCamcorder(L"tavin", L"selkie_ze&extra"));
    Start();
    Run(8000);
    EXPECT_EQ(2, m_manager.GetDeviceStatus());
    EXPECT_EQ(0, Device().GetDVMode());
    EXPECT_TRUE(m_window.m_vecEvents.empty());
}

TEST_F(DVDeviceTest, UnpluggingTheChosenCamcorderSendsTapeStatusThenMode) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("unplug"));
    Run(500);
    EXPECT_EQ((Events{{2, 0}, {1, 0}}), m_window.m_vecEvents);
    EXPECT_EQ(2, m_manager.GetDeviceStatus());
    EXPECT_FALSE(Device().GetDVFilter());
    EXPECT_EQ(L"", Device().GetModelName());

    // Plugged in again, it is chosen again (a new node count is accepted at the notification).
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("plug"));
    Run(1000);
    EXPECT_EQ((Events{{1, 1}, {2, 4}, {1, 2}}), m_window.m_vecEvents);
}

TEST_F(DVDeviceTest, PollsCloserThan500msDoNothing) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    ClearLog();
    // The pass itself took some time (20 ms between its commands); 300 ms later is still too early.
    Tick(m_manager, m_clock, 3);
    EXPECT_TRUE(SentFrames().empty());
    Tick(m_manager, m_clock, 2);
    EXPECT_FALSE(SentFrames().empty());
}

TEST_F(DVDeviceTest, UnansweredDVControlQueryAtSelectionKeepsMode1UntilTheCamcorderGoes) {
    devices::BusScenario scenario;
    scenario.vecCamcorders[0].settings.bAnswersDVControl = false;
    ResetBus(scenario);
    Start();
    Run(8000);
    EXPECT_EQ(4, m_manager.GetDeviceStatus());
    EXPECT_EQ(1, Device().GetDVMode());
    // Two tries at selection, never asked again.
    EXPECT_EQ(2u, SentFrames().size());
    {
        auto lock = devices::Bus::Get().Lock();
        Camcorder().ClearLog();  // the refused frames are expected here
    }
    Run(3000);
    EXPECT_TRUE(SentFrames().empty());
    EXPECT_EQ(4, m_manager.GetDeviceStatus());
}

TEST_F(DVDeviceTest, ModelPLVRIsNotAskedForDVControlAndUsesTheVirtualDevicesAnswer) {
    ResetBus(WithCamcorder(L"tavin", L"plvr"));
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    for (const std::string& strFrame : SentFrames()) EXPECT_NE("01 20 00 00 00 3D 00 01 30 FF FF", strFrame);
    // Without the DV-control answer PC information is never sent.
    EXPECT_EQ(S_OK, Device().UpdatePCInfo(FALSE, 0, 10, 10, TRUE));
    {
        auto lock = devices::Bus::Get().Lock();
        EXPECT_EQ(0, Camcorder().Report().nPcInfoSends);
    }
    ASSERT_EQ("OK", devices::ExecuteBusCommand("dvcontrol off"));
    Run(500);
    EXPECT_EQ(7, m_manager.GetDeviceStatus());
}

TEST_F(DVDeviceTest, ModeAndStatusFollowTheCamcorder) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    const struct { const char* pszCommand; int nStatus; int nMode; } rows[] = {
        {"dvcontrol off", 7, 1},
        {"dvcontrol on", 8, 2},
        {"mode vcr", 6, 3},
        {"medium card", 5, 5},
        {"mode camera", 5, 4},
        {"modebytes 38 01 01", 5, 6},
        {"medium tape", 8, 2},
    };
    for (const auto& row : rows) {
        ASSERT_EQ("OK", devices::ExecuteBusCommand(row.pszCommand)) << row.pszCommand;
        Run(500);
        EXPECT_EQ(row.nStatus, m_manager.GetDeviceStatus()) << row.pszCommand;
        EXPECT_EQ(row.nMode, Device().GetDVMode()) << row.pszCommand;
        EXPECT_EQ(row.nMode == 2 ? 4 : 0, Device().GetTapeStatus()) << row.pszCommand;
    }
}

TEST_F(DVDeviceTest, FailedModeOrDVControlQueryLosesTheCamcorderUntilTheNextPass) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    for (const char* pszFault : {"timeout 2 dvmode", "refuse 2 dvcontrol"}) {
        m_window.m_vecEvents.clear();
        ASSERT_EQ("OK", devices::ExecuteBusCommand(pszFault));
        Run(500);
        EXPECT_EQ((Events{{2, 0}, {1, 0}}), m_window.m_vecEvents) << pszFault;
        EXPECT_EQ(2, m_manager.GetDeviceStatus()) << pszFault;
        Run(500);  // chosen again at the next pass
        EXPECT_EQ(2, Device().GetDVMode()) << pszFault;
    }
    ClearLog();  // the refused frames are expected here
}

TEST_F(DVDeviceTest, FailedNodeCountReadLosesTheCamcorderUntilTheBusAnswersAgain) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("fail-node-count 3"));
    Run(500);
    EXPECT_EQ((Events{{2, 0}, {1, 0}}), m_window.m_vecEvents);
    EXPECT_EQ(2, m_manager.GetDeviceStatus());
    // Further failed reads while nothing is chosen change nothing.
    for (int i = 0; i < 20 && devices::Bus::Get().Driver().Settings().nNodeCountFailures > 0; ++i) Run(100);
    EXPECT_EQ(2u, m_window.m_vecEvents.size());
    // The bus answers with the count it had: the camcorder is found again at that pass.
    Run(500);
    EXPECT_EQ((Events{{2, 0}, {1, 0}, {1, 1}, {2, 4}, {1, 2}}), m_window.m_vecEvents);
    EXPECT_EQ(8, m_manager.GetDeviceStatus());
}

TEST_F(DVDeviceTest, UnreadableEntryIsSkippedAndTheOtherCamcorderChosen) {
    devices::BusScenario scenario = WithCamcorder(L"tavin", L"selkie_ze");
    scenario.vecCamcorders[0].settings.bag = devices::BagFault::Unreadable;
    scenario.vecCamcorders.push_back(WithCamcorder(L"tavin", L"xy100i").vecCamcorders[0]);
    scenario.driver.nReportedNodes = 2;
    ResetBus(scenario);
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    EXPECT_EQ(L"XY100i", Device().GetModelName());
    EXPECT_TRUE(SentFrames(0).empty());
}

TEST_F(DVDeviceTest, SecondDVDeviceDoesNotStopTheCheckOfTheChosenCamcorder) {
    m_ini.Set(L"OnlyNodeCount2", L"0");
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK camcorder 2", devices::ExecuteBusCommand("add-camcorder tavin xy100i"));
    ClearLog();
    // The check finds two DV devices (S_FALSE) and goes on with the chosen one.
    ASSERT_EQ("OK", devices::ExecuteBusCommand("mode vcr"));
    Run(1000);
    EXPECT_EQ(6, m_manager.GetDeviceStatus());
    EXPECT_EQ((Events{{2, 0}, {1, 3}}), m_window.m_vecEvents);
    EXPECT_FALSE(SentFrames(0).empty());
    EXPECT_TRUE(SentFrames(1).empty());
}

TEST_F(DVDeviceTest, TapeQueryTimeOutChangesNothingButAFailureFlipsTheMode) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    ASSERT_EQ("OK", devices::ExecuteBusCommand("timeout 2 transport"));
    Run(500);
    EXPECT_TRUE(m_window.m_vecEvents.empty());
    EXPECT_EQ(8, m_manager.GetDeviceStatus());

    ASSERT_EQ("OK", devices::ExecuteBusCommand("refuse 2 transport"));
    Run(500);
    EXPECT_EQ((Events{{2, 0}, {1, 1}, {1, 2}}), m_window.m_vecEvents);
    EXPECT_EQ(8, m_manager.GetDeviceStatus());
}

TEST_F(DVDeviceTest, RecordCommandShowsAsTapeStatus5) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    EXPECT_EQ(S_OK, Device().SendTransportCommand(0xC2, 0x75));
    Run(500);
    EXPECT_EQ((Events{{2, 5}}), m_window.m_vecEvents);
    EXPECT_EQ(S_OK, Device().SendTransportCommand(0xC4, 0x60));
    Run(500);
    EXPECT_EQ(4, Device().GetTapeStatus());
}

TEST_F(DVDeviceTest, PCInformationIsPacedTo30SecondsUnlessSomethingChanged) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    auto Sends = [] {
        auto lock = devices::Bus::Get().Lock();
        return devices::Bus::Get().GetCamcorder(0).Report().nPcInfoSends;
    };
    EXPECT_EQ(S_OK, Device().UpdatePCInfo(FALSE, 0, 120, -2, FALSE));
    EXPECT_EQ(1, Sends());
    m_clock.Advance(29000);
    Device().UpdatePCInfo(FALSE, 0, 120, -2, FALSE);
    EXPECT_EQ(1, Sends());
    m_clock.Advance(1000);
    Device().UpdatePCInfo(FALSE, 0, 120, -2, FALSE);
    EXPECT_EQ(2, Sends());
    Device().UpdatePCInfo(FALSE, 0, 119, -2, FALSE);  // remaining minutes changed
    EXPECT_EQ(3, Sends());
    Device().UpdatePCInfo(FALSE, 0, 119, 50, FALSE);  // battery changed
    EXPECT_EQ(4, Sends());
    Device().UpdatePCInfo(TRUE, 2, 119, 50, TRUE);    // forced
    EXPECT_EQ(5, Sends());
    Device().UpdatePCInfo(TRUE, 0, 119, 50, FALSE);
    EXPECT_EQ(5, Sends());

    // Not usable: nothing is sent, and the next usable moment sends at once.
    ASSERT_EQ("OK", devices::ExecuteBusCommand("mode vcr"));
    Run(500);
    EXPECT_EQ(S_OK, Device().UpdatePCInfo(TRUE, 0, 119, 50, FALSE));
    EXPECT_EQ(5, Sends());
    ASSERT_EQ("OK", devices::ExecuteBusCommand("mode camera"));
    Run(500);
    Device().UpdatePCInfo(TRUE, 0, 119, 50, FALSE);
    EXPECT_EQ(6, Sends());
}

} // namespace
