// One long recording in standard mode with five frames lost on the bus in the middle of every
// minute (PLOVER_LONG_MINUTES minutes, 10 when unset). The file must hold every frame of its
// length, each loss must be one dropped scene at its second in the file, the counter, the history
// and the recording log, and the program's memory and handles must not grow while it records.
// It runs in real time, so it is not part of the suite: scripts/long-recording runs it.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "ProgramUnderTest.h"
#include "RecordPanelDriver.h"

using namespace std::chrono_literals;
using namespace e2e::record;

namespace {

constexpr int kDropFrames = 5;

// The camcorder's frame rate, by the video system the bus reports for it.
double FramesPerSecond() { return e2e::BusAnswer("status").find("system=625") != std::string::npos ? 25.0 : 30000.0 / 1001.0; }

int Minutes() {
  const char* text = std::getenv("PLOVER_LONG_MINUTES");
  const int minutes = text != nullptr ? std::atoi(text) : 0;
  return minutes > 0 ? minutes : 10;
}

struct Usage {
  SIZE_T privateBytes = 0;  // the committed private memory
  DWORD handles = 0;
};

// The handles open in a process, counted by copying each possible handle value out of it: Wine does
// not report the count itself, and it hands out the lowest free values first.
DWORD CountHandles(HANDLE process) {
  DWORD count = 0;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    HANDLE copy = nullptr;
    if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
      ++count;
      CloseHandle(copy);
    }
  }
  return count;
}

Usage Measure(HANDLE process) {
  Usage usage;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(process, &counters, sizeof(counters))) usage.privateBytes = counters.PagefileUsage;
  usage.handles = CountHandles(process);
  return usage;
}

// The drop lines of the recording log: " h:mm:ss count", as (second, count).
std::vector<std::pair<int, int>> DropLines(const std::string& log) {
  std::vector<std::pair<int, int>> lines;
  size_t at = 0;
  while ((at = log.find("\r\n ", at)) != std::string::npos) {
    at += 3;
    int hours = 0, minutes = 0, seconds = 0, count = 0;
    if (std::sscanf(log.c_str() + at, "%d:%d:%d %d", &hours, &minutes, &seconds, &count) == 4) {
      lines.emplace_back(hours * 3600 + minutes * 60 + seconds, count);
    }
  }
  return lines;
}

TEST(LongRecording, StaysInStepWithDropsEveryMinuteAndNoGrowth) {
  const int minutes = Minutes();
  e2e::SessionOptions options;
  options.settings = e2e::Settings{};  // standard mode, Type 2, large preview
  e2e::ProgramSession program(options);
  ASSERT_NE(nullptr, program.Main());
  e2e::RecordPanelDriver panel(program.Main());
  ASSERT_TRUE(panel.WaitReady());
  const HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, program.Program().ProcessId());
  ASSERT_NE(nullptr, process);

  const double framesPerSecond = FramesPerSecond();
  panel.Click(kRecord);
  ASSERT_TRUE(panel.WaitRecording());
  const auto start = std::chrono::steady_clock::now();
  std::vector<Usage> usage;
  for (int minute = 0; minute < minutes; ++minute) {
    std::this_thread::sleep_until(start + std::chrono::seconds(minute * 60 + 30));
    ASSERT_EQ(0u, e2e::BusAnswer("drop " + std::to_string(kDropFrames)).rfind("OK", 0)) << "minute " << minute;
    std::this_thread::sleep_until(start + std::chrono::seconds((minute + 1) * 60));
    ASSERT_TRUE(panel.ShownEnabled(kStop)) << "the recording stopped in minute " << minute;
    usage.push_back(Measure(process));
    std::cout << "minute " << minute + 1 << ": private " << usage.back().privateBytes / 1024 << " KiB, "
              << usage.back().handles << " handles, " << e2e::Narrow(panel.Text(kDrops)) << " dropped" << std::endl;
  }
  panel.Click(kStop);
  ASSERT_TRUE(panel.WaitReady());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CloseHandle(process);

  const std::wstring folder = e2e::DatedFolder(program.VideoFolder());
  const std::vector<std::wstring> files = e2e::AviFiles(folder);
  ASSERT_EQ(1u, files.size());
  const e2e::AviReport report = e2e::CheckRecordedFile(folder + L"\\" + files[0]);
  EXPECT_TRUE(report.bConsistent);
  // Every frame of the recording's length is in the file: the click to stop comes within a second.
  EXPECT_NEAR(seconds * framesPerSecond, static_cast<double>(report.nFrames), framesPerSecond)
      << report.nFrames << " frames in " << seconds << " s";
  EXPECT_EQ(static_cast<size_t>(minutes * kDropFrames), report.nDrops);
  EXPECT_EQ(std::to_wstring(minutes * kDropFrames), panel.Text(kDrops));

  // Each minute's loss in the log, at its second of the file (a loss may straddle a second).
  const std::vector<std::pair<int, int>> lines = DropLines(e2e::ReadFileText(folder + L"\\PLVR.LOG"));
  int logged = 0;
  for (const auto& [second, count] : lines) {
    const int minute = second / 60;
    EXPECT_NEAR(minute * 60 + 30, second, 2) << "a drop logged at second " << second;
    logged += count;
  }
  EXPECT_EQ(minutes * kDropFrames, logged);
  EXPECT_GE(lines.size(), static_cast<size_t>(minutes));
  EXPECT_LE(lines.size(), static_cast<size_t>(2 * minutes));
  EXPECT_EQ(static_cast<int>(1 + lines.size()), panel.HistoryRows());

  // No growth from the end of the first minute to the end: the buffers are settled by then.
  ASSERT_GE(usage.size(), 2u);
  const long long grownKiB =
      (static_cast<long long>(usage.back().privateBytes) - static_cast<long long>(usage.front().privateBytes)) / 1024;
  const long long grownHandles = static_cast<long long>(usage.back().handles) - usage.front().handles;
  std::cout << "growth after the first minute: " << grownKiB << " KiB private, " << grownHandles << " handles"
            << std::endl;
  EXPECT_LT(grownKiB, 8 * 1024) << "private memory grew while recording";
  EXPECT_LE(grownHandles, 10) << "handles grew while recording";
}

}  // namespace
