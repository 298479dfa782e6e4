// The main window's work around the option sheet and the start-up folder checks: accepted options
// reach the record graph and the registry, the start-up check stores its box, and a folder off
// NTFS is replaced through the specify dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "OptionsTestSupport.h"
#include "resource.h"

namespace {

class OptionsMainWindowTest : public MainWindowTest {
 protected:
  // The top-level dialog over the main window that holds item `id`, or null.
  HWND DialogWithItem(int id) const {
    for (HWND dialog : VisibleDialogs(Window())) {
      if (::GetDlgItem(dialog, id) != nullptr) return dialog;
    }
    return nullptr;
  }
  HWND Sheet() const {
    for (HWND dialog : VisibleDialogs(Window())) {
      if (PropSheet_GetCurrentPageHwnd(dialog) != nullptr) return dialog;
    }
    return nullptr;
  }
  void RunCommand(int id, Script& script) {
    m_spPanel->PostMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
    EXPECT_TRUE(PumpUntil([&] { return script.Finished() && VisibleDialogs(Window()).empty(); }, 15000));
  }
  static AppSettings Saved() {
    AppSettings saved;
    saved.Load();
    return saved;
  }
};

TEST_F(OptionsMainWindowTest, AcceptedOptionsReachTheRecordGraphAndTheRegistry) {
  Open();
  const std::wstring datedFolder = m_spPanel->GetSettings().GetVideoFolder();
  ASSERT_NE(::GetFileAttributesW(datedFolder.c_str()), INVALID_FILE_ATTRIBUTES);
  HWND page = nullptr;
  Script script({
      WaitFor([&] { return Sheet() != nullptr; }),
      Do([&] {
        HWND general = PropSheet_GetCurrentPageHwnd(Sheet());
        ::SetDlgItemTextW(general, IDC_OPT_PREFIX, L"CAM");
        ::SendMessageW(::GetDlgItem(general, IDC_OPT_NAME_BY_TEXT), BM_CLICK, 0, 0);
        ::SetDlgItemTextW(general, IDC_OPT_SUBFOLDER_NAME, L"clips");
      }),
      Do([&] { PropSheet_SetCurSel(Sheet(), nullptr, 1); }),
      Do([&] {
        page = PropSheet_GetCurrentPageHwnd(Sheet());
        for (int id : {IDC_OPT_MODE_LINKED, IDC_OPT_PREVIEW_SMALL, IDC_OPT_FORMAT_TYPE1}) {
          ::SendMessageW(::GetDlgItem(page, id), BM_CLICK, 0, 0);
        }
      }),
      Do([&] { PropSheet_PressButton(Sheet(), PSBTN_OK); }),
  });
  RunCommand(IDC_MAIN_OPTIONS, script);
  EXPECT_NE(page, nullptr);
  EXPECT_FALSE(m_spPanel->IsOptionsOpen());
  EXPECT_EQ(m_spPanel->GetRecordPanel().GetRecordGraph().GetRecordMode(), RecordGraph::ModeLinked);
  const AppSettings saved = Saved();
  EXPECT_EQ(saved.GetRecordMode(), 1u);
  EXPECT_EQ(saved.GetPreviewSize(), 1u);
  EXPECT_EQ(saved.GetRecordFormat(), 1u);
  // The next recording goes into the named sub-folder with the new prefix; the dated folder that
  // received nothing is gone.
  const std::wstring next = m_spPanel->GetSettings().GetNextFilePath();
  EXPECT_EQ(next.substr(0, next.find_last_of(L'\\') + 8), m_strFolder + L"clips\\CAM0001") << testing::PrintToString(next);
  EXPECT_NE(::GetFileAttributesW((m_strFolder + L"clips").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(::GetFileAttributesW(datedFolder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(OptionsMainWindowTest, CancelledOptionsAreNotSaved) {
  Open();
  Script script({
      WaitFor([&] { return Sheet() != nullptr; }),
      Do([&] { PropSheet_SetCurSel(Sheet(), nullptr, 1); }),
      Do([&] {
        ::SendMessageW(::GetDlgItem(PropSheet_GetCurrentPageHwnd(Sheet()), IDC_OPT_MODE_LINKED), BM_CLICK, 0, 0);
      }),
      Do([&] { PropSheet_PressButton(Sheet(), PSBTN_CANCEL); }),
  });
  RunCommand(IDC_MAIN_OPTIONS, script);
  EXPECT_EQ(m_spPanel->GetRecordPanel().GetRecordGraph().GetRecordMode(), RecordGraph::ModeStandard);
  EXPECT_EQ(Saved().GetRecordMode(), 0u);
}

// The end of the session while the disk check runs behind the hidden option sheet: the chain of
// modal windows reaches the check through the hidden sheet, so the check, the sheet and then the
// window close, and the worker's temporary file goes with the check.
TEST_F(OptionsMainWindowTest, EndOfSessionDuringThePerformanceCheckClosesItAndTheSheet) {
  Open();
  HWND sheet = nullptr, check = nullptr;
  bool sheetHidden = false;
  size_t filesWhileRunning = 0;
  LRESULT answer = 0;
  DWORD asked = 0;
  bool closedByChain = false;
  Script script({
      WaitFor([&] { return (sheet = Sheet()) != nullptr; }),
      Do([&] { PostClick(PropSheet_GetCurrentPageHwnd(sheet), IDC_OPT_PERFORMANCE); }),
      WaitFor([&] { return (check = DialogWithItem(IDC_PERF_GRAPH)) != nullptr; }),
      Do([&] { PostClick(check, IDC_PERF_START); }),
      WaitFor([&] { return !TemporaryFiles(m_strFolder).empty(); }),
      Do([&] {
        sheetHidden = !::IsWindowVisible(sheet);
        filesWhileRunning = TemporaryFiles(m_strFolder).size();
        answer = m_spPanel->SendMessage(WM_QUERYENDSESSION, 0, 0);
        asked = ::GetTickCount();
      }),
      WaitFor([&] {
        closedByChain = !::IsWindow(check) && !::IsWindow(sheet);
        return closedByChain || ::GetTickCount() - asked > 8000;
      }),
      // Left open, the check and then the sheet are cancelled so that the test ends.
      Do([&] {
        if (::IsWindow(check)) ::PostMessageW(check, WM_COMMAND, IDCANCEL, 0);
      }),
      WaitFor([&] { return !::IsWindow(check); }),
      Do([&] {
        if (::IsWindow(sheet)) ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      }),
  });
  m_spPanel->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_MAIN_OPTIONS, 0), 0);
  EXPECT_TRUE(PumpUntil([&] { return script.Finished() && !m_spPanel->IsOptionsOpen(); }, 20000));
  EXPECT_TRUE(sheetHidden);
  EXPECT_EQ(filesWhileRunning, 1u);
  EXPECT_NE(answer, 0);
  EXPECT_TRUE(closedByChain) << "the check and the sheet stayed open after the session was allowed to end";
  EXPECT_TRUE(TemporaryFiles(m_strFolder).empty()) << "the check's temporary file is left behind";
  EXPECT_TRUE(m_spPanel->IsClosing());
  EXPECT_FALSE(::IsWindowVisible(Window()));
}

TEST_F(OptionsMainWindowTest, StartupCheckShowsTheFolderAndStoresItsBox) {
  Open(0);
  m_spPanel->GetSettings().SetVideoFolderCheck(1);
  std::wstring text;
  Script script({
      WaitFor([&] { return DialogWithItem(IDC_FOLDER_CHECK_BOX) != nullptr; }),
      Do([&] {
        HWND check = DialogWithItem(IDC_FOLDER_CHECK_BOX);
        text = ItemText(check, IDC_FOLDER_CHECK_TEXT);
        ::SendMessageW(::GetDlgItem(check, IDC_FOLDER_CHECK_BOX), BM_CLICK, 0, 0);
        PostClick(check, IDOK);
      }),
  });
  RunCommand(IDC_MAIN_SHOW_FOLDER_CHECK, script);
  EXPECT_NE(WithoutLineBreaks(text).find(m_strFolder), std::wstring::npos) << testing::PrintToString(text);
  EXPECT_EQ(Saved().GetVideoFolderCheck(), 0u);
}

TEST_F(OptionsMainWindowTest, FolderOffNtfsIsReplacedThroughTheSpecifyDialog) {
  Open(0);
  FakeFolders folders;
  folders.m_fileSystems[m_strFolder] = L"FAT32";
  const std::wstring chosen = m_strFolder + L"ntfs";
  ASSERT_TRUE(::CreateDirectoryW(chosen.c_str(), nullptr));
  folders.m_answers.push_back(chosen);
  m_spPanel->SetFolderChoice(folders);
  m_spPanel->GetSettings().SetVideoFolderCheck(1);
  bool specifyShown = false;
  Script script({
      WaitFor([&] { return DialogWithItem(IDC_FOLDER_SPECIFY_CHOOSE) != nullptr; }),
      Do([&] {
        specifyShown = DialogWithItem(IDC_FOLDER_CHECK_BOX) == nullptr;
        PostClick(DialogWithItem(IDC_FOLDER_SPECIFY_CHOOSE), IDC_FOLDER_SPECIFY_CHOOSE);
      }),
  });
  RunCommand(IDC_MAIN_SHOW_FOLDER_CHECK, script);
  EXPECT_TRUE(specifyShown) << "a folder off NTFS skips the check dialog";
  EXPECT_EQ(Saved().GetRecordFolder(), chosen + L"\\");
  m_spPanel->SetFolderChoice(FolderChoice::System());
}

}  // namespace
