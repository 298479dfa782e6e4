// One run of Plover.exe for a benchmark: its settings, its bus scenario, the marks around each
// measured phase (the benchmark script measures the processes while the driver waits), and what
// the driver itself can ask of the running program (handles and memory).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "../../tests/e2e/ProgramUnderTest.h"

namespace bench {

struct ProgramOptions {
  std::wstring strVideoFolder;  // the recording and play folder
  DWORD dwPreviewSize = 3;      // 3 large ... 0 none
  bool bCamcorder = true;       // false: a bus without camcorders
};

// Tells the script a measured phase begins or ends, and waits until the script has measured:
// the script answers mark N by making the file "ack-N" in the work folder.
class MarkChannel {
 public:
  explicit MarkChannel(std::wstring strWorkFolder) : m_strWorkFolder(std::move(strWorkFolder)) {}
  bool Mark(const std::string& strName);

 private:
  std::wstring m_strWorkFolder;
  int m_nLast = 0;
};

class BenchSession {
 public:
  explicit BenchSession(const ProgramOptions& options);
  ~BenchSession();  // closes the program (a recording is stopped first by the caller)

  bool Started() const { return m_hMain != nullptr; }
  HWND Main() const { return m_hMain; }
  // The visible panel whose background item is backgroundId, found again after each tab change.
  HWND Panel(int backgroundId) const;
  bool WaitForCamcorder() const;
  bool ShowPlayTab();
  bool ShowRecordTab();
  void Key(HWND hWnd, WPARAM key) const;
  void Command(HWND hPanel, int id) const;
  // "probe WHEN handles N": the script adds the memory the process holds then.
  void PrintProbe(const char* pszWhen) const;
  long HandleCount() const;
  HANDLE Process() const { return m_spProgram->ProcessHandle(); }

 private:
  bool ShowTab(WPARAM key, int backgroundId);
  static void WriteSettings(const ProgramOptions& options);

  e2e::InstallFolder m_install;
  std::unique_ptr<e2e::RunningProgram> m_spProgram;
  HWND m_hMain = nullptr;
};

}  // namespace bench
