// The disk performance check against a real temporary folder, and recorded samples fed to the
// dialog to check the bars' colours, the red line and the verdicts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "OptionsTestSupport.h"
#include "device/DeviceEvents.h"
#include "framework/Handles.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/PerformanceCheckDialog.h"

namespace {

std::wstring Str(UINT id) { return framework::LoadResString(id); }

constexpr std::uint64_t kFast = 8000000;
constexpr std::uint64_t kSlowLimit = 4299161;
constexpr DWORD kRunTimeoutMs = 15000;

std::wstring SystemText(DWORD error) {
  wchar_t text[1024] = {};
  const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), text, 1024, nullptr);
  return std::wstring(text, length);
}

class PerformanceCheckTest : public ::testing::Test {
 protected:
  void SetUp() override { m_strFolder = MakeTempFolder(); }
  void TearDown() override {
    m_spDialog.reset();
    PumpPending();
    RemoveFolderTree(m_strFolder);
  }

  void Open(const std::wstring& folder) {
    m_spDialog = std::make_unique<PerformanceCheckDialog>();
    m_spDialog->SetTestFolder(folder);
    ASSERT_TRUE(m_spDialog->Create(nullptr));
    PumpPending();
  }
  HWND Window() const { return m_spDialog->GetSafeHwnd(); }
  std::wstring Status() const { return ItemText(Window(), IDC_PERF_STATUS); }
  std::wstring Button() const { return ItemText(Window(), IDC_PERF_START); }

  // The colour the graph gives the point (x, y) of the dialog's client area.
  COLORREF PixelOfGraph(int x, int y) {
    framework::WindowDC screen(nullptr);
    framework::MemoryDC memory(screen);
    RECT client{};
    ::GetClientRect(Window(), &client);
    framework::BitmapHolder bitmap(::CreateCompatibleBitmap(screen, client.right, client.bottom));
    framework::SelectObjectScope select(memory, bitmap.Get());
    m_spDialog->DrawGraph(memory);
    return ::GetPixel(memory, x, y);
  }
  int XMiddleOfSecond(int second) const {
    const RECT graph = m_spDialog->GetGraphRect();
    const int width = graph.right - graph.left;
    return graph.left + (second * width / 30 + (second + 1) * width / 30) / 2;
  }
  int YOfRate(std::uint64_t rate) const {
    const RECT graph = m_spDialog->GetGraphRect();
    return graph.bottom - static_cast<int>(rate * static_cast<std::uint64_t>(graph.bottom - graph.top) / 31457280);
  }

  std::wstring m_strFolder;
  std::unique_ptr<PerformanceCheckDialog> m_spDialog;
};

TEST_F(PerformanceCheckTest, StoppingAfterAFewSecondsLeavesThatManyBarsMessage146AndNoTemporaryFile) {
  Open(m_strFolder);
  PostClick(Window(), IDC_PERF_START);
  ASSERT_TRUE(PumpUntil([&] { return m_spDialog->GetSampleCount() >= 3; }, kRunTimeoutMs));
  EXPECT_EQ(Button(), Str(IDS_PERF_STOP));
  EXPECT_EQ(Status(), Str(IDS_PERF_RUNNING));
  EXPECT_EQ(TemporaryFiles(m_strFolder).size(), 1u) << "the check writes into one PLV temporary file";

  PostClick(Window(), IDC_PERF_START);
  ASSERT_TRUE(PumpUntil([&] { return Status() == Str(IDS_PERF_INTERRUPTED); }, kRunTimeoutMs));
  const int samples = m_spDialog->GetSampleCount();
  EXPECT_GE(samples, 3);
  EXPECT_LT(samples, PerformanceCheckDialog::kSampleCount);
  EXPECT_EQ(m_spDialog->GetDrawnCount(), samples) << "every measured second has its bar";
  for (int i = 0; i < samples; ++i) EXPECT_GT(m_spDialog->GetSample(i), 0u) << "second " << i;
  EXPECT_FALSE(m_spDialog->IsRunning());
  EXPECT_EQ(Button(), Str(IDS_PERF_START));
  EXPECT_TRUE(TemporaryFiles(m_strFolder).empty());
}

TEST_F(PerformanceCheckTest, WholeCheckEndsAfterThirtySamplesWithAVerdictAndNoTemporaryFile) {
  Open(m_strFolder);
  m_spDialog->SetSamplePeriodForTesting(40);
  PostClick(Window(), IDC_PERF_START);
  ASSERT_TRUE(PumpUntil([&] { return Status() == Str(IDS_PERF_SUFFICIENT) || Status() == Str(IDS_PERF_INSUFFICIENT); },
                        kRunTimeoutMs))
      << "status: " << testing::PrintToString(Status());
  EXPECT_EQ(m_spDialog->GetSampleCount(), PerformanceCheckDialog::kSampleCount);
  EXPECT_EQ(m_spDialog->GetDrawnCount(), PerformanceCheckDialog::kSampleCount);
  EXPECT_FALSE(m_spDialog->IsRunning());
  EXPECT_EQ(Button(), Str(IDS_PERF_START));
  EXPECT_TRUE(TemporaryFiles(m_strFolder).empty());
}

TEST_F(PerformanceCheckTest, FolderThatCannotBeWrittenShowsTheSystemErrorText) {
  const std::wstring file = m_strFolder + L"plain.txt";
  framework::UniqueHandle made(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  made.Reset();
  for (const std::wstring& folder : {m_strFolder + L"missing\\", file}) {
    SCOPED_TRACE(testing::Message() << "folder " << testing::PrintToString(folder));
    wchar_t name[MAX_PATH] = {};
    const std::wstring withBackslash = folder.back() == L'\\' ? folder : folder + L"\\";
    ASSERT_EQ(::GetTempFileNameW(withBackslash.c_str(), L"PLV", 0, name), 0u);
    const std::wstring expected = SystemText(::GetLastError());
    ASSERT_FALSE(expected.empty());

    Open(folder);
    PostClick(Window(), IDC_PERF_START);
    EXPECT_TRUE(PumpUntil([&] { return Status() == expected && !m_spDialog->IsRunning(); }, kRunTimeoutMs))
        << "status: " << testing::PrintToString(Status());
    EXPECT_EQ(m_spDialog->GetSampleCount(), 0);
    EXPECT_TRUE(PumpUntil([&] { return Button() == Str(IDS_PERF_START); }, 2000));
    m_spDialog.reset();
  }
  EXPECT_EQ(TemporaryFiles(m_strFolder).size(), 0u);
}

TEST_F(PerformanceCheckTest, RecordedSecondsAreDrawnInTheirColoursAndJudged) {
  struct Case {
    const char* name;
    std::vector<std::uint64_t> samples;
    UINT verdict;
    int slowSecond;  // drawn dark red, or -1
  };
  auto thirty = [](int second, std::uint64_t value) {
    std::vector<std::uint64_t> samples(30, kFast);
    if (second >= 0) samples[static_cast<size_t>(second)] = value;
    return samples;
  };
  const std::vector<Case> cases = {
      {"every second fast", thirty(-1, 0), IDS_PERF_SUFFICIENT, -1},
      {"one second at 4.1 MiB", thirty(11, kSlowLimit), IDS_PERF_INSUFFICIENT, 11},
      {"one byte above 4.1 MiB", thirty(11, kSlowLimit + 1), IDS_PERF_SUFFICIENT, -1},
      {"a second with nothing written", thirty(3, 0), IDS_PERF_INSUFFICIENT, -1},
      {"stopped after 12 seconds", std::vector<std::uint64_t>(12, kFast), IDS_PERF_INTERRUPTED, -1},
  };
  Open(m_strFolder);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_spDialog->LoadSamples(c.samples);
    m_spDialog->SendMessage(WM_PERF_MEASURED, PerformanceCheckDialog::kReportFinished, 0);
    EXPECT_EQ(Status(), Str(c.verdict));
    EXPECT_EQ(m_spDialog->GetDrawnCount(), static_cast<int>(c.samples.size()));
    for (size_t i = 0; i < c.samples.size(); ++i) {
      const int x = XMiddleOfSecond(static_cast<int>(i));
      const COLORREF bar = PixelOfGraph(x, YOfRate(c.samples[i] / 2));
      if (c.samples[i] == 0) {
        EXPECT_EQ(bar, RGB(0, 0, 0)) << "second " << i << " draws nothing";
      } else {
        const COLORREF expected = static_cast<int>(i) == c.slowSecond ? PerformanceCheckDialog::kBarSlow
                                                                      : PerformanceCheckDialog::kBarFast;
        EXPECT_EQ(bar, expected) << "second " << i;
      }
    }
    EXPECT_EQ(PixelOfGraph(XMiddleOfSecond(0), YOfRate(4194304)), PerformanceCheckDialog::kRedLine);
    EXPECT_EQ(PixelOfGraph(XMiddleOfSecond(0), YOfRate(kFast) - 3), RGB(0, 0, 0)) << "above the bar";
    EXPECT_EQ(PixelOfGraph(XMiddleOfSecond(29), YOfRate(kFast / 2)),
              c.samples.size() == 30 ? PerformanceCheckDialog::kBarFast : RGB(0, 0, 0));
  }
}

}  // namespace
