// The host calls of the simulated bus: notifications, SetupAPI, configuration manager, device
// files, I/O controls and kernel-streaming requests.
#include "devices/Faces.h"
#include "devices/Bus.h"
#include "ComObjects.h"

#include <dbt.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace devices {
namespace {

// A device information set: interface paths or device nodes, taken when the set was made.
struct DevInfoSet {
    uint32_t nMagic = DevInfoMagic;
    GUID classGuid{};
    bool bInterfaces = false;
    std::vector<std::wstring> vecPaths;
    std::vector<DeviceNode> vecNodes;
    static constexpr uint32_t DevInfoMagic = 0x44495354;
};

std::mutex g_setMutex;
std::vector<DevInfoSet*> g_vecSets;

DevInfoSet* FindSet(HDEVINFO hDevInfo) {
    std::lock_guard lock(g_setMutex);
    auto it = std::find(g_vecSets.begin(), g_vecSets.end(), static_cast<DevInfoSet*>(hDevInfo));
    return it == g_vecSets.end() ? nullptr : *it;
}

BOOL Fail(DWORD dwError) {
    ::SetLastError(dwError);
    return FALSE;
}

} // namespace

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    if (!IsEqualGUID(rclsid, ClsidSystemDeviceEnum)) return REGDB_E_CLASSNOTREG;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    {
        Bus& bus = Bus::Get();
        auto lock = bus.Lock();
        if (TakeFailure(bus.Driver().Settings().nEnumeratorFailures)) return CO_E_SERVER_EXEC_FAILURE;
    }
    ComPtr<IUnknown> spEnum;
    spEnum.Attach(CreateSystemDeviceEnum());
    return spEnum->QueryInterface(riid, ppv);
}

HDEVNOTIFY RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID pNotificationFilter, DWORD dwFlags) {
    const auto* pFilter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(pNotificationFilter);
    if (pFilter == nullptr || (dwFlags & ~DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != DEVICE_NOTIFY_WINDOW_HANDLE ||
        pFilter->dbcc_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) ||
        pFilter->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE) {
        ::SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HDEVNOTIFY hNotify = Bus::Get().RegisterNotification(static_cast<HWND>(hRecipient), pFilter->dbcc_classguid);
    if (hNotify == nullptr) ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return hNotify;
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY hHandle) {
    return Bus::Get().UnregisterNotification(hHandle);
}

HDEVINFO SetupDiGetClassDevsW(const GUID* pClassGuid, PCWSTR pszEnumerator, HWND, DWORD dwFlags) {
    if (pClassGuid == nullptr || pszEnumerator != nullptr || (dwFlags & DIGCF_PRESENT) == 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto spSet = std::make_unique<DevInfoSet>();
    spSet->classGuid = *pClassGuid;
    spSet->bInterfaces = (dwFlags & DIGCF_DEVICEINTERFACE) != 0;
    {
        Bus& bus = Bus::Get();
        auto lock = bus.Lock();
        VcrDriver& driver = bus.Driver();
        if (spSet->bInterfaces) {
            std::wstring strPath;
            if (IsEqualGUID(*pClassGuid, Bus1394InterfaceClass)) strPath = driver.HostControllerPath();
            if (IsEqualGUID(*pClassGuid, VirtualAvcInterfaceClass)) strPath = driver.VirtualAvcPath();
            if (!strPath.empty()) spSet->vecPaths.push_back(strPath);
        } else {
            // Nodes of the camcorders come first, so a search must look at each node's ids.
            for (size_t i = 0; i < bus.CamcorderCount(); ++i) {
                if (!bus.IsPlugged(i)) continue;
                const CamcorderSettings& s = bus.GetCamcorder(i).Settings();
                std::wstring strId = L"AVC\\" + s.strVendor + L"&" + s.strModel;
                if (IsEqualGUID(*pClassGuid, AvcSetupClass)) strId += L"&CAMCORDER";
                else if (IsEqualGUID(*pClassGuid, ImageSetupClass)) strId += L"&TYP_4";
                else continue;
                spSet->vecNodes.push_back(DeviceNode{static_cast<DEVINST>(100 + i), *pClassGuid, strId, 0});
            }
            driver.AppendNodes(*pClassGuid, spSet->vecNodes);
        }
    }
    std::lock_guard lock(g_setMutex);
    g_vecSets.push_back(spSet.get());
    return spSet.release();
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO hDevInfo) {
    std::lock_guard lock(g_setMutex);
    auto it = std::find(g_vecSets.begin(), g_vecSets.end(), static_cast<DevInfoSet*>(hDevInfo));
    if (it == g_vecSets.end()) return Fail(ERROR_INVALID_HANDLE);
    delete *it;
    g_vecSets.erase(it);
    return TRUE;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDevInfoData, const GUID* pInterfaceClassGuid,
                                 DWORD dwMemberIndex, PSP_DEVICE_INTERFACE_DATA pInterfaceData) {
    DevInfoSet* pSet = FindSet(hDevInfo);
    if (pSet == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (pDevInfoData != nullptr || pInterfaceClassGuid == nullptr || pInterfaceData == nullptr ||
        pInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!pSet->bInterfaces || !IsEqualGUID(*pInterfaceClassGuid, pSet->classGuid) || dwMemberIndex >= pSet->vecPaths.size()) {
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    pInterfaceData->InterfaceClassGuid = pSet->classGuid;
    pInterfaceData->Flags = SPINT_ACTIVE;
    pInterfaceData->Reserved = dwMemberIndex + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO hDevInfo, PSP_DEVICE_INTERFACE_DATA pInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_W pDetail, DWORD dwDetailSize, PDWORD pdwRequiredSize,
                                      PSP_DEVINFO_DATA pDevInfoData) {
    DevInfoSet* pSet = FindSet(hDevInfo);
    if (pSet == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (pInterfaceData == nullptr || pInterfaceData->Reserved == 0 || pInterfaceData->Reserved > pSet->vecPaths.size() ||
        pDevInfoData != nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::wstring& strPath = pSet->vecPaths[pInterfaceData->Reserved - 1];
    const DWORD dwNeeded = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (strPath.size() + 1) * sizeof(wchar_t));
    if (pdwRequiredSize) *pdwRequiredSize = dwNeeded;
    if (pDetail == nullptr) return Fail(dwDetailSize == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
    if (pDetail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (dwDetailSize < dwNeeded) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(pDetail->DevicePath, strPath.c_str(), (strPath.size() + 1) * sizeof(wchar_t));
    return TRUE;
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO hDevInfo, DWORD dwMemberIndex, PSP_DEVINFO_DATA pDevInfoData) {
    DevInfoSet* pSet = FindSet(hDevInfo);
    if (pSet == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (pDevInfoData == nullptr || pDevInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (pSet->bInterfaces || dwMemberIndex >= pSet->vecNodes.size()) return Fail(ERROR_NO_MORE_ITEMS);
    pDevInfoData->ClassGuid = pSet->classGuid;
    pDevInfoData->DevInst = pSet->vecNodes[dwMemberIndex].devInst;
    pDevInfoData->Reserved = dwMemberIndex + 1;
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDevInfoData, DWORD dwProperty,
                                       PDWORD pdwRegDataType, PBYTE pBuffer, DWORD dwBufferSize, PDWORD pdwRequiredSize) {
    DevInfoSet* pSet = FindSet(hDevInfo);
    if (pSet == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (pDevInfoData == nullptr || pDevInfoData->Reserved == 0 || pDevInfoData->Reserved > pSet->vecNodes.size()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (dwProperty != SPDRP_COMPATIBLEIDS) return Fail(ERROR_INVALID_DATA);
    const std::wstring& strId = pSet->vecNodes[pDevInfoData->Reserved - 1].strCompatibleId;
    // A multi-string: the id, its terminator and the list's terminator.
    const DWORD dwNeeded = static_cast<DWORD>((strId.size() + 2) * sizeof(wchar_t));
    if (pdwRegDataType) *pdwRegDataType = REG_MULTI_SZ;
    if (pdwRequiredSize) *pdwRequiredSize = dwNeeded;
    if (pBuffer == nullptr || dwBufferSize < dwNeeded) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memset(pBuffer, 0, dwNeeded);
    std::memcpy(pBuffer, strId.c_str(), strId.size() * sizeof(wchar_t));
    return TRUE;
}

BOOL SetupDiSetDeviceRegistryPropertyW(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDevInfoData, DWORD dwProperty,
                                       const BYTE* pBuffer, DWORD dwBufferSize) {
    DevInfoSet* pSet = FindSet(hDevInfo);
    if (pSet == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (pDevInfoData == nullptr || pDevInfoData->Reserved == 0 || pDevInfoData->Reserved > pSet->vecNodes.size()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (dwProperty != SPDRP_CONFIGFLAGS || pBuffer == nullptr || dwBufferSize != sizeof(DWORD)) return Fail(ERROR_INVALID_DATA);
    DWORD dwFlags;
    std::memcpy(&dwFlags, pBuffer, sizeof dwFlags);
    Bus& bus = Bus::Get();
    auto lock = bus.Lock();
    if (!bus.Driver().SetConfigFlags(pDevInfoData->DevInst, dwFlags)) {
        // Nodes of real hardware keep their flags; a vanished virtual node fails.
        if (pDevInfoData->DevInst < 100) return Fail(ERROR_NO_SUCH_DEVINST);
    }
    return TRUE;
}

CONFIGRET CM_Get_DevNode_Status(PULONG pulStatus, PULONG pulProblemNumber, DEVINST dnDevInst, ULONG ulFlags) {
    if (pulStatus == nullptr || pulProblemNumber == nullptr) return CR_INVALID_POINTER;
    if (ulFlags != 0) return CR_INVALID_FLAG;
    Bus& bus = Bus::Get();
    auto lock = bus.Lock();
    ULONG nProblem = 0;
    if (dnDevInst >= 100) {
        const size_t nIndex = dnDevInst - 100;
        if (nIndex >= bus.CamcorderCount() || !bus.IsPlugged(nIndex)) return CR_NO_SUCH_DEVNODE;
    } else if (!bus.Driver().NodeProblem(dnDevInst, nProblem)) {
        return CR_NO_SUCH_DEVNODE;
    }
    *pulProblemNumber = nProblem;
    *pulStatus = DN_DRIVER_LOADED | (nProblem != 0 ? DN_HAS_PROBLEM : DN_STARTED);
    return CR_SUCCESS;
}

HANDLE CreateFileW(LPCWSTR pszFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD, HANDLE) {
    Bus& bus = Bus::Get();
    auto lock = bus.Lock();
    DWORD dwError = ERROR_SUCCESS;
    HANDLE h = bus.Driver().Open(pszFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwError);
    if (h == INVALID_HANDLE_VALUE) ::SetLastError(dwError);
    return h;
}

BOOL CloseHandle(HANDLE hObject) {
    Bus& bus = Bus::Get();
    auto lock = bus.Lock();
    return bus.Driver().Close(hObject) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID pInBuffer, DWORD nInBufferSize, LPVOID pOutBuffer,
                     DWORD nOutBufferSize, LPDWORD pBytesReturned, LPOVERLAPPED pOverlapped) {
    Bus& bus = Bus::Get();
    BOOL bOk;
    DWORD dwError = ERROR_SUCCESS;
    {
        auto lock = bus.Lock();
        if (pOverlapped != nullptr) return Fail(ERROR_INVALID_PARAMETER);
        bOk = bus.Driver().IoControl(hDevice, dwIoControlCode, pInBuffer, nInBufferSize, pOutBuffer, nOutBufferSize,
                                     pBytesReturned, dwError);
    }
    bus.Deliver();
    return bOk ? TRUE : Fail(dwError);
}

HRESULT KsSynchronousDeviceControl(HANDLE hHandle, ULONG nIoControl, PVOID pInBuffer, ULONG nInLength, PVOID pOutBuffer,
                                   ULONG nOutLength, PULONG pBytesReturned) {
    Bus& bus = Bus::Get();
    auto lock = bus.Lock();
    return bus.Driver().KsControl(hHandle, nIoControl, pInBuffer, nInLength, pOutBuffer, nOutLength, pBytesReturned);
}

} // namespace devices
