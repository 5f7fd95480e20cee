#include <cstdio>
#include <cstring>
#include <new>

#include "kiln_version.h"
#include "kilnbatch/commands.h"
#include "raster/bmp_file.h"

namespace {

constexpr const char* Usage =
    "usage: kilnbatch sheet -o OUT.bmp [options]\n"
    "       kilnbatch caption --sheet SHEET.bmp --text TEXT -o OUT.bmp [--width W] [--height H]\n"
    "       kilnbatch convert [--format png|bmp] IN OUT\n"
    "       (an output named \"-\" is standard output)\n"
    "       kilnbatch help [sheet|caption|convert] | --help | --version\n"
    "       (COMMAND --help or -h prints that command's usage)\n";

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
    "           --shadow-size PT  1 to 400 points (8, whatever --size is: give\n"
    "                             the text's size for a shadow of the same face)\n"
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

using Command = int (*)(int, char**);

Command FindCommand(const char* name) {
  if (std::strcmp(name, "sheet") == 0) return RunSheet;
  if (std::strcmp(name, "caption") == 0) return RunCaption;
  if (std::strcmp(name, "convert") == 0) return RunConvert;
  return nullptr;
}

// `kilnbatch help [COMMAND]`: the general help, or the command's own usage,
// which the command prints when given --help.
int RunHelp(int argc, char** argv) {
  if (argc == 0) {
    std::fputs(Help, stdout);
    std::fputs(Usage, stdout);
    return ExitDone;
  }
  const Command command = argc == 1 ? FindCommand(argv[0]) : nullptr;
  if (!command) {
    if (argc == 1) {
      std::fprintf(stderr, "kilnbatch help: unknown command '%s'\n", argv[0]);
    } else {
      std::fputs("kilnbatch help: one command at most\n", stderr);
    }
    std::fputs(Usage, stderr);
    return ExitUsage;
  }
  static char helpOption[] = "--help";
  char* help[] = {helpOption, nullptr};
  return command(1, help);
}

}  // namespace

int main(int argc, char** argv) {
  RemovePartialWriteOnSignals();  // an interrupted save leaves no temporary file behind
  if (argc < 2) {
    std::fputs(Usage, stderr);
    return ExitUsage;
  }
  const char* command = argv[1];
  if (std::strcmp(command, "--help") == 0 || std::strcmp(command, "-h") == 0 || std::strcmp(command, "help") == 0) {
    return RunHelp(std::strcmp(command, "help") == 0 ? argc - 2 : 0, argv + 2);
  }
  if (std::strcmp(command, "--version") == 0) {
    std::printf("kilnbatch %s\n", KilnVersion);
    return ExitDone;
  }
  NameStandardOutput(argc, argv);
  if (const Command run = FindCommand(command)) {
    // Sizes are checked before anything large is taken; what memory still runs out is a failure, not a crash.
    try {
      return run(argc - 2, argv + 2);
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "kilnbatch %s: out of memory\n", command);
      return ExitFailed;
    }
  }
  std::fprintf(stderr, "kilnbatch: unknown command '%s'\n", command);
  std::fputs(Usage, stderr);
  return ExitUsage;
}
