// The video-folder check and specify dialogs driven with window messages.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "OptionsTestSupport.h"
#include "core/AppSettings.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/VideoFolderCheckDialog.h"
#include "ui/VideoFolderSpecifyDialog.h"

namespace {

TEST(VideoFolderCheckDialogTest, ShowsTheFolderWrappedAndReturnsTheCheckBox) {
  struct Case {
    const char* name;
    std::wstring folder;
    int checkState;
    int button;
    bool wrapped;
  };
  const std::vector<Case> cases = {
      {"short folder, OK after unchecking", L"C:\\Videos\\", 1, IDOK, false},
      {"long folder, change after checking", L"C:\\" + std::wstring(120, L'v') + L"\\clips\\", 0,
       IDC_FOLDER_CHECK_CHANGE, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VideoFolderCheckDialog dialog;
    dialog.SetFolder(c.folder);
    dialog.SetCheckState(c.checkState);
    std::wstring text;
    int shownCheck = -1;
    RECT box{}, note{};
    Script script({
        WaitFor([&] { return dialog.IsWindow() && ::IsWindowVisible(dialog); }),
        Do([&] {
          text = ItemText(dialog, IDC_FOLDER_CHECK_TEXT);
          shownCheck = ::IsDlgButtonChecked(dialog, IDC_FOLDER_CHECK_BOX) == BST_CHECKED ? 1 : 0;
          ::GetWindowRect(dialog.GetDlgItem(IDC_FOLDER_CHECK_BOX), &box);
          ::GetWindowRect(dialog.GetDlgItem(IDC_FOLDER_CHECK_NOTE), &note);
          ::SendMessageW(dialog.GetDlgItem(IDC_FOLDER_CHECK_BOX), BM_CLICK, 0, 0);
        }),
        Do([&] { PostClick(dialog, c.button); }),
    });
    EXPECT_EQ(dialog.DoModal(), c.button);
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(WithoutLineBreaks(text), L"ビデオフォルダ: \"" + c.folder + L"\"");
    EXPECT_EQ(text.find(L"\r\n") != std::wstring::npos, c.wrapped) << testing::PrintToString(text);
    EXPECT_EQ(shownCheck, c.checkState);
    EXPECT_EQ(dialog.GetCheckState(), 1 - c.checkState) << "the button stores the box as it was left";
    EXPECT_LT(box.top, note.bottom) << "the items below the hidden note move up into its place";
  }
}

// Esc reaches neither dialog's buttons; each ends only by its own buttons.
TEST(VideoFolderDialogsTest, EscIsSwallowed) {
  VideoFolderCheckDialog check;
  FakeFolders folders;
  VideoFolderSpecifyDialog specify(nullptr, folders);
  struct Case {
    framework::Dialog* dialog;
    int button;
  };
  for (const Case& c : {Case{&check, IDOK}, Case{&specify, IDC_FOLDER_SPECIFY_QUIT}}) {
    framework::Dialog& dialog = *c.dialog;
    bool openAfterEsc = false;
    Script script({
        WaitFor([&] { return dialog.IsWindow() && ::IsWindowVisible(dialog); }),
        Do([&] {
          HWND focus = ::GetFocus() != nullptr ? ::GetFocus() : dialog.GetSafeHwnd();
          ::PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0);
        }),
        Do([] {}),
        Do([&] {
          openAfterEsc = dialog.IsWindow() && ::IsWindowVisible(dialog);
          PostClick(dialog, c.button);
        }),
    });
    EXPECT_EQ(dialog.DoModal(), c.button);
    EXPECT_TRUE(openAfterEsc) << "dialog " << dialog.GetTemplateId();
  }
}

TEST(VideoFolderSpecifyDialogTest, EndsOnlyWithAnNtfsFolderOrQuit) {
  const std::wstring documents = AppSettings::GetSpecialFolderPath(CSIDL_PERSONAL);
  ASSERT_FALSE(documents.empty());
  struct Case {
    const char* name;
    std::wstring answer;  // empty: the browser is cancelled
    std::wstring fileSystem;
    INT_PTR result;
    std::wstring folder;  // after the dialog
  };
  const std::vector<Case> cases = {
      {"Documents folder is the default", documents, L"NTFS", IDC_FOLDER_SPECIFY_CHOOSE, L""},
      {"NTFS folder gets its backslash", L"D:\\Video", L"NTFS", IDC_FOLDER_SPECIFY_CHOOSE, L"D:\\Video\\"},
      {"FAT32 folder leaves it open", L"E:\\Card", L"FAT32", IDC_FOLDER_SPECIFY_QUIT, L"C:\\Old\\"},
      {"exFAT folder leaves it open", L"F:\\Stick", L"exFAT", IDC_FOLDER_SPECIFY_QUIT, L"C:\\Old\\"},
      {"cancelled browser leaves it open", L"", L"NTFS", IDC_FOLDER_SPECIFY_QUIT, L"C:\\Old\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFolders folders;
    folders.m_answers.push_back(c.answer);
    folders.m_fileSystems[c.answer + L"\\"] = c.fileSystem;
    VideoFolderSpecifyDialog dialog(nullptr, folders);
    dialog.SetFolder(L"C:\\Old\\");
    bool boxShown = false;
    Script script({
        WaitFor([&] { return dialog.IsWindow() && ::IsWindowVisible(dialog); }),
        Do([&] { PostClick(dialog, IDC_FOLDER_SPECIFY_CHOOSE); }),
        Do([&] {
          boxShown = !VisibleDialogs(dialog).empty();
          if (dialog.IsWindow()) PostClick(dialog, IDC_FOLDER_SPECIFY_QUIT);
        }),
    });
    EXPECT_EQ(dialog.DoModal(), c.result);
    EXPECT_EQ(dialog.GetFolder(), c.folder);
    EXPECT_FALSE(boxShown) << "a refused folder is refused without a message";
    ASSERT_EQ(folders.m_initialFolders.size(), 1u);
    EXPECT_EQ(folders.m_initialFolders[0], L"C:\\Old\\") << "the browser starts from the current folder";
  }
}

}  // namespace
