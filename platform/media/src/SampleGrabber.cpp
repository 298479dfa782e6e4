// The sample grabber: passes every sample through unchanged and first shows its buffer to the
// callback, on the streaming thread that delivers it.
#include "Engine.h"

namespace media {
namespace {

constexpr long CallBufferCB = 1;

class SampleGrabber final : public FilterBase, public ISampleGrabber {
public:
    SampleGrabber() : FilterBase(CLSID_SampleGrabber) {
        AddPin(PINDIR_INPUT);
        AddPin(PINDIR_OUTPUT);
    }
    MEDIA_FILTER_IUNKNOWN

    HRESULT STDMETHODCALLTYPE SetOneShot(BOOL OneShot) override {
        m_bOneShot = OneShot != FALSE;
        return S_OK;
    }
    // Samples are never kept: the program reads them in the callback.
    HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL BufferThem) override { return BufferThem ? E_NOTIMPL : S_OK; }
    HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB* pCallback, long WhichMethodToCallback) override {
        if (pCallback != nullptr && WhichMethodToCallback != CallBufferCB) return E_NOTIMPL;
        m_pCallback = pCallback;  // not counted, as the program's callbacks expect
        return S_OK;
    }

    HRESULT CheckInputType(int, const MediaType&) override { return S_OK; }
    HRESULT GetOutputType(int, MediaType& mt) override {
        const Pin* pIn = FindPin(PINDIR_INPUT, 0);
        if (!pIn->IsConnected()) return VFW_E_NOT_CONNECTED;
        mt = pIn->Type();
        return S_OK;
    }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        if (m_bOneShot && m_bShotTaken.exchange(true)) return S_FALSE;
        if (ISampleGrabberCB* pCallback = m_pCallback.load()) {
            pCallback->BufferCB(static_cast<double>(sample.rtStart) / UnitsPerSecond, const_cast<BYTE*>(sample.pData),
                                static_cast<long>(sample.nSize));
        }
        const Pin* pOut = FindPin(PINDIR_OUTPUT, 0);
        const HRESULT hr = pOut->IsConnected() ? pOut->Deliver(sample) : S_OK;
        if (m_bOneShot) pOut->DeliverEndOfStream();
        return hr;
    }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_ISampleGrabber)) return static_cast<ISampleGrabber*>(this);
        return nullptr;
    }
    HRESULT OnPause(FILTER_STATE from) override {
        if (from == State_Stopped) m_bShotTaken = false;
        return S_OK;
    }

private:
    std::atomic<ISampleGrabberCB*> m_pCallback{nullptr};
    std::atomic<bool> m_bOneShot{false};
    std::atomic<bool> m_bShotTaken{false};
};

}  // namespace

FilterBase* NewSampleGrabber() {
    return new SampleGrabber();
}

}  // namespace media
