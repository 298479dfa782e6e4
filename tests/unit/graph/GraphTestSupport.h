// A host of the graphs on the simulated bus, a volume that tests set, and a message pump.
#pragma once

#include "graph/GraphHost.h"

#include "device/DeviceEvents.h"
#include "devices/Bus.h"
#include "devices/DVStreamSource.h"
#include "devices/Faces.h"

#include "MessagePump.h"
#include "TempFolder.h"

#include <functional>
#include <string>
#include <vector>

namespace graphtest {

using testsupport::PumpUntil;
using testsupport::TempFolder;

// The first camcorder of a fresh bus, DV frames made by the codec (one encoded picture a system).
void ResetBus(devices::VideoSystem system);
bool PatternFrame(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t nBytes);

// A Type 1 or Type 2 file of the pattern picture, with 48 kHz audio in Type 2.
void WriteTestAvi(const std::wstring& strPath, int nType, bool b625, uint32_t nFrames);

class TestHost final : public GraphHost, public DeviceEventChannel {
public:
    TestHost();
    ~TestHost() override;
    devices::ComPtr<devices::IBaseFilter> GetDVFilter() override;
    int GetDVMode() override { return m_nDVMode; }
    void SetPcTapeState(int nState) override { m_vecTapeStates.push_back(nState); }
    void NotifyEvent(int nCode, LPARAM lParam) override { m_vecSent.emplace_back(nCode, lParam); }
    const DeviceEventChannel* EventChannel() override { return this; }
    int Count(int nCode) const;
    // Events posted by the sample callbacks, collected from the window's queue.
    std::vector<std::pair<int, LPARAM>> TakePosted();

    int m_nDVMode = 2;
    std::vector<int> m_vecTapeStates;
    std::vector<std::pair<int, LPARAM>> m_vecSent;
    std::vector<std::pair<int, LPARAM>> m_vecPosted;

private:
    devices::ComPtr<devices::IBaseFilter> m_spDVFilter;
};

class TestVolume final : public VolumeQuery {
public:
    BOOL GetFreeBytes(const std::wstring& strFolder, ULONGLONG* pnFree) override {
        m_strLastFolder = strFolder;
        *pnFree = m_nFree;
        return TRUE;
    }
    BOOL GetFileSystemName(const std::wstring& strRoot, std::wstring* pstrName) override {
        m_strLastRoot = strRoot;
        *pstrName = m_strFileSystem;
        return TRUE;
    }
    BOOL GetFileSize(const std::wstring& strPath, ULONGLONG* pnSize) override {
        m_strLastFile = strPath;
        *pnSize = m_nFileSize;
        return TRUE;
    }
    ULONGLONG m_nFree = 100ULL << 30;
    std::wstring m_strFileSystem = L"NTFS";
    ULONGLONG m_nFileSize = 0;
    std::wstring m_strLastRoot;
    std::wstring m_strLastFolder;
    std::wstring m_strLastFile;
};

// The panel's preview control: a static child of a shown top-level window.
class PreviewHost {
public:
    PreviewHost();
    ~PreviewHost();
    HWND Preview() const { return m_hwndPreview; }

private:
    HWND m_hwndPanel = nullptr;
    HWND m_hwndPreview = nullptr;
};

}  // namespace graphtest
