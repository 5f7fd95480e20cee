#include <cstdio>
#include <string>

#include "composer/compose.h"
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
    "         [--format png|bmp]\n";

const std::vector<OptionSpec> CaptionOptions = {
    {"--sheet", true}, {"--text", true}, {"-o", true}, {"--width", true}, {"--height", true}, {"--format", true},
};

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

struct Images {
  ~Images() { ShutdownImages(); }
};

}  // namespace

int RunCaption(int argc, char** argv) {
  const ParsedOptions opts = ParseOptions(argc, argv, CaptionOptions);
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

  Images released;
  std::string why;
  if (!ReadImageFile(SheetImageNumber, sheet->c_str(), &why)) return Failure(*sheet + ": " + why);
  // A sheet with alpha keeps it in a PNG caption; anywhere else it is composed over black, as the window shows it.
  const bool sheetAlpha = FindImageRecord(SheetImageNumber)->depth == 32;
  const bool withAlpha = sheetAlpha && *format == ImageFormatPng;
  if (sheetAlpha && !withAlpha && !FlattenImage(SheetImageNumber, SheetImageNumber)) return Failure("out of memory");

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
