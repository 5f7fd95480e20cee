#include <cstdio>
#include <cstring>

#include "kiln_version.h"
#include "kilnbatch/commands.h"
#include "raster/bmp_file.h"

namespace {

constexpr const char* Usage =
    "usage: kilnbatch sheet -o OUT.bmp [options]\n"
    "       kilnbatch caption --sheet SHEET.bmp --text TEXT -o OUT.bmp [--width W] [--height H]\n"
    "       kilnbatch convert [--format png|bmp] IN OUT\n"
    "       (an output named \"-\" is standard output)\n"
    "       kilnbatch --help | --version\n";

constexpr const char* Help =
    "kilnbatch: the bitmap lettering engine on the command line.\n"
    "\n"
    "  sheet    build a character sheet: codes 32 to 126 in a 10-column grid\n"
    "           -o OUT.bmp        where to write it (required)\n"
    "           --font NAME       face name (Arial)\n"
    "           --size PT         1 to 400 points (8)\n"
    "           --bold --italic --underline --strikeout\n"
    "           --colour RRGGBB   text colour (FFFFFF)\n"
    "           --background RRGGBB  (000000)\n"
    "           --shadow          draw the layered shadow\n"
    "           --shadow-size PT  1 to 400 points (8)\n"
    "           --shadow-colour RRGGBB  (000000)\n"
    "           --offset X,Y      shadow offset, each -20 to 20 (0,0)\n"
    "           --count C         shadow passes, 1 to 10 (1)\n"
    "           --preview FILE    also write the 200 x 200 preview of --test\n"
    "           --test TEXT       preview text (A)\n"
    "           --dpi N           pixels per inch for point sizes (96)\n"
    "           --format png|bmp  the sheet's format; else PNG for a .png name, else BMP\n"
    "                             (the preview follows its own name)\n"
    "  caption  compose a caption from a BMP or PNG sheet (--format as for sheet;\n"
    "           a PNG with alpha gives a PNG caption with alpha, else over black)\n"
    "           --width W --height H  cell rectangle, 1 to max(40, sheet width / 10);\n"
    "                                 both default to sheet width / 10 - 4\n"
    "  convert  read any BMP or PNG file and write it as a 24-bit BMP or PNG\n"
    "           (--format as for sheet; alpha composited over black)\n"
    "\n"
    "Exit codes: 0 done, 1 a file could not be read or written, 2 a usage error.\n";

// "-" as an output file names standard output, which the writer writes
// through at its current offset.
void NameStandardOutput(int argc, char** argv) {
  static char standardOutput[] = "/dev/stdout", standardOutputOption[] = "-o=/dev/stdout";
  const bool convert = std::strcmp(argv[1], "convert") == 0;
  for (int i = 2; i < argc; ++i) {
    const char* before = argv[i - 1];
    const bool output =
        convert ? argc >= 4 && i == argc - 1 : !std::strcmp(before, "-o") || !std::strcmp(before, "--preview");
    if (output && !std::strcmp(argv[i], "-")) argv[i] = standardOutput;
    if (!convert && !std::strcmp(argv[i], "-o=-")) argv[i] = standardOutputOption;
  }
}

}  // namespace

int main(int argc, char** argv) {
  RemovePartialWriteOnSignals();  // an interrupted save leaves no temporary file behind
  if (argc < 2) {
    std::fputs(Usage, stderr);
    return ExitUsage;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0) {
    std::fputs(Help, stdout);
    std::fputs(Usage, stdout);
    return ExitDone;
  }
  if (std::strcmp(command, "--version") == 0) {
    std::printf("kilnbatch %s\n", KilnVersion);
    return ExitDone;
  }
  NameStandardOutput(argc, argv);
  if (std::strcmp(command, "sheet") == 0) return RunSheet(argc - 2, argv + 2);
  if (std::strcmp(command, "caption") == 0) return RunCaption(argc - 2, argv + 2);
  if (std::strcmp(command, "convert") == 0) return RunConvert(argc - 2, argv + 2);
  std::fprintf(stderr, "kilnbatch: unknown command '%s'\n", command);
  std::fputs(Usage, stderr);
  return ExitUsage;
}
