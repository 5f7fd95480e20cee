#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

#include "composer/compose.h"
#include "core/tests/run_kilnbatch.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/png_file.h"
#include "renderer/renderer_settings.h"
#include "renderer/sheet_build.h"
#include "core/font_descriptor.h"
#include "core/fonts.h"
#include "platform/font_source.h"

namespace {

class KilnbatchSheetCaption : public ::testing::Test {
 protected:
  ~KilnbatchSheetCaption() override {
    ShutdownImages();
    ShutdownFonts();
  }

  // The bytes the window program's build would save for these settings.
  std::vector<std::uint8_t> BuiltHere(const RendererSettings& s, bool shadowOn, int count) {
    rendererSettings = s;
    MakeImage(PreviewImage, PreviewSide, PreviewSide);
    EXPECT_GT(BuildCharacterSheet(shadowOn, count, "A"), 0);
    const std::string path = folder / "here.bmp";
    EXPECT_EQ(WriteImageBmp(SheetImage, path.c_str()), 1);
    return ReadBytes(path);
  }

  // The run exits with `exitCode` and its errors, led by its command (if known), say `said`; a
  // refused run prints nothing on standard output, and a usage error one line.
  void ExpectRun(const std::string& args, int exitCode, const std::string& said) {
    const Outcome run = Kilnbatch(args, folder);
    EXPECT_EQ(run.exitCode, exitCode) << args;
    const std::string command = args.substr(0, args.find(' ')), known = " sheet caption convert help ";
    const std::string lead = known.find(" " + command + " ") != known.npos ? "kilnbatch " + command + ": " : "kilnbatch: ";
    EXPECT_EQ(run.errors.rfind(lead, 0), 0u) << args << ": " << run.errors;
    EXPECT_NE(run.errors.find(said), std::string::npos) << args << ": " << run.errors;
    EXPECT_TRUE(exitCode == 0 || run.output.empty()) << args << ": " << run.output;
    EXPECT_TRUE(exitCode != 2 || std::count(run.errors.begin(), run.errors.end(), '\n') == 1) << run.errors;
  }

  FontDescriptor ReadDescriptorFile(const std::string& name) {
    const auto bytes = ReadBytes(folder / name);
    FontDescriptor read;
    std::string why;
    EXPECT_TRUE(ReadDescriptor(std::string(bytes.begin(), bytes.end()), read, &why)) << name << ": " << why;
    return read;
  }

  TempFolder folder;
};

TEST_F(KilnbatchSheetCaption, DefaultAndStyledSheetsAreTheBuildsBytes) {
  const std::string out = folder / "sheet.bmp";
  const Outcome plain = Kilnbatch("sheet -o " + Quote(out), folder);
  ASSERT_EQ(plain.exitCode, 0) << plain.errors;
  EXPECT_EQ(plain.errors, "") << "Arial's stand-in is no fallback";
  EXPECT_EQ(ReadBytes(out), BuiltHere(RendererSettings{}, false, 1));
  const int n = rendererSettings.cellMeasure;
  EXPECT_EQ(plain.output, "cell " + std::to_string(n) + ", sheet " + std::to_string(10 * n) + "x" +
                              std::to_string(10 * n) + "\n");

  const Outcome styled = Kilnbatch(
      "sheet -o " + Quote(out) + " --font 'Times New Roman' --size 14 --bold --italic --underline --strikeout"
      " --colour '#FF8000' --background 102030 --shadow --shadow-size=10 --shadow-colour 00ff00"
      " --offset=-3,5 --count 3 --preview " + Quote(folder / "p.bmp") + " --test Q",
      folder);
  ASSERT_EQ(styled.exitCode, 0) << styled.errors;
  RendererSettings s;
  s.fontName = "Times New Roman", s.fontSize = 14, s.shadowSize = 10;
  s.styleBits = FontBold | FontItalic | FontUnderline | FontStrikeOut;
  s.textColour = 0x000080FF, s.shadowColour = 0x0000FF00, s.backgroundColour = 0x00302010;
  s.shadowOffsetX = -3, s.shadowOffsetY = 5;
  EXPECT_EQ(ReadBytes(out), BuiltHere(s, true, 3));
}

// The caption file is the composition made here from the same sheet: default
// sizes (past the controls' 40 for a 40-point sheet), sizes given, and a
// character with no single-byte code taking the cell of "?"; a PNG sheet gives
// a PNG caption.
TEST_F(KilnbatchSheetCaption, CaptionsAreTheCompositionOfTheirSheet) {
  for (const auto& [size, args, text, w, h, ext] : {std::tuple<std::string, std::string, std::string, int, int, std::string>{
           "8", "--text ' Play '", "Play", 0, 0, "bmp"},
       {"8", "--text '\xE6\x97\xA5!' --width 3 --height=40", "?!", 3, 40, "bmp"},
       {"8", "--text ' Play '", "Play", 0, 0, "PNG"}, {"40", "--text Go", "Go", 0, 0, "bmp"}}) {
    const std::string given = folder / ("s." + ext), caption = folder / ("c." + ext);
    ASSERT_EQ(Kilnbatch("sheet -o " + Quote(given) + " --size " + size, folder).exitCode, 0);
    const Outcome run = Kilnbatch("caption --sheet " + Quote(given) + " " + args + " -o " + Quote(caption), folder);
    EXPECT_EQ(ReadBytes(caption)[1] == 'P', ext == "PNG");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    ASSERT_NE(ReadImageFile(SheetImageNumber, given.c_str()), 0u);
    ASSERT_EQ(ComposeButtonImage(w ? w : DefaultCellSize(), h ? h : DefaultCellSize(), text), 1);
    ASSERT_NE(ReadImageFile(7, caption.c_str()), 0u);
    EXPECT_EQ(ImagePixels(ImageHandle(7))->bytes, ImagePixels(ImageHandle(ButtonImage))->bytes) << args;
  }
  EXPECT_GT(DefaultCellSize(), 40);
}

// 23 rows; 127, the undefined codes and what the face lacks (listed) stay background; "é" and "€" caption by code.
TEST_F(KilnbatchSheetCaption, AWindows1252SheetLeavesEmptyWhatItCannotDrawAndCaptionsByCode) {
  const std::string sheet = folder / "w.bmp", caption = folder / "c.bmp";
  const struct { std::string font, errors; std::vector<int> empty; } cases[] = {{"Arial", "", {127, 0x81, 0x8D, 0x8F, 0x90, 0x9D}},
      {"DejaVu Math TeX Gyre", "kilnbatch sheet: the face has no glyph for U+00AD U+00B2 U+00B3 U+00B9 U+00BC U+00BD U+00BE\n", {127, 0xAD, 0xB2, 0xBE}}};
  for (const auto& c : cases) {
    const Outcome run = Kilnbatch("sheet --charset windows-1252 --background 102030 --font " + Quote(c.font) + " -o " + Quote(sheet), folder);
    ASSERT_TRUE(run.exitCode == 0 && ReadImageFile(SheetImageNumber, sheet.c_str()) != 0) << run.errors;
    EXPECT_EQ(run.errors, c.errors);
    const PixelStore& p = *ImagePixels(ImageHandle(SheetImageNumber)); const int n = p.width / 10;
    EXPECT_EQ(p.height, 23 * n);
    for (const int code : c.empty)
      for (int at = 0, x = (code - 32) % 10 * n, y = (code - 32) / 10 * n; at < n * n; ++at)
        ASSERT_EQ(std::memcmp(p.Pixel(x + at % n, y + at / n), "\x30\x20\x10", 3), 0) << code << " at " << at;
  }
  ASSERT_TRUE(Kilnbatch("caption --sheet " + Quote(sheet) + " --text 'Caf\xC3\xA9 5\xE2\x82\xAC' -o " + Quote(caption), folder).exitCode == 0 &&
              ComposeButtonImage(DefaultCellSize(), DefaultCellSize(), "Caf\xE9 5\x80") == 1 && ReadImageFile(7, caption.c_str()) != 0);
  EXPECT_EQ(ImagePixels(ImageHandle(7))->bytes, ImagePixels(ImageHandle(ButtonImage))->bytes);
}

// Each descriptor asked for lies beside the image, names it, and says the same
// in its own form: fitted cells, and the face's kerning with a typesetter's sign.
TEST_F(KilnbatchSheetCaption, DescriptorsBesideTheSheetAgreeAndCarryTheKerning) {
  ASSERT_EQ(Kilnbatch("sheet --size 20 --descriptor text --descriptor xml --descriptor json -o " + Quote(folder / "f.png"), folder).exitCode, 0);
  FontDescriptor forms[3];
  for (int i = 0; i < 3; ++i) forms[i] = ReadDescriptorFile("f" + std::string(DescriptorExtension(DescriptorFormat(i))));
  EXPECT_EQ(forms[0], forms[1]);
  EXPECT_EQ(forms[0], forms[2]);
  EXPECT_EQ(forms[0].pages, std::vector<std::string>{"f.png"});
  ASSERT_NE(ReadImageFile(7, (folder / "f.png").c_str()), 0u);
  EXPECT_EQ(forms[0].scaleW, ImagePixels(ImageHandle(7))->width);
  for (const auto& [first, second] : {std::pair{U'A', U'V'}, {U'T', U'o'}, {U'Y', U'o'}}) {
    const auto k = std::find_if(forms[0].kernings.begin(), forms[0].kernings.end(),
                                [a = first, b = second](const DescriptorKerning& p) { return p.first == a && p.second == b; });
    EXPECT_TRUE(k != forms[0].kernings.end() && k->amount < 0) << int(first) << " " << int(second);
  }
  // A folder under /dev (tmpfs) takes its descriptor like any other.
  char shm[] = "/dev/shm/kiln-XXXXXX";
  if (::mkdtemp(shm)) {
    const std::filesystem::path image = std::filesystem::path(shm) / "t.png";
    EXPECT_EQ(Kilnbatch("sheet --size 8 --descriptor text -o " + Quote(image), folder).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(image.parent_path() / "t.fnt"));
    std::filesystem::remove_all(shm);
  }
}

// Set with its descriptor, "Hello World" is as wide as the face sets it (its
// advances and kerning), within the ink's reach.
TEST_F(KilnbatchSheetCaption, ProportionalCaptionsAreAsWideAsTheFaceSetsThem) {
  const std::string sheet = Quote(folder / "s.png"), out = Quote(folder / "c.png");
  ASSERT_EQ(Kilnbatch("sheet --size 20 --descriptor text -o " + sheet, folder).exitCode, 0);
  const Outcome run = Kilnbatch("caption --layout proportional --text 'Hello World' --sheet " + sheet + " -o " + out, folder);
  ASSERT_EQ(std::pair(run.exitCode, run.errors), std::pair(0, std::string())) << "the descriptor names the sheet's file";
  const auto face = OpenPlatformFont("Arial", PointsToPixels(20, 96), {});
  int width = face->TextWidth(U"Hello World");
  for (const KerningPair& k : face->KerningPairs(U"Helo Wrd"))
    for (std::size_t i = 1; i < 11; ++i) width += U"Hello World"[i - 1] == k.first && U"Hello World"[i] == k.second ? k.pixels : 0;
  ASSERT_NE(ReadImageFile(7, (folder / "c.png").c_str()), 0u);
  EXPECT_NEAR(ImagePixels(ImageHandle(7))->width, width, 2);
}

// A sheet with alpha keeps it in a PNG caption, a cell beyond the sheet clear; a BMP caption is over black.
TEST_F(KilnbatchSheetCaption, ASheetWithAlphaKeepsItOnlyInAPngCaption) {
  ASSERT_NE(MakeImageWithDepth(9, 100, 20, 32), 0u);  // codes 32 to 51 only
  for (std::size_t i = 0; i < ImagePixels(ImageHandle(9))->bytes.size(); i += 4) {
    ImagePixels(ImageHandle(9))->bytes[i] = 200, ImagePixels(ImageHandle(9))->bytes[i + 3] = 100;
  }
  ASSERT_EQ(WriteImagePng(9, (folder / "a.png").c_str()), 1);
  const struct { std::string out; std::vector<std::uint8_t> inSheet, beyond; } cases[] = {
      {"c.png", {200, 0, 0, 100}, {0, 0, 0, 0}}, {"c.bmp", {78, 0, 0}, {0, 0, 0}}};
  for (const auto& c : cases) {
    ASSERT_EQ(Kilnbatch("caption --sheet " + Quote(folder / "a.png") + " --text '!~' -o " + Quote(folder / c.out), folder)
                  .exitCode, 0);
    ASSERT_NE(ReadImageFile(7, (folder / c.out).c_str()), 0u);
    const PixelStore& p = *ImagePixels(ImageHandle(7));
    EXPECT_EQ(std::vector<std::uint8_t>(p.Pixel(0, 0), p.Pixel(0, 0) + c.inSheet.size()), c.inSheet) << c.out;
    EXPECT_EQ(std::vector<std::uint8_t>(p.Pixel(6, 5), p.Pixel(6, 5) + c.beyond.size()), c.beyond) << c.out;
  }
}

// A refused run exits 2 for a usage error (the option named with its range, or what is missing or
// too much), else 1 (the cause or the file named), and writes nothing; a preview that cannot be written
// leaves the sheet as it was. Runs that warn say of what: a face not found, characters with no cell
// (past the code page, or past an ASCII sheet's rows).
TEST_F(KilnbatchSheetCaption, RefusedRunsSayWhyAndWriteNothing) {
  const std::string sheet = Quote(folder / "s.png"), x = " -o " + Quote(folder / "x.bmp"), s = " --sheet " + sheet,
                    p = " --layout proportional --text A" + s;
  ASSERT_EQ(Kilnbatch("sheet --size 12 --descriptor text -o " + sheet, folder).exitCode, 0);
  ASSERT_EQ(Kilnbatch("sheet --size 30 -o " + Quote(folder / "big.png"), folder).exitCode, 0);
  FontDescriptor bad = ReadDescriptorFile("s.fnt");
  bad.glyphs[33].x = bad.scaleW - 1;  // "A": its box outside the sheet
  for (const auto& [name, glyphs] : {std::pair{"bad.fnt", bad.glyphs}, {"none.fnt", std::vector<DescriptorGlyph>{}}}) {
    FontDescriptor written = bad;
    written.glyphs = glyphs;
    const std::string text = WriteDescriptor(written, DescriptorFormat::Text);
    WriteBytes(folder / name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  WriteBytes(folder / "text.bmp", {'h', 'e', 'l', 'l', 'o'});
  std::filesystem::copy_file(folder / "s.png", folder / "t.png");
  ASSERT_TRUE(MakeImage(9, 32760, 10) && WriteImagePng(9, (folder / "wide.png").c_str()));  // cells up to 3276 x 3276
  const auto before = ReadBytes(folder / "s.png");
  const struct { std::string args; int exitCode; std::string said; } runs[] = {
      {"sheet --size 401" + x, 2, "--size: must be 1 to 400 points"}, {"sheet", 2, "-o"},
      {"sheet --offset 21,0" + x, 2, "--offset: must be X,Y with each -20 to 20"},
      {"sheet --colour 12345" + x, 2, "--colour: must be six hex digits"}, {"sheet --format gif" + x, 2, "png or bmp"},
      {"sheet --dpi 1" + x, 2, "--size 8 at --dpi 1 is under one pixel"}, {"sheet --dpi 1200 --size 300 --pack" + x, 2, "--size 300 at --dpi 1200 is 5000 pixels high, past 4096"}, {"sheet --frobnicate" + x, 2, "--frobnicate"},
      {"sheet --padding 2" + x, 2, "--padding: needs --fit, --descriptor, --pack or --sdf"},
      {"sheet --transparent" + x, 2, "--transparent needs a PNG sheet"},
      {"sheet --format png --transparent --background 000000" + x, 2, "--transparent"},
      {"sheet --chars 66-65" + x, 2, "--chars: '66-65'"}, {"sheet --chars 65 --charset ascii" + x, 2, "--charset excludes --chars"},
      {"sheet --columns 3" + x, 2, "--columns: needs --chars or --chars-file"},
      {"sheet --outline-join bevel" + x, 2, "--outline-join needs --outline of 1 or more"},
      {"sheet --shadow-blur 3" + x, 2, "--shadow-blur: needs --shadow"}, {"sheet --gradient 102030" + x, 2, "--gradient: must be two colours"},
      {"sheet --size 400 --charset windows-1252" + x, 1, "64 M pixels in all, more than a reader takes: fewer characters or"},
      {"sheet --pack --size 40 --page-size 16x40" + x, 1, "the glyph of U+0022 needs 17x"},
      {"sheet --spacing 2" + x, 2, "--spacing: needs --pack"}, {"sheet --pack --fit" + x, 2, "--fit excludes --pack"},
      {"sheet --pack -o -", 2, "--pack needs -o"}, {"sheet --descriptor text -o -", 2, "--descriptor"}, {"sheet --descriptor text -o /dev/null", 2, "--descriptor"},
      {"sheet --size 14 --preview /proc/none/p.bmp -o " + sheet, 1, "/proc/none/p.bmp"},
      {"caption --text '   '" + s + x, 1, "empty"}, {"caption --text " + std::string(820, 'W') + " --width 40" + s + x, 1, "wider"},
      {"caption --text A --width 41" + s + x, 2, "--width must be 1 to 40"}, {"caption" + s + x, 2, "--text"},
      {"caption --text A --sheet " + Quote(folder / "none.bmp") + x, 1, "none.bmp"},
      {"caption --text A" + s + " -o /proc/none/c.bmp", 1, "/proc/none/c.bmp"},
      {"caption --text A --margin 2" + s + x, 2, "--margin needs --layout proportional"},
      {"caption --layout sideways --text A" + s + x, 2, "--layout: must be fixed or proportional"},
      {"caption" + p + " --width 9" + x, 2, "--width needs --layout fixed"}, {"caption" + p + " --align left" + x, 2, "--button"},
      {"caption" + p + " --button 1x1" + x, 1, "the button is 1x1"},
      {"caption" + p + " --metrics " + Quote(folder / "missing.fnt") + x, 1, "missing.fnt"},
      {"caption" + p + " --metrics " + Quote(folder / "bad.fnt") + x, 1, "reaches outside the sheet"},
      {"caption" + p + " --metrics " + Quote(folder / "none.fnt") + x, 1, "no character of the caption has a glyph"},
      {"caption --layout proportional --text A --sheet " + Quote(folder / "big.png") + " --metrics " + Quote(folder / "s.fnt") + x,
       1, "describes an image of"},
      {"caption --text -h" + x, 2, "--sheet"},
      {"caption --text 0123456789 --width 3276 --height 3276 --sheet " + Quote(folder / "wide.png") + x, 1, "32760x3276 pixels, past 64 M"},
      {"caption --layout proportional --text A --sheet " + Quote(folder / "t.png") + " --metrics " + Quote(folder / "s.fnt") +
       " -o " + Quote(folder / "c.bmp"), 0, "s.fnt describes \"s.png\", not the sheet \"" + folder / "t.png\"\n"},
      {"sheet --font Zzqx -o " + Quote(folder / "u.bmp"), 0, "no face \"Zzqx\" here; drawn with \"DejaVu Sans\""},
      {"caption --text 'Caf\xC3\xA9 \xE6\x97\xA5\xE2\x82\xAC\xC3\xA9' -o " + Quote(folder / "c.bmp") + s, 0,
       "the sheet has no cell for U+00E9 U+65E5\n"}, {"help nonsense", 2, "'nonsense'"}, {"nonsense", 2, "unknown command 'nonsense'"}, {"help sheet caption", 2, "caption"},
      {"convert", 2, "IN"}, {"convert a", 2, "OUT"}, {"convert a b c", 2, ": c\n"},
      {"convert " + Quote(folder / "text.bmp") + " " + Quote(folder / "x.bmp"), 1, folder / "text.bmp"}};
  for (const auto& run : runs) ExpectRun(run.args, run.exitCode, run.said);
  EXPECT_FALSE(std::filesystem::exists(folder / "x.bmp"));
  EXPECT_EQ(ReadBytes(folder / "s.png"), before);
}

}  // namespace
