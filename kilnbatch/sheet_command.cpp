#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>

#include "kilnbatch/character_lists.h"
#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "renderer/renderer_settings.h"
#include "renderer/sheet_build.h"
#include "core/font_descriptor.h"
#include "core/fonts.h"
#include "core/sheet_format.h"
#include "core/text_codes.h"
#include "platform/font_handles.h"

namespace {

constexpr const char* SheetUsage =
    "usage: kilnbatch sheet -o OUT.bmp [--font NAME] [--size PT] [--bold] [--italic]\n"
    "         [--underline] [--strikeout] [--colour RRGGBB] [--background RRGGBB]\n"
    "         [--shadow] [--shadow-size PT] [--shadow-colour RRGGBB] [--offset X,Y]\n"
    "         [--fit [--padding P]] [--charset ascii|windows-1252]\n"
    "         [--chars SPEC | --chars-file FILE [--columns N]] [--transparent]\n"
    "         [--descriptor text|xml|json]...\n"
    "         [--count C] [--preview PREVIEW.bmp] [--test TEXT] [--dpi N] [--format png|bmp]\n"
    "       --shadow-size stays 8 points whatever --size is: give it the text's size\n"
    "       for a shadow as large as the text.\n";

const std::vector<OptionSpec> SheetOptions = {
    {"-o", true},          {"--font", true},        {"--size", true},         {"--bold", false},
    {"--italic", false},   {"--underline", false},  {"--strikeout", false},   {"--colour", true},
    {"--background", true}, {"--shadow", false},    {"--shadow-size", true},  {"--shadow-colour", true},
    {"--offset", true},    {"--count", true},       {"--preview", true},      {"--test", true},
    {"--fit", false},      {"--padding", true},
    {"--dpi", true},       {"--format", true},      {"--charset", true},      {"--chars", true},
    {"--chars-file", true}, {"--columns", true},    {"--transparent", false}, {"--descriptor", true},
    {"--help", false},     {"-h", false},
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "kilnbatch sheet: %s\n%s", message.c_str(), SheetUsage);
  return ExitUsage;
}

struct Images {
  ~Images() {
    ShutdownImages();
    ShutdownFonts();
  }
};

}  // namespace

int RunSheet(int argc, char** argv) {
  const ParsedOptions opts = ParseOptions(argc, argv, SheetOptions);
  if (opts.Has("--help") || opts.Has("-h")) {
    std::fputs(SheetUsage, stdout);
    return ExitDone;
  }
  if (!opts.error.empty()) return UsageError(opts.error);
  if (!opts.positional.empty()) return UsageError("unexpected argument '" + opts.positional.front() + "'");
  const auto out = opts.Value("-o");
  if (!out || out->empty()) return UsageError("-o OUT.bmp is required");
  const auto format = OutputFormat(opts, *out);
  if (!format) return UsageError("--format must be png or bmp");

  RendererSettings s;
  bool shadowOn = opts.Has("--shadow");
  int count = MinShadowCount;
  std::string test = "A";
  int dpi = DefaultFontResolution;
  int padding = 1;  // pixels of background around the drawing in a fitted cell

  auto number = [&](const char* name, int lo, int hi, int& into) {
    const auto v = opts.Value(name);
    if (!v) return true;
    const auto parsed = ParseInt(*v, lo, hi);
    if (!parsed) return false;
    into = *parsed;
    return true;
  };
  auto colour = [&](const char* name, std::uint32_t& into) {
    const auto v = opts.Value(name);
    if (!v) return true;
    const auto parsed = ParseColour(*v);
    if (!parsed) return false;
    into = *parsed;
    return true;
  };
  if (!number("--size", MinFontSize, MaxFontSize, s.fontSize)) return UsageError("--size must be 1 to 400 points");
  if (!number("--shadow-size", MinFontSize, MaxFontSize, s.shadowSize)) {
    return UsageError("--shadow-size must be 1 to 400 points");
  }
  if (!number("--count", MinShadowCount, MaxShadowCount, count)) return UsageError("--count must be 1 to 10");
  if (!number("--dpi", 1, 1200, dpi)) return UsageError("--dpi must be 1 to 1200");
  if (!number("--padding", 0, 100, padding)) return UsageError("--padding must be 0 to 100 pixels");
  if (opts.Has("--padding") && !opts.Has("--fit") && !opts.Has("--descriptor")) {
    return UsageError("--padding needs --fit");
  }
  const auto charsetName = opts.Value("--charset");
  if (charsetName && *charsetName != "ascii" && *charsetName != "windows-1252") {
    return UsageError("--charset must be ascii or windows-1252");
  }
  SheetRequest request;
  // Overlapping cells have no rectangle of their own to describe: a descriptor implies --fit.
  if (opts.Has("--fit") || opts.Has("--descriptor")) request.fitPadding = padding;
  if (charsetName == "windows-1252") request.lastCode = Windows1252SheetLastCode;
  const auto chars = opts.Value("--chars"), charsFile = opts.Value("--chars-file");
  if ((charsetName ? 1 : 0) + (chars ? 1 : 0) + (charsFile ? 1 : 0) > 1) {
    return UsageError("--charset, --chars and --chars-file each choose the characters: give one");
  }
  if (std::string why; chars) {
    auto parsed = ParseCharacterRanges(*chars, &why);
    if (!parsed) return UsageError("--chars: " + why);
    request.characters = std::move(*parsed);
  }
  if (opts.Has("--columns") && !chars && !charsFile) return UsageError("--columns needs --chars or --chars-file");
  if (!number("--columns", 1, ImageMaxSide, request.columns)) return UsageError("--columns must be 1 to 32767");
  if (opts.Has("--transparent") && *format != ImageFormatPng) {
    return UsageError("--transparent needs a PNG sheet (-o NAME.png or --format png)");
  }
  if (opts.Has("--transparent") && opts.Has("--background")) {
    return UsageError("--transparent leaves no background to colour");
  }
  request.transparent = opts.Has("--transparent");
  // With the characters chosen, those the face lacks are left out and listed.
  std::vector<char32_t> missing;
  if (charsetName || chars || charsFile) request.missing = &missing;
  if (!colour("--colour", s.textColour)) return UsageError("--colour must be six hex digits, RRGGBB");
  if (!colour("--background", s.backgroundColour)) return UsageError("--background must be six hex digits, RRGGBB");
  if (!colour("--shadow-colour", s.shadowColour)) {
    return UsageError("--shadow-colour must be six hex digits, RRGGBB");
  }
  if (const auto v = opts.Value("--offset")) {
    const auto pair = ParsePair(*v, -MaxShadowOffset, MaxShadowOffset);
    if (!pair) return UsageError("--offset must be X,Y with each -20 to 20");
    s.shadowOffsetX = pair->first;
    s.shadowOffsetY = pair->second;
  }
  if (const auto v = opts.Value("--font")) s.fontName = *v;
  if (const auto v = opts.Value("--test")) test = Utf8ToWindows1252(*v);
  s.styleBits = (opts.Has("--bold") ? FontBold : 0) | (opts.Has("--italic") ? FontItalic : 0) |
                (opts.Has("--underline") ? FontUnderline : 0) | (opts.Has("--strikeout") ? FontStrikeOut : 0);

  // Under one pixel a font cannot be made at all: that is the sizes' fault,
  // not a sheet too large.
  for (const auto& [name, points, used] : {std::tuple{"--size", s.fontSize, true}, {"--shadow-size", s.shadowSize, shadowOn}}) {
    if (used && PointsToPixels(points, dpi) < 1) {
      return UsageError(std::string(name) + " " + std::to_string(points) + " at --dpi " + std::to_string(dpi) +
                        " is under one pixel high");
    }
  }

  // Each descriptor beside the image, named after it.
  std::vector<std::pair<DescriptorFormat, std::string>> descriptors;
  for (const std::string& name : opts.Values("--descriptor")) {
    const auto format = name == "text" ? std::optional(DescriptorFormat::Text)
                        : name == "xml" ? std::optional(DescriptorFormat::Xml)
                        : name == "json" ? std::optional(DescriptorFormat::Json) : std::nullopt;
    if (!format) return UsageError("--descriptor must be text, xml or json");
    const std::string path = std::filesystem::path(*out).replace_extension(DescriptorExtension(*format)).string();
    // Standard output (wherever it is redirected), an open file's link, a FIFO
    // or a device has no folder to put a descriptor beside; a folder under
    // /dev such as /dev/shm is a folder like any other.
    std::error_code error;
    const auto type = std::filesystem::status(*out, error).type();
    const bool stream = *out == "/dev/stdout" || *out == "/dev/stderr" || out->starts_with("/dev/fd/") ||
                        out->starts_with("/proc/");
    if (path == *out || stream ||
        (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular)) {
      return UsageError("--descriptor needs -o naming an image file to write it beside");
    }
    if (std::find_if(descriptors.begin(), descriptors.end(), [&](const auto& d) { return d.first == *format; }) ==
        descriptors.end()) {
      descriptors.emplace_back(*format, path);
    }
  }
  FontDescriptor descriptor;
  if (!descriptors.empty()) request.descriptor = &descriptor;

  // The file last among the checks: it is read only for a command line that is otherwise right.
  if (std::string why; charsFile) {
    auto read = ReadCharactersFile(charsFile->c_str(), &why);
    if (!read) {
      std::fprintf(stderr, "kilnbatch sheet: %s: %s\n", charsFile->c_str(), why.c_str());
      return ExitFailed;
    }
    request.characters = std::move(*read);
  }

  Images released;
  SetFontResolution(dpi);
  rendererSettings = s;
  if (!MakeImage(PreviewImage, PreviewSide, PreviewSide)) {
    std::fputs("kilnbatch sheet: out of memory\n", stderr);
    return ExitFailed;
  }
  const int n = BuildCharacterSheet(shadowOn, count, test, request);
  if (!n) {
    std::fputs(request.characters.empty()
                   ? "kilnbatch sheet: the character sheet would be too large for this font size\n"
                   : "kilnbatch sheet: the character sheet would be too large: fewer characters, a smaller size "
                     "or other --columns may fit\n",
               stderr);
    return ExitFailed;
  }
  if (const PlatformFont* face = FontOfHandle(FontHandle(FaceFont)); face && face->IsFallback()) {
    std::fprintf(stderr, "kilnbatch sheet: warning: no face \"%s\" here; drawn with \"%s\"\n", s.fontName.c_str(),
                 face->FamilyName().c_str());
  }
  if (!missing.empty()) {
    std::fprintf(stderr, "kilnbatch sheet: the face has no glyph for%s\n",
                 CodePointNames(std::u32string(missing.begin(), missing.end())).c_str());
  }
  // The preview first: when it cannot be written, the sheet is left as it was.
  if (const auto preview = opts.Value("--preview")) {
    if (std::string why; !SaveImage(PreviewImage, preview->c_str(), ImageFormatForName(*preview), 7, &why)) {
      std::fprintf(stderr, "kilnbatch sheet: %s: %s\n", preview->c_str(), why.c_str());
      return ExitFailed;
    }
  }
  // The image and its descriptors are each written whole before any replaces its file.
  std::vector<FileToReplace> files{{*out, ImageFileWriter(SheetImage, *format)}};
  descriptor.pageFile = std::filesystem::path(*out).filename().string();
  for (const auto& [form, path] : descriptors) {
    files.push_back({path, [text = WriteDescriptor(descriptor, form)](int fd) {
                       return WriteAll(fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
                     }});
  }
  std::size_t failed = 0;
  if (std::string why; !ReplaceFiles(files, &failed, &why)) {
    std::fprintf(stderr, "kilnbatch sheet: %s: %s\n", files[failed].path.c_str(), why.c_str());
    return ExitFailed;
  }
  // With an image on standard output, the report goes where it cannot mix with the image's bytes.
  struct stat console {}, image {};
  bool imageOnStdout = false;
  for (const auto& path : {out, opts.Value("--preview")}) {
    imageOnStdout |= path && ::fstat(1, &console) == 0 && ::stat(path->c_str(), &image) == 0 &&
                     image.st_dev == console.st_dev && image.st_ino == console.st_ino;
  }
  const ImageRecord* sheet = FindImageRecord(SheetImage);
  std::fprintf(imageOnStdout ? stderr : stdout, "cell %d, sheet %dx%d\n", n, sheet->width, sheet->height);
  return ExitDone;
}
