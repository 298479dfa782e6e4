// Helpers of the media engine tests: filters that push and count samples, DV frames and AVI files
// made with the codec and the writer, and a message pump.
#pragma once

#include "Engine.h"
#include "Win32File.h"

#include "avi/AviWriter.h"
#include "devices/ComPtr.h"
#include "dv/Pattern.h"

#include "MessagePump.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace mediatest {

using media::REFERENCE_TIME;

template <typename T>
using ComPtr = devices::ComPtr<T>;

// A filter with one output that delivers what the test hands it, on the test's thread.
class PushSource final : public media::FilterBase {
public:
    PushSource(media::MediaType mt, bool bLive) : FilterBase(GUID_NULL), m_mt(std::move(mt)), m_bLive(bLive) { AddPin(media::PINDIR_OUTPUT); }
    HRESULT CheckInputType(int, const media::MediaType&) override { return VFW_E_TYPE_NOT_ACCEPTED; }
    HRESULT GetOutputType(int, media::MediaType& mt) override {
        mt = m_mt;
        return S_OK;
    }
    HRESULT Receive(int, const media::Sample&) override { return E_UNEXPECTED; }
    bool IsLiveSource() const override { return m_bLive; }
    HRESULT Push(const media::Sample& sample) { return FindPin(media::PINDIR_OUTPUT, 0)->Deliver(sample); }
    void PushEnd() { FindPin(media::PINDIR_OUTPUT, 0)->DeliverEndOfStream(); }
    REFERENCE_TIME StreamNow() const { return StreamTimeNow(); }

private:
    media::MediaType m_mt;
    bool m_bLive;
};

// A filter with one input that takes any type, remembers what came and may be slow about it.
class CountingSink final : public media::FilterBase {
public:
    explicit CountingSink(std::chrono::milliseconds delay = std::chrono::milliseconds(0)) : FilterBase(GUID_NULL), m_delay(delay) {
        AddPin(media::PINDIR_INPUT);
    }
    HRESULT CheckInputType(int, const media::MediaType& mt) override {
        if (m_bAcceptOnlyPcm && !mt.IsA(media::MEDIATYPE_Audio, media::MEDIASUBTYPE_PCM)) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT Receive(int, const media::Sample& sample) override {
        if (!IsStreaming()) return VFW_E_WRONG_STATE;
        {
            std::lock_guard lock(m_mtx);
            m_vecTimes.push_back(sample.rtStart);
            m_vecMediaTimes.push_back(sample.nMediaTime);
            m_vecSizes.push_back(sample.nSize);
            m_lastThread = std::this_thread::get_id();
        }
        if (m_delay.count() > 0) std::this_thread::sleep_for(m_delay);
        ++m_nCount;
        return S_OK;
    }
    bool IsRenderer() const override { return true; }
    void EndOfStream(int) override {
        ++m_nEnds;
        if (m_pSite) m_pSite->ReportEndOfStream(this);
    }
    int Count() const { return m_nCount.load(); }
    int Ends() const { return m_nEnds.load(); }
    std::vector<int64_t> MediaTimes() {
        std::lock_guard lock(m_mtx);
        return m_vecMediaTimes;
    }
    std::vector<REFERENCE_TIME> Times() {
        std::lock_guard lock(m_mtx);
        return m_vecTimes;
    }
    std::vector<size_t> Sizes() {
        std::lock_guard lock(m_mtx);
        return m_vecSizes;
    }
    std::thread::id LastThread() {
        std::lock_guard lock(m_mtx);
        return m_lastThread;
    }
    bool m_bAcceptOnlyPcm = false;

private:
    std::chrono::milliseconds m_delay;
    std::mutex m_mtx;
    std::vector<REFERENCE_TIME> m_vecTimes;
    std::vector<int64_t> m_vecMediaTimes;
    std::vector<size_t> m_vecSizes;
    std::thread::id m_lastThread;
    std::atomic<int> m_nCount{0};
    std::atomic<int> m_nEnds{0};
};

// One frame of the moving colour bars with its tone (frame n of a recording of that system).
std::vector<uint8_t> MakeDVFrame(bool b625, uint64_t nFrame = 0, bool bWide = false,
                                 dv::AudioMode audioMode = dv::AudioMode::Stereo48k);

// A filter made with new, held by a smart pointer that owns its one reference.
template <typename T>
ComPtr<media::IBaseFilter> Own(T* pFilter) {
    ComPtr<media::IBaseFilter> sp(static_cast<media::IBaseFilter*>(pFilter));
    pFilter->Release();
    return sp;
}

// A Type 1 or Type 2 file of nFrames frames, those in vecDropped written as dropped entries.
void WriteTestAvi(const std::wstring& strPath, int nType, bool b625, uint32_t nFrames, const std::vector<uint32_t>& vecDropped = {});

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TempFolder;

// Graph building shorthand.
ComPtr<media::IGraphBuilder> NewGraph();
ComPtr<media::IBaseFilter> NewFilter(const CLSID& clsid);
media::IPin* PinOf(media::IBaseFilter* pFilter, media::PIN_DIRECTION dir, int nIndex);
HRESULT Connect(media::IGraphBuilder* pGraph, media::IBaseFilter* pOut, int nOut, media::IBaseFilter* pIn, int nIn);
ComPtr<media::IMediaControl> ControlOf(media::IGraphBuilder* pGraph);
long RendererDrawn(media::IBaseFilter* pRenderer);
long RendererDropped(media::IBaseFilter* pRenderer);

}  // namespace mediatest
