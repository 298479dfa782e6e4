// What the record and play graphs need of the camcorder side: its DV filter and device mode, the
// computer's tape state reported to it, and the event channel to the main window. The program's
// one is the DV manager; tests give their own.
#pragma once

#include "devices/ComPtr.h"
#include "devices/DeviceTypes.h"

#include <windows.h>

#include <string>

class DVManager;
class DeviceEventChannel;

class GraphHost {
public:
    virtual ~GraphHost() = default;
    virtual devices::ComPtr<devices::IBaseFilter> GetDVFilter() = 0;
    virtual int GetDVMode() = 0;
    virtual void SetPcTapeState(int nState) = 0;
    // Sent on the user-interface thread.
    virtual void NotifyEvent(int nCode, LPARAM lParam) = 0;
    // The channel the sample callbacks post through from streaming threads.
    virtual const DeviceEventChannel* EventChannel() = 0;
};

// The DV manager as the graphs' host.
class DVManagerGraphHost final : public GraphHost {
public:
    explicit DVManagerGraphHost(DVManager& manager) : m_manager(manager) {}
    devices::ComPtr<devices::IBaseFilter> GetDVFilter() override;
    int GetDVMode() override;
    void SetPcTapeState(int nState) override;
    void NotifyEvent(int nCode, LPARAM lParam) override;
    const DeviceEventChannel* EventChannel() override;

private:
    DVManager& m_manager;
};

// The file system name and free space of a volume and the size of a file: the record graph's
// limits depend on them. The program's one asks the system; tests give FAT volumes and full disks.
class VolumeQuery {
public:
    virtual ~VolumeQuery() = default;
    // Bytes free to the caller in the folder (an empty folder: the current drive).
    virtual BOOL GetFreeBytes(const std::wstring& strFolder, ULONGLONG* pnFree);
    // File-system name of the root ("C:\"; empty: the current drive).
    virtual BOOL GetFileSystemName(const std::wstring& strRoot, std::wstring* pstrName);
    virtual BOOL GetFileSize(const std::wstring& strPath, ULONGLONG* pnSize);
};
