// plover-bench-driver: drives the real Plover.exe through the scenario of one benchmark, marking
// the start and end of each measured phase for the benchmark script, which measures the program's
// and the Wine server's processor time between the marks.
//   plover-bench-driver capture WORK SECONDS SIZES   SIZES: preview sizes to record with, e.g. 3210
//   plover-bench-driver play WORK SECONDS
//   plover-bench-driver thumbnails WORK FILES
//   plover-bench-driver idle WORK SECONDS
// WORK is an empty folder of the driver; every line it prints is "mark N NAME", "probe ...",
// "info KEY VALUE", "encode PHASE SECONDS_PER_FRAME" or "file NAME PATH".
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "BenchMaterial.h"
#include "BenchSession.h"
#include "resource.h"

using namespace std::chrono_literals;

namespace {

constexpr int kCaptureStreamFrames = 300;  // ten seconds of 525/60 pictures, looped by the peer
constexpr uint64_t kPlayFrames = 1800;     // a minute of 525/60
constexpr uint64_t kThumbnailFileFrames = 30;
constexpr int kPendingImage = 0;           // the list's image of a thumbnail still being made

std::wstring MakeFolder(const std::wstring& strWork, const std::wstring& strName) {
  const std::wstring strFolder = strWork + L"\\" + strName;
  CreateDirectoryW(strFolder.c_str(), nullptr);
  return strFolder;
}

// The first recording in the folder or one folder below.
std::wstring FindRecording(const std::wstring& strFolder) {
  for (const std::wstring& strPattern : {strFolder + L"\\*.avi", strFolder + L"\\*"}) {
    WIN32_FIND_DATAW data{};
    HANDLE hFind = FindFirstFileW(strPattern.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE) continue;
    std::wstring strFound;
    do {
      const std::wstring strName = data.cFileName;
      if (strName == L"." || strName == L"..") continue;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        if (strName.size() > 4 && _wcsicmp(strName.c_str() + strName.size() - 4, L".avi") == 0) strFound = strFolder + L"\\" + strName;
      } else {
        strFound = FindRecording(strFolder + L"\\" + strName);
      }
    } while (strFound.empty() && FindNextFileW(hFind, &data));
    FindClose(hFind);
    if (!strFound.empty()) return strFound;
  }
  return std::wstring();
}

constexpr int kEncodeFrames = 150;  // five seconds of the camcorder's frames

// The camcorder's cost per frame, measured just before and just after a phase, so that it is
// taken off under the load the machine had then.
void PrintEncodeCost(const std::string& strPhase) {
  std::printf("encode %s %.6f\n", strPhase.c_str(), bench::MeasureEncodeSecondsPerFrame(kEncodeFrames));
  std::fflush(stdout);
}

int Fail(const char* pszWhat) {
  std::fprintf(stderr, "plover-bench-driver: %s\n", pszWhat);
  return 1;
}

int Capture(const std::wstring& strWork, int nSeconds, const std::wstring& strSizes) {
  const bench::PatternFrames frames(kCaptureStreamFrames);
  if (!bench::WriteStream(frames, strWork + L"\\stream.dv", kCaptureStreamFrames)) return Fail("cannot write the stream");
  bench::MarkChannel marks(strWork);
  for (wchar_t chSize : strSizes) {
    const DWORD dwSize = static_cast<DWORD>(chSize - L'0');
    if (dwSize > 3) return Fail("preview sizes are 0 to 3");
    const std::string strPhase = "capture-" + std::to_string(dwSize);
    const std::wstring strFolder = MakeFolder(strWork, L"video" + std::to_wstring(dwSize));
    bench::BenchSession session({strFolder, dwSize, true});
    if (!session.Started() || !session.WaitForCamcorder()) return Fail("the program did not become ready");
    HWND hPanel = session.Panel(IDC_RECORD_BACKGROUND);
    HWND hRecord = GetDlgItem(hPanel, IDC_RECORD_RECORD);
    HWND hStop = GetDlgItem(hPanel, IDC_RECORD_STOP);
    if (!e2e::WaitUntil([&] { return IsWindowVisible(hRecord) && IsWindowEnabled(hRecord); }, 60s)) return Fail("no record button");
    Sleep(2000);  // the preview settles
    session.PrintProbe((strPhase + "-start").c_str());
    session.Command(hPanel, IDC_RECORD_RECORD);
    if (!e2e::WaitUntil([&] { return IsWindowVisible(hStop) && IsWindowEnabled(hStop); }, 20s)) return Fail("the recording did not start");
    PrintEncodeCost(strPhase);
    marks.Mark(strPhase);
    Sleep(static_cast<DWORD>(nSeconds) * 1000);
    marks.Mark(strPhase);
    PrintEncodeCost(strPhase);
    session.Command(hPanel, IDC_RECORD_STOP);
    if (!e2e::WaitUntil([&] { return IsWindowVisible(hRecord) && IsWindowEnabled(hRecord); }, 60s)) return Fail("the recording did not stop");
    session.PrintProbe((strPhase + "-end").c_str());
    std::printf("file %s %ls\n", strPhase.c_str(), FindRecording(strFolder).c_str());
    std::fflush(stdout);
  }
  return 0;
}

int Play(const std::wstring& strWork, int nSeconds) {
  const bench::PatternFrames frames(kCaptureStreamFrames);
  const std::wstring strFolder = MakeFolder(strWork, L"play");
  const std::wstring strFile = strFolder + L"\\Play.avi";
  if (!bench::WriteRecording(frames, strFile, 0, kPlayFrames)) return Fail("cannot write the recording");
  std::printf("file play %ls\n", strFile.c_str());
  bench::MarkChannel marks(strWork);
  bench::BenchSession session({strFolder + L"\\", 3, false});
  if (!session.Started() || !session.ShowPlayTab()) return Fail("no play tab");
  HWND hPanel = session.Panel(IDC_PLAY_BACKGROUND);
  HWND hList = GetDlgItem(hPanel, IDC_PLAY_FILE_LIST);
  if (!e2e::WaitUntil([&] { return SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0) == 1; }, 20s)) return Fail("the file is not listed");
  session.Key(hList, VK_HOME);
  if (!e2e::WaitUntil([&] { return e2e::WindowText(GetDlgItem(hPanel, IDC_PLAY_FILE_NAME)) == L"Play"; }, 20s)) return Fail("the file is not shown");
  Sleep(2000);
  session.PrintProbe("play-start");
  HWND hPause = GetDlgItem(hPanel, IDC_PLAY_PAUSE);
  session.Key(session.Main(), VK_F9);
  if (!e2e::WaitUntil([&] { return IsWindowVisible(hPause) != FALSE; }, 10s)) return Fail("playing did not start");
  Sleep(500);
  marks.Mark("play");
  Sleep(static_cast<DWORD>(nSeconds) * 1000);
  marks.Mark("play");
  session.Key(session.Main(), VK_F9);
  Sleep(1000);
  session.PrintProbe("play-end");
  return 0;
}

// The image index of a list item of another process: the item structure is made in that
// process's memory, filled there by the list, and read back.
class RemoteListItems {
 public:
  RemoteListItems(HANDLE hProcess, HWND hList) : m_hProcess(hProcess), m_hList(hList) {
    m_pRemote = VirtualAllocEx(hProcess, nullptr, sizeof(LVITEMW), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteListItems() {
    if (m_pRemote != nullptr) VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
  }
  int Image(int nIndex) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = nIndex;
    item.iImage = -1;
    SIZE_T nDone = 0;
    if (!WriteProcessMemory(m_hProcess, m_pRemote, &item, sizeof(item), &nDone)) return -1;
    if (!SendMessageW(m_hList, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_pRemote))) return -1;
    if (!ReadProcessMemory(m_hProcess, m_pRemote, &item, sizeof(item), &nDone)) return -1;
    return item.iImage;
  }

 private:
  HANDLE m_hProcess;
  HWND m_hList;
  void* m_pRemote = nullptr;
};

// Walks the list from its first item, bringing each item whose thumbnail is still pending into
// view until it is shown; true once every item has its picture.
bool WaitForAllThumbnails(const RemoteListItems& items, HWND hList, int nCount) {
  const auto deadline = std::chrono::steady_clock::now() + 600s;
  for (int n = 0; n < nCount;) {
    const int nImage = items.Image(n);
    if (nImage < 0) return false;
    if (nImage != kPendingImage) {
      ++n;
      continue;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    SendMessageW(hList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(n), FALSE);
    Sleep(20);
  }
  return true;
}

int Thumbnails(const std::wstring& strWork, int nFiles) {
  const bench::PatternFrames frames(50);
  const std::wstring strFolder = MakeFolder(strWork, L"thumbs");
  for (int n = 0; n < nFiles; ++n) {
    wchar_t szName[32];
    swprintf(szName, 32, L"\\Rec %03d.avi", n);
    if (!bench::WriteRecording(frames, strFolder + szName, static_cast<uint64_t>(n), kThumbnailFileFrames)) return Fail("cannot write a recording");
  }
  std::printf("file thumbnails %ls\n", strFolder.c_str());
  bench::MarkChannel marks(strWork);
  bench::BenchSession session({strFolder + L"\\", 3, false});
  if (!session.Started()) return Fail("the program did not start");
  Sleep(2000);
  session.PrintProbe("thumbnails-start");
  marks.Mark("thumbnails-first");
  if (!session.ShowPlayTab()) return Fail("no play tab");
  HWND hPanel = session.Panel(IDC_PLAY_BACKGROUND);
  HWND hList = GetDlgItem(hPanel, IDC_PLAY_FILE_LIST);
  if (!e2e::WaitUntil([&] { return SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0) == nFiles; }, 60s)) return Fail("the files are not listed");
  const RemoteListItems items(session.Process(), hList);
  if (!WaitForAllThumbnails(items, hList, nFiles)) return Fail("the thumbnails were not all shown");
  marks.Mark("thumbnails-first");
  Sleep(1000);
  // The list fills again in the other order: every picture comes from the thumbnail cache.
  marks.Mark("thumbnails-second");
  session.Command(hPanel, IDM_SORT_OLDEST_FIRST);
  if (!e2e::WaitUntil([&] { return SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0) == nFiles && items.Image(0) != kPendingImage; }, 60s))
    return Fail("the list did not fill again");
  if (!WaitForAllThumbnails(items, hList, nFiles)) return Fail("the thumbnails were not all shown again");
  marks.Mark("thumbnails-second");
  session.PrintProbe("thumbnails-end");
  return 0;
}

int Idle(const std::wstring& strWork, int nSeconds) {
  const bench::PatternFrames frames(kCaptureStreamFrames);
  if (!bench::WriteStream(frames, strWork + L"\\stream.dv", kCaptureStreamFrames)) return Fail("cannot write the stream");
  bench::MarkChannel marks(strWork);
  bench::BenchSession session({MakeFolder(strWork, L"video") + L"\\", 3, true});
  if (!session.Started() || !session.WaitForCamcorder()) return Fail("the program did not become ready");
  Sleep(3000);
  session.PrintProbe("idle-start");
  PrintEncodeCost("idle-record");
  marks.Mark("idle-record");
  Sleep(static_cast<DWORD>(nSeconds) * 1000);
  marks.Mark("idle-record");
  PrintEncodeCost("idle-record");
  if (!session.ShowPlayTab()) return Fail("no play tab");
  Sleep(2000);
  PrintEncodeCost("idle-play");
  marks.Mark("idle-play");
  Sleep(static_cast<DWORD>(nSeconds) * 1000);
  marks.Mark("idle-play");
  PrintEncodeCost("idle-play");
  session.PrintProbe("idle-end");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: plover-bench-driver capture|play|thumbnails|idle WORK N [SIZES]\n");
    return 2;
  }
  const std::wstring strScenario = argv[1];
  const std::wstring strWork = argv[2];
  const int n = _wtoi(argv[3]);
  if (strScenario == L"capture" && argc == 5) return Capture(strWork, n, argv[4]);
  if (strScenario == L"play") return Play(strWork, n);
  if (strScenario == L"thumbnails") return Thumbnails(strWork, n);
  if (strScenario == L"idle") return Idle(strWork, n);
  std::fprintf(stderr, "plover-bench-driver: unknown scenario\n");
  return 2;
}
