// The record graph on the simulated camcorder: preview, Type 1 and Type 2 captures read back by
// the recorded-file readers, linked-mode pause and resume, drops, and the disk and file-size
// limits on volumes the test describes.
#include "GraphTestSupport.h"

#include "files/AviInspection.h"
#include "graph/RecordGraph.h"
#include "media/WriteLimit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

using namespace graphtest;
using namespace media;

namespace {

constexpr ULONGLONG Reserve = 524288000;
constexpr ULONGLONG BytesPerSecond = 3937053;

class RecordGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetBus(devices::VideoSystem::Lines625);
        m_graph.SetVolumeQuery(&m_volume);
        ASSERT_EQ(S_OK, m_graph.InitGraph(static_cast<GraphHost*>(&m_host), m_preview.Preview()));
        m_graph.SetFilePath(m_folder.Path(L"capture.avi"));
    }
    void TearDown() override {
        m_graph.ExitGraph();
        devices::SetDVFrameMaker(nullptr);
    }
    void Pump(int nMs) { PumpUntil([] { return false; }, nMs); }
    bool HasFilter(const wchar_t* pszName) {
        MediaPtr<IBaseFilter> spFilter;
        return m_graph.GetState() >= RecordGraph::StatePreview && Graph() && SUCCEEDED(Graph()->FindFilterByName(pszName, &spFilter));
    }
    IGraphBuilder* Graph();

    TempFolder m_folder;
    PreviewHost m_preview;
    TestHost m_host;
    TestVolume m_volume;
    RecordGraph m_graph;
};

// The graph is reached through the filter graph of the preview's video window owner.
class GraphAccess : public RecordGraph {
public:
    static IGraphBuilder* Of(RecordGraph& graph) { return static_cast<GraphAccess&>(graph).m_spGraph.Get(); }
};

IGraphBuilder* RecordGraphTest::Graph() {
    return GraphAccess::Of(m_graph);
}

TEST_F(RecordGraphTest, UpdateGraphPreviewsOnlyInCameraModeWithATape) {
    m_host.m_nDVMode = 3;
    EXPECT_EQ(S_OK, m_graph.UpdateGraph());
    EXPECT_EQ(RecordGraph::StateIdle, m_graph.GetState());
    EXPECT_EQ(5, m_host.m_vecTapeStates.back());
    m_host.m_nDVMode = 2;
    ASSERT_EQ(S_OK, m_graph.UpdateGraph());
    EXPECT_EQ(RecordGraph::StatePreview, m_graph.GetState());
    EXPECT_EQ(3, m_host.m_vecTapeStates.back());
    EXPECT_TRUE(HasFilter(L"Video Renderer"));
    EXPECT_TRUE(HasFilter(L"PCM Grabber"));
    EXPECT_FALSE(HasFilter(L"Avi Mux"));
    // Levels and the first frame's aspect report arrive while the preview runs.
    ASSERT_TRUE(PumpUntil([&] { return m_graph.GetAudioLevels().nLeft > 0; }, 3000));
    const auto posted = m_host.TakePosted();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(EVENT_RECASPECT, posted.front().first);
    EXPECT_EQ(0, posted.front().second);
}

TEST_F(RecordGraphTest, Type1CaptureInStandardModeIsOneFileWithTheBusDrops) {
    m_graph.SetRecordFormat(1);
    ASSERT_EQ(S_OK, m_graph.UpdateGraph());
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    EXPECT_EQ(RecordGraph::StateCapture, m_graph.GetState());
    EXPECT_EQ(2, m_host.m_vecTapeStates.back());
    EXPECT_EQ(kVideoFormat625, m_graph.GetVideoFormat());
    Pump(500);
    devices::Bus::Get().Modify([](devices::Bus& bus) { bus.GetCamcorder(0).Stream().nDropPending = 2; });
    ASSERT_TRUE(PumpUntil([&] { return m_graph.GetDroppedFrameCount() == 2; }, 2000));
    Pump(300);
    const Timecode recorded = m_graph.GetRecordedTime();
    EXPECT_EQ(0, recorded.nSeconds);
    EXPECT_GT(recorded.nFrames, 10);
    ASSERT_EQ(S_OK, m_graph.StopCapture());
    EXPECT_EQ(RecordGraph::StatePreview, m_graph.GetState());

    int nFormat = 0, nType = 0;
    DWORD dwFrames = 0;
    std::vector<DWORD> vecDrops;
    ASSERT_TRUE(GetAVIDropInfo(m_graph.GetFilePath(), &nFormat, &nType, &dwFrames, &vecDrops));
    EXPECT_TRUE(IsAVIType1(m_graph.GetFilePath()));
    EXPECT_EQ(kVideoFormat625, nFormat);
    EXPECT_EQ(1, nType);
    EXPECT_GE(dwFrames, 20u);
    ASSERT_EQ(2u, vecDrops.size());
    EXPECT_EQ(vecDrops[0] + 1, vecDrops[1]);
}

TEST_F(RecordGraphTest, LinkedType2CaptureResumesTheSameFileAfterAPause) {
    m_graph.SetRecordFormat(2);
    m_graph.SetRecordMode(RecordGraph::ModeLinked);
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    Pump(400);
    ASSERT_EQ(S_OK, m_graph.StopCapture());
    EXPECT_EQ(RecordGraph::StatePaused, m_graph.GetState());
    EXPECT_EQ(3, m_host.m_vecTapeStates.back());
    Pump(500);
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    EXPECT_EQ(RecordGraph::StateCapture, m_graph.GetState());
    Pump(400);
    ASSERT_EQ(S_OK, m_graph.FinishCapture());
    EXPECT_EQ(RecordGraph::StatePreview, m_graph.GetState());

    int nFormat = 0, nType = 0;
    DWORD dwFrames = 0;
    std::vector<DWORD> vecDrops;
    ASSERT_TRUE(GetAVIDropInfo(m_graph.GetFilePath(), &nFormat, &nType, &dwFrames, &vecDrops));
    EXPECT_TRUE(IsAVIType2(m_graph.GetFilePath()));
    EXPECT_EQ(2, nType);
    EXPECT_GE(dwFrames, 14u);
    EXPECT_LE(dwFrames, 30u);  // the half second paused is not in the file
    EXPECT_TRUE(vecDrops.empty());
}

TEST_F(RecordGraphTest, WithoutPreviewTheCaptureGraphHasNoRendererAndThePreviewComesBack) {
    m_graph.SetPreviewSize(4);
    ASSERT_EQ(S_OK, m_graph.UpdateGraph());
    EXPECT_TRUE(HasFilter(L"Video Renderer"));
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    EXPECT_FALSE(HasFilter(L"Video Renderer"));
    EXPECT_FALSE(HasFilter(L"DV Decorder"));
    EXPECT_TRUE(HasFilter(L"PCM Grabber"));
    Pump(200);
    ASSERT_EQ(S_OK, m_graph.StopCapture());
    EXPECT_TRUE(HasFilter(L"Video Renderer"));
}

TEST_F(RecordGraphTest, RecordableSecondsKeepA500MiBReserve) {
    m_volume.m_nFree = Reserve;
    EXPECT_EQ(0u, m_graph.GetRecordableSeconds());
    m_volume.m_nFree = Reserve - 1;
    EXPECT_EQ(0u, m_graph.GetRecordableSeconds());
    m_volume.m_nFree = Reserve + 10 * BytesPerSecond + BytesPerSecond - 1;
    EXPECT_EQ(10u, m_graph.GetRecordableSeconds());
}

TEST_F(RecordGraphTest, FileSizeLimitsFollowTheFileSystem) {
    m_graph.SetFilePath(L"E:\\Video\\capture.avi");
    m_volume.m_nFileSize = 100ULL << 30;
    EXPECT_TRUE(m_graph.CheckCaptureFileSize());  // NTFS: never split
    EXPECT_EQ(L"E:\\", m_volume.m_strLastRoot);
    m_volume.m_strFileSystem = L"FAT32";
    m_volume.m_nFileSize = 4242538496ULL;
    EXPECT_TRUE(m_graph.CheckCaptureFileSize());
    m_volume.m_nFileSize = 4242538497ULL;
    EXPECT_FALSE(m_graph.CheckCaptureFileSize());
    m_volume.m_strFileSystem = L"FAT";
    m_volume.m_nFileSize = 2095054848ULL;
    EXPECT_TRUE(m_graph.CheckCaptureFileSize());
    m_volume.m_nFileSize = 2095054849ULL;
    EXPECT_FALSE(m_graph.CheckCaptureFileSize());
    m_volume.m_strFileSystem = L"fat32";  // compared exactly
    EXPECT_TRUE(m_graph.CheckCaptureFileSize());
}

TEST_F(RecordGraphTest, IniValuesReplaceTheFatLimits) {
    wchar_t szExe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    std::wstring strIni = szExe;
    strIni = strIni.substr(0, strIni.rfind(L'.')) + L".ini";
    {
        std::ofstream ini(strIni.c_str());
        ini << "[Debug]\r\nFAT32MaxCaptureFileSize=104857600\r\nFAT16MaxCaptureFileSize=0\r\n";
    }
    m_volume.m_strFileSystem = L"FAT32";
    m_volume.m_nFileSize = 52428800;  // 100 MiB less the 50 MiB margin
    const BOOL bAtLimit = m_graph.CheckCaptureFileSize();
    m_volume.m_nFileSize = 52428801;
    const BOOL bOver = m_graph.CheckCaptureFileSize();
    m_volume.m_strFileSystem = L"FAT";  // zero: the file system's own limit
    m_volume.m_nFileSize = 2095054848ULL;
    const BOOL bFat = m_graph.CheckCaptureFileSize();
    ::DeleteFileW(strIni.c_str());
    EXPECT_TRUE(bAtLimit);
    EXPECT_FALSE(bOver);
    EXPECT_TRUE(bFat);
}

TEST_F(RecordGraphTest, DiskFullAndFileLimitRepeatOnEveryTickWhileTheyHold) {
    m_volume.m_strFileSystem = L"FAT32";
    m_volume.m_nFileSize = 4242538497ULL;
    m_volume.m_nFree = Reserve;
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    Pump(300);
    EXPECT_GE(m_host.Count(EVENT_DISKFULL), 5);
    EXPECT_GE(m_host.Count(EVENT_FILELIMIT), 5);
    // Paused in linked mode: disk full from ten seconds left, and no file limit.
    m_graph.SetRecordMode(RecordGraph::ModeLinked);
    ASSERT_EQ(S_OK, m_graph.StopCapture());
    ASSERT_EQ(RecordGraph::StatePaused, m_graph.GetState());
    m_host.m_vecSent.clear();
    m_volume.m_nFree = Reserve + 11 * BytesPerSecond;
    Pump(200);
    EXPECT_EQ(0, m_host.Count(EVENT_DISKFULL));
    m_volume.m_nFree = Reserve + 10 * BytesPerSecond;
    Pump(200);
    EXPECT_GE(m_host.Count(EVENT_DISKFULL), 3);
    EXPECT_EQ(0, m_host.Count(EVENT_FILELIMIT));
    ASSERT_EQ(S_OK, m_graph.FinishCapture());
}

// ---- a record path that never fails silently ------------------------------------------------

// The frames a recorded file lists, -1 when its index cannot be read.
long ReadableFrames(const std::wstring& strPath) {
    int nFormat = 0, nType = 0;
    DWORD dwFrames = 0;
    std::vector<DWORD> vecDrops;
    return GetAVIDropInfo(strPath, &nFormat, &nType, &dwFrames, &vecDrops) ? static_cast<long>(dwFrames) : -1;
}

ULONGLONG FileBytes(const std::wstring& strPath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(strPath.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST_F(RecordGraphTest, AWriteErrorIsReportedOnceWithTheSystemsErrorAndTheFileStaysReadable) {
    for (int nFormat : {1, 2}) {
        SCOPED_TRACE(nFormat);
        const std::wstring strPath = m_folder.Path(nFormat == 1 ? L"full1.avi" : L"full2.avi");
        m_graph.SetFilePath(strPath);
        m_graph.SetRecordFormat(nFormat);
        m_host.m_vecSent.clear();
        ASSERT_EQ(S_OK, m_graph.StartCapture());
        Pump(1500);  // past the first checkpoint of the file
        // From here on the volume takes no more bytes.
        media::SetFileWriteLimit(FileBytes(strPath) + 1, ERROR_DISK_FULL);
        const bool bTold = PumpUntil([&] { return m_host.Count(EVENT_WRITEERROR) > 0; }, 3000);
        Pump(300);
        media::SetFileWriteLimit(0, 0);
        ASSERT_TRUE(bTold) << "the write error was swallowed";
        EXPECT_EQ(1, m_host.Count(EVENT_WRITEERROR));
        const HRESULT hrDiskFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        for (const auto& [nCode, lParam] : m_host.m_vecSent) {
            if (nCode == EVENT_WRITEERROR) {
                EXPECT_EQ(hrDiskFull, static_cast<HRESULT>(lParam));
            }
        }
        EXPECT_EQ(hrDiskFull, m_graph.GetWriteError());
        ASSERT_EQ(S_OK, m_graph.StopCapture());
        EXPECT_GE(ReadableFrames(strPath), 25) << "the frames before the failure are lost";
    }
}

TEST_F(RecordGraphTest, APathSetWhileCapturingWaitsUntilTheOpenFileIsClosed) {
    const std::wstring strOpen = m_folder.Path(L"open.avi");
    const std::wstring strNext = L"Q:\\elsewhere\\next.avi";
    m_volume.m_strFileSystem = L"FAT32";
    m_graph.SetFilePath(strOpen);
    m_graph.SetRecordMode(RecordGraph::ModeLinked);
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    Pump(300);
    m_graph.SetFilePath(strNext);  // the status tick does this every second
    EXPECT_EQ(strOpen, m_graph.GetFilePath());
    Pump(100);
    EXPECT_EQ(strOpen, m_volume.m_strLastFile) << "the size check followed the new path";
    EXPECT_EQ(strOpen.substr(0, strOpen.rfind(L'\\') + 1), m_volume.m_strLastFolder);
    ASSERT_EQ(S_OK, m_graph.StopCapture());  // paused: still the same file
    m_graph.SetFilePath(strNext);
    EXPECT_EQ(strOpen, m_graph.GetFilePath());
    ASSERT_EQ(S_OK, m_graph.StartCapture());
    Pump(300);
    ASSERT_EQ(S_OK, m_graph.FinishCapture());
    EXPECT_GT(ReadableFrames(strOpen), 0) << "the open file was not finished and committed";
    EXPECT_EQ(strNext, m_graph.GetFilePath());
}

// A graph whose linked-mode pause fails.
class PauseFailingGraph : public RecordGraph {
protected:
    HRESULT PauseCapture() override { return E_UNEXPECTED; }
};

TEST(RecordGraphFaultTest, AFailedPauseIsReportedAndNoLaterStartEmptiesTheFile) {
    ResetBus(devices::VideoSystem::Lines625);
    TempFolder folder;
    PreviewHost preview;
    TestHost host;
    TestVolume volume;
    auto spGraph = std::make_unique<PauseFailingGraph>();
    spGraph->SetVolumeQuery(&volume);
    ASSERT_EQ(S_OK, spGraph->InitGraph(static_cast<GraphHost*>(&host), preview.Preview()));
    const std::wstring strPath = folder.Path(L"linked.avi");
    spGraph->SetFilePath(strPath);
    spGraph->SetRecordMode(RecordGraph::ModeLinked);
    ASSERT_EQ(S_OK, spGraph->StartCapture());
    PumpUntil([] { return false; }, 600);
    EXPECT_EQ(E_UNEXPECTED, spGraph->StopCapture());
    EXPECT_EQ(RecordGraph::StatePreview, spGraph->GetState()) << "the failed pause left the file open";
    const long nFrames = ReadableFrames(strPath);
    EXPECT_GT(nFrames, 5);
    // A Record after it would otherwise build a new capture into the same file.
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_EXISTS), spGraph->StartCapture());
    EXPECT_EQ(nFrames, ReadableFrames(strPath));
    EXPECT_EQ(RecordGraph::StatePreview, spGraph->GetState());
    spGraph->ExitGraph();
    devices::SetDVFrameMaker(nullptr);
}

}  // namespace
