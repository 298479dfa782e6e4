// The simulated bus: nodes, plugging, buttons and device-change notifications.
#include "devices/Bus.h"
#include "devices/BusControl.h"
#include "devices/DeviceTypes.h"

#include <dbt.h>

#include <cstdio>
#include <cstring>

namespace devices {
namespace {

// Tag of the notification handles the bus hands out.
constexpr uintptr_t NotifyHandleBase = 0x4E0F0000;
// Commands a camcorder sends to the computer's virtual VCR.
constexpr uint8_t CommandRecord = 2;
constexpr uint8_t CommandStop = 3;

} // namespace

Bus& Bus::Get() {
    static Bus bus;
    return bus;
}

Bus::Bus() : m_driver(*this) {
    // The bus comes up as the scenario file beside the program describes it.
    BusScenario scenario;
    LoadBusScenario(ProgramScenarioPath(), scenario);
    Reset(scenario);
}

void Bus::Reset(const BusScenario& scenario) {
    auto lock = Lock();
    m_vecUnits.clear();
    for (const auto& unit : scenario.vecCamcorders) {
        Unit u;
        u.spCamcorder = std::make_unique<Camcorder>(unit.settings);
        u.bPlugged = unit.bPlugged;
        u.nGeneration = 1;
        m_vecUnits.push_back(std::move(u));
    }
    m_nOtherNodes = scenario.nOtherNodes;
    m_nBusResets = 0;
    m_vecPending.clear();
    m_driver.Reset(scenario.driver);
}

void Bus::SetTickSource(std::function<DWORD()> fnTick) {
    auto lock = Lock();
    m_fnTick = std::move(fnTick);
}

DWORD Bus::Now() const {
    auto lock = Lock();
    return m_fnTick ? m_fnTick() : ::GetTickCount();
}

int Bus::NodeCount() const {
    int nCount = 1 + m_nOtherNodes;  // the computer itself
    for (const auto& unit : m_vecUnits) nCount += unit.bPlugged ? 1 : 0;
    return nCount;
}

int Bus::FirstPlugged() const {
    for (size_t i = 0; i < m_vecUnits.size(); ++i) {
        if (m_vecUnits[i].bPlugged) return static_cast<int>(i);
    }
    return -1;
}

std::wstring Bus::DevicePath(size_t nIndex) const {
    const CamcorderSettings& s = m_vecUnits.at(nIndex).spCamcorder->Settings();
    wchar_t szSerial[32];
    std::swprintf(szSerial, 32, L"08004601%08x", static_cast<unsigned>(0x10A0 + nIndex));
    return L"\\\\?\\avc#" + s.strVendor + L"&" + s.strModel + L"&camcorder&dv#" + szSerial +
           L"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

size_t Bus::AddCamcorder(const CamcorderSettings& settings, bool bPlug) {
    size_t nIndex;
    {
        auto lock = Lock();
        Unit u;
        u.spCamcorder = std::make_unique<Camcorder>(settings);
        m_vecUnits.push_back(std::move(u));
        nIndex = m_vecUnits.size() - 1;
    }
    if (bPlug) Plug(nIndex);
    return nIndex;
}

bool Bus::Plug(size_t nIndex) {
    {
        auto lock = Lock();
        if (nIndex >= m_vecUnits.size() || m_vecUnits[nIndex].bPlugged) return false;
        m_vecUnits[nIndex].bPlugged = true;
        ++m_vecUnits[nIndex].nGeneration;
        BusReset();
        QueueInterfaceChange(true, DevicePath(nIndex));
    }
    Deliver();
    return true;
}

bool Bus::Unplug(size_t nIndex) {
    {
        auto lock = Lock();
        if (nIndex >= m_vecUnits.size() || !m_vecUnits[nIndex].bPlugged) return false;
        m_vecUnits[nIndex].bPlugged = false;
        BusReset();
        QueueInterfaceChange(false, DevicePath(nIndex));
    }
    Deliver();
    return true;
}

void Bus::AddOtherNode() {
    Modify([](Bus& bus) { ++bus.m_nOtherNodes; bus.BusReset(); });
}

bool Bus::RemoveOtherNode() {
    bool bDone = false;
    Modify([&](Bus& bus) {
        if (bus.m_nOtherNodes > 0) {
            --bus.m_nOtherNodes;
            bus.BusReset();
            bDone = true;
        }
    });
    return bDone;
}

bool Bus::PressRecord(size_t nIndex) {
    auto lock = Lock();
    if (nIndex >= m_vecUnits.size() || !m_vecUnits[nIndex].bPlugged) return false;
    if (m_driver.IsSubunitAdded()) {
        m_driver.QueueCommand(CommandRecord, 0);
        return true;
    }
    CamcorderSettings& s = m_vecUnits[nIndex].spCamcorder->Settings();
    if (s.medium != Medium::Tape || s.transport == Transport::NoCassette || s.transport == Transport::EndOfTape) return false;
    s.transport = Transport::Recording;
    return true;
}

bool Bus::PressStop(size_t nIndex) {
    auto lock = Lock();
    if (nIndex >= m_vecUnits.size() || !m_vecUnits[nIndex].bPlugged) return false;
    if (m_driver.IsSubunitAdded()) {
        m_driver.QueueCommand(CommandStop, 0);
        return true;
    }
    CamcorderSettings& s = m_vecUnits[nIndex].spCamcorder->Settings();
    if (s.transport == Transport::Recording || s.transport == Transport::RecordPause) s.transport = Transport::Stopped;
    return true;
}

void Bus::Modify(const std::function<void(Bus&)>& fn) {
    {
        auto lock = Lock();
        fn(*this);
    }
    Deliver();
}

HDEVNOTIFY Bus::RegisterNotification(HWND hWnd, const GUID& classGuid) {
    auto lock = Lock();
    if (!::IsWindow(hWnd)) return nullptr;
    auto hNotify = reinterpret_cast<HDEVNOTIFY>(NotifyHandleBase + 16 * ++m_nNextNotify);
    m_vecRegistrations.push_back(Registration{hNotify, hWnd, classGuid});
    return hNotify;
}

BOOL Bus::UnregisterNotification(HDEVNOTIFY hNotify) {
    auto lock = Lock();
    for (auto it = m_vecRegistrations.begin(); it != m_vecRegistrations.end(); ++it) {
        if (it->hNotify == hNotify) {
            m_vecRegistrations.erase(it);
            return TRUE;
        }
    }
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

void Bus::QueueInterfaceChange(bool bArrival, const std::wstring& strName) {
    m_vecPending.push_back(Pending{bArrival, strName});
}

void Bus::Deliver() {
    std::vector<Pending> vecPending;
    std::vector<Registration> vecTargets;
    {
        auto lock = Lock();
        vecPending.swap(m_vecPending);
        vecTargets = m_vecRegistrations;
    }
    for (const Pending& pending : vecPending) {
        // The broadcast record with its name in place, as the system hands it over.
        const size_t nBytes = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (pending.strName.size() + 1) * sizeof(wchar_t);
        std::vector<uint8_t> vecRecord(nBytes, 0);
        auto* pRecord = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(vecRecord.data());
        pRecord->dbcc_size = static_cast<DWORD>(nBytes);
        pRecord->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        pRecord->dbcc_classguid = KsCategoryCapture;
        std::memcpy(pRecord->dbcc_name, pending.strName.c_str(), (pending.strName.size() + 1) * sizeof(wchar_t));
        for (const Registration& target : vecTargets) {
            if (!IsEqualGUID(target.classGuid, KsCategoryCapture)) continue;
            ::SendMessageW(target.hWnd, WM_DEVICECHANGE, pending.bArrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                           reinterpret_cast<LPARAM>(pRecord));
        }
    }
}

} // namespace devices
