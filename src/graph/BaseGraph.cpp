// Graph base: initialisation and shutdown, the preview window, seeking and run, pause and stop.
#include "graph/BaseGraph.h"

#include "core/DebugTrace.h"

using namespace media;

GraphWindow::GraphWindow(BaseGraph& graph) : m_graph(graph), m_hBlackBrush(::CreateSolidBrush(RGB(0, 0, 0))) {}

GraphWindow::~GraphWindow() {
    if (IsSubclassed()) {
        ::KillTimer(GetSafeHwnd(), TimerId);
        Unsubclass();
    }
    ::DeleteObject(m_hBlackBrush);
}

void GraphWindow::OnSubclassed() {
    const LONG_PTR nStyle = ::GetWindowLongPtrW(GetSafeHwnd(), GWL_STYLE);
    ::SetWindowLongPtrW(GetSafeHwnd(), GWL_STYLE, nStyle | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
    ::SetTimer(GetSafeHwnd(), TimerId, TimerPeriodMs, nullptr);
}

LRESULT GraphWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE: {
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        TRACE_FAILED_HR(m_graph.FitSizePreviewWindow(), "FitSizePreviewWindow");
        return result;
    }
    case WM_ERASEBKGND: {
        RECT rc;
        ::GetClientRect(GetSafeHwnd(), &rc);
        ::FillRect(reinterpret_cast<HDC>(wParam), &rc, m_hBlackBrush);
        return DefaultProc(msg, wParam, lParam);
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(GetSafeHwnd(), &ps);
        RECT rc;
        ::GetClientRect(GetSafeHwnd(), &rc);
        ::FillRect(hdc, &rc, m_hBlackBrush);
        ::EndPaint(GetSafeHwnd(), &ps);
        return 0;
    }
    case WM_TIMER:
        if (wParam == TimerId) {
            m_graph.OnGraphTimer();
            // A graph with nothing to watch is not woken a hundred times a second for nothing.
            if (!m_graph.NeedsGraphTimer()) ::KillTimer(GetSafeHwnd(), TimerId);
        }
        return DefaultProc(msg, wParam, lParam);
    case GraphNotifyMessage:
        return m_graph.OnGraphNotify(wParam, lParam);
    default:
        return DefaultProc(msg, wParam, lParam);
    }
}

BaseGraph::BaseGraph() : m_graphWindow(*this) {}

BaseGraph::~BaseGraph() {
    ExitGraph();
}

LRESULT BaseGraph::OnGraphNotify(WPARAM, LPARAM) {
    return 0;
}

void BaseGraph::StartGraphTimer() {
    if (m_graphWindow.IsSubclassed()) ::SetTimer(m_graphWindow.GetSafeHwnd(), GraphWindow::TimerId, GraphWindow::TimerPeriodMs, nullptr);
}

HRESULT BaseGraph::InitGraph(HWND hWnd) {
    if (TRACE_FAILED_BOOL(m_graphWindow.Subclass(hWnd), "SubclassWindow")) return E_FAIL;
    MediaPtr<IGraphBuilder> spGraph;
    HRESULT hr = media::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, spGraph.AsVoid());
    if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return hr;
    MediaPtr<ICaptureGraphBuilder2> spCapture;
    hr = media::CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2, spCapture.AsVoid());
    if (TRACE_FAILED_HR(hr, "CoCreateInstance")) return hr;
    hr = spCapture->SetFiltergraph(spGraph.Get());
    if (TRACE_FAILED_HR(hr, "SetFiltergraph")) return hr;
    MediaPtr<IVideoWindow> spVideoWindow;
    hr = spGraph->QueryInterface(IID_IVideoWindow, spVideoWindow.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    MediaPtr<IMediaEventEx> spMediaEvent;
    hr = spGraph->QueryInterface(IID_IMediaEventEx, spMediaEvent.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    MediaPtr<IMediaSeeking> spMediaSeeking;
    hr = spGraph->QueryInterface(IID_IMediaSeeking, spMediaSeeking.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;

    m_spGraph = spGraph;
    m_spCapture = spCapture;
    m_spVideoWindow = spVideoWindow;
    m_spMediaEvent = spMediaEvent;
    m_spMediaSeeking = spMediaSeeking;
    hr = m_spMediaEvent->SetNotifyWindow(reinterpret_cast<OAHWND>(hWnd), GraphWindow::GraphNotifyMessage, 0);
    if (TRACE_FAILED_HR(hr, "SetNotifyWindow")) return hr;
    m_bInitialized = TRUE;
    return S_OK;
}

HRESULT BaseGraph::ExitGraph() {
    if (!m_bInitialized) return S_OK;
    StopGraph();
    const HRESULT hr = RemoveAllFilter(m_spGraph.Get());
    // Released in reverse order of creation.
    m_spMediaSeeking.Release();
    m_spMediaEvent.Release();
    m_spVideoWindow.Release();
    m_spCapture.Release();
    m_spGraph.Release();
    if (m_graphWindow.IsSubclassed()) {
        ::KillTimer(m_graphWindow.GetSafeHwnd(), GraphWindow::TimerId);
        m_graphWindow.Unsubclass();
    }
    m_bInitialized = FALSE;
    return hr;
}

HRESULT BaseGraph::ShowPreviewWindow(BOOL bShow) {
    if (!m_spVideoWindow) return bShow ? E_UNEXPECTED : S_OK;
    if (!bShow) {
        m_spVideoWindow->put_Visible(OAFALSE);
        return S_OK;
    }
    const HWND hWnd = m_graphWindow.GetSafeHwnd();
    HRESULT hr = m_spVideoWindow->put_Owner(reinterpret_cast<OAHWND>(hWnd));
    if (TRACE_FAILED_HR(hr, "put_Owner")) return hr;
    hr = m_spVideoWindow->put_MessageDrain(reinterpret_cast<OAHWND>(::GetParent(hWnd)));
    if (TRACE_FAILED_HR(hr, "put_MessageDrain")) return hr;
    hr = m_spVideoWindow->put_Visible(OAFALSE);
    if (TRACE_FAILED_HR(hr, "put_Visible")) return hr;
    hr = m_spVideoWindow->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN);
    if (TRACE_FAILED_HR(hr, "put_WindowStyle")) return hr;
    hr = FitSizePreviewWindow();
    if (TRACE_FAILED_HR(hr, "FitSizePreviewWindow")) return hr;
    hr = m_spVideoWindow->put_Visible(OATRUE);
    if (TRACE_FAILED_HR(hr, "put_Visible")) return hr;
    hr = m_spVideoWindow->SetWindowForeground(OATRUE);
    TRACE_FAILED_HR(hr, "SetWindowForeground");
    return hr;
}

HRESULT BaseGraph::FitSizePreviewWindow() {
    if (!m_spVideoWindow) return S_OK;
    LONG lVisible = 0;
    if (FAILED(m_spVideoWindow->get_Visible(&lVisible))) return S_OK;  // no video renderer yet
    RECT rc;
    ::GetClientRect(m_graphWindow.GetSafeHwnd(), &rc);
    const HRESULT hr = m_spVideoWindow->SetWindowPosition(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    TRACE_FAILED_HR(hr, "SetWindowPosition");
    return hr;
}

LRESULT BaseGraph::NotifyOwnerMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_spVideoWindow)
        m_spVideoWindow->NotifyOwnerMessage(reinterpret_cast<OAHWND>(hWnd), static_cast<long>(message), static_cast<LONG_PTR>(wParam),
                                            static_cast<LONG_PTR>(lParam));
    return 0;
}

HRESULT BaseGraph::GetSeekPosition(LONGLONG* pPosition) {
    if (TRACE_NULL(pPosition, "pPosition")) return E_POINTER;
    *pPosition = 0;
    if (TRACE_NULL(m_spMediaSeeking.Get(), "m_spMediaSeeking")) return E_UNEXPECTED;
    const HRESULT hr = m_spMediaSeeking->GetCurrentPosition(pPosition);
    TRACE_FAILED_HR(hr, "GetCurrentPosition");
    return hr;
}

HRESULT BaseGraph::SetSeekPosition(LONGLONG position) {
    if (TRACE_NULL(m_spMediaSeeking.Get(), "m_spMediaSeeking")) return E_UNEXPECTED;
    const HRESULT hr = m_spMediaSeeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    TRACE_FAILED_HR(hr, "SetPositions");
    return hr;
}

HRESULT BaseGraph::GetSeekDuration(LONGLONG* pDuration) {
    if (TRACE_NULL(pDuration, "pDuration")) return E_POINTER;
    *pDuration = 0;
    if (TRACE_NULL(m_spMediaSeeking.Get(), "m_spMediaSeeking")) return E_UNEXPECTED;
    const HRESULT hr = m_spMediaSeeking->GetDuration(pDuration);
    TRACE_FAILED_HR(hr, "GetDuration");
    return hr;
}

namespace {

template <typename Fn>
HRESULT WithControl(IGraphBuilder* pGraph, Fn&& fn, const char* pszCall) {
    if (TRACE_NULL(pGraph, "m_spGraph")) return E_UNEXPECTED;
    MediaPtr<IMediaControl> spControl;
    HRESULT hr = pGraph->QueryInterface(IID_IMediaControl, spControl.AsVoid());
    if (TRACE_FAILED_HR(hr, "QueryInterface")) return hr;
    hr = fn(spControl.Get());
    TRACE_FAILED_HR(hr, pszCall);
    return hr;
}

}  // namespace

HRESULT BaseGraph::RunGraph() {
    return WithControl(m_spGraph.Get(), [](IMediaControl* p) { return p->Run(); }, "Run");
}

HRESULT BaseGraph::StopGraph() {
    return WithControl(m_spGraph.Get(), [](IMediaControl* p) { return p->Stop(); }, "Stop");
}

HRESULT BaseGraph::PauseGraph() {
    return WithControl(m_spGraph.Get(), [](IMediaControl* p) { return p->Pause(); }, "Pause");
}
