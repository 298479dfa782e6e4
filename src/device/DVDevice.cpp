// Discovery and monitoring of the camcorder.
#include "device/DVDevice.h"
#include "device/DVManager.h"
#include "device/DeviceTrace.h"
#include "device/PropertyBagText.h"

#include "core/TextHelpers.h"
#include "devices/Faces.h"

#include <dbt.h>

#include <cwctype>
#include <memory>

namespace {

constexpr DWORD PollIntervalMs = 500;
constexpr DWORD NodeCountSettleMs = 3000;
constexpr DWORD PCInfoIntervalMs = 30000;
constexpr HRESULT E_DVDEVICE_VENDOR = static_cast<HRESULT>(0x80640001);
constexpr HRESULT HrTimeOut = static_cast<HRESULT>(0x800705B4);
constexpr wchar_t DVFriendlyName[] = L"Microsoft DV Camera and VCR";
constexpr wchar_t MakerVendor[] = L"TAVIN";
constexpr wchar_t MakerVendorToken[] = L"VEN_3D";
constexpr wchar_t MakerPrefix[] = L"TAVIN ";   // the vendor name and a blank at the head of a model
constexpr size_t MakerPrefixLength = 6;
constexpr wchar_t UncheckedModel[] = L"PLVR";
constexpr int NodesComputerAndCamcorder = 2;

std::wstring Upper(std::wstring str) {
    for (wchar_t& ch : str) ch = static_cast<wchar_t>(std::towupper(ch));
    return str;
}

} // namespace

DVDevice::DVDevice(DVManager& manager, DeviceClock& clock) : m_manager(manager), m_clock(clock), m_command(*this, clock) {}

DVDevice::~DVDevice() {
    ExitDVDevice();
}

BOOL DVDevice::InitDVDevice(HWND hWnd) {
    m_hWnd = hWnd;
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = devices::KsCategoryCapture;
    m_hDevNotify = devices::RegisterDeviceNotificationW(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (TRACE_NULL(m_hDevNotify, "m_hDevNotify")) return FALSE;
    return TRUE;
}

void DVDevice::ExitDVDevice() {
    m_hWnd = nullptr;
    if (m_hDevNotify != nullptr) {
        devices::UnregisterDeviceNotification(m_hDevNotify);
        m_hDevNotify = nullptr;
    }
    m_nDVMode = DVMODE_NONE;
    m_nTapeStatus = 0;
    m_nNodeCount = 0;
    m_dwNodeCountDue = 0;
    m_spDV.Release();
    m_strModelName.clear();
}

BOOL DVDevice::OnDeviceChange(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_DEVICECHANGE || (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)) return FALSE;
    const auto* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (pHeader == nullptr || pHeader->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return FALSE;
    const auto* pInterface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
    if (!IsEqualGUID(pInterface->dbcc_classguid, devices::KsCategoryCapture)) return FALSE;
    if (wcsstr(pInterface->dbcc_name, L"TYP_4") != nullptr) return FALSE;
    // A capture device came or went: a pending node count takes effect now.
    if (m_dwNodeCountDue != 0) {
        m_dwNodeCountDue = 0;
        m_nNodeCount = ReadNodeCount();
    }
    return TRUE;
}

int DVDevice::ReadNodeCount() {
    return static_cast<int>(m_manager.GetVirtualDevice().KsGetNodeCount());
}

void DVDevice::PollDVDevice() {
    const DWORD dwNow = m_clock.GetTickCount();
    if (m_dwLastPoll != 0 && dwNow - m_dwLastPoll < PollIntervalMs) return;
    m_dwLastPoll = dwNow;

    std::vector<devices::ComPtr<devices::IMoniker>> vecMonikers;
    if (FAILED(FindDVMonikers(vecMonikers)) || vecMonikers.empty()) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
        SetDVMode(DVMODE_NONE);
        return;
    }
    if (!CheckNodeCount()) return;
    if (!m_spDV) m_bSelected = SelectDVDevice();
    if (m_bSelected) CheckDVDevice();
}

HRESULT DVDevice::FindDVMonikers(std::vector<devices::ComPtr<devices::IMoniker>>& vecMonikers) {
    vecMonikers.clear();
    devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
    HRESULT hr = devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid());
    if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return hr;
    devices::ComPtr<devices::IEnumMoniker> spEnum;
    hr = spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0);
    if (TRACE_FAILED_HR(hr, "CreateClassEnumerator")) return hr;
    if (!spEnum) return S_OK;  // an empty category
    for (;;) {
        devices::ComPtr<devices::IMoniker> spMoniker;
        if (spEnum->Next(1, &spMoniker, nullptr) != S_OK || !spMoniker) break;
        std::wstring strName;
        if (!ReadBagText(spMoniker.Get(), L"FriendlyName", strName)) continue;
        if (strName == DVFriendlyName) vecMonikers.push_back(spMoniker);
    }
    return S_OK;
}

HRESULT DVDevice::FindDVFilter(devices::ComPtr<devices::IBaseFilter>* pspFilter, std::wstring* pstrModelName) {
    std::vector<devices::ComPtr<devices::IMoniker>> vecMonikers;
    HRESULT hr = FindDVMonikers(vecMonikers);
    if (TRACE_FAILED_HR(hr, "FindDVMonikers")) return hr;
    if (vecMonikers.size() != 1) return S_FALSE;
    std::wstring strPath;
    if (!ReadBagText(vecMonikers[0].Get(), L"DevicePath", strPath)) return E_FAIL;
    std::wstring strVendor;
    const std::wstring strModel = ParseDeviceName(strPath, strVendor);
    if (strModel.empty()) return E_FAIL;
    if (GetDebugIniInt(L"OnlyTavinDVC", 1) != 0 && strVendor != MakerVendor && strVendor != MakerVendorToken) return E_DVDEVICE_VENDOR;
    if (pstrModelName) *pstrModelName = strModel;
    if (pspFilter) {
        devices::ComPtr<devices::IBaseFilter> spFilter;
        hr = vecMonikers[0]->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, spFilter.AsVoid());
        if (TRACE_FAILED_HR(hr, "BindToObject")) return hr;
        if (!spFilter) return S_FALSE;
        *pspFilter = spFilter;
    }
    return S_OK;
}

std::wstring DVDevice::ParseDeviceName(const std::wstring& strDevicePath, std::wstring& strVendor) {
    const std::vector<std::wstring> vecPieces = SplitString(strDevicePath, L"#");
    if (vecPieces.size() != 4) return L"";
    const std::vector<std::wstring> vecIds = SplitString(vecPieces[1], L"&");
    if (vecIds.size() != 4) return L"";
    strVendor = Upper(vecIds[0]);
    std::wstring strModel = Upper(vecIds[1]);
    for (wchar_t& ch : strModel) {
        if (ch == L'_') ch = L' ';
    }
    if (strModel.compare(0, MakerPrefixLength, MakerPrefix) == 0) strModel.erase(0, MakerPrefixLength);
    // A letter right after a digit is a suffix: XY100I becomes XY100i.
    for (size_t i = 1; i < strModel.size(); ++i) {
        if (std::iswdigit(strModel[i - 1]) && std::iswalpha(strModel[i])) strModel[i] = static_cast<wchar_t>(std::towlower(strModel[i]));
    }
    if (strModel.size() >= 2 && _wcsicmp(strModel.c_str() + strModel.size() - 2, L"MC") == 0) strModel.replace(strModel.size() - 2, 2, L"MC");
    if (_wcsicmp(strModel.c_str(), L"SELKIE ZE") == 0) strModel = L"SELKIE Ze";
    return strModel;
}

void DVDevice::SetNoCamcorder() {
    m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
    SetDVMode(DVMODE_NONE);
}

BOOL DVDevice::CheckNodeCount() {
    // While the virtual VCR is not loaded, or the bus does not answer, the camcorder is not
    // watched: one that was chosen counts as lost, and is found again once the bus answers.
    if (!m_manager.GetVirtualDevice().IsLoaded()) {
        if (m_nDVMode != DVMODE_NONE) SetNoCamcorder();
        return FALSE;
    }
    const int nCount = ReadNodeCount();
    if (nCount <= 0) {  // a failed read: a bus always holds at least the computer itself
        if (m_nDVMode != DVMODE_NONE) SetNoCamcorder();
        return FALSE;
    }
    const DWORD dwNow = m_clock.GetTickCount();
    if (nCount != m_nNodeCount) {
        if (m_nDVMode != DVMODE_NONE) {
            m_nNodeCount = nCount;
            m_dwNodeCountDue = 0;
        } else if (m_dwNodeCountDue == 0) {
            m_dwNodeCountDue = dwNow + NodeCountSettleMs;
        }
    }
    if (m_dwNodeCountDue != 0 && static_cast<LONG>(dwNow - m_dwNodeCountDue) > 0) {
        m_nNodeCount = ReadNodeCount();
        m_dwNodeCountDue = 0;
    }
    if (GetDebugIniInt(L"OnlyNodeCount2", 1) == 0 || m_nNodeCount == NodesComputerAndCamcorder) return TRUE;
    if (m_nNodeCount > NodesComputerAndCamcorder) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_TOO_MANY_NODES);
        SetDVMode(DVMODE_NONE);
    } else if (m_nNodeCount == 1) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
        SetDVMode(DVMODE_NONE);
    }
    return FALSE;
}

BOOL DVDevice::SelectDVDevice() {
    devices::ComPtr<devices::IBaseFilter> spFilter;
    std::wstring strModel;
    const HRESULT hr = FindDVFilter(std::addressof(spFilter), &strModel);
    if (hr == E_DVDEVICE_VENDOR) {
        TRACE_FAILED_HR(hr, "FindDVFilter");
        m_manager.SetDeviceStatus(DEVICE_STATUS_NOT_SUPPORTED);
        SetDVMode(DVMODE_PRESENT);
        return FALSE;
    }
    if (TRACE_FAILED_HR(hr, "FindDVFilter") || !spFilter) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
        SetDVMode(DVMODE_NONE);
        return FALSE;
    }
    m_spDV = spFilter;
    m_strModelName = strModel;
    m_bDVControl = FALSE;
    if (GetDebugIniInt(L"OnlyDVControl", 1) != 0 && m_strModelName != UncheckedModel) {
        int nState = 0;
        if (TRACE_FAILED_HR(m_command.GetDeviceDVControler(nState), "GetDeviceDVControler")) {
            m_manager.SetDeviceStatus(DEVICE_STATUS_NO_DVCONTROL_ANSWER);
            SetDVMode(DVMODE_PRESENT);
            return FALSE;
        }
        m_bDVControl = TRUE;
    }
    SetDVMode(DVMODE_PRESENT);
    return TRUE;
}

BOOL DVDevice::CheckDVDevice() {
    if (FAILED(FindDVFilter(nullptr, nullptr))) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
        SetDVMode(DVMODE_NONE);
        return FALSE;
    }
    int nMode = 0;
    if (TRACE_FAILED_HR(m_command.GetDeviceDVMode(nMode), "GetDeviceDVMode")) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
        SetDVMode(DVMODE_NONE);
        return FALSE;
    }
    if (nMode == DVMODE_CAMERA_TAPE) {
        if (GetDebugIniInt(L"OnlyDVControl", 1) != 0) {
            int nState = 0;
            if (m_bDVControl) {
                if (TRACE_FAILED_HR(m_command.GetDeviceDVControler(nState), "GetDeviceDVControler")) {
                    m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
                    SetDVMode(DVMODE_NONE);
                    return FALSE;
                }
            } else {
                nState = static_cast<int>(m_manager.GetVirtualDevice().KsGetIsDVControl());
            }
            if (nState == 0) {
                m_manager.SetDeviceStatus(DEVICE_STATUS_DVCONTROL_OFF);
                SetDVMode(DVMODE_PRESENT);
                return FALSE;
            }
        }
        UpdateTapeStatus();
        m_manager.SetDeviceStatus(DEVICE_STATUS_READY);
        SetDVMode(DVMODE_CAMERA_TAPE);
        return TRUE;
    }
    if (nMode == DVMODE_TAPE_OTHER) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NOT_CAMERA_MODE);
        SetDVMode(DVMODE_TAPE_OTHER);
        return FALSE;
    }
    m_manager.SetDeviceStatus(DEVICE_STATUS_CARD_MODE);
    SetDVMode(nMode);
    return FALSE;
}

void DVDevice::UpdateTapeStatus() {
    int nStatus = 0;
    const HRESULT hr = m_command.GetDeviceTapeStatus(nStatus, m_bDVControl);
    if (hr == HrTimeOut) return;
    if (TRACE_FAILED_HR(hr, "GetDeviceTapeStatus")) {
        m_manager.SetDeviceStatus(DEVICE_STATUS_NO_CAMCORDER);
        SetDVMode(DVMODE_PRESENT);
        return;
    }
    SetTapeStatus(nStatus);
}

void DVDevice::SetDVMode(int nMode) {
    const int nOldMode = m_nDVMode;
    m_nDVMode = nMode;
    if (nMode == DVMODE_NONE) {
        m_spDV.Release();
        m_strModelName.clear();
    }
    if (nMode != DVMODE_CAMERA_TAPE) SetTapeStatus(0);
    if (nMode != nOldMode) m_manager.NotifyEvent(EVENT_DVMODECHANGE, nMode, FALSE);
}

void DVDevice::SetTapeStatus(int nStatus) {
    const int nOldStatus = m_nTapeStatus;
    m_nTapeStatus = nStatus;
    if (nStatus != nOldStatus) m_manager.NotifyEvent(EVENT_TAPESTATUSCHANGE, nStatus, FALSE);
}

HRESULT DVDevice::UpdatePCInfo(BOOL bDropsOccurred, int nNewDrops, int nRemainingMinutes, int nBatteryMinutes, BOOL bForce) {
    if (m_nDVMode != DVMODE_CAMERA_TAPE || !m_bDVControl) {
        m_dwLastPCInfo = 0;
        return S_OK;
    }
    if (bForce || nRemainingMinutes != m_nLastRemainingMinutes || nBatteryMinutes != m_nLastBatteryMinutes) m_dwLastPCInfo = 0;
    m_nLastRemainingMinutes = nRemainingMinutes;
    m_nLastBatteryMinutes = nBatteryMinutes;
    const DWORD dwNow = m_clock.GetTickCount();
    if (m_dwLastPCInfo != 0 && dwNow - m_dwLastPCInfo < PCInfoIntervalMs) return S_OK;
    m_dwLastPCInfo = dwNow;
    const HRESULT hr = m_command.SendDevicePCInfo(bDropsOccurred, nNewDrops, nRemainingMinutes, nBatteryMinutes);
    TRACE_FAILED_HR(hr, "SendDevicePCInfo");
    return hr;
}

HRESULT DVDevice::SendTransportCommand(BYTE byOpcode, BYTE byOperand) {
    return m_command.SendTransportCommand(byOpcode, byOperand);
}
