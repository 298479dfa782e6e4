// Records short captures from the simulated camcorder through the record graph into Type 1 and
// Type 2 files of both video systems and both audio rates, with frames the camcorder drops on
// the way, and writes a manifest of what the program's own readers find in each file. run.sh
// hands the files to ffprobe and ffmpeg and compares.
//
//   plover-capture-oracle.exe OUTPUT-FOLDER
//
// Manifest lines: name type system audio-rate entries dropped-frame,... (or "-"). The last
// capture changes its audio mode on the way and goes on in a second file, as the record panel
// does on the format event: the first file keeps 48 kHz throughout, the second has 32 kHz.
#include "device/DeviceEvents.h"
#include "devices/Bus.h"
#include "devices/BusControl.h"
#include "devices/DVStreamSource.h"
#include "devices/Faces.h"
#include "dv/Pattern.h"
#include "files/AviInspection.h"
#include "graph/GraphHost.h"
#include "graph/RecordGraph.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr int DropsPerCapture = 3;
constexpr int RecordBeforeDropMs = 700;
constexpr int RecordAfterDropMs = 700;
constexpr int DropWaitMs = 3000;
// The camcorder's picture repeats every fifteen frames, which is also the period of the audio
// sample counts of locked 525/60 sound at 32 kHz: each of them is encoded once.
constexpr uint64_t PictureCycle = 15;

bool CachedPatternFrame(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t nBytes) {
    static std::mutex s_mtx;
    static std::map<std::tuple<bool, bool, uint64_t>, std::vector<uint8_t>> s_frames;
    const auto key = std::make_tuple(request.b625Lines, request.bAudio32k12, request.nFrameNumber % PictureCycle);
    std::lock_guard lock(s_mtx);
    auto it = s_frames.find(key);
    if (it == s_frames.end()) {
        dv::PatternSettings settings;
        settings.system = request.b625Lines ? dv::System::System625_50 : dv::System::System525_60;
        settings.audioMode = request.bAudio32k12 ? dv::AudioMode::FourChannel32k12 : dv::AudioMode::Stereo48k;
        dv::PatternGenerator generator(settings);
        std::vector<uint8_t> vecFrame(dv::FrameSize(settings.system));
        if (generator.MakeFrame(request.nFrameNumber % PictureCycle, vecFrame) != dv::Result::Ok) return false;
        it = s_frames.emplace(key, std::move(vecFrame)).first;
    }
    if (it->second.size() != nBytes) return false;
    std::copy(it->second.begin(), it->second.end(), pFrame);
    return true;
}

void Pump(int nMs, const std::function<bool()>& fnDone = [] { return false; }) {
    const DWORD dwEnd = ::GetTickCount() + static_cast<DWORD>(nMs);
    while (!fnDone() && static_cast<LONG>(::GetTickCount() - dwEnd) < 0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// The record graph's host: the bus's first camcorder, always in camera mode with a tape. It
// counts the format events the DV grabber posts, as the main window would receive them.
class OracleHost final : public GraphHost, public DeviceEventChannel {
public:
    OracleHost() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PloverCaptureOracleHost";
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_nMessage = WM_DEVICE_EVENT;
    }
    ~OracleHost() override { ::DestroyWindow(m_hWnd); }
    int FormatEvents() const { return m_nFormatEvents; }
    devices::ComPtr<devices::IBaseFilter> GetDVFilter() override {
        devices::ComPtr<devices::ICreateDevEnum> spDevEnum;
        devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid());
        devices::ComPtr<devices::IEnumMoniker> spEnum;
        devices::ComPtr<devices::IMoniker> spMoniker;
        devices::ComPtr<devices::IBaseFilter> spFilter;
        if (spDevEnum && spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0) == S_OK && spEnum->Next(1, &spMoniker, nullptr) == S_OK)
            spMoniker->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, spFilter.AsVoid());
        return spFilter;
    }
    int GetDVMode() override { return 2; }
    void SetPcTapeState(int) override {}
    void NotifyEvent(int, LPARAM) override {}
    const DeviceEventChannel* EventChannel() override { return this; }

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        auto* pThis = reinterpret_cast<OracleHost*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (pThis != nullptr && uMsg == WM_DEVICE_EVENT) {
            if (wParam == EVENT_RECFORMAT) ++pThis->m_nFormatEvents;
            return 0;
        }
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
    int m_nFormatEvents = 0;
};

struct Capture {
    const wchar_t* pszName;
    int nType;
    bool b625;
    bool b32k;
    // The camcorder switches to 32 kHz 12-bit sound during the capture, which goes on in this
    // file when the format event arrives, as the record panel does.
    const wchar_t* pszNextName;
};

// What the program's own reader finds in a file, as one manifest line.
bool AddToManifest(const std::wstring& strFolder, const wchar_t* pszName, bool b625, bool b32k, FILE* pManifest) {
    int nFormat = 0, nType = 0;
    DWORD dwFrames = 0;
    std::vector<DWORD> vecDrops;
    if (!GetAVIDropInfo(strFolder + L"\\" + pszName, &nFormat, &nType, &dwFrames, &vecDrops)) return false;
    std::string strDrops;
    for (DWORD dwDrop : vecDrops) strDrops += (strDrops.empty() ? "" : ",") + std::to_string(dwDrop);
    std::fprintf(pManifest, "%ls %d %d %d %lu %s\n", pszName, nType, b625 ? 625 : 525, b32k ? 32000 : 48000,
                 static_cast<unsigned long>(dwFrames), strDrops.empty() ? "-" : strDrops.c_str());
    return true;
}

bool Record(const Capture& capture, const std::wstring& strFolder, HWND hwndPreview, FILE* pManifest) {
    devices::Bus::Get().Reset(devices::BusScenario{});
    devices::ExecuteBusCommand(capture.b625 ? "system 625" : "system 525");
    devices::ExecuteBusCommand(capture.b32k ? "audio 32k" : "audio 48k");
    OracleHost host;
    RecordGraph graph;
    if (FAILED(graph.InitGraph(static_cast<GraphHost*>(&host), hwndPreview))) return false;
    graph.SetRecordFormat(capture.nType);
    graph.SetFilePath(strFolder + L"\\" + capture.pszName);
    bool bOk = SUCCEEDED(graph.UpdateGraph()) && SUCCEEDED(graph.StartCapture());
    if (bOk) {
        Pump(RecordBeforeDropMs);
        devices::ExecuteBusCommand("drop " + std::to_string(DropsPerCapture));
        Pump(DropWaitMs, [&] { return graph.GetDroppedFrameCount() >= DropsPerCapture; });
        Pump(RecordAfterDropMs);
        bOk = graph.GetDroppedFrameCount() == DropsPerCapture;
    }
    if (bOk && capture.pszNextName != nullptr) {
        devices::ExecuteBusCommand("audio 32k");
        Pump(DropWaitMs, [&] { return host.FormatEvents() > 0; });
        bOk = host.FormatEvents() > 0;
        Pump(RecordAfterDropMs / 2);  // frames of the new mode reach the first file too
        bOk = bOk && SUCCEEDED(graph.StopCapture());
        graph.SetFilePath(strFolder + L"\\" + capture.pszNextName);
        bOk = bOk && SUCCEEDED(graph.StartCapture());
        Pump(RecordAfterDropMs);
    }
    bOk = bOk && SUCCEEDED(graph.StopCapture());
    graph.ExitGraph();
    bOk = bOk && AddToManifest(strFolder, capture.pszName, capture.b625, capture.b32k, pManifest);
    if (capture.pszNextName != nullptr) bOk = bOk && AddToManifest(strFolder, capture.pszNextName, capture.b625, true, pManifest);
    if (!bOk) std::fwprintf(stderr, L"capture %ls failed\n", capture.pszName);
    return bOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: plover-capture-oracle OUTPUT-FOLDER\n");
        return 2;
    }
    const std::wstring strFolder = argv[1];
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    devices::SetDVFrameMaker(CachedPatternFrame);
    const HWND hwndPanel = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    const HWND hwndPreview = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 360, 240, hwndPanel, nullptr, nullptr, nullptr);
    FILE* pManifest = _wfopen((strFolder + L"\\manifest.txt").c_str(), L"w");
    if (pManifest == nullptr) return 1;
    static const Capture Captures[] = {
        {L"type1-525.avi", 1, false, false, nullptr},        {L"type1-625.avi", 1, true, true, nullptr},
        {L"type2-525-48k.avi", 2, false, false, nullptr},    {L"type2-525-32k.avi", 2, false, true, nullptr},
        {L"type2-625-48k.avi", 2, true, false, nullptr},     {L"type2-625-32k.avi", 2, true, true, nullptr},
        {L"type2-625-switch.avi", 2, true, false, L"type2-625-switched.avi"},
    };
    int nFailed = 0;
    for (const Capture& capture : Captures)
        if (!Record(capture, strFolder, hwndPreview, pManifest)) ++nFailed;
    std::fclose(pManifest);
    ::DestroyWindow(hwndPanel);
    devices::SetDVFrameMaker(nullptr);
    ::CoUninitialize();
    return nFailed == 0 ? 0 : 1;
}
