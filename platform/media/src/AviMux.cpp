// The AVI multiplexer: interleaved DV (a Type 1 file) or DV video with PCM audio (a Type 2 file)
// written through the AVI writer into the file of the file writer downstream. A frame missing
// from the source's numbering within one run becomes a dropped-frame entry of the index.
#include "Engine.h"
#include "Sinks.h"

#include "avi/AviWriter.h"
#include "avi/DvPacks.h"

#include <memory>

namespace media {
namespace {

// A gap larger than this is a restart of the source, not frames it lost.
constexpr int64_t MaxDroppedRun = 25 * 60 * 60;  // an hour of frames

class AviMux final : public FilterBase {
public:
    AviMux() : FilterBase(CLSID_AviDest) {
        AddPin(PINDIR_INPUT);
        AddPin(PINDIR_OUTPUT);
    }

    HRESULT CheckInputType(int nInput, const MediaType& mt) override {
        const bool bInterleaved = IsDVType(mt, MEDIATYPE_Interleaved);
        const bool bVideo = IsDVType(mt, MEDIATYPE_Video);
        const bool bAudio = mt.IsA(MEDIATYPE_Audio, MEDIASUBTYPE_PCM) && mt.WaveFormat() != nullptr && mt.WaveFormat()->wBitsPerSample == 16;
        if (!bInterleaved && !bVideo && !bAudio) return VFW_E_TYPE_NOT_ACCEPTED;
        // The first input carries the DV; an interleaved stream stands alone.
        if (nInput == 0) return bAudio ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
        const Pin* pFirst = FindPin(PINDIR_INPUT, 0);
        if (!pFirst->IsConnected() || IsDVType(pFirst->Type(), MEDIATYPE_Interleaved) || !bAudio || AudioPin() != nullptr)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT GetOutputType(int, MediaType& mt) override {
        mt = MediaType{};
        mt.major = MEDIATYPE_Stream;
        mt.sub = MEDIASUBTYPE_Avi;
        return S_OK;
    }
    HRESULT OnConnected(Pin& pin) override {
        if (pin.Direction() == PINDIR_OUTPUT && dynamic_cast<FileSink*>(&pin.Peer()->Filter()) == nullptr) return VFW_E_CANNOT_CONNECT;
        // Always one free input after the last one.
        if (pin.Direction() == PINDIR_INPUT && pin.Index() == PinCount(PINDIR_INPUT) - 1) AddPin(PINDIR_INPUT);
        return S_OK;
    }

    // Samples are taken while the file is open, up to the mux's own stop: a frame whose video got
    // past the stop of the filters upstream brings its audio too, and the file gets both.
    HRESULT Receive(int nInput, const Sample& sample) override {
        if (m_bFlushing.load()) return VFW_E_WRONG_STATE;
        std::lock_guard lock(m_mtx);
        if (m_pFile == nullptr) return VFW_E_WRONG_STATE;
        if (m_bFailed) return E_FAIL;
        avi::AviResult result = avi::AviResult::Ok;
        if (nInput == 0) result = WriteFrame(sample);
        else if (m_spWriter) result = m_spWriter->WriteAudio({sample.pData, sample.nSize});
        else m_vecEarlyAudio.insert(m_vecEarlyAudio.end(), sample.pData, sample.pData + sample.nSize);
        if (result != avi::AviResult::Ok) {
            // The graph's owner learns why: the system's error of the write that failed.
            m_bFailed = true;
            const HRESULT hr = m_pSink != nullptr ? m_pSink->LastWriteError() : E_FAIL;
            if (m_pSite) m_pSite->PostGraphEvent(EC_ERRORABORT, hr, 0);
            return E_FAIL;
        }
        return S_OK;
    }

    void EndOfStream(int nInput) override {
        if (nInput == 0) FindPin(PINDIR_OUTPUT, 0)->DeliverEndOfStream();
    }

protected:
    HRESULT OnPause(FILTER_STATE from) override {
        if (from != State_Stopped) return S_OK;
        const Pin* pOut = FindPin(PINDIR_OUTPUT, 0);
        if (!pOut->IsConnected() || !FindPin(PINDIR_INPUT, 0)->IsConnected()) return VFW_E_NOT_CONNECTED;
        std::lock_guard lock(m_mtx);
        m_pSink = &dynamic_cast<FileSink&>(pOut->Peer()->Filter());
        m_pFile = m_pSink->SinkFile();
        if (m_pFile == nullptr) return E_UNEXPECTED;
        m_spWriter.reset();
        m_vecEarlyAudio.clear();
        m_nLastFrame = -1;
        m_bFailed = false;
        return S_OK;
    }
    void OnStop() override {
        std::lock_guard lock(m_mtx);
        if (m_spWriter) m_spWriter->Finish();
        m_spWriter.reset();
        m_pFile = nullptr;
        m_pSink = nullptr;
    }

private:
    const Pin* AudioPin() const {
        for (const Pin* pPin : Pins())
            if (pPin->Direction() == PINDIR_INPUT && pPin->Index() > 0 && pPin->IsConnected()) return pPin;
        return nullptr;
    }

    avi::AviResult OpenWriter(const Sample& first) {
        const std::span<const uint8_t> frame(first.pData, first.nSize);
        avi::AviWriterOptions options;
        const bool bType1 = IsDVType(FindPin(PINDIR_INPUT, 0)->Type(), MEDIATYPE_Interleaved);
        options.type = bType1 ? avi::AviType::Type1 : avi::AviType::Type2;
        if (!avi::ReadDvVideoSystem(frame, &options.system)) return avi::AviResult::InvalidArgument;
        avi::ReadDvInfoFromFrame(frame, &options.dvInfo);
        // The audio stream's format is the one its input was connected with.
        if (const Pin* pAudio = AudioPin()) {
            options.audio.nSamplesPerSec = pAudio->Type().WaveFormat()->nSamplesPerSec;
            options.audio.nChannels = pAudio->Type().WaveFormat()->nChannels;
        }
        auto spWriter = std::make_unique<avi::AviWriter>();
        const avi::AviResult result = spWriter->Open(*m_pFile, options);
        if (result != avi::AviResult::Ok) return result;
        m_spWriter = std::move(spWriter);
        if (!bType1 && !m_vecEarlyAudio.empty()) {
            const avi::AviResult audio = m_spWriter->WriteAudio(m_vecEarlyAudio);
            m_vecEarlyAudio.clear();
            return audio;
        }
        return avi::AviResult::Ok;
    }

    avi::AviResult WriteFrame(const Sample& sample) {
        if (!m_spWriter) {
            const avi::AviResult result = OpenWriter(sample);
            if (result != avi::AviResult::Ok) return result;
        }
        if (!sample.bDiscontinuity && m_nLastFrame >= 0 && sample.nMediaTime > m_nLastFrame + 1 && sample.nMediaTime - m_nLastFrame <= MaxDroppedRun) {
            for (int64_t n = m_nLastFrame + 1; n < sample.nMediaTime; ++n) {
                const avi::AviResult result = m_spWriter->WriteDroppedFrame();
                if (result != avi::AviResult::Ok) return result;
            }
        }
        if (sample.nMediaTime >= 0) m_nLastFrame = sample.nMediaTime;
        return m_spWriter->WriteVideoFrame({sample.pData, sample.nSize});
    }

    std::mutex m_mtx;
    avi::FileIo* m_pFile = nullptr;
    FileSink* m_pSink = nullptr;
    std::unique_ptr<avi::AviWriter> m_spWriter;
    std::vector<uint8_t> m_vecEarlyAudio;  // Type 2 audio that came before the first frame
    int64_t m_nLastFrame = -1;
    bool m_bFailed = false;
};

}  // namespace

FilterBase* NewAviMux() {
    return new AviMux();
}

}  // namespace media
