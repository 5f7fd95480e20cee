#include "renderer/sheet_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/glyph_drawing.h"
#include "renderer/renderer_settings.h"
#include "core/fonts.h"

namespace {

struct Extent {
  int width, height;
};

// The width and height of "@" in a font, or in the system font for 0.
Extent AtSign(FontHandleValue font) {
  MakeImage(9, 4, 4);
  BeginDraw(ImageSurface(9));
  if (font) SetDrawFont(font);
  const Extent e{MeasureTextWidth("@"), MeasureTextHeight("@")};
  EndDraw();
  DropImage(9);
  return e;
}

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

// The N x N square of cell (col, row) of the sheet, as bytes.
std::vector<std::uint8_t> CellOf(int col, int row, int n) {
  std::vector<std::uint8_t> out;
  MakeImage(7, n, n);
  CopyImageArea(SheetImage, 7, col * n, row * n, n, n);
  out = ImagePixels(ImageHandle(7))->bytes;
  DropImage(7);
  return out;
}

class SheetBuildTest : public ::testing::Test {
 protected:
  SheetBuildTest() {
    rendererSettings = RendererSettings{};
    MakeImage(PreviewImage, PreviewSide, PreviewSide);
  }
  ~SheetBuildTest() override {
    ShutdownImages();
    ShutdownFonts();
  }
};

TEST_F(SheetBuildTest, DefaultCellsAreTheAtSignPlusFourAndHoldOneCodeEach) {
  rendererSettings.textColour = 0x0040C0FF;
  rendererSettings.backgroundColour = 0x00201000;
  const int n = BuildCharacterSheet(false, 1, "A");
  const FontHandleValue face = MakeFont(20, "Arial", 8, 0);
  const Extent at = AtSign(face);
  ASSERT_EQ(n, 4 + std::max(at.width, at.height));
  EXPECT_EQ(rendererSettings.cellMeasure, n);
  EXPECT_EQ(FindImageRecord(SheetImage)->height, 10 * n);

  // Each code alone, its face 4 pixels in from the cell's left edge on its
  // top edge; an upright 8-point face never leaves its cell.
  for (int code = 32; code <= 126; ++code) {
    const char ch = static_cast<char>(code);
    const auto expected = Drawn(n, n, [&] {
      SetDrawFont(face);
      PaintText(4, 0, std::string_view(&ch, 1), rendererSettings.textColour);
    });
    ASSERT_EQ(CellOf((code - 32) % 10, (code - 32) / 10, n), expected) << "code " << code;
  }
  const auto empty = Drawn(n, n, [] {});
  for (int col = 5; col <= 9; ++col) EXPECT_EQ(CellOf(col, 9, n), empty) << col;
}

TEST_F(SheetBuildTest, ShadowCopiesFillTheOffsetBlockAndCrossIntoNeighbouringCells) {
  RendererSettings& s = rendererSettings;
  s.shadowOffsetX = 5;
  s.shadowOffsetY = -3;
  s.shadowColour = 0x00FF8000;
  s.shadowSize = 12;
  s.styleBits = FontItalic | FontUnderline;
  const int n = BuildCharacterSheet(true, 4, "A");
  const FontHandleValue face = MakeFont(20, "Arial", 8, FontItalic | FontUnderline);
  const FontHandleValue shadow = MakeFont(21, "Arial", 12, FontItalic | FontUnderline);
  const Extent at = AtSign(face), system = AtSign(0);
  ASSERT_EQ(n, 4 + std::max({at.width, at.height, std::max(system.width, system.height) + 5 + 4}));
  // The whole sheet as its layout rules draw it: copies may land in the row
  // above and are clipped only by the image's edges.
  const auto expected = Drawn(10 * n, 10 * n, [&] {
    for (int code = 32; code <= 126; ++code) {
      const int x = ((code - 32) % 10) * n + 4, y = ((code - 32) / 10) * n;
      const char ch = static_cast<char>(code);
      SetDrawFont(shadow);
      for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) PaintText(x + 5 + i, y - 3 + j, std::string_view(&ch, 1), s.shadowColour);
      SetDrawFont(face);
      PaintText(x, y, std::string_view(&ch, 1), s.textColour);
    }
  });
  EXPECT_EQ(ImagePixels(ImageHandle(SheetImage))->bytes, expected);
}

TEST_F(SheetBuildTest, ASheetTooLargeForAnImageIsNotMade) {
  rendererSettings.fontSize = 2500;  // far past what the controls allow
  EXPECT_EQ(BuildCharacterSheet(false, 1, "A"), 0);
  EXPECT_EQ(ImageExists(SheetImage), 0);
}

TEST_F(SheetBuildTest, PreviewShowsTheFaceAtThirtyThirtyAndMeasuresEvenWithoutText) {
  const int measured = RefreshPreview(false, 1, "A");
  EXPECT_EQ(rendererSettings.cellMeasure, measured);
  const FontHandleValue face = MakeFont(20, "Arial", 8, 0);
  const Extent at = AtSign(face);
  EXPECT_EQ(measured, std::max(at.width, at.height));
  const auto expected = Drawn(PreviewSide, PreviewSide, [&] {
    SetDrawFont(face);
    PaintText(30, 30, "A", rendererSettings.textColour);
  });
  EXPECT_EQ(ImagePixels(ImageHandle(PreviewImage))->bytes, expected);
  EXPECT_EQ(RefreshPreview(false, 1, ""), measured);
  EXPECT_EQ(ImagePixels(ImageHandle(PreviewImage))->bytes, Drawn(PreviewSide, PreviewSide, [] {}));
  // The shadow's share is measured in the system font, whatever its size.
  rendererSettings.shadowSize = 40;
  const int large = RefreshPreview(true, 2, "A");
  rendererSettings.shadowSize = 8;
  EXPECT_EQ(RefreshPreview(true, 2, "A"), large);
}

}  // namespace
