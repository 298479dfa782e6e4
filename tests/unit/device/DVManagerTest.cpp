// The manager's start, stop and message routing.
#include "LinkFixture.h"

#include <dbt.h>

namespace {

std::vector<BYTE> InterfaceRecord(const wchar_t* pszName, const GUID& classGuid) {
    std::vector<BYTE> record(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + (wcslen(pszName) + 1) * sizeof(wchar_t), 0);
    auto* p = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record.data());
    p->dbcc_size = static_cast<DWORD>(record.size());
    p->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    p->dbcc_classguid = classGuid;
    wcscpy(p->dbcc_name, pszName);
    return record;
}

TEST_F(LinkTest, TimerOfAnotherIdIsNotConsumed) {
    ASSERT_TRUE(m_manager.InitDVManager(m_window.Handle(), WM_DEVICE_EVENT, 1));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_TIMER, 2, 0));
    EXPECT_EQ(0, m_manager.GetVirtualDevice().GetLoadStep());
    EXPECT_TRUE(m_manager.HandleWindowMessage(WM_TIMER, 1, 0));
    EXPECT_EQ(1, m_manager.GetVirtualDevice().GetLoadStep());
}

TEST_F(LinkTest, OnlyCaptureInterfaceArrivalsAndRemovalsWithoutTyp4AreConsumed) {
    ASSERT_TRUE(m_manager.InitDVManager(m_window.Handle(), WM_DEVICE_EVENT, 1));
    auto camcorder = InterfaceRecord(L"\\\\?\\avc#tavin&selkie_ze&camcorder&dv#1#{65e8773d}", devices::KsCategoryCapture);
    auto subunit = InterfaceRecord(L"\\\\?\\AVC#VAVC&TYP_4&ID_0#2#{65e8773d}", devices::KsCategoryCapture);
    auto other = InterfaceRecord(L"\\\\?\\usb#x#y#{z}", devices::Bus1394InterfaceClass);
    const auto lp = [](std::vector<BYTE>& r) { return reinterpret_cast<LPARAM>(r.data()); };
    EXPECT_TRUE(m_manager.HandleWindowMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, lp(camcorder)));
    EXPECT_TRUE(m_manager.HandleWindowMessage(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, lp(camcorder)));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, lp(camcorder)));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, lp(subunit)));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, lp(other)));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_PAINT, 0, 0));
}

TEST_F(LinkTest, CamcorderDeviceThatCannotRegisterLeavesNoTimerAndNothingLoaded) {
    // A window that is gone: the device notification cannot be registered for it.
    HWND hGone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hGone);
    ::DestroyWindow(hGone);
    m_ini.TraceToFile();
    EXPECT_FALSE(m_manager.InitDVManager(hGone, WM_DEVICE_EVENT, 1));
    EXPECT_EQ(1u, CountOf(m_ini.ReadLog(), "*error* InitDVDevice() failed"));
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_TIMER, 1, 0));
    Tick(m_manager, m_clock, 100);
    EXPECT_EQ(0, m_manager.GetDeviceStatus());
    EXPECT_EQ(0, m_manager.GetDVDevice().GetDVMode());
    EXPECT_FALSE(devices::Bus::Get().Driver().IsVirtualDeviceAdded());
}

TEST_F(LinkTest, StopSendsNoEventsAndResetsTheStatus) {
    ASSERT_TRUE(BringUp(m_manager, m_clock, m_window));
    m_window.m_vecEvents.clear();
    m_manager.ExitDVManager();
    EXPECT_TRUE(m_window.m_vecEvents.empty());
    EXPECT_EQ(0, m_manager.GetDeviceStatus());
    EXPECT_EQ(0, m_manager.GetDVDevice().GetDVMode());
    EXPECT_FALSE(m_manager.HandleWindowMessage(WM_TIMER, 1, 0));
    m_manager.ExitDVManager();  // a second stop does nothing

    // Unplugging now reaches nobody: the notification was unregistered.
    const int nBefore = m_window.m_nDeviceChanges;
    devices::ExecuteBusCommand("unplug");
    EXPECT_EQ(nBefore, m_window.m_nDeviceChanges);
}

TEST_F(LinkTest, EventsArePostedOrSent) {
    ASSERT_TRUE(m_manager.InitDVManager(m_window.Handle(), WM_DEVICE_EVENT, 1));
    m_manager.NotifyEvent(EVENT_RECASPECT, 1, TRUE);
    EXPECT_TRUE(m_window.m_vecEvents.empty());  // posted: not handled yet
    m_manager.NotifyEvent(EVENT_DISKFULL, 0, FALSE);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{4, 0}}), m_window.m_vecEvents);
    MSG msg;
    while (::PeekMessageW(&msg, m_window.Handle(), WM_DEVICE_EVENT, WM_DEVICE_EVENT, PM_REMOVE)) ::DispatchMessageW(&msg);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{4, 0}, {8, 1}}), m_window.m_vecEvents);
}

} // namespace
