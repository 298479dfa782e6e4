// The process-wide trace log and debug ini readers, with the ini and log files beside this test
// program, as the program itself uses them.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "core/DebugTrace.h"
#include "core/DebugTraceTesting.h"

using namespace test_files;

namespace {

const std::string kBannerRule(78, '#');
const std::string kThreadRule(63, '-');

std::string ThreadLine(DWORD dwThreadId) { return "ThreadID[" + std::to_string(dwThreadId) + "]" + kThreadRule; }

// Reads what OutputDebugStringA hands to a debug monitor, through the system's shared buffer.
class DebugOutputMonitor {
public:
  static constexpr DWORD kBufferBytes = 4096;

  DebugOutputMonitor() {
    m_hBufferReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    m_hDataReady = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    m_hMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferBytes, L"DBWIN_BUFFER");
    if (m_hMapping) m_pView = static_cast<const char*>(MapViewOfFile(m_hMapping, FILE_MAP_READ, 0, 0, kBufferBytes));
    if (m_hBufferReady) SetEvent(m_hBufferReady);
  }
  ~DebugOutputMonitor() {
    if (m_pView) UnmapViewOfFile(m_pView);
    if (m_hMapping) CloseHandle(m_hMapping);
    if (m_hDataReady) CloseHandle(m_hDataReady);
    if (m_hBufferReady) CloseHandle(m_hBufferReady);
  }
  bool IsReady() const { return m_pView && m_hDataReady && m_hBufferReady; }

  // The next text this process sent; empty after the time-out.
  std::string Receive(DWORD dwTimeoutMs) {
    const ULONGLONG ullEnd = GetTickCount64() + dwTimeoutMs;
    while (GetTickCount64() < ullEnd) {
      if (WaitForSingleObject(m_hDataReady, 100) != WAIT_OBJECT_0) continue;
      DWORD dwPid = 0;
      memcpy(&dwPid, m_pView, sizeof(dwPid));
      std::string text(m_pView + sizeof(DWORD), strnlen(m_pView + sizeof(DWORD), kBufferBytes - sizeof(DWORD)));
      SetEvent(m_hBufferReady);
      if (dwPid == GetCurrentProcessId()) return text;
    }
    return std::string();
  }

private:
  HANDLE m_hBufferReady = nullptr;
  HANDLE m_hDataReady = nullptr;
  HANDLE m_hMapping = nullptr;
  const char* m_pView = nullptr;
};

class DebugTraceTest : public ::testing::Test {
protected:
  void SetUp() override {
    RemoveFiles();
    ResetDebugTraceForTesting();
  }
  void TearDown() override {
    RemoveFiles();
    ResetDebugTraceForTesting();
  }

  void RemoveFiles() {
    Remove(m_strIni);
    Remove(m_strLog);
    for (const wchar_t* suffix : {L"0001", L"0002", L"0003"}) Remove(m_strLog + suffix);
  }

  // Writes the "Debug" section; each write gets a later time, so the reader sees a change.
  void WriteIni(const std::string& body) {
    WriteBytes(m_strIni, "[Debug]\r\n" + body);
    m_nIniSeconds += 10;
    ShiftWriteTime(m_strIni, m_nIniSeconds);
  }

  std::vector<std::string> LogLines(const std::wstring& path) const {
    std::vector<std::string> lines;
    std::istringstream stream(WithoutCarriageReturns(ReadBytes(path)));
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::string> LogLines() const { return LogLines(m_strLog); }

  std::wstring m_strIni = BesideExecutable(L".ini");
  std::wstring m_strLog = Widen(BesideExecutableAnsi(".log"));
  int m_nIniSeconds = 0;
};

TEST_F(DebugTraceTest, WithoutTheIniFileNothingIsWrittenAndSwitchesTakeTheirDefaults) {
  TraceOutput("%s\n", "nobody reads this");
  EXPECT_FALSE(TRACE_FAILED_HR(S_FALSE, "Run"));
  EXPECT_TRUE(TRACE_FAILED_HR(E_FAIL, "Run"));
  EXPECT_FALSE(Exists(m_strLog));

  EXPECT_EQ(1, GetDebugIniInt(L"OnlyTavinDVC", 1));
  EXPECT_EQ(1, GetDebugIniInt(L"OnlyDVControl", 1));
  EXPECT_EQ(1, GetDebugIniInt(L"OnlyNodeCount2", 1));
  EXPECT_EQ(0, GetDebugIniInt(L"UsePlayback", 0));
  EXPECT_DOUBLE_EQ(0.0, GetDebugIniDouble(L"FAT16MaxCaptureFileSize", 0));
  EXPECT_DOUBLE_EQ(0.0, GetDebugIniDouble(L"FAT32MaxCaptureFileSize", 0));
}

TEST_F(DebugTraceTest, TheFirstRecordCarriesTheBannerAndEachChangeOfThreadAThreadLine) {
  WriteIni("FileOut=1\r\n");
  TraceOutput("first %d\n", 1);
  TraceOutput("second\n");
  DWORD dwOtherThread = 0;
  std::thread other([&dwOtherThread] {
    dwOtherThread = GetCurrentThreadId();
    TraceOutput("third\n");
    TraceOutput("fourth\n");
  });
  other.join();
  TraceOutput("fifth\n");

  const std::vector<std::string> lines = LogLines();
  const DWORD dwMain = GetCurrentThreadId();
  const std::vector<std::string> expectedTail = {ThreadLine(dwMain),        "first 1", "second",
                                                 ThreadLine(dwOtherThread), "third",   "fourth",
                                                 ThreadLine(dwMain),        "fifth"};
  ASSERT_EQ(3 + expectedTail.size(), lines.size());
  EXPECT_EQ(kBannerRule, lines[0]);
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(# Start Debug - \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4})")))
      << lines[1];
  EXPECT_EQ(kBannerRule, lines[2]);
  EXPECT_EQ(expectedTail, std::vector<std::string>(lines.begin() + 3, lines.end()));
}

TEST_F(DebugTraceTest, OutputSwitchesAreLatchedAtTheFirstTraceWhileDeveloperSwitchesFollowTheIni) {
  WriteIni("FileOut=1\r\nOnlyTavinDVC=0\r\nFAT32MaxCaptureFileSize=1000000\r\n");
  EXPECT_EQ(0, GetDebugIniInt(L"OnlyTavinDVC", 1));
  TraceOutput("on\n");

  WriteIni("FileOut=0\r\nOnlyTavinDVC=1\r\nFAT32MaxCaptureFileSize=2500000.5\r\n");
  TraceOutput("still on\n");
  EXPECT_EQ(1, GetDebugIniInt(L"OnlyTavinDVC", 0));
  EXPECT_DOUBLE_EQ(2500000.5, GetDebugIniDouble(L"FAT32MaxCaptureFileSize", 0));

  const std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("on", lines[lines.size() - 2]);
  EXPECT_EQ("still on", lines.back());
}

TEST_F(DebugTraceTest, SwitchesOffAtTheFirstTraceStayOffWhenTheIniTurnsThemOn) {
  WriteIni("UsePlayback=1\r\n");
  TraceOutput("off\n");
  WriteIni("FileOut=1\r\nTraceOut=1\r\n");
  TraceOutput("still off\n");
  EXPECT_TRUE(TRACE_FAILED_BOOL(FALSE, "CloseHandle"));
  EXPECT_FALSE(Exists(m_strLog));
  EXPECT_EQ(1, GetDebugIniInt(L"FileOut", 0));
}

TEST_F(DebugTraceTest, KeysMatchInAnyCaseAndTextSwitchesReadAsZero) {
  WriteIni("fileout=2\r\nTraceOut=abc\r\nusePLAYBACK=3\r\n");
  EXPECT_EQ(L"2", GetDebugIniString(L"FileOut"));
  EXPECT_EQ(0, GetDebugIniInt(L"TRACEOUT", 9));
  EXPECT_EQ(3, GetDebugIniInt(L"UsePlayback", 0));
  TraceOutput("committed\n");  // FileOut 2: append with commit
  const std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("committed", lines.back());
}

TEST_F(DebugTraceTest, AFailedCheckWritesOneErrorLineAndKeepsTheLastError) {
  WriteIni("FileOut=1\r\n");
  int value = 0;
  EXPECT_FALSE(TRACE_FAILED_HR(S_OK, "Run"));
  EXPECT_FALSE(TRACE_FAILED_HR(S_FALSE, "Run"));
  EXPECT_FALSE(TRACE_FAILED_BOOL(TRUE, "CloseHandle"));
  EXPECT_FALSE(TRACE_NULL(&value, "m_hKsHandle"));
  EXPECT_FALSE(Exists(m_strLog));

  SetLastError(ERROR_ACCESS_DENIED);
  const int nHrLine = __LINE__ + 1;
  EXPECT_TRUE(TRACE_FAILED_HR(E_FAIL, "CoCreateInstance"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  SetLastError(ERROR_FILE_NOT_FOUND);
  const int nBoolLine = __LINE__ + 1;
  EXPECT_TRUE(TRACE_FAILED_BOOL(FALSE, "DeviceIoControl"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_TRUE(TraceNull("C:\\src\\device\\VirtualDriver.cpp", 321, nullptr, "m_hKsHandle"));
  EXPECT_EQ(0u, GetLastError());

  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(7u, lines.size());  // banner, thread line, three errors
  EXPECT_EQ("DebugTraceTest.cpp(" + std::to_string(nHrLine) +
                "): *error* CoCreateInstance() failed, lasterr = 0x00000005(5), hr = 0x80004005(-2147467259)",
            lines[4]);
  EXPECT_EQ("DebugTraceTest.cpp(" + std::to_string(nBoolLine) +
                "): *error* DeviceIoControl() failed, lasterr = 0x00000002(2)",
            lines[5]);
  EXPECT_EQ("VirtualDriver.cpp(321): *error* m_hKsHandle is Null, lasterr = 0x00000000(0)", lines[6]);
}

TEST_F(DebugTraceTest, ReadersAndTracesLeaveTheLastErrorAsTheyFoundIt) {
  SetLastError(1234);
  EXPECT_EQ(7, GetDebugIniInt(L"Missing", 7));  // the ini file does not exist
  EXPECT_EQ(1234u, GetLastError());
  WriteIni("FileOut=1\r\n");
  SetLastError(4321);
  TraceOutput("record\n");
  EXPECT_EQ(4321u, GetLastError());
  TraceText(__FILE__, __LINE__, "text");
  EXPECT_EQ(4321u, GetLastError());
}

TEST_F(DebugTraceTest, ALogAboveOneMillionBytesIsMovedAsideAndTheNextFileHasNoBanner) {
  WriteIni("FileOut=1\r\n");
  TraceOutput("before\n");
  const std::string firstFile = ReadBytes(m_strLog);
  // Grow the log to exactly 1,000,000 bytes: the next record still goes into it.
  WriteBytes(m_strLog, firstFile + std::string(1000000 - firstFile.size(), 'x'));
  TraceOutput("at the limit\n");
  EXPECT_FALSE(Exists(m_strLog + L"0001"));
  ASSERT_GT(SizeOf(m_strLog), 1000000u);

  TraceOutput("new file\n");
  ASSERT_TRUE(Exists(m_strLog + L"0001"));
  const std::vector<std::string> fresh = LogLines();
  ASSERT_EQ(1u, fresh.size());
  EXPECT_EQ("new file", fresh[0]);
  const std::vector<std::string> rotated = LogLines(m_strLog + L"0001");
  ASSERT_FALSE(rotated.empty());
  EXPECT_EQ(kBannerRule, rotated.front());
  EXPECT_NE(std::string::npos, rotated.back().find("at the limit"));
}

TEST_F(DebugTraceTest, RecordsFromManyThreadsNeverInterleave) {
  WriteIni("FileOut=1\r\n");
  constexpr int kThreads = 4;
  constexpr int kRecordsEach = 60;
  const std::string payload(300, '=');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &payload] {
      for (int i = 0; i < kRecordsEach; ++i) TraceOutput("T%d #%d %s end\n", t, i, payload.c_str());
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::regex record(R"(T(\d) #(\d+) =+ end)");
  std::vector<int> counts(kThreads, 0);
  std::vector<int> nextIndex(kThreads, 0);
  for (const std::string& line : LogLines()) {
    if (line == kBannerRule || line.rfind("# Start Debug", 0) == 0 || line.rfind("ThreadID[", 0) == 0) continue;
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, record)) << line;
    ASSERT_EQ(payload.size() + 9 + static_cast<size_t>(match[2].length()), line.size());
    const int nThread = std::stoi(match[1]);
    EXPECT_EQ(nextIndex[nThread]++, std::stoi(match[2]));
    ++counts[nThread];
  }
  EXPECT_EQ(std::vector<int>(kThreads, kRecordsEach), counts);
}

TEST_F(DebugTraceTest, OverlongRecordsAreCutAndStillEndTheirLine) {
  WriteIni("FileOut=1\r\n");
  TraceOutput("%s\n", std::string(6000, 'a').c_str());
  const std::string longName(3000, 'n');
  EXPECT_TRUE(TRACE_FAILED_BOOL(FALSE, longName.c_str()));
  TraceOutput("next\n");

  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(7u, lines.size());
  // The first record holds the banner and thread line as well; all of it within 4095 bytes.
  EXPECT_EQ(std::string::npos, lines[4].find_first_not_of('a'));
  EXPECT_LT(lines[4].size(), 4096u - 200u);
  EXPECT_EQ(0u, lines[5].find("DebugTraceTest.cpp("));
  EXPECT_LE(lines[5].size(), 1023u + 30u);
  EXPECT_EQ("next", lines[6]);
}

TEST_F(DebugTraceTest, TraceOutSendsEachRecordToTheDebuggerChannel) {
  DebugOutputMonitor monitor;
  ASSERT_TRUE(monitor.IsReady());
  WriteIni("TraceOut=1\r\n");
  TraceOutput("to the debugger %d\n", 42);
  const std::string first = monitor.Receive(5000);
  EXPECT_EQ(0u, first.find(kBannerRule + "\n# Start Debug - ")) << first;
  EXPECT_NE(std::string::npos, first.find(ThreadLine(GetCurrentThreadId()) + "\nto the debugger 42\n")) << first;

  TraceOutput("again\n");
  EXPECT_EQ("again\n", monitor.Receive(5000));
  EXPECT_FALSE(Exists(m_strLog));
}

}  // namespace
