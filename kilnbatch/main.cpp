#include <cstdio>
#include <cstring>

#include "kiln_version.h"
#include "kilnbatch/commands.h"

namespace {

constexpr const char* Usage =
    "usage: kilnbatch convert IN.bmp OUT.bmp\n"
    "       kilnbatch --help | --version\n";

constexpr const char* Help =
    "kilnbatch: the bitmap lettering engine on the command line.\n"
    "\n"
    "  convert IN.bmp OUT.bmp   read any BMP file and write it as a 24-bit BMP\n"
    "\n"
    "Exit codes: 0 done, 1 a file could not be read or written, 2 a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
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
  if (std::strcmp(command, "convert") == 0) return RunConvert(argc - 2, argv + 2);
  std::fprintf(stderr, "kilnbatch: unknown command '%s'\n", command);
  std::fputs(Usage, stderr);
  return ExitUsage;
}
