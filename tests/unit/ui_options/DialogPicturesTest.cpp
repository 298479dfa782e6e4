// Pictures of the option sheet's pages (the general page with an error balloon), the performance
// check after a run, and both folder dialogs, in Japanese and in English, left in
// <build>/ui-shots for a person to look at. The English run checks that the language library
// carries these dialogs and their texts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "OptionsTestSupport.h"
#include "ScreenCapture.h"
#include "device/DeviceEvents.h"
#include "framework/Resources.h"
#include "resource.h"
#include "ui/OptionSheet.h"
#include "ui/PerformanceCheckDialog.h"
#include "ui/VideoFolderCheckDialog.h"
#include "ui/VideoFolderSpecifyDialog.h"

namespace {

std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring bin = path;
  return bin.substr(0, bin.find_last_of(L'\\'));
}

std::wstring ShotPath(const std::wstring& name) {
  const std::wstring build = BinFolder().substr(0, BinFolder().find_last_of(L'\\'));
  const std::wstring folder = build + L"\\ui-shots";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder + L"\\" + name + L".bmp";
}

void Shot(HWND window, const std::wstring& name) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpPending();
  EXPECT_TRUE(e2e::SavePicture(e2e::CaptureWindow(window), ShotPath(name))) << "picture " << std::string(name.begin(), name.end());
}

// The built-in resources, or the English language library for the life of the object.
class Language {
 public:
  explicit Language(bool english) {
    if (!english) return;
    const std::wstring build = BinFolder().substr(0, BinFolder().find_last_of(L'\\'));
    m_hLibrary = ::LoadLibraryExW((build + L"\\lang\\PLVRLang.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (m_hLibrary != nullptr) framework::SetResourceHandle(m_hLibrary);
  }
  ~Language() {
    if (m_hLibrary == nullptr) return;
    framework::SetResourceHandle(framework::GetInstanceHandle());
    ::FreeLibrary(m_hLibrary);
  }
  bool Loaded() const { return m_hLibrary != nullptr; }

 private:
  HMODULE m_hLibrary = nullptr;
};

class DialogPicturesTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    m_spLanguage = std::make_unique<Language>(GetParam());
    if (GetParam()) {
      ASSERT_TRUE(m_spLanguage->Loaded());
    }
    m_strLanguage = GetParam() ? L"en" : L"ja";
    m_strFolder = MakeTempFolder();
  }
  void TearDown() override {
    RemoveFolderTree(m_strFolder);
    m_spLanguage.reset();
  }
  std::wstring Name(const std::wstring& what) const { return what + L"-" + m_strLanguage; }

  std::unique_ptr<Language> m_spLanguage;
  std::wstring m_strLanguage;
  std::wstring m_strFolder;
};

TEST_P(DialogPicturesTest, OptionPagesWithAnErrorBalloon) {
  AppSettings settings;
  settings.SetRecordFolder(m_strFolder);
  settings.SetNewFolderCreate(1);
  settings.SetNewFolderNameSetting(1);
  settings.SetNewFolderName(L"trip");
  settings.SetFilePrefix(L"PLVR");
  FakeFolders folders;
  COptionSheet sheet(settings, nullptr, folders);
  std::wstring example, balloon;
  Script script({
      // The user's click in the edit activates the sheet before the key arrives; the activation
      // done first also keeps the sheet from being raised over the balloon afterwards.
      Do([&] { ::SetFocus(sheet.GetWholePage().GetDlgItem(IDC_OPT_PREFIX)); }),
      // Typed and read in one step: between steps the sheet handles messages, and another program's
      // window taking the activation there would hide the balloon before it is read.
      Do([&] {
        TypeText(sheet.GetWholePage().GetDlgItem(IDC_OPT_PREFIX), L"/");
        example = sheet.GetWholePage().GetDlgItemText(IDC_OPT_EXAMPLE);
        PanelToolTip& tip = sheet.GetWholePage().GetToolTip();
        if (tip.GetBalloonWindow() != nullptr) balloon = tip.GetToolText(tip.GetBalloonWindow());
      }),
      Do([&] {
        // The balloon is a window of its own: the picture covers the sheet and the balloon, drawn
        // again last because the desktop of the test display does not clip the sheet's drawing.
        HWND balloonWindow = sheet.GetWholePage().GetToolTip().GetSafeHwnd();
        ::RedrawWindow(balloonWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT area{}, tip{};
        ::GetWindowRect(sheet.GetSafeHwnd(), &area);
        ::GetWindowRect(balloonWindow, &tip);
        ::UnionRect(&area, &area, &tip);
        EXPECT_TRUE(e2e::SavePicture(e2e::CaptureScreen(area), ShotPath(Name(L"options-general-balloon"))));
      }),
      Do([&] { sheet.SetActivePage(1); }),
      Do([&] { Shot(sheet.GetSafeHwnd(), Name(L"options-record")); }),
      Do([&] { sheet.PressButton(IDCANCEL); }),
  });
  sheet.DoModal();
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(example, GetParam() ? L"Example: PLVR0001" : L"例）PLVR0001");
  EXPECT_EQ(balloon, framework::LoadResString(IDS_FILE_NAME_BAD_CHARACTER));
}

TEST_P(DialogPicturesTest, PerformanceCheckAfterARun) {
  PerformanceCheckDialog check;
  check.SetTestFolder(m_strFolder);
  ASSERT_TRUE(check.Create(nullptr));
  std::vector<std::uint64_t> samples;
  for (int second = 0; second < 30; ++second) samples.push_back(9000000 + static_cast<std::uint64_t>(second % 7) * 1500000);
  samples[17] = 3100000;
  check.LoadSamples(samples);
  check.SendMessage(WM_PERF_MEASURED, PerformanceCheckDialog::kReportFinished, 0);
  PumpPending();
  EXPECT_EQ(check.GetDlgItemText(IDC_PERF_STATUS), framework::LoadResString(IDS_PERF_INSUFFICIENT));
  Shot(check.GetSafeHwnd(), Name(L"performance-check"));
}

TEST_P(DialogPicturesTest, FolderDialogs) {
  VideoFolderCheckDialog check;
  check.SetFolder(L"C:\\users\\plover\\Documents\\" + std::wstring(40, L'v') + L"\\holiday recordings\\2026_12_07\\");
  check.SetCheckState(1);
  Script checkScript({
      WaitFor([&] { return check.IsWindow() && ::IsWindowVisible(check); }),
      Do([&] { Shot(check.GetSafeHwnd(), Name(L"folder-check")); }),
      Do([&] { PostClick(check, IDOK); }),
  });
  EXPECT_EQ(check.DoModal(), IDOK);

  FakeFolders folders;
  VideoFolderSpecifyDialog specify(nullptr, folders);
  std::wstring text;
  Script specifyScript({
      WaitFor([&] { return specify.IsWindow() && ::IsWindowVisible(specify); }),
      Do([&] {
        text = specify.GetDlgItemText(IDC_FOLDER_SPECIFY_TEXT);
        Shot(specify.GetSafeHwnd(), Name(L"folder-specify"));
      }),
      Do([&] { PostClick(specify, IDC_FOLDER_SPECIFY_QUIT); }),
  });
  EXPECT_EQ(specify.DoModal(), IDC_FOLDER_SPECIFY_QUIT);
  EXPECT_EQ(text, GetParam() ? L"Please specify the video folder.\nOnly the NTFS file system is supported."
                             : L"ビデオフォルダを指定してください。\nファイルシステムはNTFSのみ対応しています。");
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogPicturesTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "English" : "Japanese"; });

}  // namespace
