#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/font_descriptor.h"
#include "core/tests/run_kilnbatch.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

class KilnbatchPack : public ::testing::Test {
 protected:
  ~KilnbatchPack() override { ShutdownImages(); }

  FontDescriptor Descriptor(const std::string& path) {
    const auto bytes = ReadBytes(path);
    FontDescriptor read;
    std::string why;
    EXPECT_TRUE(ReadDescriptor(std::string(bytes.begin(), bytes.end()), read, &why)) << path << ": " << why;
    return read;
  }

  // Image `number` read from `path`; its pixels, or null.
  const PixelStore* Read(int number, const std::string& path) {
    EXPECT_NE(ReadImageFile(number, path.c_str()), 0u) << path;
    return ImagePixels(ImageHandle(number));
  }

  TempFolder folder;
};

bool SameRect(const PixelStore& a, int ax, int ay, const PixelStore& b, int bx, int by, int width, int height) {
  if (a.bitsPerPixel != b.bitsPerPixel) return false;
  for (int y = 0; y < height; ++y) {
    if (std::memcmp(a.Pixel(ax, ay + y), b.Pixel(bx, by + y), static_cast<std::size_t>(width * a.bitsPerPixel / 8))) {
      return false;
    }
  }
  return true;
}

// Each glyph's box on its page holds exactly what its fitted cell holds there,
// the boxes grown by the padding lie on their page at least the spacing apart,
// and the descriptor names every page, each of the descriptor's size.
TEST_F(KilnbatchPack, PagesHoldEachGlyphAsTheFittedGridDrawsIt) {
  const struct { std::string settings, extension; int padding, spacing; std::string pageSize; int pages; } cases[] = {
      {"--size 20 --italic --shadow --shadow-size 20 --offset -3,2 --count 2", ".bmp", 1, 1, "2048x2048", 1},
      {"--size 12 --transparent --chars 32-126,0xC0-0xFF", ".png", 0, 0, "2048x2048", 1},
      {"--size 20 --bold --underline", ".png", 3, 2, "220x160", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings);
    const std::string stem = "p" + std::to_string(&c - cases);
    const std::string common = c.settings + " --padding " + std::to_string(c.padding);
    ASSERT_EQ(Kilnbatch("sheet --fit --descriptor text " + common + " -o " + Quote(folder / "grid" + c.extension), folder).exitCode, 0);
    const Outcome packed = Kilnbatch("sheet --pack --spacing " + std::to_string(c.spacing) + " --page-size " +
                                         c.pageSize + " " + common + " -o " +
                                         Quote(folder / stem + c.extension),
                                     folder);
    ASSERT_EQ(packed.exitCode, 0) << packed.errors;
    const FontDescriptor grid = Descriptor(folder / "grid.fnt"), pack = Descriptor(folder / stem + ".fnt");
    EXPECT_EQ(pack.kernings, grid.kernings);
    EXPECT_EQ(pack.spacing, (std::array<int, 2>{c.spacing, c.spacing}));
    EXPECT_EQ(packed.output, "pages " + std::to_string(c.pages) + ", page " + std::to_string(pack.scaleW) + "x" +
                                 std::to_string(pack.scaleH) + "\n");
    ASSERT_EQ(static_cast<int>(pack.pages.size()), c.pages);
    std::vector<const PixelStore*> pages;
    for (int i = 0; i < c.pages; ++i) {
      const std::string name = stem + (c.pages == 1 ? "" : "_" + std::to_string(i)) + c.extension;
      EXPECT_EQ(pack.pages[i], name);
      pages.push_back(Read(20 + i, folder / name));
      ASSERT_TRUE(pages.back());
      EXPECT_TRUE(pages.back()->width == pack.scaleW && pages.back()->height == pack.scaleH) << name;
    }
    EXPECT_EQ(std::filesystem::exists(folder / stem + c.extension), c.pages == 1);
    const PixelStore* cells = Read(10, folder / "grid" + c.extension);
    ASSERT_TRUE(cells);
    ASSERT_EQ(pack.glyphs.size(), grid.glyphs.size());
    const int p = c.padding, s = c.spacing;
    for (std::size_t i = 0; i < pack.glyphs.size(); ++i) {
      const DescriptorGlyph &g = pack.glyphs[i], &f = grid.glyphs[i];
      SCOPED_TRACE(static_cast<int>(g.id));
      EXPECT_TRUE(g.id == f.id && g.width == f.width && g.height == f.height && g.xoffset == f.xoffset &&
                  g.yoffset == f.yoffset && g.xadvance == f.xadvance);
      if (g.width == 0) continue;
      ASSERT_TRUE(g.x >= p && g.y >= p && g.x + g.width + p <= pack.scaleW && g.y + g.height + p <= pack.scaleH);
      EXPECT_TRUE(SameRect(*pages[g.page], g.x, g.y, *cells, f.x, f.y, g.width, g.height));
      for (std::size_t j = 0; j < i; ++j) {
        const DescriptorGlyph& h = pack.glyphs[j];
        if (h.width == 0 || h.page != g.page) continue;
        const bool apart = g.x + g.width + 2 * p + s <= h.x || h.x + h.width + 2 * p + s <= g.x ||
                           g.y + g.height + 2 * p + s <= h.y || h.y + h.height + 2 * p + s <= g.y;
        EXPECT_TRUE(apart) << "too close to " << static_cast<int>(h.id);
      }
    }
  }
}

// A set of pages is the same bytes every time it is made, and --pot makes
// every side a power of two within the page size.
TEST_F(KilnbatchPack, TheSameCommandMakesTheSameBytes) {
  const std::string args = "sheet --pack --pot --size 14 --shadow --page-size 130x100 -o ";
  std::vector<std::vector<std::uint8_t>> runs[2];
  for (auto& files : runs) {
    ASSERT_EQ(Kilnbatch(args + Quote(folder / "s.png"), folder).output, "pages 3, page 128x64\n");
    for (const char* name : {"s.fnt", "s_0.png", "s_1.png", "s_2.png"}) files.push_back(ReadBytes(folder / name));
    std::filesystem::remove_all(folder.path), std::filesystem::create_directory(folder.path);
  }
  EXPECT_EQ(runs[0], runs[1]);
}

// Packed distance fields set a caption exactly as the fitted field sheet does.
TEST_F(KilnbatchPack, PackedFieldsCaptionAsTheGridsDo) {
  std::string captions[2];
  for (const std::string layout : {"--pack", "--fit"}) {
    const std::string sheet = folder / ("f" + layout + ".png"), caption = folder / "c.png";
    ASSERT_EQ(Kilnbatch("sheet --size 20 --sdf 4 " + layout + " -o " + Quote(sheet), folder).exitCode, 0);
    ASSERT_EQ(Kilnbatch("caption --layout proportional --scale 2 --text AVATAR --sheet " + Quote(sheet) + " -o " +
                            Quote(caption), folder).exitCode, 0);
    const auto bytes = ReadBytes(caption);
    captions[layout == "--fit"].assign(bytes.begin(), bytes.end());
  }
  EXPECT_FALSE(captions[0].empty());
  EXPECT_EQ(captions[0], captions[1]);
}

}  // namespace
