// The virtual VCR: load steps, camcorder commands and the computer's tape state.
#include "device/VirtualDriver.h"
#include "device/DVManager.h"
#include "device/DeviceTrace.h"
#include "device/PropertyBagText.h"

#include "devices/Faces.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <iterator>

DWORD VirtualDriver::s_dwStepTime = 0;
BOOL VirtualDriver::s_bFirstAttempt = TRUE;

namespace {

// Bus request record: request number, flags, device flags, reserved, instance id, device id.
namespace wire {
#pragma pack(push, 1)
struct BusRequest {
    uint32_t nRequest;
    uint32_t nFlags;
    uint32_t nDeviceFlags;
    uint32_t nReserved;
    uint64_t nInstanceId;
    char szDeviceId[18];
};
struct SubunitRequest {
    uint32_t nFlags;
    uint8_t bySubunitAddress;
    uint8_t abyReserved[3];
};
#pragma pack(pop)
static_assert(sizeof(BusRequest) == 42, "device id length + 32");
static_assert(sizeof(SubunitRequest) == 8);
} // namespace wire

constexpr char VirtualDeviceId[] = "A02D&10001";
constexpr uint32_t BusRequestAdd = 1;
constexpr uint32_t BusRequestRemove = 2;
constexpr uint32_t SubunitFlagBusReset = 2;
constexpr uint8_t TapeSubunitAddress = 0x20;  // subunit type 4 (tape recorder), id 0

constexpr DWORD StepSettleMs = 1000;
constexpr DWORD RemoveWaitMs = 1000;
constexpr DWORD UnloadSubunitWaitMs = 3000;
constexpr ULONG CompatibleIdChars = 4096;
constexpr ULONG MethodTapeState = 0;
constexpr ULONG MethodQuery = 2;
constexpr uint32_t QueryNodeCount = 1;
constexpr uint32_t QueryDVControl = 2;
constexpr LONG CommandIgnored = 8;             // a driver code that never reaches the window
constexpr HRESULT HrNoMoreItems = static_cast<HRESULT>(0x80070103);
// Items read in one call at most, so a driver that never says it has no more cannot hold the
// thread; far more than the driver buffers between two ticks.
constexpr size_t MaxEventsPerCall = 4096;
constexpr wchar_t TarnFriendlyName[] = L"TARN FILTER";

// Results that say the kernel-streaming handle is gone: the subunit was removed, the bus was
// reset under it, or the driver was reinstalled.
bool IsLostHandle(HRESULT hr) {
    static const DWORD LostCodes[] = {ERROR_INVALID_HANDLE, ERROR_FILE_NOT_FOUND, ERROR_DEV_NOT_EXIST, ERROR_DEVICE_REMOVED,
                                      ERROR_DEVICE_NOT_CONNECTED};
    return std::any_of(std::begin(LostCodes), std::end(LostCodes), [hr](DWORD dwCode) { return hr == HRESULT_FROM_WIN32(dwCode); });
}

void WriteRequest(uint32_t nRequest, wire::BusRequest& request) {
    std::memset(&request, 0, sizeof request);
    request.nRequest = nRequest;
    std::memcpy(request.szDeviceId, VirtualDeviceId, sizeof VirtualDeviceId);
}

// First entry of a device's compatible ids, upper-cased; empty when it cannot be read.
std::wstring FirstCompatibleId(HDEVINFO hDevInfo, SP_DEVINFO_DATA& devInfo) {
    std::vector<wchar_t> vecBuffer(CompatibleIdChars, L'\0');
    if (!devices::SetupDiGetDeviceRegistryPropertyW(hDevInfo, &devInfo, SPDRP_COMPATIBLEIDS, nullptr,
                                                    reinterpret_cast<PBYTE>(vecBuffer.data()),
                                                    static_cast<DWORD>((vecBuffer.size() - 1) * sizeof(wchar_t)), nullptr)) {
        return L"";
    }
    std::wstring strId(vecBuffer.data());
    for (wchar_t& ch : strId) ch = static_cast<wchar_t>(std::towupper(ch));
    return strId;
}

// Calls fn for each present device of the setup class whose first compatible id holds all the words;
// fn returns FALSE to stop.
template <typename Fn>
void ForEachNode(const GUID& setupClass, std::initializer_list<const wchar_t*> words, Fn fn) {
    HDEVINFO hDevInfo = devices::SetupDiGetClassDevsW(&setupClass, nullptr, nullptr, DIGCF_PRESENT);
    if (hDevInfo == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA devInfo{};
    devInfo.cbSize = sizeof devInfo;
    for (DWORD i = 0; devices::SetupDiEnumDeviceInfo(hDevInfo, i, &devInfo); ++i) {
        const std::wstring strId = FirstCompatibleId(hDevInfo, devInfo);
        const bool bMatch = std::all_of(words.begin(), words.end(), [&](const wchar_t* w) { return strId.find(w) != std::wstring::npos; });
        if (bMatch && !fn(hDevInfo, devInfo)) break;
    }
    devices::SetupDiDestroyDeviceInfoList(hDevInfo);
}

LONG NodeProblem(const GUID& setupClass, std::initializer_list<const wchar_t*> words) {
    LONG nProblem = -1;
    ForEachNode(setupClass, words, [&](HDEVINFO, SP_DEVINFO_DATA& devInfo) {
        ULONG nStatus = 0, nNumber = 0;
        if (devices::CM_Get_DevNode_Status(&nStatus, &nNumber, devInfo.DevInst, 0) != CR_SUCCESS) return TRUE;
        nProblem = static_cast<LONG>(nNumber);
        return FALSE;
    });
    return nProblem;
}

} // namespace

VirtualDriver::VirtualDriver(DVManager& owner, DeviceClock& clock) : m_owner(owner), m_clock(clock) {}

VirtualDriver::~VirtualDriver() {
    UnloadVirtualDevice();
}

void VirtualDriver::ResetProcessStateForTesting() {
    s_dwStepTime = 0;
    s_bFirstAttempt = TRUE;
}

HRESULT VirtualDriver::InitVirtualDevice(HWND hMainWindow) {
    m_bInitialized = TRUE;
    UnloadVirtualDevice();
    m_bInitialized = TRUE;
    m_hMainWindow = hMainWindow;
    return S_OK;
}

void VirtualDriver::UnloadVirtualDevice() {
    if (!m_bInitialized) return;
    m_owner.SetDeviceStatus(DEVICE_STATUS_INITIAL);
    m_hMainWindow = nullptr;
    m_nLoadStep = 0;
    if (m_hKsHandle != nullptr) {
        KsEnableEvent(FALSE);
        m_hKsHandle = nullptr;
    }
    if (m_hEvent != nullptr) {
        ::CloseHandle(m_hEvent);
        m_hEvent = nullptr;
    }
    m_spFilter.Release();
    if (m_hAvc != INVALID_HANDLE_VALUE) {
        RemoveAvcDevice(m_hAvc);
        m_hAvc = INVALID_HANDLE_VALUE;
        m_clock.Sleep(UnloadSubunitWaitMs);
    }
    if (m_hBus != INVALID_HANDLE_VALUE) {
        // Other users' virtual devices are counted machine-wide; while any exist, ours stays.
        DWORD dwCount = 0;
        bool bCountRead = false;
        HKEY hKey = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VirtualDevices", 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
            DWORD dwType = 0, dwSize = sizeof dwCount;
            bCountRead = ::RegQueryValueExW(hKey, L"Count", nullptr, &dwType, reinterpret_cast<BYTE*>(&dwCount), &dwSize) == ERROR_SUCCESS &&
                         dwType == REG_DWORD;
            ::RegCloseKey(hKey);
        }
        if (bCountRead && (dwCount & 0xFFFF) != 0) {
            devices::CloseHandle(m_hBus);
        } else {
            Remove1394Device(m_hBus);
            m_clock.Sleep(RemoveWaitMs);
        }
        m_hBus = INVALID_HANDLE_VALUE;
    }
    m_bKsHandleLost = FALSE;
    m_nCarriedCode = -1;
    m_nPcTapeState = PCTAPE_IDLE;
    m_bInitialized = FALSE;
}

std::wstring VirtualDriver::GetFirstDevicePath(const GUID& interfaceClass) {
    HDEVINFO hDevInfo = devices::SetupDiGetClassDevsW(&interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (TRACE_FAILED_BOOL(hDevInfo != INVALID_HANDLE_VALUE, "SetupDiGetClassDevs")) return L"";
    std::wstring strPath;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    BOOL bOk = devices::SetupDiEnumDeviceInterfaces(hDevInfo, nullptr, &interfaceClass, 0, &interfaceData);
    if (!TRACE_FAILED_BOOL(bOk && interfaceData.Flags == SPINT_ACTIVE, "SetupDiEnumDeviceInterfaces")) {
        DWORD dwSize = 0;
        bOk = devices::SetupDiGetDeviceInterfaceDetailW(hDevInfo, &interfaceData, nullptr, 0, &dwSize, nullptr);
        if (!TRACE_FAILED_BOOL(bOk || ::GetLastError() == ERROR_INSUFFICIENT_BUFFER, "SetupDiGetDeviceInterfaceDetail")) {
            std::vector<BYTE> vecDetail(std::max<size_t>(dwSize, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)), 0);
            auto* pDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(vecDetail.data());
            pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            bOk = devices::SetupDiGetDeviceInterfaceDetailW(hDevInfo, &interfaceData, pDetail, static_cast<DWORD>(vecDetail.size()), nullptr, nullptr);
            if (!TRACE_FAILED_BOOL(bOk, "SetupDiGetDeviceInterfaceDetail")) strPath = pDetail->DevicePath;
        }
    }
    devices::SetupDiDestroyDeviceInfoList(hDevInfo);
    return strPath;
}

HANDLE VirtualDriver::Load1394Device() {
    const std::wstring strPath = GetFirstDevicePath(devices::Bus1394InterfaceClass);
    if (TRACE_FAILED_BOOL(!strPath.empty(), "GetFirstDevicePath")) return INVALID_HANDLE_VALUE;
    HANDLE hBus = devices::CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (TRACE_FAILED_BOOL(hBus != INVALID_HANDLE_VALUE, "Create1394VirtualHandle")) return INVALID_HANDLE_VALUE;
    wire::BusRequest request;
    WriteRequest(BusRequestAdd, request);
    DWORD dwReturned = 0;
    if (devices::DeviceIoControl(hBus, devices::IOCTL_IEEE1394_API_REQUEST, &request, sizeof request, nullptr, 0, &dwReturned, nullptr)) return hBus;
    if (::GetLastError() == ERROR_GEN_FAILURE) return hBus;  // the virtual device is already on the bus
    TRACE_FAILED_BOOL(FALSE, "DeviceIoControl");
    devices::CloseHandle(hBus);
    return INVALID_HANDLE_VALUE;
}

void VirtualDriver::Remove1394Device(HANDLE hBus) {
    if (hBus == INVALID_HANDLE_VALUE) return;
    wire::BusRequest request;
    WriteRequest(BusRequestRemove, request);
    DWORD dwReturned = 0;
    devices::DeviceIoControl(hBus, devices::IOCTL_IEEE1394_API_REQUEST, &request, sizeof request, nullptr, 0, &dwReturned, nullptr);
    devices::CloseHandle(hBus);
}

HANDLE VirtualDriver::LoadAvcDevice() {
    const std::wstring strPath = GetFirstDevicePath(devices::VirtualAvcInterfaceClass);
    if (TRACE_FAILED_BOOL(!strPath.empty(), "GetFirstDevicePath")) return INVALID_HANDLE_VALUE;
    HANDLE hAvc = devices::CreateFileW(strPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (TRACE_FAILED_BOOL(hAvc != INVALID_HANDLE_VALUE, "GetAvcSubunit")) return INVALID_HANDLE_VALUE;
    wire::SubunitRequest request{SubunitFlagBusReset, TapeSubunitAddress, {0, 0, 0}};
    DWORD dwReturned = 0;
    const BOOL bOk = devices::DeviceIoControl(hAvc, devices::IOCTL_AVC_BUS_ADD_SUBUNIT, &request, sizeof request, nullptr, 0, &dwReturned, nullptr);
    if (TRACE_FAILED_BOOL(bOk, "DeviceIoControl")) {
        devices::CloseHandle(hAvc);
        return INVALID_HANDLE_VALUE;
    }
    return hAvc;
}

void VirtualDriver::RemoveAvcDevice(HANDLE hAvc) {
    if (hAvc == INVALID_HANDLE_VALUE) return;
    wire::SubunitRequest request{SubunitFlagBusReset, TapeSubunitAddress, {0, 0, 0}};
    DWORD dwReturned = 0;
    devices::DeviceIoControl(hAvc, devices::IOCTL_AVC_BUS_REMOVE_SUBUNIT, &request, sizeof request, nullptr, 0, &dwReturned, nullptr);
    devices::CloseHandle(hAvc);
}

LONG VirtualDriver::Get61883NodeProblem() {
    return NodeProblem(devices::AvcSetupClass, {L"V61883"});
}

LONG VirtualDriver::GetVcrSubunitNodeProblem() {
    return NodeProblem(devices::ImageSetupClass, {L"VAVC", L"TYP_4"});
}

void VirtualDriver::MarkVcrSubunitForReinstall() {
    ForEachNode(devices::ImageSetupClass, {L"VAVC", L"TYP_4"}, [](HDEVINFO hDevInfo, SP_DEVINFO_DATA& devInfo) {
        const DWORD dwFlags = devices::ConfigFlagReinstall;
        devices::SetupDiSetDeviceRegistryPropertyW(hDevInfo, &devInfo, SPDRP_CONFIGFLAGS, reinterpret_cast<const BYTE*>(&dwFlags), sizeof dwFlags);
        return TRUE;
    });
}

HRESULT VirtualDriver::FindKsFilter(devices::ComPtr<devices::IBaseFilter>& spFilter) {
    devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
    HRESULT hr = devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid());
    if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return hr;
    devices::ComPtr<devices::IEnumMoniker> spEnumMoniker;
    hr = spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnumMoniker, 0);
    if (TRACE_FAILED_HR(hr, "CreateClassEnumerator")) return hr;
    if (TRACE_NULL(spEnumMoniker.Get(), "spEnumMoniker")) return E_FAIL;
    for (;;) {
        devices::ComPtr<devices::IMoniker> spMoniker;
        if (spEnumMoniker->Next(1, &spMoniker, nullptr) != S_OK || !spMoniker) break;
        std::wstring strName;
        if (!ReadBagText(spMoniker.Get(), L"FriendlyName", strName) || strName != TarnFriendlyName) continue;
        hr = spMoniker->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, spFilter.AsVoid());
        if (TRACE_FAILED_HR(hr, "BindToObject")) return hr;
        break;
    }
    if (TRACE_NULL(spFilter.Get(), "spFilter")) return E_FAIL;
    return S_OK;
}

void VirtualDriver::SetStep(int nStep) {
    m_nLoadStep = nStep;
    s_dwStepTime = m_clock.GetTickCount();
}

BOOL VirtualDriver::ElapsedSinceStep(DWORD dwMs) {
    return m_clock.GetTickCount() - s_dwStepTime >= dwMs;
}

void VirtualDriver::Poll() {
    if (!m_bInitialized) return;
    switch (m_nLoadStep) {
    case 0: PollStep0(); break;
    case 1: PollStep1(); break;
    case 2: PollStep2(); break;
    case 3: PollStep3(); break;
    default: break;
    }
}

void VirtualDriver::PollStep0() {
    m_hBus = Load1394Device();
    if (m_hBus == INVALID_HANDLE_VALUE) {
        TRACE_TEXT_W(L"1394仮想デバイスロード失敗\n");
        return;
    }
    TRACE_TEXT_W(L"1394仮想デバイスロード成功\n");
    SetStep(1);
}

void VirtualDriver::PollStep1() {
    if (!ElapsedSinceStep(StepSettleMs)) return;
    if (Get61883NodeProblem() != 0) {
        // Not there yet, or not working: start again without removing the device.
        devices::CloseHandle(m_hBus);
        m_hBus = INVALID_HANDLE_VALUE;
        m_nLoadStep = 0;
        return;
    }
    TRACE_TEXT("m_nLoadStep = 1\n");
    m_hAvc = LoadAvcDevice();
    if (m_hAvc == INVALID_HANDLE_VALUE) {
        TRACE_TEXT_W(L"AVC仮想デバイスロード失敗\n");
        Remove1394Device(m_hBus);
        m_hBus = INVALID_HANDLE_VALUE;
        m_nLoadStep = 0;
        return;
    }
    TRACE_TEXT_W(L"AVC仮想デバイスロード成功\n");
    SetStep(2);
}

void VirtualDriver::PollStep2() {
    TRACE_TEXT("m_nLoadStep = 2\n");
    const LONG nProblem = GetVcrSubunitNodeProblem();
    if (s_bFirstAttempt && nProblem == static_cast<LONG>(devices::ProblemFailedInstall)) {
        MarkVcrSubunitForReinstall();
        RemoveAvcDevice(m_hAvc);
        m_hAvc = INVALID_HANDLE_VALUE;
        Remove1394Device(m_hBus);
        m_hBus = INVALID_HANDLE_VALUE;
        m_nLoadStep = 0;
        return;
    }
    s_bFirstAttempt = FALSE;
    if (nProblem == static_cast<LONG>(devices::ProblemFailedStart)) {
        TRACE_TEXT_W(L"AVC仮想デバイス、ドライバの開始に失敗\n");
        StartOver();
        return;
    }
    if (nProblem != 0) return;  // not present yet, or another problem: look again next tick

    devices::ComPtr<devices::IBaseFilter> spFilter;
    if (FAILED(FindKsFilter(spFilter))) {
        TRACE_TEXT_W(L"AVC仮想デバイス検索失敗\n");
        StartOver();
        return;
    }
    TRACE_TEXT_W(L"AVC仮想デバイス検索成功\n");
    m_spFilter = spFilter;
    if (FAILED(StartEvents())) {
        // Searched again on a later tick; nothing of this attempt is kept.
        m_hKsHandle = nullptr;
        m_spFilter.Release();
        return;
    }
    m_bKsHandleLost = FALSE;
    m_nCarriedCode = -1;
    m_owner.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
    SetStep(3);
}

void VirtualDriver::StartOver() {
    RemoveAvcDevice(m_hAvc);
    m_hAvc = INVALID_HANDLE_VALUE;
    m_clock.Sleep(RemoveWaitMs);
    Remove1394Device(m_hBus);
    m_hBus = INVALID_HANDLE_VALUE;
    m_nLoadStep = 0;
}

void VirtualDriver::ReloadAfterLostHandle() {
    TRACE_TEXT("m_hKsHandle lost: the virtual VCR is loaded again\n");
    if (m_hKsHandle != nullptr) {
        KsEnableEvent(FALSE);  // fails on a dead handle; the driver forgot the event with it
        m_hKsHandle = nullptr;
    }
    if (m_hEvent != nullptr) {
        ::CloseHandle(m_hEvent);
        m_hEvent = nullptr;
    }
    m_spFilter.Release();
    m_bKsHandleLost = FALSE;
    StartOver();
}

HRESULT VirtualDriver::NoteKsResult(HRESULT hr) {
    if (IsLostHandle(hr)) m_bKsHandleLost = TRUE;
    return hr;
}

HRESULT VirtualDriver::StartEvents() {
    devices::ComPtr<devices::IKsObject> spKsObject;
    HRESULT hr = m_spFilter->QueryInterface(devices::IID_IKsObject, spKsObject.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    m_hKsHandle = spKsObject->KsGetObjectHandle();
    if (TRACE_NULL(m_hKsHandle, "KsGetObjectHandle")) return E_FAIL;
    HANDLE hEvent = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (TRACE_NULL(hEvent, "CreateEvent")) return E_FAIL;
    if (m_hEvent != nullptr) ::CloseHandle(m_hEvent);
    m_hEvent = hEvent;
    std::memset(&m_eventData, 0, sizeof m_eventData);
    m_eventData.NotificationType = KSEVENTF_EVENT_HANDLE;
    m_eventData.EventHandle.Event = m_hEvent;
    hr = KsEnableEvent(TRUE);
    if (TRACE_FAILED_HR(hr, "KsEnableEvent")) return hr;
    return S_OK;
}

void VirtualDriver::PollStep3() {
    // A handle that died since the last tick (seen here or by the camcorder's node-count read)
    // is never good again: everything is closed and loaded anew, as at the first start.
    if (m_bKsHandleLost) {
        ReloadAfterLostHandle();
        return;
    }
    if (!ElapsedSinceStep(StepSettleMs)) return;
    std::vector<std::pair<LONG, LONG>> vecEvents;
    if (TRACE_FAILED_HR(KsGetEvent(vecEvents), "KsGetEvent")) {
        if (m_bKsHandleLost) ReloadAfterLostHandle();
        return;
    }
    for (const auto& event : vecEvents) {
        if (event.first != CommandIgnored) m_owner.NotifyEvent(EVENT_DVCOMMAND, event.first, FALSE);
    }
    int nState = m_nPcTapeState;
    if (m_bRecordBlocked || ::GetLastActivePopup(m_hMainWindow) != m_hMainWindow || m_bSessionLocked) nState = PCTAPE_IDLE;
    TRACE_FAILED_HR(KsSendTarnTapeStateChange(nState), "KsSendTarnTapeStateChange");
    if (m_bKsHandleLost) ReloadAfterLostHandle();
}

HRESULT VirtualDriver::KsMethod(ULONG nId, void* pData, ULONG nBytes) {
    if (TRACE_NULL(m_hKsHandle, "m_hKsHandle")) return E_FAIL;
    KSMETHOD method{};
    method.Set = devices::TarnMethodSet;
    method.Id = nId;
    method.Flags = KSMETHOD_TYPE_MODIFY;
    ULONG nReturned = 0;
    return NoteKsResult(devices::KsSynchronousDeviceControl(m_hKsHandle, devices::IOCTL_KS_METHOD_CODE, &method, sizeof method, pData, nBytes, &nReturned));
}

LONG VirtualDriver::KsGetNodeCount() {
    uint32_t aQuery[2] = {QueryNodeCount, 0};
    if (FAILED(KsMethod(MethodQuery, aQuery, sizeof aQuery))) return 0;
    return static_cast<LONG>(aQuery[1]);
}

LONG VirtualDriver::KsGetIsDVControl() {
    uint32_t aQuery[2] = {QueryDVControl, 0};
    if (FAILED(KsMethod(MethodQuery, aQuery, sizeof aQuery))) return 0;
    return static_cast<LONG>(aQuery[1]);
}

HRESULT VirtualDriver::KsSendTarnTapeStateChange(int nState) {
    BYTE byState = static_cast<BYTE>(nState);
    return KsMethod(MethodTapeState, &byState, sizeof byState);
}

HRESULT VirtualDriver::KsEnableEvent(BOOL bEnable) {
    if (TRACE_NULL(m_hKsHandle, "m_hKsHandle")) return E_FAIL;
    ULONG nReturned = 0;
    if (!bEnable) {
        return devices::KsSynchronousDeviceControl(m_hKsHandle, devices::IOCTL_KS_DISABLE_EVENT_CODE, &m_eventData, sizeof m_eventData,
                                                   nullptr, 0, &nReturned);
    }
    KSEVENT event{};
    event.Set = devices::TarnEventSet;
    event.Id = 0;
    event.Flags = KSEVENT_TYPE_ENABLEBUFFERED;
    return devices::KsSynchronousDeviceControl(m_hKsHandle, devices::IOCTL_KS_ENABLE_EVENT_CODE, &event, sizeof event, &m_eventData,
                                               sizeof m_eventData, &nReturned);
}

HRESULT VirtualDriver::KsGetEvent(std::vector<std::pair<LONG, LONG>>& vecEvents) {
    vecEvents.clear();
    if (TRACE_NULL(m_hKsHandle, "m_hKsHandle")) return E_FAIL;
    // Consecutive items with the same code collapse into the first; a run that the bound cut
    // at the last call goes on here, so its code is not sent a second time.
    LONG nLastCode = m_nCarriedCode;
    const BOOL bCutBefore = m_nCarriedCode != -1;
    m_nCarriedCode = -1;
    for (size_t nItems = 0; nItems < MaxEventsPerCall; ++nItems) {
        KSQUERYBUFFER query{};
        query.Event.Set = devices::TarnEventSet;
        query.Event.Id = 0;
        query.Event.Flags = KSEVENT_TYPE_QUERYBUFFER;
        query.EventData = &m_eventData;
        BYTE abyItem[4] = {};
        ULONG nReturned = 0;
        const HRESULT hr = NoteKsResult(devices::KsSynchronousDeviceControl(m_hKsHandle, devices::IOCTL_KS_ENABLE_EVENT_CODE, &query, sizeof query,
                                                                            abyItem, sizeof abyItem, &nReturned));
        if (hr == HrNoMoreItems) return S_OK;
        if (FAILED(hr)) return hr;
        const LONG nCode = abyItem[0], nParam = abyItem[1];
        if (nLastCode == -1 || nLastCode != nCode) vecEvents.emplace_back(nCode, nParam);
        nLastCode = nCode;
    }
    // The driver still has items: the rest waits for the next call (traced once while it lasts).
    if (!bCutBefore) TRACE_TEXT("KsGetEvent: the driver's event buffer did not run dry\n");
    m_nCarriedCode = nLastCode;
    return S_OK;
}
