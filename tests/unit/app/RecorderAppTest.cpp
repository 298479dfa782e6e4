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

TEST(FontSizes, MissingOrUnusablePiecesFallBackToTheBuiltInSizes) {
  FontSizes sizes = ParseFontSizes(L"14");
  EXPECT_EQ(14, sizes.nSmall);
  EXPECT_EQ(11, sizes.nStandard);
  EXPECT_EQ(13, sizes.nLarge);

  sizes = ParseFontSizes(L"");
  EXPECT_EQ(9, sizes.nSmall);
  EXPECT_EQ(11, sizes.nStandard);
  EXPECT_EQ(13, sizes.nLarge);

  sizes = ParseFontSizes(L"x|0|-4");
  EXPECT_EQ(9, sizes.nSmall);
  EXPECT_EQ(11, sizes.nStandard);
  EXPECT_EQ(13, sizes.nLarge);
}
