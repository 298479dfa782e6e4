// The main window as a user meets it with the simulated camcorder: the status icon and the
// camcorder's name follow the camcorder, F3 and F4 switch the tabs, and pictures of the window in
// Japanese and in English are left in the build folder for a person to look at.
#include <windows.h>

#include <gtest/gtest.h>

#include "ProgramUnderTest.h"
#include "ScreenCapture.h"

using namespace std::chrono_literals;

namespace {

constexpr int kStatusIconId = 1094;
constexpr int kCamcorderNameId = 1003;
constexpr int kRecordBackgroundId = 1077;
constexpr int kPlayBackgroundId = 1078;
// The status icon's place in the client area, and its pictures by image index.
constexpr RECT kStatusIconRect{336, 3, 380, 29};
constexpr UINT kStatusPictures[8] = {290, 295, 293, 294, 292, 291, 289, 296};

std::wstring ShotFolder() {
  const std::wstring bin = e2e::BinaryFolder();
  const std::wstring folder = bin.substr(0, bin.find_last_of(L'\\')) + L"\\e2e-shots";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void Shot(HWND window, const std::wstring& name) {
  // Let the window finish painting first.
  Sleep(300);
  EXPECT_TRUE(e2e::SavePicture(e2e::CaptureWindow(window), ShotFolder() + L"\\" + name + L".bmp")) << "picture " << name;
}

void RunBusCommand(const std::wstring& arguments) { EXPECT_EQ(0u, e2e::RunBusTool(arguments)) << e2e::Narrow(arguments); }

e2e::SessionOptions Language(bool english) {
  e2e::SessionOptions options;
  options.bEnglish = english;
  return options;
}

class MainWindowSession : public e2e::ProgramSession {
 public:
  explicit MainWindowSession(bool english)
      : ProgramSession(Language(english)),
        m_strPictures(english ? Install().Path() + L"\\PLVRLang.dll" : Install().ProgramPath()) {}

  // The image index the status icon shows now, -1 when it shows none of its pictures.
  int StatusImage() const {
    const e2e::Picture shown = e2e::CaptureClient(Main(), kStatusIconRect);
    for (int image = 0; image < 8; ++image) {
      if (Picture(image) == shown) return image;
    }
    return -1;
  }
  bool WaitForStatusImage(int image) const {
    return e2e::WaitUntil([&] { return StatusImage() == image; }, 20s);
  }
  bool NameShown() const { return IsWindowVisible(GetDlgItem(Main(), kCamcorderNameId)) != FALSE; }
  std::wstring Name() const { return e2e::WindowText(GetDlgItem(Main(), kCamcorderNameId)); }
  bool PanelShown(int backgroundId) const {
    HWND panel = e2e::FindPanel(Main(), backgroundId);
    return panel != nullptr && IsWindowVisible(panel);
  }
  void PressKey(WPARAM key) const { e2e::PressKey(Main(), key); }

 private:
  const e2e::Picture& Picture(int image) const {
    if (m_pictures[image].Empty()) m_pictures[image] = e2e::LoadBitmapResource(m_strPictures, kStatusPictures[image]);
    return m_pictures[image];
  }

  std::wstring m_strPictures;
  mutable e2e::Picture m_pictures[8];
};

TEST(MainWindow, StatusIconAndCamcorderNameFollowTheCamcorder) {
  MainWindowSession session(/*english=*/false);
  ASSERT_NE(nullptr, session.Main());
  ASSERT_TRUE(e2e::WaitUntil([&] { return session.NameShown(); }, 30s)) << "the camcorder never became usable";
  EXPECT_EQ(L"SELKIE Ze", session.Name());
  EXPECT_TRUE(session.WaitForStatusImage(1)) << "stopped tape: " << session.StatusImage();
  Shot(session.Main(), L"main-record-ja-stopped");

  RunBusCommand(L"unplug");
  EXPECT_TRUE(e2e::WaitUntil([&] { return !session.NameShown(); }, 20s));
  EXPECT_TRUE(session.WaitForStatusImage(7)) << "no camcorder: " << session.StatusImage();
  Shot(session.Main(), L"main-record-ja-unplugged");

  RunBusCommand(L"plug");
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.NameShown(); }, 30s));
  EXPECT_TRUE(session.WaitForStatusImage(1));

  RunBusCommand(L"mode vcr");
  EXPECT_TRUE(e2e::WaitUntil([&] { return !session.NameShown(); }, 20s));
  EXPECT_TRUE(session.WaitForStatusImage(7));
  RunBusCommand(L"mode camera");
  EXPECT_TRUE(e2e::WaitUntil([&] { return session.NameShown(); }, 30s));

  RunBusCommand(L"tape recording");
  EXPECT_TRUE(session.WaitForStatusImage(2)) << "recording tape: " << session.StatusImage();
  Shot(session.Main(), L"main-record-ja-recording-tape");

  // A winding tape blinks between its picture and the empty one.
  RunBusCommand(L"tape winding");
  EXPECT_TRUE(session.WaitForStatusImage(6));
  EXPECT_TRUE(session.WaitForStatusImage(7));
  EXPECT_TRUE(session.WaitForStatusImage(6));

  RunBusCommand(L"tape none");
  EXPECT_TRUE(session.WaitForStatusImage(0)) << "no cassette: " << session.StatusImage();
  Shot(session.Main(), L"main-record-ja-no-cassette");
}

TEST(MainWindow, F3AndF4SwitchTheTabsInBothLanguages) {
  for (bool english : {false, true}) {
    SCOPED_TRACE(english ? "English" : "Japanese");
    const std::wstring language = english ? L"en" : L"ja";
    MainWindowSession session(english);
    ASSERT_NE(nullptr, session.Main());
    ASSERT_TRUE(e2e::WaitUntil([&] { return session.PanelShown(kRecordBackgroundId); }, 20s));
    EXPECT_FALSE(session.PanelShown(kPlayBackgroundId));
    e2e::WaitUntil([&] { return session.NameShown(); }, 30s);
    Shot(session.Main(), L"main-record-" + language);

    session.PressKey(VK_F4);
    EXPECT_TRUE(e2e::WaitUntil([&] { return session.PanelShown(kPlayBackgroundId); }, 10s));
    EXPECT_FALSE(session.PanelShown(kRecordBackgroundId));
    Shot(session.Main(), L"main-play-" + language);

    session.PressKey(VK_F3);
    EXPECT_TRUE(e2e::WaitUntil([&] { return session.PanelShown(kRecordBackgroundId); }, 10s));
    EXPECT_FALSE(session.PanelShown(kPlayBackgroundId));

    // Enter and Esc leave the window open.
    session.PressKey(VK_ESCAPE);
    session.PressKey(VK_RETURN);
    Sleep(500);
    EXPECT_TRUE(IsWindowVisible(session.Main()));

    // The system menu's about box, over the main window.
    PostMessageW(session.Main(), WM_SYSCOMMAND, 0x10, 0);
    HWND about = nullptr;
    EXPECT_TRUE(e2e::WaitUntil([&] {
      about = session.OtherDialog();
      return about != nullptr;
    }, 10s));
    if (about != nullptr) {
      Shot(about, L"about-" + language);
      PostMessageW(about, WM_COMMAND, IDOK, 0);
      EXPECT_TRUE(e2e::WaitUntil([&] { return session.OtherDialog() == nullptr; }, 10s));
    }
  }
}

}  // namespace
