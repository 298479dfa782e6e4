// The engine's inner shapes: reference counting, media types, samples, pins and the filter base
// that every filter of the engine derives from, and the graph's face towards its filters.
#pragma once

#include "media/Interfaces.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace media {

// ---- media types and samples ---------------------------------------------------------------
struct MediaType {
    GUID major = GUID_NULL;
    GUID sub = GUID_NULL;
    GUID format = GUID_NULL;
    std::vector<uint8_t> vecFormat;

    bool IsA(const GUID& majorType, const GUID& subType) const;
    // The video-info block, or null when the type has none.
    const VIDEOINFOHEADER* VideoInfo() const;
    const WAVEFORMATEX* WaveFormat() const;
};

// DV video and interleaved DV carry a video-info block with 720 x 480 or 576 and 'dvsd'. When
// the source knows the rate of the stream's audio (48000, 44100 or 32000 Hz), a DVINFO follows
// the block whose AAUX source pack names it, so that the DV splitter's audio output can take the
// stream's own rate when it connects.
MediaType MakeDVType(const GUID& major, bool b625Lines, DWORD nAudioRate = 0);
bool IsDVType(const MediaType& mt, const GUID& major);
bool DVTypeIs625(const MediaType& mt);
// The audio rate a DV type names; 0 when it names none.
DWORD DVTypeAudioRate(const MediaType& mt);
MediaType MakePcmType(DWORD nSamplesPerSec, WORD nChannels);
MediaType MakeRgb24Type(int nWidth, int nHeight, REFERENCE_TIME rtFrame);
// Bytes of a bottom-up 24-bit row padded to four bytes.
inline int Rgb24Stride(int nWidth) { return (nWidth * 3 + 3) & ~3; }
// Copies a media type out to a caller's AM_MEDIA_TYPE (format block with CoTaskMemAlloc).
HRESULT CopyToAmMediaType(const MediaType& mt, AM_MEDIA_TYPE* pOut);

constexpr REFERENCE_TIME FramePeriod525 = 333667;  // 1001/30000 s
constexpr REFERENCE_TIME FramePeriod625 = 400000;  // 1/25 s

struct Sample {
    const uint8_t* pData = nullptr;
    size_t nSize = 0;
    REFERENCE_TIME rtStart = 0;    // stream time of the sample
    REFERENCE_TIME rtStop = 0;
    int64_t nMediaTime = -1;       // frame number at the source, -1 when none
    bool bDiscontinuity = false;   // first sample after a start, a resume or a seek
};

// ---- reference counting ---------------------------------------------------------------------
class RefCount {
public:
    ULONG Add() { return static_cast<ULONG>(++m_nRef); }
    ULONG Drop() { return static_cast<ULONG>(--m_nRef); }
private:
    std::atomic<LONG> m_nRef{1};
};

template <typename I>
HRESULT HandOut(I* p, void** ppv) {
    p->AddRef();
    *ppv = p;
    return S_OK;
}

// An enumerator over a snapshot of items (pins, filters), each held with a reference while the
// enumerator lives, so that the items outlast changes to the collection they came from.
template <typename IEnum, typename Item>
class ComEnumerator final : public IEnum {
public:
    ComEnumerator(REFIID iidEnum, std::vector<Item*> vecItems) : m_iid(iidEnum), m_vecItems(std::move(vecItems)) {
        for (Item* p : m_vecItems) p->AddRef();
    }
    ~ComEnumerator() {
        for (Item* p : m_vecItems) p->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, m_iid)) return HandOut(static_cast<IEnum*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_ref.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = m_ref.Drop();
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG cItems, Item** ppItems, ULONG* pcFetched) override {
        if (ppItems == nullptr) return E_POINTER;
        ULONG n = 0;
        while (n < cItems && m_nNext < m_vecItems.size()) {
            ppItems[n] = m_vecItems[m_nNext++];
            ppItems[n]->AddRef();
            ++n;
        }
        if (pcFetched) *pcFetched = n;
        return n == cItems ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_nNext = 0;
        return S_OK;
    }

private:
    RefCount m_ref;
    const IID m_iid;
    std::vector<Item*> m_vecItems;
    size_t m_nNext = 0;
};

class FilterBase;

// What a filter may ask of the graph it is in. Safe to call from streaming threads.
class GraphSite {
public:
    virtual void PostGraphEvent(long nCode, LONG_PTR nParam1, LONG_PTR nParam2) = 0;
    virtual void ReportEndOfStream(FilterBase* pFilter) = 0;
    virtual REFERENCE_TIME ClockNow() const = 0;
    virtual bool IsLiveGraph() const = 0;
protected:
    ~GraphSite() = default;
};

// ---- pins -------------------------------------------------------------------------------------
class Pin final : public IPin {
public:
    Pin(FilterBase& filter, PIN_DIRECTION dir, int nIndex) : m_filter(filter), m_dir(dir), m_nIndex(nIndex) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** ppPin) override;
    HRESULT STDMETHODCALLTYPE QueryFilter(IBaseFilter** ppFilter) override;

    FilterBase& Filter() const { return m_filter; }
    PIN_DIRECTION Direction() const { return m_dir; }
    int Index() const { return m_nIndex; }
    Pin* Peer() const { return m_pPeer; }
    bool IsConnected() const { return m_pPeer != nullptr; }
    const MediaType& Type() const { return m_mt; }

    // Output side: hands a sample, an end of stream or a flush to the connected input.
    HRESULT Deliver(const Sample& sample) const;
    void DeliverEndOfStream() const;
    void DeliverBeginFlush() const;
    void DeliverEndFlush() const;

private:
    friend class FilterGraph;
    FilterBase& m_filter;
    const PIN_DIRECTION m_dir;
    const int m_nIndex;
    Pin* m_pPeer = nullptr;  // not counted: the graph disconnects pins before it lets go of filters
    MediaType m_mt;
};

// ---- filters ----------------------------------------------------------------------------------
class FilterBase : public IBaseFilter {
public:
    explicit FilterBase(const CLSID& clsid) : m_clsid(clsid) {}
    virtual ~FilterBase();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return m_ref.Add(); }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* pState) override;
    HRESULT STDMETHODCALLTYPE QueryFilterName(WCHAR* pszName, ULONG cchName) override;

    // Connection, asked by the graph while everything is stopped.
    virtual HRESULT CheckInputType(int nInput, const MediaType& mt) = 0;
    virtual HRESULT GetOutputType(int nOutput, MediaType& mt);
    virtual HRESULT OnConnected(Pin& pin);
    virtual void OnDisconnected(Pin& pin);

    // Streaming, on the thread that delivers.
    virtual HRESULT Receive(int nInput, const Sample& sample) = 0;
    virtual void EndOfStream(int nInput);
    virtual void BeginFlush(int nInput);
    virtual void EndFlush(int nInput);

    // State changes, from the graph. Pause and Run go downstream first; on Stop the graph first
    // calls BeginStop on every filter (nothing may block after it), then Stop upstream first.
    HRESULT Pause();
    HRESULT Run(REFERENCE_TIME tStart);
    void BeginStop();
    void Stop();
    void SetStreamStart(REFERENCE_TIME tStart) { m_tStart = tStart; }
    FILTER_STATE State() const { return m_state.load(); }

    // A renderer ends a stream: the graph completes when every connected renderer has.
    virtual bool IsRenderer() const { return false; }
    // A live source: renderers of its graph show samples as they arrive.
    virtual bool IsLiveSource() const { return false; }
    // False while a sample reaching this filter would change nothing anyone sees or keeps (a live
    // graph's renderer whose window is off the screen): the filter upstream may spare its work.
    virtual bool WantsSamples() const { return true; }

    void JoinGraph(GraphSite* pSite, const std::wstring& strName);
    const std::wstring& Name() const { return m_strName; }
    const std::vector<Pin*>& Pins() const { return m_vecPins; }
    Pin* FindPin(PIN_DIRECTION dir, int nIndex) const;
    int PinCount(PIN_DIRECTION dir) const;
    bool AnyInputConnected() const;

protected:
    // Further interfaces of the filter (not counted; QueryInterface adds the reference).
    virtual void* GetInterface(REFIID riid) { (void)riid; return nullptr; }
    virtual HRESULT OnPause(FILTER_STATE from);
    virtual HRESULT OnRun(REFERENCE_TIME tStart);
    virtual void OnBeginStop() {}
    virtual void OnStop() {}

    Pin& AddPin(PIN_DIRECTION dir);
    bool IsStreaming() const { return m_state.load() != State_Stopped && !m_bFlushing.load(); }
    // Stream time now (0 while the graph holds no clock).
    REFERENCE_TIME StreamTimeNow() const;
    // Waits until the stream time reaches rtTime while running; false when stopped or flushed
    // in the meantime. Waits without end while paused.
    bool WaitForStreamTime(REFERENCE_TIME rtTime);
    void WakeWaiters();
    void DeliverToAll(const Sample& sample);

    GraphSite* m_pSite = nullptr;
    std::mutex m_mtxWait;
    std::condition_variable m_cvWait;
    std::atomic<bool> m_bFlushing{false};
    std::atomic<REFERENCE_TIME> m_tStart{0};

private:
    RefCount m_ref;
    const CLSID m_clsid;
    std::wstring m_strName;
    std::vector<Pin*> m_vecPins;
    std::atomic<FILTER_STATE> m_state{State_Stopped};
};

// Forwards the IUnknown of a further interface of a filter to the filter's own.
#define MEDIA_FILTER_IUNKNOWN                                                                        \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {                     \
        return FilterBase::QueryInterface(riid, ppv);                                                \
    }                                                                                                \
    ULONG STDMETHODCALLTYPE AddRef() override { return FilterBase::AddRef(); }                       \
    ULONG STDMETHODCALLTYPE Release() override { return FilterBase::Release(); }

// A filter that reads a file and can start at any position (the AVI splitter).
class SeekSource {
public:
    virtual REFERENCE_TIME Duration() const = 0;
    // Moves the start; while streaming, flushes downstream and restarts there.
    virtual HRESULT SeekTo(REFERENCE_TIME rtPosition) = 0;
protected:
    ~SeekSource() = default;
};

// Filters in their own files.
FilterBase* NewSampleGrabber();
FilterBase* NewSmartTee();
FilterBase* NewInfTee();
FilterBase* NewVideoRenderer();
HRESULT NewSoundRenderer(FilterBase** ppFilter);
FilterBase* NewFileWriter();
FilterBase* NewDVSplitter();
FilterBase* NewDVMuxer();
FilterBase* NewDVDecoder();
FilterBase* NewAviMux();
FilterBase* NewFileSource();
FilterBase* NewAviSplitter();
IUnknown* NewFilterGraph();
IUnknown* NewCaptureGraphBuilder();
IUnknown* NewMediaDet();

}  // namespace media
