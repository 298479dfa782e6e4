// Identifiers of the file-list test resources, and the helpers of its tests: recorded files made
// with the DV encoder and the AVI writer, a folder of its own, a host dialog and a message pump.
#pragma once

#define IDD_FILELIST_HOST 100
#define IDC_FILELIST 1079

#ifndef RC_INVOKED
#include <windows.h>

#include "MessagePump.h"
#include "TempFolder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/Dialog.h"
#include "ui/VideoFileList.h"

namespace filelist_test {

inline constexpr UINT kOwnerMessage = WM_APP + 11;

struct Recording {
  bool b625 = false;
  bool bWide = false;
  int nFrameMode = 60;
  int nType = 1;
  uint32_t nFrames = 1;
};
// A recorded AVI file of the recording's kind (colour bars, first frame not dropped).
void WriteRecording(const std::wstring& strPath, const Recording& recording);
// Any bytes as a file.
void WriteBytes(const std::wstring& strPath, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::wstring& strPath);
// An AVI file of another codec: one "vids"/"MJPG" stream.
std::vector<uint8_t> MotionJpegAvi();
void SetLastWriteTime(const std::wstring& strPath, const FILETIME& ft);

using testsupport::TempFolder;

// A visible dialog holding the list control 1079 that the file list takes over; it keeps every
// notification the list posts to it.
class HostDialog : public framework::Dialog {
 public:
  HostDialog() : Dialog(IDD_FILELIST_HOST) {}
  ~HostDialog() override;
  bool Open(int nSortOrder = VideoFileList::SortNewestFirst);
  VideoFileList& List() { return m_list; }
  std::vector<std::pair<WPARAM, LPARAM>> TakeNotifications();

 protected:
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // Like the play panel, the host keeps Enter and Esc from closing it.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  VideoFileList m_list;
  std::vector<std::pair<WPARAM, LPARAM>> m_vecNotifications;
};

// The time the thumbnails of a folder may take on a loaded machine.
constexpr DWORD kThumbnailWaitMs = 20000;
using testsupport::PumpFor;
using testsupport::PumpUntil;

// An extractor for the list's workers that counts the extractions running at once and in all,
// and holds them while the gate is closed.
struct ExtractionCounter {
  static std::atomic<int> nRunning;
  static std::atomic<int> nPeak;
  static std::atomic<int> nTotal;
  static void Reset();
  static void CloseGate();
  static void OpenGate();
  static HBITMAP Extract(const std::wstring& strPath, int nWidth, int nHeight);
};

// True when every item's thumbnail is done.
bool AllDone(const VideoFileList& list);

// The pixels of an item's image, 0xRRGGBB, row 0 at the top.
std::vector<uint32_t> ImagePixels(const VideoFileList& list, int nIndex);

// A test with its own folder and a host dialog whose list counts its extractions.
class FileListFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  VideoFileList& List() { return m_host.List(); }

  TempFolder m_folder;
  HostDialog m_host;
};

}  // namespace filelist_test
#endif
