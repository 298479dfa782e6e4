#include "ui/PerformanceCheckDialog.h"

#include <shlwapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdlib>

#include "core/DebugTrace.h"
#include "device/DeviceEvents.h"
#include "framework/Resources.h"
#include "resource.h"

namespace {
constexpr DWORD kBlockBytes = 65536;                 // one write, as a recording writes
constexpr LONGLONG kExtendStep = 4194304;            // the file grows ahead of the writes by 4 MiB
constexpr std::uint64_t kScaleTop = 31457280;        // 30 MiB/s at the top of the graph
constexpr std::uint64_t kSlowLimit = 4299161;        // 4.1 MiB/s, rounded down
constexpr std::uint64_t kRedLineRate = 4194304;      // 4 MiB/s
constexpr std::uint64_t kGridRates[] = {10000000, 20000000};
constexpr int kGridSeconds[] = {10, 20};
constexpr DWORD kMaxErrorTextChars = 1024;

std::wstring SystemErrorText(DWORD error) {
  wchar_t text[kMaxErrorTextChars] = {};
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), text, kMaxErrorTextChars, nullptr);
  return std::wstring(text, length);
}

bool SetFileEnd(HANDLE file, LONGLONG end, LONGLONG position) {
  LARGE_INTEGER offset{};
  offset.QuadPart = end;
  if (!::SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) || !::SetEndOfFile(file)) return false;
  offset.QuadPart = position;
  return ::SetFilePointerEx(file, offset, nullptr, FILE_BEGIN) != FALSE;
}

void DrawHorizontalLine(HDC dc, const RECT& graph, int y) {
  ::MoveToEx(dc, graph.left, y, nullptr);
  ::LineTo(dc, graph.right, y);
}
}  // namespace

PerformanceCheckDialog::PerformanceCheckDialog(framework::Window* parent) : Dialog(IDD_PERFORMANCE_CHECK, parent) {}

PerformanceCheckDialog::~PerformanceCheckDialog() { StopTest(); }

void PerformanceCheckDialog::SetTestFolder(const std::wstring& folder) {
  wchar_t path[MAX_PATH + 1] = {};
  folder.copy(path, MAX_PATH - 1);
  ::PathAddBackslashW(path);
  m_strFolder = path;
}

bool PerformanceCheckDialog::IsSlowSample(std::uint64_t bytes) { return bytes <= kSlowLimit; }

BOOL PerformanceCheckDialog::OnInitDialog() {
  Dialog::OnInitDialog();
  HWND graph = GetDlgItem(IDC_PERF_GRAPH);
  if (graph != nullptr) {
    ::GetWindowRect(graph, &m_rcGraph);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&m_rcGraph), 2);
  }
  ShowWindow(SW_SHOW);
  // The option sheet stays out of the way until the check is closed.
  m_hHiddenOwner = ::GetWindow(m_hWnd, GW_OWNER);
  if (m_hHiddenOwner != nullptr) ::ShowWindow(m_hHiddenOwner, SW_HIDE);
  SetDlgItemText(IDC_PERF_START, framework::LoadResString(IDS_PERF_START));
  return TRUE;
}

bool PerformanceCheckDialog::OnCommand(WORD id, WORD code, HWND control) {
  if (code == BN_CLICKED && id == IDC_PERF_START) {
    StartOrStop();
    return true;
  }
  if (code == BN_CLICKED && id == IDC_PERF_CLOSE) {
    CloseDialog();
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

void PerformanceCheckDialog::OnCancel() { CloseDialog(); }

void PerformanceCheckDialog::CloseDialog() {
  StopTest();
  if (m_hHiddenOwner != nullptr) ::ShowWindow(m_hHiddenOwner, SW_SHOW);
  ShowWindow(SW_HIDE);
  EndDialog(IDCANCEL);
}

// A window torn down without its close button (the end of the session) still ends the worker.
void PerformanceCheckDialog::OnDestroy() { StopTest(); }

void PerformanceCheckDialog::OnTimer(UINT_PTR timerId) {
  if (timerId == kRefreshTimerId) DrawNewBars();
}

bool PerformanceCheckDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_PERF_MEASURED:
      OnWorkerReport(wParam, lParam);
      return true;
    case WM_PAINT: {
      framework::PaintDC dc(m_hWnd);
      DrawGraph(dc);
      return true;
    }
    case WM_HELP:
      result = TRUE;  // the program has no context help
      return true;
    default:
      return false;
  }
}

void PerformanceCheckDialog::StartOrStop() {
  if (m_bRunning.load()) {
    StopTest();
    return;
  }
  StartTest();
}

void PerformanceCheckDialog::StartTest() {
  // The worker of a finished test has ended or is about to.
  StopTest();
  m_bSufficient = true;
  m_nDrawnCount = 0;
  m_nSampleCount.store(0);
  m_arrSamples.fill(0);
  ::InvalidateRect(m_hWnd, &m_rcGraph, FALSE);
  ::UpdateWindow(m_hWnd);

  m_bRunning.store(true);
  HANDLE thread = ::CreateThread(nullptr, 0, &PerformanceCheckDialog::WorkerThread, this, CREATE_SUSPENDED, nullptr);
  if (TRACE_NULL(thread, "CreateThread")) {
    m_bRunning.store(false);
    return;
  }
  ::SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
  m_worker.Reset(thread);
  ::ResumeThread(thread);
}

void PerformanceCheckDialog::StopTest() {
  m_bRunning.store(false);
  if (m_nRefreshTimer != 0) {
    if (m_hWnd != nullptr) ::KillTimer(m_hWnd, m_nRefreshTimer);
    m_nRefreshTimer = 0;
  }
  if (m_worker) {
    ::WaitForSingleObject(m_worker.Get(), INFINITE);
    m_worker.Reset();
  }
}

void PerformanceCheckDialog::OnWorkerReport(WPARAM code, LPARAM error) {
  switch (code) {
    case kReportStarted:
      m_nRefreshTimer = ::SetTimer(m_hWnd, kRefreshTimerId, kRefreshPeriodMs, nullptr);
      SetDlgItemTextIfChanged(IDC_PERF_START, framework::LoadResString(IDS_PERF_STOP));
      SetStatus(framework::LoadResString(IDS_PERF_RUNNING));
      break;
    case kReportFinished: {
      StopTest();
      DrawNewBars();
      SetDlgItemTextIfChanged(IDC_PERF_START, framework::LoadResString(IDS_PERF_START));
      const int count = m_nSampleCount.load();
      // The verdict does not depend on the bars having been painted: a hidden or covered dialog
      // still judges every second.
      for (int i = 0; i < count; ++i) {
        if (IsSlowSample(m_arrSamples[static_cast<size_t>(i)])) m_bSufficient = false;
      }
      UINT verdict = IDS_PERF_INTERRUPTED;
      if (count == kSampleCount) verdict = m_bSufficient ? IDS_PERF_SUFFICIENT : IDS_PERF_INSUFFICIENT;
      SetStatus(framework::LoadResString(verdict));
      break;
    }
    case kReportFailed:
      // The worker has ended; the check is idle again and says why it could not run.
      StopTest();
      SetDlgItemTextIfChanged(IDC_PERF_START, framework::LoadResString(IDS_PERF_START));
      SetStatus(SystemErrorText(static_cast<DWORD>(error)));
      break;
    default:
      break;
  }
}

void PerformanceCheckDialog::SetStatus(const std::wstring& text) { SetDlgItemTextIfChanged(IDC_PERF_STATUS, text); }

void PerformanceCheckDialog::LoadSamples(const std::vector<std::uint64_t>& samples) {
  const size_t count = std::min<size_t>(samples.size(), kSampleCount);
  m_arrSamples.fill(0);
  std::copy_n(samples.begin(), count, m_arrSamples.begin());
  m_bSufficient = true;
  m_nDrawnCount = 0;
  m_nSampleCount.store(static_cast<int>(count));
}

void PerformanceCheckDialog::DrawNewBars() {
  const int count = m_nSampleCount.load();
  for (int i = m_nDrawnCount; i < count; ++i) {
    RECT bar{XOfSecond(i), YOfRate(kScaleTop), XOfSecond(i + 1), YOfRate(0)};
    ::InvalidateRect(m_hWnd, &bar, FALSE);
  }
  m_nDrawnCount = count;
  ::UpdateWindow(m_hWnd);
}

int PerformanceCheckDialog::XOfSecond(int second) const {
  const int width = m_rcGraph.right - m_rcGraph.left;
  return m_rcGraph.left + second * width / kSampleCount;
}

int PerformanceCheckDialog::YOfRate(std::uint64_t bytesPerSecond) const {
  const int height = m_rcGraph.bottom - m_rcGraph.top;
  const std::uint64_t capped = std::min(bytesPerSecond, kScaleTop);
  return m_rcGraph.bottom - static_cast<int>(capped * static_cast<std::uint64_t>(height) / kScaleTop);
}

void PerformanceCheckDialog::DrawGraph(HDC dc) {
  framework::BrushHolder black(::CreateSolidBrush(RGB(0, 0, 0)));
  ::FillRect(dc, &m_rcGraph, black.Get());

  framework::BrushHolder fast(::CreateSolidBrush(kBarFast));
  framework::BrushHolder slow(::CreateSolidBrush(kBarSlow));
  const int count = m_nSampleCount.load();
  for (int i = 0; i < count; ++i) {
    const std::uint64_t value = m_arrSamples[static_cast<size_t>(i)];
    if (value == 0) continue;
    const RECT bar{XOfSecond(i), YOfRate(value), XOfSecond(i + 1), YOfRate(0)};
    const bool isSlow = IsSlowSample(value);
    if (isSlow) m_bSufficient = false;
    ::FillRect(dc, &bar, isSlow ? slow.Get() : fast.Get());
  }

  RECT frame = m_rcGraph;
  frame.bottom += 1;
  framework::BrushHolder outer(::CreateSolidBrush(kOuterFrame));
  for (HBRUSH brush : {black.Get(), black.Get(), outer.Get()}) {
    ::InflateRect(&frame, 1, 1);
    ::FrameRect(dc, &frame, brush);
  }

  const int savedDC = ::SaveDC(dc);
  ::SetBkMode(dc, TRANSPARENT);
  framework::PenHolder dotted(::CreatePen(PS_DOT, 1, kGridColor));
  framework::PenHolder solid(::CreatePen(PS_SOLID, 1, kGridColor));
  framework::PenHolder red(::CreatePen(PS_SOLID, 1, kRedLine));
  ::SelectObject(dc, dotted.Get());
  for (std::uint64_t rate : kGridRates) DrawHorizontalLine(dc, m_rcGraph, YOfRate(rate));
  ::SelectObject(dc, solid.Get());
  for (int second : kGridSeconds) {
    ::MoveToEx(dc, XOfSecond(second), m_rcGraph.top, nullptr);
    ::LineTo(dc, XOfSecond(second), m_rcGraph.bottom);
  }
  ::SelectObject(dc, red.Get());
  DrawHorizontalLine(dc, m_rcGraph, YOfRate(kRedLineRate));
  ::RestoreDC(dc, savedDC);
}

DWORD WINAPI PerformanceCheckDialog::WorkerThread(void* parameter) {
  static_cast<PerformanceCheckDialog*>(parameter)->RunWorker();
  return 0;
}

void PerformanceCheckDialog::RunWorker() {
  HWND dialog = m_hWnd;
  ::PostMessageW(dialog, WM_PERF_MEASURED, kReportStarted, 0);

  wchar_t name[MAX_PATH] = {};
  if (::GetTempFileNameW(m_strFolder.c_str(), L"PLV", 0, name) == 0) {
    const DWORD error = ::GetLastError();
    m_bRunning.store(false);
    ::PostMessageW(dialog, WM_PERF_MEASURED, kReportFailed, static_cast<LPARAM>(error));
    return;
  }
  HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_FLAG_WRITE_THROUGH | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY |
                                  FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // The empty file that reserved the name goes too.
    ::DeleteFileW(name);
    m_bRunning.store(false);
    ::PostMessageW(dialog, WM_PERF_MEASURED, kReportFailed, static_cast<LPARAM>(error));
    return;
  }

  // The measured rate is that of plain sequential writing, never of a compressing file system.
  USHORT compression = COMPRESSION_FORMAT_NONE;
  DWORD returned = 0;
  ::DeviceIoControl(file, FSCTL_SET_COMPRESSION, &compression, sizeof(compression), nullptr, 0, &returned, nullptr);

  std::vector<BYTE> block(kBlockBytes);
  for (BYTE& value : block) value = static_cast<BYTE>(std::rand() % 4096);

  DWORD t0 = ::GetTickCount();
  LONGLONG written = 0;
  LONGLONG allocated = 0;
  while (m_bRunning.load()) {
    const DWORD now = ::GetTickCount();
    if (now - t0 > m_dwSampleMs) {
      const int index = m_nSampleCount.load();
      m_arrSamples[static_cast<size_t>(index)] = static_cast<std::uint64_t>(written);
      m_nSampleCount.store(index + 1);
      written = 0;
      if (index + 1 == kSampleCount) {
        m_bRunning.store(false);
        break;
      }
      // Each second starts again at the front of the file.
      allocated = kExtendStep;
      SetFileEnd(file, allocated, 0);
      t0 = now;
    }
    if (allocated < written + kBlockBytes) {
      allocated += kExtendStep;
      SetFileEnd(file, allocated, written);
    }
    DWORD done = 0;
    ::WriteFile(file, block.data(), kBlockBytes, &done, nullptr);
    written += done;
  }
  ::CloseHandle(file);
  ::PostMessageW(dialog, WM_PERF_MEASURED, kReportFinished, 0);
}
