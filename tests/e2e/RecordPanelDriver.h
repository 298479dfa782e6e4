// The record tab of a running program as the tests press it, and the recordings it leaves.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Items of the record panel (dialog 105).
namespace record {
constexpr int kBackground = 1077;
constexpr int kHistory = 1005;
constexpr int kRecord = 1006;
constexpr int kStop = 1007;
constexpr int kDrops = 1022;
constexpr int kFinalize = 1037;
constexpr int kAnnouncement = 1040;
constexpr int kPreview = 1043;
constexpr int kModeText = 1044;
constexpr int kFormatText = 1045;
constexpr int kFolderText = 1046;
constexpr int kLinkedNotice = 1090;
constexpr int kPlayFile = 1092;
constexpr int kPlayDrop = 1093;
}  // namespace record

class RecordPanelDriver {
 public:
  // The record panel of this main window (null panel when it has none).
  explicit RecordPanelDriver(HWND main);

  HWND Panel() const { return m_hPanel; }
  HWND Item(int id) const { return GetDlgItem(m_hPanel, id); }
  bool Shown(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
  bool ShownEnabled(int id) const { return Shown(id) && IsWindowEnabled(Item(id)); }
  std::wstring Text(int id) const;
  void Click(int id) const;
  bool WaitReady(std::chrono::milliseconds timeout = std::chrono::seconds(40)) const;
  bool WaitRecording() const;
  // Waits until the announcement reads `text`.
  bool WaitAnnouncement(const std::wstring& text, std::chrono::milliseconds timeout) const;
  int HistoryRows() const;
  // Records for a while from a ready panel and stops with the given button; false when it could not start.
  bool RecordFor(DWORD ms, int stopButton) const;

 private:
  HWND m_hPanel = nullptr;
};

// The .avi files of a folder, sorted by name.
std::vector<std::wstring> AviFiles(const std::wstring& folder);
// The dated sub-folder of today's recordings: <folder>\YYYY_MM_DD.
std::wstring DatedFolder(const std::wstring& folder);

// What the AVI tool's check says of a recorded file.
struct AviReport {
  bool bConsistent = false;
  int nType = 0;  // 1 or 2, 0 for neither
  uint32_t nFrames = 0;
  size_t nDrops = 0;
};
// With PLOVER_E2E_KEEP naming a folder, a copy of each checked file goes there, listed in its
// "manifest.txt" with what our reader found ("name frames drops"), for the host's readers.
AviReport CheckRecordedFile(const std::wstring& path);

size_t CountOf(const std::string& text, const std::string& part);

}  // namespace e2e
