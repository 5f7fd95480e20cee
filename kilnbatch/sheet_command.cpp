#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/font_descriptor.h"
#include "core/fonts.h"
#include "core/sheet_format.h"
#include "core/text_codes.h"
#include "core/character_lists.h"
#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "kilnbatch/sheet_effect_options.h"
#include "kilnbatch/sheet_field_options.h"
#include "kilnbatch/standard_output.h"
#include "platform/font_handles.h"
#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "renderer/renderer_settings.h"
#include "renderer/sheet_build.h"
#include "renderer/sheet_pages.h"
#include "renderer/sheet_set.h"

namespace {

constexpr const char* Name = "sheet";

struct SheetOptions {
  RendererSettings settings;
  std::string out;
  std::string format;
  bool shadow = false;
  bool bold = false, italic = false, underline = false, strikeout = false;
  std::pair<int, int> offset{0, 0};
  int count = MinShadowCount;
  std::string preview;
  std::string test = "A";
  int dpi = DefaultFontResolution;
  bool fit = false;
  int padding = 1;  // pixels of background around the drawing in a fitted cell
  std::string charset;
  std::string chars;
  std::optional<std::string> charsFile;
  int columns = SheetColumns;
  bool transparent = false;
  std::vector<std::string> descriptors;
  bool pack = false;
  int spacing = 1;
  std::pair<int, int> pageSize{2048, 2048};
  bool pot = false;
  SheetEffectOptions effects;
  FieldSheetOptions field;
};

// What the options ask for, checked, and what the build fills in.
struct SheetPlan {
  SheetSet set;
  SheetEffects effects;
};

std::optional<DescriptorFormat> DescriptorFormatNamed(const std::string& name) {
  if (name == "text") return DescriptorFormat::Text;
  if (name == "xml") return DescriptorFormat::Xml;
  if (name == "json") return DescriptorFormat::Json;
  return std::nullopt;
}

// The checks that need more than one option; each option's own range and
// what it needs or excludes were checked as it was read.
int ReadSheetOptions(const SheetOptions& o, SheetPlan& plan) {
  plan.set.format = OutputFormat(o.format, o.out);
  if (const std::string why = ReadSheetEffects(o.effects, plan.effects); !why.empty()) return UsageError(Name, why);
  if (const int refused = CheckFieldSheetOptions(o.field, o.shadow, o.underline || o.strikeout, plan.set.format)) return refused;
  if (o.field.spread > 0 && (plan.effects.outlineWidth > 0 || plan.effects.faceGradient.on)) {
    return UsageError(Name, "--sdf draws no outline or gradient: engines draw them from the field in their shaders");
  }
  // A field sheet and a packed page cannot be used without their descriptor: both imply one.
  std::vector<std::string> descriptors = o.descriptors;
  if ((o.pack || o.field.spread > 0) && descriptors.empty()) descriptors = {"text"};
  if (o.transparent && plan.set.format != ImageFormatPng) {
    return UsageError(Name, "--transparent needs a PNG sheet (-o NAME.png or --format png)");
  }
  // Under one pixel, or past the largest em, a font cannot be made at all:
  // that is the sizes' fault, not a sheet too large.
  for (const auto& [name, points, used] :
       {std::tuple{"--size", o.settings.fontSize, true}, {"--shadow-size", o.settings.shadowSize, o.shadow}}) {
    const int pixels = PointsToPixels(points, o.dpi);
    if (used && (pixels < 1 || pixels > FontMaxEmPixels)) {
      return UsageError(Name, std::string(name) + " " + std::to_string(points) + " at --dpi " + std::to_string(o.dpi) +
                                  (pixels < 1 ? " is under one pixel high"
                                              : " is " + std::to_string(pixels) + " pixels high, past " +
                                                    std::to_string(FontMaxEmPixels)));
    }
  }
  for (const std::string& name : descriptors) {
    const DescriptorFormat format = *DescriptorFormatNamed(name);
    const std::string path = SheetDescriptorPath(o.out, format);
    // Standard output (wherever it is redirected), an open file's link, a FIFO
    // or a device has no folder to put a descriptor beside; a folder under
    // /dev such as /dev/shm is a folder like any other.
    std::error_code error;
    const auto type = std::filesystem::status(o.out, error).type();
    const bool stream = o.out == "/dev/stdout" || o.out == "/dev/stderr" || o.out.starts_with("/dev/fd/") ||
                        o.out.starts_with("/proc/");
    if (path == o.out || stream ||
        (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular)) {
      // A descriptor nobody asked for is named by the option that implies it.
      return UsageError(Name, !o.descriptors.empty() ? "--descriptor needs -o naming an image file to write it beside"
                              : o.pack              ? "--pack needs -o naming an image file to write its descriptor beside"
                                                    : "--sdf needs -o naming an image file to write its descriptor beside");
    }
    if (std::find(plan.set.descriptors.begin(), plan.set.descriptors.end(), format) == plan.set.descriptors.end()) {
      plan.set.descriptors.push_back(format);
    }
  }
  // Overlapping cells have no rectangle of their own to describe: a descriptor implies --fit.
  if (o.fit || !descriptors.empty()) plan.set.request.fitPadding = o.padding;
  plan.set.request.fieldSpread = o.field.spread;
  if (o.charset == "windows-1252") plan.set.request.lastCode = Windows1252SheetLastCode;
  plan.set.request.columns = o.columns;
  plan.set.request.transparent = o.transparent;
  if (o.pack) {
    // Every page and descriptor is one set, replaced together.
    const int pages = MaxPackedPages(static_cast<int>(plan.set.descriptors.size()));
    plan.set.pack = PackLimits{o.pageSize.first, o.pageSize.second, o.spacing, o.pot, pages};
  }
  return ExitDone;
}

// The characters `--chars` or `--chars-file` choose, the file read last of
// all, for a command line that is otherwise right.
int ChooseCharacters(const SheetOptions& o, SheetPlan& plan) {
  std::string why;
  if (!o.chars.empty()) plan.set.request.characters = *ParseCharacterRanges(o.chars, &why);
  if (o.charsFile) {
    auto read = ReadCharactersFile(o.charsFile->c_str(), &why);
    if (!read) return Failure(Name, *o.charsFile + ": " + why);
    plan.set.request.characters = std::move(*read);
  }
  return ExitDone;
}

// Builds (or packs) the sheet and its preview; 0 when it cannot be made.
int BuildSheet(const SheetOptions& o, SheetPlan& plan) {
  // With the characters chosen, those the face lacks are left out and listed.
  plan.set.listMissing = !o.charset.empty() || !o.chars.empty() || o.charsFile;
  plan.set.shadowOn = o.shadow;
  plan.set.count = o.count;
  plan.set.testText = Utf8ToWindows1252(o.test);
  plan.set.packPadding = o.padding;
  SetFontResolution(o.dpi);
  rendererSettings = o.settings;
  rendererSettings.effects = plan.effects;
  rendererSettings.shadowOffsetX = o.offset.first;
  rendererSettings.shadowOffsetY = o.offset.second;
  rendererSettings.styleBits = (o.bold ? FontBold : 0) | (o.italic ? FontItalic : 0) |
                               (o.underline ? FontUnderline : 0) | (o.strikeout ? FontStrikeOut : 0);
  if (!MakeImage(PreviewImage, PreviewSide, PreviewSide)) {
    Failure(Name, "out of memory");
    return 0;
  }
  if (!BuildSheetSet(plan.set)) {
    const std::string why = SheetEffectsRefusal(plan.effects);
    if (!why.empty() || plan.set.pack) {
      Failure(Name, why.empty() ? PackRefusal(plan.set.packed, *plan.set.pack) : why);
      return 0;
    }
    const std::string limits = "the character sheet would be past " + std::to_string(ImageMaxSide) + " pixels a side or " +
                               std::to_string(BmpMaxPixels >> 20) + " M pixels in all, more than a reader takes: ";
    Failure(Name, limits + (plan.set.request.characters.empty() ? "fewer characters or a smaller size may fit"
                                                                : "fewer characters, a smaller size or other --columns may fit"));
    return 0;
  }
  if (const PlatformFont* face = FontOfHandle(FontHandle(FaceFont)); face && face->IsFallback()) {
    std::fprintf(stderr, "kilnbatch sheet: warning: no face \"%s\" here; drawn with \"%s\"\n", o.settings.fontName.c_str(),
                 face->FamilyName().c_str());
  }
  if (!plan.set.missing.empty()) {
    std::fprintf(stderr, "kilnbatch sheet: the face has no glyph for%s\n",
                 CodePointNames(std::u32string(plan.set.missing.begin(), plan.set.missing.end())).c_str());
  }
  return 1;
}

// The preview, then the image (or pages) and its descriptors, then the report.
int WriteSheetSet(const SheetOptions& o, SheetPlan& plan) {
  // The preview first: when it cannot be written, the sheet is left as it was.
  if (std::string why; !o.preview.empty() &&
                       !SaveImage(PreviewImage, o.preview.c_str(), ImageFormatForName(o.preview), 7, &why)) {
    return Failure(Name, o.preview + ": " + why);
  }
  // The image and its descriptors are each written whole before any replaces its file.
  if (std::string why; !WriteSheetSet(o.out, plan.set, &why)) return Failure(Name, why);
  const bool imageOnStdout = IsStandardOutput(o.out) || (!o.preview.empty() && IsStandardOutput(o.preview));
  if (plan.set.pack) {
    std::fprintf(imageOnStdout ? stderr : stdout, "pages %d, page %dx%d\n", plan.set.packed.layout.pages,
                 plan.set.packed.layout.width, plan.set.packed.layout.height);
  } else {
    const ImageRecord* sheet = FindImageRecord(SheetImage);
    std::fprintf(imageOnStdout ? stderr : stdout, "cell %d, sheet %dx%d\n", plan.set.cell, sheet->width, sheet->height);
  }
  return ExitDone;
}

struct Images {
  ~Images() {
    ShutdownImages();
    ShutdownFonts();
  }
};

int RunSheet(const SheetOptions& o) {
  SheetPlan plan;
  if (const int refused = ReadSheetOptions(o, plan)) return refused;
  if (const int refused = ChooseCharacters(o, plan)) return refused;
  Images released;
  return BuildSheet(o, plan) ? WriteSheetSet(o, plan) : ExitFailed;
}

void DeclareSheetOptions(CLI::App& c, SheetOptions& o) {
  const NumberRange points{MinFontSize, MaxFontSize, "points"};
  AddOutput(c, "-o", "OUT.bmp", o.out, "where to write the sheet")->required();
  c.add_option("--font", o.settings.fontName, "face name (" + o.settings.fontName + ")")->type_name("NAME");
  AddNumber(c, "--size", "PT", o.settings.fontSize, points, "text size");
  c.add_flag("--bold", o.bold, "bold face");
  c.add_flag("--italic", o.italic, "italic face");
  c.add_flag("--underline", o.underline, "underlined");
  c.add_flag("--strikeout", o.strikeout, "struck out");
  AddColour(c, "--colour", o.settings.textColour, "text colour");
  CLI::Option* background = AddColour(c, "--background", o.settings.backgroundColour, "background colour");
  const CLI::Option* shadow = c.add_flag("--shadow", o.shadow, "draw the layered shadow");
  AddNumber(c, "--shadow-size", "PT", o.settings.shadowSize, points,
            "shadow size\nstays 8 whatever --size is: give it the text's size for a shadow as large");
  AddColour(c, "--shadow-colour", o.settings.shadowColour, "shadow colour");
  AddPair(c, "--offset", "X,Y", o.offset, {-MaxShadowOffset, MaxShadowOffset, "pixels"}, ',', "shadow offset");
  AddNumber(c, "--count", "C", o.count, {MinShadowCount, MaxShadowCount, "passes"}, "shadow thickness");
  DeclareSheetEffectOptions(c, o.effects, shadow);
  AddOutput(c, "--preview", "FILE", o.preview, "also write the 200 x 200 preview of --test, before the sheet");
  c.add_option("--test", o.test, "preview text (" + o.test + ")")->type_name("TEXT");
  AddNumber(c, "--dpi", "N", o.dpi, {1, 1200, ""}, "pixels per inch for point sizes");
  AddImageFormat(c, o.format);
  CLI::Option* fit = c.add_flag("--fit", o.fit, "cells as small as hold every glyph's whole drawing, face and shadow");
  CLI::Option* pack = c.add_flag("--pack", o.pack,
                                 "each glyph's tight box packed on as few and as small pages as hold them\n"
                                 "instead of a grid; implies --descriptor text when none is given;\n"
                                 "several pages are NAME_0, NAME_1, ... of one size")
                          ->excludes(fit);
  NeedsOneOf(AddNumber(c, "--spacing", "S", o.spacing, {0, 32, "pixels"}, "empty space between two boxes on a page"),
             {pack});
  NeedsOneOf(AddPair(c, "--page-size", "WxH", o.pageSize, {16, 8192, "pixels"}, 'x', "the largest page"), {pack});
  NeedsOneOf(c.add_flag("--pot", o.pot, "each side of a page a power of two, the pages within --page-size"), {pack});
  CLI::Option* descriptor = AddChoices(c, "--descriptor", o.descriptors, {"text", "xml", "json"},
                                       "also write the sheet's metrics beside it as NAME.fnt, NAME.xml or NAME.json;\n"
                                       "implies --fit, unless --pack");
  CLI::Option* field = DeclareFieldSheetOptions(c, o.field);
  NeedsOneOf(AddNumber(c, "--padding", "P", o.padding, {0, 100, "pixels"}, "background around each drawing in a fitted cell or packed box"),
             {fit, descriptor, pack, field});
  CLI::Option* charset = AddChoice(c, "--charset", o.charset, {"ascii", "windows-1252"},
                                   "codes 32 to 126 (the default) or to 255, laid out by code;\n"
                                   "characters the face lacks are listed and left empty");
  CLI::Option* chars = c.add_option("--chars", o.chars,
                                    "only these characters, in code-point order: code points and ranges\n"
                                    "parted by commas, decimal, 0x or U+ hex, such as 32-126,U+0400-U+044F")
                           ->type_name("SPEC")
                           ->check(CLI::Validator([](std::string& ranges) {
                             std::string why;
                             return ParseCharacterRanges(ranges, &why) ? std::string() : why;
                           }, ""));
  CLI::Option* charsFile = c.add_option("--chars-file", o.charsFile,
                                        "the same for every distinct character of a UTF-8 text file of up to 16 MiB")
                               ->type_name("FILE");
  charset->excludes(chars)->excludes(charsFile);
  chars->excludes(charsFile);
  NeedsOneOf(AddNumber(c, "--columns", "N", o.columns, {1, ImageMaxSide, ""}, "cells a row, fewer if there are fewer characters"),
             {chars, charsFile})
      ->excludes(pack);
  c.add_flag("--transparent", o.transparent, "a fully transparent background (PNG only)")->excludes(background);
}

}  // namespace

Command AddSheetCommand(CLI::App& kilnbatch) {
  CLI::App* command = kilnbatch.add_subcommand(Name, "build a character sheet: codes 32 to 126 in a 10-column grid");
  auto o = std::make_shared<SheetOptions>();
  DeclareSheetOptions(*command, *o);
  return {command, [o] { return RunSheet(*o); }};
}
