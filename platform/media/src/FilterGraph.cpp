// The filter graph: filters and their connections, Run / Pause / Stop on a reference clock, the
// event queue posted to the notify window, seeking through the file source of the graph, and the
// video window and audio volume of its renderers.
#include "Engine.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <set>

namespace media {
namespace {

constexpr REFERENCE_TIME UnitsPerMicrosecond = 10;

struct GraphEvent {
    long nCode;
    LONG_PTR nParam1;
    LONG_PTR nParam2;
};

}  // namespace

class FilterGraph final : public IGraphBuilder, public IMediaControl, public IMediaEventEx, public IMediaSeeking,
                          public IVideoWindow, public IBasicAudio, public IMediaEventSink, public GraphSite {
public:
    FilterGraph() = default;
    ~FilterGraph() {
        Stop();
        while (!m_vecFilters.empty()) RemoveFilter(m_vecFilters.back());
    }

    // ---- IUnknown ----
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IGraphBuilder) || IsEqualGUID(riid, IID_IFilterGraph))
            return HandOut(static_cast<IGraphBuilder*>(this), ppv);
        if (IsEqualGUID(riid, IID_IMediaControl)) return HandOut(static_cast<IMediaControl*>(this), ppv);
        if (IsEqualGUID(riid, IID_IMediaEventEx) || IsEqualGUID(riid, IID_IMediaEvent)) return HandOut(static_cast<IMediaEventEx*>(this), ppv);
        if (IsEqualGUID(riid, IID_IMediaSeeking)) return HandOut(static_cast<IMediaSeeking*>(this), ppv);
        if (IsEqualGUID(riid, IID_IVideoWindow)) return HandOut(static_cast<IVideoWindow*>(this), ppv);
        if (IsEqualGUID(riid, IID_IBasicAudio)) return HandOut(static_cast<IBasicAudio*>(this), ppv);
        if (IsEqualGUID(riid, IID_IMediaEventSink)) return HandOut(static_cast<IMediaEventSink*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_ref.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = m_ref.Drop();
        if (n == 0) delete this;
        return n;
    }

    // ---- IFilterGraph ----
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override {
        if (pFilter == nullptr) return E_POINTER;
        FilterBase* pBase = dynamic_cast<FilterBase*>(pFilter);
        if (pBase == nullptr) return E_INVALIDARG;  // only the engine's own filters take part
        std::lock_guard lock(m_mtx);
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        if (std::find(m_vecFilters.begin(), m_vecFilters.end(), pBase) != m_vecFilters.end()) return VFW_E_DUPLICATE_NAME;
        std::wstring strName = pName ? pName : L"";
        // Names are unique in a graph: a taken name gets " 0001", " 0002" ... as the host does.
        for (int n = 1; FindByName(strName) != nullptr; ++n) {
            wchar_t szSuffix[16];
            swprintf(szSuffix, 16, L" %04d", n);
            strName = (pName ? pName : L"") + std::wstring(szSuffix);
        }
        pBase->AddRef();
        pBase->JoinGraph(this, strName);
        m_vecFilters.push_back(pBase);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) override {
        FilterBase* pBase = dynamic_cast<FilterBase*>(pFilter);
        std::lock_guard lock(m_mtx);
        auto it = std::find(m_vecFilters.begin(), m_vecFilters.end(), pBase);
        if (pBase == nullptr || it == m_vecFilters.end()) return VFW_E_NOT_FOUND;
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        // Both sides of every connection of the filter, also those whose other side already let go.
        for (Pin* pPin : pBase->Pins()) BreakConnection(pPin);
        for (FilterBase* pOther : m_vecFilters)
            for (Pin* pPin : pOther->Pins())
                if (pPin->m_pPeer != nullptr && &pPin->m_pPeer->Filter() == pBase) BreakConnection(pPin);
        m_vecFilters.erase(it);
        pBase->JoinGraph(nullptr, L"");
        pBase->Release();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters** ppEnum) override {
        if (ppEnum == nullptr) return E_POINTER;
        std::lock_guard lock(m_mtx);
        *ppEnum = new ComEnumerator<IEnumFilters, IBaseFilter>(IID_IEnumFilters, std::vector<IBaseFilter*>(m_vecFilters.begin(), m_vecFilters.end()));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override {
        if (pName == nullptr || ppFilter == nullptr) return E_POINTER;
        std::lock_guard lock(m_mtx);
        *ppFilter = FindByName(pName);
        if (*ppFilter == nullptr) return VFW_E_NOT_FOUND;
        (*ppFilter)->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override {
        if (ppinOut == nullptr || ppinIn == nullptr) return E_POINTER;
        if (pmt != nullptr) return E_INVALIDARG;  // the output's own type is always the one used
        Pin* pOut = dynamic_cast<Pin*>(ppinOut);
        Pin* pIn = dynamic_cast<Pin*>(ppinIn);
        if (pOut == nullptr || pIn == nullptr) return E_INVALIDARG;
        std::lock_guard lock(m_mtx);
        if (!InGraph(pOut->Filter()) || !InGraph(pIn->Filter())) return VFW_E_NOT_IN_GRAPH;
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        if (pOut->Direction() != PINDIR_OUTPUT || pIn->Direction() != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
        if (pOut->IsConnected() || pIn->IsConnected()) return VFW_E_ALREADY_CONNECTED;
        if (&pOut->Filter() == &pIn->Filter()) return VFW_E_CANNOT_CONNECT;
        MediaType mt;
        HRESULT hr = pOut->Filter().GetOutputType(pOut->Index(), mt);
        if (FAILED(hr)) return hr;
        hr = pIn->Filter().CheckInputType(pIn->Index(), mt);
        if (FAILED(hr)) return VFW_E_TYPE_NOT_ACCEPTED;
        pOut->m_pPeer = pIn;
        pIn->m_pPeer = pOut;
        pOut->m_mt = mt;
        pIn->m_mt = mt;
        hr = pIn->Filter().OnConnected(*pIn);
        if (SUCCEEDED(hr)) {
            hr = pOut->Filter().OnConnected(*pOut);
            if (FAILED(hr)) pIn->Filter().OnDisconnected(*pIn);
        }
        if (FAILED(hr)) {
            pOut->m_pPeer = nullptr;
            pIn->m_pPeer = nullptr;
            return hr;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) override {
        Pin* pPin = dynamic_cast<Pin*>(ppin);
        if (pPin == nullptr) return E_POINTER;
        std::lock_guard lock(m_mtx);
        if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
        if (!pPin->IsConnected()) return S_FALSE;
        // One side at a time, as the host does; a connection with one side broken carries nothing.
        pPin->m_pPeer = nullptr;
        pPin->Filter().OnDisconnected(*pPin);
        return S_OK;
    }

    // ---- IMediaControl ----
    HRESULT STDMETHODCALLTYPE Run() override {
        std::lock_guard lock(m_mtx);
        if (m_state == State_Running) return S_OK;
        if (m_state == State_Stopped) {
            const HRESULT hr = PauseLocked();
            if (FAILED(hr)) return hr;
        }
        const REFERENCE_TIME tStart = ClockNow() - m_rtPausedStream;
        for (FilterBase* pFilter : DownstreamFirst()) {
            const HRESULT hr = pFilter->Run(tStart);
            if (FAILED(hr)) {
                StopLocked();
                return hr;
            }
        }
        m_tStart = tStart;
        m_state = State_Running;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Pause() override {
        std::lock_guard lock(m_mtx);
        return PauseLocked();
    }

    HRESULT STDMETHODCALLTYPE Stop() override {
        std::lock_guard lock(m_mtx);
        StopLocked();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState* pfs) override {
        if (pfs == nullptr) return E_POINTER;
        std::lock_guard lock(m_mtx);
        *pfs = m_state;
        return S_OK;
    }

    // ---- IMediaEventEx ----
    HRESULT STDMETHODCALLTYPE GetEvent(long* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, long msTimeout) override {
        if (lEventCode == nullptr || lParam1 == nullptr || lParam2 == nullptr) return E_POINTER;
        std::unique_lock lock(m_mtxEvents);
        auto ready = [this] { return !m_queEvents.empty(); };
        if (msTimeout < 0)
            m_cvEvents.wait(lock, ready);
        else if (!m_cvEvents.wait_for(lock, std::chrono::milliseconds(msTimeout), ready))
            return E_ABORT;
        const GraphEvent event = m_queEvents.front();
        m_queEvents.pop_front();
        *lEventCode = event.nCode;
        *lParam1 = event.nParam1;
        *lParam2 = event.nParam2;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, long lMsg, LONG_PTR lInstanceData) override {
        std::lock_guard lock(m_mtxEvents);
        m_hwndNotify = reinterpret_cast<HWND>(hwnd);
        m_nNotifyMsg = static_cast<UINT>(lMsg);
        m_nNotifyInstance = lInstanceData;
        // Events already queued are announced too, so none waits unseen.
        for (size_t n = 0; m_hwndNotify && n < m_queEvents.size(); ++n) ::PostMessageW(m_hwndNotify, m_nNotifyMsg, 0, m_nNotifyInstance);
        return S_OK;
    }

    // ---- IMediaSeeking ----
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* pDuration) override {
        if (pDuration == nullptr) return E_POINTER;
        std::lock_guard lock(m_mtx);
        SeekSource* pSeek = FindSeekSource();
        if (pSeek == nullptr) return E_NOTIMPL;
        *pDuration = pSeek->Duration();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* pCurrent) override {
        if (pCurrent == nullptr) return E_POINTER;
        std::lock_guard lock(m_mtx);
        SeekSource* pSeek = FindSeekSource();
        if (pSeek == nullptr) return E_NOTIMPL;
        *pCurrent = CurrentPositionLocked(*pSeek);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG*, DWORD) override {
        std::lock_guard lock(m_mtx);
        SeekSource* pSeek = FindSeekSource();
        if (pSeek == nullptr) return E_NOTIMPL;
        const DWORD dwHow = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
        if (dwHow == AM_SEEKING_NoPositioning) return S_OK;
        if (pCurrent == nullptr) return E_POINTER;
        REFERENCE_TIME rtTarget = *pCurrent;
        if (dwHow == AM_SEEKING_RelativePositioning) rtTarget += CurrentPositionLocked(*pSeek);
        else if (dwHow != AM_SEEKING_AbsolutePositioning) return E_INVALIDARG;
        rtTarget = std::clamp<REFERENCE_TIME>(rtTarget, 0, pSeek->Duration());
        // Samples after a seek start again at stream time 0.
        const REFERENCE_TIME tStart = ClockNow();
        for (FilterBase* pFilter : m_vecFilters) pFilter->SetStreamStart(tStart);
        {
            std::lock_guard lockEvents(m_mtxEvents);
            m_setEnded.clear();
            m_bCompleted = false;
        }
        const HRESULT hr = pSeek->SeekTo(rtTarget);
        if (FAILED(hr)) return hr;
        m_rtSeekBase = rtTarget;
        m_rtPausedStream = 0;
        if (m_state == State_Running) m_tStart = tStart;
        return S_OK;
    }

    // ---- IVideoWindow: handed to the graph's video renderer ----
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND Owner) override { return OnVideoWindow([&](IVideoWindow* p) { return p->put_Owner(Owner); }); }
    HRESULT STDMETHODCALLTYPE put_MessageDrain(OAHWND Drain) override { return OnVideoWindow([&](IVideoWindow* p) { return p->put_MessageDrain(Drain); }); }
    HRESULT STDMETHODCALLTYPE put_Visible(LONG Visible) override { return OnVideoWindow([&](IVideoWindow* p) { return p->put_Visible(Visible); }); }
    HRESULT STDMETHODCALLTYPE get_Visible(LONG* pVisible) override { return OnVideoWindow([&](IVideoWindow* p) { return p->get_Visible(pVisible); }); }
    HRESULT STDMETHODCALLTYPE put_WindowStyle(LONG WindowStyle) override { return OnVideoWindow([&](IVideoWindow* p) { return p->put_WindowStyle(WindowStyle); }); }
    HRESULT STDMETHODCALLTYPE SetWindowPosition(LONG Left, LONG Top, LONG Width, LONG Height) override {
        return OnVideoWindow([&](IVideoWindow* p) { return p->SetWindowPosition(Left, Top, Width, Height); });
    }
    HRESULT STDMETHODCALLTYPE SetWindowForeground(LONG Focus) override { return OnVideoWindow([&](IVideoWindow* p) { return p->SetWindowForeground(Focus); }); }
    HRESULT STDMETHODCALLTYPE NotifyOwnerMessage(OAHWND hwnd, long uMsg, LONG_PTR wParam, LONG_PTR lParam) override {
        return OnVideoWindow([&](IVideoWindow* p) { return p->NotifyOwnerMessage(hwnd, uMsg, wParam, lParam); });
    }

    // ---- IBasicAudio: handed to the graph's sound renderer ----
    HRESULT STDMETHODCALLTYPE put_Volume(long lVolume) override { return OnBasicAudio([&](IBasicAudio* p) { return p->put_Volume(lVolume); }); }
    HRESULT STDMETHODCALLTYPE get_Volume(long* plVolume) override { return OnBasicAudio([&](IBasicAudio* p) { return p->get_Volume(plVolume); }); }

    // ---- IMediaEventSink ----
    HRESULT STDMETHODCALLTYPE Notify(long lEventCode, LONG_PTR lParam1, LONG_PTR lParam2) override {
        PostGraphEvent(lEventCode, lParam1, lParam2);
        return S_OK;
    }

    // ---- GraphSite ----
    void PostGraphEvent(long nCode, LONG_PTR nParam1, LONG_PTR nParam2) override {
        std::lock_guard lock(m_mtxEvents);
        m_queEvents.push_back(GraphEvent{nCode, nParam1, nParam2});
        m_cvEvents.notify_all();
        if (m_hwndNotify) ::PostMessageW(m_hwndNotify, m_nNotifyMsg, 0, m_nNotifyInstance);
    }

    void ReportEndOfStream(FilterBase* pFilter) override {
        bool bComplete = false;
        {
            std::lock_guard lock(m_mtxEvents);
            m_setEnded.insert(pFilter);
            if (!m_bCompleted && static_cast<int>(m_setEnded.size()) >= m_nRenderers) bComplete = m_bCompleted = true;
        }
        if (bComplete) PostGraphEvent(EC_COMPLETE, S_OK, 0);
    }

    REFERENCE_TIME ClockNow() const override {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::microseconds>(now).count() * UnitsPerMicrosecond;
    }

    bool IsLiveGraph() const override { return m_bLive.load(); }

private:
    FilterBase* FindByName(const std::wstring& strName) const {
        for (FilterBase* pFilter : m_vecFilters)
            if (pFilter->Name() == strName) return pFilter;
        return nullptr;
    }

    bool InGraph(const FilterBase& filter) const {
        return std::find(m_vecFilters.begin(), m_vecFilters.end(), &filter) != m_vecFilters.end();
    }

    void BreakConnection(Pin* pPin) {
        Pin* pPeer = pPin->m_pPeer;
        if (pPeer == nullptr) return;
        pPin->m_pPeer = nullptr;
        if (pPeer->m_pPeer == pPin) pPeer->m_pPeer = nullptr;
        pPin->Filter().OnDisconnected(*pPin);
        pPeer->Filter().OnDisconnected(*pPeer);
    }

    // Filters ordered by their distance from the sources: the longest chain of connections that
    // leads to each. Pause and Run go downstream first so nothing is delivered into a stopped
    // filter; Stop goes upstream first so the sources end before what they feed.
    std::vector<FilterBase*> UpstreamFirst() const {
        std::map<const FilterBase*, int> mapDepth;
        for (FilterBase* pFilter : m_vecFilters) mapDepth[pFilter] = 0;
        for (size_t nPass = 0; nPass < m_vecFilters.size(); ++nPass) {
            bool bChanged = false;
            for (FilterBase* pFilter : m_vecFilters) {
                for (Pin* pPin : pFilter->Pins()) {
                    if (pPin->Direction() != PINDIR_OUTPUT || !pPin->IsConnected()) continue;
                    const FilterBase* pDown = &pPin->Peer()->Filter();
                    if (mapDepth.count(pDown) && mapDepth[pDown] < mapDepth[pFilter] + 1) {
                        mapDepth[pDown] = mapDepth[pFilter] + 1;
                        bChanged = true;
                    }
                }
            }
            if (!bChanged) break;
        }
        std::vector<FilterBase*> vecOrder(m_vecFilters.begin(), m_vecFilters.end());
        std::stable_sort(vecOrder.begin(), vecOrder.end(), [&](FilterBase* a, FilterBase* b) { return mapDepth[a] < mapDepth[b]; });
        return vecOrder;
    }

    std::vector<FilterBase*> DownstreamFirst() const {
        std::vector<FilterBase*> vecOrder = UpstreamFirst();
        std::reverse(vecOrder.begin(), vecOrder.end());
        return vecOrder;
    }

    HRESULT PauseLocked() {
        if (m_state == State_Paused) return S_OK;
        if (m_state == State_Stopped) {
            bool bLive = false;
            int nRenderers = 0;
            for (FilterBase* pFilter : m_vecFilters) {
                bLive = bLive || pFilter->IsLiveSource();
                if (pFilter->IsRenderer() && pFilter->AnyInputConnected()) ++nRenderers;
            }
            m_bLive = bLive;
            {
                std::lock_guard lock(m_mtxEvents);
                m_nRenderers = nRenderers;
                m_setEnded.clear();
                m_bCompleted = false;
            }
        } else {
            m_rtPausedStream = ClockNow() - m_tStart;
        }
        for (FilterBase* pFilter : DownstreamFirst()) pFilter->SetStreamStart(ClockNow() - m_rtPausedStream);
        for (FilterBase* pFilter : DownstreamFirst()) {
            const HRESULT hr = pFilter->Pause();
            if (FAILED(hr)) {
                StopLocked();
                return hr;
            }
        }
        m_state = State_Paused;
        return S_OK;
    }

    void StopLocked() {
        if (m_state == State_Stopped) return;
        SeekSource* pSeek = FindSeekSource();
        const REFERENCE_TIME rtPosition = pSeek ? CurrentPositionLocked(*pSeek) : 0;
        for (FilterBase* pFilter : m_vecFilters) pFilter->BeginStop();
        for (FilterBase* pFilter : UpstreamFirst()) pFilter->Stop();
        m_state = State_Stopped;
        // A stopped file graph starts again where it stood.
        if (pSeek) pSeek->SeekTo(rtPosition);
        m_rtSeekBase = rtPosition;
        m_rtPausedStream = 0;
    }

    SeekSource* FindSeekSource() const {
        for (FilterBase* pFilter : m_vecFilters)
            if (SeekSource* pSeek = dynamic_cast<SeekSource*>(pFilter)) return pSeek;
        return nullptr;
    }

    REFERENCE_TIME CurrentPositionLocked(const SeekSource& seek) const {
        REFERENCE_TIME rtStream = m_rtPausedStream;
        if (m_state == State_Running) rtStream = ClockNow() - m_tStart;
        return std::clamp<REFERENCE_TIME>(m_rtSeekBase + rtStream, 0, seek.Duration());
    }

    template <typename Fn>
    HRESULT OnVideoWindow(Fn&& fn) {
        std::lock_guard lock(m_mtx);
        for (FilterBase* pFilter : m_vecFilters) {
            IVideoWindow* pWindow = nullptr;
            if (SUCCEEDED(pFilter->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&pWindow)))) {
                const HRESULT hr = fn(pWindow);
                pWindow->Release();
                return hr;
            }
        }
        return E_NOINTERFACE;
    }

    template <typename Fn>
    HRESULT OnBasicAudio(Fn&& fn) {
        std::lock_guard lock(m_mtx);
        for (FilterBase* pFilter : m_vecFilters) {
            IBasicAudio* pAudio = nullptr;
            if (SUCCEEDED(pFilter->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&pAudio)))) {
                const HRESULT hr = fn(pAudio);
                pAudio->Release();
                return hr;
            }
        }
        return E_NOTIMPL;
    }

    RefCount m_ref;
    std::recursive_mutex m_mtx;
    std::vector<FilterBase*> m_vecFilters;  // each holds one reference
    FILTER_STATE m_state = State_Stopped;
    REFERENCE_TIME m_tStart = 0;          // clock time of stream time 0 while running
    REFERENCE_TIME m_rtPausedStream = 0;  // stream time reached when paused
    REFERENCE_TIME m_rtSeekBase = 0;      // file position of stream time 0
    std::atomic<bool> m_bLive{false};

    std::mutex m_mtxEvents;
    std::condition_variable m_cvEvents;
    std::deque<GraphEvent> m_queEvents;
    HWND m_hwndNotify = nullptr;
    UINT m_nNotifyMsg = 0;
    LONG_PTR m_nNotifyInstance = 0;
    int m_nRenderers = 0;
    std::set<FilterBase*> m_setEnded;
    bool m_bCompleted = false;
};

IUnknown* NewFilterGraph() {
    return static_cast<IGraphBuilder*>(new FilterGraph());
}

}  // namespace media
