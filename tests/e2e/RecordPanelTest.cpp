// Recording as a user does it, with the simulated camcorder driven through its pipe: standard and
// linked mode, the camcorder's own buttons, drops, an unplugged camcorder, a change of the sound
// format and of the screen resolution while recording. Every recorded file must pass the AVI
// consistency check, and the recording log and the history must list what was recorded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "ProgramUnderTest.h"
#include "RecordPanelDriver.h"

using namespace std::chrono_literals;

namespace {

using namespace e2e::record;
using e2e::AviReport;
using e2e::CheckRecordedFile;
using e2e::CountOf;
using e2e::Narrow;

constexpr int kPlayBackground = 1078;

void RunBusCommand(const std::wstring& arguments) { EXPECT_EQ(0u, e2e::RunBusTool(arguments)) << e2e::Narrow(arguments); }

// True once the camcorder has been told this tape state of the computer.
bool CamcorderSawTapeState(int state) {
  const std::string wanted = "tape-state=" + std::to_string(state) + " ";
  return e2e::WaitUntil([&] { return e2e::BusAnswer("state").find(wanted) != std::string::npos; }, 10s);
}

e2e::SessionOptions RecordOptions(DWORD recordMode, DWORD recordFormat) {
  e2e::SessionOptions options;
  options.settings = e2e::Settings{};
  options.settings->dwRecordMode = recordMode;
  options.settings->dwRecordFormat = recordFormat;
  return options;
}

// One run of the program with its settings in the registry and its recordings in its own folder.
class RecordSession : public e2e::ProgramSession, public e2e::RecordPanelDriver {
 public:
  // recordMode 0 standard, 1 linked; recordFormat 1 Type 1, 2 Type 2.
  RecordSession(DWORD recordMode, DWORD recordFormat)
      : ProgramSession(RecordOptions(recordMode, recordFormat)), RecordPanelDriver(Main()) {}

  void PressKey(WPARAM key) const { e2e::PressKey(Main(), key); }
  // The dated folder the recordings went into.
  std::wstring RecordingFolder() const { return e2e::DatedFolder(VideoFolder()); }
  std::vector<std::wstring> AviFiles() const { return e2e::AviFiles(RecordingFolder()); }
  std::wstring FilePath(const std::wstring& name) const { return RecordingFolder() + L"\\" + name; }
  std::string Log() const { return e2e::ReadFileText(RecordingFolder() + L"\\PLVR.LOG"); }
  // Answers an open dialog with a button; false when none is open.
  bool CloseOtherDialog(int button) const {
    HWND dialog = OtherDialog();
    if (dialog == nullptr) return false;
    PostMessageW(dialog, WM_COMMAND, button, 0);
    return true;
  }
};

TEST(RecordPanel, StandardModeRecordsNumberedFilesLogsThemAndFollowsTheCamcordersButtons) {
  RecordSession session(/*recordMode=*/0, /*recordFormat=*/2);
  ASSERT_NE(nullptr, session.Panel());
  EXPECT_EQ(L"ファイル形式 : AVI（Type2）", session.Text(kFormatText));

  // Record, Stop, Record with three frames lost on the bus, Stop. The camcorder hears of the
  // computer's recording (tape state 2) and of its being ready again (3).
  ASSERT_TRUE(session.WaitReady());
  EXPECT_TRUE(CamcorderSawTapeState(3)) << e2e::BusAnswer("state");
  ASSERT_TRUE(session.RecordFor(1200, kStop));
  EXPECT_TRUE(CamcorderSawTapeState(3)) << e2e::BusAnswer("state");
  ASSERT_TRUE(session.WaitReady());
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  EXPECT_TRUE(CamcorderSawTapeState(2)) << e2e::BusAnswer("state");
  RunBusCommand(L"drop 3");
  Sleep(800);
  session.Click(kStop);
  ASSERT_TRUE(session.WaitReady());

  const std::vector<std::wstring> files = session.AviFiles();
  ASSERT_EQ(2u, files.size());
  EXPECT_EQ(L"PLVR0001.avi", files[0]);
  EXPECT_EQ(L"PLVR0002.avi", files[1]);
  const AviReport first = CheckRecordedFile(session.FilePath(files[0]));
  const AviReport second = CheckRecordedFile(session.FilePath(files[1]));
  EXPECT_TRUE(first.bConsistent);
  EXPECT_TRUE(second.bConsistent);
  EXPECT_EQ(2, first.nType);
  EXPECT_GE(first.nFrames, 20u);
  EXPECT_EQ(0u, first.nDrops);
  EXPECT_EQ(3u, second.nDrops);
  EXPECT_EQ(L"3", session.Text(kDrops));

  // Two information blocks with sizes in thousands, and the drop line of the second file.
  const std::string log = session.Log();
  // The file name line holds the file's path without its extension.
  EXPECT_EQ(1u, CountOf(log, "\\PLVR0001\r\n")) << log;
  EXPECT_EQ(1u, CountOf(log, "\\PLVR0002\r\n"));
  EXPECT_EQ(2u, CountOf(log, Narrow(L"ファイル名: ")));
  EXPECT_EQ(2u, CountOf(log, Narrow(L"欠落フレーム情報: \r\n")));
  const size_t size = log.find(Narrow(L"ファイルサイズ: "));
  ASSERT_NE(std::string::npos, size);
  EXPECT_NE(std::string::npos, log.substr(size, log.find("\r\n", size) - size).find(',')) << log;
  EXPECT_TRUE(CountOf(log, " 3\r\n") == 1 || CountOf(log, " 0:00:0") == 2) << log;
  EXPECT_EQ(0u, log.find(Narrow(L"ファイル名: ")));
  // Two bold file rows, and the second file's dropped second (or two, across a second's edge).
  EXPECT_GE(session.HistoryRows(), 3);
  EXPECT_LE(session.HistoryRows(), 4);

  // The last row, selected, is a dropped scene: its play button opens the play tab.
  EXPECT_TRUE(session.ShownEnabled(kPlayDrop));
  EXPECT_FALSE(session.Shown(kPlayFile));
  session.Click(kPlayDrop);
  HWND playPanel = e2e::FindPanel(session.Main(), kPlayBackground);
  EXPECT_TRUE(e2e::WaitUntil([&] { return playPanel != nullptr && IsWindowVisible(playPanel); }, 10s));

  // F5 on the play tab does nothing; the camcorder's record button brings the record tab back.
  session.PressKey(VK_F4);
  ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(session.Panel()); }, 10s));
  session.PressKey(VK_F5);
  Sleep(1000);
  EXPECT_FALSE(IsWindowVisible(session.Panel()));
  EXPECT_EQ(2u, session.AviFiles().size());
  RunBusCommand(L"record");
  EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(session.Panel()) != FALSE; }, 10s));
  ASSERT_TRUE(session.WaitRecording());
  Sleep(1000);
  RunBusCommand(L"stop");
  ASSERT_TRUE(session.WaitReady());
  ASSERT_EQ(3u, session.AviFiles().size());
  EXPECT_TRUE(CheckRecordedFile(session.FilePath(L"PLVR0003.avi")).bConsistent);

  // Unplugged while recording: the file is kept and the panel says why it stopped.
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  Sleep(1200);
  RunBusCommand(L"unplug");
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.Text(kAnnouncement) == L"ビデオカメラが接続されていないか、電源が入っていません。"; }, 15s))
      << Narrow(session.Text(kAnnouncement));
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.AviFiles().size() == 4u && !session.Shown(kStop); }, 10s));
  const AviReport unplugged = CheckRecordedFile(session.FilePath(L"PLVR0004.avi"));
  EXPECT_TRUE(unplugged.bConsistent);
  EXPECT_GT(unplugged.nFrames, 10u);
  RunBusCommand(L"plug");
}

TEST(RecordPanel, LinkedModeContinuesOneFileAndSplitsOnASoundChange) {
  RecordSession session(/*recordMode=*/1, /*recordFormat=*/1);
  ASSERT_NE(nullptr, session.Panel());

  // Record, Stop, Record, Finalize: one file; the notice shows only while stopped.
  ASSERT_TRUE(session.RecordFor(1000, kStop));
  ASSERT_TRUE(session.WaitReady());
  EXPECT_TRUE(session.Shown(kLinkedNotice));
  EXPECT_TRUE(session.ShownEnabled(kFinalize));
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  EXPECT_FALSE(session.Shown(kLinkedNotice));
  Sleep(1000);
  session.Click(kFinalize);
  ASSERT_TRUE(session.WaitReady());
  // The file is closed, logged and listed once the finalize is through.
  EXPECT_TRUE(e2e::WaitUntil([&] { return CountOf(session.Log(), Narrow(L"ファイル名: ")) == 1; }, 10s));
  EXPECT_FALSE(session.Shown(kLinkedNotice));
  EXPECT_FALSE(IsWindowEnabled(session.Item(kFinalize)));
  std::vector<std::wstring> files = session.AviFiles();
  ASSERT_EQ(1u, files.size());
  const AviReport linked = CheckRecordedFile(session.FilePath(files[0]));
  EXPECT_TRUE(linked.bConsistent);
  EXPECT_EQ(1, linked.nType);
  EXPECT_GE(linked.nFrames, 40u);
  EXPECT_EQ(1, session.HistoryRows());

  // 48 kHz to 32 kHz while recording: the recording goes on in the next file.
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  Sleep(1000);
  RunBusCommand(L"audio 32k");
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.AviFiles().size() == 3u; }, 10s));
  EXPECT_TRUE(session.Shown(kStop));
  Sleep(1000);
  session.Click(kFinalize);
  ASSERT_TRUE(session.WaitReady());
  EXPECT_TRUE(e2e::WaitUntil([&] { return CountOf(session.Log(), Narrow(L"ファイル名: ")) == 3; }, 10s));
  files = session.AviFiles();
  ASSERT_EQ(3u, files.size());
  EXPECT_EQ(L"PLVR0002.avi", files[1]);
  EXPECT_EQ(L"PLVR0003.avi", files[2]);
  for (const std::wstring& name : files) EXPECT_TRUE(CheckRecordedFile(session.FilePath(name)).bConsistent);

  // A screen-resolution change while recording deletes the file and says so.
  const int rows = session.HistoryRows();
  session.Click(kRecord);
  ASSERT_TRUE(session.WaitRecording());
  Sleep(800);
  PostMessageW(session.Main(), WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768));
  std::wstring message;
  EXPECT_TRUE(e2e::WaitUntil([&] {
    HWND box = session.OtherDialog();
    if (box == nullptr) return false;
    for (const std::wstring& text : e2e::StaticTexts(box)) message += text;
    return session.CloseOtherDialog(IDOK);
  }, 10s));
  EXPECT_NE(std::wstring::npos, message.find(L"画面の解像度が変更されたため")) << Narrow(message);
  EXPECT_TRUE(session.WaitReady());
  EXPECT_EQ(3u, session.AviFiles().size());
  EXPECT_EQ(rows, session.HistoryRows());
}

}  // namespace
