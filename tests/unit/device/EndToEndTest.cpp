// The camcorder link in one process on a real window and timer, steered through the control pipe
// as plover-dvbus steers the running program.
#include "DeviceTestSupport.h"

#include "devices/BusControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>

namespace {

// Runs the window's message loop until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& fnDone, DWORD dwTimeoutMs) {
    const DWORD dwStart = ::GetTickCount();
    while (!fnDone()) {
        if (::GetTickCount() - dwStart > dwTimeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    return true;
}

bool Seen(const EventWindow& window, std::pair<int, int> event) {
    return std::find(window.m_vecEvents.begin(), window.m_vecEvents.end(), event) != window.m_vecEvents.end();
}

TEST(CamcorderLinkEndToEnd, RecordButtonAndUnplugReachTheMainWindow) {
    devices::Bus& bus = devices::Bus::Get();
    bus.Reset(devices::BusScenario{});
    bus.SetTickSource(nullptr);
    VirtualDriver::ResetProcessStateForTesting();
    const std::wstring strPipe = L"\\\\.\\pipe\\PloverDVBusE2E" + std::to_wstring(::GetCurrentProcessId());
    devices::ControlPipe pipe;
    ASSERT_TRUE(pipe.Start(strPipe));
    auto Command = [&](const char* pszCommand) {
        return std::async(std::launch::async, [&strPipe, pszCommand] {
            std::string strAnswer;
            devices::SendBusCommand(strPipe, pszCommand, strAnswer);
            return strAnswer;
        });
    };

    EventWindow window;
    DVManager manager;
    window.Route(&manager);
    ASSERT_TRUE(manager.InitDVManager(window.Handle(), WM_DEVICE_EVENT, 1));
    ASSERT_TRUE(PumpUntil([&] { return manager.GetDVDevice().GetDVMode() == 2; }, 15000));
    EXPECT_EQ(8, manager.GetDeviceStatus());
    EXPECT_EQ(L"SELKIE Ze", manager.GetDVDevice().GetModelName());

    // The camcorder's record button, pressed through the pipe.
    auto record = Command("record");
    EXPECT_TRUE(PumpUntil([&] { return Seen(window, {EVENT_DVCOMMAND, 2}); }, 5000));
    EXPECT_EQ("OK", record.get());

    // The computer tells the camcorder it records.
    manager.GetVirtualDevice().SetPcTapeState(PCTAPE_RECORDING);
    EXPECT_TRUE(PumpUntil([&] {
        auto lock = bus.Lock();
        return bus.GetCamcorder(0).Report().nTapeState == PCTAPE_RECORDING;
    }, 5000));

    // Unplugged: the tape status goes to 0 first, then the mode event with status 2.
    window.m_vecEvents.clear();
    auto unplug = Command("unplug");
    EXPECT_TRUE(PumpUntil([&] { return Seen(window, {EVENT_DVMODECHANGE, 0}); }, 5000));
    EXPECT_EQ("OK", unplug.get());
    EXPECT_EQ((std::vector<std::pair<int, int>>{{EVENT_TAPESTATUSCHANGE, 0}, {EVENT_DVMODECHANGE, 0}}), window.m_vecEvents);
    EXPECT_EQ(2, manager.GetDeviceStatus());
    EXPECT_GE(window.m_nDeviceChanges, 1);

    manager.ExitDVManager();
    pipe.Stop();
    auto lock = bus.Lock();
    EXPECT_FALSE(bus.Driver().IsSubunitAdded());
    EXPECT_TRUE(bus.Driver().Malformed().empty());
}

} // namespace
