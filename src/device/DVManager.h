// The one object through which the user interface reaches the camcorder side: owns the virtual
// VCR device and the camcorder device, drives both from one 100 ms window timer, routes the main
// window's messages to them, and holds the event channel and the connection status.
#pragma once

#include "device/DVDevice.h"
#include "device/DeviceClock.h"
#include "device/DeviceEvents.h"
#include "device/VirtualDriver.h"

#include <windows.h>

#include <memory>

class DVManager : public DeviceEventChannel {
public:
    explicit DVManager(DeviceClock& clock = DeviceClock::System());
    ~DVManager();
    DVManager(const DVManager&) = delete;
    DVManager& operator=(const DVManager&) = delete;

    BOOL InitDVManager(HWND hWnd, UINT nMessage, UINT_PTR nTimerId);
    void ExitDVManager();
    // TRUE when the message was consumed.
    BOOL HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

    VirtualDriver& GetVirtualDevice() { return *m_spVirtualDriver; }
    DVDevice& GetDVDevice() { return *m_spDVDevice; }
    HWND GetWindow() const { return m_hWnd; }

private:
    static constexpr UINT TimerPeriodMs = 100;

    BOOL m_bInitialized = FALSE;
    UINT_PTR m_nTimerId = 0;
    std::unique_ptr<VirtualDriver> m_spVirtualDriver;
    std::unique_ptr<DVDevice> m_spDVDevice;
};
