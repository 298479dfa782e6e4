#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "SkinTestDialog.h"
#include "SkinTestResources.h"
#include "app/RecorderApp.h"
#include "ui/FileNameEdit.h"
#include "ui/SkinEdit.h"
#include "ui/SkinLabel.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

class SkinControlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dialog.Open()); }
  void TearDown() override { m_dialog.DestroyWindow(); }
  HWND Item(int id) const { return m_dialog.GetDlgItem(id); }
  skin_test::SkinTestDialog m_dialog;
};

// Whether any pixel of the client rectangle's columns from `fromX` has the colour.
bool HasColourFrom(HWND window, int fromX, COLORREF colour) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  for (int y = 0; y < rect.bottom; ++y) {
    for (int x = fromX; x < rect.right; ++x) {
      if (skin_test::PixelAt(window, x, y) == colour) return true;
    }
  }
  return false;
}

TEST_F(SkinControlTest, LabelLeavesNoRemainsOfALongerTextTransparentOrSolid) {
  SkinLabel label;
  ASSERT_TRUE(label.SubclassDlgItem(IDC_SKIN_LABEL, m_dialog.GetSafeHwnd()));
  label.SetTextColor(kRed);
  label.SetText(L"WWWWWWWWWWWWWWWWWWWW");
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  ASSERT_TRUE(HasColourFrom(label.GetSafeHwnd(), 60, kRed)) << "the long text reaches past 60 pixels";
  label.SetText(L"W");
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_FALSE(HasColourFrom(label.GetSafeHwnd(), 60, kRed)) << "the old text shows through";
  EXPECT_TRUE(HasColourFrom(label.GetSafeHwnd(), 0, kRed)) << "the new text is drawn";

  // Set through the window text as the panels' helpers do, the old text is erased just the same.
  label.SetText(L"WWWWWWWWWWWWWWWWWWWW");
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  ::SetWindowTextW(label.GetSafeHwnd(), L"W");
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_FALSE(HasColourFrom(label.GetSafeHwnd(), 60, kRed));

  // A solid background fills the label; -1 makes it transparent again.
  label.SetBkColor(RGB(0, 0, 255));
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(label.GetSafeHwnd(), 100, 5), RGB(0, 0, 255));

  // A solid label draws a new text over its own background at once, so nothing of the old one
  // remains, and the dialog under it is not repainted (a counter changes many times a second).
  label.SetText(L"WWWWWWWWWWWWWWWWWWWW");
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  label.SetText(L"W");
  RECT pending{};
  EXPECT_FALSE(::GetUpdateRect(m_dialog.GetSafeHwnd(), &pending, FALSE)) << "the dialog is repainted under a solid label";
  EXPECT_FALSE(HasColourFrom(label.GetSafeHwnd(), 60, kRed)) << "the old text shows through";
  EXPECT_TRUE(HasColourFrom(label.GetSafeHwnd(), 0, kRed)) << "the new text is drawn";

  label.SetBkColor(static_cast<COLORREF>(-1));
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  EXPECT_EQ(skin_test::PixelAt(label.GetSafeHwnd(), 100, 5), ::GetSysColor(COLOR_BTNFACE));
}

TEST_F(SkinControlTest, LabelFontStartsFromTheInterfaceFontOfTheStringTable) {
  LOGFONTW dialogFont{};
  ::GetObjectW(reinterpret_cast<HFONT>(m_dialog.SendMessage(WM_GETFONT)), sizeof(dialogFont), &dialogFont);
  {
    RecorderApp app;
    app.LoadInterfaceFont();  // "MS UI Gothic", "9|-15|13|"
    EXPECT_EQ(app.GetStandardFontSize(), -15);
    SkinLabel label;
    ASSERT_TRUE(label.SubclassDlgItem(IDC_SKIN_LABEL, m_dialog.GetSafeHwnd()));
    LOGFONTW shown{};
    ::GetObjectW(reinterpret_cast<HFONT>(label.SendMessage(WM_GETFONT)), sizeof(shown), &shown);
    EXPECT_STREQ(shown.lfFaceName, L"MS UI Gothic");
    EXPECT_EQ(shown.lfHeight, -15) << "a negative size is a character height";
    EXPECT_EQ(shown.lfWeight, dialogFont.lfWeight);

    label.SetBold(true);
    ::GetObjectW(reinterpret_cast<HFONT>(label.SendMessage(WM_GETFONT)), sizeof(shown), &shown);
    EXPECT_EQ(shown.lfWeight, FW_BOLD);
    label.SetBold(false);
    ::GetObjectW(reinterpret_cast<HFONT>(label.SendMessage(WM_GETFONT)), sizeof(shown), &shown);
    EXPECT_EQ(shown.lfWeight, dialogFont.lfWeight);
  }
  // Without a face and with size 0 the dialog's own font stays.
  SkinLabel::SetInterfaceFont(L"", 0);
  SkinLabel plain;
  ASSERT_TRUE(plain.SubclassDlgItem(IDC_SKIN_PLACED, m_dialog.GetSafeHwnd()));
  EXPECT_STREQ(plain.GetLogFont().lfFaceName, dialogFont.lfFaceName);
  EXPECT_EQ(plain.GetLogFont().lfHeight, dialogFont.lfHeight);
}

TEST_F(SkinControlTest, LabelFontShrinksToFitAWideCountAndGrowsBack) {
  SkinLabel label;
  ASSERT_TRUE(label.SubclassDlgItem(IDC_SKIN_LABEL, m_dialog.GetSafeHwnd()));
  ::MoveWindow(label.GetSafeHwnd(), 0, 0, 14, 20, FALSE);
  const auto widthOf = [&](const std::wstring& text) {
    HDC dc = ::GetDC(label.GetSafeHwnd());
    const HGDIOBJ old = ::SelectObject(dc, label.GetFont());
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(label.GetSafeHwnd(), dc);
    return static_cast<int>(extent.cx);
  };
  const struct {
    const wchar_t* text;
    bool fullSize;
    bool smallest;
  } rows[] = {
      {L"1", true, false},
      {L"999", false, false},
      {L"1", true, false},         // back to the full size
      {L"99999999", false, true},  // no size fits: the smallest
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << std::string(row.text, row.text + wcslen(row.text)));
    label.FitHeightToText(row.text, 12, 6);
    const LONG height = label.GetLogFont().lfHeight;
    if (row.fullSize) {
      EXPECT_EQ(12, height);
    } else if (row.smallest) {
      EXPECT_EQ(6, height);
    } else {
      EXPECT_LT(height, 12);
      EXPECT_LE(widthOf(row.text), 14);
      EXPECT_GT(label.GetLogFont().lfHeight, 6);
    }
  }
  // The same text again after the font was changed by other means is fitted anew.
  label.FitHeightToText(L"999", 12, 6);
  label.SetHeight(12);
  label.FitHeightToText(L"999", 12, 6);
  EXPECT_LT(label.GetLogFont().lfHeight, 12);
}

TEST_F(SkinControlTest, SkinEditPaintsItsColoursAndFont) {
  SkinEdit edit;
  ASSERT_TRUE(edit.SubclassDlgItem(IDC_SKIN_READ_ONLY, m_dialog.GetSafeHwnd()));
  edit.SetBkColor(RGB(91, 91, 91));
  edit.SetTextColor(RGB(240, 240, 240));
  edit.SetFaceName(L"MS UI Gothic", DEFAULT_CHARSET);
  edit.SetHeight(-12);
  edit.SetWindowText(L"D:\\Video");
  skin_test::PaintNow(m_dialog.GetSafeHwnd());
  RECT rect{};
  ::GetClientRect(edit.GetSafeHwnd(), &rect);
  EXPECT_EQ(skin_test::PixelAt(edit.GetSafeHwnd(), rect.right - 3, rect.bottom / 2), RGB(91, 91, 91));
  EXPECT_TRUE(HasColourFrom(edit.GetSafeHwnd(), 0, RGB(240, 240, 240)));
  LOGFONTW shown{};
  ::GetObjectW(reinterpret_cast<HFONT>(edit.SendMessage(WM_GETFONT)), sizeof(shown), &shown);
  EXPECT_STREQ(shown.lfFaceName, L"MS UI Gothic");
  EXPECT_EQ(shown.lfHeight, -12);
}

class FileNameEditTest : public SkinControlTest {
 protected:
  void SetUp() override {
    SkinControlTest::SetUp();
    ASSERT_TRUE(m_edit.SubclassDlgItem(IDC_SKIN_FILE_NAME, m_dialog.GetSafeHwnd()));
    m_edit.SetNotify(m_dialog.GetSafeHwnd(), skin_test::kNotifyMessage);
  }
  // Starts from `text` with the caret or selection given, types one character.
  void TypeInto(const std::wstring& text, DWORD selStart, DWORD selEnd, wchar_t character) {
    m_edit.SetWindowText(text);
    m_dialog.m_vecNotifications.clear();
    m_edit.SendMessage(EM_SETSEL, selStart, selEnd);
    m_edit.SendMessage(WM_CHAR, character, 1);
  }
  std::pair<DWORD, DWORD> Selection() const {
    DWORD start = 0, end = 0;
    m_edit.SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {start, end};
  }
  FileNameEdit m_edit;
};

TEST_F(FileNameEditTest, RefusesCharactersAndLengthsAndRestoresTextAndCaret) {
  ASSERT_EQ(::GetACP(), 932u) << "the tests run with the Japanese code page";
  m_edit.SetMaxLength(16);
  const std::wstring fifteen = L"abcdefghijklmno";
  const struct {
    const wchar_t* before;
    DWORD selStart, selEnd;
    wchar_t typed;
    const wchar_t* after;
    std::vector<WPARAM> notified;
  } cases[] = {
      {L"a", 1, 1, L'.', L"a", {FileNameEdit::kNotifyBadCharacter}},
      {L"abc", 1, 2, L':', L"abc", {FileNameEdit::kNotifyBadCharacter}},
      {L"abcdefghijklmnop", 16, 16, L'q', L"abcdefghijklmnop", {FileNameEdit::kNotifyTooLong}},
      {L"abcdefghijklmno", 3, 3, L'あ', L"abcdefghijklmno", {FileNameEdit::kNotifyTooLong}},
      {L"abcdefghijklmn", 14, 14, L'あ', L"abcdefghijklmnあ", {}},  // exactly 16 bytes
      {L"abcdefghijklmno", 15, 15, L'p', L"abcdefghijklmnop", {}},
      {L"録画", 2, 2, L'_', L"録画_", {}},
      {L"abc", 3, 3, L'\b', L"ab", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.before) + L" + " + c.typed));
    TypeInto(c.before, c.selStart, c.selEnd, c.typed);
    EXPECT_EQ(m_edit.GetWindowText(), c.after);
    EXPECT_EQ(m_dialog.m_vecNotifications, c.notified);
    if (!c.notified.empty()) {
      EXPECT_EQ(Selection(), std::make_pair(c.selStart, c.selEnd)) << "caret restored";
    }
  }
  for (wchar_t refused : std::wstring(L"\\/:*?\"<>|.")) {
    TypeInto(L"x", 1, 1, refused);
    EXPECT_EQ(m_edit.GetWindowText(), L"x") << static_cast<int>(refused);
    EXPECT_EQ(m_dialog.m_vecNotifications, std::vector<WPARAM>{FileNameEdit::kNotifyBadCharacter});
  }
}

}  // namespace
