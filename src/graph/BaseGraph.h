// The common base of the record and play graphs: one filter graph with its capture graph builder,
// video window, media events and seeking; the panel's static control that hosts the video window,
// subclassed so that its 10 ms timer and the graph's notifications reach the derived graph.
#pragma once

#include "graph/DShowUtil.h"

#include "framework/Control.h"

#include <windows.h>

class BaseGraph;

// The subclassed preview host: a black background, timer 1 and the graph-notification message.
class GraphWindow : public framework::Control {
public:
    explicit GraphWindow(BaseGraph& graph);
    ~GraphWindow() override;

    static constexpr UINT_PTR TimerId = 1;
    static constexpr UINT TimerPeriodMs = 10;
    static constexpr UINT GraphNotifyMessage = WM_APP + 1;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnSubclassed() override;

private:
    BaseGraph& m_graph;
    HBRUSH m_hBlackBrush;
};

class BaseGraph {
public:
    BaseGraph();
    virtual ~BaseGraph();
    BaseGraph(const BaseGraph&) = delete;
    BaseGraph& operator=(const BaseGraph&) = delete;

    // Called every 10 ms while the graph is initialised and has something to watch: after a tick
    // at which NeedsGraphTimer is false the timer stops until StartGraphTimer is called.
    virtual void OnGraphTimer() {}
    virtual bool NeedsGraphTimer() const { return true; }
    // Called for each graph notification message.
    virtual LRESULT OnGraphNotify(WPARAM wParam, LPARAM lParam);

    HRESULT InitGraph(HWND hWnd);
    HRESULT ExitGraph();
    HRESULT ShowPreviewWindow(BOOL bShow);
    HRESULT FitSizePreviewWindow();
    LRESULT NotifyOwnerMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HRESULT GetSeekPosition(LONGLONG* pPosition);
    HRESULT SetSeekPosition(LONGLONG position);
    HRESULT GetSeekDuration(LONGLONG* pDuration);
    HRESULT RunGraph();
    HRESULT StopGraph();
    HRESULT PauseGraph();

    BOOL IsInitialized() const { return m_bInitialized; }
    HWND GetPreviewWindow() const { return m_graphWindow.GetSafeHwnd(); }

protected:
    // Has the 10 ms timer run again, when the graph comes into a state it watches.
    void StartGraphTimer();

    GraphWindow m_graphWindow;
    MediaPtr<media::IGraphBuilder> m_spGraph;
    MediaPtr<media::ICaptureGraphBuilder2> m_spCapture;
    MediaPtr<media::IVideoWindow> m_spVideoWindow;
    MediaPtr<media::IMediaEventEx> m_spMediaEvent;
    MediaPtr<media::IMediaSeeking> m_spMediaSeeking;
    BOOL m_bInitialized = FALSE;
};
