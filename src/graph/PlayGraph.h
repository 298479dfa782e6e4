// The play panel's streaming graph: one recorded AVI Type 1 or Type 2 file played in the preview
// window with sound, sought by frame number or time code, with its position and end reported;
// with "UsePlayback" on and the camcorder in device mode 3 the DV stream also goes out to it.
#pragma once

#include "graph/BaseGraph.h"
#include "graph/GraphHost.h"
#include "graph/SampleCallbacks.h"

#include <memory>
#include <span>
#include <string>
#include <utility>

class PlayGraph : public BaseGraph {
public:
    enum State { StateNone = 0, StateNoFile = 1, StatePlaying = 2, StatePaused = 3, StatePlayingOut = 4, StatePausedOut = 5 };

    PlayGraph();
    ~PlayGraph() override;

    HRESULT InitGraph(DVManager* pOwner, HWND hWnd);
    HRESULT InitGraph(GraphHost* pHost, HWND hWnd);
    void ExitGraph();

    int GetState() const { return m_nState; }
    void SetActive(BOOL bActive) { m_bActive = bActive; }
    const std::wstring& GetFilePath() const { return m_strFilePath; }
    int GetFileType() const { return m_nFileType; }
    LONGLONG GetDuration() const { return m_nDuration; }

    HRESULT OpenFile(const std::wstring& strPath);
    HRESULT LoadFile();
    HRESULT Play();
    HRESULT Pause();
    HRESULT SeekToFrame(int nFrame);
    HRESULT SeekToTimeCode(int nHours, int nMinutes, int nSeconds, int nFrames);
    int GetCurrentFrame();
    Timecode GetCurrentTimeCode();
    HRESULT SyncWithDVMode();
    HRESULT ReconnectDVFilter(BOOL bConnect);
    HRESULT ChangePlayGraphForType1(BOOL bConnect);
    HRESULT ChangePlayGraphForType2(BOOL bConnect);
    HRESULT MakePlayGraphForType1();
    HRESULT MakePlayGraphForType2();
    HRESULT ClearGraph();

    void OnGraphTimer() override;
    bool NeedsGraphTimer() const override { return m_nState == StatePlaying || m_nState == StatePlayingOut; }
    LRESULT OnGraphNotify(WPARAM wParam, LPARAM lParam) override;

private:
    // The frame (rounded up) at a position in 100 ns units.
    int FrameAt(LONGLONG nPosition);
    HRESULT ConnectChain(std::span<const std::pair<media::IBaseFilter*, media::IBaseFilter*>> chain);

    struct Type1Filters {
        MediaPtr<media::IBaseFilter> spSource, spSplitter, spInfTee, spDvSplitter, spGrabber, spDecoder, spRenderer, spSound, spDV;
    };
    struct Type2Filters {
        MediaPtr<media::IBaseFilter> spSource, spSplitter, spInfTee, spGrabber, spDecoder, spRenderer, spSound, spDvMux, spDvSplitter, spDV;
    };

    HRESULT AddSource(MediaPtr<media::IBaseFilter>& spSource);
    HRESULT AddDecoder(MediaPtr<media::IBaseFilter>& spDecoder);
    HRESULT AddGrabber(MediaPtr<media::IBaseFilter>& spGrabber);
    HRESULT AddDVFilter(MediaPtr<media::IBaseFilter>& spDV, const char* pszName);
    LONGLONG FrameRate() const { return m_nVideoFormat == kVideoFormat525 ? 2997 : 2500; }
    void SetTapeState(int nState);
    void Notify(int nCode);

    Type1Filters m_t1f;
    Type2Filters m_t2f;
    int m_nState = StateNone;
    GraphHost* m_pHost = nullptr;
    std::unique_ptr<GraphHost> m_spOwnedHost;
    BOOL m_bActive = FALSE;
    std::wstring m_strFilePath = L"C:\\Default.avi";
    int m_nFileType = 0;
    LONGLONG m_nPosition = 0;
    int m_nNotifiedFrame = -1;  // the frame the owner was last told of while playing
    LONGLONG m_nDuration = 0;
    int m_nVideoFormat = 0;
    DVCapCB m_dvCallback;
};
