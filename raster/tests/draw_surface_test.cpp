// The drawing surface: blending by coverage in both modes, clipping at every edge, cached glyphs.
#include "raster/draw_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/fonts.h"
#include "core/text_codes.h"
#include "raster/image.h"

namespace {

using Rgb = std::vector<int>;

Rgb At(int number, int x, int y) {
  const std::uint8_t* p = ImagePixels(ImageHandle(number))->Pixel(x, y);
  return {p[2], p[1], p[0]};
}

// Every pixel of image 0 is expected(x, y).
template <class Expected>
void ExpectPixels(Expected expected) {
  const PixelStore* s = ImagePixels(ImageHandle(0));
  for (int y = 0; y < s->height; ++y) {
    for (int x = 0; x < s->width; ++x) ASSERT_EQ(At(0, x, y), expected(x, y)) << x << "," << y;
  }
}

struct DrawSurfaceTest : ::testing::Test {
  ~DrawSurfaceTest() override {
    EndDraw();
    SetGlyphCacheEnabled(true);
    ShutdownImages();
    CloseAllFontHandles();
  }
  // Opens a drawing state on a new black image 0.
  void Begin(int w, int h, int mode) {
    ASSERT_NE(MakeImage(0, w, h), 0u);
    ASSERT_NE(BeginDraw(ImageSurface(0)), 0u);
    SetDrawMode(mode);
  }
};

// Each pixel of the text's advance box is the colour blended by the rasteriser's coverage over the
// target (transparent) or over black (opaque); nothing else changes. The return is the whole advance.
TEST_F(DrawSurfaceTest, TextBlendsByItsCoverageOverTheTargetOrItsBox) {
  const FontHandleValue font = OpenFontHandle("Liberation Sans", 30, FontFlags{});
  ASSERT_NE(font, 0u);
  const PlatformFont& f = *FontOfHandle(font);
  const int w = f.TextWidth(U"A"), h = f.CellHeight();
  std::vector<std::uint8_t> coverage(static_cast<std::size_t>(w * h));
  ASSERT_TRUE(f.DrawText(U"A", 0, coverage.data(), w, h, w));
  const int places[][2] = {{2, 1}, {-5, -7}, {50, 30}};  // inside, cut at the top left, at the bottom right
  for (const int mode : {DrawModeTransparent, DrawModeOpaque}) {
    for (const auto& [px, py] : places) {
      SCOPED_TRACE(::testing::Message() << "mode " << mode << " at " << px << "," << py);
      Begin(60, 40, mode);
      FillBox(0, 0, 60, 40, 0x001E140A);                        // (10, 20, 30)
      SetDrawFont(font);
      EXPECT_EQ(PaintText(px, py, "A", 0x003264C8), px + w);  // (200, 100, 50)
      ExpectPixels([&, px = px, py = py](int x, int y) {
        const bool inBox = x >= px && x < px + w && y >= py && y < py + h;
        const int a = inBox ? coverage[static_cast<std::size_t>((y - py) * w + x - px)] : 0;
        const int k = inBox && mode == DrawModeOpaque ? 0 : 255 - a;  // of the target: none in an opaque box
        return Rgb{(200 * a + 10 * k) / 255, (100 * a + 20 * k) / 255, (50 * a + 30 * k) / 255};
      });
    }
  }
}

// A box of negative size reaches left and up; the colour's top byte is no part of it. Once the drawing
// state's image is dropped, nothing is drawn.
TEST_F(DrawSurfaceTest, BoxesAndPastedImagesAreCutAtEveryEdgeAndNeverReachADroppedTarget) {
  MakeImage(1, 10, 10);
  for (std::size_t i = 0; i < 10 * 32; ++i) ImagePixels(ImageHandle(1))->bytes[i] = static_cast<std::uint8_t>(i);
  const int cases[][4] = {{-5, -5, 30, 30}, {15, -4, 10, 10}, {-6, 13, 10, 10},  // x, y, width, height
                          {10, 0, -5, 3},   {3, 19, 2, -2},   {25, 0, 3, 3}};
  for (const auto& [cx, cy, cw, ch] : cases) {
    SCOPED_TRACE(::testing::Message() << "at " << cx << "," << cy);
    Begin(20, 20, DrawModeOpaque);
    FillBox(cx, cy, cw, ch, 0xFF0080FF);
    const int bx = std::min(cx, cx + cw), by = std::min(cy, cy + ch);
    ExpectPixels([&, cw = cw, ch = ch](int x, int y) {
      return x >= bx && x < bx + std::abs(cw) && y >= by && y < by + std::abs(ch) ? Rgb{255, 128, 0} : Rgb{0, 0, 0};
    });
    Begin(20, 20, DrawModeOpaque);
    PasteImage(ImageHandle(1), cx, cy);
    ExpectPixels([&, cx = cx, cy = cy](int x, int y) {
      return x >= cx && x < cx + 10 && y >= cy && y < cy + 10 ? At(1, x - cx, y - cy) : Rgb{0, 0, 0};
    });
  }
  DropImage(0);
  MakeImage(2, 20, 20);  // may well take the dropped image's memory
  FillBox(0, 0, 20, 20, 0x00FFFFFF);
  PasteImage(ImageHandle(1), 0, 0);
  EXPECT_EQ(PaintText(1, 1, "A", 0x00FFFFFF), 1);
  EXPECT_EQ(ImagePixels(ImageHandle(2))->bytes, std::vector<std::uint8_t>(RowBytes(20, 24) * 20));
}

// One character takes the one-glyph path, longer texts the composed box; both give the pixels and
// advance of whole-text rasterisation: italic ink past the box, ink above and below the cell,
// underline and strike-out, a missing face, both modes, text cut at every edge.
TEST_F(DrawSurfaceTest, CachedGlyphsGiveThePixelsOfWholeTextRasterisation) {
  const struct { const char* face; int em, style, x, y, mode; const char* text; } cases[] = {
      {"Liberation Serif", 40, FontItalic, -7, -5, DrawModeTransparent, "fjW_"},
      {"Liberation Serif", 40, FontItalic, -3, 50, DrawModeOpaque, "Qj\xC9\x80"},
      {"Liberation Sans", 30, FontBold | FontUnderline | FontStrikeOut, -10, 10, DrawModeTransparent, "Tj"},
      {"Liberation Mono", 25, FontItalic | FontUnderline, 70, -12, DrawModeOpaque, "y\xC5"},
      {"NoSuchFaceAnywhere", 16, FontBold | FontItalic, 5, 60, DrawModeTransparent, "Ag"},
      {"Liberation Serif", 40, FontItalic, -7, -5, DrawModeTransparent, "f"},
      {"Liberation Serif", 40, FontItalic, 70, 40, DrawModeTransparent, "j"},
      {"Liberation Sans", 20, FontItalic, 10, 10, DrawModeOpaque, "\x80"},
      {"Liberation Sans", 20, FontUnderline, 10, 10, DrawModeTransparent, "Q"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.face) + " " + c.text);
    const FontHandleValue font = OpenFontHandle(c.face, c.em, FontFlagsOf(c.style));
    ASSERT_NE(font, 0u);
    std::u32string codes;
    Windows1252ToUnicode(c.text, codes);
    const int advance = FontOfHandle(font)->TextWidth(codes) + ItalicOverhang(font);
    std::vector<std::uint8_t> pixels[2];
    for (const int cached : {0, 1}) {
      SetGlyphCacheEnabled(cached == 1);
      Begin(90, 70, c.mode);
      FillBox(0, 0, 90, 70, 0x00402010);
      SetDrawFont(font);
      EXPECT_EQ(PaintText(c.x, c.y, c.text, 0x00F0C0A0), c.x + advance);
      PaintText(c.x + 1, c.y + 1, c.text, 0x0010E0FF);  // blending onto ink is compared too
      pixels[cached] = ImagePixels(ImageHandle(0))->bytes;
    }
    EXPECT_EQ(pixels[0], pixels[1]);
  }
}

// A glyph buffer that cannot grow (the target is as wide as an image can be) keeps the rows it has:
// a larger font's text is drawn down to the last of them and cut there.
TEST_F(DrawSurfaceTest, TextIsCutToAGlyphBufferThatCannotGrow) {
  Begin(ImageMaxSide, 2, DrawModeTransparent);
  SetDrawFont(OpenFontHandle("Liberation Sans", 600, FontFlags{}));
  SetDrawFont(OpenFontHandle("Liberation Sans", 2600, FontFlags{}));
  PaintText(0, 1 - GlyphBufferRows(), "\xC9", 0x00FFFFFF);  // the last kept row on row 0; the E's stem runs on past it
  const std::vector<std::uint8_t>& bytes = ImagePixels(ImageHandle(0))->bytes;  // the bottom row first
  const auto top = bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2);
  EXPECT_TRUE(std::none_of(bytes.begin(), top, [](int b) { return b; }));
  EXPECT_TRUE(std::any_of(top, bytes.end(), [](int b) { return b; }));
}

}  // namespace
