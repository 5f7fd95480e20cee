#include "raster/draw_surface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raster/image.h"

namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb At(int number, int x, int y) {
  const std::uint8_t* p = ImagePixels(ImageHandle(number))->Pixel(x, y);
  return {p[2], p[1], p[0]};
}

std::vector<std::uint8_t> Bytes(int number) { return ImagePixels(ImageHandle(number))->bytes; }

class DrawSurfaceTest : public ::testing::Test {
 protected:
  ~DrawSurfaceTest() override {
    EndDraw();
    SetGlyphCacheEnabled(true);
    ShutdownImages();
    CloseAllFontHandles();
  }

  // Opens a drawing state on a new black image `number` of w x h.
  void Begin(int number, int w, int h, int mode = DrawModeTransparent) {
    ASSERT_NE(MakeImage(number, w, h), 0u);
    ASSERT_NE(BeginDraw(ImageSurface(number)), 0u);
    SetDrawMode(mode);
  }

  FontHandleValue Font(const char* face, int em, int style = 0) {
    const FontHandleValue h = OpenFontHandle(face, em, style);
    EXPECT_NE(h, 0u) << face;
    return h;
  }
};

TEST_F(DrawSurfaceTest, FillBoxClipsToTheImageAndIgnoresTheTopByte) {
  Begin(0, 20, 20);
  FillBox(0, 0, 30, 30, 0xFF0000FF);
  const PixelStore* s = ImagePixels(ImageHandle(0));
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) ASSERT_EQ(At(0, x, y), (Rgb{255, 0, 0}));
    for (std::size_t pad = 60; pad < s->rowBytes; ++pad) ASSERT_EQ(s->bytes[y * s->rowBytes + pad], 0);
  }
}

TEST_F(DrawSurfaceTest, FillBoxWithNegativeSizesFillsLeftAndUp) {
  Begin(0, 20, 20);
  FillBox(10, 0, -5, 3, 0x00FFFFFF);
  FillBox(3, 19, 2, -2, 0x00010203);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool first = x >= 5 && x <= 9 && y <= 2;
      const bool second = x >= 3 && x <= 4 && y >= 17 && y <= 18;
      const Rgb expected = first ? Rgb{255, 255, 255} : second ? Rgb{3, 2, 1} : Rgb{0, 0, 0};
      ASSERT_EQ(At(0, x, y), expected) << x << "," << y;
    }
  }
  FillBox(-5, -5, 3, 3, 0x00FFFFFF);  // wholly outside: nothing
  FillBox(25, 0, 3, 3, 0x00FFFFFF);
  EXPECT_EQ(At(0, 0, 0), (Rgb{0, 0, 0}));
}

// The coverage the font's rasteriser gives `text` drawn at the origin, cut to
// its advance box as the surface cuts it: the reference for the blending rules.
int CoverageAt(const PlatformFont& font, const char* text, int x, int y) {
  const int w = font.TextWidth(text), h = font.CellHeight();
  if (x < 0 || y < 0 || x >= w || y >= h) return 0;
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(w * h), 0);
  font.DrawText(text, 0, grey.data(), w, h, w);
  return grey[static_cast<std::size_t>(y * w + x)];
}

TEST_F(DrawSurfaceTest, TransparentTextBlendsEachPixelByItsCoverage) {
  const FontHandleValue font = Font("Liberation Sans", 30);
  Begin(0, 40, 40);
  FillBox(0, 0, 40, 40, 0x001E140A);  // (10, 20, 30)
  SetDrawFont(font);
  PaintText(0, 0, "A", 0x003264C8);  // (200, 100, 50)
  EndDraw();
  const PlatformFont& f = *FontOfHandle(font);
  int partial = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const int a = CoverageAt(f, "A", x, y);
      partial += a > 0 && a < 255;
      const Rgb expected{(200 * a + 10 * (255 - a)) / 255, (100 * a + 20 * (255 - a)) / 255,
                         (50 * a + 30 * (255 - a)) / 255};
      ASSERT_EQ(At(0, x, y), expected) << x << "," << y << " coverage " << a;
    }
  }
  EXPECT_GT(partial, 10);
}

TEST_F(DrawSurfaceTest, OpaqueTextPaintsItsBoxOnTheBackColour) {
  const FontHandleValue font = Font("Liberation Sans", 30);
  Begin(0, 60, 40, DrawModeOpaque);
  FillBox(0, 0, 60, 40, 0x00808080);
  SetDrawFont(font);
  const int right = PaintText(2, 1, "A", 0x00FFFFFF);
  EndDraw();
  const PlatformFont& f = *FontOfHandle(font);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      const bool inBox = x >= 2 && x < right && y >= 1 && y < 1 + f.CellHeight();
      const int a = CoverageAt(f, "A", x - 2, y - 1);
      const Rgb expected = inBox ? Rgb{a, a, a} : Rgb{128, 128, 128};
      ASSERT_EQ(At(0, x, y), expected) << x << "," << y;
    }
  }
}

TEST_F(DrawSurfaceTest, DrawingTwiceStrengthensOnlyPartlyCoveredPixels) {
  const FontHandleValue font = Font("Liberation Sans", 24);
  Begin(0, 40, 40);
  SetDrawFont(font);
  PaintText(3, 3, "O", 0x0000FF00);
  const auto once = Bytes(0);
  PaintText(3, 3, "O", 0x0000FF00);
  const auto twice = Bytes(0);
  int strengthened = 0;
  for (std::size_t i = 0; i < once.size(); i += 1) {
    if (i % 3 != 1) continue;  // green channel of 24-bit pixels in 120-byte rows
    if (once[i] == 255 || once[i] == 0) {
      ASSERT_EQ(twice[i], once[i]) << i;
    } else {
      ASSERT_GE(twice[i], once[i]) << i;  // the floor may keep a faint pixel as it was
      strengthened += twice[i] > once[i];
    }
  }
  EXPECT_GT(strengthened, 0);
}

TEST_F(DrawSurfaceTest, PaintTextReturnsTheAdvanceHoweverMuchIsVisible) {
  const FontHandleValue upright = Font("Liberation Sans", 20);
  const FontHandleValue italic = Font("Liberation Serif", 40, 0x200);
  Begin(0, 30, 30);
  SetDrawFont(upright);
  const int w = MeasureTextWidth("Wide text");
  EXPECT_EQ(w, FontOfHandle(upright)->TextWidth("Wide text"));
  EXPECT_EQ(PaintText(5, 2, "Wide text", 0x00FFFFFF), 5 + w);   // cut at the right
  EXPECT_EQ(PaintText(-3, 2, "Wide text", 0x00FFFFFF), -3 + w);  // cut at the left
  EXPECT_EQ(PaintText(100, 100, "Wide text", 0x00FFFFFF), 100 + w);
  EXPECT_EQ(PaintText(7, 0, "", 0x00FFFFFF), 7);

  SetDrawFont(italic);
  const int overhang = ItalicOverhang(italic);
  ASSERT_GT(overhang, 0);
  EXPECT_EQ(MeasureTextWidth("f"), FontOfHandle(italic)->TextWidth("f") + overhang);
  EXPECT_EQ(PaintText(4, 0, "f", 0x00FFFFFF), 4 + FontOfHandle(italic)->TextWidth("f") + overhang);
  EXPECT_EQ(ItalicOverhang(upright), 0);
}

TEST_F(DrawSurfaceTest, EmptyTextChangesNoPixel) {
  Begin(0, 10, 10);
  FillBox(0, 0, 10, 10, 0x00123456);
  const auto before = Bytes(0);
  SetDrawMode(DrawModeOpaque);
  EXPECT_EQ(PaintText(2, 2, "", 0x00FFFFFF), 2);
  EXPECT_EQ(Bytes(0), before);
}

TEST_F(DrawSurfaceTest, TextCutAtTheLeftLosesExactlyItsFirstColumns) {
  const FontHandleValue font = Font("Liberation Sans", 20);
  Begin(0, 40, 30);
  SetDrawFont(font);
  PaintText(0, 0, "M", 0x00FFFFFF);
  const auto whole = Bytes(0);
  EndDraw();
  Begin(1, 40, 30);
  SetDrawFont(font);
  PaintText(-3, 0, "M", 0x00FFFFFF);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x + 3 < 40; ++x) ASSERT_EQ(At(1, x, y), At(0, x + 3, y)) << x << "," << y;
  }
}

TEST_F(DrawSurfaceTest, MeasuresUseTheCellHeightForEveryText) {
  const FontHandleValue font = Font("Liberation Sans", 11);
  Begin(0, 10, 10);
  // A new drawing state measures with the system font.
  EXPECT_EQ(MeasureTextHeight("@"), SystemFont()->CellHeight());
  SetDrawFont(font);
  EXPECT_EQ(MeasureTextHeight("@"), 13);
  EXPECT_EQ(MeasureTextHeight("Hg"), MeasureTextHeight("@"));
  EXPECT_EQ(MeasureTextWidth("@"), FontOfHandle(font)->Advance('@'));
  EXPECT_EQ(MeasureTextWidth(""), 0);
  EXPECT_EQ(MeasureTextHeight(""), 0);
}

// The em height of Liberation Sans whose cell is `cell` pixels high.
int EmForCell(int cell) {
  for (int em = 1; em < 200; ++em) {
    auto f = OpenPlatformFont("Liberation Sans", em, 0);
    if (f && f->CellHeight() == cell) return em;
  }
  return 0;
}

TEST_F(DrawSurfaceTest, GlyphBufferIsAtLeastFiftyRowsAndOnlyGrows) {
  const int em20 = EmForCell(20), em45 = EmForCell(45);
  ASSERT_GT(em20, 0);
  ASSERT_GT(em45, 0);
  const FontHandleValue small = Font("Liberation Sans", em20);
  const FontHandleValue large = Font("Liberation Sans", em45);
  Begin(0, 10, 10);
  EXPECT_EQ(GlyphBufferRows(), 50);
  SetDrawFont(small);
  EXPECT_EQ(GlyphBufferRows(), 50);
  SetDrawFont(large);
  EXPECT_EQ(GlyphBufferRows(), 65);
  SetDrawFont(small);
  EXPECT_EQ(GlyphBufferRows(), 65);
  EndDraw();
  EXPECT_EQ(GlyphBufferRows(), 0);
}

TEST_F(DrawSurfaceTest, TextIsCutToTheOldBufferWhenTheBufferCannotGrow) {
  // A target as wide as an image can be and a huge font: the buffer would
  // pass its size limit, so it keeps its 50 rows.
  const FontHandleValue huge = Font("Liberation Sans", 2600);
  Begin(0, ImageMaxSide, 80);
  SetDrawFont(huge);
  EXPECT_EQ(GlyphBufferRows(), 50);
  const PlatformFont& f = *FontOfHandle(huge);
  EXPECT_EQ(PaintText(0, 0, "\xC9", 0x00FFFFFF), f.Advance(0xC9));
  for (int y = 50; y < 80; ++y) {
    for (int x = 0; x < f.Advance(0xC9); ++x) ASSERT_EQ(At(0, x, y), (Rgb{0, 0, 0})) << x << "," << y;
  }
}

TEST_F(DrawSurfaceTest, CachedGlyphsGiveThePixelsOfWholeTextRasterisation) {
  struct Case {
    const char* face;
    int em, style, x, y, mode;
    const char* text;
  };
  // Italic ink past the advance box, ink above the cell and below it, text
  // cut at every edge of the image, and the lines.
  const Case cases[] = {
      {"Liberation Serif", 40, 0x200, -7, -5, DrawModeTransparent, "fjW_"},
      {"Liberation Serif", 40, 0x200, 60, 30, DrawModeTransparent, "fjW_"},
      {"Liberation Serif", 40, 0x200, -3, 50, DrawModeOpaque, "Qj\xC9"},
      {"Liberation Sans", 11, 0, 2, 2, DrawModeTransparent, "Hg@"},
      {"Liberation Sans", 30, 0x100 | 4 | 8, -10, 10, DrawModeTransparent, "Tj"},
      {"Liberation Mono", 25, 0x200 | 4, 70, -12, DrawModeOpaque, "y\xC5"},
      {"NoSuchFaceAnywhere", 16, 0x300, 5, 60, DrawModeTransparent, "Ag"},
      // One character, as a sheet draws them.
      {"Liberation Serif", 40, 0x200, -7, -5, DrawModeTransparent, "f"},
      {"Liberation Serif", 40, 0x200, 70, 40, DrawModeTransparent, "j"},
      {"Liberation Sans", 11, 0, 86, 66, DrawModeTransparent, "W"},
      {"Liberation Sans", 53, 0x100, 20, -30, DrawModeTransparent, "@"},
      {"Liberation Sans", 20, 0x200, 10, 10, DrawModeOpaque, "Q"},
      {"Liberation Sans", 20, 4, 10, 10, DrawModeTransparent, "Q"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.face) + " " + c.text);
    const FontHandleValue font = Font(c.face, c.em, c.style);
    std::vector<std::uint8_t> results[2];
    int returned[2] = {};
    for (int cached = 0; cached < 2; ++cached) {
      SetGlyphCacheEnabled(cached == 1);
      Begin(0, 90, 70, c.mode);
      FillBox(0, 0, 90, 70, 0x00402010);
      SetDrawFont(font);
      returned[cached] = PaintText(c.x, c.y, c.text, 0x00F0C0A0);
      // A second copy over the first, so blending onto ink is compared too.
      PaintText(c.x + 1, c.y + 1, c.text, 0x0010E0FF);
      EndDraw();
      results[cached] = Bytes(0);
    }
    EXPECT_EQ(returned[0], returned[1]);
    EXPECT_EQ(results[0], results[1]);
  }
}

TEST_F(DrawSurfaceTest, PasteImageSkipsWhatFallsOutsideTheTarget) {
  MakeImage(1, 10, 10);
  PixelStore* src = ImagePixels(ImageHandle(1));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      std::uint8_t* p = src->Pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x + 1);
      p[1] = static_cast<std::uint8_t>(y + 1);
      p[2] = 7;
    }
  Begin(0, 100, 100, DrawModeOpaque);
  PasteImage(ImageHandle(1), 95, -4);
  EndDraw();
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      const bool written = x >= 95 && y <= 5;
      const Rgb expected = written ? Rgb{7, y + 4 + 1, x - 95 + 1} : Rgb{0, 0, 0};
      ASSERT_EQ(At(0, x, y), expected) << x << "," << y;
    }
  }
}

TEST_F(DrawSurfaceTest, WithoutADrawingStateNothingIsDrawn) {
  MakeImage(0, 10, 10);
  EndDraw();  // nothing current: does nothing
  FillBox(0, 0, 10, 10, 0x00FFFFFF);
  EXPECT_EQ(PaintText(3, 0, "A", 0x00FFFFFF), 3);
  EXPECT_EQ(MeasureTextWidth("A"), 0);
  EXPECT_EQ(MeasureTextHeight("A"), 0);
  PasteImage(ImageHandle(0), 0, 0);
  SetDrawMode(DrawModeTransparent);
  SetDrawFont(SystemFontHandle);
  for (std::uint8_t b : Bytes(0)) ASSERT_EQ(b, 0);
  EXPECT_EQ(ImageSurface(42), nullptr);
  EXPECT_EQ(BeginDraw(nullptr), 0u);
}

TEST_F(DrawSurfaceTest, ADroppedTargetIsNeverTouched) {
  Begin(0, 10, 10);
  DropImage(0);
  FillBox(0, 0, 10, 10, 0x00FFFFFF);
  EXPECT_EQ(PaintText(1, 1, "A", 0x00FFFFFF), 1);
}

}  // namespace
