// Text wrapping and ellipsis measured in a real font on the screen, and splitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/TextHelpers.h"
#include "framework/Resources.h"
#include "resource.h"

namespace {

constexpr int kTooltipWidth = 600;  // tooltips and long paths wrap at this width

class TextHelpersTest : public ::testing::Test {
protected:
  void SetUp() override {
    HDC hScreen = GetDC(nullptr);
    ASSERT_NE(nullptr, hScreen);
    const int nHeight = -MulDiv(9, GetDeviceCaps(hScreen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, hScreen);
    m_hFont = CreateFontW(nHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS UI Gothic");
    ASSERT_NE(nullptr, m_hFont);
  }
  void TearDown() override { DeleteObject(m_hFont); }

  // Width of a text in the test font, measured whole.
  int Width(const std::wstring& text) const {
    HDC hScreen = GetDC(nullptr);
    HGDIOBJ hOld = SelectObject(hScreen, m_hFont);
    SIZE size = {};
    GetTextExtentPoint32W(hScreen, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(hScreen, hOld);
    ReleaseDC(nullptr, hScreen);
    return size.cx;
  }
  // Width of a line as the wrapping counts it: its characters measured one by one.
  int CharByCharWidth(const std::wstring& line) const {
    int nWidth = 0;
    for (wchar_t ch : line) nWidth += Width(std::wstring(1, ch));
    return nWidth;
  }

  static std::vector<std::wstring> SplitLines(const std::wstring& text) { return SplitString(text, L"\r\n"); }

  HFONT m_hFont = nullptr;
};

TEST_F(TextHelpersTest, WrappedLinesFitTheWidthAndTakeAsManyCharactersAsFit) {
  std::wstring text;
  for (int i = 0; i < 12; ++i) text += L"C:\\録画フォルダ\\2005_03_05\\PLVR00" + std::to_wstring(10 + i) + L".avi ";
  const std::wstring wrapped = WrapTextToWidth(text, kTooltipWidth, m_hFont);

  const std::vector<std::wstring> lines = SplitLines(wrapped);
  ASSERT_GE(lines.size(), 3u);
  std::wstring joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    joined += lines[i];
    const int nWidth = CharByCharWidth(lines[i]);
    EXPECT_LE(nWidth, kTooltipWidth) << "line " << i;
    if (i + 1 < lines.size()) {
      // The next line's first character would not have fitted.
      EXPECT_GT(nWidth + CharByCharWidth(lines[i + 1].substr(0, 1)), kTooltipWidth) << "line " << i;
    }
  }
  EXPECT_EQ(text, joined);
}

TEST_F(TextHelpersTest, LineBreaksInTheTextStartTheWidthAgain) {
  std::wstring half;
  while (CharByCharWidth(half + L"あ") <= kTooltipWidth * 3 / 4) half += L"あ";
  for (const wchar_t* breakText : {L"\r\n", L"\n", L"\r"}) {
    const std::wstring text = half + breakText + half;
    EXPECT_EQ(text, WrapTextToWidth(text, kTooltipWidth, m_hFont));
  }
  // Without the break the same characters need a second line.
  EXPECT_NE(half + half, WrapTextToWidth(half + half, kTooltipWidth, m_hFont));
}

TEST_F(TextHelpersTest, NarrowWidthsPutEachCharacterOnItsOwnLineWithoutEmptyLines) {
  EXPECT_EQ(L"a\r\nb\r\nc", WrapTextToWidth(L"abc", 1, m_hFont));
  EXPECT_EQ(L"", WrapTextToWidth(L"", 1, m_hFont));
}

TEST_F(TextHelpersTest, ASurrogatePairIsNeverSplit) {
  const std::wstring kPair = L"\U00020BB7";  // one character, two UTF-16 units
  std::wstring text;
  for (int i = 0; i < 40; ++i) text += kPair + L"x";
  const std::wstring wrapped = WrapTextToWidth(text, 40, m_hFont);
  for (const std::wstring& line : SplitLines(wrapped)) {
    ASSERT_FALSE(line.empty());
    EXPECT_FALSE(line.front() >= 0xDC00 && line.front() <= 0xDFFF);
    EXPECT_FALSE(line.back() >= 0xD800 && line.back() <= 0xDBFF);
  }
  const std::wstring fitted = FitTextWithEllipsis(text, 60, m_hFont);
  ASSERT_GE(fitted.size(), 4u);
  EXPECT_FALSE(fitted[fitted.size() - 4] >= 0xD800 && fitted[fitted.size() - 4] <= 0xDBFF);
}

TEST_F(TextHelpersTest, TextThatFitsIsKeptAndLongerTextGetsTheLongestFittingEllipsis) {
  const std::wstring shortText = L"PLVR0001.avi";
  EXPECT_EQ(shortText, FitTextWithEllipsis(shortText, Width(shortText), m_hFont));

  const std::wstring longText = L"D:\\ビデオ\\2005_03_05\\とても長いフォルダの名前\\PLVR0001.avi";
  const int nMax = Width(longText) / 2;
  const std::wstring fitted = FitTextWithEllipsis(longText, nMax, m_hFont);
  ASSERT_GT(fitted.size(), 3u);
  const std::wstring kept = fitted.substr(0, fitted.size() - 3);
  EXPECT_EQ(L"...", fitted.substr(fitted.size() - 3));
  EXPECT_EQ(0u, longText.find(kept));
  EXPECT_LE(Width(fitted), nMax);
  EXPECT_GT(Width(longText.substr(0, kept.size() + 1) + L"..."), nMax);
}

TEST_F(TextHelpersTest, WhenNothingFitsTheFirstCharacterAndTheEllipsisRemain) {
  EXPECT_EQ(L"D...", FitTextWithEllipsis(L"D:\\Video\\", 1, m_hFont));
  EXPECT_EQ(L"", FitTextWithEllipsis(L"", 1, m_hFont));
}

TEST(SplitStringTest, ThePieceAfterTheLastSeparatorIsKeptEvenWhenEmpty) {
  EXPECT_EQ((std::vector<std::wstring>{L"9", L"11", L"13", L""}), SplitString(L"9|11|13|", L"|"));
  EXPECT_EQ((std::vector<std::wstring>{L"8", L"10", L"12"}), SplitString(L"8|10|12", L"|"));
  EXPECT_EQ((std::vector<std::wstring>{L"", L"", L""}), SplitString(L"||", L"|"));
  EXPECT_EQ((std::vector<std::wstring>{L""}), SplitString(L"", L"|"));
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b|c"}), SplitString(L"a||b|c", L"||"));
  EXPECT_EQ((std::vector<std::wstring>{L"abc"}), SplitString(L"abc", L""));
}

TEST(SplitStringTest, TheBuiltInFontSizesGiveNineElevenThirteen) {
  const std::vector<std::wstring> pieces = SplitString(framework::LoadResString(IDS_FONT_SIZES), L"|");
  ASSERT_EQ(4u, pieces.size());
  EXPECT_EQ(9, _wtoi(pieces[0].c_str()));
  EXPECT_EQ(11, _wtoi(pieces[1].c_str()));
  EXPECT_EQ(13, _wtoi(pieces[2].c_str()));
  EXPECT_EQ(L"", pieces[3]);
}

}  // namespace
