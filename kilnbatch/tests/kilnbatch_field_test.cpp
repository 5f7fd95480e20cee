// Distance-field sheets and their captions, against FreeType's own renderers.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <tuple>
#include <string>

#include "core/font_descriptor.h"
#include "core/tests/run_kilnbatch.h"
#include "platform/font_source.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

constexpr int Spread = 4, Em = 27;  // 20 points at 96 dpi

// One glyph as FreeType draws it from the unhinted outline, at `em` pixels; `top` is above the baseline.
struct Bitmap {
  int left = 0, top = 0, width = 0, rows = 0;
  std::vector<std::uint8_t> bytes;
};

class KilnbatchField : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto font = OpenPlatformFont("Arial", Em, {});
    ASSERT_TRUE(font);
    ASSERT_EQ(FT_Init_FreeType(&library_), 0);
    ASSERT_EQ(FT_New_Face(library_, font->FilePath().c_str(), 0, &face_), 0);
    Run("sheet --font Arial --size 20 --sdf 4 --descriptor json -o " + In("field.png"));
    Run("sheet --font Arial --size 20 --descriptor text -o " + In("cover.png"));
    for (auto [name, into] : {std::pair{"field.json", &sheet_}, {"cover.fnt", &cover_}}) {
      const auto bytes = ReadBytes(folder / name);
      EXPECT_TRUE(ReadDescriptor(std::string(bytes.begin(), bytes.end()), *into, nullptr)) << name;
    }
  }
  ~KilnbatchField() override {
    ShutdownImages();
    if (library_) FT_Done_FreeType(library_);
  }

  std::string In(const std::string& name) { return Quote(folder / name); }
  std::string Run(const std::string& args) {
    const Outcome run = Kilnbatch(args, folder);
    EXPECT_EQ(run.exitCode, 0) << args << ": " << run.errors;
    return run.output;
  }
  const PixelStore& Image(const std::string& name) {
    EXPECT_TRUE(ReadImageFile(9, (folder / name).c_str())) << name;
    return *ImagePixels(ImageHandle(9));
  }
  Bitmap Render(char32_t c, int em, FT_Render_Mode mode) {
    FT_Int spread = Spread;
    EXPECT_EQ(FT_Property_Set(library_, "sdf", "spread", &spread), 0);
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(em));
    EXPECT_EQ(FT_Load_Char(face_, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP), 0);
    EXPECT_EQ(FT_Render_Glyph(face_->glyph, mode), 0);
    const FT_Bitmap& b = face_->glyph->bitmap;
    Bitmap out{face_->glyph->bitmap_left, face_->glyph->bitmap_top, static_cast<int>(b.width), static_cast<int>(b.rows), {}};
    for (int y = 0; y < out.rows; ++y) out.bytes.insert(out.bytes.end(), b.buffer + y * b.pitch, b.buffer + y * b.pitch + out.width);
    return out;
  }
  static const DescriptorGlyph& GlyphOf(const FontDescriptor& f, char32_t c) {
    return *std::find_if(f.glyphs.begin(), f.glyphs.end(), [c](const DescriptorGlyph& g) { return g.id == c; });
  }

  TempFolder folder;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  FontDescriptor sheet_, cover_;
};

using Ink = std::set<std::pair<int, int>>;

// Pixels at or above half of `bytes` (`stride` bytes a pixel, `width` a row) placed at (x, y).
Ink InkOf(const std::uint8_t* bytes, int width, int rows, int stride, std::ptrdiff_t pitch, int x, int y) {
  Ink ink;
  for (int at = 0; at < width * rows; ++at) {
    if (bytes[at / width * pitch + at % width * stride] >= 128) ink.insert({x + at % width, y + at / width});
  }
  return ink;
}

TEST_F(KilnbatchField, EachBoxHoldsFreeTypesOwnFieldTexelForTexel) {
  EXPECT_EQ(sheet_.sdfSpread, Spread);
  EXPECT_EQ(sheet_.padding, (std::array<int, 4>{Spread, Spread, Spread, Spread}));
  const PixelStore& field = Image("field.png");
  for (const char32_t c : {U'A', U'g', U'@'}) {
    const DescriptorGlyph& g = GlyphOf(sheet_, c);
    const Bitmap own = Render(c, Em, FT_RENDER_MODE_SDF);
    ASSERT_EQ(std::make_tuple(g.width, g.height, g.xoffset, g.yoffset),
              std::make_tuple(own.width, own.rows, own.left, sheet_.base - own.top));
    int differ = 0;
    for (int i = 0; i < g.width * g.height; ++i) {
      const std::uint8_t* p = field.Pixel(g.x + i % g.width, g.y + i / g.width);
      differ += std::count(p, p + 4, own.bytes[static_cast<std::size_t>(i)]) != 4;
    }
    EXPECT_EQ(differ, 0) << static_cast<char>(c);
  }
}

// Pixels inked in both and in either, added to `counts`.
void Agree(const Ink& a, const Ink& b, long long* counts) {
  const auto both = std::count_if(a.begin(), a.end(), [&](const auto& p) { return b.count(p) != 0; });
  counts[0] += both, counts[1] += static_cast<long long>(a.size() + b.size()) - both;
}

// Each glyph set alone at `scale`: its ink against FreeType's unhinted coverage at that size, at the
// same origin; at scale 1 against the coverage sheet's hinted glyph too. No edge steps at scale 4.
TEST_F(KilnbatchField, CaptionsAgreeWithTheOutlineAtEveryScale) {
  for (const int scale : {1, 4}) {
    long long partial = 0, onRamp = 0;
    for (const std::string text : {"HelloWorld", "AVATAR"}) {
      long long unhinted[2] = {}, hinted[2] = {};
      double least = 1;
      for (const char c : text) {
        std::istringstream box(Run("caption --layout proportional --sheet " + In("field.png") + " --boxes --scale " +
                                   std::to_string(scale) + " --text " + c + " -o " + In("c.png")));
        int id = 0, bx = 0, by = 0;
        box >> id >> bx >> by;
        const DescriptorGlyph& g = GlyphOf(sheet_, static_cast<char32_t>(c));
        const int ox = bx - scale * g.xoffset, top = by - scale * g.yoffset, baseline = top + scale * sheet_.base;
        // The line's top one ramp pixel in, however far the field's spread reaches above it.
        EXPECT_EQ(top, 1) << c << " at scale " << scale;
        const PixelStore& out = Image("c.png");
        const Ink ours = InkOf(out.Pixel(0, 0) + 3, out.width, out.height, 4, -static_cast<std::ptrdiff_t>(out.rowBytes), 0, 0);
        // A staircase of 4 x 4 blocks leaves a partly covered pixel in a run of 4 or more such
        // pixels both along a row and down a column; a ramp one pixel wide, in a run of 3 at most.
        const auto part = [&](int x, int y) {
          const int a = x < 0 || y < 0 || x >= out.width || y >= out.height ? 0 : out.Pixel(x, y)[3];
          return a > 8 && a < 247;
        };
        const auto run = [&](int x, int y, int dx, int dy) {
          for (int n = 0;; ++n) if (!part(x + (n + 1) * dx, y + (n + 1) * dy)) return n;
        };
        for (int y = 0; y < out.height; ++y) {
          for (int x = 0; x < out.width; ++x) {
            if (!part(x, y)) continue;
            ++partial, onRamp += std::min(run(x, y, -1, 0) + run(x, y, 1, 0), run(x, y, 0, -1) + run(x, y, 0, 1)) < 3;
          }
        }
        const Bitmap truth = Render(static_cast<char32_t>(c), Em * scale, FT_RENDER_MODE_NORMAL);
        const long long before[2] = {unhinted[0], unhinted[1]};
        Agree(ours, InkOf(truth.bytes.data(), truth.width, truth.rows, 1, truth.width, ox + truth.left, baseline - truth.top), unhinted);
        least = std::min(least, static_cast<double>(unhinted[0] - before[0]) / static_cast<double>(unhinted[1] - before[1]));
        if (scale != 1) continue;
        const DescriptorGlyph& h = GlyphOf(cover_, static_cast<char32_t>(c));
        const PixelStore& sheet = Image("cover.png");
        Agree(ours, InkOf(sheet.Pixel(h.x, h.y), h.width, h.height, 3, -static_cast<std::ptrdiff_t>(sheet.rowBytes),
                          ox + h.xoffset, top + h.yoffset), hinted);
      }
      const double agreed = static_cast<double>(unhinted[0]) / static_cast<double>(unhinted[1]);
      std::printf("%s at scale %d: ink agrees on %.3f with unhinted coverage (least glyph %.3f)%s\n", text.c_str(), scale,
                  agreed, least, scale == 1 ? (", " + std::to_string(hinted[0] * 1.0 / hinted[1]) + " with the hinted sheet").c_str() : "");
      EXPECT_GE(agreed, 0.95) << text << " at scale " << scale;
      EXPECT_GE(least, 0.85) << text << " at scale " << scale;
    }
    std::printf("scale %d: %lld of %lld partly covered pixels in runs of at most 3\n", scale, onRamp, partial);
    EXPECT_TRUE(scale != 4 || onRamp >= partial * 99 / 100) << onRamp << " of " << partial;
  }
}

TEST_F(KilnbatchField, RefusesWhatAFieldCannotBe) {
  const std::string field = In("field.png"), cover = In("cover.png");
  const std::pair<std::string, std::string> refused[] = {
      {"sheet --sdf 4 -o " + In("f.bmp"), "a BMP has no alpha"},
      {"sheet --sdf 4 --shadow -o " + In("f.png"), "--sdf draws no shadow"},
      {"sheet --sdf 4 --underline -o " + In("f.png"), "no underline"},
      {"caption --layout proportional --scale nan --text A -o x.png --sheet " + In("field.png"), "--scale"},
      {"sheet --sdf 1 -o " + In("f.png"), "--sdf"},
      {"caption --layout proportional --scale 2 --text A -o x.png --sheet " + cover, "--scale needs a distance-field sheet"},
      {"caption --layout proportional --scale 17 --text A -o x.png --sheet " + field, "--scale"},
      {"caption --layout proportional --text A -o x.bmp --sheet " + field, "needs a PNG (-o NAME.png) or --background"},
  };
  for (const auto& [args, said] : refused) {
    const Outcome run = Kilnbatch(args, folder);
    EXPECT_TRUE(run.exitCode == 2 && run.errors.find(said) != std::string::npos) << args << ": " << run.errors;
  }
}

}  // namespace
