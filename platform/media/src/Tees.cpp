// The two tees. The smart tee hands every sample to its capture output on the delivering thread
// and the latest one to its preview output on a thread of its own, so a slow preview never holds
// up capture (it only misses frames). The infinite pin tee copies its input to every connected
// output and always offers one free output more.
#include "Engine.h"

#include <thread>

namespace media {
namespace {

constexpr int CaptureOutput = 0;
constexpr int PreviewOutput = 1;

class SmartTee final : public FilterBase {
public:
    SmartTee() : FilterBase(CLSID_SmartTee) {
        AddPin(PINDIR_INPUT);
        AddPin(PINDIR_OUTPUT);  // capture
        AddPin(PINDIR_OUTPUT);  // preview
    }
    ~SmartTee() override { StopPreviewThread(); }

    HRESULT CheckInputType(int, const MediaType&) override { return S_OK; }
    HRESULT GetOutputType(int, MediaType& mt) override {
        const Pin* pIn = FindPin(PINDIR_INPUT, 0);
        if (!pIn->IsConnected()) return VFW_E_NOT_CONNECTED;
        mt = pIn->Type();
        return S_OK;
    }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        if (FindPin(PINDIR_OUTPUT, PreviewOutput)->IsConnected()) OfferPreview(sample);
        const Pin* pCapture = FindPin(PINDIR_OUTPUT, CaptureOutput);
        return pCapture->IsConnected() ? pCapture->Deliver(sample) : S_OK;
    }

    void EndOfStream(int) override {
        FindPin(PINDIR_OUTPUT, CaptureOutput)->DeliverEndOfStream();
        std::lock_guard lock(m_mtxPreview);
        m_bPreviewEnd = true;
        m_cvPreview.notify_all();
    }

    void BeginFlush(int nInput) override {
        {
            std::lock_guard lock(m_mtxPreview);
            m_bPreviewFull = false;
        }
        FilterBase::BeginFlush(nInput);
    }

protected:
    HRESULT OnPause(FILTER_STATE from) override {
        if (from == State_Stopped) StartPreviewThread();
        return S_OK;
    }
    void OnBeginStop() override {
        std::lock_guard lock(m_mtxPreview);
        m_bPreviewQuit = true;
        m_cvPreview.notify_all();
    }
    void OnStop() override { StopPreviewThread(); }

private:
    void OfferPreview(const Sample& sample) {
        std::lock_guard lock(m_mtxPreview);
        // A frame the preview had not taken yet is replaced: the preview shows the latest.
        m_vecPreview.assign(sample.pData, sample.pData + sample.nSize);
        m_previewSample = sample;
        m_bPreviewFull = true;
        m_cvPreview.notify_all();
    }

    void StartPreviewThread() {
        StopPreviewThread();
        m_bPreviewQuit = false;
        m_bPreviewEnd = false;
        m_bPreviewFull = false;
        m_threadPreview = std::thread([this] { PreviewLoop(); });
    }

    void StopPreviewThread() {
        {
            std::lock_guard lock(m_mtxPreview);
            m_bPreviewQuit = true;
            m_cvPreview.notify_all();
        }
        if (m_threadPreview.joinable()) m_threadPreview.join();
    }

    void PreviewLoop() {
        std::vector<uint8_t> vecData;
        for (;;) {
            Sample sample;
            {
                std::unique_lock lock(m_mtxPreview);
                m_cvPreview.wait(lock, [this] { return m_bPreviewQuit || m_bPreviewFull || m_bPreviewEnd; });
                if (m_bPreviewQuit) return;
                if (!m_bPreviewFull) {
                    m_bPreviewEnd = false;
                    lock.unlock();
                    FindPin(PINDIR_OUTPUT, PreviewOutput)->DeliverEndOfStream();
                    continue;
                }
                vecData.swap(m_vecPreview);
                sample = m_previewSample;
                m_bPreviewFull = false;
            }
            sample.pData = vecData.data();
            // Preview samples are pictures to show, not the stream's numbered frames: the frames
            // the preview skips are no losses for anything downstream.
            sample.nMediaTime = -1;
            FindPin(PINDIR_OUTPUT, PreviewOutput)->Deliver(sample);
        }
    }

    std::mutex m_mtxPreview;
    std::condition_variable m_cvPreview;
    std::vector<uint8_t> m_vecPreview;
    Sample m_previewSample;
    bool m_bPreviewFull = false;
    bool m_bPreviewEnd = false;
    bool m_bPreviewQuit = false;
    std::thread m_threadPreview;
};

class InfTee final : public FilterBase {
public:
    InfTee() : FilterBase(CLSID_InfTee) {
        AddPin(PINDIR_INPUT);
        AddPin(PINDIR_OUTPUT);
    }

    HRESULT CheckInputType(int, const MediaType&) override { return S_OK; }
    HRESULT GetOutputType(int, MediaType& mt) override {
        const Pin* pIn = FindPin(PINDIR_INPUT, 0);
        if (!pIn->IsConnected()) return VFW_E_NOT_CONNECTED;
        mt = pIn->Type();
        return S_OK;
    }
    HRESULT OnConnected(Pin& pin) override {
        // Always one free output after the last one.
        if (pin.Direction() == PINDIR_OUTPUT && pin.Index() == PinCount(PINDIR_OUTPUT) - 1) AddPin(PINDIR_OUTPUT);
        return S_OK;
    }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        DeliverToAll(sample);
        return S_OK;
    }
};

}  // namespace

FilterBase* NewSmartTee() {
    return new SmartTee();
}

FilterBase* NewInfTee() {
    return new InfTee();
}

}  // namespace media
