// The option sheet's pages driven with window messages: the filtered name edits and their balloons,
// the trimming of names, the pages' refusal to be left, the sub-folder controls, the folder choice
// and the performance check opened over the sheet.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "OptionsTestSupport.h"
#include "RegistryOverride.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/OptionSheet.h"

namespace {

std::wstring Str(UINT id) { return framework::LoadResString(id); }

bool IsChecked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

class OptionSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_registry.IsActive());
    m_strFolder = MakeTempFolder();
    m_settings.SetRecordFolder(m_strFolder);
    m_settings.SetNewFolderCreate(0);
    m_settings.SetFilePrefix(L"PLVR");
    m_settings.SetVideoFolderCheck(1);
  }
  void TearDown() override { RemoveFolderTree(m_strFolder); }

  INT_PTR RunSheet(std::vector<Step> steps) {
    COptionSheet sheet(m_settings, nullptr, m_folders);
    m_pSheet = &sheet;
    Script script(std::move(steps));
    const INT_PTR result = sheet.DoModal();
    EXPECT_TRUE(script.Finished()) << "the sheet closed at step " << script.StepsDone();
    m_pSheet = nullptr;
    return result;
  }

  HWND Whole() const { return m_pSheet->GetWholePage().GetSafeHwnd(); }
  HWND Rec() const { return m_pSheet->GetRecPage().GetSafeHwnd(); }
  HWND Item(int id) const { return ::GetDlgItem(Whole(), id); }
  Step Press(int button) {
    return Do([this, button] { m_pSheet->PressButton(button); });
  }
  Step SetText(int id, const std::wstring& text) {
    return Do([this, id, text] { ::SetWindowTextW(Item(id), text.c_str()); });
  }
  // The text of the error balloon shown on the general page, empty when none is shown.
  std::wstring BalloonText() const {
    PanelToolTip& tip = m_pSheet->GetWholePage().GetToolTip();
    return tip.GetBalloonWindow() != nullptr ? tip.GetToolText(tip.GetBalloonWindow()) : std::wstring();
  }
  bool SheetStillOnGeneralPage() const {
    return m_pSheet->IsWindow() && m_pSheet->GetActivePage() == &m_pSheet->GetWholePage();
  }

  RegistryOverride m_registry;
  AppSettings m_settings;
  FakeFolders m_folders;
  std::wstring m_strFolder;
  COptionSheet* m_pSheet = nullptr;
};

TEST_F(OptionSheetTest, NameEditsRefuseBadCharactersAndLengthWithABalloon) {
  struct Case {
    const char* name;
    int edit;
    std::wstring start;
    std::wstring typed;
    std::wstring kept;
    UINT balloon;
  };
  const std::vector<Case> cases = {
      {"slash after a", IDC_OPT_PREFIX, L"a", L"/", L"a", IDS_FILE_NAME_BAD_CHARACTER},
      {"17th byte", IDC_OPT_PREFIX, L"abcdefghijklmnop", L"q", L"abcdefghijklmnop", IDS_FILE_NAME_TOO_LONG},
      {"ninth double-byte character", IDC_OPT_PREFIX, L"", L"あいうえおかきくけ", L"あいうえおかきく",
       IDS_FILE_NAME_TOO_LONG},
      {"full stop in the folder name", IDC_OPT_SUBFOLDER_NAME, L"clip", L".", L"clip", IDS_FILE_NAME_BAD_CHARACTER},
      {"colon in the folder name", IDC_OPT_SUBFOLDER_NAME, L"clip", L":", L"clip", IDS_FILE_NAME_BAD_CHARACTER},
  };
  ASSERT_EQ(::GetACP(), 932u) << "double-byte characters need the Japanese code page";
  m_settings.SetNewFolderCreate(1);
  m_settings.SetNewFolderNameSetting(1);
  m_settings.SetNewFolderName(L"trip");

  std::vector<std::wstring> kept(cases.size()), balloons(cases.size());
  std::vector<Step> steps;
  for (size_t i = 0; i < cases.size(); ++i) {
    steps.push_back(SetText(cases[i].edit, cases[i].start));
    // Read in the same step as the typing: between steps the sheet handles messages, and a focus
    // change there (another program's window taking the activation) hides the balloon.
    steps.push_back(Do([this, &cases, &kept, &balloons, i] {
      TypeText(Item(cases[i].edit), cases[i].typed);
      kept[i] = ItemText(Whole(), cases[i].edit);
      balloons[i] = BalloonText();
    }));
  }
  steps.push_back(Press(IDCANCEL));
  EXPECT_EQ(RunSheet(std::move(steps)), IDCANCEL);
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(kept[i], cases[i].kept);
    EXPECT_EQ(balloons[i], Str(cases[i].balloon));
  }
}

TEST_F(OptionSheetTest, NamesLoseTheirBlanksAsTheyAreTyped) {
  struct Case {
    const char* name;
    int edit;
    std::wstring text;
    std::wstring result;
    std::wstring example;  // of the prefix cases
  };
  const std::vector<Case> cases = {
      {"leading blanks go, trailing stay", IDC_OPT_PREFIX, L"  ab ", L"ab ", L"例）ab 0001"},
      {"ideographic space", IDC_OPT_PREFIX, L"\x3000x", L"x", L"例）x0001"},
      {"only blanks leave the prefix empty", IDC_OPT_PREFIX, L"   ", L"", L"例）--------"},
      {"folder name loses both ends", IDC_OPT_SUBFOLDER_NAME, L" my clips ", L"my clips", L""},
  };
  m_settings.SetNewFolderCreate(1);
  m_settings.SetNewFolderNameSetting(1);
  std::vector<std::wstring> results(cases.size()), examples(cases.size());
  std::vector<Step> steps;
  for (size_t i = 0; i < cases.size(); ++i) {
    steps.push_back(SetText(IDC_OPT_PREFIX, L"PLVR"));
    steps.push_back(SetText(cases[i].edit, cases[i].text));
    steps.push_back(Do([this, &cases, &results, &examples, i] {
      results[i] = ItemText(Whole(), cases[i].edit);
      examples[i] = ItemText(Whole(), IDC_OPT_EXAMPLE);
    }));
  }
  steps.push_back(Press(IDCANCEL));
  RunSheet(std::move(steps));
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(results[i], cases[i].result);
    if (cases[i].edit == IDC_OPT_PREFIX) {
      EXPECT_EQ(examples[i], cases[i].example);
    }
  }
}

TEST_F(OptionSheetTest, EmptyPrefixKeepsTheSheetOpenWithMessage116UntilItIsFilled) {
  std::wstring example;
  bool stayed = false, focusOnPrefix = false;
  const INT_PTR result = RunSheet({
      SetText(IDC_OPT_PREFIX, L""),
      Do([&] { example = ItemText(Whole(), IDC_OPT_EXAMPLE); }),
      Press(IDOK),
      WaitFor([] { return AnswerBox(Str(IDS_SETTING_EMPTY)); }),
      Do([&] { stayed = SheetStillOnGeneralPage(); }),
      // Coming back to the page puts the focus on the edit that kept it.
      Do([&] { ::SetFocus(Item(IDC_OPT_FOLDER_CHECK)); m_pSheet->GetWholePage().PostMessage(COptionWholePage::WM_FOCUS_ERROR_EDIT); }),
      Do([&] { focusOnPrefix = ::GetFocus() == Item(IDC_OPT_PREFIX); }),
      SetText(IDC_OPT_PREFIX, L"CAM"),
      Press(IDOK),
  });
  EXPECT_EQ(example, L"例）--------");
  EXPECT_TRUE(stayed) << "OK with an empty prefix must not close the sheet";
  EXPECT_TRUE(focusOnPrefix);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(m_settings.GetFilePrefix(), L"CAM");
}

TEST_F(OptionSheetTest, LeavingTheGeneralPageChangesSettingsThatCancelDoesNotUndo) {
  const INT_PTR result = RunSheet({
      SetText(IDC_OPT_PREFIX, L"CAM"),
      Do([&] { ::SendMessageW(Item(IDC_OPT_FOLDER_CHECK), BM_CLICK, 0, 0); }),
      Do([&] { m_pSheet->SetActivePage(1); }),
      Do([&] { ::SendMessageW(::GetDlgItem(Rec(), IDC_OPT_MODE_LINKED), BM_CLICK, 0, 0); }),
      Press(IDCANCEL),
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(m_settings.GetFilePrefix(), L"CAM");
  EXPECT_EQ(m_settings.GetVideoFolderCheck(), 0u);
  EXPECT_EQ(m_settings.GetRecordMode(), 0u) << "the record page writes only on OK";
}

TEST_F(OptionSheetTest, RecordPageShowsTheSettingsAndWritesTheChosenRadiosOnOK) {
  struct Case {
    DWORD mode, preview, format;
    std::vector<int> shown;
    std::vector<int> clicked;
    DWORD newMode, newPreview, newFormat;
  };
  const std::vector<Case> cases = {
      {0, 3, 2, {IDC_OPT_MODE_STANDARD, IDC_OPT_PREVIEW_LARGE, IDC_OPT_FORMAT_TYPE2},
       {IDC_OPT_MODE_LINKED, IDC_OPT_PREVIEW_NONE, IDC_OPT_FORMAT_TYPE1}, 1, 0, 1},
      {1, 0, 1, {IDC_OPT_MODE_LINKED, IDC_OPT_PREVIEW_NONE, IDC_OPT_FORMAT_TYPE1},
       {IDC_OPT_MODE_STANDARD, IDC_OPT_PREVIEW_MEDIUM, IDC_OPT_FORMAT_TYPE2}, 0, 2, 2},
      // A format the page has no button for is written as Type 2.
      {0, 1, 7, {IDC_OPT_MODE_STANDARD, IDC_OPT_PREVIEW_SMALL}, {}, 0, 1, 2},
  };
  const int allRadios[] = {IDC_OPT_MODE_STANDARD, IDC_OPT_MODE_LINKED,  IDC_OPT_PREVIEW_LARGE, IDC_OPT_PREVIEW_MEDIUM,
                           IDC_OPT_PREVIEW_SMALL, IDC_OPT_PREVIEW_NONE, IDC_OPT_FORMAT_TYPE1,  IDC_OPT_FORMAT_TYPE2};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " preview " << c.preview << " format " << c.format);
    m_settings.SetRecordMode(c.mode);
    m_settings.SetPreviewSize(c.preview);
    m_settings.SetRecordFormat(c.format);
    std::vector<int> shown;
    RunSheet({
        Do([&] { m_pSheet->SetActivePage(1); }),
        Do([&] {
          for (int id : allRadios) {
            if (IsChecked(Rec(), id)) shown.push_back(id);
          }
          for (int id : c.clicked) ::SendMessageW(::GetDlgItem(Rec(), id), BM_CLICK, 0, 0);
        }),
        Press(IDOK),
    });
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(m_settings.GetRecordMode(), c.newMode);
    EXPECT_EQ(m_settings.GetPreviewSize(), c.newPreview);
    EXPECT_EQ(m_settings.GetRecordFormat(), c.newFormat);
  }
}

TEST_F(OptionSheetTest, SubFolderBoxDrivesTheNameEditAndAnEmptyNameIsRefused) {
  struct Look {
    std::wstring text;
    bool editEnabled, editReadOnly, dateEnabled, nameEnabled;
  };
  auto look = [this] {
    HWND edit = Item(IDC_OPT_SUBFOLDER_NAME);
    return Look{ItemText(Whole(), IDC_OPT_SUBFOLDER_NAME), ::IsWindowEnabled(edit) != FALSE,
                (::GetWindowLongPtrW(edit, GWL_STYLE) & ES_READONLY) != 0,
                ::IsWindowEnabled(Item(IDC_OPT_NAME_BY_DATE)) != FALSE,
                ::IsWindowEnabled(Item(IDC_OPT_NAME_BY_TEXT)) != FALSE};
  };
  m_settings.SetNewFolderCreate(1);
  m_settings.SetNewFolderNameSetting(0);
  m_settings.SetNewFolderName(L"trip");
  const std::wstring today = m_settings.MakeDateFolderName();
  Look unchecked, rechecked, named;
  bool refused = false;
  const INT_PTR result = RunSheet({
      Do([&] { ::SendMessageW(Item(IDC_OPT_NEW_FOLDER), BM_CLICK, 0, 0); }),
      Do([&] { unchecked = look(); }),
      Do([&] { ::SendMessageW(Item(IDC_OPT_NEW_FOLDER), BM_CLICK, 0, 0); }),
      Do([&] { rechecked = look(); }),
      Do([&] { ::SendMessageW(Item(IDC_OPT_NAME_BY_TEXT), BM_CLICK, 0, 0); }),
      Do([&] { named = look(); }),
      SetText(IDC_OPT_SUBFOLDER_NAME, L""),
      Press(IDOK),
      WaitFor([] { return AnswerBox(Str(IDS_SETTING_EMPTY)); }),
      Do([&] { refused = SheetStillOnGeneralPage(); }),
      SetText(IDC_OPT_SUBFOLDER_NAME, L"trip2"),
      Press(IDOK),
  });
  EXPECT_EQ(unchecked.text, L"");
  EXPECT_FALSE(unchecked.editEnabled || unchecked.dateEnabled || unchecked.nameEnabled);
  EXPECT_EQ(rechecked.text, today);
  EXPECT_FALSE(rechecked.editEnabled);
  EXPECT_TRUE(rechecked.editReadOnly && rechecked.dateEnabled && rechecked.nameEnabled);
  EXPECT_EQ(named.text, L"trip");
  EXPECT_TRUE(named.editEnabled && !named.editReadOnly);
  EXPECT_TRUE(refused);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(m_settings.GetNewFolderCreate(), 1u);
  EXPECT_EQ(m_settings.GetNewFolderNameSetting(), 1u);
  EXPECT_EQ(m_settings.GetNewFolderName(), L"trip2");
  EXPECT_NE(::GetFileAttributesW((m_strFolder + L"trip2").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the named sub-folder is made when the page is left";
}

TEST_F(OptionSheetTest, ChangeFolderTakesOnlyShortFoldersOffFat) {
  struct Case {
    const char* name;
    std::wstring answer;       // empty: the browser is cancelled
    std::wstring fileSystem;   // of the answer with its backslash
    bool taken;
    UINT message;              // a message box, or 0
    UINT balloon;              // a balloon at the folder edit, or 0
  };
  const std::wstring longTail(201 - m_strFolder.size(), L'x');
  const std::vector<Case> cases = {
      {"NTFS folder gets its backslash", m_strFolder + L"clips", L"NTFS", true, 0, 0},
      {"FAT32 refused", m_strFolder + L"card", L"FAT32", false, IDS_FOLDER_NOT_NTFS, 0},
      {"FAT refused", m_strFolder + L"floppy", L"FAT", false, IDS_FOLDER_NOT_NTFS, 0},
      {"201 bytes refused", m_strFolder + longTail, L"NTFS", false, 0, IDS_FOLDER_PATH_TOO_LONG},
      {"cancelled", L"", L"NTFS", false, 0, 0},
  };
  std::vector<std::wstring> shown(cases.size()), balloons(cases.size());
  std::vector<Step> steps;
  for (size_t i = 0; i < cases.size(); ++i) {
    m_folders.m_answers.push_back(cases[i].answer);
    if (!cases[i].answer.empty()) m_folders.m_fileSystems[cases[i].answer + L"\\"] = cases[i].fileSystem;
    steps.push_back(Do([&] {
      // A click moves the focus, which hides the balloon of the case before.
      PanelToolTip& tip = m_pSheet->GetWholePage().GetToolTip();
      if (tip.GetBalloonWindow() != nullptr) tip.HideBalloon(tip.GetBalloonWindow());
      PostClick(Whole(), IDC_OPT_CHANGE_FOLDER);
    }));
    if (cases[i].message != 0) {
      const UINT message = cases[i].message;
      steps.push_back(WaitFor([message] { return AnswerBox(Str(message)); }));
    }
    steps.push_back(Do([&, i] {
      shown[i] = ItemText(Whole(), IDC_OPT_FOLDER);
      balloons[i] = BalloonText();
    }));
  }
  steps.push_back(Press(IDOK));
  EXPECT_EQ(RunSheet(std::move(steps)), IDOK);

  std::wstring expected = m_strFolder;
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    if (cases[i].taken) expected = cases[i].answer + L"\\";
    EXPECT_EQ(shown[i], expected);
    EXPECT_EQ(balloons[i], cases[i].balloon != 0 ? Str(cases[i].balloon) : L"");
  }
  ASSERT_EQ(m_folders.m_initialFolders.size(), cases.size());
  EXPECT_EQ(m_folders.m_initialFolders[1], m_strFolder + L"clips\\") << "the browser starts from the chosen folder";
  EXPECT_EQ(m_settings.GetRecordFolder(), m_strFolder + L"clips\\");
}

TEST_F(OptionSheetTest, DocumentsFolderIsStoredAsTheDefault) {
  const std::wstring documents = AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL);
  ASSERT_FALSE(documents.empty());
  m_folders.m_answers.push_back(documents);
  RunSheet({Do([&] { PostClick(Whole(), IDC_OPT_CHANGE_FOLDER); }), Press(IDOK)});
  ASSERT_TRUE(m_settings.Save());
  wchar_t stored[MAX_PATH] = L"unread";
  DWORD bytes = sizeof(stored);
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, AppSettings::kRegistryKey, L"RecordFolder", RRF_RT_REG_SZ, nullptr,
                           stored, &bytes),
            ERROR_SUCCESS);
  EXPECT_STREQ(stored, L"");
}

TEST_F(OptionSheetTest, PerformanceCheckHidesTheSheetAndEscStopsItWithoutATemporaryFile) {
  HWND check = nullptr;
  bool sheetHidden = false, filePresent = false;
  std::vector<std::wstring> leftOver{L"not read"};
  const INT_PTR result = RunSheet({
      Do([&] { PostClick(Whole(), IDC_OPT_PERFORMANCE); }),
      WaitFor([&] {
        for (HWND dialog : VisibleDialogs(nullptr)) {
          if (::GetDlgItem(dialog, IDC_PERF_GRAPH) != nullptr) check = dialog;
        }
        return check != nullptr;
      }),
      Do([&] {
        sheetHidden = !::IsWindowVisible(m_pSheet->GetSafeHwnd());
        PostClick(check, IDC_PERF_START);
      }),
      WaitFor([&] { return ItemText(check, IDC_PERF_STATUS) == Str(IDS_PERF_RUNNING); }),
      WaitFor([&] { return !TemporaryFiles(m_strFolder).empty(); }),
      Do([&] {
        filePresent = true;
        ::PostMessageW(::GetDlgItem(check, IDC_PERF_START), WM_KEYDOWN, VK_ESCAPE, 0);
      }),
      WaitFor([&] { return !::IsWindow(check) && ::IsWindowVisible(m_pSheet->GetSafeHwnd()); }),
      Do([&] { leftOver = TemporaryFiles(m_strFolder); }),
      Press(IDCANCEL),
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(sheetHidden);
  EXPECT_TRUE(filePresent);
  EXPECT_TRUE(leftOver.empty()) << "the temporary file must go with the check";
}

}  // namespace
