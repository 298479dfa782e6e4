// The play graph: loading, pause on the first frame, play to the end, seeking, position and
// completion events, and the routing out to the camcorder.
#include "GraphTestSupport.h"

#include "graph/DShowUtil.h"
#include "graph/PlayGraph.h"
#include "graph/RecordGraph.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace graphtest;
using namespace media;

namespace {

class GraphAccess : public PlayGraph {
public:
    static IGraphBuilder* Of(PlayGraph& graph) { return static_cast<GraphAccess&>(graph).m_spGraph.Get(); }
};

class RecordGraphAccess : public RecordGraph {
public:
    static IGraphBuilder* Of(RecordGraph& graph) { return static_cast<RecordGraphAccess&>(graph).m_spGraph.Get(); }
};

long FramesDrawn(IGraphBuilder* pGraph) {
    MediaPtr<IBaseFilter> spRenderer;
    if (pGraph == nullptr || FAILED(pGraph->FindFilterByName(L"Video Renderer", &spRenderer))) return -1;
    MediaPtr<IRendererStats> spStats;
    long n = -1;
    if (SUCCEEDED(spRenderer->QueryInterface(IID_IRendererStats, spStats.AsVoid()))) spStats->GetFramesDrawn(&n);
    return n;
}

// Whether an output pin of a filter is connected to the first input of the named filter.
bool FeedsFilter(IBaseFilter* pFilter, int nOutput, IGraphBuilder* pGraph, const wchar_t* pszPeer) {
    MediaPtr<IPin> spOut = GetOutPin(pFilter, nOutput);
    MediaPtr<IBaseFilter> spPeer;
    if (!spOut || FAILED(pGraph->FindFilterByName(pszPeer, &spPeer))) return false;
    MediaPtr<IPin> spIn = GetInPin(spPeer.Get(), 0);
    MediaPtr<IPin> spOther;
    return spIn && SUCCEEDED(spOut->ConnectedTo(&spOther)) && spOther.Get() == spIn.Get();
}

class PlayGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetBus(devices::VideoSystem::Lines625);
        m_host.m_nDVMode = 2;
        ASSERT_EQ(S_OK, m_graph.InitGraph(static_cast<GraphHost*>(&m_host), m_preview.Preview()));
        m_graph.SetActive(TRUE);
    }
    void TearDown() override {
        m_graph.ExitGraph();
        devices::SetDVFrameMaker(nullptr);
        if (!m_strIni.empty()) ::DeleteFileW(m_strIni.c_str());
    }
    void Pump(int nMs) { PumpUntil([] { return false; }, nMs); }
    bool HasFilter(const wchar_t* pszName) {
        MediaPtr<IBaseFilter> spFilter;
        return SUCCEEDED(GraphAccess::Of(m_graph)->FindFilterByName(pszName, &spFilter));
    }
    long Drawn() { return FramesDrawn(GraphAccess::Of(m_graph)); }
    bool TeeFeedsTheCamcorder() {
        MediaPtr<IBaseFilter> spTee;
        if (FAILED(GraphAccess::Of(m_graph)->FindFilterByName(L"Inf Tee", &spTee))) return false;
        return FeedsFilter(spTee.Get(), 1, GraphAccess::Of(m_graph), L"MSDV");
    }
    void UsePlayback() {
        wchar_t szExe[MAX_PATH];
        ::GetModuleFileNameW(nullptr, szExe, MAX_PATH);
        m_strIni = szExe;
        m_strIni = m_strIni.substr(0, m_strIni.rfind(L'.')) + L".ini";
        std::ofstream ini(m_strIni.c_str());
        ini << "[Debug]\r\nUsePlayback=1\r\n";
    }

    TempFolder m_folder;
    PreviewHost m_preview;
    TestHost m_host;
    PlayGraph m_graph;
    std::wstring m_strIni;
};

TEST_F(PlayGraphTest, AFileOfNeitherTypeFailsAndLeavesNoFile) {
    const std::wstring strPath = m_folder.Path(L"text.avi");
    std::ofstream(strPath.c_str()) << "RIFF this is not an AVI file at all, not even close to one";
    EXPECT_EQ(E_FAIL, m_graph.OpenFile(strPath));
    EXPECT_EQ(PlayGraph::StateNoFile, m_graph.GetState());
    EXPECT_EQ(0, m_graph.GetCurrentFrame());
}

TEST_F(PlayGraphTest, LoadingPausesOnTheFirstFrameAndPlayRunsToTheEnd) {
    const std::wstring strPath = m_folder.Path(L"one.avi");
    WriteTestAvi(strPath, 1, true, 12);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    EXPECT_EQ(PlayGraph::StatePaused, m_graph.GetState());
    EXPECT_EQ(4, m_host.m_vecTapeStates.back());
    EXPECT_EQ(12 * 400000, m_graph.GetDuration());
    ASSERT_TRUE(PumpUntil([&] { return Drawn() >= 1; }, 3000));
    EXPECT_EQ(E_FAIL, m_graph.Pause());

    ASSERT_EQ(S_OK, m_graph.Play());
    EXPECT_EQ(PlayGraph::StatePlaying, m_graph.GetState());
    EXPECT_EQ(0, m_host.m_vecTapeStates.back());
    ASSERT_TRUE(PumpUntil([&] { return m_host.Count(EVENT_PLAYCOMPLETE) == 1; }, 3000));
    // Told of each frame reached while playing (twelve to reach, the ticks being 10 ms), never twice of one.
    EXPECT_GE(m_host.Count(EVENT_PLAYPOSITION), 6);
    EXPECT_LE(m_host.Count(EVENT_PLAYPOSITION), 13);
    EXPECT_EQ(12, m_graph.GetCurrentFrame());
    const Timecode end = m_graph.GetCurrentTimeCode();
    EXPECT_EQ(12, end.nFrames);

    // Play at the end starts again from the start.
    ASSERT_EQ(S_OK, m_graph.Pause());
    ASSERT_EQ(S_OK, m_graph.Play());
    Pump(100);
    EXPECT_LT(m_graph.GetCurrentFrame(), 8);
    EXPECT_GT(m_graph.GetCurrentFrame(), 0);
}

TEST_F(PlayGraphTest, SeekingBeyondTheEndWhilePlayingStopsThereAndCompletes) {
    const std::wstring strPath = m_folder.Path(L"two.avi");
    WriteTestAvi(strPath, 2, false, 90);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    ASSERT_EQ(S_OK, m_graph.SeekToTimeCode(0, 0, 2, 0));  // paused: frame 60
    EXPECT_EQ(60, m_graph.GetCurrentFrame());
    ASSERT_EQ(S_OK, m_graph.Play());
    m_host.m_vecSent.clear();
    ASSERT_EQ(S_OK, m_graph.SeekToFrame(5000));
    EXPECT_EQ(1, m_host.Count(EVENT_PLAYCOMPLETE));
    EXPECT_EQ(90, m_graph.GetCurrentFrame());
}

TEST_F(PlayGraphTest, DeviceMode3WithoutUsePlaybackUsesTheOutputStatesButNeverReroutes) {
    m_host.m_nDVMode = 3;
    const std::wstring strPath = m_folder.Path(L"three.avi");
    WriteTestAvi(strPath, 2, true, 25);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    EXPECT_EQ(PlayGraph::StatePausedOut, m_graph.GetState());
    ASSERT_EQ(S_OK, m_graph.Play());
    EXPECT_EQ(PlayGraph::StatePlayingOut, m_graph.GetState());
    EXPECT_FALSE(HasFilter(L"MSDV"));
    m_host.m_nDVMode = 2;
    ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
    EXPECT_EQ(PlayGraph::StatePlaying, m_graph.GetState());
}

TEST_F(PlayGraphTest, AType2FileRoutedToTheCamcorderPlaysThroughTheDVMuxer) {
    UsePlayback();
    const std::wstring strPath = m_folder.Path(L"four.avi");
    WriteTestAvi(strPath, 2, true, 50);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    ASSERT_EQ(S_OK, m_graph.Play());
    Pump(200);
    const long nDirect = Drawn();
    EXPECT_GT(nDirect, 0);
    m_host.m_nDVMode = 3;
    ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
    EXPECT_EQ(PlayGraph::StatePlayingOut, m_graph.GetState());
    EXPECT_TRUE(HasFilter(L"MSDV"));
    // The preview now shows the stream split again behind the muxer and the tee.
    ASSERT_TRUE(PumpUntil([&] { return Drawn() > nDirect + 3; }, 3000));
    m_host.m_nDVMode = 2;
    ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
    EXPECT_FALSE(HasFilter(L"MSDV"));
    const long nBack = Drawn();
    ASSERT_TRUE(PumpUntil([&] { return Drawn() > nBack + 3 || m_host.Count(EVENT_PLAYCOMPLETE) > 0; }, 3000));
}

TEST_F(PlayGraphTest, LeavingThePlayTabLeavesNoGraph) {
    const std::wstring strPath = m_folder.Path(L"five.avi");
    WriteTestAvi(strPath, 1, true, 10);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    m_graph.SetActive(FALSE);
    EXPECT_EQ(S_OK, m_graph.LoadFile());
    EXPECT_EQ(PlayGraph::StateNoFile, m_graph.GetState());
    EXPECT_FALSE(HasFilter(L"Source"));
}

TEST_F(PlayGraphTest, AType1FileRoutedToTheCamcorderFeedsItFromTheTeeAndKeepsItsPosition) {
    UsePlayback();
    m_host.m_nDVMode = 3;
    const std::wstring strPath = m_folder.Path(L"six.avi");
    WriteTestAvi(strPath, 1, true, 75);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    EXPECT_EQ(PlayGraph::StatePausedOut, m_graph.GetState());
    EXPECT_TRUE(TeeFeedsTheCamcorder());
    ASSERT_EQ(S_OK, m_graph.SeekToFrame(20));
    EXPECT_EQ(20, m_graph.GetCurrentFrame());
    EXPECT_TRUE(TeeFeedsTheCamcorder());

    // Playing out, the preview still shows the stream the tee also hands to the camcorder.
    ASSERT_EQ(S_OK, m_graph.Play());
    EXPECT_EQ(PlayGraph::StatePlayingOut, m_graph.GetState());
    const long nBefore = Drawn();
    ASSERT_TRUE(PumpUntil([&] { return Drawn() > nBefore + 3; }, 3000));
    ASSERT_EQ(S_OK, m_graph.Pause());
    const int nPaused = m_graph.GetCurrentFrame();
    EXPECT_GT(nPaused, 20);

    // Back to the preview alone: the camcorder's filter leaves, the position stays.
    m_host.m_nDVMode = 2;
    ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
    EXPECT_EQ(PlayGraph::StatePaused, m_graph.GetState());
    EXPECT_FALSE(HasFilter(L"MSDV"));
    EXPECT_EQ(nPaused, m_graph.GetCurrentFrame());
    MediaPtr<IBaseFilter> spTee;
    ASSERT_EQ(S_OK, GraphAccess::Of(m_graph)->FindFilterByName(L"Inf Tee", &spTee));
    MediaPtr<IPin> spOther;
    MediaPtr<IPin> spTeeOut = GetOutPin(spTee.Get(), 1);
    EXPECT_TRUE(!spTeeOut || FAILED(spTeeOut->ConnectedTo(&spOther)));

    // And out again while paused.
    m_host.m_nDVMode = 3;
    ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
    EXPECT_EQ(PlayGraph::StatePausedOut, m_graph.GetState());
    EXPECT_TRUE(TeeFeedsTheCamcorder());
    EXPECT_EQ(nPaused, m_graph.GetCurrentFrame());
}

// The camcorder's filter object is shared with the record preview, which runs all the while on
// the record tab: routing playback out and back must not stop the camcorder's stream under it.
TEST_F(PlayGraphTest, TheRecordPreviewKeepsRunningAfterPlaybackWasRoutedToTheCamcorderAndBack) {
    UsePlayback();
    PreviewHost recordPreview;
    RecordGraph record;
    ASSERT_EQ(S_OK, record.InitGraph(static_cast<GraphHost*>(&m_host), recordPreview.Preview()));
    ASSERT_EQ(S_OK, record.UpdateGraph());
    ASSERT_EQ(RecordGraph::StatePreview, record.GetState());
    const auto recordDrawn = [&] { return FramesDrawn(RecordGraphAccess::Of(record)); };
    ASSERT_TRUE(PumpUntil([&] { return recordDrawn() > 3; }, 3000));

    for (int nType : {1, 2}) {
        SCOPED_TRACE(nType);
        const std::wstring strPath = m_folder.Path(nType == 1 ? L"routed1.avi" : L"routed2.avi");
        WriteTestAvi(strPath, nType, true, 50);
        ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
        ASSERT_EQ(S_OK, m_graph.Play());
        m_host.m_nDVMode = 3;
        ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
        ASSERT_TRUE(HasFilter(L"MSDV"));
        Pump(100);
        m_host.m_nDVMode = 2;
        ASSERT_EQ(S_OK, m_graph.SyncWithDVMode());
        ASSERT_FALSE(HasFilter(L"MSDV"));
        const long nAfterBack = recordDrawn();
        EXPECT_TRUE(PumpUntil([&] { return recordDrawn() > nAfterBack + 5; }, 2000)) << "the record preview froze";
        // Leaving the file lets the play graph's whole graph go; the preview runs on.
        m_graph.OpenFile(L"");
        ASSERT_EQ(PlayGraph::StateNoFile, m_graph.GetState());
        const long nAfterClear = recordDrawn();
        EXPECT_TRUE(PumpUntil([&] { return recordDrawn() > nAfterClear + 5; }, 2000)) << "the record preview froze";
    }
    record.ExitGraph();
}

// A paused renderer that lost its picture asks for it again; the graph answers by setting the same
// position once more, which delivers the picture anew without moving.
TEST_F(PlayGraphTest, ARepaintRequestShowsThePictureAtTheSamePositionAgain) {
    const std::wstring strPath = m_folder.Path(L"seven.avi");
    WriteTestAvi(strPath, 1, true, 40);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    ASSERT_EQ(S_OK, m_graph.SeekToFrame(17));
    ASSERT_TRUE(PumpUntil([&] { return Drawn() >= 1; }, 3000));
    Pump(100);
    const long nDrawn = Drawn();
    MediaPtr<IMediaEventSink> spSink;
    ASSERT_EQ(S_OK, GraphAccess::Of(m_graph)->QueryInterface(IID_IMediaEventSink, spSink.AsVoid()));
    ASSERT_EQ(S_OK, spSink->Notify(EC_REPAINT, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return Drawn() > nDrawn; }, 3000));
    EXPECT_EQ(17, m_graph.GetCurrentFrame());
    EXPECT_EQ(PlayGraph::StatePaused, m_graph.GetState());
}

// 525/60 time codes count 30 frames a second while the stream runs at 29.97: the seek must land
// on the time code's frame and read back as the same time code.
TEST_F(PlayGraphTest, SeekToTimeCodeOnA525FileLandsOnThatFrame) {
    const std::wstring strPath = m_folder.Path(L"eight.avi");
    WriteTestAvi(strPath, 1, false, 120);
    ASSERT_EQ(S_OK, m_graph.OpenFile(strPath));
    struct Case {
        int nSeconds, nFrames, nExpected;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{1, 15, 45}, Case{3, 0, 90}, Case{3, 29, 119}, Case{2, 1, 61}}) {
        SCOPED_TRACE(c.nExpected);
        ASSERT_EQ(S_OK, m_graph.SeekToTimeCode(0, 0, c.nSeconds, c.nFrames));
        EXPECT_EQ(c.nExpected, m_graph.GetCurrentFrame());
        const Timecode tc = m_graph.GetCurrentTimeCode();
        EXPECT_EQ(c.nSeconds, tc.nSeconds);
        EXPECT_EQ(c.nFrames, tc.nFrames);
    }
    // Beyond the end it stops at the end while paused, and sends nothing.
    m_host.m_vecSent.clear();
    ASSERT_EQ(S_OK, m_graph.SeekToTimeCode(0, 0, 10, 0));
    EXPECT_EQ(120, m_graph.GetCurrentFrame());
    EXPECT_EQ(0, m_host.Count(EVENT_PLAYCOMPLETE));
}

}  // namespace
