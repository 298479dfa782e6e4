// The DV filters: the splitter (interleaved DV into DV video and 16-bit stereo PCM at the DV
// audio's own rate), the muxer (DV video and PCM into interleaved DV) and the video decoder (DV
// into 24-bit pictures at full, half, quarter or eighth size).
#include "Engine.h"
#include "RateConverter.h"

#include "dv/Audio.h"
#include "dv/Decoder.h"
#include "dv/Packs.h"

#include <deque>

namespace media {
namespace {

constexpr DWORD DefaultAudioRate = 48000;  // the splitter's audio when the DV type names no rate
constexpr WORD StereoChannels = 2;
constexpr size_t MuxerAudioLimit = 48000 * StereoChannels;  // one second of queued samples
constexpr size_t FrameBytes625 = 144000;
// Frame periods as fractions of a second: 1001/30000 and 1/25.
constexpr uint64_t Period525Num = 1001, Period525Den = 30000;
constexpr uint64_t Period625Num = 1, Period625Den = 25;
// A gap larger than this is a restart of the source, not frames it lost (as in the AVI mux).
constexpr int64_t MaxLostRun = 25 * 60 * 60;

bool IsDVInput(const MediaType& mt) {
    return IsDVType(mt, MEDIATYPE_Interleaved) || IsDVType(mt, MEDIATYPE_Video);
}

// The first channel pair of an extracted frame as interleaved stereo (mono doubled).
void FirstPair(const dv::AudioFrame& audio, std::vector<int16_t>& vecOut) {
    vecOut.clear();
    if (audio.nSamples <= 0 || audio.nChannels < 1) return;
    const size_t nSamples = static_cast<size_t>(audio.nSamples);
    const size_t nStride = static_cast<size_t>(audio.nChannels);
    vecOut.resize(nSamples * StereoChannels);
    for (size_t n = 0; n < nSamples; ++n) {
        const int16_t* pFrom = &audio.samples[n * nStride];
        vecOut[n * 2] = pFrom[0];
        vecOut[n * 2 + 1] = nStride > 1 ? pFrom[1] : pFrom[0];
    }
}

// Samples per frame at a rate, carrying the fraction from frame to frame (1601.6 at 48 kHz in
// the 525-line system gives 1601 or 1602).
class FrameSamples {
public:
    void Reset() { m_nCarry = 0; }
    size_t Next(uint32_t nRate, bool b625) {
        const uint64_t nNum = b625 ? Period625Num : Period525Num;
        const uint64_t nDen = b625 ? Period625Den : Period525Den;
        m_nCarry += static_cast<uint64_t>(nRate) * nNum;
        const uint64_t nSamples = m_nCarry / nDen;
        m_nCarry %= nDen;
        return static_cast<size_t>(nSamples);
    }

private:
    uint64_t m_nCarry = 0;
};

// Interleaved DV in, DV video (out 0) and 16-bit stereo PCM (out 1) out. The audio output has the
// rate of the stream's own audio as its type names it when the pins connect; 12-bit four-channel
// audio gives its first channel pair. Within one run the PCM keeps to that rate whatever the
// frames carry: frames whose audio has another rate (the camcorder switched its audio mode) are
// converted to it, and frames that were lost on the way or hold no audio give silence of their
// length, so that the sound stays as long as the picture.
class DVSplitter final : public FilterBase {
public:
    DVSplitter() : FilterBase(CLSID_DVSplitter) {
        AddPin(PINDIR_INPUT);
        AddPin(PINDIR_OUTPUT);  // DV video
        AddPin(PINDIR_OUTPUT);  // PCM audio
    }

    HRESULT CheckInputType(int, const MediaType& mt) override {
        return IsDVType(mt, MEDIATYPE_Interleaved) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetOutputType(int nOutput, MediaType& mt) override {
        const Pin* pIn = FindPin(PINDIR_INPUT, 0);
        if (!pIn->IsConnected()) return VFW_E_NOT_CONNECTED;
        if (nOutput == 0) {
            mt = MakeDVType(MEDIATYPE_Video, DVTypeIs625(pIn->Type()));
            return S_OK;
        }
        const DWORD nRate = DVTypeAudioRate(pIn->Type());
        mt = MakePcmType(nRate != 0 ? nRate : DefaultAudioRate, StereoChannels);
        return S_OK;
    }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        const Pin* pVideo = FindPin(PINDIR_OUTPUT, 0);
        const Pin* pAudio = FindPin(PINDIR_OUTPUT, 1);
        if (pVideo->IsConnected()) pVideo->Deliver(sample);
        if (pAudio->IsConnected()) DeliverAudio(*pAudio, sample);
        return S_OK;
    }

    void EndFlush(int nInput) override {
        StartRun();
        FilterBase::EndFlush(nInput);
    }

protected:
    HRESULT OnPause(FILTER_STATE from) override {
        if (from == State_Stopped) StartRun();
        return S_OK;
    }

private:
    void StartRun() {
        m_converter.Reset();
        m_frameSamples.Reset();
        m_nLastFrame = -1;
    }

    void DeliverAudio(const Pin& audioPin, const Sample& sample) {
        const WAVEFORMATEX* pWfx = audioPin.Type().WaveFormat();
        if (pWfx == nullptr) return;
        const uint32_t nOutRate = pWfx->nSamplesPerSec;
        const bool b625 = sample.nSize == FrameBytes625;
        if (sample.bDiscontinuity) StartRun();
        const int64_t nLost = m_nLastFrame >= 0 && sample.nMediaTime > m_nLastFrame + 1 ? sample.nMediaTime - m_nLastFrame - 1 : 0;
        if (nLost > 0 && nLost <= MaxLostRun) {
            const REFERENCE_TIME rtPeriod = sample.rtStop - sample.rtStart;
            for (int64_t n = nLost; n > 0; --n) {
                Sample silence = sample;
                silence.rtStart = sample.rtStart - n * rtPeriod;
                silence.rtStop = silence.rtStart + rtPeriod;
                silence.bDiscontinuity = false;
                DeliverSilence(audioPin, silence, m_frameSamples.Next(nOutRate, b625));
            }
            m_converter.Reset();
        }
        if (sample.nMediaTime >= 0) m_nLastFrame = sample.nMediaTime;

        const size_t nWanted = m_frameSamples.Next(nOutRate, b625);
        if (dv::ExtractAudio({sample.pData, sample.nSize}, m_audio) != dv::Result::Ok || m_audio.nSamples <= 0) {
            m_converter.Reset();
            DeliverSilence(audioPin, sample, nWanted);
            return;
        }
        FirstPair(m_audio, m_vecPair);
        if (static_cast<uint32_t>(m_audio.nRate) == nOutRate) {
            m_converter.Reset();
            m_vecPcm.swap(m_vecPair);
        } else {
            m_vecPcm.clear();
            m_converter.Convert(m_vecPair.data(), m_vecPair.size() / StereoChannels, static_cast<uint32_t>(m_audio.nRate), nOutRate, m_vecPcm);
        }
        Send(audioPin, sample);
    }

    void DeliverSilence(const Pin& audioPin, const Sample& sample, size_t nSamples) {
        m_vecPcm.assign(nSamples * StereoChannels, 0);
        Send(audioPin, sample);
    }

    void Send(const Pin& audioPin, const Sample& sample) {
        if (m_vecPcm.empty()) return;
        Sample pcm = sample;
        pcm.pData = reinterpret_cast<const uint8_t*>(m_vecPcm.data());
        pcm.nSize = m_vecPcm.size() * sizeof(int16_t);
        audioPin.Deliver(pcm);
    }

    dv::AudioFrame m_audio;
    std::vector<int16_t> m_vecPair;
    std::vector<int16_t> m_vecPcm;
    RateConverter m_converter;
    FrameSamples m_frameSamples;
    int64_t m_nLastFrame = -1;
};

class DVMuxer final : public FilterBase {
public:
    DVMuxer() : FilterBase(CLSID_DVMux) {
        AddPin(PINDIR_INPUT);   // DV video
        AddPin(PINDIR_INPUT);   // PCM audio
        AddPin(PINDIR_OUTPUT);  // interleaved DV
    }

    HRESULT CheckInputType(int nInput, const MediaType& mt) override {
        if (nInput == 0) return IsDVType(mt, MEDIATYPE_Video) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        const WAVEFORMATEX* pWfx = mt.WaveFormat();
        if (!mt.IsA(MEDIATYPE_Audio, MEDIASUBTYPE_PCM) || pWfx == nullptr || pWfx->wBitsPerSample != 16 || pWfx->nChannels != StereoChannels)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT GetOutputType(int, MediaType& mt) override {
        const Pin* pVideo = FindPin(PINDIR_INPUT, 0);
        if (!pVideo->IsConnected()) return VFW_E_NOT_CONNECTED;
        const Pin* pAudio = FindPin(PINDIR_INPUT, 1);
        const DWORD nRate = pAudio->IsConnected() ? pAudio->Type().WaveFormat()->nSamplesPerSec : 0;
        mt = MakeDVType(MEDIATYPE_Interleaved, DVTypeIs625(pVideo->Type()), nRate);
        return S_OK;
    }

    HRESULT Receive(int nInput, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        std::lock_guard lock(m_mtx);
        if (nInput == 1) {
            const int16_t* pSamples = reinterpret_cast<const int16_t*>(sample.pData);
            m_queAudio.insert(m_queAudio.end(), pSamples, pSamples + sample.nSize / sizeof(int16_t));
            while (m_queAudio.size() > MuxerAudioLimit) m_queAudio.pop_front();
            return S_OK;
        }
        m_vecFrame.assign(sample.pData, sample.pData + sample.nSize);
        InsertQueuedAudio();
        Sample out = sample;
        out.pData = m_vecFrame.data();
        return FindPin(PINDIR_OUTPUT, 0)->Deliver(out);
    }

    void EndOfStream(int nInput) override {
        if (nInput == 0) FindPin(PINDIR_OUTPUT, 0)->DeliverEndOfStream();
    }
    void BeginFlush(int nInput) override {
        {
            std::lock_guard lock(m_mtx);
            m_queAudio.clear();
        }
        if (nInput == 0) FilterBase::BeginFlush(nInput);
    }
    void EndFlush(int nInput) override {
        if (nInput == 0) FilterBase::EndFlush(nInput);
    }

protected:
    void OnStop() override {
        std::lock_guard lock(m_mtx);
        m_queAudio.clear();
    }

private:
    // The frame's own audio source pack says how many samples it holds; when the audio input has
    // that many queued they replace the frame's audio, else the frame keeps what it carries.
    void InsertQueuedAudio() {
        if (!FindPin(PINDIR_INPUT, 1)->IsConnected()) return;
        const auto pack = dv::FindAauxPack(m_vecFrame, dv::pack::kAudioSource);
        if (!pack) return;
        auto source = dv::ParseAudioSourcePack(*pack);
        if (!source) return;
        // Queued audio of another rate than the frame's cannot take its place.
        if (static_cast<DWORD>(dv::SampleRateHz(source->rate)) != FindPin(PINDIR_INPUT, 1)->Type().WaveFormat()->nSamplesPerSec) return;
        source->nChannels = StereoChannels;
        source->quantization = dv::AudioQuantization::Linear16;
        const size_t nNeeded = static_cast<size_t>(source->nSamples) * StereoChannels;
        if (nNeeded == 0 || m_queAudio.size() < nNeeded) return;
        m_vecSamples.assign(m_queAudio.begin(), m_queAudio.begin() + static_cast<std::ptrdiff_t>(nNeeded));
        m_queAudio.erase(m_queAudio.begin(), m_queAudio.begin() + static_cast<std::ptrdiff_t>(nNeeded));
        dv::InsertAudio(m_vecFrame, *source, m_vecSamples);
    }

    std::mutex m_mtx;
    std::deque<int16_t> m_queAudio;
    std::vector<int16_t> m_vecSamples;
    std::vector<uint8_t> m_vecFrame;
};

class DVDecoder final : public FilterBase, public IIPDVDec {
public:
    DVDecoder() : FilterBase(CLSID_DVVideoCodec) {
        AddPin(PINDIR_INPUT);
        AddPin(PINDIR_OUTPUT);
    }
    MEDIA_FILTER_IUNKNOWN

    HRESULT STDMETHODCALLTYPE get_IPDisplay(int* displayPix) override {
        if (displayPix == nullptr) return E_POINTER;
        *displayPix = m_nDisplay;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_IPDisplay(int displayPix) override {
        if (displayPix < DVRESOLUTION_FULL || displayPix > DVRESOLUTION_DC) return E_INVALIDARG;
        // The picture size is the output's type: it changes only while that is unconnected.
        if (FindPin(PINDIR_OUTPUT, 0)->IsConnected() && displayPix != m_nDisplay) return VFW_E_ALREADY_CONNECTED;
        m_nDisplay = displayPix;
        return S_OK;
    }

    HRESULT CheckInputType(int, const MediaType& mt) override { return IsDVInput(mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED; }
    HRESULT GetOutputType(int, MediaType& mt) override {
        const Pin* pIn = FindPin(PINDIR_INPUT, 0);
        if (!pIn->IsConnected()) return VFW_E_NOT_CONNECTED;
        const bool b625 = DVTypeIs625(pIn->Type());
        const dv::System system = b625 ? dv::System::System625_50 : dv::System::System525_60;
        mt = MakeRgb24Type(dv::DecodedWidth(Size()), dv::DecodedHeight(system, Size()), b625 ? FramePeriod625 : FramePeriod525);
        return S_OK;
    }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        const Pin* pOut = FindPin(PINDIR_OUTPUT, 0);
        if (!pOut->IsConnected() || !pOut->Peer()->Filter().WantsSamples()) return S_OK;
        if (m_decoder.DecodeRgb({sample.pData, sample.nSize}, Size(), m_picture) != dv::Result::Ok) return S_OK;
        const VIDEOINFOHEADER* pVih = pOut->Type().VideoInfo();
        if (pVih == nullptr || m_picture.nWidth != pVih->bmiHeader.biWidth || m_picture.nHeight != pVih->bmiHeader.biHeight)
            return S_OK;  // a frame of the other system than the connection was made for
        Sample out = sample;
        out.pData = m_picture.pixels.data();
        out.nSize = m_picture.pixels.size();
        return pOut->Deliver(out);
    }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_IIPDVDec)) return static_cast<IIPDVDec*>(this);
        return nullptr;
    }

private:
    dv::DecodeSize Size() const {
        switch (m_nDisplay) {
        case DVRESOLUTION_FULL: return dv::DecodeSize::Full;
        case DVRESOLUTION_QUARTER: return dv::DecodeSize::Quarter;
        case DVRESOLUTION_DC: return dv::DecodeSize::Eighth;
        default: return dv::DecodeSize::Half;
        }
    }

    std::atomic<int> m_nDisplay{DVRESOLUTION_HALF};
    dv::Decoder m_decoder;
    dv::RgbPicture m_picture;
};

}  // namespace

FilterBase* NewDVSplitter() {
    return new DVSplitter();
}

FilterBase* NewDVMuxer() {
    return new DVMuxer();
}

FilterBase* NewDVDecoder() {
    return new DVDecoder();
}

}  // namespace media
