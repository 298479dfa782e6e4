// Play graph: the Type 1 and Type 2 play graphs, loading, play, pause, seeking, position and end
// reports, and the routing of the stream out to the camcorder.
#include "graph/PlayGraph.h"

#include "core/DebugTrace.h"
#include "device/DVManager.h"
#include "files/AviInspection.h"

#include <cmath>
#include <span>
#include <tuple>

using namespace media;

namespace {

constexpr int DeviceModeTapeOther = 3;
constexpr int TapePlaying = 0;
constexpr int TapeLoaded = 4;
constexpr int EventPlayPosition = 6;
constexpr int EventPlayComplete = 7;
constexpr int EventPlayAspect = 9;
constexpr int EventPlayFormat = 11;
// Frames × this ÷ (frames per 100 seconds) = 100 ns units.
constexpr LONGLONG HundredSecondsInUnits = 1000000000;

}  // namespace

PlayGraph::PlayGraph() = default;

PlayGraph::~PlayGraph() {
    ExitGraph();
}

HRESULT PlayGraph::InitGraph(DVManager* pOwner, HWND hWnd) {
    if (TRACE_NULL(pOwner, "pOwner")) return E_POINTER;
    m_spOwnedHost = std::make_unique<DVManagerGraphHost>(*pOwner);
    return InitGraph(m_spOwnedHost.get(), hWnd);
}

HRESULT PlayGraph::InitGraph(GraphHost* pHost, HWND hWnd) {
    const HRESULT hr = BaseGraph::InitGraph(hWnd);
    if (TRACE_FAILED_HR(hr, "InitGraph")) return hr;
    m_pHost = pHost;
    m_nPosition = 0;
    m_nDuration = 0;
    m_nState = StateNoFile;
    return S_OK;
}

void PlayGraph::ExitGraph() {
    if (!IsInitialized()) return;
    m_pHost = nullptr;
    m_t1f = Type1Filters{};
    m_t2f = Type2Filters{};
    BaseGraph::ExitGraph();
    m_nState = StateNone;
}

void PlayGraph::SetTapeState(int nState) {
    if (m_pHost) m_pHost->SetPcTapeState(nState);
}

void PlayGraph::Notify(int nCode) {
    if (m_pHost) m_pHost->NotifyEvent(nCode, 0);
}

HRESULT PlayGraph::OpenFile(const std::wstring& strPath) {
    m_nPosition = 0;
    m_nDuration = 0;
    m_strFilePath = strPath;
    return LoadFile();
}

// ---- graph builders ---------------------------------------------------------------------------
HRESULT PlayGraph::AddSource(MediaPtr<IBaseFilter>& spSource) {
    HRESULT hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_AsyncReader, &spSource, L"Source");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    MediaPtr<IFileSourceFilter> spLoad;
    hr = spSource->QueryInterface(IID_IFileSourceFilter, spLoad.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    hr = spLoad->Load(m_strFilePath.c_str(), nullptr);
    TRACE_FAILED_HR(hr, "Load");
    return hr;
}

HRESULT PlayGraph::AddGrabber(MediaPtr<IBaseFilter>& spGrabber) {
    HRESULT hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_SampleGrabber, &spGrabber, L"DV Grabber");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = m_dvCallback.SetCallback(spGrabber.Get(), m_pHost ? m_pHost->EventChannel() : nullptr, EventPlayAspect, EventPlayFormat);
    TRACE_FAILED_HR(hr, "SetCallback");
    return hr;
}

HRESULT PlayGraph::AddDecoder(MediaPtr<IBaseFilter>& spDecoder) {
    HRESULT hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_DVVideoCodec, &spDecoder, L"DV Decorder");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    MediaPtr<IIPDVDec> spDec;
    hr = spDecoder->QueryInterface(IID_IIPDVDec, spDec.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    hr = spDec->put_IPDisplay(DVRESOLUTION_HALF);
    TRACE_FAILED_HR(hr, "put_IPDisplay");
    return hr;
}

HRESULT PlayGraph::MakePlayGraphForType1() {
    m_t1f = Type1Filters{};
    Type1Filters& f = m_t1f;
    HRESULT hr = AddSource(f.spSource);
    if (FAILED(hr)) return hr;
    for (auto [pspFilter, clsid, pszName] : {std::tuple{&f.spSplitter, CLSID_AviSplitter, L"AviSplitter"}, std::tuple{&f.spInfTee, CLSID_InfTee, L"Inf Tee"},
                                             std::tuple{&f.spDvSplitter, CLSID_DVSplitter, L"Dv Splitter"}}) {
        hr = CreateAndAddFilter(m_spGraph.Get(), clsid, pspFilter, pszName);
        if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    }
    hr = AddGrabber(f.spGrabber);
    if (FAILED(hr)) return hr;
    hr = AddDecoder(f.spDecoder);
    if (FAILED(hr)) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_VideoRendererDefault, &f.spRenderer, L"Video Renderer");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    CreateAndAddFilter(m_spGraph.Get(), CLSID_DSoundRender, &f.spSound, L"Sound");  // no sound device: no sound
    const std::pair<IBaseFilter*, IBaseFilter*> chain[] = {{f.spSource.Get(), f.spSplitter.Get()},     {f.spSplitter.Get(), f.spInfTee.Get()},
                                                           {f.spInfTee.Get(), f.spDvSplitter.Get()},   {f.spDvSplitter.Get(), f.spGrabber.Get()},
                                                           {f.spGrabber.Get(), f.spDecoder.Get()},     {f.spDecoder.Get(), f.spRenderer.Get()}};
    hr = ConnectChain(chain);
    if (FAILED(hr)) return hr;
    if (f.spSound) ConnectFilter(m_spGraph.Get(), f.spDvSplitter.Get(), 1, f.spSound.Get(), 0);
    hr = ShowPreviewWindow(TRUE);
    TRACE_FAILED_HR(hr, "ShowPreviewWindow");
    return hr;
}

// Connects each pair's first output to its second's first input, in order; the first failure ends it.
HRESULT PlayGraph::ConnectChain(std::span<const std::pair<media::IBaseFilter*, media::IBaseFilter*>> chain) {
    for (const auto& [pOut, pIn] : chain) {
        const HRESULT hr = ConnectFilter(m_spGraph.Get(), pOut, 0, pIn, 0);
        if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
    }
    return S_OK;
}

HRESULT PlayGraph::MakePlayGraphForType2() {
    m_t2f = Type2Filters{};
    Type2Filters& f = m_t2f;
    HRESULT hr = AddSource(f.spSource);
    if (FAILED(hr)) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_AviSplitter, &f.spSplitter, L"AviSplitter");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    hr = AddGrabber(f.spGrabber);
    if (FAILED(hr)) return hr;
    hr = AddDecoder(f.spDecoder);
    if (FAILED(hr)) return hr;
    hr = CreateAndAddFilter(m_spGraph.Get(), CLSID_VideoRendererDefault, &f.spRenderer, L"Video Renderer");
    if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    CreateAndAddFilter(m_spGraph.Get(), CLSID_DSoundRender, &f.spSound, L"Sound");
    for (auto [pspFilter, clsid, pszName] : {std::tuple{&f.spDvMux, CLSID_DVMux, L"Dv Mux"}, std::tuple{&f.spDvSplitter, CLSID_DVSplitter, L"Dv Splitter"},
                                             std::tuple{&f.spInfTee, CLSID_InfTee, L"Inf Tee"}}) {
        hr = CreateAndAddFilter(m_spGraph.Get(), clsid, pspFilter, pszName);
        if (TRACE_FAILED_HR(hr, "CreateAndAddFilter")) return hr;
    }
    const std::pair<IBaseFilter*, IBaseFilter*> chain[] = {{f.spSource.Get(), f.spSplitter.Get()},
                                                           {f.spSplitter.Get(), f.spGrabber.Get()},
                                                           {f.spGrabber.Get(), f.spDecoder.Get()},
                                                           {f.spDecoder.Get(), f.spRenderer.Get()}};
    hr = ConnectChain(chain);
    if (FAILED(hr)) return hr;
    if (f.spSound) ConnectFilter(m_spGraph.Get(), f.spSplitter.Get(), 1, f.spSound.Get(), 0);
    hr = ShowPreviewWindow(TRUE);
    TRACE_FAILED_HR(hr, "ShowPreviewWindow");
    return hr;
}

// ---- loading and playing ------------------------------------------------------------------------
HRESULT PlayGraph::LoadFile() {
    HRESULT hr = ClearGraph();
    if (TRACE_FAILED_HR(hr, "ClearGraph") || !m_bActive) return hr;
    m_nFileType = IsAVIType1(m_strFilePath) ? 1 : IsAVIType2(m_strFilePath) ? 2 : 0;
    if (m_nFileType == 0) return E_FAIL;
    hr = m_nFileType == 1 ? MakePlayGraphForType1() : MakePlayGraphForType2();
    if (SUCCEEDED(hr)) hr = GetVideoFormatByFile(m_strFilePath, &m_nVideoFormat);
    if (SUCCEEDED(hr)) hr = PauseGraph();
    if (SUCCEEDED(hr)) {
        m_nPosition = 0;
        hr = SetSeekPosition(0);
    }
    if (SUCCEEDED(hr)) hr = GetSeekDuration(&m_nDuration);
    const bool bOut = m_pHost != nullptr && m_pHost->GetDVMode() == DeviceModeTapeOther;
    if (SUCCEEDED(hr) && bOut) hr = ReconnectDVFilter(TRUE);
    if (FAILED(hr)) {
        ClearGraph();
        return hr;
    }
    m_nState = bOut ? StatePausedOut : StatePaused;
    SetTapeState(TapeLoaded);
    return S_OK;
}

HRESULT PlayGraph::Play() {
    if (m_nState != StatePaused && m_nState != StatePausedOut) return E_FAIL;
    if (m_nPosition >= m_nDuration) {
        // At the end: start again from the beginning.
        if (m_nState == StatePausedOut) ReconnectDVFilter(FALSE);
        m_nPosition = 0;
        SetSeekPosition(0);
        if (m_nState == StatePausedOut) ReconnectDVFilter(TRUE);
    }
    const HRESULT hr = RunGraph();
    if (FAILED(hr)) return hr;
    m_nState = m_nState == StatePausedOut ? StatePlayingOut : StatePlaying;
    StartGraphTimer();
    SetTapeState(TapePlaying);
    return S_OK;
}

HRESULT PlayGraph::Pause() {
    if (m_nState != StatePlaying && m_nState != StatePlayingOut) return E_FAIL;
    const HRESULT hr = PauseGraph();
    if (FAILED(hr)) return hr;
    m_nState = m_nState == StatePlayingOut ? StatePausedOut : StatePaused;
    SetTapeState(TapeLoaded);
    return S_OK;
}

HRESULT PlayGraph::SeekToFrame(int nFrame) {
    const bool bRunning = m_nState == StatePlaying || m_nState == StatePlayingOut;
    const bool bOut = m_nState == StatePlayingOut || m_nState == StatePausedOut;
    if (bRunning) PauseGraph();
    if (bOut) ReconnectDVFilter(FALSE);
    m_nPosition = std::min<LONGLONG>(static_cast<LONGLONG>(nFrame) * HundredSecondsInUnits / FrameRate(), m_nDuration);
    HRESULT hr = SetSeekPosition(m_nPosition);
    if (bOut) ReconnectDVFilter(TRUE);
    if (bRunning) {
        hr = RunGraph();
        if (m_nPosition >= m_nDuration) {
            m_nPosition = m_nDuration;
            Notify(EventPlayComplete);
        }
    }
    return hr;
}

HRESULT PlayGraph::SeekToTimeCode(int nHours, int nMinutes, int nSeconds, int nFrames) {
    return SeekToFrame(static_cast<int>(TimecodeToFrame(m_nVideoFormat, nHours, nMinutes, nSeconds, nFrames)));
}

int PlayGraph::GetCurrentFrame() {
    if (m_nState == StateNoFile) return 0;
    LONGLONG nPosition = 0;
    if (FAILED(GetSeekPosition(&nPosition))) return 0;
    return FrameAt(nPosition);
}

int PlayGraph::FrameAt(LONGLONG nPosition) {
    return static_cast<int>(std::ceil(static_cast<double>(nPosition) * static_cast<double>(FrameRate()) / static_cast<double>(HundredSecondsInUnits)));
}

Timecode PlayGraph::GetCurrentTimeCode() {
    return FrameToTimecode(m_nVideoFormat, GetCurrentFrame());
}

// ---- the camcorder as a second output ---------------------------------------------------------
HRESULT PlayGraph::SyncWithDVMode() {
    if (!m_bActive || m_pHost == nullptr) return S_OK;
    const bool bMode3 = m_pHost->GetDVMode() == DeviceModeTapeOther;
    HRESULT hr = S_OK;
    if (bMode3 && (m_nState == StatePlaying || m_nState == StatePaused)) {
        hr = ReconnectDVFilter(TRUE);
        m_nState = m_nState == StatePlaying ? StatePlayingOut : StatePausedOut;
    } else if (!bMode3 && (m_nState == StatePlayingOut || m_nState == StatePausedOut)) {
        hr = ReconnectDVFilter(FALSE);
        m_nState = m_nState == StatePlayingOut ? StatePlaying : StatePaused;
    }
    return hr;
}

HRESULT PlayGraph::ReconnectDVFilter(BOOL bConnect) {
    if (GetDebugIniInt(L"UsePlayback", 0) == 0) return S_OK;
    HRESULT hr = GetSeekPosition(&m_nPosition);
    if (TRACE_FAILED_HR(hr, "GetSeekPosition")) return hr;
    MediaPtr<IMediaControl> spControl;
    hr = m_spGraph->QueryInterface(IID_IMediaControl, spControl.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    OAFilterState state = State_Stopped;
    hr = spControl->GetState(INFINITE, &state);
    if (TRACE_FAILED_HR(hr, "GetState")) return hr;
    hr = StopGraph();
    if (TRACE_FAILED_HR(hr, "StopGraph")) return hr;
    if (m_nFileType == 1) {
        hr = ChangePlayGraphForType1(bConnect);
        if (TRACE_FAILED_HR(hr, "ChangePlayGraphForType1")) return hr;
    } else if (m_nFileType == 2) {
        hr = ChangePlayGraphForType2(bConnect);
        if (TRACE_FAILED_HR(hr, "ChangePlayGraphForType2")) return hr;
    }
    if (state == State_Running) return RunGraph();
    if (state == State_Paused) return PauseGraph();
    return S_OK;
}

HRESULT PlayGraph::AddDVFilter(MediaPtr<IBaseFilter>& spDV, const char* pszName) {
    devices::ComPtr<devices::IBaseFilter> spDevice = m_pHost ? m_pHost->GetDVFilter() : devices::ComPtr<devices::IBaseFilter>();
    if (TRACE_NULL(spDevice.Get(), pszName)) return E_FAIL;
    HRESULT hr = CreateDVDeviceFilter(spDevice.Get(), &spDV);
    if (TRACE_FAILED_HR(hr, "CreateDVDeviceFilter")) return hr;
    hr = m_spGraph->AddFilter(spDV.Get(), L"MSDV");
    TRACE_FAILED_HR(hr, "AddFilter");
    return hr;
}

HRESULT PlayGraph::ChangePlayGraphForType1(BOOL bConnect) {
    Type1Filters& f = m_t1f;
    if (bConnect) {
        SetSeekPosition(m_nPosition);
        HRESULT hr = AddDVFilter(f.spDV, "m_t1f.spDV");
        if (FAILED(hr)) return hr;
        hr = ConnectFilter(m_spGraph.Get(), f.spInfTee.Get(), 1, f.spDV.Get(), 0);
        TRACE_FAILED_HR(hr, "ConnectFilter");
        return hr;
    }
    if (MediaPtr<IPin> spPin = GetOutPin(f.spInfTee.Get(), 1)) DisconnectPin(m_spGraph.Get(), spPin.Get());
    if (f.spDV) m_spGraph->RemoveFilter(f.spDV.Get());
    f.spDV.Release();
    SetSeekPosition(m_nPosition);
    return S_OK;
}

HRESULT PlayGraph::ChangePlayGraphForType2(BOOL bConnect) {
    Type2Filters& f = m_t2f;
    IGraphBuilder* pGraph = m_spGraph.Get();
    if (bConnect) {
        SetSeekPosition(m_nPosition);
        for (int n : {0, 1})
            if (MediaPtr<IPin> spPin = GetOutPin(f.spSplitter.Get(), n)) DisconnectPin(pGraph, spPin.Get());
        HRESULT hr = AddDVFilter(f.spDV, "m_t2f.spDV");
        if (FAILED(hr)) return hr;
        const std::tuple<IBaseFilter*, int, IBaseFilter*, int> links[] = {
            {f.spSplitter.Get(), 0, f.spDvMux.Get(), 0},      {f.spSplitter.Get(), 1, f.spDvMux.Get(), 1},
            {f.spDvMux.Get(), 0, f.spInfTee.Get(), 0},        {f.spInfTee.Get(), 0, f.spDvSplitter.Get(), 0},
            {f.spDvSplitter.Get(), 0, f.spGrabber.Get(), 0}};
        for (const auto& [pOut, nOut, pIn, nIn] : links) {
            hr = ConnectFilter(pGraph, pOut, nOut, pIn, nIn);
            if (TRACE_FAILED_HR(hr, "ConnectFilter")) return hr;
        }
        if (f.spSound) ConnectFilter(pGraph, f.spDvSplitter.Get(), 1, f.spSound.Get(), 0);
        hr = ConnectFilter(pGraph, f.spInfTee.Get(), 1, f.spDV.Get(), 0);
        TRACE_FAILED_HR(hr, "ConnectFilter");
        return hr;
    }
    for (auto [pFilter, n] : {std::pair{f.spSplitter.Get(), 0}, std::pair{f.spSplitter.Get(), 1}, std::pair{f.spDvMux.Get(), 0},
                              std::pair{f.spInfTee.Get(), 0}, std::pair{f.spInfTee.Get(), 1}, std::pair{f.spDvSplitter.Get(), 0},
                              std::pair{f.spDvSplitter.Get(), 1}})
        if (MediaPtr<IPin> spPin = GetOutPin(pFilter, n)) DisconnectPin(pGraph, spPin.Get());
    if (f.spDV) pGraph->RemoveFilter(f.spDV.Get());
    f.spDV.Release();
    // A fresh sound renderer for the file's own audio stream.
    if (f.spSound) pGraph->RemoveFilter(f.spSound.Get());
    f.spSound.Release();
    CreateAndAddFilter(pGraph, CLSID_DSoundRender, &f.spSound, L"Sound");
    HRESULT hr = ConnectFilter(pGraph, f.spSplitter.Get(), 0, f.spGrabber.Get(), 0);
    TRACE_FAILED_HR(hr, "ConnectFilter");
    if (f.spSound) ConnectFilter(pGraph, f.spSplitter.Get(), 1, f.spSound.Get(), 0);
    SetSeekPosition(m_nPosition);
    return hr;
}

HRESULT PlayGraph::ClearGraph() {
    ShowPreviewWindow(FALSE);
    StopGraph();
    const HRESULT hr = RemoveAllFilter(m_spGraph.Get());
    m_t1f = Type1Filters{};
    m_t2f = Type2Filters{};
    m_nPosition = 0;
    m_nVideoFormat = 0;
    m_nState = StateNoFile;
    SetTapeState(TapeLoaded);
    return hr;
}

// ---- hooks --------------------------------------------------------------------------------------
// The position is read at every tick; the owner hears of it when it has reached another frame,
// as nothing it shows changes in between (a tick is 10 ms, a frame 33 or 40 ms).
void PlayGraph::OnGraphTimer() {
    if (m_nState != StatePlaying && m_nState != StatePlayingOut) {
        m_nNotifiedFrame = -1;
        return;
    }
    if (FAILED(GetSeekPosition(&m_nPosition))) return;
    const int nFrame = FrameAt(m_nPosition);
    if (nFrame == m_nNotifiedFrame) return;
    m_nNotifiedFrame = nFrame;
    Notify(EventPlayPosition);
}

LRESULT PlayGraph::OnGraphNotify(WPARAM, LPARAM) {
    if (!m_spMediaEvent) return 0;
    long nCode = 0;
    LONG_PTR nParam1 = 0, nParam2 = 0;
    while (m_spMediaEvent->GetEvent(&nCode, &nParam1, &nParam2, 0) == S_OK) {
        if (nCode == EC_COMPLETE) {
            m_nPosition = m_nDuration;
            Notify(EventPlayComplete);
        } else if (nCode == EC_REPAINT && m_spMediaSeeking) {
            // Setting the current position again shows its picture again.
            LONGLONG nPosition = 0;
            if (SUCCEEDED(m_spMediaSeeking->GetCurrentPosition(&nPosition)))
                m_spMediaSeeking->SetPositions(&nPosition, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        }
        m_spMediaEvent->FreeEventParams(nCode, nParam1, nParam2);
    }
    return 0;
}
