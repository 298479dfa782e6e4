// A fresh bus with one usable camcorder, a manager on a test window, a hand-moved clock.
#pragma once

#include "DeviceTestSupport.h"

#include "devices/Bus.h"
#include "devices/BusControl.h"

#include <gtest/gtest.h>

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetBus(devices::BusScenario{});
        VirtualDriver::ResetProcessStateForTesting();
        SetVirtualDeviceCount(-1);
    }
    void TearDown() override {
        SetVirtualDeviceCount(-1);
        // Whatever a test did, the program never sent a malformed request.
        devices::Bus& bus = devices::Bus::Get();
        auto lock = bus.Lock();
        EXPECT_EQ(std::vector<std::string>{}, bus.Driver().Malformed());
        for (size_t i = 0; i < bus.CamcorderCount(); ++i) EXPECT_TRUE(bus.GetCamcorder(i).UnknownRequests().empty());
    }

    void ResetBus(const devices::BusScenario& scenario) {
        devices::Bus& bus = devices::Bus::Get();
        bus.Reset(scenario);
        bus.SetTickSource([this] { return m_clock.m_dwNow; });
    }

    devices::Camcorder& Camcorder(size_t nIndex = 0) { return devices::Bus::Get().GetCamcorder(nIndex); }

    // HKLM SOFTWARE\VirtualDevices "Count"; -1 removes the value.
    static void SetVirtualDeviceCount(int nCount) {
        HKEY hKey = nullptr;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VirtualDevices", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) != ERROR_SUCCESS) return;
        if (nCount < 0) {
            ::RegDeleteValueW(hKey, L"Count");
        } else {
            const DWORD dwCount = static_cast<DWORD>(nCount);
            ::RegSetValueExW(hKey, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwCount), sizeof dwCount);
        }
        ::RegCloseKey(hKey);
    }

    FakeClock m_clock;
    DebugIni m_ini;
    EventWindow m_window;
    DVManager m_manager{m_clock};
};
