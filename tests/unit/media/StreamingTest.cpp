// Streaming through the generic filters on real threads: the smart tee under a slow preview, the
// sample grabber's callback, the video renderer's handling of late pictures, and stopping a graph
// while its samples are on their way.
#include "MediaTestSupport.h"

using namespace mediatest;
using namespace media;
using namespace std::chrono_literals;

namespace {

class GrabberCallback final : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 2; }
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, long BufferLen) override {
        vecTimes.push_back(SampleTime);
        nLastLength = BufferLen;
        byFirst = pBuffer[0];
        threadId = std::this_thread::get_id();
        return S_OK;
    }
    std::vector<double> vecTimes;
    long nLastLength = 0;
    BYTE byFirst = 0;
    std::thread::id threadId;
};

Sample MakeSample(const std::vector<uint8_t>& vecData, REFERENCE_TIME rtStart, int64_t nMediaTime = -1) {
    Sample sample;
    sample.pData = vecData.data();
    sample.nSize = vecData.size();
    sample.rtStart = rtStart;
    sample.rtStop = rtStart + FramePeriod625;
    sample.nMediaTime = nMediaTime;
    return sample;
}

TEST(SampleGrabber, CallsBufferCBOnTheStreamingThreadWithSecondsAndPassesTheSampleOn) {
    auto spGraph = NewGraph();
    auto* pSource = new PushSource(MakePcmType(48000, 2), true);
    auto spSource = Own(pSource);
    auto spGrabber = NewFilter(CLSID_SampleGrabber);
    auto* pSink = new CountingSink();
    auto spSink = Own(pSink);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spGrabber.Get(), L"PCM Grabber");
    spGraph->AddFilter(spSink.Get(), L"Sink");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spGrabber.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spGrabber.Get(), 0, spSink.Get(), 0));

    ComPtr<ISampleGrabber> spGrab;
    ASSERT_EQ(S_OK, spGrabber->QueryInterface(IID_ISampleGrabber, spGrab.AsVoid()));
    GrabberCallback callback;
    EXPECT_EQ(S_OK, spGrab->SetOneShot(FALSE));
    EXPECT_EQ(S_OK, spGrab->SetBufferSamples(FALSE));
    EXPECT_EQ(E_NOTIMPL, spGrab->SetCallback(&callback, 0));
    ASSERT_EQ(S_OK, spGrab->SetCallback(&callback, 1));
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());

    std::vector<uint8_t> vecData(7680, 0x5A);
    std::thread::id pusher;
    std::thread([&] {
        pusher = std::this_thread::get_id();
        pSource->Push(MakeSample(vecData, 0));
        pSource->Push(MakeSample(vecData, 15000000));  // 1.5 s
    }).join();
    ControlOf(spGraph.Get())->Stop();
    ASSERT_EQ(2u, callback.vecTimes.size());
    EXPECT_DOUBLE_EQ(0.0, callback.vecTimes[0]);
    EXPECT_DOUBLE_EQ(1.5, callback.vecTimes[1]);
    EXPECT_EQ(7680, callback.nLastLength);
    EXPECT_EQ(0x5A, callback.byFirst);
    EXPECT_EQ(pusher, callback.threadId);
    EXPECT_EQ(2, pSink->Count());  // the output passes everything on
}

TEST(SmartTee, ASlowPreviewNeverHoldsUpCapture) {
    auto spGraph = NewGraph();
    auto* pSource = new PushSource(MakeDVType(MEDIATYPE_Interleaved, true), true);
    auto spSource = Own(pSource);
    auto spTee = NewFilter(CLSID_SmartTee);
    auto* pCapture = new CountingSink();
    auto* pPreview = new CountingSink(40ms);
    auto spCapture = Own(pCapture);
    auto spPreview = Own(pPreview);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spTee.Get(), L"Smart Tee");
    spGraph->AddFilter(spCapture.Get(), L"Capture");
    spGraph->AddFilter(spPreview.Get(), L"Preview");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spTee.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spTee.Get(), 0, spCapture.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spTee.Get(), 1, spPreview.Get(), 0));
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());

    std::vector<uint8_t> vecFrame(144000, 1);
    const auto start = std::chrono::steady_clock::now();
    std::thread([&] {
        for (int n = 0; n < 50; ++n) pSource->Push(MakeSample(vecFrame, n * FramePeriod625, n));
    }).join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Fifty frames through a 40 ms preview would take two seconds if capture waited for it.
    EXPECT_LT(elapsed, 1000ms);
    EXPECT_EQ(50, pCapture->Count());
    std::vector<int64_t> vecNumbers = pCapture->MediaTimes();
    for (int n = 0; n < 50; ++n) EXPECT_EQ(n, vecNumbers[static_cast<size_t>(n)]);
    ASSERT_TRUE(PumpUntil([&] { return pPreview->Count() > 0; }, 1000ms));
    EXPECT_LT(pPreview->Count(), 50);
    EXPECT_NE(std::this_thread::get_id(), pPreview->LastThread());
    ControlOf(spGraph.Get())->Stop();
    // The latest frame is the one the preview shows last.
    ASSERT_FALSE(pPreview->MediaTimes().empty());
}

class RendererGraph : public ::testing::Test {
protected:
    void Build(bool bLive) {
        m_spGraph = NewGraph();
        m_pSource = new PushSource(MakeRgb24Type(64, 48, FramePeriod625), bLive);
        m_spSource = Own(m_pSource);
        m_spRenderer = NewFilter(CLSID_VideoRendererDefault);
        m_spGraph->AddFilter(m_spSource.Get(), L"Source");
        m_spGraph->AddFilter(m_spRenderer.Get(), L"Video Renderer");
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), m_spSource.Get(), 0, m_spRenderer.Get(), 0));
        ComPtr<IVideoWindow> spWindow;
        ASSERT_EQ(S_OK, m_spGraph->QueryInterface(IID_IVideoWindow, spWindow.AsVoid()));
        ASSERT_EQ(S_OK, spWindow->put_Visible(OATRUE));
    }
    ComPtr<IGraphBuilder> m_spGraph;
    PushSource* m_pSource = nullptr;
    ComPtr<IBaseFilter> m_spSource;
    ComPtr<IBaseFilter> m_spRenderer;
    std::vector<uint8_t> m_vecPicture = std::vector<uint8_t>(64 * 3 * 48, 0x80);
};

TEST_F(RendererGraph, LiveGraphShowsPicturesAsTheyComeAndDropsLateOnes) {
    Build(true);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Run());
    // On time: shown at once although its time lies ahead.
    std::thread([&] { m_pSource->Push(MakeSample(m_vecPicture, m_pSource->StreamNow() + 5 * UnitsPerSecond)); }).join();
    ASSERT_TRUE(PumpUntil([&] { return RendererDrawn(m_spRenderer.Get()) == 1; }, 2000ms));
    // Half a second late: dropped without being painted.
    std::thread([&] { m_pSource->Push(MakeSample(m_vecPicture, m_pSource->StreamNow() - UnitsPerSecond / 2)); }).join();
    PumpFor(100ms);
    EXPECT_EQ(1, RendererDrawn(m_spRenderer.Get()));
    EXPECT_EQ(1, RendererDropped(m_spRenderer.Get()));
    // Drawn on the delivering thread the moment they arrive: one right after the other, both are shown.
    std::thread([&] {
        m_pSource->Push(MakeSample(m_vecPicture, m_pSource->StreamNow()));
        m_pSource->Push(MakeSample(m_vecPicture, m_pSource->StreamNow()));
    }).join();
    EXPECT_EQ(3, RendererDrawn(m_spRenderer.Get()));
    EXPECT_EQ(1, RendererDropped(m_spRenderer.Get()));
    ControlOf(m_spGraph.Get())->Stop();
}

TEST(LivePreview, APictureNobodyCanSeeIsNotMadeAndTheWindowShowsThePicturesOnceItIsOnTheScreen) {
    auto spGraph = NewGraph();
    auto* pSource = new PushSource(MakeDVType(MEDIATYPE_Video, false), true);
    auto spSource = Own(pSource);
    auto spDecoder = NewFilter(CLSID_DVVideoCodec);
    auto spRenderer = NewFilter(CLSID_VideoRendererDefault);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spDecoder.Get(), L"Decoder");
    spGraph->AddFilter(spRenderer.Get(), L"Video Renderer");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spDecoder.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spDecoder.Get(), 0, spRenderer.Get(), 0));
    ComPtr<IVideoWindow> spWindow;
    ASSERT_EQ(S_OK, spGraph->QueryInterface(IID_IVideoWindow, spWindow.AsVoid()));
    ASSERT_EQ(S_OK, spWindow->put_Visible(OAFALSE));
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());
    const std::vector<uint8_t> vecFrame = MakeDVFrame(false);
    const auto push = [&](int nFrames) {
        std::thread([&] {
            for (int n = 0; n < nFrames; ++n) pSource->Push(MakeSample(vecFrame, pSource->StreamNow()));
        }).join();
    };
    // Hidden: the pictures are neither made nor counted as drawn or dropped.
    push(3);
    PumpFor(100ms);
    EXPECT_EQ(0, RendererDrawn(spRenderer.Get()) + RendererDropped(spRenderer.Get()));
    // On the screen: each one is shown as it comes.
    ASSERT_EQ(S_OK, spWindow->put_Visible(OATRUE));
    PumpFor(100ms);
    push(2);
    ASSERT_TRUE(PumpUntil([&] { return RendererDrawn(spRenderer.Get()) == 2; }, 2000ms));
    EXPECT_EQ(0, RendererDropped(spRenderer.Get()));
    ControlOf(spGraph.Get())->Stop();
}

TEST_F(RendererGraph, FileGraphShowsTheFirstPictureWhenPausedAndTheRestOnTheClock) {
    Build(false);
    auto spControl = ControlOf(m_spGraph.Get());
    ASSERT_EQ(S_OK, spControl->Pause());
    std::atomic<int> nPushed{0};
    std::jthread pusher([&] {
        for (int n = 0; n < 3; ++n) {
            m_pSource->Push(MakeSample(m_vecPicture, n * 2000000));  // 0, 0.2 and 0.4 s
            ++nPushed;
        }
    });
    // Paused: the first picture is painted and holds its thread until the graph runs.
    ASSERT_TRUE(PumpUntil([&] { return RendererDrawn(m_spRenderer.Get()) == 1; }, 2000ms));
    PumpFor(150ms);
    EXPECT_EQ(0, nPushed.load());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(S_OK, spControl->Run());
    ASSERT_TRUE(PumpUntil([&] { return nPushed.load() == 3; }, 3000ms));
    pusher.join();
    // The last picture's time is 0.4 s after the start of the run.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 350ms);
    ASSERT_TRUE(PumpUntil([&] { return RendererDrawn(m_spRenderer.Get()) == 3; }, 2000ms));
    EXPECT_EQ(0, RendererDropped(m_spRenderer.Get()));
    spControl->Stop();
}

TEST_F(RendererGraph, StopReleasesAThreadWaitingForItsPictureTime) {
    Build(false);
    auto spControl = ControlOf(m_spGraph.Get());
    ASSERT_EQ(S_OK, spControl->Run());
    std::atomic<bool> bReturned{false};
    std::jthread pusher([&] {
        m_pSource->Push(MakeSample(m_vecPicture, 0));
        m_pSource->Push(MakeSample(m_vecPicture, 600 * UnitsPerSecond));  // ten minutes ahead
        bReturned = true;
    });
    PumpFor(100ms);
    EXPECT_FALSE(bReturned.load());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(S_OK, spControl->Stop());
    pusher.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_TRUE(bReturned.load());
}

TEST_F(RendererGraph, VideoWindowFollowsOwnerStyleAndPosition) {
    Build(false);
    const HWND hwndOwner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
    ComPtr<IVideoWindow> spWindow;
    ASSERT_EQ(S_OK, m_spGraph->QueryInterface(IID_IVideoWindow, spWindow.AsVoid()));
    ASSERT_EQ(S_OK, spWindow->put_Owner(reinterpret_cast<OAHWND>(hwndOwner)));
    ASSERT_EQ(S_OK, spWindow->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN));
    ASSERT_EQ(S_OK, spWindow->SetWindowPosition(10, 20, 200, 100));
    const HWND hwndVideo = ::GetWindow(hwndOwner, GW_CHILD);
    ASSERT_NE(nullptr, hwndVideo);
    RECT rc;
    ::GetWindowRect(hwndVideo, &rc);
    ::MapWindowPoints(HWND_DESKTOP, hwndOwner, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(20, rc.top);
    EXPECT_EQ(200, rc.right - rc.left);
    EXPECT_EQ(100, rc.bottom - rc.top);
    EXPECT_TRUE(::GetWindowLongW(hwndVideo, GWL_STYLE) & WS_CHILD);
    LONG lVisible = 0;
    ASSERT_EQ(S_OK, spWindow->put_Visible(OAFALSE));
    ASSERT_EQ(S_OK, spWindow->get_Visible(&lVisible));
    EXPECT_EQ(OAFALSE, lVisible);
    // Without a renderer the graph has no video window at all.
    m_spGraph->RemoveFilter(m_spRenderer.Get());
    EXPECT_TRUE(FAILED(spWindow->get_Visible(&lVisible)));
    ::DestroyWindow(hwndOwner);
}

}  // namespace
