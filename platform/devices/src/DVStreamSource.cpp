// The DV driver's filter object of one camcorder: raw AV/C frames, the external-device capability,
// and the DV stream at the true frame rate with the dropped-frame counter.
#include "ComObjects.h"
#include "devices/Bus.h"
#include "devices/DVStreamSource.h"

#include "dv/FrameWriter.h"
#include "dv/Pattern.h"
#include "dv/TimeCodeCounting.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace devices {
namespace {

constexpr ULONG FrameBytes525 = 120000;  // 10 DIF sequences of 150 blocks of 80 bytes
constexpr ULONG FrameBytes625 = 144000;  // 12 DIF sequences
constexpr ULONG AudioRate48k = 48000;
constexpr ULONG AudioRate32k = 32000;
// Frame periods as fractions of a second: 1001/30000 (29.97 Hz) and 1/25.
constexpr uint64_t Period525Num = 1001, Period525Den = 30000;
constexpr uint64_t Period625Num = 1, Period625Den = 25;
std::atomic<DVFrameMaker> g_fnFrameMaker{nullptr};

// The camcorder's picture and sound: a moving pattern with a tone, made by the DV codec. The
// generator is made again whenever the stream's properties change.
class PatternFrames {
public:
    bool Make(const DVFrameRequest& request, uint8_t* pFrame, size_t nBytes) {
        dv::PatternSettings settings;
        settings.system = request.b625Lines ? dv::System::System625_50 : dv::System::System525_60;
        settings.bWideScreen = request.bWide;
        settings.nFrameMode = request.nFrameMode;
        settings.audioMode = request.bAudio32k12 ? dv::AudioMode::FourChannel32k12 : dv::AudioMode::Stereo48k;
        settings.startDate = dv::RecDate{m_start.wYear, m_start.wMonth, m_start.wDay};
        settings.startTime = dv::RecTime{m_start.wHour, m_start.wMinute, m_start.wSecond};
        if (!m_spGenerator || !SameStream(m_spGenerator->Settings(), settings)) m_spGenerator = std::make_unique<dv::PatternGenerator>(settings);
        return m_spGenerator->MakeFrame(request.nFrameNumber, std::span<uint8_t>(pFrame, nBytes)) == dv::Result::Ok;
    }
    void SetStart(const SYSTEMTIME& start) {
        m_start = start;
        m_spGenerator.reset();
    }

private:
    static bool SameStream(const dv::PatternSettings& a, const dv::PatternSettings& b) {
        return a.system == b.system && a.bWideScreen == b.bWideScreen && a.nFrameMode == b.nFrameMode && a.audioMode == b.audioMode;
    }
    SYSTEMTIME m_start{};
    std::unique_ptr<dv::PatternGenerator> m_spGenerator;
};

class DVFilter : public RefCounted<IBaseFilter>, public IAMExtTransport, public IAMExtDevice, public IDVStreamSource {
public:
    DVFilter(size_t nIndex, unsigned nGeneration)
        : m_nIndex(nIndex), m_nGeneration(nGeneration), m_hStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~DVFilter() override {
        StopStreaming();
        if (m_hStop != nullptr) ::CloseHandle(m_hStop);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IBaseFilter)) return Hand(static_cast<IBaseFilter*>(this), ppv);
        if (IsEqualGUID(riid, IID_IAMExtTransport)) return Hand(static_cast<IAMExtTransport*>(this), ppv);
        if (IsEqualGUID(riid, IID_IAMExtDevice)) return Hand(static_cast<IAMExtDevice*>(this), ppv);
        if (IsEqualGUID(riid, IID_IDVStreamSource)) return Hand(static_cast<IDVStreamSource*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return RefCounted<IBaseFilter>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return RefCounted<IBaseFilter>::Release(); }

    HRESULT STDMETHODCALLTYPE QueryFriendlyName(WCHAR* pszName, ULONG cchName) override {
        static constexpr wchar_t Name[] = L"Microsoft DV Camera and VCR";
        if (pszName == nullptr || cchName <= wcslen(Name)) return E_INVALIDARG;
        wcscpy(pszName, Name);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTransportBasicParameters(LONG Param, LONG* pValue, LPOLESTR* ppszData) override {
        if (Param != ED_RAW_EXT_DEV_CMD) return E_NOTIMPL;
        if (pValue == nullptr || ppszData == nullptr) return E_POINTER;
        if (*pValue <= 0 || static_cast<ULONG>(*pValue) > MaxAvcFrame) return E_INVALIDARG;
        Bus& bus = Bus::Get();
        auto lock = bus.Lock();
        Camcorder* pCamcorder = Connected(bus);
        if (pCamcorder == nullptr) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
        ULONG nResponse = 0;
        // The frame buffer travels in the text-pointer argument.
        const HRESULT hr = pCamcorder->HandleAvcFrame(reinterpret_cast<uint8_t*>(ppszData), static_cast<ULONG>(*pValue), nResponse, bus.Now());
        if (hr >= 0) *pValue = static_cast<LONG>(nResponse);
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetCapability(LONG Capability, LONG* pValue, double* pdblValue) override {
        if (Capability != ED_DEVCAP_NORMAL_RATE) return E_NOTIMPL;
        if (pValue == nullptr) return E_POINTER;
        Bus& bus = Bus::Get();
        auto lock = bus.Lock();
        Camcorder* pCamcorder = Connected(bus);
        if (pCamcorder == nullptr) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
        *pValue = pCamcorder->Settings().system == VideoSystem::Lines625 ? ED_RATE_25 : ED_RATE_2997;
        if (pdblValue) *pdblValue = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetFrameSink(IDVFrameSink* pSink) override {
        std::lock_guard lock(m_streamMutex);
        m_pSink = pSink;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Pump(DWORD dwNowMs) override {
        std::lock_guard lock(m_streamMutex);
        if (!m_bClockStarted) {
            m_bClockStarted = true;
            m_dwStart = dwNowMs;
            m_nStartFrame = m_nNextFrame;
            ::GetLocalTime(&m_startTime);
            m_pattern.SetStart(m_startTime);
        } else if (m_bRestartClock) {
            // After a stop the stream goes on from now with the next frame number: nothing fell
            // due while nobody listened. The recording time keeps following the wall clock.
            const int64_t nRunMs = static_cast<DWORD>(dwNowMs - m_dwStart);
            m_nStoppedMs += std::max<int64_t>(0, nRunMs - static_cast<int64_t>(FrameMs(m_nNextFrame - m_nStartFrame)));
            m_dwStart = dwNowMs;
            m_nStartFrame = m_nNextFrame;
        }
        m_bRestartClock = false;
        const uint64_t nElapsed = static_cast<DWORD>(dwNowMs - m_dwStart);
        for (;;) {
            FrameSlot slot;
            {
                Bus& bus = Bus::Get();
                auto busLock = bus.Lock();
                Camcorder* pCamcorder = Connected(bus);
                if (pCamcorder == nullptr) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
                const CamcorderSettings& s = pCamcorder->Settings();
                const bool b625 = s.system == VideoSystem::Lines625;
                const uint64_t nNum = b625 ? Period625Num : Period525Num;
                const uint64_t nDen = b625 ? Period625Den : Period525Den;
                // Frame k is due at (k - first frame of this run) * period after the run's start.
                if ((m_nNextFrame - m_nStartFrame) * nNum * 1000 / nDen > nElapsed) return S_OK;
                StreamControl& stream = pCamcorder->Stream();
                slot.bSend = pCamcorder->Settings().bSending;
                slot.bDrop = slot.bSend && stream.nDropPending > 0;
                if (slot.bDrop) --stream.nDropPending;
                slot.request = DVFrameRequest{b625, s.bWide, s.nFrameMode, s.audio == AudioMode::Pcm32k12, m_nNextFrame, {}, m_startTime};
                const dv::TimeCode timeCode = dv::FrameNumberToTimeCode(b625 ? dv::System::System625_50 : dv::System::System525_60, m_nNextFrame);
                slot.request.nTimecode[0] = timeCode.nHours;
                slot.request.nTimecode[1] = timeCode.nMinutes;
                slot.request.nTimecode[2] = timeCode.nSeconds;
                slot.request.nTimecode[3] = timeCode.nFrames;
                AddElapsed(slot.request.recorded, static_cast<uint64_t>(m_nStoppedMs) + m_nNextFrame * nNum * 1000 / nDen);
            }
            ++m_nNextFrame;
            if (!slot.bSend) continue;
            if (slot.bDrop) {
                ++m_nDropped;
                continue;
            }
            Deliver(slot.request);
        }
    }

    HRESULT STDMETHODCALLTYPE StartStreaming() override {
        if (m_thread.joinable()) return S_FALSE;
        m_bRun = true;
        if (m_hStop != nullptr) ::ResetEvent(m_hStop);
        m_thread = std::thread([this] {
            while (m_bRun) {
                // The bus's clock, so that the stream keeps the time the camcorder keeps.
                const DWORD dwNow = Bus::Get().Now();
                Pump(dwNow);
                // Asleep until the next frame falls due, not woken every few milliseconds for
                // nothing (each wake is a call into the system); a stop wakes it at once.
                const DWORD dwSleep = MsUntilNextFrame(dwNow);
                if (m_hStop != nullptr) {
                    ::WaitForSingleObject(m_hStop, dwSleep);
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(dwSleep));
                }
            }
        });
        return S_OK;
    }

    // A stop ends the run: the next production (a new start or the next pump) restarts the
    // stream clock instead of making every frame that fell due in between.
    HRESULT STDMETHODCALLTYPE StopStreaming() override {
        m_bRun = false;
        if (m_hStop != nullptr) ::SetEvent(m_hStop);
        if (m_thread.joinable()) m_thread.join();
        std::lock_guard lock(m_streamMutex);
        if (m_bClockStarted) m_bRestartClock = true;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetNumDropped(LONG* plDropped) override {
        if (plDropped == nullptr) return E_POINTER;
        *plDropped = m_nDropped;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetNumNotDropped(LONG* plNotDropped) override {
        if (plNotDropped == nullptr) return E_POINTER;
        *plNotDropped = m_nDelivered;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ReceiveFrame(const uint8_t* pFrame, size_t nBytes) override {
        ULONG nExpected = 0;
        GetFrameSize(&nExpected);
        if (pFrame == nullptr || nBytes != nExpected) return E_INVALIDARG;
        ++m_nReceived;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetFrameSize(ULONG* pnBytes) override {
        if (pnBytes == nullptr) return E_POINTER;
        Bus& bus = Bus::Get();
        auto lock = bus.Lock();
        Camcorder* pCamcorder = Connected(bus);
        if (pCamcorder == nullptr) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
        *pnBytes = pCamcorder->Settings().system == VideoSystem::Lines625 ? FrameBytes625 : FrameBytes525;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetAudioRate(ULONG* pnSamplesPerSec) override {
        if (pnSamplesPerSec == nullptr) return E_POINTER;
        Bus& bus = Bus::Get();
        auto lock = bus.Lock();
        Camcorder* pCamcorder = Connected(bus);
        if (pCamcorder == nullptr) return HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
        *pnSamplesPerSec = pCamcorder->Settings().audio == AudioMode::Pcm32k12 ? AudioRate32k : AudioRate48k;
        return S_OK;
    }

private:
    struct FrameSlot {
        bool bSend = false;
        bool bDrop = false;
        DVFrameRequest request{};
    };

    Camcorder* Connected(Bus& bus) const {
        if (m_nIndex >= bus.CamcorderCount() || !bus.IsPlugged(m_nIndex) || bus.Generation(m_nIndex) != m_nGeneration) return nullptr;
        return &bus.GetCamcorder(m_nIndex);
    }

    // How long the streaming thread may sleep after a pump at dwNowMs: until the next frame is
    // due, at least 1 ms and at most MaxSleepMs (a frame period and a little more, so that a
    // change of the camcorder is seen at the next frame).
    DWORD MsUntilNextFrame(DWORD dwNowMs) {
        constexpr uint64_t MaxSleepMs = 50;
        std::lock_guard lock(m_streamMutex);
        if (!m_bClockStarted || m_bRestartClock) return 1;
        const uint64_t nDue = FrameMs(m_nNextFrame - m_nStartFrame);
        const uint64_t nElapsed = static_cast<DWORD>(dwNowMs - m_dwStart);
        return static_cast<DWORD>(nDue <= nElapsed ? 1 : std::min(MaxSleepMs, nDue - nElapsed));
    }

    // Milliseconds from the start of a run to its frame nFrames, in the camcorder's system.
    uint64_t FrameMs(uint64_t nFrames) {
        Bus& bus = Bus::Get();
        auto busLock = bus.Lock();
        Camcorder* pCamcorder = Connected(bus);
        const bool b625 = pCamcorder != nullptr && pCamcorder->Settings().system == VideoSystem::Lines625;
        return b625 ? nFrames * Period625Num * 1000 / Period625Den : nFrames * Period525Num * 1000 / Period525Den;
    }

    static void AddElapsed(SYSTEMTIME& time, uint64_t nMs) {
        FILETIME ft;
        ::SystemTimeToFileTime(&time, &ft);
        ULARGE_INTEGER value{{ft.dwLowDateTime, ft.dwHighDateTime}};
        value.QuadPart += nMs * 10000;  // 100 ns units
        ft = FILETIME{value.LowPart, value.HighPart};
        ::FileTimeToSystemTime(&ft, &time);
    }

    void Deliver(const DVFrameRequest& request) {
        const size_t nBytes = request.b625Lines ? FrameBytes625 : FrameBytes525;
        m_vecFrame.assign(nBytes, 0);
        if (DVFrameMaker fnMaker = g_fnFrameMaker.load()) {
            fnMaker(request, m_vecFrame.data(), nBytes);
        } else {
            m_pattern.Make(request, m_vecFrame.data(), nBytes);
        }
        ++m_nDelivered;
        if (m_pSink) m_pSink->OnDVFrame(m_vecFrame.data(), nBytes, request.nFrameNumber);
    }

    const size_t m_nIndex;
    const unsigned m_nGeneration;
    std::recursive_mutex m_streamMutex;
    IDVFrameSink* m_pSink = nullptr;
    bool m_bClockStarted = false;
    bool m_bRestartClock = false;
    DWORD m_dwStart = 0;         // tick at the start of the current run
    uint64_t m_nStartFrame = 0;  // first frame number of the current run
    int64_t m_nStoppedMs = 0;    // time spent stopped, added to the recording time of later frames
    SYSTEMTIME m_startTime{};
    uint64_t m_nNextFrame = 0;
    std::atomic<LONG> m_nDropped{0};
    std::atomic<LONG> m_nDelivered{0};
    LONG m_nReceived = 0;
    std::vector<uint8_t> m_vecFrame;
    PatternFrames m_pattern;
    std::atomic<bool> m_bRun{false};
    HANDLE m_hStop;  // set by a stop: ends the streaming thread's sleep at once
    std::thread m_thread;
};

} // namespace

IBaseFilter* CreateDVFilter(size_t nIndex, unsigned nGeneration) {
    return new DVFilter(nIndex, nGeneration);
}

void SetDVFrameMaker(DVFrameMaker fnMaker) {
    g_fnFrameMaker.store(fnMaker);
}

} // namespace devices
