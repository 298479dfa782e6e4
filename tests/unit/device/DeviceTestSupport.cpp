#include "DeviceTestSupport.h"

#include "core/DebugTraceTesting.h"

#include <cstdio>

namespace {

constexpr wchar_t WindowClass[] = L"PloverDeviceTestWindow";

std::wstring BesideProgram(const wchar_t* pszExtension) {
    wchar_t szPath[MAX_PATH];
    const DWORD nLength = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath(szPath, nLength);
    return strPath.substr(0, strPath.find_last_of(L'.')) + pszExtension;
}

} // namespace

EventWindow::EventWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = WindowClass;
    ::RegisterClassW(&wc);
    m_hWnd = ::CreateWindowExW(0, WindowClass, L"device test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, this);
}

EventWindow::~EventWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

LRESULT CALLBACK EventWindow::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* pThis = reinterpret_cast<EventWindow*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pThis != nullptr) {
        if (message == WM_DEVICE_EVENT) {
            pThis->m_vecEvents.emplace_back(static_cast<int>(wParam), static_cast<int>(lParam));
            return 0;
        }
        if (message == WM_DEVICECHANGE) ++pThis->m_nDeviceChanges;
        if (pThis->m_pManager != nullptr && pThis->m_pManager->HandleWindowMessage(message, wParam, lParam)) return TRUE;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

DebugIni::DebugIni() : m_strIni(BesideProgram(L".ini")), m_strLog(BesideProgram(L".log")) {
    ::DeleteFileW(m_strIni.c_str());
    ResetDebugTraceForTesting();
}

DebugIni::~DebugIni() {
    ::DeleteFileW(m_strIni.c_str());
    if (!getenv("KEEPLOG")) ::DeleteFileW(m_strLog.c_str());
    ResetDebugTraceForTesting();
}

void DebugIni::Set(const std::wstring& strKey, const std::wstring& strValue) {
    m_vecValues.emplace_back(strKey, strValue);
    Write();
}

void DebugIni::TraceToFile() {
    Set(L"FileOut", L"1");
    ClearLog();
}

void DebugIni::Write() const {
    ::WritePrivateProfileSectionW(L"Debug", nullptr, m_strIni.c_str());
    for (const auto& value : m_vecValues) ::WritePrivateProfileStringW(L"Debug", value.first.c_str(), value.second.c_str(), m_strIni.c_str());
    ResetDebugTraceForTesting();  // the ini cache and the latched switches start again
}

std::string DebugIni::ReadLog() const {
    std::string strText;
    FILE* pFile = _wfopen(m_strLog.c_str(), L"rb");
    if (pFile == nullptr) return strText;
    char szBuffer[4096];
    for (size_t n; (n = fread(szBuffer, 1, sizeof szBuffer, pFile)) > 0;) strText.append(szBuffer, n);
    fclose(pFile);
    return strText;
}

void DebugIni::ClearLog() const {
    ::DeleteFileW(m_strLog.c_str());
}

void Tick(DVManager& manager, FakeClock& clock, int nTicks) {
    for (int i = 0; i < nTicks; ++i) {
        clock.Advance(100);
        manager.HandleWindowMessage(WM_TIMER, 1, 0);
    }
}

bool BringUp(DVManager& manager, FakeClock& clock, EventWindow& window) {
    window.Route(&manager);
    if (!manager.InitDVManager(window.Handle(), WM_DEVICE_EVENT, 1)) return false;
    for (int i = 0; i < 200 && manager.GetDVDevice().GetDVMode() != 2; ++i) Tick(manager, clock);
    return manager.GetDVDevice().GetDVMode() == 2;
}

std::string Hex(const std::vector<uint8_t>& vecBytes) {
    std::string str;
    char sz[4];
    for (size_t i = 0; i < vecBytes.size(); ++i) {
        std::snprintf(sz, sizeof sz, i ? " %02X" : "%02X", vecBytes[i]);
        str += sz;
    }
    return str;
}

std::vector<std::string> SentFrames(size_t nCamcorder) {
    devices::Bus& bus = devices::Bus::Get();
    auto lock = bus.Lock();
    std::vector<std::string> vec;
    for (const auto& entry : bus.GetCamcorder(nCamcorder).Log()) vec.push_back(Hex(entry.vecRequest));
    return vec;
}

size_t CountOf(const std::string& strText, const std::string& strPart) {
    size_t nCount = 0;
    for (size_t nPos = strText.find(strPart); nPos != std::string::npos; nPos = strText.find(strPart, nPos + 1)) ++nCount;
    return nCount;
}

std::string Ansi(const wchar_t* pszText) {
    char szText[512] = {};
    ::WideCharToMultiByte(CP_ACP, 0, pszText, -1, szText, sizeof szText, nullptr, nullptr);
    return szText;
}
