#include "kilnbatch/caption_field_options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "composer/compose.h"
#include "composer/field_caption.h"
#include "core/text_codes.h"
#include "core/character_lists.h"
#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "kilnbatch/standard_output.h"
#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

constexpr const char* Name = "caption";

}  // namespace

void DeclareFieldCaptionOptions(CLI::App& group, FieldCaptionOptions& o) {
  // Checked here rather than by CLI::Range, which lets "nan" through.
  o.given[0] = group.add_option("--scale", o.scale, "a distance-field sheet's caption at S times its size (1)")
                   ->type_name("S")
                   ->check(CLI::Validator([](std::string& text) {
                     char* end = nullptr;
                     const double scale = std::strtod(text.c_str(), &end);
                     const bool in = !text.empty() && *end == '\0' && scale >= FieldCaptionMinScale && scale <= FieldCaptionMaxScale;
                     return in ? std::string() : "must be a number from 0.25 to 16";
                   }, ""));
  o.given[1] = AddColour(group, "--colour", o.colour, "a distance-field caption's colour");
  o.given[2] = AddColour(group, "--background", o.background,
                         "a distance-field caption's background (transparent without it, PNG only)");
}

bool IsFieldCaption(const FieldCaptionOptions& o, const FontDescriptor& metrics) {
  return metrics.sdfSpread > 0 || std::any_of(std::begin(o.given), std::end(o.given), [](const CLI::Option* g) { return g && g->count(); });
}

int RunFieldCaption(const FieldCaptionOptions& o, const FieldCaptionRequest& r, const FontDescriptor& metrics,
                    const std::string& sheetPath, std::u32string_view text) {
  for (const CLI::Option* g : o.given) {
    if (metrics.sdfSpread <= 0 && g->count()) {
      return UsageError(Name, g->get_name() + " needs a distance-field sheet (one made with kilnbatch sheet --sdf)");
    }
  }
  const bool transparent = !o.given[2]->count();
  if (transparent && r.format != ImageFormatPng) {
    return UsageError(Name, "a distance-field caption is transparent: it needs a PNG (-o NAME.png) or --background");
  }
  std::string why;
  const ImageRecord& sheet = *FindImageRecord(SheetImageNumber);
  if (sheet.depth != 32 || sheet.width != metrics.scaleW || sheet.height != metrics.scaleH) {
    return Failure(Name, sheetPath + ": not the grey and alpha field its descriptor describes");
  }
  FieldCaptionSetting setting{o.scale, r.margin, r.letterSpacing, o.colour, std::nullopt};
  if (!transparent) setting.background = o.background;
  const FieldCaption caption = LayOutFieldCaption(metrics, text, setting);
  if (!caption.layout.missing.empty()) {
    std::fprintf(stderr, "kilnbatch caption: warning: no glyph for%s\n", CodePointNames(caption.layout.missing).c_str());
  }
  if (caption.layout.placed == 0) return Failure(Name, "no character of the caption has a glyph in the sheet");
  const std::optional<CaptionPlacement> at = PlaceCaption(caption.width, caption.height, r.button, r.align, &why);
  if (!at) return Failure(Name, why);
  if (!ComposeFieldCaption(caption, metrics, setting, static_cast<int>(at->width), static_cast<int>(at->height),
                           static_cast<int>(at->dx), static_cast<int>(at->dy))) {
    return Failure(Name, "out of memory");
  }
  if (!SaveImage(ButtonImage, r.out.c_str(), r.format, 7, &why)) return Failure(Name, r.out + ": " + why);
  if (r.boxes) {
    std::FILE* report = IsStandardOutput(r.out) ? stderr : stdout;
    for (const PlacedGlyph& g : caption.layout.glyphs) {
      const OutputBox b = OutputBoxOf(caption, g);
      std::fprintf(report, "%u %lld %lld %lld %lld\n", static_cast<unsigned>(g.id), b.x + at->dx, b.y + at->dy, b.width, b.height);
    }
  }
  return ExitDone;
}
