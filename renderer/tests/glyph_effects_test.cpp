#include "renderer/glyph_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/fonts.h"
#include "raster/coverage_blur.h"
#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/sheet_build.h"
#include "renderer/tests/composited_over.h"

namespace {

class GlyphEffectsTest : public ::testing::Test {
 protected:
  GlyphEffectsTest() { rendererSettings = RendererSettings{}; }
  ~GlyphEffectsTest() override {
    ShutdownImages();
    ShutdownFonts();
  }
  // The face font made from the settings at `points`.
  const PlatformFont& Face(int points) {
    rendererSettings.fontSize = points;
    MakeFont(FaceFont, "Arial", points, rendererSettings.styleBits);
    return *FontOfHandle(FontHandle(FaceFont));
  }
};

int At(const CoverageBox& b, int x, int y) {
  const bool in = x >= b.x && y >= b.y && x < b.x + b.width && y < b.y + b.height;
  return in ? b.Row(y - b.y)[x - b.x] : 0;
}

// The outline reaches W pixels past the face, not W + 2, at the four edges
// of the stem of an "I"; and wherever the face has ink, walking out across
// rows and columns, the W - 1 pixels after it are fully outline, so the
// face drawn over it leaves a ring that wide (a bevel or a miter past its
// limit cuts corners short).
TEST_F(GlyphEffectsTest, OutlineReachesItsWidthAndLeavesARingAroundTheFace) {
  for (const auto& [width, join, style] : {std::tuple{1, StrokeJoin::Round, 0}, {2, StrokeJoin::Round, FontBold},
                                           {5, StrokeJoin::Round, FontItalic}, {2, StrokeJoin::Miter, 0}, {3, StrokeJoin::Bevel, 0}}) {
    rendererSettings.styleBits = style;
    rendererSettings.effects.outlineWidth = width, rendererSettings.effects.outlineJoin = join;
    const PlatformFont& face = Face(20);
    const CoverageBox stem = LaidCoverage(face, 0, U"I"), ring = OutlineCoverage(face, U"I");
    const CoverageInk ink = InkOfCoverage(stem);
    const int midY = (ink.y0 + ink.y1) / 2;
    int left = INT_MAX, right = INT_MIN;
    for (int x = ink.x0; x < ink.x1; ++x)
      if (At(stem, x, midY) >= 128) left = std::min(left, x), right = std::max(right, x);
    const int midX = (left + right) / 2;
    for (const auto& [x, y, dx, dy] : {std::tuple{left, midY, -1, 0}, {right, midY, 1, 0}, {midX, ink.y0, 0, -1}, {midX, ink.y1 - 1, 0, 1}}) {
      if (style & FontItalic) break;  // a slanted stem has no straight edge
      EXPECT_GE(At(ring, x + width * dx, y + width * dy), 128) << width << " at " << dx << "," << dy;
      EXPECT_EQ(At(ring, x + (width + 2) * dx, y + (width + 2) * dy), 0) << width << " at " << dx << "," << dy;
    }
    for (const char32_t c : join == StrokeJoin::Round ? std::u32string(U"IOA@gW%") : U"") {
      const CoverageBox glyph = LaidCoverage(face, 0, std::u32string_view(&c, 1)), outline = OutlineCoverage(face, std::u32string_view(&c, 1));
      for (int y = glyph.y; y < glyph.y + glyph.height; ++y)
        for (int x = glyph.x; x < glyph.x + glyph.width; ++x)
          for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            if (At(glyph, x, y) < 128 || At(glyph, x + dx, y + dy) >= 128) continue;
            for (int k = 1; k < width; ++k)
              ASSERT_GE(At(outline, x + k * dx, y + k * dy), 128) << char(c) << " " << width << " from " << x << "," << y;
          }
    }
  }
}

// The blur is the Gaussian of standard deviation R / 2 within 2 per pixel,
// keeps the total coverage within 1% and reaches no further than three
// standard deviations past the shadow's copies.
TEST_F(GlyphEffectsTest, BlurIsTheGaussianKeepingTheInkWithinThreeSigma) {
  RendererSettings& s = rendererSettings;
  s.shadowOffsetX = 2, s.shadowOffsetY = -1;
  for (const auto& [radius, count] : {std::pair{1, 1}, {4, 2}, {4, 1}, {9, 3}}) {
    s.effects.shadowBlur = radius;
    const PlatformFont& shadow = Face(20);
    for (const char32_t c : std::u32string(U"I@W.")) {
      const std::u32string_view text(&c, 1);
      const CoverageBox sharp = UnionOfSteps(LaidCoverage(shadow, 0, text), count);
      const CoverageBox soft = SoftShadowCoverage(shadow, 0, text, count);
      EXPECT_NEAR(double(soft.Total()), double(sharp.Total()), sharp.Total() / 100.0) << char(c) << " " << radius;
      const CoverageInk from = InkOfCoverage(sharp), to = InkOfCoverage(soft);
      const int reach = radius * 3 / 2, dx = s.shadowOffsetX + 1, dy = s.shadowOffsetY + 1;
      EXPECT_TRUE(to.x0 >= from.x0 + dx - reach && to.y0 >= from.y0 + dy - reach && to.x1 <= from.x1 + dx + reach &&
                  to.y1 <= from.y1 + dy + reach) << char(c) << " " << radius;
      // The sampled Gaussian, normalised over far more than three sigma.
      const int far = 3 * radius + 2;
      std::vector<double> g(2 * far + 1);
      double sum = 0;
      for (int k = -far; k <= far; ++k) sum += g[k + far] = std::exp(-2.0 * k * k / (radius * radius));
      int worst = 0;
      for (int y = soft.y - 2; y < soft.y + soft.height + 2; ++y)
        for (int x = soft.x - 2; x < soft.x + soft.width + 2; ++x) {
          double exact = 0;
          for (int v = 0; v < sharp.height; ++v)
            for (int u = 0; u < sharp.width; ++u) {
              const int ex = x - dx - sharp.x - u, ey = y - dy - sharp.y - v;
              if (std::max(std::abs(ex), std::abs(ey)) <= far) exact += sharp.Row(v)[u] * g[ex + far] * g[ey + far] / (sum * sum);
            }
          worst = std::max(worst, int(std::ceil(std::abs(exact - At(soft, x, y)))));
        }
      EXPECT_LE(worst, 2) << char(c) << " " << radius;
    }
  }
}

// Colour of pixel (x, y) of a 24-bit image, as 0x00BBGGRR.
std::uint32_t PixelAt(const PixelStore& image, int x, int y) {
  const std::uint8_t* p = image.Pixel(x, y);
  return p[2] | p[1] << 8 | std::uint32_t{p[0]} << 16;
}

// Row y of the line: top + (bottom - top) x y / (H - 1) in each channel,
// rounded; top above the line, bottom below it.
std::uint32_t Expected(const LineGradient& g, int y, int h) {
  const double t = std::clamp(y / double(h - 1), 0.0, 1.0);
  std::uint32_t colour = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int top = (g.top >> shift) & 0xFF, bottom = (g.bottom >> shift) & 0xFF;
    colour |= std::uint32_t(std::lround(top + (bottom - top) * t)) << shift;
  }
  return colour;
}

// In a sheet, where the face's coverage is full each row has the face's
// gradient colour, and where only the outline's is, the outline's gradient.
TEST_F(GlyphEffectsTest, GradientsColourEachRowOfTheLine) {
  SheetEffects& e = rendererSettings.effects;
  e.outlineWidth = 2;
  e.faceGradient = {true, 0x0060C0FF, 0x000060C0};
  e.outlineGradient = {true, 0x00000000, 0x00FF8040};
  SheetRequest fitted;
  fitted.fitPadding = 1;
  const int n = BuildCharacterSheet(false, 1, "A", fitted);
  ASSERT_GT(n, 0);
  const PlatformFont& face = *FontOfHandle(FontHandle(FaceFont));
  const SheetLayout fit = FittedSheetLayout(false, 1, 1);
  const PixelStore& sheet = *ImagePixels(ImageHandle(SheetImage));
  int checked = 0;
  for (char32_t c = 33; c <= 126; ++c) {
    const CoverageBox glyph = LaidCoverage(face, 0, std::u32string_view(&c, 1)), outline = OutlineCoverage(face, std::u32string_view(&c, 1));
    const int ox = int(c - 32) % 10 * n + fit.originX, oy = int(c - 32) / 10 * n + fit.originY;
    for (int y = outline.y; y < outline.y + outline.height; ++y)
      for (int x = outline.x; x < outline.x + outline.width; ++x) {
        const LineGradient* g = At(glyph, x, y) == 255 ? &e.faceGradient : At(glyph, x, y) == 0 && At(outline, x, y) == 255 ? &e.outlineGradient : nullptr;
        if (!g) continue;
        ++checked;
        ASSERT_EQ(PixelAt(sheet, ox + x, oy + y), Expected(*g, y, face.CellHeight())) << char(c) << " at " << x << "," << y;
      }
  }
  EXPECT_GT(checked, 1000);
}

// With all three effects, a transparent sheet composited over B is the
// opaque sheet drawn on B within the shadow's bound plus one for the
// outline's layer; and every glyph's descriptor box holds all its ink and
// lies within its cell.
TEST_F(GlyphEffectsTest, TransparentSheetWithEffectsOverAColourIsTheSheetDrawnOnIt) {
  RendererSettings& s = rendererSettings;
  s.textColour = 0x40C0FF, s.shadowColour = 0x301000, s.shadowSize = 20, s.fontSize = 20;
  s.shadowOffsetX = -2, s.shadowOffsetY = 3;
  s.effects.outlineWidth = 2, s.effects.outlineColour = 0x2040A0, s.effects.shadowBlur = 4;
  s.effects.faceGradient = {true, 0x80E0FF, 0x0060C0};
  for (const auto& [count, bound, fit] : {std::tuple{1, 3, false}, {2, 4, true}}) {
    FontDescriptor font;
    SheetRequest clear, opaque;
    clear.transparent = true, clear.descriptor = &font;
    if (fit) clear.fitPadding = opaque.fitPadding = 0;
    const int n = BuildCharacterSheet(true, count, "A", clear);
    ASSERT_GT(n, 0);
    const PixelStore over = *ImagePixels(ImageHandle(SheetImage));
    for (const std::uint32_t background : {0x000000u, 0xFFFFFFu, 0x3060A0u}) {
      s.backgroundColour = background;
      ASSERT_GT(BuildCharacterSheet(true, count, "A", opaque), 0);
      EXPECT_LE(WorstDriftOver(over, *ImagePixels(ImageHandle(SheetImage)), background), bound) << "count " << count << " background " << std::hex << background;
    }
    EXPECT_EQ(font.outline, 2);
    for (const DescriptorGlyph& g : font.glyphs) {
      const SheetCell cell = SheetCellOf(static_cast<int>(g.id));
      const int cx = cell.column * n, cy = cell.row * n;
      if (fit) {
        EXPECT_TRUE(g.x >= cx && g.y >= cy && g.x + g.width <= cx + n && g.y + g.height <= cy + n) << int(g.id);
      }
      for (int y = cy; fit && y < cy + n; ++y)
        for (int x = cx; x < cx + n; ++x)
          if (over.Pixel(x, y)[3] != 0 && (x < g.x || y < g.y || x >= g.x + g.width || y >= g.y + g.height))
            FAIL() << "ink of " << int(g.id) << " outside its box at " << x << "," << y;
    }
  }
}

}  // namespace
