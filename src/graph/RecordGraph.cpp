// Record graph: preview and capture graphs from the camcorder's DV filter, capture start, pause,
// stop and finish, and the 10 ms watch over drops, free space and the file-size limit.
#include "graph/RecordGraph.h"

#include "core/DebugTrace.h"
#include "device/DVManager.h"
#include "device/DeviceEvents.h"

#include <winioctl.h>

#include <cstdio>
#include <thread>

using namespace media;

namespace {

constexpr int DeviceModeCameraTape = 2;
constexpr LONG VolumeMuted = -10000;
constexpr LONG VolumeFull = 0;
constexpr ULONGLONG DiskReserveBytes = 524288000;     // 500 MiB kept free
constexpr ULONGLONG StreamBytesPerSecond = 3937053;   // recorded DV stream
constexpr ULONGLONG PausedDiskFullSeconds = 10;
constexpr ULONGLONG FatLimitBytes = 2147483648ULL;
constexpr ULONGLONG Fat32LimitBytes = 4294967296ULL;
constexpr ULONGLONG LimitMarginBytes = 52428800;      // 50 MiB below the file system's limit
constexpr HRESULT InsufficientResources = static_cast<HRESULT>(0x800705AA);
constexpr int RunRetries = 20;
constexpr auto RunRetryDelay = std::chrono::milliseconds(100);
constexpr int FirstSampleWaits = 5;
constexpr auto FirstSampleWait = std::chrono::milliseconds(100);
constexpr int TapeRecording = 2;
constexpr int TapeReady = 3;
constexpr int TapeIdle = 5;
constexpr int EventRecAspect = 8;
constexpr int EventRecFormat = 10;
constexpr int EventDiskFull = 4;
constexpr int EventFileLimit = 5;
constexpr int EventWriteError = EVENT_WRITEERROR;
constexpr long GraphErrorAbort = 0x03;  // a filter stopped streaming on an error; param 1 its HRESULT

// True when the file exists and holds data: a capture never starts over such a file.
bool HoldsData(const std::wstring& strPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(strPath.c_str(), GetFileExInfoStandard, &data)) return false;
    return data.nFileSizeHigh != 0 || data.nFileSizeLow != 0;
}

}  // namespace

RecordGraph::RecordGraph() = default;

RecordGraph::~RecordGraph() {
    ExitGraph();
}

HRESULT RecordGraph::InitGraph(DVManager* pOwner, HWND hWnd) {
    if (TRACE_NULL(pOwner, "pOwner")) return E_POINTER;
    m_spOwnedHost = std::make_unique<DVManagerGraphHost>(*pOwner);
    return InitGraph(m_spOwnedHost.get(), hWnd);
}

HRESULT RecordGraph::InitGraph(GraphHost* pHost, HWND hWnd) {
    const HRESULT hr = BaseGraph::InitGraph(hWnd);
    if (TRACE_FAILED_HR(hr, "InitGraph")) return hr;
    m_pHost = pHost;
    m_nState = StateIdle;
    return S_OK;
}

void RecordGraph::ExitGraph() {
    if (!IsInitialized()) return;
    m_spDroppedFrames.Release();
    BaseGraph::ExitGraph();
    m_pHost = nullptr;
    m_nState = StateNone;
}

void RecordGraph::SetTapeState(int nState) {
    if (m_pHost) m_pHost->SetPcTapeState(nState);
}

void RecordGraph::SetMute(BOOL bMute) {
    if (bMute == m_bMute) return;
    m_bMute = bMute;
    if (!m_spGraph) return;
    MediaPtr<IBasicAudio> spAudio;
    if (SUCCEEDED(m_spGraph->QueryInterface(IID_IBasicAudio, spAudio.AsVoid()))) spAudio->put_Volume(m_bMute ? VolumeMuted : VolumeFull);
}

LevelMeterCB::Levels RecordGraph::GetAudioLevels() const {
    if (m_nState != StatePreview && m_nState != StateCapture) return {};
    return m_levelMeter.GetLevels();
}

Timecode RecordGraph::GetRecordedTime() const {
    const auto rtTime = static_cast<LONGLONG>(m_dvCallback.GetLastSampleTime() * UnitsPerSecond);
    const LONGLONG nRate = m_nVideoFormat == kVideoFormat525 ? 2997 : 2500;
    return FrameToTimecode(m_nVideoFormat, rtTime * nRate / 1000000000);
}

namespace {

std::wstring FolderOf(const std::wstring& strPath) {
    const size_t nSlash = strPath.rfind(L'\\');
    return nSlash == std::wstring::npos ? strPath : strPath.substr(0, nSlash + 1);
}

std::wstring RootOf(const std::wstring& strPath) {
    const size_t nRoot = strPath.find(L":\\");
    return nRoot == std::wstring::npos ? strPath : strPath.substr(0, nRoot + 2);
}

ULONGLONG RecordableSecondsOf(ULONGLONG nFree) {
    return nFree <= DiskReserveBytes ? 0 : (nFree - DiskReserveBytes) / StreamBytesPerSecond;
}

constexpr ULONGLONG NoFileLimit = ~0ULL;

// The largest file a capture may grow to on a file system (NoFileLimit for none).
ULONGLONG FileLimitOf(const std::wstring& strFileSystem) {
    ULONGLONG nLimit = 0;
    if (strFileSystem == L"FAT") {
        const auto nIni = static_cast<ULONGLONG>(GetDebugIniDouble(L"FAT16MaxCaptureFileSize", 0));
        nLimit = nIni != 0 ? nIni : FatLimitBytes;
    } else if (strFileSystem == L"FAT32") {
        const auto nIni = static_cast<ULONGLONG>(GetDebugIniDouble(L"FAT32MaxCaptureFileSize", 0));
        nLimit = nIni != 0 ? nIni : Fat32LimitBytes;
    } else {
        return NoFileLimit;
    }
    return nLimit > LimitMarginBytes ? nLimit - LimitMarginBytes : 0;
}

}  // namespace

ULONGLONG RecordGraph::GetRecordableSeconds() {
    ULONGLONG nFree = 0;
    if (!m_pVolume->GetFreeBytes(FolderOf(GetFilePath()), &nFree)) return 0;
    return RecordableSecondsOf(nFree);
}

BOOL RecordGraph::CheckCaptureFileSize() {
    const std::wstring& strPath = GetFilePath();
    std::wstring strFileSystem;
    if (!m_pVolume->GetFileSystemName(RootOf(strPath), &strFileSystem)) return FALSE;
    const ULONGLONG nLimit = FileLimitOf(strFileSystem);
    if (nLimit == NoFileLimit) return TRUE;
    ULONGLONG nSize = 0;
    if (!m_pVolume->GetFileSize(strPath, &nSize)) return FALSE;
    return nSize > nLimit ? FALSE : TRUE;
}

// The checks of the 10 ms watch, through the volume watch: the same answers as
// GetRecordableSeconds and CheckCaptureFileSize near the limits, without a system query at every
// tick far from them.
bool RecordGraph::WatchSaysDiskFull(ULONGLONG nMaxSeconds) {
    // Recordable seconds of at most nMaxSeconds: free space below the reserve and one more second.
    const ULONGLONG nBelow = DiskReserveBytes + (nMaxSeconds + 1) * StreamBytesPerSecond;
    ULONGLONG nFree = 0;
    if (!m_volumeWatch.FreeBytes(*m_pVolume, FolderOf(GetFilePath()), nBelow, &nFree)) return true;
    return RecordableSecondsOf(nFree) <= nMaxSeconds;
}

bool RecordGraph::WatchSaysFileLimit() {
    const std::wstring& strPath = GetFilePath();
    std::wstring strFileSystem;
    if (!m_volumeWatch.FileSystemName(*m_pVolume, RootOf(strPath), &strFileSystem)) return true;
    if (strFileSystem != m_strWatchedFileSystem) {
        m_strWatchedFileSystem = strFileSystem;
        m_nWatchedFileLimit = FileLimitOf(strFileSystem);
    }
    if (m_nWatchedFileLimit == NoFileLimit) return false;
    ULONGLONG nSize = 0;
    if (!m_volumeWatch.FileSize(*m_pVolume, strPath, m_nWatchedFileLimit, &nSize)) return true;
    return nSize > m_nWatchedFileLimit;
}

// ---- graph builders ---------------------------------------------------------------------------
HRESULT RecordGraph::AddOpening(MediaPtr<IBaseFilter>& spDV, MediaPtr<IBaseFilter>& spGrabber) {
    devices::ComPtr<devices::IBaseFilter> spDevice = m_pHost ? m_pHost->GetDVFilter() : devices::ComPtr<devices::IBaseFilter>();
    if (TRACE_NULL(spDevice.Get(), "spDV")) return E_FAIL;
    HRESULT hr = CreateDVDeviceFilter(spDevice.Get(), &spDV);
    if (TRACE_FAILED_HR(hr, "CreateDVDeviceFilter")) return hr;
    hr = m_spGraph->AddFilter(spDV.Get(), L"MSDV");
    if (TRACE_FAILED_HR(hr, "AddFilter")) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_SampleGrabber, &spGrabber, L"DV Grabber");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = m_dvCallback.SetCallback(spGrabber.Get(), m_pHost->EventChannel(), EventRecAspect, EventRecFormat);
    if (TRACE_FAILED_HR(hr, "SetCallback")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), spDV.Get(), 1, spGrabber.Get(), 0);
    TRACE_FAILED_HR(hr, "ConnectFilter");
    return hr;
}

HRESULT RecordGraph::AddAudioBranch(IBaseFilter* pSplitter) {
    MediaPtr<IBaseFilter> spTee;
    HRESULT hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_InfTee, &spTee, L"Inf Tee");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), pSplitter, 1, spTee.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    MediaPtr<IBaseFilter> spGrabber;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_SampleGrabber, &spGrabber, L"PCM Grabber");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = m_levelMeter.SetCallback(spGrabber.Get());
    if (TRACE_FAILED_HR(hr, "SetCallback")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), spTee.Get(), 0, spGrabber.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    // Sound is optional: a computer without a sound device still gets a working graph.
    MediaPtr<IBaseFilter> spSound;
    if (SUCCEEDED(CreateAndAddFilter(m_spGraph.Get(), CLSID_DSoundRender, &spSound, L"Sound"))) {
        MediaPtr<IBasicAudio> spAudio;
        if (SUCCEEDED(m_spGraph->QueryInterface(IID_IBasicAudio, spAudio.AsVoid()))) spAudio->put_Volume(m_bMute ? VolumeMuted : VolumeFull);
        ConnectFilter(m_spGraph.Get(), spTee.Get(), 1, spSound.Get(), 0);
    }
    return S_OK;
}

int RecordGraph::DecodeResolution() const {
    switch (m_nPreviewSize) {
    case 0: return DVRESOLUTION_FULL;
    case 2: return DVRESOLUTION_QUARTER;
    case 3: return DVRESOLUTION_DC;
    default: return DVRESOLUTION_HALF;
    }
}

HRESULT RecordGraph::AddVideoBranch(IBaseFilter* pSplitter, int nResolution) {
    MediaPtr<IBaseFilter> spDecoder;
    HRESULT hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_DVVideoCodec, &spDecoder, L"DV Decorder");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    MediaPtr<IIPDVDec> spDec;
    hr = spDecoder->QueryInterface(IID_IIPDVDec, spDec.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    hr = spDec->put_IPDisplay(nResolution);
    if (TRACE_FAILED_HR(hr, "put_IPDisplay")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), pSplitter, 0, spDecoder.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    MediaPtr<IBaseFilter> spRenderer;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_VideoRendererDefault, &spRenderer, L"Video Renderer");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), spDecoder.Get(), 0, spRenderer.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    hr = ShowPreviewWindow(TRUE);
    TRACE_FAILED_HR(hr, "ShowPreviewWindow");
    return hr;
}

HRESULT RecordGraph::MakeRecordGraphForPreview() {
    MediaPtr<IBaseFilter> spDV, spGrabber, spSplitter;
    HRESULT hr = AddOpening(spDV, spGrabber);
    if (FAILED(hr)) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_DVSplitter, &spSplitter, L"Dv Splitter");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), spGrabber.Get(), 0, spSplitter.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    hr = AddAudioBranch(spSplitter.Get());
    if (FAILED(hr)) return hr;
    return AddVideoBranch(spSplitter.Get(), DVRESOLUTION_HALF);  // the preview graph is always half size
}

// The file is made new, uncompressed even in a compressed folder, before the writer opens it.
void RecordGraph::PrepareCaptureFile() const {
    const HANDLE hFile = ::CreateFileW(m_strCaptureFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return;
    USHORT nFormat = COMPRESSION_FORMAT_NONE;
    DWORD dwReturned = 0;
    ::DeviceIoControl(hFile, FSCTL_SET_COMPRESSION, &nFormat, sizeof(nFormat), nullptr, 0, &dwReturned, nullptr);
    ::CloseHandle(hFile);
}

HRESULT RecordGraph::AddFileWriter(IBaseFilter* pMux) {
    PrepareCaptureFile();
    MediaPtr<IBaseFilter> spWriter;
    HRESULT hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_FileWriter, &spWriter, L"File Writer");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    MediaPtr<IFileSinkFilter2> spSink;
    hr = spWriter->QueryInterface(IID_IFileSinkFilter2, spSink.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    hr = spSink->SetFileName(m_strCaptureFile.c_str(), nullptr);
    if (TRACE_FAILED_HR(hr, "SetFileName")) return hr;
    hr = spSink->SetMode(AM_FILE_OVERWRITE);
    if (TRACE_FAILED_HR(hr, "SetMode")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), pMux, 0, spWriter.Get(), 0);
    TRACE_FAILED_HR(hr, "ConnectFilter");
    return hr;
}

HRESULT RecordGraph::FindDropCounter(IBaseFilter* pDV) {
    const HRESULT hr = m_spCapture->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, pDV, IID_IAMDroppedFrames, m_spDroppedFrames.AsVoid());
    if (TRACE_FAILED_HR(hr, "FindInterface")) return hr;
    m_nDroppedTotal = 0;
    return S_OK;
}

HRESULT RecordGraph::MakeCapture(bool bType1) {
    MediaPtr<IBaseFilter> spDV, spGrabber, spTee, spMux, spSplitter;
    HRESULT hr = AddOpening(spDV, spGrabber);
    if (FAILED(hr)) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_SmartTee, &spTee, L"Smart Tee");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), spGrabber.Get(), 0, spTee.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    if (bType1) {
        hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_AviDest, &spMux, L"Avi Mux");
        if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
        hr = ConnectFilter(m_spGraph.Get(), spTee.Get(), 0, spMux.Get(), 0);
        if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    } else {
        MediaPtr<IBaseFilter> spCaptureSplitter;
        hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_DVSplitter, &spCaptureSplitter, L"Dv Splitter Capture");
        if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
        hr = ConnectFilter(m_spGraph.Get(), spTee.Get(), 0, spCaptureSplitter.Get(), 0);
        if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
        hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_AviDest, &spMux, L"Avi Mux");
        if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
        hr = ConnectFilter(m_spGraph.Get(), spCaptureSplitter.Get(), 0, spMux.Get(), 0);
        if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
        hr = ConnectFilter(m_spGraph.Get(), spCaptureSplitter.Get(), 1, spMux.Get(), 1);
        if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    }
    hr = AddFileWriter(spMux.Get());
    if (FAILED(hr)) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_DVSplitter, &spSplitter, L"Dv Splitter");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = ConnectFilter(m_spGraph.Get(), spTee.Get(), 1, spSplitter.Get(), 0);
    if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    hr = AddAudioBranch(spSplitter.Get());
    if (FAILED(hr)) return hr;
    if (m_nPreviewSize != 4) {
        hr = AddVideoBranch(spSplitter.Get(), DecodeResolution());
        if (FAILED(hr)) return hr;
    }
    return FindDropCounter(spDV.Get());
}

HRESULT RecordGraph::MakeRecordGraphForType1Capture() {
    return MakeCapture(true);
}

HRESULT RecordGraph::MakeRecordGraphForType2Capture() {
    return MakeCapture(false);
}

// ---- capture ------------------------------------------------------------------------------------
HRESULT RecordGraph::StartCapture() {
    if (m_nRecordMode == ModeLinked && m_nState == StatePaused) {
        const HRESULT hr = RunGraph();
        if (FAILED(hr)) {
            // The paused file is closed and kept as it stands; the caller learns it is closed.
            TRACE_FAILED_HR(hr, "RunGraph");
            CloseCapture();
            return hr;
        }
        m_nState = StateCapture;
        StartGraphTimer();
        SetTapeState(TapeRecording);
        return S_OK;
    }
    // A new capture makes its file anew; a file that already holds frames (a recording whose
    // close went wrong, or one made meanwhile) is never emptied for it.
    if (HoldsData(m_strFilePath)) {
        TRACE_FAILED_HR(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS), "HoldsData");
        return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    }
    ClearGraph();
    m_strCaptureFile = m_strFilePath;
    m_volumeWatch.Reset();
    m_strWatchedFileSystem.clear();
    m_hrWriteError = S_OK;
    HRESULT hr = m_nRecordFormat == 1 ? MakeRecordGraphForType1Capture() : MakeRecordGraphForType2Capture();
    if (SUCCEEDED(hr)) {
        MediaPtr<IBaseFilter> spDV;
        m_spGraph->FindFilterByName(L"MSDV", &spDV);
        hr = GetVideoFormatByDVFilter(spDV.Get(), &m_nVideoFormat);
    }
    if (SUCCEEDED(hr)) hr = RunGraph();
    if (FAILED(hr)) {
        UpdateGraph();
        return hr;
    }
    m_nState = StateCapture;
    StartGraphTimer();
    SetTapeState(TapeRecording);
    return S_OK;
}

void RecordGraph::WaitForFirstSample() const {
    for (int n = 0; n < FirstSampleWaits && m_dvCallback.GetLastSampleTime() == 0.0; ++n) std::this_thread::sleep_for(FirstSampleWait);
}

void RecordGraph::CommitCaptureFile() const {
    if (FILE* pFile = _wfopen(m_strCaptureFile.c_str(), L"ac")) {
        fflush(pFile);
        fclose(pFile);
    }
}

HRESULT RecordGraph::StopCapture() {
    WaitForFirstSample();
    if (m_nRecordMode == ModeLinked && m_nState == StateCapture) {
        const HRESULT hr = PauseCapture();
        if (SUCCEEDED(hr)) {
            m_nState = StatePaused;
            SetTapeState(TapeReady);
            return S_OK;
        }
        // The pause failed: the file is closed like a finished one, and the caller is told, so
        // that it does not count on resuming a file that is no longer open.
        TRACE_FAILED_HR(hr, "PauseGraph");
        CloseCapture();
        return hr;
    }
    return CloseCapture();
}

HRESULT RecordGraph::FinishCapture() {
    WaitForFirstSample();
    return CloseCapture();
}

// Back to the preview, which closes the capture file, then the file is committed to disk.
HRESULT RecordGraph::CloseCapture() {
    const HRESULT hr = UpdateGraph();
    TRACE_FAILED_HR(hr, "UpdateGraph");
    CommitCaptureFile();
    return hr;
}

HRESULT RecordGraph::UpdateGraph() {
    HRESULT hr = ClearGraph();
    if (TRACE_FAILED_HR(hr, "ClearGraph")) return hr;
    if (m_pHost == nullptr || m_pHost->GetDVMode() != DeviceModeCameraTape) return S_OK;
    hr = MakeRecordGraphForPreview();
    if (TRACE_FAILED_HR(hr, "MakeRecordGraphForPreview")) {
        ClearGraph();
        return hr;
    }
    hr = RunGraph();
    for (int n = 0; hr == InsufficientResources && n < RunRetries; ++n) {
        std::this_thread::sleep_for(RunRetryDelay);
        hr = RunGraph();
    }
    if (FAILED(hr)) {
        ClearGraph();
        return hr;
    }
    m_nState = StatePreview;
    SetTapeState(TapeReady);
    return S_OK;
}

HRESULT RecordGraph::ClearGraph() {
    m_spDroppedFrames.Release();
    ShowPreviewWindow(FALSE);
    StopGraph();
    const HRESULT hr = RemoveAllFilter(m_spGraph.Get());
    m_nVideoFormat = 0;
    m_nState = StateIdle;
    SetTapeState(TapeIdle);
    return hr;
}

// ---- hooks --------------------------------------------------------------------------------------
void RecordGraph::OnGraphTimer() {
    if (m_nState == StateCapture && m_spDroppedFrames) {
        long nDropped = 0;
        if (!TRACE_FAILED_HR(m_spDroppedFrames->GetNumDropped(&nDropped), "GetNumDropped")) m_nDroppedTotal = nDropped;
    }
    if (m_pHost == nullptr) return;
    if (m_nState == StateCapture && WatchSaysDiskFull(0)) m_pHost->NotifyEvent(EventDiskFull, 0);
    if (m_nState == StatePaused && WatchSaysDiskFull(PausedDiskFullSeconds)) m_pHost->NotifyEvent(EventDiskFull, 0);
    if (m_nState == StateCapture && WatchSaysFileLimit()) m_pHost->NotifyEvent(EventFileLimit, 0);
}

LRESULT RecordGraph::OnGraphNotify(WPARAM, LPARAM) {
    if (!m_spMediaEvent) return 0;
    long nCode = 0;
    LONG_PTR nParam1 = 0, nParam2 = 0;
    HRESULT hrAbort = S_OK;
    while (m_spMediaEvent->GetEvent(&nCode, &nParam1, &nParam2, 0) == S_OK) {
        // A write error of the capture file ends the recording's use: the owner must hear of it,
        // or the time code would run on over a file that no longer grows.
        if (nCode == GraphErrorAbort && IsFileOpen() && hrAbort == S_OK) {
            const auto hr = static_cast<HRESULT>(nParam1);
            hrAbort = FAILED(hr) ? hr : E_FAIL;
        }
        TRACE_FAILED_HR(m_spMediaEvent->FreeEventParams(nCode, nParam1, nParam2), "FreeEventParams");
    }
    // Told once the queue is empty: the owner's answer rebuilds the graph.
    if (FAILED(hrAbort) && m_hrWriteError == S_OK) {
        m_hrWriteError = hrAbort;
        TRACE_FAILED_HR(hrAbort, "EC_ERRORABORT");
        if (m_pHost) m_pHost->NotifyEvent(EventWriteError, hrAbort);
    }
    return 0;
}
