// The record panel's streaming graph: the camcorder's live picture with sound and levels while
// idle; while recording its DV stream written into one AVI Type 1 or Type 2 file, with dropped
// frames counted, the recordable time and the file-system size limit watched every 10 ms.
#pragma once

#include "graph/BaseGraph.h"
#include "graph/GraphHost.h"
#include "graph/SampleCallbacks.h"
#include "graph/VolumeWatch.h"

#include <memory>
#include <string>

class RecordGraph : public BaseGraph {
public:
    enum State { StateNone = 0, StateIdle = 1, StatePreview = 2, StateCapture = 3, StatePaused = 4 };
    enum RecordMode { ModeStandard = 1, ModeLinked = 2 };

    RecordGraph();
    ~RecordGraph() override;

    HRESULT InitGraph(DVManager* pOwner, HWND hWnd);
    HRESULT InitGraph(GraphHost* pHost, HWND hWnd);
    void ExitGraph();

    int GetState() const { return m_nState; }
    // The file of the next capture. While a capture is running or paused its own file stays the
    // one written, checked and committed until it is closed; the path set meanwhile waits.
    void SetFilePath(const std::wstring& strPath) { m_strFilePath = strPath; }
    // The file being written while capturing or paused, else the file of the next capture.
    const std::wstring& GetFilePath() const { return IsFileOpen() ? m_strCaptureFile : m_strFilePath; }
    void SetRecordMode(int nMode) { m_nRecordMode = nMode; }
    int GetRecordMode() const { return m_nRecordMode; }
    void SetPreviewSize(int nSize) { m_nPreviewSize = nSize; }
    void SetRecordFormat(int nFormat) { m_nRecordFormat = nFormat; }
    int GetDroppedFrameCount() const { return m_nDroppedTotal; }
    int GetVideoFormat() const { return m_nVideoFormat; }
    // Why the writing of the current (or last) capture file failed; S_OK while it has not.
    HRESULT GetWriteError() const { return m_hrWriteError; }
    void SetMute(BOOL bMute);
    LevelMeterCB::Levels GetAudioLevels() const;
    Timecode GetRecordedTime() const;
    ULONGLONG GetRecordableSeconds();

    HRESULT StartCapture();
    HRESULT StopCapture();
    HRESULT FinishCapture();
    HRESULT UpdateGraph();
    HRESULT ClearGraph();
    HRESULT MakeRecordGraphForPreview();
    HRESULT MakeRecordGraphForType1Capture();
    HRESULT MakeRecordGraphForType2Capture();
    BOOL CheckCaptureFileSize();

    // The volume queries the limits use; the system's unless a test gives others.
    void SetVolumeQuery(VolumeQuery* pQuery) {
        m_pVolume = pQuery ? pQuery : &m_systemVolume;
        m_volumeWatch.Reset();
        m_strWatchedFileSystem.clear();
    }

    void OnGraphTimer() override;
    bool NeedsGraphTimer() const override { return m_nState == StateCapture || m_nState == StatePaused; }
    LRESULT OnGraphNotify(WPARAM wParam, LPARAM lParam) override;

protected:
    // Holds a linked-mode capture with its file open.
    virtual HRESULT PauseCapture() { return PauseGraph(); }

    int m_nDroppedTotal = 0;  // dropped frames of the current (or last) capture at the last poll

private:
    HRESULT AddOpening(MediaPtr<media::IBaseFilter>& spDV, MediaPtr<media::IBaseFilter>& spGrabber);
    HRESULT AddAudioBranch(media::IBaseFilter* pSplitter);
    HRESULT AddVideoBranch(media::IBaseFilter* pSplitter, int nResolution);
    HRESULT AddFileWriter(media::IBaseFilter* pMux);
    HRESULT FindDropCounter(media::IBaseFilter* pDV);
    HRESULT MakeCapture(bool bType1);
    int DecodeResolution() const;
    void PrepareCaptureFile() const;
    void CommitCaptureFile() const;
    void WaitForFirstSample() const;
    void SetTapeState(int nState);
    bool IsFileOpen() const { return m_nState == StateCapture || m_nState == StatePaused; }
    HRESULT CloseCapture();
    bool WatchSaysDiskFull(ULONGLONG nMaxSeconds);
    bool WatchSaysFileLimit();

    int m_nState = StateNone;
    GraphHost* m_pHost = nullptr;
    std::unique_ptr<GraphHost> m_spOwnedHost;
    std::wstring m_strFilePath = L"C:\\Default.avi";
    std::wstring m_strCaptureFile;  // the file of the capture that runs, is paused or ran last
    HRESULT m_hrWriteError = S_OK;
    int m_nRecordMode = ModeStandard;
    int m_nPreviewSize = 1;
    int m_nRecordFormat = 1;
    MediaPtr<media::IAMDroppedFrames> m_spDroppedFrames;
    int m_nVideoFormat = 1;
    DVCapCB m_dvCallback;
    LevelMeterCB m_levelMeter;
    BOOL m_bMute = FALSE;
    VolumeQuery m_systemVolume;
    VolumeQuery* m_pVolume = &m_systemVolume;
    VolumeWatch m_volumeWatch;
    std::wstring m_strWatchedFileSystem;
    ULONGLONG m_nWatchedFileLimit = 0;
};
