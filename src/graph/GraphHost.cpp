// The DV manager as the graphs' host, and the system's volume queries.
#include "graph/GraphHost.h"

#include "core/DebugTrace.h"
#include "device/DVManager.h"

devices::ComPtr<devices::IBaseFilter> DVManagerGraphHost::GetDVFilter() {
    return m_manager.GetDVDevice().GetDVFilter();
}

int DVManagerGraphHost::GetDVMode() {
    return m_manager.GetDVDevice().GetDVMode();
}

void DVManagerGraphHost::SetPcTapeState(int nState) {
    m_manager.GetVirtualDevice().SetPcTapeState(nState);
}

void DVManagerGraphHost::NotifyEvent(int nCode, LPARAM lParam) {
    m_manager.NotifyEvent(nCode, lParam, FALSE);
}

const DeviceEventChannel* DVManagerGraphHost::EventChannel() {
    return &m_manager;
}

BOOL VolumeQuery::GetFreeBytes(const std::wstring& strFolder, ULONGLONG* pnFree) {
    ULARGE_INTEGER free{};
    if (TRACE_FAILED_BOOL(::GetDiskFreeSpaceExW(strFolder.empty() ? nullptr : strFolder.c_str(), &free, nullptr, nullptr), "GetDiskFreeSpaceEx"))
        return FALSE;
    *pnFree = free.QuadPart;
    return TRUE;
}

BOOL VolumeQuery::GetFileSystemName(const std::wstring& strRoot, std::wstring* pstrName) {
    constexpr DWORD NameChars = 1024;
    wchar_t szName[NameChars] = {};
    if (TRACE_FAILED_BOOL(::GetVolumeInformationW(strRoot.empty() ? nullptr : strRoot.c_str(), nullptr, 0, nullptr, nullptr, nullptr, szName, NameChars),
                          "GetVolumeInformation"))
        return FALSE;
    *pstrName = szName;
    return TRUE;
}

BOOL VolumeQuery::GetFileSize(const std::wstring& strPath, ULONGLONG* pnSize) {
    DWORD dwHigh = 0;
    ::SetLastError(NO_ERROR);
    const DWORD dwLow = ::GetCompressedFileSizeW(strPath.c_str(), &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        TRACE_FAILED_BOOL(FALSE, "GetCompressedFileSize");
        return FALSE;
    }
    *pnSize = (static_cast<ULONGLONG>(dwHigh) << 32) | dwLow;
    return TRUE;
}
