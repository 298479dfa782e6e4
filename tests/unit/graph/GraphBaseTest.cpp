// Graph base on a real static control, and the graph utilities.
#include "graph/BaseGraph.h"

#include "devices/Bus.h"
#include "devices/Faces.h"

#include "MessagePump.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace media;

namespace {

using testsupport::PumpUntil;

// The camcorder's DV filter on a fresh simulated bus of the given system.
MediaPtr<IBaseFilter> MakeMsdv(devices::VideoSystem system) {
    devices::BusScenario scenario;
    scenario.vecCamcorders[0].settings.system = system;
    devices::Bus::Get().Reset(scenario);
    MediaPtr<devices::ICreateDevEnum> spDevEnum;
    devices::CoCreateInstance(devices::ClsidSystemDeviceEnum, nullptr, CLSCTX_ALL, devices::IID_ICreateDevEnum, spDevEnum.AsVoid());
    MediaPtr<devices::IEnumMoniker> spEnum;
    MediaPtr<IBaseFilter> spMsdv;
    if (!spDevEnum || spDevEnum->CreateClassEnumerator(devices::KsCategoryCapture, &spEnum, 0) != S_OK) return spMsdv;
    for (MediaPtr<devices::IMoniker> spMoniker; !spMsdv && spEnum->Next(1, &spMoniker, nullptr) == S_OK;) {
        MediaPtr<devices::IBaseFilter> spDevice;
        spMoniker->BindToObject(nullptr, nullptr, devices::IID_IBaseFilter, spDevice.AsVoid());
        if (spDevice) CreateDVDeviceFilter(spDevice.Get(), &spMsdv);
    }
    return spMsdv;
}

class CountingGraph : public BaseGraph {
public:
    void OnGraphTimer() override { ++m_nTicks; }
    LRESULT OnGraphNotify(WPARAM, LPARAM lParam) override {
        ++m_nNotified;
        return lParam + 1;
    }
    IGraphBuilder* Graph() { return m_spGraph.Get(); }
    int m_nTicks = 0;
    int m_nNotified = 0;
};

class BaseGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_hwndPanel = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        m_hwndPreview = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 320, 240, m_hwndPanel, nullptr, nullptr, nullptr);
    }
    void TearDown() override { ::DestroyWindow(m_hwndPanel); }
    HWND m_hwndPanel = nullptr;
    HWND m_hwndPreview = nullptr;
};

TEST_F(BaseGraphTest, InitGraphSubclassesThePreviewAndRoutesTimerAndNotifications) {
    CountingGraph graph;
    ASSERT_EQ(S_OK, graph.InitGraph(m_hwndPreview));
    const LONG_PTR nStyle = ::GetWindowLongPtrW(m_hwndPreview, GWL_STYLE);
    EXPECT_TRUE(nStyle & WS_CLIPCHILDREN);
    EXPECT_TRUE(nStyle & WS_CLIPSIBLINGS);
    ASSERT_TRUE(PumpUntil([&] { return graph.m_nTicks >= 3; }, 2000));
    EXPECT_EQ(42, ::SendMessageW(m_hwndPreview, WM_APP + 1, 0, 41));
    EXPECT_EQ(1, graph.m_nNotified);

    ASSERT_EQ(S_OK, graph.ExitGraph());
    EXPECT_FALSE(graph.IsInitialized());
    const int nTicks = graph.m_nTicks;
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(nTicks, graph.m_nTicks);  // timer gone, window given back
    EXPECT_EQ(0, ::SendMessageW(m_hwndPreview, WM_APP + 1, 0, 41));
}

TEST_F(BaseGraphTest, ThePreviewWindowFillsTheControlAndFollowsItsSize) {
    CountingGraph graph;
    ASSERT_EQ(S_OK, graph.InitGraph(m_hwndPreview));
    // Without a renderer there is nothing to size and nothing fails.
    EXPECT_EQ(S_OK, graph.FitSizePreviewWindow());
    EXPECT_EQ(S_OK, graph.ShowPreviewWindow(FALSE));
    MediaPtr<IBaseFilter> spRenderer;
    ASSERT_EQ(S_OK, CreateAndAddFilter(graph.Graph(), CLSID_VideoRendererDefault, &spRenderer, L"Video Renderer"));
    ASSERT_EQ(S_OK, graph.ShowPreviewWindow(TRUE));
    const HWND hwndVideo = ::GetWindow(m_hwndPreview, GW_CHILD);
    ASSERT_NE(nullptr, hwndVideo);
    EXPECT_TRUE(::IsWindowVisible(hwndVideo));
    RECT rc;
    ::GetClientRect(hwndVideo, &rc);
    EXPECT_EQ(320, rc.right);
    EXPECT_EQ(240, rc.bottom);
    ::SetWindowPos(m_hwndPreview, nullptr, 0, 0, 180, 120, SWP_NOMOVE | SWP_NOZORDER);
    ::GetClientRect(hwndVideo, &rc);
    EXPECT_EQ(180, rc.right);
    EXPECT_EQ(120, rc.bottom);
    EXPECT_EQ(S_OK, graph.ShowPreviewWindow(FALSE));
    EXPECT_FALSE(::IsWindowVisible(hwndVideo));
}

TEST_F(BaseGraphTest, ExitGraphRemovesEveryFilter) {
    CountingGraph graph;
    ASSERT_EQ(S_OK, graph.InitGraph(m_hwndPreview));
    MediaPtr<IGraphBuilder> spGraph(graph.Graph());
    MediaPtr<IBaseFilter> spTee, spGrabber;
    ASSERT_EQ(S_OK, CreateAndAddFilter(spGraph.Get(), CLSID_InfTee, &spTee, L"Inf Tee"));
    ASSERT_EQ(S_OK, CreateAndAddFilter(spGraph.Get(), CLSID_SampleGrabber, &spGrabber, L"DV Grabber"));
    ASSERT_EQ(S_OK, graph.ExitGraph());
    MediaPtr<IBaseFilter> spFound;
    EXPECT_EQ(VFW_E_NOT_FOUND, spGraph->FindFilterByName(L"Inf Tee", &spFound));
    EXPECT_EQ(VFW_E_NOT_FOUND, spGraph->FindFilterByName(L"DV Grabber", &spFound));
}

TEST(DShowUtil, GetPinCountsPinsOfOneDirection) {
    MediaPtr<IBaseFilter> spGrabber;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_ALL, IID_IBaseFilter, spGrabber.AsVoid()));
    MediaPtr<IPin> spPin;
    EXPECT_EQ(S_OK, GetPin(spGrabber.Get(), PINDIR_OUTPUT, 0, &spPin));
    EXPECT_EQ(E_FAIL, GetPin(spGrabber.Get(), PINDIR_OUTPUT, 1, &spPin));
    EXPECT_EQ(nullptr, spPin.Get());
    MediaPtr<IBaseFilter> spSmartTee;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_ALL, IID_IBaseFilter, spSmartTee.AsVoid()));
    MediaPtr<IPin> spPreview = GetOutPin(spSmartTee.Get(), 1);
    ASSERT_TRUE(spPreview);
    PIN_DIRECTION dir;
    spPreview->QueryDirection(&dir);
    EXPECT_EQ(PINDIR_OUTPUT, dir);
    EXPECT_FALSE(GetInPin(spSmartTee.Get(), 1));
}

TEST(DShowUtil, ConnectFilterWithoutAFilterFailsAndDisconnectPinBreaksBothSides) {
    MediaPtr<IGraphBuilder> spGraph;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, spGraph.AsVoid()));
    MediaPtr<IBaseFilter> spTee;
    ASSERT_EQ(S_OK, CreateAndAddFilter(spGraph.Get(), CLSID_InfTee, &spTee, L"Inf Tee"));
    EXPECT_EQ(E_FAIL, ConnectFilter(spGraph.Get(), nullptr, 0, spTee.Get(), 0));
    EXPECT_EQ(E_FAIL, ConnectFilter(spGraph.Get(), spTee.Get(), 0, nullptr, 0));

    MediaPtr<IBaseFilter> spMsdv = MakeMsdv(devices::VideoSystem::Lines625);
    ASSERT_EQ(S_OK, spGraph->AddFilter(spMsdv.Get(), L"MSDV"));
    EXPECT_EQ(E_FAIL, ConnectFilter(spGraph.Get(), spMsdv.Get(), 2, spTee.Get(), 0));  // no third output
    ASSERT_EQ(S_OK, ConnectFilter(spGraph.Get(), spMsdv.Get(), 1, spTee.Get(), 0));
    ASSERT_EQ(S_OK, DisconnectPin(spGraph.Get(), GetOutPin(spMsdv.Get(), 1).Get()));
    MediaPtr<IPin> spPeer;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, GetInPin(spTee.Get(), 0)->ConnectedTo(&spPeer));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, GetOutPin(spMsdv.Get(), 1)->ConnectedTo(&spPeer));
    // Both pins are free again.
    EXPECT_EQ(S_OK, ConnectFilter(spGraph.Get(), spMsdv.Get(), 1, spTee.Get(), 0));
}

TEST(DShowUtil, RemoveAllFilterEmptiesTheGraph) {
    MediaPtr<IGraphBuilder> spGraph;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, IID_IGraphBuilder, spGraph.AsVoid()));
    for (const wchar_t* pszName : {L"A", L"B", L"C"}) {
        MediaPtr<IBaseFilter> spFilter;
        ASSERT_EQ(S_OK, CreateAndAddFilter(spGraph.Get(), CLSID_InfTee, &spFilter, pszName));
    }
    EXPECT_EQ(S_OK, RemoveAllFilter(spGraph.Get()));
    MediaPtr<IEnumFilters> spEnum;
    ASSERT_EQ(S_OK, spGraph->EnumFilters(&spEnum));
    MediaPtr<IBaseFilter> spLeft;
    EXPECT_EQ(S_FALSE, spEnum->Next(1, &spLeft, nullptr));
}

TEST(DShowUtil, VideoFormatOfTheCamcorderFollowsItsSystem) {
    for (auto [system, nExpected] : {std::pair{devices::VideoSystem::Lines525, kVideoFormat525}, std::pair{devices::VideoSystem::Lines625, kVideoFormat625}}) {
        MediaPtr<IBaseFilter> spMsdv = MakeMsdv(system);
        ASSERT_TRUE(spMsdv);
        int nFormat = 0;
        ASSERT_EQ(S_OK, GetVideoFormatByDVFilter(spMsdv.Get(), &nFormat));
        EXPECT_EQ(nExpected, nFormat);
    }
    MediaPtr<IBaseFilter> spTee;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_ALL, IID_IBaseFilter, spTee.AsVoid()));
    int nFormat = 0;
    EXPECT_EQ(E_NOINTERFACE, GetVideoFormatByDVFilter(spTee.Get(), &nFormat));
}

TEST(DShowUtil, VideoFormatOfAFileThatIsNoDVAviFails) {
    int nFormat = 7;
    EXPECT_TRUE(FAILED(GetVideoFormatByFile(L"Z:\\no\\such\\file.avi", &nFormat)));
    EXPECT_EQ(7, nFormat);
}

}  // namespace
