#include <memory>
#include <string>

#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

constexpr const char* Name = "convert";

constexpr int LoadedImage = 0;

struct ConvertOptions {
  std::string in;
  std::string out;
  std::string format;
};

struct ImagesReleased {
  ~ImagesReleased() { ShutdownImages(); }
};

int RunConvert(const ConvertOptions& o) {
  ImagesReleased released;
  std::string why;
  if (!ReadImageFile(LoadedImage, o.in.c_str(), &why)) return Failure(Name, o.in + ": " + why);
  // Written at 24 bits whatever depth the input had, alpha composited over
  // black where it stands, so the largest picture takes one store, not two.
  const ImageRecord* loaded = FindImageRecord(LoadedImage);
  const bool plain = loaded->depth == 24 && loaded->sourceDepth != 32;
  if (!plain && !FlattenImage(LoadedImage, LoadedImage)) return Failure(Name, o.in + ": out of memory");
  if (!SaveImage(LoadedImage, o.out.c_str(), OutputFormat(o.format, o.out), 7, &why)) {
    return Failure(Name, o.out + ": " + why);
  }
  return ExitDone;
}

}  // namespace

Command AddConvertCommand(CLI::App& kilnbatch) {
  CLI::App* command = kilnbatch.add_subcommand(
      Name, "read any BMP or PNG file and write it as a 24-bit BMP or PNG (alpha composited over black)");
  auto o = std::make_shared<ConvertOptions>();
  command->add_option("IN", o->in, "the BMP or PNG file to read")->type_name("")->required();
  AddOutput(*command, "OUT", "", o->out, "where to write it")->required();
  AddImageFormat(*command, o->format);
  return {command, [o] { return RunConvert(*o); }};
}
