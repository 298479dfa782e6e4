#include "FileListTest.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <tuple>

#include "avi/AviWriter.h"
#include "dv/Pattern.h"
#include "framework/MessageLoop.h"

namespace filelist_test {

namespace {

// One encoded frame per kind of recording; encoding is the slow part of making a file.
const std::vector<uint8_t>& FrameOf(const Recording& recording) {
  static std::map<std::tuple<bool, bool, int>, std::vector<uint8_t>> s_frames;
  const auto key = std::make_tuple(recording.b625, recording.bWide, recording.nFrameMode);
  auto it = s_frames.find(key);
  if (it == s_frames.end()) {
    dv::PatternSettings settings;
    settings.system = recording.b625 ? dv::System::System625_50 : dv::System::System525_60;
    settings.bWideScreen = recording.bWide;
    settings.nFrameMode = recording.nFrameMode;
    dv::PatternGenerator generator(settings);
    std::vector<uint8_t> frame(dv::FrameSize(settings.system));
    EXPECT_EQ(dv::Result::Ok, generator.MakeFrame(0, frame));
    it = s_frames.emplace(key, std::move(frame)).first;
  }
  return it->second;
}

void PutLe32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void WriteRecording(const std::wstring& strPath, const Recording& recording) {
  const std::vector<uint8_t>& frame = FrameOf(recording);
  avi::MemoryFile file;
  avi::AviWriterOptions options;
  options.type = recording.nType == 1 ? avi::AviType::Type1 : avi::AviType::Type2;
  options.system = recording.b625 ? avi::VideoSystem::System625_50 : avi::VideoSystem::System525_60;
  options.bSyncToDisk = false;
  avi::ReadDvInfoFromFrame(frame, &options.dvInfo);
  avi::AviWriter writer;
  ASSERT_EQ(avi::AviResult::Ok, writer.Open(file, options));
  const std::vector<uint8_t> pcm((recording.b625 ? 1920 : 1602) * 4, 0);
  for (uint32_t n = 0; n < recording.nFrames; ++n) {
    ASSERT_EQ(avi::AviResult::Ok, writer.WriteVideoFrame(frame));
    if (recording.nType == 2) {
      ASSERT_EQ(avi::AviResult::Ok, writer.WriteAudio(pcm));
    }
  }
  ASSERT_EQ(avi::AviResult::Ok, writer.Finish());
  WriteBytes(strPath, file.Bytes());
}

void WriteBytes(const std::wstring& strPath, const std::vector<uint8_t>& bytes) {
  const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
  DWORD dwWritten = 0;
  if (!bytes.empty()) ::WriteFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr);
  ::CloseHandle(hFile);
}

std::vector<uint8_t> ReadBytes(const std::wstring& strPath) {
  std::vector<uint8_t> bytes;
  const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (hFile == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(::GetFileSize(hFile, nullptr));
  DWORD dwRead = 0;
  ::ReadFile(hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &dwRead, nullptr);
  ::CloseHandle(hFile);
  bytes.resize(dwRead);
  return bytes;
}

std::vector<uint8_t> MotionJpegAvi() {
  // RIFF "AVI " / LIST "hdrl" (avih, LIST "strl" (strh of a "vids" stream with handler "MJPG")).
  // The sizes are those of a whole file; the head is what a type test reads.
  std::vector<uint8_t> b;
  for (uint32_t v : {0x46464952u /* RIFF */, 4096u, 0x20495641u /* AVI  */, 0x5453494Cu /* LIST */, 200u, 0x6C726468u /* hdrl */,
                     0x68697661u /* avih */, 56u}) {
    PutLe32(b, v);
  }
  b.resize(b.size() + 56, 0);
  for (uint32_t v : {0x5453494Cu, 100u, 0x6C727473u /* strl */, 0x68727473u /* strh */, 56u, 0x73646976u /* vids */, 0x47504A4Du /* MJPG */}) {
    PutLe32(b, v);
  }
  b.resize(4096, 0);
  return b;
}

void SetLastWriteTime(const std::wstring& strPath, const FILETIME& ft) {
  const HANDLE hFile = ::CreateFileW(strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
  ::SetFileTime(hFile, nullptr, nullptr, &ft);
  ::CloseHandle(hFile);
}

HostDialog::~HostDialog() {
  if (m_hWnd != nullptr) DestroyWindow();
}

bool HostDialog::Open(int nSortOrder) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (!Create(nullptr)) {
    ADD_FAILURE() << "the host dialog cannot be created";
    return false;
  }
  if (!m_list.SubclassDlgItem(IDC_FILELIST, m_hWnd)) {
    ADD_FAILURE() << "the list control cannot be attached";
    return false;
  }
  const RECT client = [this] {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
  }();
  ::MoveWindow(m_list, 0, 0, client.right, client.bottom, TRUE);
  ShowWindow(SW_SHOW);
  if (!m_list.Init(m_hWnd, kOwnerMessage, nSortOrder)) {
    ADD_FAILURE() << "the file list cannot show thumbnails";
    return false;
  }
  return true;
}

std::vector<std::pair<WPARAM, LPARAM>> HostDialog::TakeNotifications() {
  return std::exchange(m_vecNotifications, {});
}

bool HostDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg != kOwnerMessage) return Dialog::OnMessage(msg, wParam, lParam, result);
  m_vecNotifications.emplace_back(wParam, lParam);
  result = 0;
  return true;
}

std::atomic<int> ExtractionCounter::nRunning{0};
std::atomic<int> ExtractionCounter::nPeak{0};
std::atomic<int> ExtractionCounter::nTotal{0};

namespace {
HANDLE Gate() {
  static const HANDLE s_hGate = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
  return s_hGate;
}
}  // namespace

void ExtractionCounter::Reset() {
  nRunning = 0;
  nPeak = 0;
  nTotal = 0;
  OpenGate();
}

void ExtractionCounter::CloseGate() { ::ResetEvent(Gate()); }
void ExtractionCounter::OpenGate() { ::SetEvent(Gate()); }

HBITMAP ExtractionCounter::Extract(const std::wstring& strPath, int nWidth, int nHeight) {
  const int nNow = ++nRunning;
  for (int nSeen = nPeak.load(); nNow > nSeen && !nPeak.compare_exchange_weak(nSeen, nNow);) {
  }
  ++nTotal;
  ::WaitForSingleObject(Gate(), 30000);
  HBITMAP hBitmap = ExtractThumbnail(strPath, nWidth, nHeight);
  --nRunning;
  return hBitmap;
}

void FileListFixture::SetUp() {
  ExtractionCounter::Reset();
  ASSERT_TRUE(m_host.Open());
  List().SetThumbnailExtractor(&ExtractionCounter::Extract);
}

void FileListFixture::TearDown() { ExtractionCounter::OpenGate(); }

bool AllDone(const VideoFileList& list) {
  for (int n = 0; n < list.GetItemCount(); ++n) {
    if (list.GetThumbnailState(n) != ExtractListView::StateDone) return false;
  }
  return true;
}

std::vector<uint32_t> ImagePixels(const VideoFileList& list, int nIndex) {
  const int nWidth = list.GetThumbnailWidth();
  const int nHeight = list.GetThumbnailHeight();
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
  bmi.bmiHeader.biWidth = nWidth;
  bmi.bmiHeader.biHeight = -nHeight;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* pBits = nullptr;
  const HDC hdc = ::CreateCompatibleDC(nullptr);
  const HBITMAP hDib = ::CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
  const HGDIOBJ hOld = ::SelectObject(hdc, hDib);
  ::ImageList_Draw(list.GetImageList(LVSIL_NORMAL), list.GetItemImage(nIndex), hdc, 0, 0, ILD_NORMAL);
  ::GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(pBits), static_cast<const uint32_t*>(pBits) + nWidth * nHeight);
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  ::SelectObject(hdc, hOld);
  ::DeleteObject(hDib);
  ::DeleteDC(hdc);
  return pixels;
}

}  // namespace filelist_test

namespace {
// Under Wine on an X display without a window manager, a top-level window that is hidden or
// destroyed waits two seconds for an answer that never comes; windows the X driver keeps to
// itself skip that wait. The setting names this test program only.
class UnmanagedWindowsEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    wchar_t szPath[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    const std::wstring strKey = std::wstring(L"Software\\Wine\\AppDefaults\\") + ::PathFindFileNameW(szPath) + L"\\X11 Driver";
    HKEY hKey = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, strKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) == ERROR_SUCCESS) {
      static const wchar_t kNo[] = L"N";
      ::RegSetValueExW(hKey, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo), sizeof(kNo));
      ::RegCloseKey(hKey);
    }
  }
};
[[maybe_unused]] ::testing::Environment* const g_unmanagedWindows = ::testing::AddGlobalTestEnvironment(new UnmanagedWindowsEnvironment);
}  // namespace
