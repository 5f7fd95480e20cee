#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "composer/caption_pages.h"
#include "composer/compose.h"
#include "composer/sheet_descriptors.h"
#include "composer/text_setting.h"
#include "core/font_descriptor.h"
#include "kilnbatch/caption_field_options.h"
#include "core/character_lists.h"
#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "kilnbatch/standard_output.h"
#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "core/sheet_format.h"
#include "core/text_codes.h"

namespace {

constexpr const char* Name = "caption";

struct CaptionOptions {
  std::string sheet;
  std::string text;
  std::string out;
  std::string format;
  std::string layout = "fixed";
  int width = 0, height = 0;  // 0: the default for the sheet
  std::optional<std::string> metrics;
  int margin = 0;
  int letterSpacing = 0;
  std::pair<int, int> button{0, 0};
  std::string align = "center";
  bool boxes = false;
  CLI::Option_group* fixedOptions = nullptr;  // each layout's own options, refused with the other
  CLI::Option_group* proportionalOptions = nullptr;
  FieldCaptionOptions field;
};

int Failure(const std::string& message) { return ::Failure(Name, message); }

// A descriptor written for another image of the same size may still be
// meant for this sheet (a copy, a renamed file), so it is used all the same.
// Only the file names are compared, as a descriptor names its image without
// a folder, or with one in another system's form ("fonts\x.png").
void WarnOfAnotherImage(const std::string& descriptor, const FontDescriptor& metrics, const std::string& sheet) {
  const std::string sheetName = std::filesystem::path(sheet).filename().string();
  if (metrics.pages.size() > 1) {
    if (DescriptorListsPage(metrics, sheetName)) return;
    std::fprintf(stderr, "kilnbatch caption: warning: %s describes pages \"%.255s\" to \"%.255s\", not the sheet \"%s\"\n",
                 descriptor.c_str(), metrics.pages.front().c_str(), metrics.pages.back().c_str(), sheet.c_str());
    return;
  }
  const std::string& pageFile = metrics.pages.front();
  const std::string named = pageFile.substr(pageFile.find_last_of("/\\") + 1);
  if (named.empty() || named == sheetName) return;
  std::fprintf(stderr, "kilnbatch caption: warning: %s describes \"%.255s\", not the sheet \"%s\"\n", descriptor.c_str(),
               named.c_str(), sheet.c_str());
}

// Names, on standard error, each character of `text` the sheet has no cell
// for: one past the code page, or past the sheet's last row. The caption is
// made all the same, as the window makes it.
void ListCharactersWithoutCell(std::string_view text) {
  const ImageRecord* sheet = FindImageRecord(SheetImageNumber);
  std::u32string characters;
  std::u32string listed;
  if (!DecodeUtf8(text, characters)) return;  // the window's text is UTF-8; a stray byte was drawn as "?"
  for (const char32_t c : characters) {
    const int code = Windows1252ByteOf(c);
    if ((code >= 0 && SheetHasCell(code, sheet->width, sheet->height)) || listed.find(c) != listed.npos) continue;
    listed += c;
  }
  if (!listed.empty()) {
    std::fprintf(stderr, "kilnbatch caption: warning: the sheet has no cell for%s\n", CodePointNames(listed).c_str());
  }
}

int RunProportional(const CaptionOptions& o, int format) {
  CaptionSetting setting;
  setting.margin = o.margin;
  setting.letterSpacing = o.letterSpacing;
  std::u32string text;
  if (!DecodeUtf8(o.text, text)) return UsageError(Name, "--text is not UTF-8");
  text = std::u32string(WithoutOuterSpaces(text));
  if (text.empty()) return Failure("the caption is empty");

  FontDescriptor metrics;
  std::string descriptor;
  if (std::string why; !FindMetricsFile(o.metrics, o.sheet, metrics, &descriptor, &why)) return Failure(why);
  const bool paged = metrics.pages.size() > 1;
  if (paged && metrics.sdfSpread > 0) {
    return Failure(descriptor + ": a distance-field caption reads a sheet of one page; make it with a larger --page-size");
  }
  // A field keeps its grey and alpha whatever the caption's format: it is sampled, not copied.
  const int keep = metrics.sdfSpread > 0 ? ImageFormatPng : format;
  if (std::string why; !paged && (!ReadSheet(o.sheet, keep, &why) || !TakeSheetMetrics(descriptor, metrics, &why))) {
    return Failure(why);
  }
  if (!descriptor.empty()) WarnOfAnotherImage(descriptor, metrics, o.sheet);
  if (IsFieldCaption(o.field, metrics)) {
    return RunFieldCaption(o.field, {o.out, format, o.margin, o.letterSpacing, o.button, o.align, o.boxes}, metrics, o.sheet, text);
  }
  const CaptionLayout layout = LayOutCaption(metrics, text, setting);
  if (!layout.missing.empty()) {
    const bool question = std::any_of(metrics.glyphs.begin(), metrics.glyphs.end(), [](const auto& g) { return g.id == U'?'; });
    std::fprintf(stderr, "kilnbatch caption: warning: no glyph for%s%s\n", CodePointNames(layout.missing).c_str(),
                 question ? "; \"?\" stands in" : "");
  }
  if (layout.placed == 0 || layout.width < 1 || layout.height < 1) {
    return Failure("no character of the caption has a glyph in the sheet");
  }
  std::string refused;
  const std::optional<CaptionPlacement> at = PlaceCaption(layout.width, layout.height, o.button, o.align, &refused);
  if (!at) return Failure(refused);
  const std::array<int, 4> place{static_cast<int>(at->width), static_cast<int>(at->height), static_cast<int>(at->dx),
                                 static_cast<int>(at->dy)};
  if (std::string why; paged && !ComposePages(descriptor, metrics, layout, format, place, &why)) return Failure(why);
  if (!paged && !ComposeSetCaption(layout, place[0], place[1], place[2], place[3])) return Failure("out of memory");
  if (std::string why; !SaveImage(ButtonImage, o.out.c_str(), format, 7, &why)) return Failure(o.out + ": " + why);
  if (o.boxes) {
    std::FILE* report = IsStandardOutput(o.out) ? stderr : stdout;
    for (const PlacedGlyph& g : layout.glyphs) {
      std::fprintf(report, "%u %lld %lld %d %d\n", static_cast<unsigned>(g.id), g.x + at->dx, g.y + at->dy, g.width, g.height);
    }
  }
  return ExitDone;
}

int RunFixed(const CaptionOptions& o, int format, bool withAlpha) {
  // The same defaults and range as the composer's size fields after a load.
  const int maxSize = MaxCellSize();
  const std::pair<const char*, int> given[] = {{"--width", o.width}, {"--height", o.height}};
  for (const auto& [name, size] : given) {
    if (size > maxSize) {
      return UsageError(Name, std::string(name) + " must be 1 to " + std::to_string(maxSize) + " for this sheet");
    }
  }
  const int width = o.width ? o.width : DefaultCellSize(), height = o.height ? o.height : DefaultCellSize();
  const std::string codes = Utf8ToWindows1252(o.text);
  const std::string_view caption = TrimCaption(codes);
  if (caption.empty()) return Failure("the caption is empty");
  const long long captionWidth = static_cast<long long>(caption.size()) * width;
  if (captionWidth > ImageMaxSide) {
    return Failure("the caption image would be wider than " + std::to_string(ImageMaxSide) + " pixels");
  }
  if (static_cast<unsigned long long>(captionWidth * height) > BmpMaxPixels) {
    return Failure("the caption image would be too large: " + std::to_string(captionWidth) + "x" + std::to_string(height) +
                   " pixels, past " + std::to_string(BmpMaxPixels >> 20) + " M in all");
  }
  if (!ComposeButtonImage(width, height, codes, withAlpha)) return Failure("out of memory");
  ListCharactersWithoutCell(o.text);
  if (std::string why; !SaveImage(ButtonImage, o.out.c_str(), format, 7, &why)) return Failure(o.out + ": " + why);
  return ExitDone;
}

struct Images {
  ~Images() { ShutdownImages(); }
};

int RunCaption(const CaptionOptions& o) {
  const bool proportional = o.layout == "proportional";
  const CLI::Option_group* otherLayout = proportional ? o.fixedOptions : o.proportionalOptions;
  for (const CLI::Option* option : otherLayout->get_options()) {
    if (option->count()) {
      return UsageError(Name, option->get_name() + " needs --layout " + (proportional ? "fixed" : "proportional"));
    }
  }
  const int format = OutputFormat(o.format, o.out);
  Images released;
  if (proportional) return RunProportional(o, format);
  // Cells cut from a packed page would hold parts of other glyphs.
  if (const std::string packed = PackedSheetRefusal(o.sheet); !packed.empty()) {
    return Failure(packed + ": set the caption as text with --layout proportional");
  }
  if (std::string why; !ReadSheet(o.sheet, format, &why)) return Failure(why);
  return RunFixed(o, format, FindImageRecord(SheetImageNumber)->depth == 32);
}

void DeclareCaptionOptions(CLI::App& c, CaptionOptions& o) {
  c.add_option("--sheet", o.sheet, "the BMP or PNG sheet to cut cells from, or a page of a set")->type_name("SHEET")->required();
  c.add_option("--text", o.text, "the caption, in UTF-8")->type_name("TEXT")->required();
  AddOutput(c, "-o", "OUT.bmp", o.out, "where to write the caption")->required();
  AddImageFormat(c, o.format);
  AddChoice(c, "--layout", o.layout, {"fixed", "proportional"}, "one cell a character, or set like text");
  o.fixedOptions = c.add_option_group("fixed layout", "the default: one cell of the sheet a character");
  const NumberRange cell{MinCellSize, ImageMaxSide, "pixels"};
  const std::string most = "\nat most the larger of 40 and sheet width / 10", shown = "sheet width / 10 - 4";
  AddNumber(*o.fixedOptions, "--width", "W", o.width, cell, "the width of the cell cut for each character" + most, shown);
  AddNumber(*o.fixedOptions, "--height", "H", o.height, cell, "its height" + most, shown);
  o.proportionalOptions = c.add_option_group("proportional layout", "needs --layout proportional");
  CLI::App& p = *o.proportionalOptions;
  p.add_option("--metrics", o.metrics,
               "the sheet's descriptor (NAME.fnt, NAME.xml or NAME.json beside the sheet,\n"
               "or for a page SET_N its set's SET.fnt, .xml or .json; else measured from its pixels)")
      ->type_name("FILE");
  AddNumber(p, "--margin", "M", o.margin, {0, 1000, "pixels"}, "space around the caption");
  AddNumber(p, "--letter-spacing", "N", o.letterSpacing, {-1000, 1000, "pixels"}, "added to each advance");
  CLI::Option* button = AddPair(p, "--button", "WxH", o.button, {1, ImageMaxSide, "pixels"}, 'x',
                                "an image of this size, the caption centred in it", false);
  AddChoice(p, "--align", o.align, {"left", "center", "right"}, "where across the button")->needs(button);
  p.add_flag("--boxes", o.boxes, "print where each glyph went: code point, x, y, width, height");
  DeclareFieldCaptionOptions(p, o.field);
}

}  // namespace

Command AddCaptionCommand(CLI::App& kilnbatch) {
  CLI::App* command = kilnbatch.add_subcommand(
      Name, "compose a caption from a BMP or PNG sheet (a PNG sheet with alpha keeps it in a PNG caption)");
  auto o = std::make_shared<CaptionOptions>();
  DeclareCaptionOptions(*command, *o);
  return {command, [o] { return RunCaption(*o); }};
}
