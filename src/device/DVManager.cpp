// The DV manager: starts, drives and stops the virtual VCR and the camcorder device.
#include "device/DVManager.h"
#include "device/DeviceTrace.h"

namespace {

class SystemClock final : public DeviceClock {
public:
    DWORD GetTickCount() override { return ::GetTickCount(); }
    void Sleep(DWORD dwMilliseconds) override { ::Sleep(dwMilliseconds); }
};

} // namespace

DeviceClock& DeviceClock::System() {
    static SystemClock clock;
    return clock;
}

DVManager::DVManager(DeviceClock& clock)
    : m_spVirtualDriver(std::make_unique<VirtualDriver>(*this, clock)), m_spDVDevice(std::make_unique<DVDevice>(*this, clock)) {}

DVManager::~DVManager() {
    ExitDVManager();
    m_spDVDevice.reset();
    m_spVirtualDriver.reset();
}

BOOL DVManager::InitDVManager(HWND hWnd, UINT nMessage, UINT_PTR nTimerId) {
    m_hWnd = hWnd;
    m_nMessage = nMessage;
    m_nTimerId = nTimerId;
    m_nDeviceStatus = DEVICE_STATUS_INITIAL;
    if (TRACE_FAILED_HR(m_spVirtualDriver->InitVirtualDevice(hWnd), "InitVirtualDevice")) return FALSE;
    if (TRACE_FAILED_BOOL(m_spDVDevice->InitDVDevice(hWnd), "InitDVDevice")) return FALSE;
    ::SetTimer(hWnd, nTimerId, TimerPeriodMs, nullptr);
    m_bInitialized = TRUE;
    return TRUE;
}

void DVManager::ExitDVManager() {
    if (!m_bInitialized) return;
    m_spVirtualDriver->UnloadVirtualDevice();
    m_spDVDevice->ExitDVDevice();
    ::KillTimer(m_hWnd, m_nTimerId);
    m_hWnd = nullptr;
    m_nMessage = 0;
    m_nTimerId = 0;
    m_nDeviceStatus = DEVICE_STATUS_INITIAL;
    m_bInitialized = FALSE;
}

BOOL DVManager::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && m_bInitialized && wParam == m_nTimerId) {
        m_spVirtualDriver->Poll();
        m_spDVDevice->PollDVDevice();
        return TRUE;
    }
    return m_spDVDevice->OnDeviceChange(message, wParam, lParam);
}
