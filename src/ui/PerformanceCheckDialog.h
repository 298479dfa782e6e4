// The disk performance check: for 30 seconds a worker thread writes pseudo-random 64 KiB blocks
// with write-through into a temporary file of the folder under test, and the dialog draws the bytes
// written in each second as a bar on a 0-30 MB/s scale with a red line at 4 MB/s. The option sheet
// that opened it is hidden while it is shown.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Handles.h"

class PerformanceCheckDialog : public framework::Dialog {
 public:
  static constexpr int kSampleCount = 30;
  // Reports of the worker (WM_PERF_MEASURED's wParam).
  static constexpr WPARAM kReportStarted = 0;
  static constexpr WPARAM kReportFinished = 1;
  static constexpr WPARAM kReportFailed = 2;  // lParam: the system error code
  // Looks of the graph.
  static constexpr COLORREF kBarFast = RGB(36, 142, 143);
  static constexpr COLORREF kBarSlow = RGB(125, 1, 1);
  static constexpr COLORREF kRedLine = RGB(226, 0, 0);
  static constexpr COLORREF kGridColor = RGB(150, 150, 150);
  static constexpr COLORREF kOuterFrame = RGB(236, 233, 216);

  explicit PerformanceCheckDialog(framework::Window* parent = nullptr);
  ~PerformanceCheckDialog() override;

  // The folder to test; a trailing backslash is added.
  void SetTestFolder(const std::wstring& folder);
  const std::wstring& GetTestFolder() const { return m_strFolder; }

  bool IsRunning() const { return m_bRunning.load(); }
  int GetSampleCount() const { return m_nSampleCount.load(); }
  int GetDrawnCount() const { return m_nDrawnCount; }
  std::uint64_t GetSample(int index) const { return m_arrSamples[static_cast<size_t>(index)]; }
  bool IsSufficient() const { return m_bSufficient; }
  RECT GetGraphRect() const { return m_rcGraph; }

  // Shows the samples of an earlier run as if a test had just measured them (they must not be
  // changed while a test runs); the verdict follows when the finished report arrives.
  void LoadSamples(const std::vector<std::uint64_t>& samples);
  // Draws the graph with its bars, frames, grid and red line into `dc`.
  void DrawGraph(HDC dc);

  // The length of one measured period (one second); tests shorten it to run a whole check quickly.
  void SetSamplePeriodForTesting(DWORD milliseconds) { m_dwSampleMs = milliseconds; }

  // A sample of at most this many bytes makes its second too slow for recording (4.1 MiB).
  static bool IsSlowSample(std::uint64_t bytes);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  void OnTimer(UINT_PTR timerId) override;
  void OnCancel() override;
  void OnDestroy() override;
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  static constexpr UINT_PTR kRefreshTimerId = 50;
  static constexpr UINT kRefreshPeriodMs = 1000;
  static constexpr DWORD kSampleMs = 1000;

  void StartOrStop();
  void StartTest();
  void StopTest();
  void CloseDialog();
  void OnWorkerReport(WPARAM code, LPARAM error);
  void DrawNewBars();
  void SetStatus(const std::wstring& text);
  int XOfSecond(int second) const;
  int YOfRate(std::uint64_t bytesPerSecond) const;

  static DWORD WINAPI WorkerThread(void* parameter);
  void RunWorker();

  std::wstring m_strFolder;
  DWORD m_dwSampleMs = kSampleMs;
  std::atomic<bool> m_bRunning{false};
  bool m_bSufficient = false;
  UINT_PTR m_nRefreshTimer = 0;
  int m_nDrawnCount = 0;
  std::atomic<int> m_nSampleCount{0};
  RECT m_rcGraph{};
  std::array<std::uint64_t, kSampleCount> m_arrSamples{};
  framework::UniqueHandle m_worker;
  HWND m_hHiddenOwner = nullptr;
};
