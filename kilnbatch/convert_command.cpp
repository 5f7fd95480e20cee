#include <cstdio>
#include <string>

#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

constexpr const char* ConvertUsage = "usage: kilnbatch convert [--format png|bmp] IN OUT\n";

constexpr int LoadedImage = 0;
constexpr int OutputImage = 1;

struct ImagesReleased {
  ~ImagesReleased() { ShutdownImages(); }
};

}  // namespace

int RunConvert(int argc, char** argv) {
  const ParsedOptions opts = ParseOptions(argc, argv, {{"--format", true}, {"--help", false}, {"-h", false}});
  if (opts.Has("--help") || opts.Has("-h")) {
    std::fputs(ConvertUsage, stdout);
    return ExitDone;
  }
  if (!opts.error.empty() || opts.positional.size() != 2) {
    std::fputs(ConvertUsage, stderr);
    return ExitUsage;
  }
  const char* in = opts.positional[0].c_str();
  const char* out = opts.positional[1].c_str();
  const auto format = OutputFormat(opts, out);
  if (!format) {
    std::fprintf(stderr, "kilnbatch convert: --format must be png or bmp\n%s", ConvertUsage);
    return ExitUsage;
  }
  ImagesReleased released;

  std::string why;
  if (!ReadImageFile(LoadedImage, in, &why)) {
    std::fprintf(stderr, "kilnbatch: %s: %s\n", in, why.c_str());
    return ExitFailed;
  }
  // Written at 24 bits whatever depth the input had, alpha composited over
  // black: a 24-bit picture is written as it was read, anything else from a
  // flattened copy.
  const ImageRecord* loaded = FindImageRecord(LoadedImage);
  const bool plain = loaded->depth == 24 && loaded->sourceDepth != 32;
  if (!plain && !FlattenImage(LoadedImage, OutputImage)) {
    std::fprintf(stderr, "kilnbatch: %s: out of memory\n", in);
    return ExitFailed;
  }
  if (!SaveImage(plain ? LoadedImage : OutputImage, out, *format, 7, &why)) {
    std::fprintf(stderr, "kilnbatch convert: %s: %s\n", out, why.c_str());
    return ExitFailed;
  }
  return ExitDone;
}
