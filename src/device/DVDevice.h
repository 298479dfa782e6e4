// Finds the one camcorder among the system's DV devices, decides whether it can be used, watches
// its mode and tape status, and reports each change through the DV manager's event channel.
#pragma once

#include "device/DVCommand.h"
#include "device/DeviceClock.h"

#include "devices/ComPtr.h"
#include "devices/DeviceTypes.h"

#include <windows.h>

#include <string>
#include <vector>

class DVManager;

// Device modes (m_nDVMode, lParam of EVENT_DVMODECHANGE).
enum DVModeCode : int {
    DVMODE_NONE = 0,         // no camcorder chosen
    DVMODE_PRESENT = 1,      // present but not (yet) usable
    DVMODE_CAMERA_TAPE = 2,  // camera mode with a tape: usable
    DVMODE_TAPE_OTHER = 3,   // a tape in another mode
};

class DVDevice {
public:
    DVDevice(DVManager& manager, DeviceClock& clock);
    ~DVDevice();
    DVDevice(const DVDevice&) = delete;
    DVDevice& operator=(const DVDevice&) = delete;

    BOOL InitDVDevice(HWND hWnd);
    void ExitDVDevice();
    BOOL OnDeviceChange(UINT message, WPARAM wParam, LPARAM lParam);
    void PollDVDevice();

    int GetDVMode() const { return m_nDVMode; }
    int GetTapeStatus() const { return m_nTapeStatus; }
    // The chosen camcorder's DV filter with a new reference, or none.
    devices::ComPtr<devices::IBaseFilter> GetDVFilter() const { return m_spDV; }
    const std::wstring& GetModelName() const { return m_strModelName; }

    HRESULT UpdatePCInfo(BOOL bDropsOccurred, int nNewDrops, int nRemainingMinutes, int nBatteryMinutes, BOOL bForce);
    HRESULT SendTransportCommand(BYTE byOpcode, BYTE byOperand);

    // The model name from a DV device path, and the vendor piece; empty when the path has another shape.
    static std::wstring ParseDeviceName(const std::wstring& strDevicePath, std::wstring& strVendor);

private:
    HRESULT FindDVMonikers(std::vector<devices::ComPtr<devices::IMoniker>>& vecMonikers);
    HRESULT FindDVFilter(devices::ComPtr<devices::IBaseFilter>* pspFilter, std::wstring* pstrModelName);
    BOOL CheckNodeCount();
    // Status 2 and mode 0: the chosen camcorder is lost.
    void SetNoCamcorder();
    BOOL SelectDVDevice();
    BOOL CheckDVDevice();
    void UpdateTapeStatus();
    void SetDVMode(int nMode);
    void SetTapeStatus(int nStatus);
    int ReadNodeCount();

    DVManager& m_manager;
    DeviceClock& m_clock;
    DVCommand m_command;
    HWND m_hWnd = nullptr;
    HDEVNOTIFY m_hDevNotify = nullptr;
    int m_nDVMode = DVMODE_NONE;
    int m_nTapeStatus = 0;
    int m_nNodeCount = 0;
    DWORD m_dwNodeCountDue = 0;
    BOOL m_bDVControl = FALSE;
    devices::ComPtr<devices::IBaseFilter> m_spDV;
    std::wstring m_strModelName;
    DWORD m_dwLastPoll = 0;
    BOOL m_bSelected = FALSE;
    DWORD m_dwLastPCInfo = 0;
    int m_nLastRemainingMinutes = 0;
    int m_nLastBatteryMinutes = 0;
};
