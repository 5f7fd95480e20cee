#include "composer/compose.h"

#include <gtest/gtest.h>

#include <string>

#include "raster/image.h"

namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Every sheet pixel says where it is; red is never 0, so black means "from
// outside the sheet".
Rgb Where(int x, int y) { return {1 + x / 256 + 16 * (y / 256), y % 256, x % 256}; }

void MakeSheet(int width, int height) {
  MakeImage(SheetImageNumber, width, height);
  PixelStore* s = ImagePixels(ImageHandle(SheetImageNumber));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = Where(x, y);
      std::uint8_t* p = s->Pixel(x, y);
      p[0] = static_cast<std::uint8_t>(c.b);
      p[1] = static_cast<std::uint8_t>(c.g);
      p[2] = static_cast<std::uint8_t>(c.r);
    }
}

Rgb ButtonAt(int x, int y) {
  const std::uint8_t* p = ImagePixels(ImageHandle(ButtonImage))->Pixel(x, y);
  return {p[2], p[1], p[0]};
}

class ComposeTest : public ::testing::Test {
 protected:
  ~ComposeTest() override { ShutdownImages(); }

  // Checks every pixel of the button image against the cell mapping: slot i
  // holds the W x H rectangle at (column * P + 4, row * P) of code text[i].
  void ExpectMapping(const std::string& text, int w, int h, int sheetW, int sheetH) {
    const int p = sheetW / 10;
    ASSERT_EQ(ImagePixelWidth(ButtonImage), static_cast<int>(text.size()) * w);
    for (std::size_t i = 0; i < text.size(); ++i) {
      const int k = static_cast<unsigned char>(text[i]) - 32;
      const int row = k / 10, column = k - 10 * row;
      for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
          const int sx = column * p + 4 + u, sy = row * p + v;
          const bool inside = sx >= 0 && sy >= 0 && sx < sheetW && sy < sheetH;
          const Rgb expected = inside ? Where(sx, sy) : Rgb{0, 0, 0};
          ASSERT_EQ(ButtonAt(static_cast<int>(i) * w + u, v), expected)
              << "character " << i << " pixel " << u << "," << v;
        }
    }
  }
};

// Trimming only spaces at the ends; the tab and codes past the grid cut from
// outside the sheet (black) or its empty cells; rectangles as wide as the
// pitch reaching into the next cell; the width's remainder past 10 cells.
TEST_F(ComposeTest, EachCharacterIsCutFromItsCell) {
  struct Case {
    int sheet;
    std::string caption, composed;
    int w, h;
  };
  for (const Case& c : {Case{200, "AB", "AB", 16, 16}, Case{200, "  A B  ", "A B", 16, 16},
                        Case{200, "\tA\t", "\tA\t", 10, 10}, Case{200, "\x7F\x84\xC8\xFF", "\x7F\x84\xC8\xFF", 16, 16},
                        Case{200, ")3", ")3", 20, 25}, Case{205, "Az~", "Az~", 16, 16}}) {
    MakeSheet(c.sheet, c.sheet);
    ASSERT_EQ(ComposeButtonImage(c.w, c.h, c.caption), 1) << c.caption;
    EXPECT_EQ(FindImageRecord(ButtonImage)->height, c.h);
    ExpectMapping(c.composed, c.w, c.h, c.sheet, c.sheet);
  }
  // Anchors in plain numbers: "A" (code 65) is column 3 of row 3 of 20-pixel cells.
  MakeSheet(200, 200);
  ComposeButtonImage(16, 16, "A~\x7F");
  EXPECT_EQ(ButtonAt(0, 0), Where(64, 60));
  EXPECT_EQ(ButtonAt(16, 0), Where(84, 180));
  EXPECT_EQ(ButtonAt(32, 0), Where(104, 180));  // 127: the first empty cell
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
  EXPECT_EQ(DefaultCellSize(), 16);
  EXPECT_EQ(MaxCellSize(), 40);
  MakeSheet(480, 10);
  EXPECT_EQ(DefaultCellSize(), 44);
  EXPECT_EQ(MaxCellSize(), 48);
}

}  // namespace
