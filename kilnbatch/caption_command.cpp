#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "composer/compose.h"
#include "composer/text_setting.h"
#include "core/font_descriptor.h"
#include "kilnbatch/bounded_file.h"
#include "kilnbatch/character_lists.h"
#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "core/sheet_format.h"
#include "core/text_codes.h"

namespace {

constexpr const char* CaptionUsage =
    "usage: kilnbatch caption --sheet SHEET.bmp --text TEXT -o OUT.bmp [--width W] [--height H]\n"
    "         [--format png|bmp]\n"
    "       kilnbatch caption --layout proportional --sheet SHEET --text TEXT -o OUT [--metrics FILE]\n"
    "         [--margin M] [--letter-spacing N] [--button WxH [--align left|center|right]] [--boxes]\n";

const std::vector<OptionSpec> CaptionOptions = {
    {"--sheet", true},   {"--text", true},    {"-o", true},          {"--width", true},
    {"--height", true},  {"--format", true},  {"--layout", true},    {"--metrics", true},
    {"--margin", true},  {"--letter-spacing", true}, {"--button", true}, {"--align", true}, {"--boxes", false},
    {"--help", false},   {"-h", false},
};

// A caption is a button's lettering: past this many pixels it is no caption, but a giant allocation.
constexpr long long MaxCaptionPixels = 64ll * 1024 * 1024;

// Options that only a proportional caption takes.
constexpr const char* ProportionalOptions[] = {"--metrics", "--margin", "--letter-spacing", "--button", "--align",
                                               "--boxes"};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kilnbatch caption: %s\n%s", message.c_str(), CaptionUsage);
  return ExitUsage;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "kilnbatch caption: %s\n", message.c_str());
  return ExitFailed;
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

// The metrics of a proportional caption: `--metrics FILE`, else the first
// descriptor beside the sheet, else measured from the sheet's pixels.
bool FindMetrics(const ParsedOptions& opts, const std::string& sheet, FontDescriptor& metrics, std::string* why) {
  std::vector<std::string> candidates;
  if (const auto given = opts.Value("--metrics")) {
    candidates.push_back(*given);
  } else {
    for (const auto form : {DescriptorFormat::Text, DescriptorFormat::Xml, DescriptorFormat::Json}) {
      candidates.push_back(std::filesystem::path(sheet).replace_extension(DescriptorExtension(form)).string());
    }
  }
  for (const std::string& path : candidates) {
    std::error_code error;
    if (!opts.Has("--metrics") && !std::filesystem::exists(path, error)) continue;
    std::string bytes;
    if (!ReadBoundedFile(path.c_str(), DescriptorMaxBytes, bytes, why) || !ReadDescriptor(bytes, metrics, why)) {
      *why = path + ": " + *why;
      return false;
    }
    const ImageRecord& image = *FindImageRecord(SheetImageNumber);
    if (metrics.scaleW != image.width || metrics.scaleH != image.height) {
      *why = path + ": describes an image of " + std::to_string(metrics.scaleW) + "x" + std::to_string(metrics.scaleH) +
             ", not the sheet's " + std::to_string(image.width) + "x" + std::to_string(image.height);
      return false;
    }
    for (const DescriptorGlyph& g : metrics.glyphs) {
      if (g.x < 0 || g.y < 0 || g.x + g.width > image.width || g.y + g.height > image.height) {
        *why = path + ": the box of" + CodePointNames(std::u32string(1, g.id)) + " reaches outside the sheet";
        return false;
      }
    }
    return true;
  }
  metrics = MeasureSheetMetrics();
  return true;
}

int RunProportional(const ParsedOptions& opts, const std::string& sheet, const std::string& out, int format) {
  CaptionSetting setting;
  if (const auto v = opts.Value("--margin")) {
    const auto m = ParseInt(*v, 0, 1000);
    if (!m) return UsageError("--margin must be 0 to 1000 pixels");
    setting.margin = *m;
  }
  if (const auto v = opts.Value("--letter-spacing")) {
    const auto n = ParseInt(*v, -1000, 1000);
    if (!n) return UsageError("--letter-spacing must be -1000 to 1000 pixels");
    setting.letterSpacing = *n;
  }
  std::optional<std::pair<int, int>> button;
  if (const auto v = opts.Value("--button")) {
    button = ParsePair(*v, 1, ImageMaxSide, 'x');
    if (!button) return UsageError("--button must be WxH, each 1 to 32767 pixels");
  }
  const std::string align = opts.Value("--align").value_or("center");
  if (align != "left" && align != "center" && align != "right") return UsageError("--align must be left, center or right");
  if (opts.Has("--align") && !button) return UsageError("--align needs --button");
  std::u32string text;
  if (!DecodeUtf8(*opts.Value("--text"), text)) return UsageError("--text is not UTF-8");
  const std::size_t first = text.find_first_not_of(U' ');
  text = first == std::u32string::npos ? U"" : text.substr(first, text.find_last_not_of(U' ') - first + 1);
  if (text.empty()) return Failure("the caption is empty");

  FontDescriptor metrics;
  if (std::string why; !FindMetrics(opts, sheet, metrics, &why)) return Failure(why);
  const CaptionLayout layout = LayOutCaption(metrics, text, setting);
  if (!layout.missing.empty()) {
    const bool question = std::any_of(metrics.glyphs.begin(), metrics.glyphs.end(), [](const auto& g) { return g.id == U'?'; });
    std::fprintf(stderr, "kilnbatch caption: warning: no glyph for%s%s\n", CodePointNames(layout.missing).c_str(),
                 question ? "; \"?\" stands in" : "");
  }
  if (layout.placed == 0 || layout.width < 1 || layout.height < 1) {
    return Failure("no character of the caption has a glyph in the sheet");
  }
  long long width = layout.width, height = layout.height, dx = 0, dy = 0;
  if (button) {
    if (width > button->first || height > button->second) {
      return Failure("the caption needs " + std::to_string(width) + "x" + std::to_string(height) +
                     " pixels; the button is " + std::to_string(button->first) + "x" + std::to_string(button->second));
    }
    dx = align == "left" ? 0 : align == "right" ? button->first - width : (button->first - width) / 2;
    dy = (button->second - height) / 2;
    width = button->first, height = button->second;
  }
  if (width > ImageMaxSide || height > ImageMaxSide || width * height > MaxCaptionPixels) {
    return Failure("the caption image would be too large: " + std::to_string(width) + "x" + std::to_string(height) +
                   " pixels, past 32767 a side or 64 M in all");
  }
  if (!ComposeSetCaption(layout, static_cast<int>(width), static_cast<int>(height), static_cast<int>(dx),
                         static_cast<int>(dy))) {
    return Failure("out of memory");
  }
  if (std::string why; !SaveImage(ButtonImage, out.c_str(), format, 7, &why)) return Failure(out + ": " + why);
  if (opts.Has("--boxes")) {
    // Not into the image's bytes when the image goes to standard output.
    std::FILE* report = out == "/dev/stdout" ? stderr : stdout;
    for (const PlacedGlyph& g : layout.glyphs) {
      std::fprintf(report, "%u %lld %lld %d %d\n", static_cast<unsigned>(g.id), g.x + dx, g.y + dy, g.width, g.height);
    }
  }
  return ExitDone;
}

struct Images {
  ~Images() { ShutdownImages(); }
};

}  // namespace

int RunCaption(int argc, char** argv) {
  const ParsedOptions opts = ParseOptions(argc, argv, CaptionOptions);
  if (opts.Has("--help") || opts.Has("-h")) {
    std::fputs(CaptionUsage, stdout);
    return ExitDone;
  }
  if (!opts.error.empty()) return UsageError(opts.error);
  if (!opts.positional.empty()) return UsageError("unexpected argument '" + opts.positional.front() + "'");
  const auto sheet = opts.Value("--sheet");
  const auto text = opts.Value("--text");
  const auto out = opts.Value("-o");
  if (!sheet || sheet->empty()) return UsageError("--sheet SHEET.bmp is required");
  if (!text) return UsageError("--text TEXT is required");
  if (!out || out->empty()) return UsageError("-o OUT.bmp is required");
  const auto format = OutputFormat(opts, *out);
  if (!format) return UsageError("--format must be png or bmp");

  const std::string layout = opts.Value("--layout").value_or("fixed");
  if (layout != "fixed" && layout != "proportional") return UsageError("--layout must be fixed or proportional");
  for (const char* name : ProportionalOptions) {
    if (layout == "fixed" && opts.Has(name)) return UsageError(std::string(name) + " needs --layout proportional");
  }
  if (layout == "proportional" && (opts.Has("--width") || opts.Has("--height"))) {
    return UsageError("--width and --height cut fixed cells: not with --layout proportional");
  }

  Images released;
  std::string why;
  if (!ReadImageFile(SheetImageNumber, sheet->c_str(), &why)) return Failure(*sheet + ": " + why);
  // A sheet with alpha keeps it in a PNG caption; anywhere else it is composed over black, as the window shows it.
  const bool sheetAlpha = FindImageRecord(SheetImageNumber)->depth == 32;
  const bool withAlpha = sheetAlpha && *format == ImageFormatPng;
  if (sheetAlpha && !withAlpha && !FlattenImage(SheetImageNumber, SheetImageNumber)) return Failure("out of memory");

  if (layout == "proportional") return RunProportional(opts, *sheet, *out, *format);

  // The same defaults and range as the composer's size fields after a load.
  const int maxSize = MaxCellSize();
  int size[2] = {DefaultCellSize(), DefaultCellSize()};
  const char* names[2] = {"--width", "--height"};
  for (int i = 0; i < 2; ++i) {
    if (const auto v = opts.Value(names[i])) {
      const auto parsed = ParseInt(*v, MinCellSize, maxSize);
      if (!parsed) return UsageError(std::string(names[i]) + " must be 1 to " + std::to_string(maxSize) + " for this sheet");
      size[i] = *parsed;
    }
  }

  const std::string codes = Utf8ToWindows1252(*text);
  const std::string_view caption = TrimCaption(codes);
  if (caption.empty()) return Failure("the caption is empty");
  if (static_cast<long long>(caption.size()) * size[0] > ImageMaxSide) {
    return Failure("the caption image would be wider than " + std::to_string(ImageMaxSide) + " pixels");
  }
  if (!ComposeButtonImage(size[0], size[1], codes, withAlpha)) return Failure("out of memory");
  ListCharactersWithoutCell(*text);
  if (std::string why; !SaveImage(ButtonImage, out->c_str(), *format, 7, &why)) return Failure(*out + ": " + why);
  return ExitDone;
}
