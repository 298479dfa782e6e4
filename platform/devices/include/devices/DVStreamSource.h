// The DV stream of a camcorder as the DV driver's filter delivers it: frames at the true frame
// rate of the camcorder's system (output 1, interleaved DV), frames towards the camcorder
// (input 0), and the driver's dropped-frame counter. The media engine wraps this object.
#pragma once

#include "devices/DeviceTypes.h"

#include <cstddef>
#include <cstdint>

namespace devices {

struct IDVFrameSink {
    // Called on the producing thread (the pump's caller or the real-time thread).
    virtual void OnDVFrame(const uint8_t* pFrame, size_t nBytes, uint64_t nFrameNumber) = 0;
protected:
    ~IDVFrameSink() = default;
};

// Describes one frame of the camcorder's current stream.
struct DVFrameRequest {
    bool b625Lines;
    bool bWide;
    int nFrameMode;       // 60, 30 or 24
    bool bAudio32k12;     // 32 kHz 12-bit, else 48 kHz 16-bit
    uint64_t nFrameNumber;
    int nTimecode[4];     // hours, minutes, seconds, frames
    SYSTEMTIME recorded;  // recording date and time
};
// Fills one frame for a request.
using DVFrameMaker = bool (*)(const DVFrameRequest& request, uint8_t* pFrame, size_t nBytes);

struct IDVStreamSource : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetFrameSink(IDVFrameSink* pSink) = 0;
    // Tick-driven production: makes every frame due by dwNowMs (the first call starts the clock).
    virtual HRESULT STDMETHODCALLTYPE Pump(DWORD dwNowMs) = 0;
    // Real-time production on a thread of its own.
    virtual HRESULT STDMETHODCALLTYPE StartStreaming() = 0;
    virtual HRESULT STDMETHODCALLTYPE StopStreaming() = 0;
    // Frames the bus lost since the stream started (the driver's dropped-frame counter).
    virtual HRESULT STDMETHODCALLTYPE GetNumDropped(LONG* plDropped) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumNotDropped(LONG* plNotDropped) = 0;
    // Input 0: a frame sent towards the camcorder.
    virtual HRESULT STDMETHODCALLTYPE ReceiveFrame(const uint8_t* pFrame, size_t nBytes) = 0;
    // Bytes of one frame of the current system (120,000 or 144,000).
    virtual HRESULT STDMETHODCALLTYPE GetFrameSize(ULONG* pnBytes) = 0;
    // Sample rate of the current stream's audio (48,000 or 32,000 Hz).
    virtual HRESULT STDMETHODCALLTYPE GetAudioRate(ULONG* pnSamplesPerSec) = 0;
};

// Replaces the maker of the frames' content (a moving pattern with a tone made by the DV codec);
// nullptr restores it. Lets tests and benchmarks see or skip the encoding.
void SetDVFrameMaker(DVFrameMaker fnMaker);

} // namespace devices
