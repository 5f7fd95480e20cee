#include "platform/font_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

// These tests need fonts-liberation2 and fonts-dejavu-extra: the Liberation
// faces stand in for the names asked, and "DejaVu Sans Light" has no bold and
// no italic, so its styles are synthesised.

namespace {

constexpr FontFlags Plain{};
constexpr FontFlags Bold{.bold = true};
constexpr FontFlags Italic{.italic = true};
constexpr FontFlags Lined{.underline = true, .strikeOut = true};
constexpr FontFlags Everything{.bold = true, .italic = true, .underline = true, .strikeOut = true};

// The fonts these tests need are installed by the test script: a missing one
// stops the run with its name rather than failing every later line.
std::unique_ptr<PlatformFont> MustOpen(std::string_view name, int em, FontFlags flags) {
  if (auto font = OpenPlatformFont(name, em, flags)) return font;
  std::fprintf(stderr, "no font for \"%.*s\" at em %d\n", static_cast<int>(name.size()), name.data(), em);
  std::abort();
}

std::string FileName(const PlatformFont& font) { return std::filesystem::path(font.FilePath()).filename().string(); }

// A grey buffer with `pad` sentinel bytes after each row but the last.
struct Canvas {
  int width, height, pitch;
  std::vector<std::uint8_t> bytes;
  Canvas(int w, int h, int pad = 0)
      : width(w), height(h), pitch(w + pad), bytes(static_cast<std::size_t>(std::max(0, (h - 1) * (w + pad) + w))) {
    for (int y = 0; y + 1 < h; ++y) std::fill_n(bytes.begin() + y * pitch + w, pad, std::uint8_t{0xAB});
  }
  std::uint8_t& At(int x, int y) { return bytes[static_cast<std::size_t>(y * pitch + x)]; }
  bool Draw(const PlatformFont& font, std::u32string_view text, int originX, bool mono = false) {
    return mono ? font.DrawTextMono(text, originX, bytes.data(), width, height, pitch)
                : font.DrawText(text, originX, bytes.data(), width, height, pitch);
  }
  long Ink() const { return std::accumulate(bytes.begin(), bytes.end(), 0L); }
};

long GlyphInk(const GlyphCoverage& g) { return std::accumulate(g.grey.begin(), g.grey.end(), 0L); }

// Pixels of grey and 1-bit text in bytecode-hinted and synthetic faces.
std::vector<std::uint8_t> RenderedPixels() {
  std::vector<std::uint8_t> pixels;
  const std::u32string_view text = U"Hamburgefonstiv @Wg\u20AC";
  for (const auto& [name, em, flags] : {std::tuple{"Arial", 11, Plain}, {"Arial", 13, Bold},
                                        {"Times New Roman", 16, Italic}, {"Courier New", 12, Lined},
                                        {"DejaVu Sans Light", 15, Everything}}) {
    auto font = MustOpen(name, em, flags);
    for (bool mono : {false, true}) {
      Canvas c(font->TextWidth(text) + 8, font->CellHeight());
      EXPECT_TRUE(c.Draw(*font, text, 4, mono));
      pixels.insert(pixels.end(), c.bytes.begin(), c.bytes.end());
    }
  }
  return pixels;
}

TEST(FontMatching, NamesPickTheirStandInFacesAndUnknownNamesAFallback) {
  for (const auto& [asked, flags, family, file] :
       {std::tuple{"Arial", Plain, "Liberation Sans", "LiberationSans-Regular.ttf"},
        {"arial", Bold, "Liberation Sans", "LiberationSans-Bold.ttf"},
        {"Times New Roman", Italic, "Liberation Serif", "LiberationSerif-Italic.ttf"},
        {"Courier New", FontFlags{.bold = true, .italic = true}, "Liberation Mono", "LiberationMono-BoldItalic.ttf"}}) {
    auto font = MustOpen(asked, 12, flags);
    EXPECT_EQ(font->FamilyName(), family);
    EXPECT_EQ(FileName(*font), file);
    EXPECT_FALSE(font->IsSyntheticBold() || font->IsSyntheticItalic() || font->IsFallback()) << asked;
  }
  for (std::string_view name : {"Zzqx No Such Face", ""}) {
    Canvas c(40, 13);
    const auto fallback = MustOpen(name, 11, Plain);
    EXPECT_TRUE(fallback->IsFallback() && c.Draw(*fallback, U"Hi", 0) && c.Ink() > 0) << name;
  }
  // fontconfig takes NUL-terminated names.
  EXPECT_EQ(MustOpen(std::string_view("Arial\0Bogus", 11), 11, Plain)->FamilyName(), "Liberation Sans");
  EXPECT_FALSE(OpenPlatformFont("Arial", 0, Plain) || OpenPlatformFont("Arial", FontMaxEmPixels + 1, Plain));
}

TEST(FontMatching, AFaceWithoutBoldOrItalicIsEmboldenedAndSlanted) {
  auto light = MustOpen("DejaVu Sans Light", 20, Plain), bold = MustOpen("DejaVu Sans Light", 20, Bold),
       italic = MustOpen("DejaVu Sans Light", 20, Italic);
  EXPECT_TRUE(bold->IsSyntheticBold() && !bold->IsSyntheticItalic());
  EXPECT_TRUE(italic->IsSyntheticItalic() && !italic->IsSyntheticBold());
  EXPECT_GT(GlyphInk(bold->Glyph(U'H')), GlyphInk(light->Glyph(U'H')) * 5 / 4);
  EXPECT_GT(bold->Advance(U'H'), light->Advance(U'H'));
  EXPECT_EQ(italic->Advance(U'H'), light->Advance(U'H'));
  // The slant moves the stem's top right and leaves its foot in place.
  const GlyphCoverage &upright = light->Glyph(U'l'), &slanted = italic->Glyph(U'l');
  EXPECT_GE(slanted.left + slanted.width, upright.left + upright.width + 2);
  EXPECT_NEAR(slanted.left, upright.left, 1);
}

TEST(FontMetrics, CellIsWindowsAscentPlusDescentAndWidthTheSumOfAdvances) {
  auto sans11 = MustOpen("Arial", 11, Plain);
  EXPECT_EQ(sans11->Ascent(), 10);
  EXPECT_EQ(sans11->CellHeight(), 13);
  EXPECT_EQ(sans11->TextExtent(U"").height, 13);
  auto system = OpenSystemFont();
  EXPECT_EQ(FileName(*system), "LiberationSans-Bold.ttf");
  EXPECT_EQ(system->CellHeight(), 16);

  std::u32string all(300, U'\0');
  std::iota(all.begin(), all.end(), U'\0');
  all += U"\u20AC\u2122\u0160";
  auto font = MustOpen("Times New Roman", 13, Everything);
  EXPECT_EQ(font->TextWidth(all),
            std::accumulate(all.begin(), all.end(), 0, [&](int sum, char32_t c) { return sum + font->Advance(c); }));
  EXPECT_EQ(font->TextWidth(U"AV"), font->Advance(U'A') + font->Advance(U'V')) << "no kerning";
}

TEST(FontMetrics, PointsRoundHalfAwayFromZero) {
  for (const auto& [points, dpi, pixels] : {std::tuple{8, 96, 11}, {8, 120, 13}, {1, 108, 2}, {-1, 108, -2},
                                            {0, 96, 0}, {10, 0, -1}, {INT_MAX, 96, -1}, {INT_MAX, 72, INT_MAX}}) {
    EXPECT_EQ(PointsToPixels(points, dpi), pixels) << points << " pt at " << dpi;
  }
}

TEST(FontDrawing, CodePointZeroIsTheMissingGlyphBoxAndOthersAreRealGlyphs) {
  auto font = MustOpen("Arial", 20, Plain);
  const GlyphCoverage& box = font->Glyph(0);
  EXPECT_TRUE(box.valid && GlyphInk(box) > 0);
  EXPECT_NE(font->Glyph(U'\u20AC').grey, box.grey);
  EXPECT_NE(font->Glyph(U'\u0160').grey, font->Glyph(U'S').grey);
  EXPECT_EQ(&font->Glyph(U'\u20AC'), &font->Glyph(U'\u20AC')) << "rendered once and kept";
}

TEST(FontDrawing, ClippedDrawingIsACropOfTheWholeTextAndNeverWritesOutside) {
  auto font = MustOpen("Times New Roman", 24, Everything);
  const std::u32string_view text = U"fjWg_";
  const int margin = 100, cell = font->CellHeight();
  Canvas whole(margin + font->TextWidth(text) + margin, cell);
  ASSERT_TRUE(whole.Draw(*font, text, margin));
  for (int originX : {-60, -7, 0, 3}) {
    for (int width : {1, 9, 90}) {
      for (int height : {1, 7, cell}) {
        Canvas part(width, height, 3);
        ASSERT_TRUE(part.Draw(*font, text, originX));
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) ASSERT_EQ(part.At(x, y), whole.At(margin - originX + x, y));
          for (int p = 0; y + 1 < height && p < 3; ++p) ASSERT_EQ(part.At(width + p, y), 0xAB);
        }
      }
    }
  }
  for (int originX : {INT_MIN, -100000, INT_MAX - 5, INT_MAX}) {
    Canvas far(30, cell);
    EXPECT_TRUE(far.Draw(*font, text, originX) && far.Draw(*font, text, originX, true));
    EXPECT_EQ(far.Ink(), 0) << originX;
  }
  std::vector<std::uint8_t> buffer(100, 0);
  EXPECT_FALSE(font->DrawText(U"A", 0, nullptr, 10, 10, 10) || font->DrawText(U"A", 0, buffer.data(), 10, 10, 9));
  EXPECT_TRUE(font->DrawText(U"A", 0, nullptr, 0, 0, 0));
}

TEST(FontDrawing, LinesAreFullBarsInsideTheCellAtTheFacesPositions) {
  for (const char* name : {"Arial", "Times New Roman", "Courier New", "DejaVu Sans"}) {
    for (int em = 6; em <= 40; ++em) {
      auto font = MustOpen(name, em, Lined);
      const auto bars = font->LineRects(0, 10);
      ASSERT_EQ(bars.size(), 2u);
      for (const PixelRect& r : bars) EXPECT_TRUE(r.height >= 1 && r.top >= 0 && r.top + r.height <= font->CellHeight());
      // The underline below the baseline, the strike-out inside a capital.
      const GlyphCoverage& h = font->Glyph(U'H');
      EXPECT_GE(bars[0].top, font->Ascent() - 1) << name << " " << em;
      EXPECT_TRUE(bars[1].top > h.top && bars[1].top < h.top + h.rows) << name << " " << em;
    }
  }
  EXPECT_TRUE(MustOpen("Arial", 12, Lined)->LineRects(0, 0).empty());
}

TEST(FontDrawing, MonoIsTwoLevelAndAnItalicHOverhangsItsAdvance) {
  for (const auto& [name, em, flags, overhangs] :
       {std::tuple{"Times New Roman", 20, Italic, true}, {"Times New Roman", 32, Italic, true},
        {"Times New Roman", 20, Plain, false}, {"Arial", 20, Plain, false}}) {
    auto font = MustOpen(name, em, flags);
    Canvas mono(10 + font->Advance(U'H') + 20, font->CellHeight()), upToAdvance(10 + font->Advance(U'H'), mono.height);
    ASSERT_TRUE(mono.Draw(*font, U"H", 10, true) && upToAdvance.Draw(*font, U"H", 10, true));
    EXPECT_TRUE(std::all_of(mono.bytes.begin(), mono.bytes.end(), [](int v) { return v == 0 || v == 255; }));
    EXPECT_EQ(mono.Ink() > upToAdvance.Ink(), overhangs) << name << " " << em;
  }
}

// The amounts are what HarfBuzz's layout of each pair gives with its default
// features. A soft hyphen and a grapheme joiner take no room in a layout: not
// kerning.
TEST(FontKerning, PairsAreWhatHarfBuzzLayoutGives) {
  const std::u32string_view chars = U"HAVTYo\u00AD\u034F";
  auto sans = MustOpen("Liberation Sans", 32, Plain);
  const std::vector<KerningPair> pairs = sans->KerningPairs(chars);
  for (const auto& [text, pixels] : {std::pair{U"AV", -2}, {U"To", -4}, {U"Yo", -3}}) {
    const KerningPair pair{text[0], text[1], pixels};
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), pair), 1) << static_cast<char>(text[0]);
  }
  auto position = [&chars](const KerningPair& p) { return std::pair{chars.find(p.first), chars.find(p.second)}; };
  EXPECT_TRUE(std::is_sorted(pairs.begin(), pairs.end(), [&](auto& a, auto& b) { return position(a) < position(b); }));
  for (const KerningPair& p : pairs) {  // none with H, U+00AD or U+034F, and none of 0
    const auto [first, second] = position(p);
    EXPECT_TRUE(std::min(first, second) > 0 && std::max(first, second) < 6 && p.pixels != 0) << first << " " << second;
  }
  std::u32string many;  // pairs are found however far into a long list they come
  for (char32_t c = 0x100; many.size() < 1000; ++c)
    if (sans->HasGlyph(c)) many += c;
  const std::vector<KerningPair> late = sans->KerningPairs(many + U"AV");
  EXPECT_EQ(std::count(late.begin(), late.end(), KerningPair{U'A', U'V', -2}), 1);
  EXPECT_TRUE(MustOpen("DejaVu Sans Mono", 32, Plain)->KerningPairs(chars).empty());
  const std::vector<KerningPair> light = MustOpen("DejaVu Sans Light", 32, Plain)->KerningPairs(chars);
  EXPECT_TRUE(!light.empty() && MustOpen("DejaVu Sans Light", 32, Everything)->KerningPairs(chars) == light);
}

// Fonts outlive a shutdown; those opened after it read the user's FreeType and
// fontconfig settings anew, which must not change a sheet's pixels.
TEST(FontLifetime, FontsOutliveShutdownAndAUsersSettingsDoNotChangePixels) {
  const std::vector<std::uint8_t> here = RenderedPixels();
  const auto kept = MustOpen("Arial", 14, Plain);
  Canvas before(60, 20), after(60, 20);
  before.Draw(*kept, U"Rg", 2);
  const std::filesystem::path conf =
      std::filesystem::path(::testing::TempDir()) / ("kiln_fonts_" + std::to_string(getpid()) + ".conf");
  {
    std::ofstream out(conf);
    out << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
           "<include ignore_missing=\"no\">/etc/fonts/fonts.conf</include>\n<match><test name=\"family\"><string>Kiln"
           "</string></test><edit name=\"family\" mode=\"assign\"><string>DejaVu Sans Mono</string></edit></match>\n"
           "<match target=\"font\">\n";
    for (const char* edit : {"antialias\"><bool>false</bool>", "hinting\"><bool>false</bool>",
                             "hintstyle\"><const>hintslight</const>", "autohint\"><bool>true</bool>",
                             "rgba\"><const>rgb</const>", "lcdfilter\"><const>lcdlight</const>",
                             "embeddedbitmap\"><bool>true</bool>"}) {
      out << "<edit mode=\"assign\" name=\"" << edit << "</edit>\n";
    }
    out << "</match>\n</fontconfig>\n";
    ASSERT_TRUE(out.good());
  }
  setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  setenv("FREETYPE_PROPERTIES",
         "truetype:interpreter-version=35 cff:no-stem-darkening=0 autofitter:no-stem-darkening=0", 1);
  ShutdownPlatformFonts();
  EXPECT_TRUE(after.Draw(*kept, U"Rg", 2) && after.bytes == before.bytes);
  EXPECT_EQ(MustOpen("Kiln", 12, Plain)->FamilyName(), "DejaVu Sans Mono") << "the configuration is in force";
  EXPECT_TRUE(RenderedPixels() == here);
  unsetenv("FONTCONFIG_FILE");
  unsetenv("FREETYPE_PROPERTIES");
  ShutdownPlatformFonts();
  std::filesystem::remove(conf);
}

}  // namespace
