// The maker's virtual VCR driver: bus and subunit requests, device nodes, the kernel-streaming
// event buffer and methods. Every request is checked field by field; a malformed one fails as the
// driver fails it, and is noted in Malformed().
#include "devices/VcrDriver.h"
#include "devices/Bus.h"
#include "devices/DeviceTypes.h"

#include <algorithm>
#include <cstring>

namespace devices {
namespace {

// Bus request (IOCTL_IEEE1394_API_REQUEST) for adding or removing the virtual device.
namespace wire {
#pragma pack(push, 1)
struct BusRequest {
    uint32_t nRequest;      // 1 add, 2 remove
    uint32_t nFlags;
    uint32_t nDeviceFlags;
    uint32_t nReserved;
    uint64_t nInstanceId;
    char szDeviceId[18];    // "A02D&10001", NUL-terminated, rest zero
};
struct SubunitRequest {
    uint32_t nFlags;        // 2: trigger a bus reset
    uint8_t bySubunitAddress;
    uint8_t abyReserved[3];
};
#pragma pack(pop)
static_assert(sizeof(BusRequest) == 42);
static_assert(sizeof(SubunitRequest) == 8);
} // namespace wire

constexpr char VirtualDeviceId[] = "A02D&10001";
constexpr uint32_t BusRequestAdd = 1;
constexpr uint32_t BusRequestRemove = 2;
constexpr uint32_t SubunitFlagBusReset = 2;
constexpr uint8_t TapeSubunitAddress = 0x20;
constexpr ULONG TarnEventId = 0;
constexpr ULONG MethodTapeState = 0;
constexpr ULONG MethodQuery = 2;
constexpr uint32_t QueryNodeCount = 1;
constexpr uint32_t QueryDVControl = 2;
constexpr ULONG EventItemBytes = 4;

// Device instance numbers of the virtual nodes.
constexpr DEVINST DevInstV61883 = 10;
constexpr DEVINST DevInstSubunit = 20;
// Handles of the driver's objects are tagged so they are never mistaken for host handles.
constexpr uintptr_t HandleBase = 0x7D100000;
constexpr uintptr_t KsHandleValue = 0x7D1F0000;

} // namespace

bool TakeFailure(int& nFailures) {
    if (nFailures == 0) return false;
    if (nFailures > 0) --nFailures;
    return true;
}

void ApplyVirtualDeviceCount(int64_t nCount) {
    if (nCount == VcrDriverSettings::CountUntouched) return;
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VirtualDevices", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS) return;
    if (nCount == VcrDriverSettings::CountAbsent) {
        ::RegDeleteValueW(hKey, L"Count");
    } else {
        const DWORD dwCount = static_cast<DWORD>(nCount);
        ::RegSetValueExW(hKey, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwCount), sizeof dwCount);
    }
    ::RegCloseKey(hKey);
}

void VcrDriver::Reset(const VcrDriverSettings& settings) {
    m_settings = settings;
    m_vecHandles.clear();
    m_bVirtualDevice = m_bSubunit = m_bReinstallMarked = m_bReinstalled = false;
    m_nSubunitAdds = 0;
    m_nSubunitNodeHidden = 0;
    m_nShownSubunitProblem = 0;
    m_dwSubunitConfigFlags = 0;
    m_hKs = nullptr;
    m_bEventEnabled = false;
    m_pEventData = nullptr;
    m_hEvent = nullptr;
    m_queEvents.clear();
    m_nTapeState = -1;
    m_nTapeStateSends = 0;
    m_nAddDeviceRequests = 0;
    m_vecMalformed.clear();
    ApplyVirtualDeviceCount(settings.nVirtualDeviceCount);
}

void VcrDriver::Restart() {
    if (m_bVirtualDevice) RemoveVirtualDevice();
    m_vecHandles.clear();
}

std::wstring VcrDriver::HostControllerPath() const {
    return m_settings.bHostController ? L"\\\\?\\pci#ven_104c&dev_8023#4&1394&0&0#{6bdd1fc1-810f-11d0-bec7-08002be2092f}" : L"";
}

std::wstring VcrDriver::VirtualAvcPath() const {
    return m_bVirtualDevice ? L"\\\\?\\1394#a02d&10001#1&0a02d&0#{616ef4d0-23ce-446d-a568-c31eb01913d0}" : L"";
}

std::wstring VcrDriver::SubunitInterfaceName() {
    return L"\\\\?\\AVC#VAVC&TYP_4&ID_0#2&A02D&0#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

BOOL VcrDriver::Refuse(DWORD& dwError, const char* pszWhy) {
    m_vecMalformed.emplace_back(pszWhy);
    dwError = ERROR_INVALID_PARAMETER;
    return FALSE;
}

HRESULT VcrDriver::RefuseHr(HRESULT hr, const char* pszWhy) {
    m_vecMalformed.emplace_back(pszWhy);
    return hr;
}

HANDLE VcrDriver::Open(const wchar_t* pszPath, DWORD dwAccess, DWORD dwShare, DWORD dwDisposition, DWORD& dwError) {
    HandleKind kind;
    if (pszPath != nullptr && !HostControllerPath().empty() && _wcsicmp(pszPath, HostControllerPath().c_str()) == 0) {
        kind = HandleKind::Bus;
    } else if (pszPath != nullptr && !VirtualAvcPath().empty() && _wcsicmp(pszPath, VirtualAvcPath().c_str()) == 0) {
        kind = HandleKind::Avc;
    } else {
        dwError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    if (dwDisposition != OPEN_EXISTING || (dwAccess & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE)) {
        m_vecMalformed.emplace_back("open without read/write access or not OPEN_EXISTING");
        dwError = ERROR_ACCESS_DENIED;
        return INVALID_HANDLE_VALUE;
    }
    // Opened without sharing: a second opener is refused while the first handle is open.
    for (const OpenHandle& open : m_vecHandles) {
        if (open.kind == kind) {
            dwError = ERROR_SHARING_VIOLATION;
            return INVALID_HANDLE_VALUE;
        }
    }
    (void)dwShare;
    HANDLE h = reinterpret_cast<HANDLE>(HandleBase + 16 * ++m_nNextHandle);
    m_vecHandles.push_back(OpenHandle{h, kind});
    return h;
}

bool VcrDriver::OwnsHandle(HANDLE h) const {
    return std::any_of(m_vecHandles.begin(), m_vecHandles.end(), [h](const OpenHandle& o) { return o.h == h; });
}

bool VcrDriver::Close(HANDLE h) {
    auto it = std::find_if(m_vecHandles.begin(), m_vecHandles.end(), [h](const OpenHandle& o) { return o.h == h; });
    if (it == m_vecHandles.end()) return false;
    m_vecHandles.erase(it);
    return true;
}

BOOL VcrDriver::IoControl(HANDLE h, DWORD dwCode, const void* pIn, DWORD nIn, void* pOut, DWORD nOut, DWORD* pnReturned, DWORD& dwError) {
    auto it = std::find_if(m_vecHandles.begin(), m_vecHandles.end(), [h](const OpenHandle& o) { return o.h == h; });
    if (it == m_vecHandles.end()) {
        dwError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    if (pnReturned) *pnReturned = 0;
    (void)pOut;
    if (it->kind == HandleKind::Bus) {
        if (dwCode != IOCTL_IEEE1394_API_REQUEST) {
            dwError = ERROR_INVALID_FUNCTION;
            return FALSE;
        }
        return BusRequest(pIn, nIn, nOut, dwError);
    }
    if (dwCode != IOCTL_AVC_BUS_ADD_SUBUNIT && dwCode != IOCTL_AVC_BUS_REMOVE_SUBUNIT) {
        dwError = ERROR_INVALID_FUNCTION;
        return FALSE;
    }
    if (!m_bVirtualDevice) {
        dwError = ERROR_DEV_NOT_EXIST;  // the virtual device under this handle was removed
        return FALSE;
    }
    return SubunitRequest(dwCode, pIn, nIn, nOut, dwError);
}

BOOL VcrDriver::BusRequest(const void* pIn, DWORD nIn, DWORD nOut, DWORD& dwError) {
    if (pIn == nullptr || nIn != sizeof(wire::BusRequest) || nOut != 0) return Refuse(dwError, "bus request: wrong length");
    wire::BusRequest request;
    std::memcpy(&request, pIn, sizeof request);
    if (request.nRequest != BusRequestAdd && request.nRequest != BusRequestRemove) return Refuse(dwError, "bus request: unknown request");
    if (request.nFlags != 0 || request.nDeviceFlags != 0 || request.nReserved != 0 || request.nInstanceId != 0) {
        return Refuse(dwError, "bus request: non-zero flags or instance id");
    }
    char szExpected[sizeof request.szDeviceId] = {};
    std::memcpy(szExpected, VirtualDeviceId, sizeof VirtualDeviceId);
    if (std::memcmp(request.szDeviceId, szExpected, sizeof szExpected) != 0) return Refuse(dwError, "bus request: wrong device id");

    if (request.nRequest == BusRequestAdd) {
        ++m_nAddDeviceRequests;
        if (m_bVirtualDevice) {
            dwError = ERROR_GEN_FAILURE;  // already on the bus
            return FALSE;
        }
        m_bVirtualDevice = true;
        m_bus.BusReset();
        return TRUE;
    }
    if (!m_bVirtualDevice) {
        dwError = ERROR_GEN_FAILURE;
        return FALSE;
    }
    RemoveVirtualDevice();
    return TRUE;
}

BOOL VcrDriver::SubunitRequest(DWORD dwCode, const void* pIn, DWORD nIn, DWORD nOut, DWORD& dwError) {
    if (pIn == nullptr || nIn != sizeof(wire::SubunitRequest) || nOut != 0) return Refuse(dwError, "subunit request: wrong length");
    wire::SubunitRequest request;
    std::memcpy(&request, pIn, sizeof request);
    if (request.nFlags != SubunitFlagBusReset || request.bySubunitAddress != TapeSubunitAddress ||
        request.abyReserved[0] != 0 || request.abyReserved[1] != 0 || request.abyReserved[2] != 0) {
        return Refuse(dwError, "subunit request: wrong flags or subunit address");
    }
    if (dwCode == IOCTL_AVC_BUS_ADD_SUBUNIT) {
        if (TakeFailure(m_settings.nAvcLoadFailures)) {
            dwError = ERROR_GEN_FAILURE;
            return FALSE;
        }
        if (!m_bSubunit) AddSubunit();
        m_bus.BusReset();
        return TRUE;
    }
    if (!m_bSubunit) {
        dwError = ERROR_GEN_FAILURE;
        return FALSE;
    }
    RemoveSubunit();
    m_bus.BusReset();
    return TRUE;
}

ULONG VcrDriver::SubunitProblem() const {
    return m_bSubunit ? m_nShownSubunitProblem : 0;
}

void VcrDriver::AddSubunit() {
    m_bSubunit = true;
    ++m_nSubunitAdds;
    m_nSubunitNodeHidden = m_settings.nSubunitNodeDelay;
    // A node marked for reinstall gets its driver installed when it comes back.
    if (m_bReinstallMarked && m_settings.nSubunitProblem == ProblemFailedInstall) m_bReinstalled = true;
    const bool bLimited = m_settings.nSubunitProblemAdds >= 0;
    const bool bShows = m_settings.nSubunitProblem != 0 && !m_bReinstalled &&
                        (!bLimited || m_nSubunitAdds <= m_settings.nSubunitProblemAdds);
    m_nShownSubunitProblem = bShows ? m_settings.nSubunitProblem : 0;
    if (HasTarnFilter()) {
        m_hKs = reinterpret_cast<HANDLE>(KsHandleValue + 16 * ++m_nKsSerial);
        m_bus.QueueInterfaceChange(true, SubunitInterfaceName());
    }
}

void VcrDriver::RemoveSubunit() {
    if (HasTarnFilter()) m_bus.QueueInterfaceChange(false, SubunitInterfaceName());
    m_bSubunit = false;
    m_hKs = nullptr;
    m_bEventEnabled = false;
    m_pEventData = nullptr;
    m_hEvent = nullptr;
    m_queEvents.clear();
}

void VcrDriver::RemoveVirtualDevice() {
    if (m_bSubunit) RemoveSubunit();
    m_bVirtualDevice = false;
    m_bus.BusReset();
}

bool VcrDriver::HasTarnFilter() const {
    return m_bSubunit && m_nShownSubunitProblem == 0 && m_settings.bTarnFilter;
}

void VcrDriver::AppendNodes(const GUID& setupClass, std::vector<DeviceNode>& nodes) {
    if (IsEqualGUID(setupClass, AvcSetupClass) && m_bVirtualDevice) {
        nodes.push_back(DeviceNode{DevInstV61883, setupClass, L"1394\\A02D&10001&V61883", m_settings.nV61883Problem});
    }
    if (IsEqualGUID(setupClass, ImageSetupClass) && m_bSubunit) {
        if (m_nSubunitNodeHidden > 0) {
            --m_nSubunitNodeHidden;  // not installed yet
            return;
        }
        nodes.push_back(DeviceNode{DevInstSubunit, setupClass, L"AVC\\VAVC&TYP_4&ID_0", SubunitProblem()});
    }
}

bool VcrDriver::NodeProblem(DEVINST devInst, ULONG& nProblem) const {
    if (devInst == DevInstV61883 && m_bVirtualDevice) {
        nProblem = m_settings.nV61883Problem;
        return true;
    }
    if (devInst == DevInstSubunit && m_bSubunit) {
        nProblem = SubunitProblem();
        return true;
    }
    return false;
}

bool VcrDriver::SetConfigFlags(DEVINST devInst, DWORD dwFlags) {
    if (devInst != DevInstSubunit || !m_bSubunit) return false;
    m_dwSubunitConfigFlags = dwFlags;
    if (dwFlags & ConfigFlagReinstall) m_bReinstallMarked = true;
    return true;
}

void VcrDriver::QueueCommand(uint8_t byCode, uint8_t byParam) {
    if (!m_bEventEnabled) return;  // nobody listens: the command is lost, as on the bus
    m_queEvents.push_back({byCode, byParam, 0, 0});
    ::SetEvent(m_hEvent);
}

HRESULT VcrDriver::KsControl(HANDLE h, ULONG nCode, void* pIn, ULONG nIn, void* pOut, ULONG nOut, ULONG* pnReturned) {
    if (pnReturned) *pnReturned = 0;
    if (h == nullptr || h != m_hKs) return HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);
    switch (nCode) {
    case IOCTL_KS_ENABLE_EVENT_CODE:
        return EnableEvent(pIn, nIn, pOut, nOut, pnReturned);
    case IOCTL_KS_DISABLE_EVENT_CODE:
        return DisableEvent(pIn, nIn, nOut);
    case IOCTL_KS_METHOD_CODE:
        return Method(pIn, nIn, pOut, nOut, pnReturned);
    default:
        return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION), "ks: unknown control code");
    }
}

HRESULT VcrDriver::EnableEvent(const void* pIn, ULONG nIn, void* pOut, ULONG nOut, ULONG* pnReturned) {
    if (pIn == nullptr || nIn < sizeof(KSEVENT)) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "event: short request");
    KSEVENT event;
    std::memcpy(&event, pIn, sizeof event);
    if (!IsEqualGUID(event.Set, TarnEventSet)) return RefuseHr(HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND), "event: unknown set");
    if (event.Id != TarnEventId) return RefuseHr(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "event: unknown id");

    if (event.Flags == KSEVENT_TYPE_QUERYBUFFER) {
        if (nIn != sizeof(KSQUERYBUFFER)) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "query: wrong length");
        KSQUERYBUFFER query;
        std::memcpy(&query, pIn, sizeof query);
        if (query.Reserved != nullptr) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "query: reserved not zero");
        if (!m_bEventEnabled || query.EventData != m_pEventData) {
            return RefuseHr(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "query: event data is not the enabled one");
        }
        if (pOut == nullptr || nOut < EventItemBytes) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), "query: no room");
        if (TakeFailure(m_settings.nEventQueryFailures)) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
        if (m_queEvents.empty()) return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
        std::memcpy(pOut, m_queEvents.front().data(), EventItemBytes);
        // A driver that never runs dry keeps handing out its last item.
        if (!m_settings.bEventsNeverRunDry || m_queEvents.size() > 1) m_queEvents.pop_front();
        if (pnReturned) *pnReturned = EventItemBytes;
        return S_OK;
    }

    if (event.Flags != KSEVENT_TYPE_ENABLEBUFFERED || nIn != sizeof(KSEVENT)) {
        return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "enable: not a buffered enable of KSEVENT size");
    }
    if (pOut == nullptr || nOut != sizeof(KSEVENTDATA)) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "enable: wrong event data size");
    const auto* pData = static_cast<const KSEVENTDATA*>(pOut);
    if (pData->NotificationType != KSEVENTF_EVENT_HANDLE || pData->EventHandle.Event == nullptr ||
        pData->EventHandle.Reserved[1] != 0) {
        return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "enable: event data not an event handle");
    }
    if (m_bEventEnabled) return RefuseHr(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), "enable: already enabled");
    if (TakeFailure(m_settings.nEventEnableFailures)) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
    m_bEventEnabled = true;
    m_pEventData = pData;
    m_hEvent = pData->EventHandle.Event;
    m_queEvents.clear();
    return S_OK;
}

HRESULT VcrDriver::DisableEvent(const void* pIn, ULONG nIn, ULONG nOut) {
    if (pIn == nullptr || nIn != sizeof(KSEVENTDATA) || nOut != 0) {
        return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "disable: wrong lengths");
    }
    if (!m_bEventEnabled || pIn != m_pEventData) return RefuseHr(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "disable: not the enabled event");
    m_bEventEnabled = false;
    m_pEventData = nullptr;
    m_hEvent = nullptr;
    m_queEvents.clear();
    return S_OK;
}

HRESULT VcrDriver::Method(const void* pIn, ULONG nIn, void* pOut, ULONG nOut, ULONG* pnReturned) {
    if (pIn == nullptr || nIn != sizeof(KSMETHOD)) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "method: wrong length");
    KSMETHOD method;
    std::memcpy(&method, pIn, sizeof method);
    if (!IsEqualGUID(method.Set, TarnMethodSet)) return RefuseHr(HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND), "method: unknown set");
    if (method.Flags != KSMETHOD_TYPE_MODIFY) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "method: not a modify method");
    if (method.Id == MethodTapeState) {
        if (pOut == nullptr || nOut != 1) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "tape state: not one byte");
        m_nTapeState = *static_cast<const uint8_t*>(pOut);
        ++m_nTapeStateSends;
        // The subunit passes the computer's state on to the camcorders on the bus.
        for (size_t i = 0; i < m_bus.CamcorderCount(); ++i) {
            if (!m_bus.IsPlugged(i)) continue;
            PcReport& report = m_bus.GetCamcorder(i).Report();
            report.nTapeState = m_nTapeState;
            ++report.nTapeStateSends;
        }
        if (pnReturned) *pnReturned = 1;
        return S_OK;
    }
    if (method.Id == MethodQuery) {
        if (pOut == nullptr || nOut != 8) return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "query method: not 8 bytes");
        uint32_t aValues[2];
        std::memcpy(aValues, pOut, sizeof aValues);
        if (aValues[0] == QueryNodeCount) {
            if (TakeFailure(m_settings.nNodeCountFailures)) return HRESULT_FROM_WIN32(ERROR_GEN_FAILURE);
            aValues[1] = static_cast<uint32_t>(m_settings.nReportedNodes >= 0 ? m_settings.nReportedNodes : m_bus.NodeCount());
        } else if (aValues[0] == QueryDVControl) {
            const int nFirst = m_bus.FirstPlugged();
            aValues[1] = nFirst >= 0 && m_bus.GetCamcorder(nFirst).Settings().bDVControl ? 1 : 0;
        } else {
            return RefuseHr(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "query method: unknown selector");
        }
        std::memcpy(pOut, aValues, sizeof aValues);
        if (pnReturned) *pnReturned = sizeof aValues;
        return S_OK;
    }
    return RefuseHr(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), "method: unknown id");
}

} // namespace devices
