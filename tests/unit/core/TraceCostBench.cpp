// Benchmark: the cost of trace calls with output off, against a plain out-of-line call doing one
// comparison, measured in the same run. Prints nanoseconds per call and the ratios.
#include <windows.h>

#include <cstdio>

#include "core/DebugTrace.h"

namespace {

constexpr int kCalls = 20000000;

// The peer: one comparison behind a call the compiler cannot inline away.
__attribute__((noinline)) BOOL PlainCheck(HRESULT hr) { return hr < 0; }

double NanosecondsPerCall(LONGLONG llTicks, LONGLONG llFrequency) {
  return static_cast<double>(llTicks) * 1e9 / static_cast<double>(llFrequency) / kCalls;
}

template <typename Body>
LONGLONG Measure(Body body) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (int i = 0; i < kCalls; ++i) body(i);
  QueryPerformanceCounter(&end);
  return end.QuadPart - start.QuadPart;
}

}  // namespace

int main() {
  // No ini file beside the benchmark: the switches latch off at the first call.
  TraceOutput("latch\n");
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  volatile HRESULT hr = S_OK;
  volatile BOOL sink = FALSE;

  const LONGLONG llPeer = Measure([&](int) { sink = PlainCheck(hr); });
  const LONGLONG llCheck = Measure([&](int) { sink = TraceFailedHr(__FILE__, __LINE__, hr, "Run"); });
  const LONGLONG llOutput = Measure([&](int i) { TraceOutput("record %d\n", i); });

  const double dPeer = NanosecondsPerCall(llPeer, frequency.QuadPart);
  const double dCheck = NanosecondsPerCall(llCheck, frequency.QuadPart);
  const double dOutput = NanosecondsPerCall(llOutput, frequency.QuadPart);
  std::printf("calls per case            %d\n", kCalls);
  std::printf("peer (call + compare)     %.2f ns/call\n", dPeer);
  std::printf("TraceFailedHr, success    %.2f ns/call  ratio %.2f\n", dCheck, dCheck / dPeer);
  std::printf("TraceOutput, output off   %.2f ns/call  ratio %.2f\n", dOutput, dOutput / dPeer);
  return sink ? 1 : 0;
}
