// The interface font sizes read from the string table.
#include <gtest/gtest.h>

#include "app/RecorderApp.h"

TEST(FontSizes, BuiltInTextWithTrailingBarGivesItsThreeSizes) {
  const FontSizes sizes = ParseFontSizes(L"9|11|13|");
  EXPECT_EQ(9, sizes.nSmall);
  EXPECT_EQ(11, sizes.nStandard);
  EXPECT_EQ(13, sizes.nLarge);
}

TEST(FontSizes, TextWithoutTrailingBarGivesItsThreeSizes) {
  const FontSizes sizes = ParseFontSizes(L"8|10|12");
  EXPECT_EQ(8, sizes.nSmall);
  EXPECT_EQ(10, sizes.nStandard);
  EXPECT_EQ(12, sizes.nLarge);
}

TEST(FontSizes, OnlyMissingPiecesFallBackToTheBuiltInSizes) {
  struct Case {
    const wchar_t* text;
    int small, standard, large;
  };
  const Case cases[] = {
      {L"14", 14, 11, 13},     // a short text: the missing pieces
      {L"", 9, 11, 13},
      {L"8||12|", 8, 11, 12},  // an empty piece is a missing one
      {L"0|0|0", 0, 0, 0},     // 0 keeps the dialog's font height
      {L"x|0|-4", 0, 0, -4},   // written pieces are used as they convert, negatives too
      {L"-12|-15|-18|", -12, -15, -18},
  };
  for (const Case& c : cases) {
    const FontSizes sizes = ParseFontSizes(c.text);
    EXPECT_EQ(c.small, sizes.nSmall) << "for " << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(c.standard, sizes.nStandard) << "for " << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(c.large, sizes.nLarge) << "for " << testing::PrintToString(std::wstring(c.text));
  }
}
