#include <cstdio>
#include <cstring>
#include <string>

#include "kilnbatch/commands.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

constexpr int LoadedImage = 0;
constexpr int OutputImage = 1;

struct ImagesReleased {
  ~ImagesReleased() { ShutdownImages(); }
};

}  // namespace

int RunConvert(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: kilnbatch convert IN.bmp OUT.bmp\n", stderr);
    return ExitUsage;
  }
  const char* in = argv[0];
  const char* out = argv[1];
  ImagesReleased released;

  std::string why;
  if (!ReadImageFile(LoadedImage, in, &why)) {
    std::fprintf(stderr, "kilnbatch: %s: %s\n", in, why.c_str());
    return ExitFailed;
  }
  // A fresh 24-bit image, so the file is written at 24 bits whatever depth
  // the input had.
  const PixelStore* loaded = ImagePixels(ImageHandle(LoadedImage));
  if (!MakeImage(OutputImage, loaded->width, loaded->height)) {
    std::fprintf(stderr, "kilnbatch: %s: out of memory\n", in);
    return ExitFailed;
  }
  PixelStore* copy = ImagePixels(ImageHandle(OutputImage));
  std::memcpy(copy->bytes.data(), loaded->bytes.data(), copy->bytes.size());
  if (!WriteImageBmp(OutputImage, out, &why)) {
    std::fprintf(stderr, "kilnbatch convert: %s: %s\n", out, why.c_str());
    return ExitFailed;
  }
  return ExitDone;
}
