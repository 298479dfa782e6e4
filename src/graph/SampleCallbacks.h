// The two taps of the graphs' streams, called by their sample grabbers on the streaming thread:
// DVCapCB reports changes of a DV stream's wide-screen flag, frame mode and audio mode as events
// and keeps the time of the last frame; LevelMeterCB turns 16-bit stereo PCM into meter levels
// with decay and peak hold. Neither counts references: their graph owns them.
#pragma once

#include "media/Interfaces.h"

#include <atomic>

class DeviceEventChannel;

class UncountedSampleCallback : public media::ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 2; }
    HRESULT STDMETHODCALLTYPE SampleCB(double, media::IMediaSample*) override { return E_NOTIMPL; }

protected:
    // Attaches this callback to the grabber: not one-shot, no buffering, BufferCB.
    HRESULT Attach(media::IBaseFilter* pGrabber);
    virtual ~UncountedSampleCallback() = default;
};

class DVCapCB final : public UncountedSampleCallback {
public:
    // The stream facts of one frame, from the fixed places of the first DIF sequence.
    static int ReadWideFlag(const BYTE* pFrame, long nLength);
    static int ReadFrameMode(const BYTE* pFrame, long nLength);
    static int ReadAudioMode(const BYTE* pFrame, long nLength);

    HRESULT SetCallback(media::IBaseFilter* pGrabber, const DeviceEventChannel* pManager, int nAspectEvent, int nFormatEvent);
    double GetLastSampleTime() const { return m_dLastSampleTime.load(); }

    HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, long BufferLen) override;

private:
    void Post(int nCode, LPARAM lParam) const;

    const DeviceEventChannel* m_pManager = nullptr;
    int m_nAspectEvent = 0;
    int m_nFormatEvent = 0;
    int m_nLastWide = 0;
    int m_nLastFrameMode = 60;
    int m_nLastAudioMode = 0;
    bool m_bFirstBuffer = true;
    std::atomic<double> m_dLastSampleTime{0.0};
};

class LevelMeterCB final : public UncountedSampleCallback {
public:
    static constexpr int MaxLevel = 24;

    struct Levels {
        int nLeft = 0, nRight = 0, nLeftPeak = 0, nRightPeak = 0;
    };

    HRESULT SetCallback(media::IBaseFilter* pGrabber);
    Levels GetLevels() const;
    static int GetMaxLevel() { return MaxLevel; }
    // The highest index whose threshold the level reaches (0 when none).
    static int LevelToIndex(int nLevel);

    HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, long BufferLen) override;

    // The clock in seconds; GetTickCount / 1000 unless a test sets another.
    using SecondsFn = double (*)();
    void SetClock(SecondsFn fnNow) { m_fnNow = fnNow; }

private:
    struct Channel {
        std::atomic<int> nLevel{0};
        std::atomic<int> nIndex{0};
        std::atomic<int> nPeakIndex{0};
        double dPeakTime = 0.0;
    };
    void Reset();
    void Update(Channel& channel, int nPeak, double dNow);

    Channel m_left;
    Channel m_right;
    SecondsFn m_fnNow = nullptr;
};
