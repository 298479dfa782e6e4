// The play graph: loading, pause on the first frame, play to the end, seeking, position and
// completion events, and the routing out to the camcorder.
#include "GraphTestSupport.h"

#include "graph/PlayGraph.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace graphtest;
using namespace media;

namespace {

class GraphAccess : public PlayGraph {
public:
    static IGraphBuilder* Of(PlayGraph& graph) { return static_cast<GraphAccess&>(graph).m_spGraph.Get(); }
};

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
    long Drawn() {
        MediaPtr<IBaseFilter> spRenderer;
        GraphAccess::Of(m_graph)->FindFilterByName(L"Video Renderer", &spRenderer);
        MediaPtr<IRendererStats> spStats;
        long n = -1;
        if (spRenderer && SUCCEEDED(spRenderer->QueryInterface(IID_IRendererStats, spStats.AsVoid()))) spStats->GetFramesDrawn(&n);
        return n;
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
    EXPECT_GT(m_host.Count(EVENT_PLAYPOSITION), 10);  // every 10 ms while playing
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

}  // namespace
