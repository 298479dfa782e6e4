// Test support for the camcorder link: a clock the tests move by hand, a window that records the
// event messages, the debug ini beside the test program, and the trace log it turns on.
#pragma once

#include "device/DVManager.h"
#include "device/DeviceClock.h"

#include "devices/Bus.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class FakeClock final : public DeviceClock {
public:
    DWORD GetTickCount() override { return m_dwNow; }
    void Sleep(DWORD dwMilliseconds) override {
        m_vecSleeps.push_back(dwMilliseconds);
        m_dwNow += dwMilliseconds;
    }
    void Advance(DWORD dwMilliseconds) { m_dwNow += dwMilliseconds; }

    DWORD m_dwNow = 1000000;
    std::vector<DWORD> m_vecSleeps;
};

// A hidden top-level window that records every event message and hands the rest to the manager.
class EventWindow {
public:
    EventWindow();
    ~EventWindow();
    HWND Handle() const { return m_hWnd; }
    void Route(DVManager* pManager) { m_pManager = pManager; }

    std::vector<std::pair<int, int>> m_vecEvents;  // (code, parameter) in arrival order
    int m_nDeviceChanges = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
    DVManager* m_pManager = nullptr;
};

// The debug ini beside the test program; every change takes effect at once.
class DebugIni {
public:
    DebugIni();
    ~DebugIni();
    void Set(const std::wstring& strKey, const std::wstring& strValue);
    // Turns the trace log on and empties it.
    void TraceToFile();
    std::string ReadLog() const;
    void ClearLog() const;

private:
    void Write() const;
    std::wstring m_strIni;
    std::wstring m_strLog;
    std::vector<std::pair<std::wstring, std::wstring>> m_vecValues;
};

// One 100 ms timer tick of the manager (the clock moves first).
void Tick(DVManager& manager, FakeClock& clock, int nTicks = 1);
// Ticks until the camcorder is usable (mode 2); FALSE when it never gets there within 20 s.
bool BringUp(DVManager& manager, FakeClock& clock, EventWindow& window);
// The AV/C frames the first camcorder received, as hex text ("01 20 D0 7F").
std::vector<std::string> SentFrames(size_t nCamcorder = 0);
std::string Hex(const std::vector<uint8_t>& vecBytes);
// A text in the process's ANSI code page, as trace records hold it.
std::string Ansi(const wchar_t* pszText);
// Counts the occurrences of a text in another.
size_t CountOf(const std::string& strText, const std::string& strPart);
