// The camcorder's DV driver filter as a filter of this engine. Output 0 carries the DV video and
// output 1 the interleaved DV of the camcorder's stream while the graph runs; input 0 takes
// frames towards the camcorder. Samples carry the source's frame numbers, so that the frames the
// bus lost show as gaps downstream, and a stream time counted from those numbers.
#include "Engine.h"

#include "devices/ComPtr.h"
#include "devices/DVStreamSource.h"
#include "devices/DeviceTypes.h"

#include <map>
#include <mutex>

namespace media {
namespace {

constexpr int VideoOutput = 0;
constexpr int InterleavedOutput = 1;
constexpr ULONG FrameBytes625 = 144000;

// The filter that feeds on each camcorder stream now: a filter made for the same camcorder later
// takes the stream over, and the one it replaced must then leave the stream running when it stops.
class StreamProducers {
public:
    static void Claim(devices::IDVStreamSource* pSource, const void* pFilter) {
        std::lock_guard lock(Mutex());
        Map()[pSource] = pFilter;
    }
    // True when the filter still held the stream; it holds it no longer.
    static bool Release(devices::IDVStreamSource* pSource, const void* pFilter) {
        std::lock_guard lock(Mutex());
        const auto found = Map().find(pSource);
        if (found == Map().end() || found->second != pFilter) return false;
        Map().erase(found);
        return true;
    }

private:
    static std::mutex& Mutex() {
        static std::mutex s_mutex;
        return s_mutex;
    }
    static std::map<devices::IDVStreamSource*, const void*>& Map() {
        static std::map<devices::IDVStreamSource*, const void*> s_map;
        return s_map;
    }
};

class DVDeviceFilter final : public FilterBase, public IAMDroppedFrames, public devices::IDVFrameSink {
public:
    DVDeviceFilter(IUnknown* pDevice, devices::IDVStreamSource* pSource) : FilterBase(GUID_NULL), m_spDevice(pDevice), m_spSource(pSource) {
        AddPin(PINDIR_OUTPUT);  // DV video
        AddPin(PINDIR_OUTPUT);  // interleaved DV
        AddPin(PINDIR_INPUT);   // interleaved DV towards the camcorder
    }
    // The camcorder's stream source is shared by every filter made for the camcorder (the record
    // preview's and the play graph's output to the camcorder): a filter stops it only while it is
    // the one the stream feeds.
    ~DVDeviceFilter() override { StopProducing(); }
    // The device's own interfaces (external device and transport) come from the driver's object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        const HRESULT hr = FilterBase::QueryInterface(riid, ppv);
        if (SUCCEEDED(hr) || ppv == nullptr) return hr;
        return m_spDevice->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FilterBase::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return FilterBase::Release(); }

    // ---- IAMDroppedFrames: counted from the start of this graph's run ----
    HRESULT STDMETHODCALLTYPE GetNumDropped(long* plDropped) override {
        if (plDropped == nullptr) return E_POINTER;
        LONG lNow = 0;
        const HRESULT hr = m_spSource->GetNumDropped(&lNow);
        if (FAILED(hr)) return hr;
        *plDropped = lNow - m_lDroppedBase;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNumNotDropped(long* plNotDropped) override {
        if (plNotDropped == nullptr) return E_POINTER;
        *plNotDropped = m_lDelivered.load();
        return S_OK;
    }

    // ---- filter ----
    HRESULT CheckInputType(int, const MediaType& mt) override {
        return IsDVType(mt, MEDIATYPE_Interleaved) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetOutputType(int nOutput, MediaType& mt) override {
        ULONG nBytes = 0;
        const HRESULT hr = m_spSource->GetFrameSize(&nBytes);
        if (FAILED(hr)) return hr;  // the camcorder is gone
        if (nOutput == VideoOutput) {
            mt = MakeDVType(MEDIATYPE_Video, nBytes == FrameBytes625);
            return S_OK;
        }
        // The interleaved stream names the rate the camcorder's sound has now.
        ULONG nRate = 0;
        if (FAILED(m_spSource->GetAudioRate(&nRate))) nRate = 0;
        mt = MakeDVType(MEDIATYPE_Interleaved, nBytes == FrameBytes625, nRate);
        return S_OK;
    }
    bool IsLiveSource() const override { return true; }
    bool IsRenderer() const override { return FindPin(PINDIR_INPUT, 0)->IsConnected(); }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        return m_spSource->ReceiveFrame(sample.pData, sample.nSize);
    }
    void EndOfStream(int) override {
        if (m_pSite && IsStreaming()) m_pSite->ReportEndOfStream(this);
    }

    // ---- frames from the camcorder, on the bus's streaming thread ----
    void OnDVFrame(const uint8_t* pFrame, size_t nBytes, uint64_t nFrameNumber) override {
        if (State() != State_Running) {
            m_bRestart = true;  // a paused live source delivers nothing; the next frame starts anew
            return;
        }
        const REFERENCE_TIME rtPeriod = nBytes == FrameBytes625 ? FramePeriod625 : FramePeriod525;
        Sample sample;
        sample.pData = pFrame;
        sample.nSize = nBytes;
        sample.nMediaTime = static_cast<int64_t>(nFrameNumber);
        if (m_bRestart.exchange(false)) {
            sample.bDiscontinuity = true;
            m_rtBase = std::max<REFERENCE_TIME>(0, StreamTimeNow());
            m_nBaseFrame = nFrameNumber;
        }
        sample.rtStart = m_rtBase + static_cast<REFERENCE_TIME>(nFrameNumber - m_nBaseFrame) * rtPeriod;
        sample.rtStop = sample.rtStart + rtPeriod;
        ++m_lDelivered;
        for (int nOutput : {InterleavedOutput, VideoOutput}) {
            const Pin* pOut = FindPin(PINDIR_OUTPUT, nOutput);
            if (pOut->IsConnected()) pOut->Deliver(sample);
        }
    }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_IAMDroppedFrames)) return static_cast<IAMDroppedFrames*>(this);
        return nullptr;
    }
    HRESULT OnPause(FILTER_STATE from) override {
        if (from != State_Stopped) return S_OK;
        m_bRestart = true;
        m_lDelivered = 0;
        LONG lDropped = 0;
        m_spSource->GetNumDropped(&lDropped);
        m_lDroppedBase = lDropped;
        // A filter that only takes frames towards the camcorder makes none.
        if (!FindPin(PINDIR_OUTPUT, VideoOutput)->IsConnected() && !FindPin(PINDIR_OUTPUT, InterleavedOutput)->IsConnected()) return S_OK;
        StreamProducers::Claim(m_spSource.Get(), this);
        m_spSource->SetFrameSink(this);
        return m_spSource->StartStreaming();
    }
    void OnStop() override { StopProducing(); }

private:
    void StopProducing() {
        if (!StreamProducers::Release(m_spSource.Get(), this)) return;
        m_spSource->StopStreaming();
        m_spSource->SetFrameSink(nullptr);
    }

    devices::ComPtr<IUnknown> m_spDevice;
    devices::ComPtr<devices::IDVStreamSource> m_spSource;
    std::atomic<bool> m_bRestart{true};
    REFERENCE_TIME m_rtBase = 0;
    uint64_t m_nBaseFrame = 0;
    std::atomic<long> m_lDroppedBase{0};
    std::atomic<long> m_lDelivered{0};
};

}  // namespace

HRESULT CreateDVDeviceFilter(IUnknown* pDeviceFilter, IBaseFilter** ppFilter) {
    if (ppFilter == nullptr) return E_POINTER;
    *ppFilter = nullptr;
    if (pDeviceFilter == nullptr) return E_POINTER;
    devices::ComPtr<devices::IDVStreamSource> spSource;
    const HRESULT hr = pDeviceFilter->QueryInterface(devices::IID_IDVStreamSource, spSource.AsVoid());
    if (FAILED(hr)) return hr;
    *ppFilter = new DVDeviceFilter(pDeviceFilter, spSource.Get());
    return S_OK;
}

}  // namespace media
