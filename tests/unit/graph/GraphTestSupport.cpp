#include "GraphTestSupport.h"

#include "CamcorderFilter.h"

#include "avi/AviWriter.h"
#include "avi/FileIo.h"
#include "dv/Pattern.h"

#include <gtest/gtest.h>

#include <utility>

namespace graphtest {

static std::vector<uint8_t> EncodedPattern(bool b625) {
    dv::PatternSettings settings;
    settings.system = b625 ? dv::System::System625_50 : dv::System::System525_60;
    dv::PatternGenerator generator(settings);
    std::vector<uint8_t> vecFrame(dv::FrameSize(settings.system));
    generator.MakeFrame(0, vecFrame);
    return vecFrame;
}

bool PatternFrame(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t nBytes) {
    static const std::vector<uint8_t> s_frame525 = EncodedPattern(false);
    static const std::vector<uint8_t> s_frame625 = EncodedPattern(true);
    const std::vector<uint8_t>& frame = request.b625Lines ? s_frame625 : s_frame525;
    if (frame.size() != nBytes) return false;
    std::copy(frame.begin(), frame.end(), pFrame);
    return true;
}

void WriteTestAvi(const std::wstring& strPath, int nType, bool b625, uint32_t nFrames) {
    const std::vector<uint8_t> vecFrame = EncodedPattern(b625);
    avi::MemoryFile file;
    avi::AviWriterOptions options;
    options.type = nType == 1 ? avi::AviType::Type1 : avi::AviType::Type2;
    options.system = b625 ? avi::VideoSystem::System625_50 : avi::VideoSystem::System525_60;
    avi::ReadDvInfoFromFrame(vecFrame, &options.dvInfo);
    avi::AviWriter writer;
    ASSERT_EQ(avi::AviResult::Ok, writer.Open(file, options));
    const std::vector<uint8_t> vecPcm((b625 ? 1920 : 1602) * 4, 0);
    for (uint32_t n = 0; n < nFrames; ++n) {
        ASSERT_EQ(avi::AviResult::Ok, writer.WriteVideoFrame(vecFrame));
        if (nType == 2) {
            ASSERT_EQ(avi::AviResult::Ok, writer.WriteAudio(vecPcm));
        }
    }
    ASSERT_EQ(avi::AviResult::Ok, writer.Finish());
    const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, file.Bytes().data(), static_cast<DWORD>(file.Bytes().size()), &dwWritten, nullptr);
    ::CloseHandle(hFile);
}

void ResetBus(devices::VideoSystem system) {
    devices::BusScenario scenario;
    scenario.vecCamcorders[0].settings.system = system;
    devices::Bus::Get().Reset(scenario);
    devices::Bus::Get().SetTickSource(nullptr);
    devices::SetDVFrameMaker(PatternFrame);
}

// The events posted to the host's window, kept by its window procedure whoever pumps.
static LRESULT CALLBACK HostWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto* pPosted = reinterpret_cast<std::vector<std::pair<int, LPARAM>>*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (pPosted != nullptr && uMsg == WM_DEVICE_EVENT) {
        pPosted->emplace_back(static_cast<int>(wParam), lParam);
        return 0;
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

TestHost::TestHost() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PloverGraphTestHost";
    ::RegisterClassW(&wc);
    m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_vecPosted));
    m_nMessage = WM_DEVICE_EVENT;
}

TestHost::~TestHost() {
    ::DestroyWindow(m_hWnd);
}

// Like the program's DV manager, the host hands every graph the one filter object of the camcorder.
devices::ComPtr<devices::IBaseFilter> TestHost::GetDVFilter() {
    if (!m_spDVFilter) m_spDVFilter = testsupport::FindCamcorderFilter();
    return m_spDVFilter;
}

int TestHost::Count(int nCode) const {
    int n = 0;
    for (const auto& event : m_vecSent)
        if (event.first == nCode) ++n;
    return n;
}

std::vector<std::pair<int, LPARAM>> TestHost::TakePosted() {
    MSG msg;
    while (::PeekMessageW(&msg, m_hWnd, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    return std::exchange(m_vecPosted, {});
}

PreviewHost::PreviewHost() {
    m_hwndPanel = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    m_hwndPreview = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 360, 240, m_hwndPanel, nullptr, nullptr, nullptr);
}

PreviewHost::~PreviewHost() {
    ::DestroyWindow(m_hwndPanel);
}

}  // namespace graphtest
