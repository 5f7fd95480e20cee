#include "composer/compose.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "raster/image.h"

namespace {

using Rgb = std::array<int, 3>;  // red, green, blue

// Every sheet pixel says where it is; red is never 0, so black means "from
// outside the sheet".
Rgb Where(int x, int y) { return {1 + x / 256 + 16 * (y / 256), y % 256, x % 256}; }

void MakeSheet(int width, int height) {
  MakeImage(SheetImageNumber, width, height);
  PixelStore* s = ImagePixels(ImageHandle(SheetImageNumber));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int i = 0; i < 3; ++i) s->Pixel(x, y)[i] = static_cast<std::uint8_t>(Where(x, y)[2 - i]);  // blue first
}

Rgb ButtonAt(int x, int y) {
  const std::uint8_t* p = ImagePixels(ImageHandle(ButtonImage))->Pixel(x, y);
  return {p[2], p[1], p[0]};
}

class ComposeTest : public ::testing::Test {
 protected:
  ~ComposeTest() override { ShutdownImages(); }
};

// Each slot holds the W x H rectangle whose top-left is given here in plain
// numbers (20-pixel cells: "A", code 65, is column 3 of row 3), black where it
// lies outside the sheet. Only spaces at the ends are trimmed; the tab and
// codes past the grid cut from outside the sheet or from its empty cells; a
// rectangle as wide as the pitch reaches into the next cell; the width's
// remainder past 10 cells is ignored.
TEST_F(ComposeTest, EachCharacterIsCutFromItsCell) {
  struct Case { int sheet; std::string caption; int w, h; std::vector<std::pair<int, int>> origins; };
  for (const Case& c : {Case{200, "AB", 16, 16, {{64, 60}, {84, 60}}},
                        Case{200, "  A B  ", 16, 16, {{64, 60}, {4, 0}, {84, 60}}},
                        Case{200, "\tA\t", 10, 10, {{-56, -40}, {64, 60}, {-56, -40}}},
                        Case{200, "~\x7F\x84\xFF", 16, 16, {{84, 180}, {104, 180}, {4, 200}, {64, 440}}},
                        Case{200, ")3", 20, 25, {{184, 0}, {184, 20}}},
                        Case{205, "Az", 16, 16, {{64, 60}, {4, 180}}}}) {
    MakeSheet(c.sheet, c.sheet);
    ASSERT_EQ(ComposeButtonImage(c.w, c.h, c.caption), 1) << c.caption;
    ASSERT_EQ(ImagePixelWidth(ButtonImage), static_cast<int>(c.origins.size()) * c.w);
    ASSERT_EQ(FindImageRecord(ButtonImage)->height, c.h);
    for (std::size_t i = 0; i < c.origins.size(); ++i)
      for (int v = 0; v < c.h; ++v)
        for (int u = 0; u < c.w; ++u) {
          const int sx = c.origins[i].first + u, sy = c.origins[i].second + v;
          const bool inside = sx >= 0 && sy >= 0 && sx < c.sheet && sy < c.sheet;
          ASSERT_EQ(ButtonAt(static_cast<int>(i) * c.w + u, v), (inside ? Where(sx, sy) : Rgb{0, 0, 0}))
              << c.caption << ": character " << i << " pixel " << u << "," << v;
        }
  }
}

TEST_F(ComposeTest, NothingChangesWhenThereIsNothingToCompose) {
  MakeSheet(200, 200);
  ASSERT_EQ(ComposeButtonImage(16, 16, "AB"), 1);
  const ImageHandleValue shown = ImageHandle(ButtonImage);
  EXPECT_EQ(ComposeButtonImage(16, 16, "   "), 0);
  EXPECT_EQ(ComposeButtonImage(0, 16, "AB"), 0);
  EXPECT_EQ(ComposeButtonImage(16, 40000, "AB"), 0);
  EXPECT_EQ(ComposeButtonImage(16384, 16, "AB"), 0);  // 32768 wide
  EXPECT_EQ(ImageHandle(ButtonImage), shown);
  EXPECT_EQ(ComposeButtonImage(16383, 1, "AB"), 1);
}

TEST_F(ComposeTest, WithoutASheetEveryCellIsBlackAndSizesFollowTheSheet) {
  EXPECT_EQ(SheetCellPitch(), 0);
  ASSERT_EQ(ComposeButtonImage(5, 5, "AB"), 1);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(ButtonAt(x, 2), (Rgb{0, 0, 0}));
  MakeSheet(200, 10);
  EXPECT_EQ(std::pair(DefaultCellSize(), MaxCellSize()), std::pair(16, 40));
  MakeSheet(480, 10);
  EXPECT_EQ(std::pair(DefaultCellSize(), MaxCellSize()), std::pair(44, 48));
}

}  // namespace
