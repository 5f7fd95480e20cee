// Distance-field sheets and their captions, against FreeType's own renderers.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <string>

#include "core/font_descriptor.h"
#include "kilnbatch/tests/run_kilnbatch.h"
#include "platform/font_source.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

constexpr int Spread = 4, Em = 27;  // 20 points at 96 dpi

// One glyph as FreeType draws it from the unhinted outline, at `em` pixels.
struct Bitmap {
  int left = 0, top = 0, width = 0, rows = 0;  // top: rows above the baseline
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
    sheet_ = Descriptor("field.json"), cover_ = Descriptor("cover.fnt");
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
  FontDescriptor Descriptor(const std::string& name) {
    const auto bytes = ReadBytes(folder / name);
    FontDescriptor read;
    EXPECT_TRUE(ReadDescriptor(std::string(bytes.begin(), bytes.end()), read, nullptr)) << name;
    return read;
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
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < width; ++i) {
      if (bytes[j * pitch + i * stride] >= 128) ink.insert({x + i, y + j});
    }
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
    for (int y = 0; y < g.height; ++y) {
      for (int x = 0; x < g.width; ++x) {
        const std::uint8_t* p = field.Pixel(g.x + x, g.y + y);
        const std::uint8_t want = own.bytes[static_cast<std::size_t>(y * own.width + x)];
        differ += p[0] != want || p[1] != want || p[2] != want || p[3] != want;
      }
    }
    EXPECT_EQ(differ, 0) << static_cast<char>(c);
  }
}

// Pixels inked in both and in either.
struct Agreement {
  long long both = 0, either = 0;
  void Add(const Ink& a, const Ink& b) {
    const auto common = std::count_if(a.begin(), a.end(), [&](const auto& p) { return b.count(p) != 0; });
    both += common, either += static_cast<long long>(a.size() + b.size()) - common;
  }
  double Ratio() const { return static_cast<double>(both) / static_cast<double>(either); }
};

// Each glyph set alone at `scale`: its ink against FreeType's unhinted coverage at that size, at the
// same origin; at scale 1 against the coverage sheet's hinted glyph too. No edge steps at scale 4.
TEST_F(KilnbatchField, CaptionsAgreeWithTheOutlineAtEveryScale) {
  for (const int scale : {1, 4}) {
    std::map<char32_t, std::pair<Agreement, Agreement>> glyphs;  // against unhinted, hinted coverage
    long long partial = 0, onRamp = 0;
    for (const char32_t c : std::u32string(U"HeloWrdAVTR")) {
      const std::string name = "c" + std::to_string(c) + ".png";
      std::istringstream box(Run("caption --layout proportional --sheet " + In("field.png") + " --boxes --scale " +
                                 std::to_string(scale) + " --text " + std::string(1, static_cast<char>(c)) + " -o " + In(name)));
      int id = 0, bx = 0, by = 0;
      box >> id >> bx >> by;
      const DescriptorGlyph& g = GlyphOf(sheet_, c);
      const int ox = bx - scale * g.xoffset, top = by - scale * g.yoffset, baseline = top + scale * sheet_.base;
      const PixelStore& out = Image(name);
      const Ink ours = InkOf(out.Pixel(0, 0) + 3, out.width, out.height, 4, -static_cast<std::ptrdiff_t>(out.rowBytes), 0, 0);
      // A staircase of 4 x 4 blocks leaves a partly covered pixel in a run of 4 or more such
      // pixels both along a row and down a column; a ramp one pixel wide, in a run of 3 at most.
      const auto part = [&](int x, int y) {
        const int a = x < 0 || y < 0 || x >= out.width || y >= out.height ? 0 : out.Pixel(x, y)[3];
        return a > 8 && a < 247;
      };
      for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
          if (!part(x, y)) continue;
          int across = 1, down = 1;
          for (int i = 1; part(x - i, y); ++i) ++across;
          for (int i = 1; part(x + i, y); ++i) ++across;
          for (int i = 1; part(x, y - i); ++i) ++down;
          for (int i = 1; part(x, y + i); ++i) ++down;
          ++partial, onRamp += std::min(across, down) <= 3;
        }
      }
      const Bitmap truth = Render(c, Em * scale, FT_RENDER_MODE_NORMAL);
      glyphs[c].first.Add(ours, InkOf(truth.bytes.data(), truth.width, truth.rows, 1, truth.width, ox + truth.left,
                                      baseline - truth.top));
      if (scale != 1) continue;
      const DescriptorGlyph& h = GlyphOf(cover_, c);
      const PixelStore& sheet = Image("cover.png");
      glyphs[c].second.Add(ours, InkOf(sheet.Pixel(h.x, h.y), h.width, h.height, 3, -static_cast<std::ptrdiff_t>(sheet.rowBytes),
                                       ox + h.xoffset, top + h.yoffset));
    }
    for (const std::u32string text : {U"Hello World", U"AVATAR"}) {
      Agreement unhinted, hinted;
      double least = 1;
      for (const char32_t c : text) {
        if (c == U' ') continue;
        unhinted.both += glyphs[c].first.both, unhinted.either += glyphs[c].first.either;
        hinted.both += glyphs[c].second.both, hinted.either += glyphs[c].second.either;
        least = std::min(least, glyphs[c].first.Ratio());
      }
      std::printf("scale %d, %zu glyphs: ink agrees on %.3f with unhinted coverage (least glyph %.3f), %.3f with hinted\n",
                  scale, text.size(), unhinted.Ratio(), least, scale == 1 ? hinted.Ratio() : 0.0);
      EXPECT_GE(unhinted.Ratio(), 0.95) << scale;
      EXPECT_GE(least, 0.85) << scale;
    }
    std::printf("scale %d: %lld of %lld partly covered pixels in runs of at most 3\n", scale, onRamp, partial);
    if (scale == 4) EXPECT_GE(static_cast<double>(onRamp) / static_cast<double>(partial), 0.99);
  }
}

TEST_F(KilnbatchField, RefusesWhatAFieldCannotBe) {
  const std::string field = In("field.png"), cover = In("cover.png");
  const std::pair<std::string, std::string> refused[] = {
      {"sheet --sdf 4 -o " + In("f.bmp"), "a BMP has no alpha"},
      {"sheet --sdf 4 --shadow -o " + In("f.png"), "--sdf draws no shadow"},
      {"sheet --sdf 1 -o " + In("f.png"), "--sdf"},
      {"caption --layout proportional --scale 2 --text A -o x.png --sheet " + cover, "--scale needs a distance-field sheet"},
      {"caption --layout proportional --scale 17 --text A -o x.png --sheet " + field, "--scale"},
      {"caption --layout proportional --text A -o x.bmp --sheet " + field, "needs a PNG (-o NAME.png) or --background"},
  };
  for (const auto& [args, said] : refused) {
    const Outcome run = Kilnbatch(args, folder);
    EXPECT_EQ(run.exitCode, 2) << args;
    EXPECT_NE(run.errors.find(said), std::string::npos) << args << ": " << run.errors;
  }
}

}  // namespace
