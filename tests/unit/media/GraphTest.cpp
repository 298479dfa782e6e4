// The filter graph's rules: names, connections, removal, state changes, events reaching the
// notify window and the capture graph builder's search.
#include "MediaTestSupport.h"

using namespace mediatest;
using namespace media;

namespace {

MediaType Pcm() {
    return MakePcmType(48000, 2);
}

std::wstring NameOf(IBaseFilter* pFilter) {
    WCHAR szName[128] = {};
    pFilter->QueryFilterName(szName, 128);
    return szName;
}

TEST(FilterGraph, TakenNamesGetANumberAndFindFilterByNameFindsEach) {
    auto spGraph = NewGraph();
    auto spTee1 = NewFilter(CLSID_InfTee);
    auto spTee2 = NewFilter(CLSID_InfTee);
    ASSERT_EQ(S_OK, spGraph->AddFilter(spTee1.Get(), L"Inf Tee"));
    ASSERT_EQ(S_OK, spGraph->AddFilter(spTee2.Get(), L"Inf Tee"));
    EXPECT_EQ(L"Inf Tee", NameOf(spTee1.Get()));
    EXPECT_EQ(L"Inf Tee 0001", NameOf(spTee2.Get()));
    EXPECT_NE(S_OK, spGraph->AddFilter(spTee1.Get(), L"Again"));

    ComPtr<IBaseFilter> spFound;
    ASSERT_EQ(S_OK, spGraph->FindFilterByName(L"Inf Tee 0001", &spFound));
    EXPECT_EQ(spTee2.Get(), spFound.Get());
    EXPECT_EQ(VFW_E_NOT_FOUND, spGraph->FindFilterByName(L"Nothing", &spFound));

    ComPtr<IEnumFilters> spEnum;
    ASSERT_EQ(S_OK, spGraph->EnumFilters(&spEnum));
    IBaseFilter* apFilters[4] = {};
    ULONG nFetched = 0;
    EXPECT_EQ(S_FALSE, spEnum->Next(4, apFilters, &nFetched));
    EXPECT_EQ(2u, nFetched);
    for (ULONG n = 0; n < nFetched; ++n) apFilters[n]->Release();
}

TEST(FilterGraph, ConnectDirectChecksDirectionsTypesAndMembership) {
    auto spGraph = NewGraph();
    ComPtr<IBaseFilter> spSource(new PushSource(Pcm(), false));
    spSource->Release();  // the holder took its own reference
    auto spSplitter = NewFilter(CLSID_DVSplitter);
    auto spTee = NewFilter(CLSID_InfTee);
    ASSERT_EQ(S_OK, spGraph->AddFilter(spSource.Get(), L"Source"));
    ASSERT_EQ(S_OK, spGraph->AddFilter(spTee.Get(), L"Tee"));

    // Not in the graph, wrong way round, a type the input refuses, a media type given.
    EXPECT_EQ(VFW_E_NOT_IN_GRAPH, Connect(spGraph.Get(), spSource.Get(), 0, spSplitter.Get(), 0));
    ASSERT_EQ(S_OK, spGraph->AddFilter(spSplitter.Get(), L"Splitter"));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Connect(spGraph.Get(), spSource.Get(), 0, spSplitter.Get(), 0));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION,
              spGraph->ConnectDirect(PinOf(spTee.Get(), PINDIR_INPUT, 0), PinOf(spSource.Get(), PINDIR_OUTPUT, 0), nullptr));
    AM_MEDIA_TYPE mt{};
    EXPECT_EQ(E_INVALIDARG, spGraph->ConnectDirect(PinOf(spSource.Get(), PINDIR_OUTPUT, 0), PinOf(spTee.Get(), PINDIR_INPUT, 0), &mt));

    // A tee's output has no type before its input is connected.
    auto spSink = new CountingSink();
    ComPtr<IBaseFilter> spSinkFilter(spSink);
    spSink->Release();
    ASSERT_EQ(S_OK, spGraph->AddFilter(spSinkFilter.Get(), L"Sink"));
    EXPECT_EQ(VFW_E_NOT_CONNECTED, Connect(spGraph.Get(), spTee.Get(), 0, spSinkFilter.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spTee.Get(), 0));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Connect(spGraph.Get(), spSource.Get(), 0, spTee.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spTee.Get(), 0, spSinkFilter.Get(), 0));

    ComPtr<IPin> spPeer;
    ASSERT_EQ(S_OK, PinOf(spSinkFilter.Get(), PINDIR_INPUT, 0)->ConnectedTo(&spPeer));
    EXPECT_EQ(PinOf(spTee.Get(), PINDIR_OUTPUT, 0), spPeer.Get());
}

TEST(FilterGraph, InfiniteTeeAlwaysOffersOneFreeOutput) {
    auto spGraph = NewGraph();
    ComPtr<IBaseFilter> spSource(new PushSource(Pcm(), false));
    spSource->Release();
    auto spTee = NewFilter(CLSID_InfTee);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spTee.Get(), L"Tee");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spTee.Get(), 0));
    std::vector<ComPtr<IBaseFilter>> vecSinks;
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(nullptr, PinOf(spTee.Get(), PINDIR_OUTPUT, n + 1));
        vecSinks.emplace_back(new CountingSink());
        vecSinks.back()->Release();
        spGraph->AddFilter(vecSinks.back().Get(), L"Sink");
        ASSERT_EQ(S_OK, Connect(spGraph.Get(), spTee.Get(), n, vecSinks.back().Get(), 0));
        EXPECT_NE(nullptr, PinOf(spTee.Get(), PINDIR_OUTPUT, n + 1));
    }
}

TEST(FilterGraph, RemovingAFilterBreaksBothSidesOfItsConnections) {
    auto spGraph = NewGraph();
    ComPtr<IBaseFilter> spSource(new PushSource(Pcm(), false));
    spSource->Release();
    auto spTee = NewFilter(CLSID_InfTee);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spTee.Get(), L"Tee");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spTee.Get(), 0));
    ASSERT_EQ(S_OK, spGraph->RemoveFilter(spTee.Get()));
    ComPtr<IPin> spPeer;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, PinOf(spSource.Get(), PINDIR_OUTPUT, 0)->ConnectedTo(&spPeer));
    EXPECT_EQ(VFW_E_NOT_FOUND, spGraph->RemoveFilter(spTee.Get()));
    EXPECT_EQ(L"", NameOf(spTee.Get()));
}

TEST(FilterGraph, DisconnectBreaksOneSideAndNeedsAStoppedGraph) {
    auto spGraph = NewGraph();
    auto* pSource = new PushSource(Pcm(), true);
    ComPtr<IBaseFilter> spSource(pSource);
    pSource->Release();
    auto* pSink = new CountingSink();
    ComPtr<IBaseFilter> spSink(pSink);
    pSink->Release();
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spSink.Get(), L"Sink");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spSink.Get(), 0));
    auto spControl = ControlOf(spGraph.Get());
    ASSERT_EQ(S_OK, spControl->Run());
    EXPECT_EQ(VFW_E_NOT_STOPPED, spGraph->Disconnect(PinOf(spSink.Get(), PINDIR_INPUT, 0)));
    EXPECT_EQ(VFW_E_NOT_STOPPED, spGraph->RemoveFilter(spSink.Get()));
    ASSERT_EQ(S_OK, spControl->Stop());

    // The order that matters: the peer (input) first, then the output; nothing flows afterwards.
    ASSERT_EQ(S_OK, spGraph->Disconnect(PinOf(spSink.Get(), PINDIR_INPUT, 0)));
    ASSERT_EQ(S_OK, spGraph->Disconnect(PinOf(spSource.Get(), PINDIR_OUTPUT, 0)));
    EXPECT_EQ(S_FALSE, spGraph->Disconnect(PinOf(spSource.Get(), PINDIR_OUTPUT, 0)));
    ASSERT_EQ(S_OK, spControl->Run());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pSource->Push(Sample{}));
    EXPECT_EQ(0, pSink->Count());
}

TEST(FilterGraph, StateChangesReachEveryFilterAndSamplesOnlyFlowWhileStarted) {
    auto spGraph = NewGraph();
    auto* pSource = new PushSource(Pcm(), false);
    ComPtr<IBaseFilter> spSource(pSource);
    pSource->Release();
    auto* pSink = new CountingSink();
    ComPtr<IBaseFilter> spSink(pSink);
    pSink->Release();
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spSink.Get(), L"Sink");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spSink.Get(), 0));
    auto spControl = ControlOf(spGraph.Get());
    const uint8_t abyData[4] = {};
    Sample sample;
    sample.pData = abyData;
    sample.nSize = sizeof abyData;

    EXPECT_EQ(VFW_E_WRONG_STATE, pSource->Push(sample));
    OAFilterState state = -1;
    for (auto [fn, expected] : {std::pair{&IMediaControl::Pause, State_Paused}, std::pair{&IMediaControl::Run, State_Running},
                                std::pair{&IMediaControl::Pause, State_Paused}, std::pair{&IMediaControl::Stop, State_Stopped}}) {
        ASSERT_EQ(S_OK, (spControl.Get()->*fn)());
        ASSERT_EQ(S_OK, spControl->GetState(0, &state));
        EXPECT_EQ(expected, state);
        FILTER_STATE filterState;
        spSink->GetState(0, &filterState);
        EXPECT_EQ(expected, filterState);
        if (expected != State_Stopped) {
            EXPECT_EQ(S_OK, pSource->Push(sample));
        }
    }
    EXPECT_EQ(3, pSink->Count());
}

// A window that remembers the graph notifications it receives.
class NotifyWindow {
public:
    static constexpr UINT Message = WM_APP + 1;
    NotifyWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PloverMediaNotifyTest";
        ::RegisterClassW(&wc);
        m_hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~NotifyWindow() { ::DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    int m_nNotified = 0;
    LPARAM m_lLastInstance = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        auto* pThis = reinterpret_cast<NotifyWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (pThis && uMsg == Message) {
            ++pThis->m_nNotified;
            pThis->m_lLastInstance = lParam;
            return 0;
        }
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }
    HWND m_hwnd = nullptr;
};

TEST(FilterGraph, CompletionIsPostedToTheNotifyWindowOnceEveryRendererEnded) {
    NotifyWindow window;
    auto spGraph = NewGraph();
    ComPtr<IMediaEventEx> spEvents;
    ASSERT_EQ(S_OK, spGraph->QueryInterface(IID_IMediaEventEx, spEvents.AsVoid()));
    ASSERT_EQ(S_OK, spEvents->SetNotifyWindow(reinterpret_cast<OAHWND>(window.Handle()), NotifyWindow::Message, 77));

    auto* pSource = new PushSource(Pcm(), false);
    ComPtr<IBaseFilter> spSource(pSource);
    pSource->Release();
    auto spTee = NewFilter(CLSID_InfTee);
    CountingSink* apSinks[2] = {new CountingSink(), new CountingSink()};
    ComPtr<IBaseFilter> spSink0(apSinks[0]), spSink1(apSinks[1]);
    apSinks[0]->Release();
    apSinks[1]->Release();
    for (auto [p, name] : {std::pair{spSource.Get(), L"Source"}, std::pair{spTee.Get(), L"Tee"}, std::pair{spSink0.Get(), L"A"}, std::pair{spSink1.Get(), L"B"}})
        spGraph->AddFilter(p, name);
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spTee.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spTee.Get(), 0, spSink0.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spTee.Get(), 1, spSink1.Get(), 0));
    ASSERT_EQ(S_OK, ControlOf(spGraph.Get())->Run());

    long nCode = 0;
    LONG_PTR p1 = 0, p2 = 0;
    std::thread([&] { apSinks[0]->EndOfStream(0); }).join();  // one renderer alone does not complete
    EXPECT_EQ(E_ABORT, spEvents->GetEvent(&nCode, &p1, &p2, 0));
    std::thread([&] { pSource->PushEnd(); }).join();
    ASSERT_TRUE(PumpUntil([&] { return window.m_nNotified > 0; }, std::chrono::milliseconds(2000)));
    EXPECT_EQ(77, window.m_lLastInstance);
    ASSERT_EQ(S_OK, spEvents->GetEvent(&nCode, &p1, &p2, 0));
    EXPECT_EQ(EC_COMPLETE, nCode);
    EXPECT_EQ(S_OK, spEvents->FreeEventParams(nCode, p1, p2));
    EXPECT_EQ(E_ABORT, spEvents->GetEvent(&nCode, &p1, &p2, 0));  // exactly one completion
}

TEST(CaptureGraphBuilder, FindInterfaceLooksAtTheFilterThenDownstreamOnly) {
    auto spGraph = NewGraph();
    ComPtr<ICaptureGraphBuilder2> spBuilder;
    ASSERT_EQ(S_OK, media::CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_ALL, IID_ICaptureGraphBuilder2, spBuilder.AsVoid()));
    ASSERT_EQ(S_OK, spBuilder->SetFiltergraph(spGraph.Get()));
    EXPECT_EQ(E_UNEXPECTED, spBuilder->SetFiltergraph(spGraph.Get()));

    ComPtr<IBaseFilter> spSource(new PushSource(MakeDVType(MEDIATYPE_Video, false), false));
    spSource->Release();
    auto spGrabber = NewFilter(CLSID_SampleGrabber);
    auto spDecoder = NewFilter(CLSID_DVVideoCodec);
    spGraph->AddFilter(spSource.Get(), L"Source");
    spGraph->AddFilter(spGrabber.Get(), L"Grabber");
    spGraph->AddFilter(spDecoder.Get(), L"Decoder");
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spSource.Get(), 0, spGrabber.Get(), 0));
    ASSERT_EQ(S_OK, Connect(spGraph.Get(), spGrabber.Get(), 0, spDecoder.Get(), 0));

    ComPtr<IIPDVDec> spDec;
    EXPECT_EQ(S_OK, spBuilder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, spSource.Get(), IID_IIPDVDec, spDec.AsVoid()));
    EXPECT_NE(nullptr, spDec.Get());
    ComPtr<ISampleGrabber> spGrab;
    EXPECT_EQ(E_NOINTERFACE, spBuilder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, spDecoder.Get(), IID_ISampleGrabber, spGrab.AsVoid()));
    EXPECT_EQ(S_OK, spBuilder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, spDecoder.Get(), IID_ISampleGrabber, spGrab.AsVoid()));
}

TEST(FilterFactory, UnknownClassesAreNotRegistered) {
    const GUID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    IUnknown* p = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, media::CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&p)));
    EXPECT_EQ(nullptr, p);
}

}  // namespace
