#include "RecordPanelDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <fstream>

#include "ProgramUnderTest.h"
#include "avi/AviCheck.h"
#include "avi/AviParser.h"
#include "avi/FileIo.h"

using namespace std::chrono_literals;

namespace e2e {

RecordPanelDriver::RecordPanelDriver(HWND main)
    : m_hPanel(main != nullptr ? FindPanel(main, record::kBackground) : nullptr) {}

std::wstring RecordPanelDriver::Text(int id) const { return WindowText(Item(id)); }

void RecordPanelDriver::Click(int id) const {
  PostMessageW(m_hPanel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

bool RecordPanelDriver::WaitReady(std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return ShownEnabled(record::kRecord); }, timeout);
}

bool RecordPanelDriver::WaitRecording() const {
  return WaitUntil([&] { return ShownEnabled(record::kStop); }, 15s);
}

bool RecordPanelDriver::WaitAnnouncement(const std::wstring& text, std::chrono::milliseconds timeout) const {
  return WaitUntil([&] { return Text(record::kAnnouncement) == text; }, timeout);
}

int RecordPanelDriver::HistoryRows() const {
  return static_cast<int>(SendMessageW(Item(record::kHistory), LVM_GETITEMCOUNT, 0, 0));
}

bool RecordPanelDriver::RecordFor(DWORD ms, int stopButton) const {
  if (!WaitReady()) return false;
  Click(record::kRecord);
  if (!WaitRecording()) return false;
  Sleep(ms);
  Click(stopButton);
  return true;
}

std::vector<std::wstring> AviFiles(const std::wstring& folder) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((folder + L"\\*.avi").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    files.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(files.begin(), files.end());
  return files;
}

std::wstring DatedFolder(const std::wstring& folder) {
  SYSTEMTIME today{};
  GetLocalTime(&today);
  wchar_t name[32] = {};
  swprintf(name, 32, L"\\%d_%02d_%02d", today.wYear, today.wMonth, today.wDay);
  return folder + name;
}

namespace {

void KeepForTheHostsReaders(const std::wstring& path, const AviReport& report) {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"PLOVER_E2E_KEEP", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  static int s_nKept = 0;
  const std::wstring name = std::to_wstring(++s_nKept) + L"-" + path.substr(path.find_last_of(L'\\') + 1);
  if (!CopyFileW(path.c_str(), (std::wstring(folder) + L"\\" + name).c_str(), FALSE)) return;
  std::ofstream manifest(Narrow(std::wstring(folder) + L"\\manifest.txt"), std::ios::app);
  manifest << Narrow(name) << ' ' << report.nFrames << ' ' << report.nDrops << '\n';
}

}  // namespace

AviReport CheckRecordedFile(const std::wstring& path) {
  AviReport report;
  avi::StdioFile file;
  if (!file.Open(Narrow(path), avi::StdioFile::Mode::Read)) return report;
  avi::AviParser parser;
  if (parser.Parse(file) != avi::AviResult::Ok) return report;
  report.bConsistent = avi::CheckAvi(parser, file).bConsistent && parser.IsConsistent();
  report.nType = parser.AviTypeCode();
  report.nFrames = parser.DeclaredLength();
  report.nDrops = parser.DroppedFrames().size();
  KeepForTheHostsReaders(path, report);
  return report;
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

}  // namespace e2e
