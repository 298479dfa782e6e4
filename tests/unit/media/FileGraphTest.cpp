// Files through the engine: recording from the simulated camcorder and from a pushed stream into
// Type 1 and Type 2 files with their drops, playing files back with seeking and completion, the
// DV decoder's sizes, the DV muxer, and the media detector's streams and pictures.
#include "CamcorderFilter.h"
#include "MediaTestSupport.h"

#include "avi/AviParser.h"
#include "devices/Bus.h"
#include "devices/DVStreamSource.h"
#include "devices/DeviceTypes.h"
#include "devices/Faces.h"
#include "dv/Audio.h"

#include <oleauto.h>

#include <cstring>
#include <tuple>

using namespace mediatest;
using namespace media;
using namespace std::chrono_literals;

namespace {

// The video window is painted only while it is shown, as the program shows it.
void ShowVideo(IGraphBuilder* pGraph) {
    ComPtr<IVideoWindow> spWindow;
    ASSERT_EQ(S_OK, pGraph->QueryInterface(IID_IVideoWindow, spWindow.AsVoid()));
    ASSERT_EQ(S_OK, spWindow->put_Visible(OATRUE));
}

struct ParsedFile {
    int nType = 0;
    uint32_t nLength = 0;
    size_t nEntries = 0;
    std::vector<uint32_t> vecDropped;
    bool bConsistent = false;
    size_t nAudioChunks = 0;
};

ParsedFile Parse(const std::wstring& strPath) {
    ParsedFile parsed;
    media::Win32File file;
    EXPECT_EQ(S_OK, file.OpenForReading(strPath));
    avi::AviParser parser;
    EXPECT_EQ(avi::AviResult::Ok, parser.Parse(file));
    parsed.nType = parser.AviTypeCode();
    parsed.nLength = parser.DeclaredLength();
    parsed.nEntries = parser.Frames().size();
    parsed.vecDropped = parser.DroppedFrames();
    parsed.bConsistent = parser.IsConsistent();
    parsed.nAudioChunks = parser.AudioChunks().size();
    return parsed;
}

ComPtr<IBaseFilter> NewWriter(IGraphBuilder* pGraph, const std::wstring& strPath) {
    auto spWriter = NewFilter(CLSID_FileWriter);
    ComPtr<IFileSinkFilter2> spSink;
    EXPECT_EQ(S_OK, spWriter->QueryInterface(IID_IFileSinkFilter2, spSink.AsVoid()));
    EXPECT_EQ(S_OK, spSink->SetFileName(strPath.c_str(), nullptr));
    EXPECT_EQ(S_OK, spSink->SetMode(AM_FILE_OVERWRITE));
    pGraph->AddFilter(spWriter.Get(), L"File Writer");
    return spWriter;
}

TEST(AviMux, FramesMissingFromTheNumberingBecomeDroppedEntriesButARestartDoesNot) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"pushed.avi");
    auto spGraph = NewGraph();
    auto* pSource = new PushSource(MakeDVType(MEDIATYPE_Interleaved, true), true);
    auto spSource = Own(pSource);
    auto spMux = NewFilter(CLSID_AviDest);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spMux.Get(), L"Avi Mux");
    auto spWriter = NewWriter(spGraph.Get(), strPath);
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spMux.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spMux.Get(), 0, spWriter.Get(), 0));
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());

    const std::vector<uint8_t> vecFrame = MakeDVFrame(true);
    // 0 1 2 _ _ 5 6, then a restart at 100 (a resumed capture), 101, _ 103.
    for (int64_t n : {0, 1, 2, 5, 6, 100, 101, 103}) {
        Sample sample;
        sample.pData = vecFrame.data();
        sample.nSize = vecFrame.size();
        sample.nMediaTime = n;
        sample.bDiscontinuity = n == 0 || n == 100;
        ASSERT_EQ(S_OK, pSource->Push(sample));
    }
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Stop());
    const ParsedFile parsed = Parse(strPath);
    EXPECT_EQ(1, parsed.nType);
    EXPECT_EQ(11u, parsed.nLength);
    EXPECT_TRUE(parsed.bConsistent);
    EXPECT_EQ((std::vector<uint32_t>{3, 4, 9}), parsed.vecDropped);
}

TEST(AviMux, RefusesAudioWithInterleavedDVAndASecondAudioInput) {
    auto spGraph = NewGraph();
    auto spInterleaved = Own(new PushSource(MakeDVType(MEDIATYPE_Interleaved, false), true));
    auto spAudio = Own(new PushSource(MakePcmType(48000, 2), true));
    auto spMux = NewFilter(CLSID_AviDest);
    spGraph->AddFilter(spInterleaved.Get(), L"DV");
    spGraph->AddFilter(spAudio.Get(), L"PCM");
    spGraph->AddFilter(spMux.Get(), L"Avi Mux");
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Connect(spGraph.Get(), spAudio.Get(), 0, spMux.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spInterleaved.Get(), 0, spMux.Get(), 0));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Connect(spGraph.Get(), spAudio.Get(), 0, spMux.Get(), 1));
    // Its output goes to a file writer and nowhere else.
    auto spSink = Own(new CountingSink());
    spGraph->AddFilter(spSink.Get(), L"Sink");
    EXPECT_EQ(VFW_E_CANNOT_CONNECT, Connect(spGraph.Get(), spMux.Get(), 0, spSink.Get(), 0));
}

// Frames of the simulated camcorder are the pattern of its system (encoded once, then copied).
bool PatternFrame(const devices::DVFrameRequest& request, uint8_t* pFrame, size_t nBytes) {
    static const std::vector<uint8_t> s_frame525 = MakeDVFrame(false);
    static const std::vector<uint8_t> s_frame625 = MakeDVFrame(true);
    const std::vector<uint8_t>& frame = request.b625Lines ? s_frame625 : s_frame525;
    if (frame.size() != nBytes) return false;
    std::copy(frame.begin(), frame.end(), pFrame);
    return true;
}

class CamcorderCapture : public ::testing::Test {
protected:
    void SetUp() override {
        devices::BusScenario scenario;
        scenario.vecCamcorders[0].settings.system = devices::VideoSystem::Lines625;
        devices::Bus::Get().Reset(scenario);
        devices::Bus::Get().SetTickSource(nullptr);
        devices::SetDVFrameMaker(PatternFrame);
        m_spDevice = testsupport::FindCamcorderFilter();
        ASSERT_TRUE(m_spDevice);
    }
    void TearDown() override { devices::SetDVFrameMaker(nullptr); }

    // MSDV out 1 → Smart Tee; capture output to the AVI mux (through a DV splitter for Type 2).
    void BuildCapture(int nType, const std::wstring& strPath) {
        m_spGraph = NewGraph();
        ASSERT_EQ(S_OK, CreateDVDeviceFilter(m_spDevice.Get(), &m_spMsdv));
        ASSERT_EQ(S_OK, m_spGraph->AddFilter(m_spMsdv.Get(), L"MSDV"));
        auto spTee = NewFilter(CLSID_SmartTee);
        auto spMux = NewFilter(CLSID_AviDest);
        m_spGraph->AddFilter(spTee.Get(), L"Smart Tee");
        m_spGraph->AddFilter(spMux.Get(), L"Avi Mux");
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), m_spMsdv.Get(), 1, spTee.Get(), 0));
        if (nType == 1) {
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spTee.Get(), 0, spMux.Get(), 0));
        } else {
            auto spSplitter = NewFilter(CLSID_DVSplitter);
            m_spGraph->AddFilter(spSplitter.Get(), L"Dv Splitter Capture");
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spTee.Get(), 0, spSplitter.Get(), 0));
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 0, spMux.Get(), 0));
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 1, spMux.Get(), 1));
        }
        auto spWriter = NewWriter(m_spGraph.Get(), strPath);
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spMux.Get(), 0, spWriter.Get(), 0));
        // Preview branch: half-size pictures in a renderer.
        auto spSplitter = NewFilter(CLSID_DVSplitter);
        auto spDecoder = NewFilter(CLSID_DVVideoCodec);
        m_spRenderer = NewFilter(CLSID_VideoRendererDefault);
        m_spGraph->AddFilter(spSplitter.Get(), L"Dv Splitter");
        m_spGraph->AddFilter(spDecoder.Get(), L"DV Decorder");
        m_spGraph->AddFilter(m_spRenderer.Get(), L"Video Renderer");
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spTee.Get(), 1, spSplitter.Get(), 0));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 0, spDecoder.Get(), 0));
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spDecoder.Get(), 0, m_spRenderer.Get(), 0));
        ShowVideo(m_spGraph.Get());
    }

    long Dropped() {
        ComPtr<ICaptureGraphBuilder2> spBuilder;
        media::CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_ALL, IID_ICaptureGraphBuilder2, spBuilder.AsVoid());
        spBuilder->SetFiltergraph(m_spGraph.Get());
        ComPtr<IAMDroppedFrames> spDropped;
        EXPECT_EQ(S_OK, spBuilder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, m_spMsdv.Get(), IID_IAMDroppedFrames, spDropped.AsVoid()));
        long nDropped = -1;
        if (spDropped) spDropped->GetNumDropped(&nDropped);
        return nDropped;
    }

    void DropNext(int nFrames) {
        devices::Bus::Get().Modify([&](devices::Bus& bus) { bus.GetCamcorder(0).Stream().nDropPending = nFrames; });
    }

    ComPtr<devices::IBaseFilter> m_spDevice;
    ComPtr<IGraphBuilder> m_spGraph;
    ComPtr<IBaseFilter> m_spMsdv;
    ComPtr<IBaseFilter> m_spRenderer;
};

TEST_F(CamcorderCapture, DeviceFilterOffersTheDriversOwnInterfaces) {
    ComPtr<IBaseFilter> spMsdv;
    ASSERT_EQ(S_OK, CreateDVDeviceFilter(m_spDevice.Get(), &spMsdv));
    ComPtr<devices::IAMExtDevice> spExt;
    ASSERT_EQ(S_OK, spMsdv->QueryInterface(devices::IID_IAMExtDevice, spExt.AsVoid()));
    LONG lRate = 0;
    ASSERT_EQ(S_OK, spExt->GetCapability(devices::ED_DEVCAP_NORMAL_RATE, &lRate, nullptr));
    EXPECT_EQ(devices::ED_RATE_25, lRate);
}

TEST_F(CamcorderCapture, ARestartAfterAPauseOfTheGraphBringsNoBacklogOfOldFrames) {
    auto spGraph = NewGraph();
    ComPtr<IBaseFilter> spMsdv;
    ASSERT_EQ(S_OK, CreateDVDeviceFilter(m_spDevice.Get(), &spMsdv));
    auto* pSink = new CountingSink();
    auto spSink = Own(pSink);
    spGraph->AddFilter(spMsdv.Get(), L"MSDV");
    spGraph->AddFilter(spSink.Get(), L"Sink");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spMsdv.Get(), 1, spSink.Get(), 0));
    auto spControl = ControlOf(spGraph.Get());
    ASSERT_EQ(S_OK, spControl->Run());
    PumpFor(200ms);
    ASSERT_EQ(S_OK, spControl->Stop());
    PumpFor(1200ms);  // thirty frames' time with nobody listening
    const int nBefore = pSink->Count();
    ASSERT_EQ(S_OK, spControl->Run());
    PumpFor(200ms);
    ASSERT_EQ(S_OK, spControl->Stop());
    const int nAfter = pSink->Count() - nBefore;
    EXPECT_GE(nAfter, 2);
    EXPECT_LE(nAfter, 9);  // 0.2 s of 25 frames a second, and a little slack
}

// The program makes every graph's camcorder filter from the one device object, so they share its
// stream: a filter that only sends to the camcorder, or one whose stream another filter has taken
// over since, must leave the stream running when it stops or goes.
TEST_F(CamcorderCapture, FiltersSharingTheCamcordersStreamStopItOnlyWhileTheyFeedOnIt) {
    struct Feeder {
        ComPtr<IGraphBuilder> spGraph;
        ComPtr<IBaseFilter> spMsdv;
        CountingSink* pSink = nullptr;
        ComPtr<IBaseFilter> spSink;
    };
    const auto makeFeeder = [&](bool bReceive) {
        Feeder feeder;
        feeder.spGraph = NewGraph();
        EXPECT_EQ(S_OK, CreateDVDeviceFilter(m_spDevice.Get(), &feeder.spMsdv));
        feeder.spGraph->AddFilter(feeder.spMsdv.Get(), L"MSDV");
        if (bReceive) {
            feeder.pSink = new CountingSink();
            feeder.spSink = Own(feeder.pSink);
            feeder.spGraph->AddFilter(feeder.spSink.Get(), L"Sink");
            EXPECT_EQ(S_OK, Connect(feeder.spGraph.Get(), feeder.spMsdv.Get(), 1, feeder.spSink.Get(), 0));
        }
        return feeder;
    };
    const auto keepsComing = [](const Feeder& feeder) {
        const int nBefore = feeder.pSink->Count();
        PumpFor(300ms);
        return feeder.pSink->Count() >= nBefore + 3;
    };

    Feeder preview = makeFeeder(true);
    ASSERT_EQ(S_OK, ControlOf(preview.spGraph.Get())->Run());
    ASSERT_TRUE(keepsComing(preview));

    // A filter that only takes frames towards the camcorder runs, stops and goes.
    {
        Feeder sender = makeFeeder(false);
        ASSERT_EQ(S_OK, ControlOf(sender.spGraph.Get())->Run());
        ASSERT_EQ(S_OK, ControlOf(sender.spGraph.Get())->Stop());
    }
    EXPECT_TRUE(keepsComing(preview)) << "a sending filter stopped the stream";

    // A second receiving filter takes the stream over; the first one stopping leaves it running.
    Feeder next = makeFeeder(true);
    ASSERT_EQ(S_OK, ControlOf(next.spGraph.Get())->Run());
    ASSERT_EQ(S_OK, ControlOf(preview.spGraph.Get())->Stop());
    preview = Feeder{};
    EXPECT_TRUE(keepsComing(next)) << "the replaced filter stopped the stream";
    ASSERT_EQ(S_OK, ControlOf(next.spGraph.Get())->Stop());
}

TEST_F(CamcorderCapture, Type1CaptureWritesEveryFrameAndTheBusDropsAsIndexEntries) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"type1.avi");
    BuildCapture(1, strPath);
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Run());
    PumpFor(400ms);
    DropNext(3);
    PumpFor(600ms);
    EXPECT_EQ(3, Dropped());
    ASSERT_EQ(S_OK, ControlOf(m_spGraph.Get())->Stop());
    EXPECT_GT(RendererDrawn(m_spRenderer.Get()), 0);

    const ParsedFile parsed = Parse(strPath);
    EXPECT_EQ(1, parsed.nType);
    EXPECT_TRUE(parsed.bConsistent);
    EXPECT_GE(parsed.nLength, 20u);  // a second at 25 frames per second, give or take start-up
    ASSERT_EQ(3u, parsed.vecDropped.size());
    EXPECT_EQ(parsed.vecDropped[0] + 1, parsed.vecDropped[1]);
    EXPECT_EQ(parsed.vecDropped[1] + 1, parsed.vecDropped[2]);
}

TEST_F(CamcorderCapture, Type2CaptureWritesVideoAndAudioAndResumesAfterAPauseWithoutFalseDrops) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"type2.avi");
    BuildCapture(2, strPath);
    auto spControl = ControlOf(m_spGraph.Get());
    ASSERT_EQ(S_OK, spControl->Run());
    PumpFor(500ms);
    ASSERT_EQ(S_OK, spControl->Pause());  // linked mode: the file stays open
    PumpFor(400ms);
    ASSERT_EQ(S_OK, spControl->Run());
    PumpFor(500ms);
    ASSERT_EQ(S_OK, spControl->Stop());
    EXPECT_EQ(0, Dropped());

    const ParsedFile parsed = Parse(strPath);
    EXPECT_EQ(2, parsed.nType);
    EXPECT_TRUE(parsed.bConsistent);
    EXPECT_TRUE(parsed.vecDropped.empty());
    EXPECT_GE(parsed.nLength, 18u);
    EXPECT_LE(parsed.nLength, 32u);  // the paused 0.4 s is not in the file
    EXPECT_EQ(parsed.nLength, parsed.nAudioChunks);
}

class PlayFile : public ::testing::Test {
protected:
    // Source → AviSplitter → (Type 1: Dv Splitter →) DV Decorder → Video Renderer.
    void Build(const std::wstring& strPath, int nType) {
        m_spGraph = NewGraph();
        auto spSource = NewFilter(CLSID_AsyncReader);
        ComPtr<IFileSourceFilter> spLoad;
        ASSERT_EQ(S_OK, spSource->QueryInterface(IID_IFileSourceFilter, spLoad.AsVoid()));
        ASSERT_EQ(S_OK, spLoad->Load(strPath.c_str(), nullptr));
        auto spSplitter = NewFilter(CLSID_AviSplitter);
        auto spDecoder = NewFilter(CLSID_DVVideoCodec);
        m_spRenderer = NewFilter(CLSID_VideoRendererDefault);
        m_spGraph->AddFilter(spSource.Get(), L"Source");
        m_spGraph->AddFilter(spSplitter.Get(), L"AviSplitter");
        m_spGraph->AddFilter(spDecoder.Get(), L"DV Decorder");
        m_spGraph->AddFilter(m_spRenderer.Get(), L"Video Renderer");
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSource.Get(), 0, spSplitter.Get(), 0));
        if (nType == 1) {
            auto spDv = NewFilter(CLSID_DVSplitter);
            m_spGraph->AddFilter(spDv.Get(), L"Dv Splitter");
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 0, spDv.Get(), 0));
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spDv.Get(), 0, spDecoder.Get(), 0));
        } else {
            ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spSplitter.Get(), 0, spDecoder.Get(), 0));
        }
        ASSERT_EQ(S_OK, Connect(m_spGraph.Get(), spDecoder.Get(), 0, m_spRenderer.Get(), 0));
        ShowVideo(m_spGraph.Get());
        ASSERT_EQ(S_OK, m_spGraph->QueryInterface(IID_IMediaSeeking, m_spSeeking.AsVoid()));
        ASSERT_EQ(S_OK, m_spGraph->QueryInterface(IID_IMediaEventEx, m_spEvents.AsVoid()));
        m_spControl = ControlOf(m_spGraph.Get());
    }
    LONGLONG Position() {
        LONGLONG rt = -1;
        EXPECT_EQ(S_OK, m_spSeeking->GetCurrentPosition(&rt));
        return rt;
    }
    void SeekTo(LONGLONG rt) { ASSERT_EQ(S_OK, m_spSeeking->SetPositions(&rt, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning)); }
    bool WaitForEvent(long nWanted, std::chrono::milliseconds timeout) {
        return PumpUntil([&] {
            long nCode = 0;
            LONG_PTR p1 = 0, p2 = 0;
            while (m_spEvents->GetEvent(&nCode, &p1, &p2, 0) == S_OK)
                if (nCode == nWanted) return true;
            return false;
        }, timeout);
    }

    TempFolder m_folder;
    ComPtr<IGraphBuilder> m_spGraph;
    ComPtr<IBaseFilter> m_spRenderer;
    ComPtr<IMediaSeeking> m_spSeeking;
    ComPtr<IMediaEventEx> m_spEvents;
    ComPtr<IMediaControl> m_spControl;
};

TEST_F(PlayFile, PauseShowsTheFirstFrameAndPlayingToTheEndCompletes) {
    const std::wstring strPath = m_folder.Path(L"play1.avi");
    WriteTestAvi(strPath, 1, true, 10, {4});
    Build(strPath, 1);
    LONGLONG rtDuration = 0;
    ASSERT_EQ(S_OK, m_spSeeking->GetDuration(&rtDuration));
    EXPECT_EQ(10 * FramePeriod625, rtDuration);

    ASSERT_EQ(S_OK, m_spControl->Pause());
    ASSERT_TRUE(PumpUntil([&] { return RendererDrawn(m_spRenderer.Get()) >= 1; }, 3000ms));
    PumpFor(100ms);
    EXPECT_EQ(0, Position());
    ASSERT_EQ(S_OK, m_spControl->Run());
    ASSERT_TRUE(WaitForEvent(EC_COMPLETE, 5000ms));
    EXPECT_EQ(rtDuration, Position());
    ASSERT_TRUE(PumpUntil([&] { return RendererDrawn(m_spRenderer.Get()) + RendererDropped(m_spRenderer.Get()) >= 9; }, 2000ms));
    ASSERT_EQ(S_OK, m_spControl->Stop());
}

TEST_F(PlayFile, SeekingMovesThePositionAndPlaysOnFromThere) {
    const std::wstring strPath = m_folder.Path(L"play2.avi");
    WriteTestAvi(strPath, 2, false, 60);
    Build(strPath, 2);
    ASSERT_EQ(S_OK, m_spControl->Pause());
    const LONGLONG rtFrame50 = 50LL * 1000000000 / 2997;  // as the play graph computes it
    SeekTo(rtFrame50);
    EXPECT_EQ(rtFrame50, Position());
    PumpFor(200ms);
    EXPECT_EQ(rtFrame50, Position());  // paused: the position stands
    ASSERT_EQ(S_OK, m_spControl->Run());
    ASSERT_TRUE(WaitForEvent(EC_COMPLETE, 3000ms));  // ten frames, a third of a second
    LONGLONG rtDuration = 0;
    m_spSeeking->GetDuration(&rtDuration);
    EXPECT_EQ(rtDuration, Position());
    // Seeking while running starts again from there; beyond the end is the end.
    SeekTo(0);
    PumpFor(200ms);
    const LONGLONG rtNow = Position();
    EXPECT_GT(rtNow, 0);
    EXPECT_LT(rtNow, rtDuration);
    SeekTo(rtDuration * 4);
    EXPECT_EQ(rtDuration, Position());
    ASSERT_EQ(S_OK, m_spControl->Stop());
}

TEST_F(PlayFile, StopWhilePlayingEndsPromptlyAndKeepsThePosition) {
    const std::wstring strPath = m_folder.Path(L"play3.avi");
    WriteTestAvi(strPath, 1, true, 100);
    Build(strPath, 1);
    ASSERT_EQ(S_OK, m_spControl->Run());
    PumpFor(300ms);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(S_OK, m_spControl->Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    const LONGLONG rtStopped = Position();
    EXPECT_GT(rtStopped, 2000000);
    EXPECT_LT(rtStopped, 20000000);
}

TEST(DVDecoder, IPDisplayChoosesThePictureSizeOfTheOutput) {
    auto spGraph = NewGraph();
    auto spSource = Own(new PushSource(MakeDVType(MEDIATYPE_Video, false), false));
    auto spDecoder = NewFilter(CLSID_DVVideoCodec);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spDecoder.Get(), L"DV Decorder");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spDecoder.Get(), 0));
    ComPtr<IIPDVDec> spDec;
    ASSERT_EQ(S_OK, spDecoder->QueryInterface(IID_IIPDVDec, spDec.AsVoid()));
    EXPECT_EQ(E_INVALIDARG, spDec->put_IPDisplay(999));
    for (auto [nDisplay, nWidth, nHeight] : {std::tuple{1000, 720, 480}, std::tuple{1001, 360, 240}, std::tuple{1002, 180, 120}, std::tuple{1003, 90, 60}}) {
        ASSERT_EQ(S_OK, spDec->put_IPDisplay(nDisplay));
        auto* pSink = new CountingSink();
        auto spSink = Own(pSink);
        spGraph->AddFilter(spSink.Get(), L"Sink");
        ASSERT_EQ(S_OK, Connect(spGraph.Get(), spDecoder.Get(), 0, spSink.Get(), 0));
        const VIDEOINFOHEADER* pVih = dynamic_cast<FilterBase*>(spSink.Get())->FindPin(PINDIR_INPUT, 0)->Type().VideoInfo();
        ASSERT_NE(nullptr, pVih);
        EXPECT_EQ(nWidth, pVih->bmiHeader.biWidth);
        EXPECT_EQ(nHeight, pVih->bmiHeader.biHeight);
        EXPECT_EQ(VFW_E_ALREADY_CONNECTED, spDec->put_IPDisplay(nDisplay == 1000 ? 1003 : 1000));
        spGraph->RemoveFilter(spSink.Get());
    }
}

TEST(DVMuxer, PutsTheQueuedAudioIntoTheVideoFrame) {
    auto spGraph = NewGraph();
    auto* pVideo = new PushSource(MakeDVType(MEDIATYPE_Video, true), false);
    auto* pAudio = new PushSource(MakePcmType(48000, 2), false);
    auto spVideo = Own(pVideo);
    auto spAudio = Own(pAudio);
    auto spMux = NewFilter(CLSID_DVMux);
    auto spSplitter = NewFilter(CLSID_DVSplitter);
    auto* pPcm = new CountingSink();
    auto spPcm = Own(pPcm);
    for (auto [p, name] : {std::pair{spVideo.Get(), L"V"}, std::pair{spAudio.Get(), L"A"}, std::pair{spMux.Get(), L"Dv Mux"},
                           std::pair{spSplitter.Get(), L"Dv Splitter"}, std::pair{spPcm.Get(), L"PCM"}})
        spGraph->AddFilter(p, name);
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spVideo.Get(), 0, spMux.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spAudio.Get(), 0, spMux.Get(), 1));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spMux.Get(), 0, spSplitter.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSplitter.Get(), 1, spPcm.Get(), 0));
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());

    const std::vector<uint8_t> vecFrame = MakeDVFrame(true);
    dv::AudioFrame original;
    ASSERT_EQ(dv::Result::Ok, dv::ExtractAudio(vecFrame, original));
    std::vector<int16_t> vecSamples(static_cast<size_t>(original.nSamples) * 2, 1234);
    Sample audio;
    audio.pData = reinterpret_cast<const uint8_t*>(vecSamples.data());
    audio.nSize = vecSamples.size() * 2;
    Sample video;
    video.pData = vecFrame.data();
    video.nSize = vecFrame.size();
    ASSERT_EQ(S_OK, pAudio->Push(audio));
    ASSERT_EQ(S_OK, pVideo->Push(video));
    ControlOf(spGraph.Get())->Stop();
    // The splitter behind the muxer finds the pushed samples in the frame, not the pattern's tone.
    ASSERT_EQ(1, pPcm->Count());
    EXPECT_EQ(static_cast<size_t>(original.nSamples) * 4, pPcm->Sizes()[0]);
}

TEST(MediaDet, DescribesTheStreamsAndExportsThePictureAsA24BitBitmap) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"det.avi");
    WriteTestAvi(strPath, 1, false, 5, {0});
    ComPtr<IMediaDet> spDet;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, spDet.AsVoid()));
    BSTR bstrPath = ::SysAllocString(strPath.c_str());
    ASSERT_EQ(S_OK, spDet->put_Filename(bstrPath));
    ::SysFreeString(bstrPath);
    long nStreams = 0;
    ASSERT_EQ(S_OK, spDet->get_OutputStreams(&nStreams));
    EXPECT_EQ(2, nStreams);  // a Type 1 file shows its video and its audio
    GUID type;
    ASSERT_EQ(S_OK, spDet->put_CurrentStream(1));
    ASSERT_EQ(S_OK, spDet->get_StreamType(&type));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, type));
    EXPECT_EQ(E_INVALIDARG, spDet->put_CurrentStream(2));
    ASSERT_EQ(S_OK, spDet->put_CurrentStream(0));
    ASSERT_EQ(S_OK, spDet->get_StreamType(&type));
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, type));
    double dRate = 0;
    ASSERT_EQ(S_OK, spDet->get_FrameRate(&dRate));
    EXPECT_NEAR(29.97, dRate, 0.001);

    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(S_OK, spDet->get_StreamMediaType(&mt));
    ASSERT_TRUE(IsEqualGUID(FORMAT_VideoInfo, mt.formattype));
    ASSERT_GE(mt.cbFormat, 88u);
    const auto* pVih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
    EXPECT_EQ(720, pVih->bmiHeader.biWidth);
    EXPECT_EQ(480, pVih->bmiHeader.biHeight);
    FreeMediaType(mt);

    // Frame 0 was dropped: the picture comes from the next frame there is.
    long nSize = 0;
    ASSERT_EQ(S_OK, spDet->GetBitmapBits(0.0, &nSize, nullptr, 81, 60));
    const long nStride = (81 * 3 + 3) & ~3;
    ASSERT_EQ(40 + nStride * 60, nSize);
    std::vector<char> vecBits(static_cast<size_t>(nSize));
    ASSERT_EQ(S_OK, spDet->GetBitmapBits(0.0, &nSize, vecBits.data(), 81, 60));
    BITMAPINFOHEADER bih;
    std::memcpy(&bih, vecBits.data(), sizeof bih);
    EXPECT_EQ(40u, bih.biSize);
    EXPECT_EQ(81, bih.biWidth);
    EXPECT_EQ(60, bih.biHeight);
    EXPECT_EQ(24, bih.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), bih.biCompression);
    // The colour bars are not black.
    int nSum = 0;
    for (long n = 40; n < nSize; ++n) nSum += static_cast<unsigned char>(vecBits[static_cast<size_t>(n)]);
    EXPECT_GT(nSum, nSize * 20);
}

TEST(MediaDet, AFileThatIsNotADVAviIsRefused) {
    TempFolder folder;
    const std::wstring strPath = folder.Path(L"text.avi");
    const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD dwWritten = 0;
    ::WriteFile(hFile, "RIFF....WAVEfmt ", 16, &dwWritten, nullptr);
    ::CloseHandle(hFile);
    ComPtr<IMediaDet> spDet;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, spDet.AsVoid()));
    BSTR bstrPath = ::SysAllocString(strPath.c_str());
    EXPECT_TRUE(FAILED(spDet->put_Filename(bstrPath)));
    ::SysFreeString(bstrPath);
    long nStreams = 0;
    EXPECT_TRUE(FAILED(spDet->get_OutputStreams(&nStreams)));
}

}  // namespace
