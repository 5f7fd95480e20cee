#include "composer/text_setting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "composer/compose.h"
#include "raster/image.h"

namespace {

struct TextSettingTest : ::testing::Test {
  ~TextSettingTest() override { ShutdownImages(); }
};

// Glyph "A" 4x3 at (0, 0) in the sheet, "V" 3x3 at (4, 0), "?" 2x2 at (7, 0).
FontDescriptor Metrics() {
  FontDescriptor m;
  m.lineHeight = 5, m.scaleW = 10, m.scaleH = 10;
  m.glyphs = {{U'A', 0, 0, 4, 3, 1, 2, 5}, {U'V', 4, 0, 3, 3, -1, 1, 4}, {U'?', 7, 0, 2, 2, 0, 0, 3}};
  m.kernings = {{U'A', U'V', -2}};
  return m;
}

// The pen rule: kerning and letter spacing between characters, offsets from
// the pen and the line's top, "?" for what has no glyph; the caption reaches
// the margin past the pen or the ink, whichever is farther, and the line.
TEST_F(TextSettingTest, ThePenMovesByAdvanceKerningAndSpacing) {
  struct Case {
    std::u32string text;
    CaptionSetting setting;
    std::vector<std::pair<int, int>> at;
    long long width, height;
    std::u32string missing;
  };
  const Case cases[] = {
      {U"AV", {0, 0}, {{1, 2}, {2, 1}}, 7, 5, U""},         // V kerned 2 closer: pen 5 - 2 = 3, box at 3 - 1
      {U"VA", {0, 0}, {{0, 1}, {6, 2}}, 10, 5, U""},        // no kerning that way; V's ink left of 0 moves all right
      {U"AV", {3, 2}, {{4, 5}, {7, 4}}, 15, 11, U""},       // margin 3 all round, spacing 2
      {U"AxA", {0, -1}, {{1, 2}, {4, 0}, {7, 2}}, 11, 5, U"x"},  // "?" stands in, listed once
  };
  for (const Case& c : cases) {
    const CaptionLayout layout = LayOutCaption(Metrics(), c.text, c.setting);
    std::vector<std::pair<int, int>> at;
    for (const PlacedGlyph& g : layout.glyphs) at.emplace_back(g.x, g.y);
    EXPECT_EQ(std::tuple(at, layout.width, layout.height, layout.missing), std::tuple(c.at, c.width, c.height, c.missing));
  }
}

// Where boxes overlap, an opaque sheet's background never covers ink, and a
// transparent sheet's glyphs are composited over each other.
TEST_F(TextSettingTest, OverlappingGlyphsKeepEachOthersInk) {
  for (const int bits : {24, 32}) {
    MakeImageWithDepth(SheetImageNumber, 10, 10, bits == 32 ? 32 | ImageClearAlpha : 24);
    PixelStore& sheet = *ImagePixels(ImageHandle(SheetImageNumber));
    // Background 0x102030 (opaque) or clear; "A" has ink in its right column, "V" in its left:
    // 0x3264C8, at alpha 128 on a transparent sheet.
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        std::memcpy(sheet.Pixel(x, y), (x == 3 || x == 4) && y < 3 ? "\xC8\x64\x32\x80" : "\x30\x20\x10\x00", bits / 8);
    CaptionLayout layout;
    layout.glyphs = {{U'A', 0, 0, 4, 3, 0, 0}, {U'V', 4, 0, 3, 3, 3, 0}};  // V's ink lands on A's
    ASSERT_EQ(ComposeSetCaption(layout, 8, 4, 0, 0), 1);
    const PixelStore& out = *ImagePixels(ImageHandle(ButtonImage));
    const std::uint8_t* p = out.Pixel(3, 1);
    if (bits == 24) {
      EXPECT_EQ(std::vector<int>({p[0], p[1], p[2]}), std::vector<int>({200, 100, 50}));
      EXPECT_EQ(std::vector<int>({out.Pixel(5, 1)[0], out.Pixel(7, 3)[2]}), std::vector<int>({0x30, 0x10}));
    } else {
      EXPECT_EQ(std::vector<int>({p[0], p[3], out.Pixel(5, 1)[3]}), std::vector<int>({200, 192, 0}));  // 128 over 128
    }
  }
}

// Without a descriptor: each cell's ink box, placed at the pen, one pixel
// apart; the space a quarter of the cell.
TEST_F(TextSettingTest, MetricsMeasuredFromASheetAreItsInkBoxes) {
  MakeImage(SheetImageNumber, 200, 200);  // cells of 20, black
  PixelStore& sheet = *ImagePixels(ImageHandle(SheetImageNumber));
  for (int y = 25; y < 31; ++y)
    for (int x = 126; x < 129; ++x) sheet.Pixel(x, y)[1] = 255;  // in the cell of "0" (48: column 6, row 1)
  const FontDescriptor m = MeasureSheetMetrics();
  EXPECT_EQ(m.glyphs, (std::vector<DescriptorGlyph>{{U' ', 0, 0, 0, 0, 0, 0, 5}, {U'0', 126, 25, 3, 6, 0, 5, 4}}));
  EXPECT_EQ(m.lineHeight, 11);
}

}  // namespace
