// The sound renderer: 16-bit PCM through the system's wave output. A machine without a wave
// device cannot create it, and a format the device refuses cannot connect; the graph runs on
// without sound either way.
#include "Engine.h"

#include <mmsystem.h>

#include <array>
#include <chrono>
#include <cmath>
#include <thread>

namespace media {
namespace {

constexpr size_t BufferCount = 8;          // wave buffers in flight
constexpr long VolumeSilence = -10000;     // hundredths of a decibel
constexpr long VolumeFull = 0;
constexpr DWORD WaveVolumeMax = 0xFFFF;    // per channel in waveOutSetVolume
constexpr auto WaitStep = std::chrono::milliseconds(5);

class SoundRenderer final : public FilterBase, public IBasicAudio {
public:
    SoundRenderer() : FilterBase(CLSID_DSoundRender) { AddPin(PINDIR_INPUT); }
    ~SoundRenderer() override { CloseDevice(); }
    MEDIA_FILTER_IUNKNOWN

    HRESULT STDMETHODCALLTYPE put_Volume(long lVolume) override {
        if (lVolume < VolumeSilence || lVolume > VolumeFull) return E_INVALIDARG;
        m_lVolume = lVolume;
        std::lock_guard lock(m_mtxDevice);
        ApplyVolume();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Volume(long* plVolume) override {
        if (plVolume == nullptr) return E_POINTER;
        *plVolume = m_lVolume;
        return S_OK;
    }

    HRESULT CheckInputType(int, const MediaType& mt) override {
        const WAVEFORMATEX* pWfx = mt.WaveFormat();
        if (!mt.IsA(MEDIATYPE_Audio, MEDIASUBTYPE_PCM) || pWfx == nullptr || pWfx->wBitsPerSample != 16) return VFW_E_TYPE_NOT_ACCEPTED;
        WAVEFORMATEX wfx = *pWfx;
        wfx.cbSize = 0;
        if (::waveOutOpen(nullptr, WAVE_MAPPER, &wfx, 0, 0, WAVE_FORMAT_QUERY) != MMSYSERR_NOERROR) return VFW_E_NO_AUDIO_HARDWARE;
        return S_OK;
    }
    bool IsRenderer() const override { return true; }

    HRESULT Receive(int, const Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        const bool bLive = m_pSite != nullptr && m_pSite->IsLiveGraph();
        if (bLive) {
            if (State() != State_Running) return S_OK;  // a paused live graph plays nothing
        } else if (!WaitForStreamTime(sample.rtStart)) {
            return S_FALSE;
        }
        m_rtLastStop = sample.rtStop;
        std::unique_lock lock(m_mtxDevice);
        if (m_hWave == nullptr) return S_OK;
        WAVEHDR* pHeader = FreeHeader();
        while (pHeader == nullptr) {
            if (bLive) return S_OK;  // live sound that finds the device full is dropped
            lock.unlock();
            std::this_thread::sleep_for(WaitStep);
            if (!IsStreaming()) return S_FALSE;
            lock.lock();
            if (m_hWave == nullptr) return S_OK;
            pHeader = FreeHeader();
        }
        const size_t nSlot = static_cast<size_t>(pHeader - m_headers.data());
        m_buffers[nSlot].assign(sample.pData, sample.pData + sample.nSize);
        *pHeader = WAVEHDR{};
        pHeader->lpData = reinterpret_cast<LPSTR>(m_buffers[nSlot].data());
        pHeader->dwBufferLength = static_cast<DWORD>(sample.nSize);
        if (::waveOutPrepareHeader(m_hWave, pHeader, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return S_OK;
        m_bPrepared[nSlot] = true;
        ::waveOutWrite(m_hWave, pHeader, sizeof(WAVEHDR));
        return S_OK;
    }

    void EndOfStream(int) override {
        if (m_pSite == nullptr || !IsStreaming()) return;
        if (!m_pSite->IsLiveGraph() && !WaitForStreamTime(m_rtLastStop)) return;
        m_pSite->ReportEndOfStream(this);
    }

    void BeginFlush(int nInput) override {
        FilterBase::BeginFlush(nInput);
        std::lock_guard lock(m_mtxDevice);
        if (m_hWave) ::waveOutReset(m_hWave);
    }

protected:
    void* GetInterface(REFIID riid) override {
        if (IsEqualGUID(riid, IID_IBasicAudio)) return static_cast<IBasicAudio*>(this);
        return nullptr;
    }
    HRESULT OnPause(FILTER_STATE from) override {
        if (from == State_Stopped) OpenDevice();
        std::lock_guard lock(m_mtxDevice);
        if (m_hWave) ::waveOutPause(m_hWave);
        return S_OK;
    }
    HRESULT OnRun(REFERENCE_TIME) override {
        std::lock_guard lock(m_mtxDevice);
        if (m_hWave) ::waveOutRestart(m_hWave);
        return S_OK;
    }
    void OnStop() override { CloseDevice(); }

private:
    // A device that cannot be opened leaves the renderer silent; the graph still runs.
    void OpenDevice() {
        std::lock_guard lock(m_mtxDevice);
        const Pin* pIn = FindPin(PINDIR_INPUT, 0);
        if (m_hWave != nullptr || !pIn->IsConnected() || pIn->Type().WaveFormat() == nullptr) return;
        WAVEFORMATEX wfx = *pIn->Type().WaveFormat();
        wfx.cbSize = 0;
        if (::waveOutOpen(&m_hWave, WAVE_MAPPER, &wfx, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) m_hWave = nullptr;
        ApplyVolume();
    }

    void CloseDevice() {
        std::lock_guard lock(m_mtxDevice);
        if (m_hWave == nullptr) return;
        ::waveOutReset(m_hWave);
        for (size_t n = 0; n < BufferCount; ++n) {
            if (m_bPrepared[n]) ::waveOutUnprepareHeader(m_hWave, &m_headers[n], sizeof(WAVEHDR));
            m_bPrepared[n] = false;
        }
        ::waveOutClose(m_hWave);
        m_hWave = nullptr;
    }

    WAVEHDR* FreeHeader() {
        for (size_t n = 0; n < BufferCount; ++n) {
            if (!m_bPrepared[n]) return &m_headers[n];
            if (m_headers[n].dwFlags & WHDR_DONE) {
                ::waveOutUnprepareHeader(m_hWave, &m_headers[n], sizeof(WAVEHDR));
                m_bPrepared[n] = false;
                return &m_headers[n];
            }
        }
        return nullptr;
    }

    void ApplyVolume() {
        if (m_hWave == nullptr) return;
        // Hundredths of a decibel to a linear level.
        const double dLevel = m_lVolume <= VolumeSilence ? 0.0 : std::pow(10.0, m_lVolume / 2000.0);
        const DWORD dwChannel = static_cast<DWORD>(dLevel * WaveVolumeMax + 0.5);
        ::waveOutSetVolume(m_hWave, dwChannel | (dwChannel << 16));
    }

    std::mutex m_mtxDevice;
    HWAVEOUT m_hWave = nullptr;
    std::array<WAVEHDR, BufferCount> m_headers{};
    std::array<bool, BufferCount> m_bPrepared{};
    std::array<std::vector<uint8_t>, BufferCount> m_buffers;
    std::atomic<long> m_lVolume{VolumeFull};
    std::atomic<REFERENCE_TIME> m_rtLastStop{0};
};

}  // namespace

HRESULT NewSoundRenderer(FilterBase** ppFilter) {
    *ppFilter = nullptr;
    if (::waveOutGetNumDevs() == 0) return VFW_E_NO_AUDIO_HARDWARE;
    *ppFilter = new SoundRenderer();
    return S_OK;
}

}  // namespace media
