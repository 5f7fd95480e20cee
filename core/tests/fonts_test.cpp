#include "core/fonts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FontsTest : public ::testing::Test {
 protected:
  ~FontsTest() override {
    ShutdownFonts();
    SetFontResolution(DefaultFontResolution);
  }
};

TEST_F(FontsTest, PointsBecomePixelsAtNinetySixDotsPerInch) {
  ASSERT_NE(MakeFont(1, "Arial", 8, 0), 0u);
  EXPECT_EQ(FontOfHandle(FontHandle(1))->EmPixels(), 11);
  MakeFont(2, "Arial", 16, 0);
  EXPECT_EQ(FontOfHandle(FontHandle(2))->EmPixels(), 21);
  SetFontResolution(120);
  MakeFont(3, "Arial", 8, 0);
  EXPECT_EQ(FontOfHandle(FontHandle(3))->EmPixels(), 13);
}

TEST_F(FontsTest, StyleBitsChooseTheWeightAndSlant) {
  MakeFont(1, "Arial", 12, FontBold);
  MakeFont(2, "Arial", 12, 0);
  MakeFont(3, "Arial", 12, FontItalic);
  EXPECT_EQ(FontOfHandle(FontHandle(1))->Weight(), 700);
  EXPECT_EQ(FontOfHandle(FontHandle(2))->Weight(), 400);
  EXPECT_TRUE(FontOfHandle(FontHandle(3))->IsItalic());
  EXPECT_FALSE(FontOfHandle(FontHandle(2))->IsItalic());
}

TEST_F(FontsTest, ReusingANumberDeletesTheOldFont) {
  const FontHandleValue first = MakeFont(1, "Arial", 8, 0);
  const FontHandleValue second = MakeFont(1, "Arial", 9, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(FontOfHandle(first), nullptr);
  EXPECT_EQ(FontHandle(1), second);
  EXPECT_EQ(FontHandle(7), 0u);
}

TEST_F(FontsTest, AFontThatCannotBeMadeLeavesTheNumberFree) {
  MakeFont(1, "Arial", 8, 0);
  EXPECT_EQ(MakeFont(1, "Arial", 0, 0), 0u);
  EXPECT_EQ(FontHandle(1), 0u);
  EXPECT_EQ(MakeFont(2, "Arial", -5, 0), 0u);
}

TEST_F(FontsTest, AutoNumberedFontIsNamedByItsNumber) {
  const auto number = static_cast<int>(MakeFont(AutoNumber, "Arial", 8, 0));
  EXPECT_LT(number, AutoNumber);
  EXPECT_NE(FontHandle(number), 0u);
  ShutdownFonts();
  EXPECT_EQ(FontHandle(number), 0u);
}

TEST_F(FontsTest, FaceNamesAreCutToThirtyOneCharacters) {
  const std::string longName(40, 'x');
  EXPECT_EQ(CutFaceName(longName).size(), 31u);
  EXPECT_EQ(CutFaceName("Arial"), "Arial");
  // 31 two-byte characters, then more: cut after the 31st, not inside one.
  std::string accents;
  for (int i = 0; i < 35; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(CutFaceName(accents).size(), 62u);
  EXPECT_NE(MakeFont(1, longName, 8, 0), 0u);
}

}  // namespace
