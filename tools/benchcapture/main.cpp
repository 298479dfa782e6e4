// Records a Type 2 file from the simulated camcorder at real time with the half-size preview
// shown, for a number of seconds, and prints the processor time the process used per second of
// stream and the frames the pipeline lost. Optionally writes the camcorder's frames as a raw DV
// stream, so that another program can do the comparable work on the same frames.
//   plover-bench-capture SECONDS OUTPUT.avi [STREAM.dv FRAMES]
#include "graph/RecordGraph.h"

#include "CamcorderFilter.h"

#include "files/AviInspection.h"

#include "device/DeviceEvents.h"
#include "devices/Bus.h"
#include "devices/DVStreamSource.h"
#include "devices/Faces.h"
#include "dv/Pattern.h"

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

constexpr int DistinctFrames = 25;  // the camcorder cycles through a second of encoded pictures

std::vector<std::vector<uint8_t>> g_vecFrames;

void EncodeFrames() {
    dv::PatternSettings settings;
    settings.system = dv::System::System625_50;
    dv::PatternGenerator generator(settings);
    for (int n = 0; n < DistinctFrames; ++n) {
        g_vecFrames.emplace_back(dv::FrameSize(settings.system));
        generator.MakeFrame(static_cast<uint64_t>(n), g_vecFrames.back());
    }
}

bool CachedFrame(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t nBytes) {
    const std::vector<uint8_t>& frame = g_vecFrames[request.nFrameNumber % DistinctFrames];
    if (frame.size() != nBytes) return false;
    std::copy(frame.begin(), frame.end(), pFrame);
    return true;
}

class BenchHost final : public GraphHost, public DeviceEventChannel {
public:
    BenchHost() {
        m_hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
        m_nMessage = WM_DEVICE_EVENT;
    }
    ~BenchHost() override { ::DestroyWindow(m_hWnd); }
    devices::ComPtr<devices::IBaseFilter> GetDVFilter() override { return testsupport::FindCamcorderFilter(); }
    int GetDVMode() override { return 2; }
    void SetPcTapeState(int) override {}
    void NotifyEvent(int, LPARAM) override {}
    const DeviceEventChannel* EventChannel() override { return this; }
};

double ProcessSeconds() {
    FILETIME ftCreate, ftExit, ftKernel, ftUser;
    ::GetProcessTimes(::GetCurrentProcess(), &ftCreate, &ftExit, &ftKernel, &ftUser);
    auto seconds = [](const FILETIME& ft) { return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7; };
    return seconds(ftKernel) + seconds(ftUser);
}

void PumpFor(DWORD dwMs) {
    const DWORD dwEnd = ::GetTickCount() + dwMs;
    while (static_cast<LONG>(::GetTickCount() - dwEnd) < 0) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool WriteStream(const wchar_t* pszPath, int nFrames) {
    FILE* pFile = _wfopen(pszPath, L"wb");
    if (pFile == nullptr) return false;
    for (int n = 0; n < nFrames; ++n) fwrite(g_vecFrames[static_cast<size_t>(n % DistinctFrames)].data(), 1, g_vecFrames[0].size(), pFile);
    return fclose(pFile) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 5) {
        fwprintf(stderr, L"usage: plover-bench-capture SECONDS OUTPUT.avi [STREAM.dv FRAMES]\n");
        return 2;
    }
    const int nSeconds = _wtoi(argv[1]);
    EncodeFrames();
    if (argc == 5 && !WriteStream(argv[3], _wtoi(argv[4]))) return 1;

    devices::BusScenario scenario;
    scenario.vecCamcorders[0].settings.system = devices::VideoSystem::Lines625;
    devices::Bus::Get().Reset(scenario);
    devices::SetDVFrameMaker(CachedFrame);

    const HWND hwndPanel = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 380, 300, nullptr, nullptr, nullptr, nullptr);
    const HWND hwndPreview = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 360, 288, hwndPanel, nullptr, nullptr, nullptr);
    BenchHost host;
    RecordGraph graph;
    if (FAILED(graph.InitGraph(static_cast<GraphHost*>(&host), hwndPreview))) return 1;
    graph.SetFilePath(argv[2]);
    graph.SetRecordFormat(2);
    graph.SetPreviewSize(1);
    if (FAILED(graph.StartCapture())) return 1;
    const double dStart = ProcessSeconds();
    const DWORD dwStart = ::GetTickCount();
    PumpFor(static_cast<DWORD>(nSeconds) * 1000);
    const double dCpu = ProcessSeconds() - dStart;
    const double dWall = (::GetTickCount() - dwStart) / 1000.0;
    const int nBusDrops = graph.GetDroppedFrameCount();
    graph.StopCapture();
    graph.ExitGraph();

    // The file as the program reads it back.
    int nFormat = 0, nType = 0;
    DWORD dwFrames = 0;
    std::vector<DWORD> vecDrops;
    if (!GetAVIDropInfo(argv[2], &nFormat, &nType, &dwFrames, &vecDrops) || nType != 2) return 1;
    const size_t nWritten = dwFrames;
    const size_t nDropEntries = vecDrops.size();
    // Frames the camcorder sent during the run that the file lacks beyond the bus's own drops.
    const double dExpected = dWall * 25.0;
    wprintf(L"stream seconds %.1f\nframes written %zu\ndrop entries %zu (bus drops %d)\n", dWall, nWritten, nDropEntries, nBusDrops);
    wprintf(L"pipeline dropped %zu\n", nDropEntries - static_cast<size_t>(nBusDrops));
    wprintf(L"expected frames about %.0f\ncpu seconds per stream second %.4f\n", dExpected, dCpu / dWall);
    ::DestroyWindow(hwndPanel);
    return 0;
}
