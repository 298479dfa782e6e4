// Makes the computer appear on the IEEE 1394 bus as a virtual VCR through the maker's kernel
// driver: loads the virtual device and its tape subunit step by step, forwards the camcorder's
// commands to the main window and tells the camcorder the computer's tape state.
#pragma once

#include "device/DeviceClock.h"

#include "devices/ComPtr.h"
#include "devices/DeviceTypes.h"

#include <windows.h>
#include <ks.h>

#include <string>
#include <utility>
#include <vector>

class DVManager;

// The computer's transport state as the camcorder sees it.
enum PcTapeStateCode : int {
    PCTAPE_PLAYING = 0,
    PCTAPE_RECORDING = 2,
    PCTAPE_READY = 3,     // ready to record, or paused
    PCTAPE_LOADED = 4,    // a file loaded and stopped
    PCTAPE_IDLE = 5,      // no graph, or the camcorder is unusable
};

class VirtualDriver {
public:
    VirtualDriver(DVManager& owner, DeviceClock& clock);
    ~VirtualDriver();
    VirtualDriver(const VirtualDriver&) = delete;
    VirtualDriver& operator=(const VirtualDriver&) = delete;

    HRESULT InitVirtualDevice(HWND hMainWindow);
    void Poll();
    BOOL IsLoaded() const { return m_nLoadStep == 3; }
    void UnloadVirtualDevice();

    LONG KsGetNodeCount();
    LONG KsGetIsDVControl();
    HRESULT KsSendTarnTapeStateChange(int nState);
    HRESULT KsEnableEvent(BOOL bEnable);
    HRESULT KsGetEvent(std::vector<std::pair<LONG, LONG>>& vecEvents);

    void SetRecordBlocked(BOOL bBlocked) { m_bRecordBlocked = bBlocked; }
    void SetPcTapeState(int nState) { m_nPcTapeState = nState; }
    void SetSessionLocked(BOOL bLocked) { m_bSessionLocked = bLocked; }
    int GetPcTapeState() const { return m_nPcTapeState; }
    int GetLoadStep() const { return m_nLoadStep; }

    static std::wstring GetFirstDevicePath(const GUID& interfaceClass);

    // Forgets the process-wide step time stamp and first-attempt flag.
    static void ResetProcessStateForTesting();

private:
    HANDLE Load1394Device();
    void Remove1394Device(HANDLE hBus);
    HANDLE LoadAvcDevice();
    void RemoveAvcDevice(HANDLE hAvc);
    static LONG Get61883NodeProblem();
    static LONG GetVcrSubunitNodeProblem();
    static void MarkVcrSubunitForReinstall();
    HRESULT FindKsFilter(devices::ComPtr<devices::IBaseFilter>& spFilter);
    HRESULT KsMethod(ULONG nId, void* pData, ULONG nBytes);
    HRESULT StartEvents();
    // Removes the subunit and the virtual device and goes back to step 0.
    void StartOver();
    // Closes what the lost handle belonged to and loads the virtual VCR again.
    void ReloadAfterLostHandle();
    // Notes a result that says the kernel-streaming handle is gone; returns the result.
    HRESULT NoteKsResult(HRESULT hr);
    void PollStep0();
    void PollStep1();
    void PollStep2();
    void PollStep3();
    void SetStep(int nStep);
    BOOL ElapsedSinceStep(DWORD dwMs);

    DVManager& m_owner;
    DeviceClock& m_clock;
    BOOL m_bInitialized = FALSE;
    HWND m_hMainWindow = nullptr;
    HANDLE m_hBus = INVALID_HANDLE_VALUE;
    HANDLE m_hAvc = INVALID_HANDLE_VALUE;
    int m_nLoadStep = 0;
    devices::ComPtr<devices::IBaseFilter> m_spFilter;
    HANDLE m_hEvent = nullptr;
    HANDLE m_hKsHandle = nullptr;
    KSEVENTDATA m_eventData{};
    BOOL m_bRecordBlocked = FALSE;
    int m_nPcTapeState = PCTAPE_IDLE;
    BOOL m_bSessionLocked = FALSE;
    BOOL m_bKsHandleLost = FALSE;   // a request on m_hKsHandle said the handle is gone
    LONG m_nCarriedCode = -1;       // last event code of a read the bound cut short, else -1

    // Shared by the whole program run.
    static DWORD s_dwStepTime;
    static BOOL s_bFirstAttempt;
};
