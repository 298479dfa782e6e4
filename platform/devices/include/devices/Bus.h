// The simulated IEEE 1394 bus: the computer, camcorders and other nodes, bus resets, the maker's
// virtual VCR driver, and the device-change notifications of the capture category.
// One bus per process. Every operation is thread-safe; notifications are delivered with
// SendMessageW to the registered windows after the bus lock is released.
#pragma once

#include "devices/Camcorder.h"
#include "devices/VcrDriver.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace devices {

struct BusScenario {
    struct Unit {
        CamcorderSettings settings;
        bool bPlugged = true;
    };
    std::vector<Unit> vecCamcorders{Unit{}};  // default: one usable camcorder of the maker
    int nOtherNodes = 0;                      // further nodes that are not DV camcorders
    VcrDriverSettings driver;
};

class Bus {
public:
    static Bus& Get();

    // Forgets everything (handles, registrations excepted) and starts from the scenario.
    void Reset(const BusScenario& scenario);

    std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(m_mutex); }

    // Time for the simulation's own pacing (frame production, command log); GetTickCount by default.
    void SetTickSource(std::function<DWORD()> fnTick);
    DWORD Now() const;

    // ---- nodes (caller holds the lock for the accessors) ----
    int NodeCount() const;
    int BusResets() const { return m_nBusResets; }
    int& OtherNodes() { return m_nOtherNodes; }
    size_t CamcorderCount() const { return m_vecUnits.size(); }
    Camcorder& GetCamcorder(size_t nIndex) { return *m_vecUnits.at(nIndex).spCamcorder; }
    bool IsPlugged(size_t nIndex) const { return m_vecUnits.at(nIndex).bPlugged; }
    // Plug generation: changes at every plug, so objects of an earlier connection go stale.
    unsigned Generation(size_t nIndex) const { return m_vecUnits.at(nIndex).nGeneration; }
    std::wstring DevicePath(size_t nIndex) const;
    // The first plugged camcorder, or -1.
    int FirstPlugged() const;
    VcrDriver& Driver() { return m_driver; }

    // ---- scenario control (take the lock themselves and deliver notifications) ----
    size_t AddCamcorder(const CamcorderSettings& settings, bool bPlug);
    bool Plug(size_t nIndex);
    bool Unplug(size_t nIndex);
    void AddOtherNode();
    bool RemoveOtherNode();
    // The camcorder's record and stop buttons: commands 2 and 3 to the virtual VCR when it listens,
    // otherwise the camcorder's own tape.
    bool PressRecord(size_t nIndex);
    bool PressStop(size_t nIndex);
    // Runs fn under the lock, then delivers what it queued.
    void Modify(const std::function<void(Bus&)>& fn);

    // ---- notifications ----
    HDEVNOTIFY RegisterNotification(HWND hWnd, const GUID& classGuid);
    BOOL UnregisterNotification(HDEVNOTIFY hNotify);
    // Queues a device-interface arrival or removal (caller holds the lock).
    void QueueInterfaceChange(bool bArrival, const std::wstring& strName);
    void BusReset() { ++m_nBusResets; }
    // Sends the queued notifications; call without holding the lock.
    void Deliver();

private:
    Bus();
    struct Unit {
        std::unique_ptr<Camcorder> spCamcorder;
        bool bPlugged = false;
        unsigned nGeneration = 0;
    };
    struct Registration {
        HDEVNOTIFY hNotify;
        HWND hWnd;
        GUID classGuid;
    };
    struct Pending {
        bool bArrival;
        std::wstring strName;
    };

    mutable std::recursive_mutex m_mutex;
    std::function<DWORD()> m_fnTick;
    std::vector<Unit> m_vecUnits;
    int m_nOtherNodes = 0;
    int m_nBusResets = 0;
    VcrDriver m_driver;
    std::vector<Registration> m_vecRegistrations;
    uintptr_t m_nNextNotify = 0;
    std::vector<Pending> m_vecPending;
};

} // namespace devices
