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
  static const PlatformFont& Font(int number) { return *FontOfHandle(FontHandle(number)); }
};

TEST_F(FontsTest, PointsBecomePixelsAtTheResolutionAndStyleBitsBecomeFlags) {
  ASSERT_NE(MakeFont(1, "Arial", 8, FontBold | FontStrikeOut), 0u);
  ASSERT_NE(MakeFont(2, "Arial", 16, FontItalic | FontUnderline), 0u);
  SetFontResolution(120);
  ASSERT_NE(MakeFont(3, "Arial", 8, 0), 0u);
  EXPECT_EQ(Font(1).EmPixels(), 11);
  EXPECT_EQ(Font(2).EmPixels(), 21);
  EXPECT_EQ(Font(3).EmPixels(), 13);
  const FontFlags bold = Font(1).Flags(), italic = Font(2).Flags(), plain = Font(3).Flags();
  EXPECT_TRUE(bold.bold && bold.strikeOut && !bold.italic && !bold.underline);
  EXPECT_TRUE(italic.italic && italic.underline && !italic.bold && !italic.strikeOut);
  EXPECT_FALSE(plain.bold || plain.italic || plain.underline || plain.strikeOut);
}

TEST_F(FontsTest, ReusingANumberDropsTheOldFontAndAFailedMakeLeavesItFree) {
  const FontHandleValue first = MakeFont(1, "Arial", 8, 0);
  const FontHandleValue second = MakeFont(1, "Arial", 9, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(FontOfHandle(first), nullptr);
  EXPECT_EQ(FontHandle(1), second);
  EXPECT_EQ(MakeFont(1, "Arial", 0, 0), 0u);
  EXPECT_EQ(FontHandle(1), 0u);
  const auto number = static_cast<int>(MakeFont(AutoNumber, "Arial", 8, 0));
  EXPECT_LT(number, AutoNumber);
  ShutdownFonts();
  EXPECT_EQ(FontHandle(number), 0u);
}

TEST_F(FontsTest, FaceNamesAreCutToThirtyOneCharactersNeverInsideOne) {
  EXPECT_EQ(CutFaceName(std::string(40, 'x')).size(), 31u);
  std::string accents;
  for (int i = 0; i < 35; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(CutFaceName(accents).size(), 62u);
  EXPECT_NE(MakeFont(1, std::string(40, 'x'), 8, 0), 0u);
}

}  // namespace
