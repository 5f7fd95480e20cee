// Captions from a set of three pages, written here from a one-page sheet:
// each glyph's box stays where it is, on the page of its kind (digits 2,
// capitals 1, the rest 0), and every other page has a white box there.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/tests/run_kilnbatch.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/png_file.h"
#include "core/font_descriptor.h"

namespace {

class KilnbatchPagedCaption : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Kilnbatch("sheet --size 20 --descriptor text -o " + Quote(folder / "one.png"), folder).exitCode, 0);
    const auto bytes = ReadBytes(folder / "one.fnt");
    std::string why;
    ASSERT_TRUE(ReadDescriptor(std::string(bytes.begin(), bytes.end()), set, &why)) << why;
    one = set;
    set.pages = {"set_0.png", "set_1.png", "set_2.png"};
    for (DescriptorGlyph& g : set.glyphs) g.page = g.id >= U'0' && g.id <= U'9' ? 2 : g.id >= U'A' && g.id <= U'Z';
    for (int page = 0; page < 3; ++page) {
      ASSERT_NE(ReadImageFile(9, (folder / "one.png").c_str()), 0u);
      PixelStore& p = *ImagePixels(ImageHandle(9));
      for (const DescriptorGlyph& g : set.glyphs)
        for (int y = g.y; y < g.y + g.height && g.page != page; ++y) std::memset(p.Pixel(g.x, y), 0xFF, 3 * g.width);
      ASSERT_EQ(WriteImagePng(9, (folder / set.pages[page]).c_str()), 1);
    }
    Write("set.fnt", set);
  }
  ~KilnbatchPagedCaption() override { ShutdownImages(); }

  void Write(const std::string& name, const FontDescriptor& font) {
    const std::string text = WriteDescriptor(font, DescriptorFormat::Text);
    WriteBytes(folder / name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  // Exits with `exitCode`, and standard error holds `said` (all of it when `said` is empty).
  Outcome Run(const std::string& args, int exitCode, const std::string& said) {
    Outcome run = Kilnbatch(args, folder);
    EXPECT_EQ(run.exitCode, exitCode) << args << ": " << run.errors;
    EXPECT_TRUE(said.empty() ? run.errors.empty() : run.errors.find(said) != std::string::npos) << args << ": " << run.errors;
    return run;
  }

  TempFolder folder;
  FontDescriptor set, one;
};

// The set found from any page's name (or named by --metrics) sets a caption across its pages
// exactly as the one sheet does: the same boxes, the same pixels.
TEST_F(KilnbatchPagedCaption, ASetOfPagesCaptionsAsItsOneSheetDoes) {
  const std::string text = " --boxes --text 'Hello World 42' --layout proportional -o ";
  const Outcome whole = Run("caption --sheet " + Quote(folder / "one.png") + text + Quote(folder / "one-c.png"), 0, "");
  ASSERT_NE(ReadImageFile(7, (folder / "one-c.png").c_str()), 0u);
  for (const std::string& sheet : {std::string("set_1.png"), "set_2.png --metrics " + Quote(folder / "set.fnt")}) {
    const Outcome paged = Run("caption --sheet " + Quote(folder / "") + sheet + text + Quote(folder / "set-c.png"), 0, "");
    EXPECT_EQ(paged.output, whole.output);
    ASSERT_NE(ReadImageFile(8, (folder / "set-c.png").c_str()), 0u);
    EXPECT_EQ(ImagePixels(ImageHandle(8))->bytes, ImagePixels(ImageHandle(7))->bytes) << sheet;
  }
}

// Only the pages a caption's glyphs lie on are read; a page missing, of another size or format, or
// named outside the descriptor's folder is refused, naming it. Readers cutting cells refuse a sheet
// whose descriptor says it has no grid, but not for a descriptor they cannot read.
TEST_F(KilnbatchPagedCaption, PagesAreReadAsNeededAndCheckedAndGridReadersRefuseThem) {
  const std::string c = "caption --text Hello -o " + Quote(folder / "c.png") + " --sheet ",
                    p = "caption --layout proportional -o " + Quote(folder / "c.png") + " --sheet " + Quote(folder / "set_0.png");
  std::filesystem::remove(folder / "set_2.png");
  Run(p + " --text 'Hello World'", 0, "");
  Run(p + " --text 'Hi 42'", 1, folder / "set_2.png (page 2 of " + folder / "set.fnt): no such file");
  Run(c + Quote(folder / "set_1.png"), 1, "set.fnt says the sheet is not a grid of cells (3 pages): set the caption as text with --layout proportional");
  Run(p + " --metrics " + Quote(folder / "set.fnt") + " --sheet " + Quote(folder / "one.png") + " --text Hi", 0,
      "set.fnt describes pages \"set_0.png\" to \"set_2.png\", not the sheet \"" + folder / "one.png\"");
  ASSERT_TRUE(MakeImageWithDepth(9, set.scaleW, set.scaleH, 32) && WriteImagePng(9, (folder / "set_1.png").c_str()));
  Run(p + " --text Hi", 1, "set_1.png: has alpha, " + folder / "set_0.png has none");
  ASSERT_TRUE(MakeImage(9, 100, 90) && WriteImagePng(9, (folder / "set_1.png").c_str()));
  Run(p + " --text Hi", 1, "set_1.png: 100x90 pixels, not the " + std::to_string(set.scaleW) + "x" + std::to_string(set.scaleH) + " of every page of");
  set.pages[1] = "../one.png";
  Write("set.fnt", set);
  Run(p + " --text hi", 1, "set.fnt: page 1 is named \"../one.png\", not a file beside it");

  FontDescriptor spaced = one, wide = one;
  spaced.spacing = {1, 1};
  wide.glyphs[33].width = one.scaleW / 10;  // "A", from past its cell's left edge
  for (const auto& [why, font] : {std::pair{"space between its boxes", spaced}, {"the box of U+0041 across cells of width / 10", wide}}) {
    Write("one.fnt", font);
    Run(c + Quote(folder / "one.png"), 1, "one.fnt says the sheet is not a grid of cells (" + std::string(why) + ")");
  }
  WriteBytes(folder / "one.fnt", {'x'});
  Run(c + Quote(folder / "one.png"), 0, "");
}

}  // namespace
