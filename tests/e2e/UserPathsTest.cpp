// Paths a user takes through one run of the program, in order: the camcorder in each state the
// program cannot record from, standby and the end of the session asked for while recording, and
// options changed through the option sheet with recordings made under them. The tests share the
// one program start; each leaves the camcorder usable and nothing recording.
#include <windows.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ProgramUnderTest.h"
#include "RecordPanelDriver.h"

using namespace std::chrono_literals;
using namespace e2e::record;

namespace {

constexpr int kCamcorderName = 1003;  // shown while the camcorder is usable
constexpr int kOptionsButton = 1002;
constexpr wchar_t kRecordingQuestion[] = L"録画中です。終了してもよろしいですか？";

// Option sheet items: the general page, then the record page.
constexpr int kNewFolder = 1012;
constexpr int kNameByText = 1017;
constexpr int kSubFolderName = 1015;
constexpr int kPrefix = 1021;
constexpr int kExample = 1024;
constexpr int kModeStandard = 1027;
constexpr int kModeLinked = 1028;
constexpr int kPreviewMedium = 1031;
constexpr int kPreviewNone = 1033;
constexpr int kFormatType1 = 1035;
constexpr int kFormatType2 = 1036;

std::string Listed(const std::vector<std::wstring>& names) {
  std::string list;
  for (const std::wstring& name : names) list += " " + e2e::Narrow(name);
  return list;
}

bool Bus(const std::string& command) { return e2e::BusAnswer(command).rfind("OK", 0) == 0; }

class UserPaths : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    e2e::SessionOptions options;
    options.settings = e2e::Settings{};  // standard mode, Type 2, large preview, dated sub-folder
    s_program = std::make_unique<e2e::ProgramSession>(options);
  }
  static void TearDownTestSuite() { s_program.reset(); }

  void SetUp() override {
    ASSERT_NE(nullptr, Main());
    m_panel = std::make_unique<e2e::RecordPanelDriver>(Main());
    ASSERT_NE(nullptr, Panel().Panel());
    ASSERT_TRUE(Panel().WaitReady()) << "the camcorder is not usable: " << e2e::Narrow(Panel().Text(kAnnouncement));
  }

  static HWND Main() { return s_program->Main(); }
  const e2e::RecordPanelDriver& Panel() const { return *m_panel; }
  bool NameShown() const { return IsWindowVisible(GetDlgItem(Main(), kCamcorderName)) != FALSE; }
  bool StillRecording(std::chrono::milliseconds during) const {
    return !e2e::WaitUntil([&] { return !Panel().ShownEnabled(kStop); }, during);
  }

  static std::unique_ptr<e2e::ProgramSession> s_program;
  std::unique_ptr<e2e::RecordPanelDriver> m_panel;
};

std::unique_ptr<e2e::ProgramSession> UserPaths::s_program;

// Each state of the camcorder or the bus that keeps it from recording, how it is made through the
// bus's pipe, the message the record tab shows for it, and how it is undone.
struct CamcorderState {
  const char* pszName;
  std::vector<std::string> vecEnter;
  const wchar_t* pszMessage;
  std::vector<std::string> vecLeave;
};

const CamcorderState kCamcorderStates[] = {
    {"unplugged", {"unplug"}, L"ビデオカメラが接続されていないか、電源が入っていません。", {"plug"}},
    {"VCR mode", {"mode vcr"}, L"カメラモード以外になっています。", {"mode camera"}},
    {"memory card", {"medium card"}, L"ビデオカメラがカードモードになっています。テープモードに切り替えてください。",
     {"medium tape"}},
    {"DV control off", {"dvcontrol off"}, L"ビデオカメラのDVコントロールが[切]になっています。", {"dvcontrol on"}},
    {"two camcorders", {"add-camcorder"},
     L"パソコンにIEEE1394機器が2台以上接続されているため、動作しません。使用するビデオカメラだけを接続してください。",
     {"unplug 2"}},
    {"another maker's camcorder", {"unplug", "add-camcorder sonar cx5"},
     L"Plover対応のビデオカメラが接続されていません。", {"unplug 3", "plug"}},
};

TEST_F(UserPaths, EachUnusableCamcorderStateShowsItsMessageAndTheCamcorderRecordsAgainAfterwards) {
  for (const CamcorderState& state : kCamcorderStates) {
    SCOPED_TRACE(state.pszName);
    for (const std::string& command : state.vecEnter) ASSERT_TRUE(Bus(command)) << command;
    EXPECT_TRUE(Panel().WaitAnnouncement(state.pszMessage, 20s)) << e2e::Narrow(Panel().Text(kAnnouncement));
    EXPECT_FALSE(IsWindowEnabled(Panel().Item(kRecord)));
    EXPECT_FALSE(NameShown());
    for (const std::string& command : state.vecLeave) ASSERT_TRUE(Bus(command)) << command;
    EXPECT_TRUE(Panel().WaitReady()) << e2e::Narrow(Panel().Text(kAnnouncement));
    EXPECT_EQ(L"", Panel().Text(kAnnouncement));
    EXPECT_TRUE(NameShown());
  }
}

TEST_F(UserPaths, StandbyWithoutTheUserIsRefusedWhileRecordingAndWithTheUserEndsTheRecordingKeepingItsFile) {
  const std::wstring folder = e2e::DatedFolder(s_program->VideoFolder());
  const size_t filesBefore = e2e::AviFiles(folder).size();
  Panel().Click(kRecord);
  ASSERT_TRUE(Panel().WaitRecording());

  // Without user interaction (bit 0 of lParam clear) both questions are refused and nothing stops.
  for (WPARAM query : {WPARAM{PBT_APMQUERYSTANDBY}, WPARAM{PBT_APMQUERYSUSPEND}}) {
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(Main(), WM_POWERBROADCAST, query, 0, SMTO_NORMAL, 10000, &answer));
    EXPECT_EQ(static_cast<DWORD_PTR>(BROADCAST_QUERY_DENY), answer) << "query " << query;
  }
  EXPECT_TRUE(StillRecording(1500ms)) << "a refused standby stopped the recording";

  // With the user's consent the program lets the machine sleep and ends the recording first.
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(Main(), WM_POWERBROADCAST, PBT_APMQUERYSTANDBY, 1, SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(static_cast<DWORD_PTR>(TRUE), answer);
  EXPECT_TRUE(Panel().WaitReady(15s)) << "the recording went on into standby";
  const std::vector<std::wstring> files = e2e::AviFiles(folder);
  ASSERT_EQ(filesBefore + 1, files.size());
  const e2e::AviReport report = e2e::CheckRecordedFile(folder + L"\\" + files.back());
  EXPECT_TRUE(report.bConsistent);
  EXPECT_GE(report.nFrames, 37u) << "a second and a half and more were recorded";
}

TEST_F(UserPaths, EndOfSessionWhileRecordingAsksOnceAndNoKeepsRecording) {
  const std::wstring folder = e2e::DatedFolder(s_program->VideoFolder());
  const size_t filesBefore = e2e::AviFiles(folder).size();
  Panel().Click(kRecord);
  ASSERT_TRUE(Panel().WaitRecording());

  // The session's question waits for the user's answer to the program's own question.
  DWORD_PTR firstAnswer = 99;
  std::thread session([&] {
    SendMessageTimeoutW(Main(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 60000, &firstAnswer);
  });
  HWND box = s_program->WaitForOtherDialog(15s);
  EXPECT_NE(nullptr, box) << "no question while recording";
  if (box != nullptr) {
    EXPECT_EQ(kRecordingQuestion, e2e::JoinedStaticTexts(box));
    EXPECT_NE(nullptr, GetDlgItem(box, IDYES));
    EXPECT_NE(nullptr, GetDlgItem(box, IDNO));
    // A second question of the session while the first is open is refused at once, with no second box.
    DWORD_PTR secondAnswer = 99;
    EXPECT_TRUE(SendMessageTimeoutW(Main(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &secondAnswer));
    EXPECT_EQ(0u, secondAnswer);
    EXPECT_EQ(1u, e2e::VisibleDialogs(s_program->Program(), Main()).size());
    PostMessageW(box, WM_COMMAND, IDNO, 0);
  }
  session.join();
  EXPECT_EQ(0u, firstAnswer) << "the session was allowed to end";
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_TRUE(StillRecording(1500ms)) << "answering No stopped the recording";

  Panel().Click(kStop);
  ASSERT_TRUE(Panel().WaitReady());
  const std::vector<std::wstring> files = e2e::AviFiles(folder);
  ASSERT_EQ(filesBefore + 1, files.size()) << "one recording, one file";
  EXPECT_TRUE(e2e::CheckRecordedFile(folder + L"\\" + files.back()).bConsistent);
}

// The option sheet as the user fills it in: the general page, then the record page, then OK.
struct OptionChoice {
  const char* pszName;
  bool bSubFolder;
  std::wstring strSubFolder;  // typed name; empty keeps the date
  std::wstring strPrefix;
  int nModeButton;
  int nPreviewButton;
  int nFormatButton;
  // What the program then shows and stores.
  DWORD dwRecordMode;
  DWORD dwPreviewSize;
  int nType;
  const wchar_t* pszModeText;
  const wchar_t* pszFormatText;
  SIZE previewWhileRecording;
};

class OptionSheet {
 public:
  explicit OptionSheet(const e2e::ProgramSession& program) {
    PostMessageW(program.Main(), WM_COMMAND, MAKEWPARAM(kOptionsButton, BN_CLICKED), 0);
    m_hSheet = program.WaitForOtherDialog(15s);
  }
  HWND Sheet() const { return m_hSheet; }
  HWND Page() const { return reinterpret_cast<HWND>(SendMessageW(m_hSheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  void ShowPage(int index) const { SendMessageW(m_hSheet, PSM_SETCURSEL, index, 0); }
  void Click(int id) const { SendMessageW(GetDlgItem(Page(), id), BM_CLICK, 0, 0); }
  bool Checked(int id) const { return SendMessageW(GetDlgItem(Page(), id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void Type(int id, const std::wstring& text) const {
    SendMessageW(GetDlgItem(Page(), id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  std::wstring Text(int id) const { return e2e::WindowText(GetDlgItem(Page(), id)); }
  bool PressOk() const {
    PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    return e2e::WaitUntil([&] { return IsWindow(m_hSheet) == FALSE; }, 10s);
  }

 private:
  HWND m_hSheet = nullptr;
};

TEST_F(UserPaths, OptionsAppliedThroughTheSheetShapeTheNextRecording) {
  const OptionChoice choices[] = {
      {"linked, Type 2, medium preview, named sub-folder", true, L"Takes", L"CLIP", kModeLinked, kPreviewMedium,
       kFormatType2, 1, 2, 2, L"録画モード : 連結モード", L"ファイル形式 : AVI（Type2）", {180, 135}},
      {"standard, Type 1, no preview, no sub-folder", false, L"", L"Shot", kModeStandard, kPreviewNone, kFormatType1,
       0, 0, 1, L"録画モード : 標準モード", L"ファイル形式 : AVI（Type1）", {0, 0}},
  };
  for (const OptionChoice& choice : choices) {
    SCOPED_TRACE(choice.pszName);
    ASSERT_TRUE(Panel().WaitReady());
    OptionSheet sheet(*s_program);
    ASSERT_NE(nullptr, sheet.Sheet()) << "the option sheet did not open";
    EXPECT_EQ(L"オプション設定", e2e::WindowText(sheet.Sheet()));

    // General page: the sub-folder and the prefix; the example follows the prefix.
    sheet.ShowPage(0);
    if (sheet.Checked(kNewFolder) != choice.bSubFolder) sheet.Click(kNewFolder);
    if (choice.bSubFolder) {
      sheet.Click(kNameByText);
      sheet.Type(kSubFolderName, choice.strSubFolder);
    }
    sheet.Type(kPrefix, choice.strPrefix);
    EXPECT_EQ(L"例）" + choice.strPrefix + L"0001", sheet.Text(kExample));

    // Record page: mode, preview and format; leaving the general page takes its values.
    sheet.ShowPage(1);
    sheet.Click(choice.nModeButton);
    sheet.Click(choice.nPreviewButton);
    sheet.Click(choice.nFormatButton);
    ASSERT_TRUE(sheet.PressOk()) << "the option sheet stayed open";

    // Stored once the sheet has closed, and shown on the record tab.
    e2e::WaitUntil([&] {
      return e2e::ReadSettingNumber(L"RecordMode") == choice.dwRecordMode &&
             e2e::ReadSettingNumber(L"PreviewSize") == choice.dwPreviewSize &&
             e2e::ReadSettingNumber(L"RecordFormat") == static_cast<DWORD>(choice.nType) &&
             e2e::ReadSettingText(L"FilePrefix") == choice.strPrefix;
    }, 10s);
    EXPECT_EQ(choice.dwRecordMode, e2e::ReadSettingNumber(L"RecordMode"));
    EXPECT_EQ(choice.dwPreviewSize, e2e::ReadSettingNumber(L"PreviewSize"));
    EXPECT_EQ(static_cast<DWORD>(choice.nType), e2e::ReadSettingNumber(L"RecordFormat"));
    EXPECT_EQ(choice.strPrefix, e2e::ReadSettingText(L"FilePrefix"));
    EXPECT_EQ(choice.bSubFolder ? 1u : 0u, e2e::ReadSettingNumber(L"NewFolderCreate"));
    EXPECT_EQ(choice.pszModeText, Panel().Text(kModeText));
    EXPECT_EQ(choice.pszFormatText, Panel().Text(kFormatText));
    const std::wstring folder =
        s_program->VideoFolder() + (choice.bSubFolder ? L"\\" + choice.strSubFolder : std::wstring());
    EXPECT_EQ(folder + L"\\", Panel().Text(kFolderText));

    // A recording made with them: two takes in linked mode go into one file.
    ASSERT_TRUE(Panel().WaitReady());
    Panel().Click(kRecord);
    ASSERT_TRUE(Panel().WaitRecording());
    // The preview takes the chosen size while recording (none: no picture at all).
    SIZE shown{};
    EXPECT_TRUE(e2e::WaitUntil([&] {
      RECT preview{};
      GetWindowRect(Panel().Item(kPreview), &preview);
      const bool visible = IsWindowVisible(Panel().Item(kPreview)) != FALSE;
      shown = visible ? SIZE{preview.right - preview.left, preview.bottom - preview.top} : SIZE{0, 0};
      return shown.cx == choice.previewWhileRecording.cx && shown.cy == choice.previewWhileRecording.cy;
    }, 5s)) << "preview " << shown.cx << " x " << shown.cy;
    Sleep(1000);
    Panel().Click(kStop);
    if (choice.dwRecordMode == 1) {
      ASSERT_TRUE(Panel().WaitReady());
      Panel().Click(kRecord);
      ASSERT_TRUE(Panel().WaitRecording());
      Sleep(1000);
      Panel().Click(kFinalize);
    }
    ASSERT_TRUE(Panel().WaitReady());
    const std::wstring name = choice.strPrefix + L"0001.avi";
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::AviFiles(folder) == std::vector<std::wstring>{name}; }, 10s))
        << "files in " << e2e::Narrow(folder) << ": " << Listed(e2e::AviFiles(folder));
    const e2e::AviReport report = e2e::CheckRecordedFile(folder + L"\\" + name);
    EXPECT_TRUE(report.bConsistent);
    EXPECT_EQ(choice.nType, report.nType);
    EXPECT_GE(report.nFrames, choice.dwRecordMode == 1 ? 40u : 20u);
  }
}

}  // namespace
