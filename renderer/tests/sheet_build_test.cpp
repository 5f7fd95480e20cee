#include "renderer/sheet_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/glyph_drawing.h"
#include "renderer/renderer_settings.h"
#include "renderer/tests/composited_over.h"
#include "core/fonts.h"

namespace {

struct Extent { int width, height; };

// An image drawn straight with the drawing surface, as the layout rules
// describe a sheet or a part of one.
std::vector<std::uint8_t> Drawn(int w, int h, const std::function<void()>& draw) {
  MakeImage(8, w, h);
  BeginDraw(ImageSurface(8));
  SetDrawMode(DrawModeTransparent);
  FillBox(0, 0, w, h, rendererSettings.backgroundColour);
  draw();
  EndDraw();
  auto bytes = ImagePixels(ImageHandle(8))->bytes;
  DropImage(8);
  return bytes;
}

// The width and height of "@" in a font, or in the system font for 0.
Extent AtSign(FontHandleValue font) {
  Extent e{};
  Drawn(4, 4, [&] {
    if (font) SetDrawFont(font);
    e = {MeasureTextWidth("@"), MeasureTextHeight("@")};
  });
  return e;
}

class SheetBuildTest : public ::testing::Test {
 protected:
  SheetBuildTest() { rendererSettings = RendererSettings{}; }
  ~SheetBuildTest() override {
    ShutdownImages();
    ShutdownFonts();
  }
};

// The whole sheet as its layout rules draw it, with shadows off and on: each
// code's face 4 pixels in from its cell's left edge on its top edge, shadow
// copies that land in the row above, clipped only by the image's edges, and
// the cells after "~" left as background. The preview shows the test text
// drawn the same way at (30, 30); the cells are measured even without text.
TEST_F(SheetBuildTest, EveryCodeIsDrawnInItsCellWithItsShadowBlock) {
  RendererSettings& s = rendererSettings;
  s.textColour = 0x0040C0FF;
  s.backgroundColour = 0x00201000;
  s.shadowColour = 0x00FF8000;
  s.shadowSize = 12;
  s.styleBits = FontItalic | FontUnderline;
  for (const bool shadowOn : {false, true}) {
    s.shadowOffsetX = shadowOn ? 5 : 0;
    s.shadowOffsetY = shadowOn ? -3 : 0;
    const int count = shadowOn ? 4 : 1;
    const int n = BuildCharacterSheet(shadowOn, count, "A");
    const FontHandleValue face = MakeFont(20, "Arial", 8, s.styleBits);
    const FontHandleValue shadow = MakeFont(21, "Arial", 12, s.styleBits);
    const Extent at = AtSign(face), system = AtSign(0);
    const int shadowShare = shadowOn ? std::max(system.width, system.height) + 5 + 4 : 0;
    ASSERT_EQ(n, 4 + std::max({at.width, at.height, shadowShare}));
    EXPECT_EQ(s.cellMeasure, n);
    EXPECT_EQ(FindImageRecord(SheetImage)->height, 10 * n);
    const auto layered = [&](int x, int y, std::string_view text) {
      SetDrawFont(shadow);
      for (int i = 1; shadowOn && i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) PaintText(x + 5 + i, y - 3 + j, text, s.shadowColour);
      SetDrawFont(face);
      PaintText(x, y, text, s.textColour);
    };
    const auto expected = Drawn(10 * n, 10 * n, [&] {
      for (int code = 32; code <= 126; ++code) {
        const char ch = static_cast<char>(code);
        layered(((code - 32) % 10) * n + 4, ((code - 32) / 10) * n, std::string_view(&ch, 1));
      }
    });
    EXPECT_EQ(ImagePixels(ImageHandle(SheetImage))->bytes, expected) << "shadow " << shadowOn;
    const auto preview = Drawn(PreviewSide, PreviewSide, [&] { layered(30, 30, "A"); });
    EXPECT_EQ(ImagePixels(ImageHandle(PreviewImage))->bytes, preview);
    // The shadow's share is measured in the system font, whatever the shadow's size.
    s.shadowSize = 40;
    EXPECT_EQ(RefreshPreview(shadowOn, count, "") + 4, n);
    s.shadowSize = 12;
    EXPECT_EQ(ImagePixels(ImageHandle(PreviewImage))->bytes, Drawn(PreviewSide, PreviewSide, [] {}));
  }
}

// Each cell of a fitted sheet, less its padding, holds its glyph as drawn alone
// at the cell's origin, and that drawing lies wholly inside it; the padding and
// the cells left over are background. Characters given fill their cells in
// order, `columns` a row; one the face lacks is listed and its cell left blank.
TEST_F(SheetBuildTest, FittedCellsHoldEachGlyphAsDrawnAlone) {
  struct Case { int style, size, shadowSize, x, y, count, padding; std::u32string characters{}, missing{}; int columns = 10; };
  for (RendererSettings& s = rendererSettings;
       const Case& c : {Case{FontItalic | FontUnderline, 8, 12, 20, 0, 1, 1}, {FontItalic, 12, 12, -9, -6, 4, 0},
                        {FontStrikeOut, 10, 30, -5, -3, 2, 3},
                        {0, 8, 8, -3, 0, 2, 1, U"A\u00E9\u65E5\u20AC\u042F", U"\u65E5", 2}, {0, 8, 8, 0, 0, 1, 1, U"AB", U"", 10}}) {
    s.styleBits = c.style, s.fontSize = c.size, s.shadowSize = c.shadowSize, s.shadowOffsetX = c.x, s.shadowOffsetY = c.y;
    s.shadowColour = 0xFF8000, s.backgroundColour = 0x201000;
    std::vector<char32_t> missing;
    const int n = BuildCharacterSheet(true, c.count, "A",
                                      {.fitPadding = c.padding, .characters = c.characters, .columns = c.columns, .missing = &missing});
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::u32string(missing.begin(), missing.end()), c.missing);
    std::u32string cells = c.characters;
    for (char32_t code = 32; c.characters.empty() && code <= 126; ++code) cells += code;
    std::u32string drawn = cells;
    std::erase_if(drawn, [&](char32_t ch) { return c.missing.find(ch) != std::u32string::npos; });
    const int columns = std::min(c.columns, static_cast<int>(cells.size()));  // more columns than characters: no wider
    const int rows = (static_cast<int>(cells.size()) + columns - 1) / columns, width = columns * n, height = rows * n;
    const PixelStore sheet = *ImagePixels(ImageHandle(SheetImage));
    ASSERT_EQ(std::pair(sheet.width, sheet.height), std::pair(width, height));
    const SheetLayout fit = FittedSheetLayout(true, c.count, c.padding, c.characters.empty() ? nullptr : &drawn);
    const auto blank = Drawn(width, height, [] {});
    for (int cell = 0; cell < rows * columns; ++cell) {
      const int cx = cell % columns * n, cy = cell / columns * n;
      const char32_t ch = cell < static_cast<int>(cells.size()) ? cells[cell] : 0;
      const auto alone = Drawn(width, height, [&] {
        if (ch && drawn.find(ch) != std::u32string::npos)
          DrawLayeredGlyph(std::u32string_view(&ch, 1), cx + fit.originX, cy + fit.originY, true, c.count);
      });
      for (std::size_t at = 0; at < alone.size(); ++at) {
        const int x = static_cast<int>(at % sheet.rowBytes) / 3 - cx, y = height - 1 - static_cast<int>(at / sheet.rowBytes) - cy;
        const bool inCell = std::min(x, y) >= 0 && std::max(x, y) < n;
        const bool inside = std::min(x, y) >= c.padding && std::max(x, y) < n - c.padding;
        const bool sheetRight = !inCell || sheet.bytes[at] == (inside ? alone : blank)[at];
        if (!sheetRight || !(inside || alone[at] == blank[at]))
          FAIL() << (sheetRight ? "drawn alone" : "sheet") << ", cell " << cell << " at " << x << "," << y;
      }
    }
  }
}

// A transparent sheet composited over an opaque colour is the opaque sheet
// drawn on that colour, within the opaque path's rounding: it truncates at
// every layer, so one layer matches exactly and each further layer may lose
// up to one more unit. What nothing covers carries the text colour at alpha 0.
// In fitted cells a descriptor's box is the tight box of all its glyph's ink,
// and its offsets are taken from the face's origin in the cell.
TEST_F(SheetBuildTest, TransparentSheetOverAColourIsTheSheetDrawnOnItAndBoxesItsInk) {
  RendererSettings& s = rendererSettings;
  s.textColour = 0x40C0FF, s.shadowColour = 0xFF8000, s.shadowSize = 12, s.styleBits = FontItalic;
  s.shadowOffsetX = -2, s.shadowOffsetY = 3;
  struct Case { bool shadowOn; int count, drift; std::optional<int> fit; };
  for (const Case& c : {Case{false, 1, 0, {}}, {true, 1, 2, {}}, {true, 2, 3, {}}, {true, 2, 3, 1}}) {
    FontDescriptor font;
    SheetRequest opaque, clear;
    opaque.fitPadding = clear.fitPadding = c.fit;
    clear.transparent = true, clear.descriptor = &font;
    const int n = BuildCharacterSheet(c.shadowOn, c.count, "A", clear);
    ASSERT_GT(n, 0);
    const PixelStore over = *ImagePixels(ImageHandle(SheetImage));
    ASSERT_EQ(over.bitsPerPixel, 32);
    EXPECT_EQ(std::vector<std::uint8_t>(over.Pixel(0, 0), over.Pixel(0, 0) + 4),
              (std::vector<std::uint8_t>{0x40, 0xC0, 0xFF, 0}));
    for (const std::uint32_t background : {0x000000u, 0xFFFFFFu, 0x3060A0u}) {
      s.backgroundColour = background;
      ASSERT_GT(BuildCharacterSheet(c.shadowOn, c.count, "A", opaque), 0);
      EXPECT_LE(WorstDriftOver(over, *ImagePixels(ImageHandle(SheetImage)), background), c.drift) << "count " << c.count << " background " << std::hex << background;
    }
    ASSERT_EQ(font.glyphs.size(), 95u);
    EXPECT_EQ(font.scaleW, over.width);
    if (!c.fit) continue;  // unfitted cells may cut a glyph's ink
    const SheetLayout fit = FittedSheetLayout(c.shadowOn, c.count, *c.fit);
    for (const DescriptorGlyph& g : font.glyphs) {
      const SheetCell cell = SheetCellOf(static_cast<int>(g.id));
      const int cx = cell.column * n, cy = cell.row * n;
      int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
      for (int y = cy; y < cy + n; ++y)
        for (int x = cx; x < cx + n; ++x)
          if (over.Pixel(x, y)[3] != 0) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1), y1 = std::max(y1, y + 1);
      if (x0 > x1) {
        EXPECT_EQ(g.width * g.height, 0) << int(g.id);
        continue;
      }
      EXPECT_EQ(std::vector<int>({g.x, g.y, g.x + g.width, g.y + g.height}), std::vector<int>({x0, y0, x1, y1})) << int(g.id);
      EXPECT_EQ(g.x - g.xoffset, cx + fit.originX) << int(g.id);
      EXPECT_EQ(g.y - g.yoffset, cy + fit.originY) << int(g.id);
    }
  }
}

}  // namespace
