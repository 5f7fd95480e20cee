#include "platform/font_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

// These tests need fonts-liberation2 and fonts-dejavu-extra installed: the
// Liberation faces have the metrics of the names asked for, and "DejaVu Sans
// Light" is a face with no bold and no italic, so styles must be synthesised.

namespace {

std::unique_ptr<PlatformFont> MustOpen(std::string_view name, int em, int style) {
  auto font = OpenPlatformFont(name, em, style);
  if (!font) ADD_FAILURE() << "no font for " << name << " em " << em << " style " << style;
  return font;
}

std::string FileName(const PlatformFont& font) {
  return std::filesystem::path(font.FilePath()).filename().string();
}

// A grey buffer with `pad` sentinel bytes after each row.
struct Canvas {
  int width;
  int height;
  int pitch;
  std::vector<std::uint8_t> bytes;

  Canvas(int w, int h, int pad = 0, std::uint8_t fill = 0)
      : width(w),
        height(h),
        pitch(w + pad),
        bytes(static_cast<std::size_t>(std::max(0, (h - 1) * (w + pad) + w)), fill) {
    if (pad > 0) {
      for (int y = 0; y + 1 < h; ++y) {
        std::fill_n(bytes.begin() + y * pitch + w, pad, std::uint8_t{0xAB});
      }
    }
  }
  std::uint8_t At(int x, int y) const { return bytes[static_cast<std::size_t>(y * pitch + x)]; }
  std::uint8_t& At(int x, int y) { return bytes[static_cast<std::size_t>(y * pitch + x)]; }
  bool Draw(const PlatformFont& font, std::string_view text, int originX) {
    return font.DrawText(text, originX, bytes.empty() ? nullptr : bytes.data(), width, height,
                         pitch);
  }
  bool DrawMono(const PlatformFont& font, std::string_view text, int originX) {
    return font.DrawTextMono(text, originX, bytes.empty() ? nullptr : bytes.data(), width, height,
                             pitch);
  }
  long Ink() const {
    long sum = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) sum += At(x, y);
    }
    return sum;
  }
  // Rightmost inked column + 1, or 0 when blank.
  int InkRight() const {
    int right = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (At(x, y) != 0) right = std::max(right, x + 1);
      }
    }
    return right;
  }
  bool RowHasInk(int y) const {
    for (int x = 0; x < width; ++x) {
      if (At(x, y) != 0) return true;
    }
    return false;
  }
};

long GlyphInk(const GlyphCoverage& g) { return std::accumulate(g.grey.begin(), g.grey.end(), 0L); }

// What DrawText must produce, built pixel by pixel from the public pieces.
Canvas ComposeFromCache(const PlatformFont& font, std::string_view text, int originX, int width,
                        int height) {
  Canvas c(width, height);
  int pen = originX;
  for (char ch : text) {
    const GlyphCoverage& g = font.Glyph(static_cast<std::uint8_t>(ch));
    for (int gy = 0; gy < g.rows; ++gy) {
      for (int gx = 0; gx < g.width; ++gx) {
        const int x = pen + g.left + gx;
        const int y = g.top + gy;
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        c.At(x, y) = std::max(c.At(x, y), g.grey[static_cast<std::size_t>(gy * g.width + gx)]);
      }
    }
    pen += g.advance;
  }
  for (const PixelRect& r : font.LineRects(originX, font.TextWidth(text))) {
    for (int y = std::max(r.top, 0); y < std::min(r.top + r.height, height); ++y) {
      for (int x = std::max(r.left, 0); x < std::min(r.left + r.width, width); ++x)
        c.At(x, y) = 255;
    }
  }
  return c;
}

// Which edges of a width x height buffer the glyphs' boxes cross, and whether
// two glyphs put ink on one pixel: proof that a case exercises clipping and
// max-combining.
struct Overhangs {
  bool left = false, top = false, right = false, bottom = false, overlap = false;
};

Overhangs MeasureOverhangs(const PlatformFont& font, std::string_view text, int originX, int width,
                           int height) {
  Overhangs o;
  struct Box {
    int left, top, right, bottom;
  };
  std::vector<Box> boxes;
  int pen = originX;
  for (char ch : text) {
    const GlyphCoverage& g = font.Glyph(static_cast<std::uint8_t>(ch));
    boxes.push_back({pen + g.left, g.top, pen + g.left + g.width, g.top + g.rows});
    pen += g.advance;
  }
  pen = originX;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const GlyphCoverage& g = font.Glyph(static_cast<std::uint8_t>(text[i]));
    for (int gy = 0; gy < g.rows; ++gy) {
      for (int gx = 0; gx < g.width; ++gx) {
        if (g.grey[static_cast<std::size_t>(gy * g.width + gx)] == 0) continue;
        const int x = pen + g.left + gx;
        const int y = g.top + gy;
        o.left |= x < 0;
        o.top |= y < 0;
        o.right |= x >= width;
        o.bottom |= y >= height;
        // Ink under another glyph's box: overwriting instead of max would lose it.
        for (std::size_t j = 0; j < boxes.size(); ++j) {
          const Box& b = boxes[j];
          o.overlap |= j != i && x >= b.left && x < b.right && y >= b.top && y < b.bottom;
        }
      }
    }
    pen += g.advance;
  }
  return o;
}

std::uint64_t Fnv(std::uint64_t h, const std::vector<std::uint8_t>& bytes) {
  for (std::uint8_t b : bytes) h = (h ^ b) * 0x100000001B3ull;
  return h;
}

// Pixels of grey and 1-bit text in faces hinted by bytecode, including the
// synthetic styles, folded into one number.
std::uint64_t RenderDigest() {
  struct Case {
    const char* name;
    int em;
    int style;
  };
  const Case cases[] = {
      {"Arial", 11, 0},
      {"Arial", 13, FontStyleBold},
      {"Times New Roman", 16, FontStyleItalic},
      {"Courier New", 12, FontStyleUnderline},
      {"DejaVu Sans Light", 15, FontStyleBold | FontStyleItalic},
  };
  const std::string_view text = "Hamburgefonstiv @Wg";
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (const Case& c : cases) {
    auto font = OpenPlatformFont(c.name, c.em, c.style);
    if (!font) return 0;
    Canvas grey(font->TextWidth(text) + 8, font->CellHeight());
    Canvas mono(grey.width, grey.height);
    if (!grey.Draw(*font, text, 4) || !mono.DrawMono(*font, text, 4)) return 0;
    h = Fnv(Fnv(h, grey.bytes), mono.bytes);
    h = (h ^ static_cast<std::uint64_t>(font->TextWidth(text))) * 0x100000001B3ull;
  }
  return h;
}

// Run as its own child by the environment test below: print the digest and
// leave before GoogleTest starts.
[[maybe_unused]] const bool kDigestChild = [] {
  if (std::getenv("KILN_PLATFORM_DIGEST_CHILD") == nullptr) return false;
  std::printf("render-digest: %016llx\n", static_cast<unsigned long long>(RenderDigest()));
  std::fflush(stdout);
  // The library's own exit-time cleanup may not be registered yet this early.
  ShutdownPlatformFonts();
  std::exit(0);
}();

// ---------------------------------------------------------------------------

TEST(FontMatching, MetricCompatibleNamesPickTheLiberationFaces) {
  struct Case {
    const char* asked;
    int style;
    const char* family;
    const char* file;
  };
  const Case cases[] = {
      {"Arial", 0, "Liberation Sans", "LiberationSans-Regular.ttf"},
      {"Times New Roman", 0, "Liberation Serif", "LiberationSerif-Regular.ttf"},
      {"Courier New", 0, "Liberation Mono", "LiberationMono-Regular.ttf"},
      {"Arial", FontStyleBold, "Liberation Sans", "LiberationSans-Bold.ttf"},
      {"Times New Roman", FontStyleItalic, "Liberation Serif", "LiberationSerif-Italic.ttf"},
      {"Courier New", FontStyleBold | FontStyleItalic, "Liberation Mono",
       "LiberationMono-BoldItalic.ttf"},
      {"arial", 0, "Liberation Sans", "LiberationSans-Regular.ttf"},
  };
  for (const Case& c : cases) {
    auto font = MustOpen(c.asked, 12, c.style);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->FamilyName(), c.family) << c.asked;
    EXPECT_EQ(FileName(*font), c.file) << c.asked << " style " << c.style;
    // These faces have real bold and italic: nothing is synthesised.
    EXPECT_FALSE(font->IsSyntheticBold()) << c.asked;
    EXPECT_FALSE(font->IsSyntheticItalic()) << c.asked;
  }
}

TEST(FontMatching, NamesWithNoFaceStillGetAUsableFace) {
  for (std::string_view name : {std::string_view("Zzqx No Such Face"), std::string_view(""),
                                std::string_view("Arial\0ignored", 13)}) {
    auto font = OpenPlatformFont(name, 11, 0);
    ASSERT_NE(font, nullptr) << name;
    EXPECT_FALSE(font->FamilyName().empty());
    EXPECT_GT(font->CellHeight(), 0);
    Canvas c(40, font->CellHeight());
    EXPECT_TRUE(c.Draw(*font, "Hi", 0));
    EXPECT_GT(c.Ink(), 0);
  }
  auto cut = OpenPlatformFont(std::string_view("Arial\0Bogus", 11), 11, 0);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->FamilyName(), "Liberation Sans");
}

TEST(FontMatching, EmHeightOutsideTheRangeIsRefused) {
  EXPECT_EQ(OpenPlatformFont("Arial", 0, 0), nullptr);
  EXPECT_EQ(OpenPlatformFont("Arial", -11, 0), nullptr);
  EXPECT_EQ(OpenPlatformFont("Arial", FontMaxEmPixels + 1, 0), nullptr);
  EXPECT_NE(OpenPlatformFont("Arial", 1, 0), nullptr);
}

TEST(FontMatching, FaceWithoutBoldOrItalicIsEmboldenedAndSlanted) {
  auto light = MustOpen("DejaVu Sans Light", 20, 0);
  auto bold = MustOpen("DejaVu Sans Light", 20, FontStyleBold);
  auto italic = MustOpen("DejaVu Sans Light", 20, FontStyleItalic);
  ASSERT_TRUE(light && bold && italic);
  for (const auto* f : {light.get(), bold.get(), italic.get()}) {
    EXPECT_EQ(FileName(*f), "DejaVuSans-ExtraLight.ttf");
  }
  EXPECT_FALSE(light->IsSyntheticBold() || light->IsSyntheticItalic());
  EXPECT_TRUE(bold->IsSyntheticBold());
  EXPECT_FALSE(bold->IsSyntheticItalic());
  EXPECT_TRUE(italic->IsSyntheticItalic());
  EXPECT_FALSE(italic->IsSyntheticBold());

  // Emboldening widens strokes and advances alike.
  EXPECT_GT(GlyphInk(bold->Glyph('H')), GlyphInk(light->Glyph('H')) * 5 / 4);
  EXPECT_GT(bold->Advance('H'), light->Advance('H'));
  EXPECT_GT(bold->TextWidth("HHHH"), light->TextWidth("HHHH"));
  // Slanting moves the top of the stems right, the advance stays.
  EXPECT_EQ(italic->Advance('H'), light->Advance('H'));
  // The stem's centre, row by row: straight up, or leaning right.
  auto centre = [](const GlyphCoverage& g, int row) {
    double sum = 0, weighted = 0;
    for (int x = 0; x < g.width; ++x) {
      const double v = g.grey[static_cast<std::size_t>(row * g.width + x)];
      sum += v;
      weighted += v * (g.left + x);
    }
    return sum > 0 ? weighted / sum : -1000.0;
  };
  const GlyphCoverage& upright = light->Glyph('l');
  const GlyphCoverage& slanted = italic->Glyph('l');
  ASSERT_GT(upright.rows, 10);
  ASSERT_GT(slanted.rows, 10);
  EXPECT_NEAR(centre(upright, 2), centre(upright, upright.rows - 3), 0.25);
  EXPECT_GT(centre(slanted, 2) - centre(slanted, slanted.rows - 3), 2.0);
}

TEST(FontMatching, ListsFamiliesSortedAndUnique) {
  const std::vector<std::string> families = ListFontFamilies();
  for (const char* expected :
       {"Liberation Sans", "Liberation Serif", "Liberation Mono", "DejaVu Sans"}) {
    EXPECT_TRUE(std::binary_search(families.begin(), families.end(), expected)) << expected;
  }
  EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
  EXPECT_EQ(std::adjacent_find(families.begin(), families.end()), families.end());
}

// ---------------------------------------------------------------------------

TEST(FontMetrics, CellIsWindowsAscentPlusDescentRoundedUp) {
  auto sans11 = MustOpen("Arial", 11, 0);
  ASSERT_NE(sans11, nullptr);
  EXPECT_EQ(sans11->Ascent(), 10);
  EXPECT_EQ(sans11->Descent(), 3);
  EXPECT_EQ(sans11->CellHeight(), 13);

  auto system = OpenSystemFont();
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->FamilyName(), "Liberation Sans");
  EXPECT_EQ(FileName(*system), "LiberationSans-Bold.ttf");
  EXPECT_EQ(system->Weight(), 700);
  EXPECT_EQ(system->EmPixels(), 14);
  EXPECT_EQ(system->Ascent(), 13);
  EXPECT_EQ(system->CellHeight(), 16);
}

TEST(FontMetrics, ExtentHeightIsTheCellWhateverTheGlyphs) {
  auto font = MustOpen("Arial", 20, 0);
  ASSERT_NE(font, nullptr);
  const int cell = font->CellHeight();
  EXPECT_EQ(font->TextExtent("@").height, cell);
  EXPECT_EQ(font->TextExtent("Hg").height, cell);
  EXPECT_EQ(font->TextExtent("").height, cell);
  EXPECT_EQ(font->TextExtent("").width, 0);

  // Ink sits in the cell: H on the baseline, g below it, nothing past the cell.
  Canvas h(60, 2 * cell);
  h.Draw(*font, "H", 2);
  EXPECT_TRUE(h.RowHasInk(font->Ascent() - 1));
  EXPECT_FALSE(h.RowHasInk(font->Ascent()));
  Canvas g(80, 2 * cell);
  g.Draw(*font, "@Hg", 2);
  EXPECT_TRUE(g.RowHasInk(font->Ascent() + 2));
  for (int y = cell; y < g.height; ++y) EXPECT_FALSE(g.RowHasInk(y)) << y;
}

TEST(FontMetrics, TextWidthIsTheSumOfAdvances) {
  std::string all(256, '\0');
  std::iota(all.begin(), all.end(), '\0');
  for (const char* name : {"Arial", "Times New Roman", "DejaVu Sans Light"}) {
    for (int style : {0, FontStyleBold | FontStyleItalic}) {
      auto font = MustOpen(name, 13, style);
      ASSERT_NE(font, nullptr);
      int sum = 0;
      for (char c : all) sum += font->Advance(static_cast<std::uint8_t>(c));
      EXPECT_EQ(font->TextWidth(all), sum) << name;
      EXPECT_EQ(font->TextExtent(all).width, sum) << name;
      EXPECT_EQ(font->TextWidth("AV"), font->Advance('A') + font->Advance('V')) << "no kerning";
    }
  }
}

TEST(FontMetrics, MonospacedFaceHasOneAdvance) {
  auto mono = MustOpen("Courier New", 11, 0);
  ASSERT_NE(mono, nullptr);
  for (int c = 0x21; c < 0x7F; ++c)
    EXPECT_EQ(mono->Advance(static_cast<std::uint8_t>(c)), mono->Advance('M')) << c;
}

TEST(PointsToPixels, RoundsHalfAwayFromZero) {
  EXPECT_EQ(PointsToPixels(8, 96), 11);
  EXPECT_EQ(PointsToPixels(16, 96), 21);
  EXPECT_EQ(PointsToPixels(8, 120), 13);
  EXPECT_EQ(PointsToPixels(12, 96), 16);
  EXPECT_EQ(PointsToPixels(1, 108), 2);    // 1.5
  EXPECT_EQ(PointsToPixels(-1, 108), -2);  // -1.5
  EXPECT_EQ(PointsToPixels(-8, 96), -11);
  EXPECT_EQ(PointsToPixels(0, 96), 0);
  EXPECT_EQ(PointsToPixels(10, 0), -1);
  EXPECT_EQ(PointsToPixels(INT_MAX, 96), -1);
  EXPECT_EQ(PointsToPixels(INT_MAX, 72), INT_MAX);
}

TEST(Windows1252, HighBytesMapToTheirCodePointsAndGapsToNothing) {
  EXPECT_EQ(Windows1252ToUnicode(0x41), U'A');
  EXPECT_EQ(Windows1252ToUnicode(0x80), U'\u20AC');
  EXPECT_EQ(Windows1252ToUnicode(0x85), U'\u2026');
  EXPECT_EQ(Windows1252ToUnicode(0x8A), U'\u0160');
  EXPECT_EQ(Windows1252ToUnicode(0x93), U'\u201C');
  EXPECT_EQ(Windows1252ToUnicode(0x99), U'\u2122');
  EXPECT_EQ(Windows1252ToUnicode(0x9F), U'\u0178');
  EXPECT_EQ(Windows1252ToUnicode(0xA0), U'\u00A0');
  EXPECT_EQ(Windows1252ToUnicode(0xFF), U'\u00FF');
  for (std::uint8_t gap : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
    EXPECT_EQ(Windows1252ToUnicode(gap), 0u) << int{gap};
}

TEST(Windows1252, UndefinedBytesDrawTheNotdefGlyph) {
  auto font = MustOpen("Arial", 20, 0);
  ASSERT_NE(font, nullptr);
  const GlyphCoverage& notdef = font->Glyph(0x81);
  ASSERT_TRUE(notdef.valid);
  EXPECT_GT(notdef.advance, 0);
  EXPECT_GT(GlyphInk(notdef), 0);  // Liberation's .notdef is a box
  for (std::uint8_t gap : {0x8D, 0x8F, 0x90, 0x9D}) {
    const GlyphCoverage& g = font->Glyph(gap);
    EXPECT_EQ(g.grey, notdef.grey) << int{gap};
    EXPECT_EQ(g.advance, notdef.advance);
  }
  // Defined high bytes are real glyphs, not the box.
  const GlyphCoverage& euro = font->Glyph(0x80);
  EXPECT_TRUE(euro.valid);
  EXPECT_NE(euro.grey, notdef.grey);
  EXPECT_NE(font->Glyph(0x8A).grey, font->Glyph('S').grey);  // Š has a caron
}

// ---------------------------------------------------------------------------

TEST(FontDrawing, BoldHasMoreInkThanRegular) {
  for (int em : {11, 20}) {
    auto regular = MustOpen("Arial", em, 0);
    auto bold = MustOpen("Arial", em, FontStyleBold);
    ASSERT_TRUE(regular && bold);
    EXPECT_GT(GlyphInk(bold->Glyph('A')), GlyphInk(regular->Glyph('A')) * 5 / 4) << em;
  }
}

TEST(FontDrawing, GreyIsAntialiasedAndMonoIsTwoLevel) {
  auto font = MustOpen("Times New Roman", 16, FontStyleItalic);
  ASSERT_NE(font, nullptr);
  Canvas grey(80, font->CellHeight());
  Canvas mono(80, font->CellHeight());
  ASSERT_TRUE(grey.Draw(*font, "Wag", 2));
  ASSERT_TRUE(mono.DrawMono(*font, "Wag", 2));
  EXPECT_TRUE(
      std::any_of(grey.bytes.begin(), grey.bytes.end(), [](int v) { return v > 0 && v < 255; }));
  EXPECT_TRUE(
      std::all_of(mono.bytes.begin(), mono.bytes.end(), [](int v) { return v == 0 || v == 255; }));
  EXPECT_GT(mono.Ink(), 0);
}

TEST(FontDrawing, ItalicHOverhangsItsAdvanceBoxInMono) {
  struct Case {
    const char* name;
    int em;
    int style;
    bool overhangs;
  };
  const Case cases[] = {
      {"Times New Roman", 20, FontStyleItalic, true},
      {"Times New Roman", 32, FontStyleItalic, true},
      {"Times New Roman", 20, 0, false},
      {"Times New Roman", 32, 0, false},
      {"Arial", 20, 0, false},
      {"Courier New", 20, 0, false},
  };
  for (const Case& c : cases) {
    auto font = MustOpen(c.name, c.em, c.style);
    ASSERT_NE(font, nullptr);
    const int origin = 10;
    Canvas mono(origin + font->Advance('H') + 20, font->CellHeight());
    ASSERT_TRUE(mono.DrawMono(*font, "H", origin));
    EXPECT_EQ(mono.InkRight() > origin + font->Advance('H'), c.overhangs)
        << c.name << " " << c.em << " " << c.style;
  }
  // The synthetic slant overhangs too (grey: that is where it shows at this size).
  auto upright = MustOpen("DejaVu Sans Light", 40, 0);
  auto slanted = MustOpen("DejaVu Sans Light", 40, FontStyleItalic);
  ASSERT_TRUE(upright && slanted);
  for (const auto* f : {upright.get(), slanted.get()}) {
    Canvas grey(10 + f->Advance('H') + 20, f->CellHeight());
    grey.Draw(*f, "H", 10);
    EXPECT_EQ(grey.InkRight() > 10 + f->Advance('H'), f == slanted.get());
  }
}

TEST(FontDrawing, CachedGlyphsComposeToExactlyWhatDrawTextDraws) {
  struct Case {
    const char* name;
    int em;
    int style;
    const char* text;
    int originX;
    int width;
    int heightCut;
  };
  const Case cases[] = {
      // Glyphs overlapping each other, with room all round.
      {"Times New Roman", 48, FontStyleItalic, "fjW_", 20, 200, 0},
      {"Times New Roman", 48, FontStyleItalic | FontStyleUnderline | FontStyleStrikeOut, "fjW_", 20,
       200, 0},
      // Ink past every edge of the buffer: j left of x = 0, the synthetic
      // bold A-ring above the cell top, descenders below a short buffer, the
      // end of the text past its right edge.
      {"DejaVu Sans Light", 48, FontStyleBold | FontStyleItalic,
       "j\xC5"
       "fj|W_",
       3, 150, 6},
      {"DejaVu Sans Light", 48, FontStyleBold | FontStyleItalic | FontStyleUnderline,
       "j\xC5"
       "fj|W_",
       3, 150, 6},
  };
  for (const Case& c : cases) {
    auto font = MustOpen(c.name, c.em, c.style);
    ASSERT_NE(font, nullptr);
    const int height = font->CellHeight() - c.heightCut;
    const Overhangs o = MeasureOverhangs(*font, c.text, c.originX, c.width, height);
    EXPECT_TRUE(o.overlap) << c.name;
    if (c.heightCut > 0) {
      EXPECT_TRUE(o.left && o.top && o.right && o.bottom) << c.name;
    }
    Canvas drawn(c.width, height);
    ASSERT_TRUE(drawn.Draw(*font, c.text, c.originX));
    const Canvas composed = ComposeFromCache(*font, c.text, c.originX, c.width, height);
    EXPECT_EQ(drawn.bytes, composed.bytes) << c.name << " style " << c.style;
    EXPECT_GT(drawn.Ink(), 0);
    EXPECT_EQ(font->LineRects(c.originX, 10).size(),
              static_cast<std::size_t>(((c.style & FontStyleUnderline) != 0) +
                                       ((c.style & FontStyleStrikeOut) != 0)));
  }
}

TEST(FontDrawing, ClippedDrawingIsACropOfTheWholeText) {
  auto font =
      MustOpen("Times New Roman", 24, FontStyleItalic | FontStyleUnderline | FontStyleStrikeOut);
  ASSERT_NE(font, nullptr);
  const std::string_view text = "fjWg_";
  const int margin = 100;
  const int cell = font->CellHeight();
  Canvas whole(margin + font->TextWidth(text) + margin, cell);
  ASSERT_TRUE(whole.Draw(*font, text, margin));
  ASSERT_GT(whole.Ink(), 0);
  for (int originX : {-60, -7, -1, 0, 3}) {
    for (int width : {1, 2, 9, 40, 90}) {
      for (int height : {1, 7, cell}) {
        // Exact-size buffers with sentinel padding: AddressSanitizer and the
        // sentinels catch any write outside the rows.
        Canvas part(width, height, 3);
        ASSERT_TRUE(part.Draw(*font, text, originX));
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            ASSERT_EQ(part.At(x, y), whole.At(margin - originX + x, y))
                << "origin " << originX << " size " << width << "x" << height << " at " << x << ","
                << y;
          }
          if (y + 1 < height) {
            for (int p = 0; p < 3; ++p) ASSERT_EQ(part.At(width + p, y), 0xAB);
          }
        }
      }
    }
  }
}

TEST(FontDrawing, OriginsFarOutsideTheBufferDrawNothing) {
  auto font = MustOpen("Arial", 20, FontStyleUnderline | FontStyleStrikeOut);
  ASSERT_NE(font, nullptr);
  for (int originX : {INT_MIN, INT_MIN + 5, -100000, 100000, INT_MAX - 5, INT_MAX}) {
    Canvas c(30, font->CellHeight());
    EXPECT_TRUE(c.Draw(*font, "WWWW", originX)) << originX;
    EXPECT_TRUE(c.DrawMono(*font, "WWWW", originX)) << originX;
    EXPECT_EQ(c.Ink(), 0) << originX;
  }
}

TEST(FontDrawing, BadBuffersAreRefusedAndEmptyOnesAccepted) {
  auto font = MustOpen("Arial", 11, 0);
  ASSERT_NE(font, nullptr);
  std::vector<std::uint8_t> buf(100, 0);
  EXPECT_FALSE(font->DrawText("A", 0, nullptr, 10, 10, 10));
  EXPECT_FALSE(font->DrawText("A", 0, buf.data(), 10, 10, 9));
  EXPECT_FALSE(font->DrawText("A", 0, buf.data(), -1, 10, 10));
  EXPECT_FALSE(font->DrawTextMono("A", 0, buf.data(), 10, -1, 10));
  EXPECT_TRUE(font->DrawText("A", 0, nullptr, 0, 0, 0));
  EXPECT_TRUE(font->DrawText("", 0, buf.data(), 10, 10, 10));
  EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](int v) { return v == 0; }));
}

TEST(FontDrawing, CoverageCombinesByMaxWithWhatTheBufferHolds) {
  auto font = MustOpen("Arial", 20, 0);
  ASSERT_NE(font, nullptr);
  Canvas black(40, font->CellHeight());
  Canvas grey(40, font->CellHeight(), 0, 100);
  black.Draw(*font, "Ag", 1);
  grey.Draw(*font, "Ag", 1);
  for (std::size_t i = 0; i < black.bytes.size(); ++i) {
    ASSERT_EQ(grey.bytes[i], std::max<std::uint8_t>(black.bytes[i], 100)) << i;
  }
}

TEST(FontDrawing, UnderlineAddsAFullBarBelowTheBaseline) {
  for (const char* name : {"Arial", "Times New Roman", "Courier New"}) {
    auto plain = MustOpen(name, 20, 0);
    auto lined = MustOpen(name, 20, FontStyleUnderline);
    ASSERT_TRUE(plain && lined);
    const int origin = 3;
    const int right = origin + lined->TextWidth("H H");
    Canvas a(right + 5, plain->CellHeight());
    Canvas b(right + 5, lined->CellHeight());
    a.Draw(*plain, "H H", origin);
    b.Draw(*lined, "H H", origin);
    int barRows = 0;
    for (int y = 0; y < a.height; ++y) {
      bool changed = false;
      for (int x = 0; x < a.width; ++x) changed |= a.At(x, y) != b.At(x, y);
      if (!changed) continue;
      ++barRows;
      EXPECT_GE(y, lined->Ascent()) << name;
      for (int x = 0; x < b.width; ++x)
        EXPECT_EQ(b.At(x, y), x >= origin && x < right ? 255 : 0) << name << " " << x;
    }
    EXPECT_GE(barRows, 1) << name;
  }
}

TEST(FontDrawing, StrikeOutCrossesTheMiddleOfCapitals) {
  for (const char* name : {"Arial", "Times New Roman", "Courier New"}) {
    auto plain = MustOpen(name, 20, 0);
    auto struck = MustOpen(name, 20, FontStyleStrikeOut);
    ASSERT_TRUE(plain && struck);
    const int right = struck->TextWidth("H H");
    Canvas a(right + 5, plain->CellHeight());
    Canvas b(right + 5, struck->CellHeight());
    a.Draw(*plain, "H H", 0);
    b.Draw(*struck, "H H", 0);
    const GlyphCoverage& h = plain->Glyph('H');
    int barRows = 0;
    for (int y = 0; y < a.height; ++y) {
      bool changed = false;
      for (int x = 0; x < a.width; ++x) changed |= a.At(x, y) != b.At(x, y);
      if (!changed) continue;
      ++barRows;
      // Strictly inside the capital's height, nearer its middle than its ends.
      EXPECT_GT(y, h.top + h.rows / 5) << name;
      EXPECT_LT(y, h.top + h.rows * 4 / 5) << name;
      EXPECT_EQ(b.At(right / 2, y), 255) << name;  // the space between the H's is struck too
    }
    EXPECT_GE(barRows, 1) << name;
  }
}

TEST(FontDrawing, LinesStayInsideTheCell) {
  for (const char* name : {"Arial", "Times New Roman", "Courier New", "DejaVu Sans"}) {
    for (int em = 6; em <= 40; ++em) {
      auto font = MustOpen(name, em, FontStyleUnderline | FontStyleStrikeOut);
      ASSERT_NE(font, nullptr);
      for (const PixelRect& r : font->LineRects(0, 10)) {
        EXPECT_GE(r.height, 1);
        EXPECT_GE(r.top, 0) << name << " " << em;
        EXPECT_LE(r.top + r.height, font->CellHeight()) << name << " " << em;
        EXPECT_EQ(r.width, 10);
      }
    }
  }
  auto font = MustOpen("Arial", 12, FontStyleUnderline);
  ASSERT_NE(font, nullptr);
  EXPECT_TRUE(font->LineRects(0, 0).empty());
}

// ---------------------------------------------------------------------------

TEST(FontLifetime, FontsOutliveShutdownAndOpeningStartsAgain) {
  auto font = MustOpen("Arial", 14, 0);
  ASSERT_NE(font, nullptr);
  Canvas before(60, font->CellHeight());
  before.Draw(*font, "Rg", 2);
  ShutdownPlatformFonts();
  Canvas after(60, font->CellHeight());
  EXPECT_TRUE(after.Draw(*font, "Rg", 2));
  EXPECT_EQ(after.bytes, before.bytes);
  auto again = MustOpen("Arial", 14, 0);
  ASSERT_NE(again, nullptr);
  Canvas reopened(60, again->CellHeight());
  reopened.Draw(*again, "Rg", 2);
  EXPECT_EQ(reopened.bytes, before.bytes);
  font.reset();
  ShutdownPlatformFonts();
  EXPECT_EQ(ListFontFamilies().empty(), false);
}

TEST(FontEnvironment, FreeTypeAndFontconfigSettingsDoNotChangePixels) {
  const std::uint64_t here = RenderDigest();
  ASSERT_NE(here, 0u);

  // A user configuration asking for every rendering change fontconfig knows.
  const std::filesystem::path conf = std::filesystem::path(::testing::TempDir()) /
                                     ("kiln_platform_fonts_" + std::to_string(getpid()) + ".conf");
  ASSERT_TRUE(std::filesystem::exists("/etc/fonts/fonts.conf"));
  {
    std::ofstream out(conf);
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
           "<fontconfig>\n  <include ignore_missing=\"no\">/etc/fonts/fonts.conf</include>\n"
           "  <match target=\"font\">\n"
           "    <edit name=\"antialias\" mode=\"assign\"><bool>false</bool></edit>\n"
           "    <edit name=\"hinting\" mode=\"assign\"><bool>false</bool></edit>\n"
           "    <edit name=\"hintstyle\" mode=\"assign\"><const>hintslight</const></edit>\n"
           "    <edit name=\"autohint\" mode=\"assign\"><bool>true</bool></edit>\n"
           "    <edit name=\"rgba\" mode=\"assign\"><const>rgb</const></edit>\n"
           "    <edit name=\"lcdfilter\" mode=\"assign\"><const>lcdlight</const></edit>\n"
           "    <edit name=\"embolden\" mode=\"assign\"><bool>false</bool></edit>\n"
           "    <edit name=\"embeddedbitmap\" mode=\"assign\"><bool>true</bool></edit>\n"
           "  </match>\n</fontconfig>\n";
    ASSERT_TRUE(out.good());
  }
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command =
      "KILN_PLATFORM_DIGEST_CHILD=1 "
      "FREETYPE_PROPERTIES='truetype:interpreter-version=35 cff:no-stem-darkening=0 "
      "autofitter:no-stem-darkening=0' FONTCONFIG_FILE='" +
      conf.string() + "' '" + self + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  std::array<char, 256> chunk{};
  while (std::fgets(chunk.data(), static_cast<int>(chunk.size()), pipe) != nullptr)
    output += chunk.data();
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << output;
  char expected[64];
  std::snprintf(expected, sizeof expected, "render-digest: %016llx\n",
                static_cast<unsigned long long>(here));
  EXPECT_EQ(output, expected);  // also proves the child printed no warning
  std::filesystem::remove(conf);
}

}  // namespace
