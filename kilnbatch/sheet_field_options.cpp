#include "kilnbatch/sheet_field_options.h"

#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "platform/font_source.h"
#include "raster/bmp_file.h"

CLI::Option* DeclareFieldSheetOptions(CLI::App& command, FieldSheetOptions& o) {
  return AddNumber(command, "--sdf", "SPREAD", o.spread, {GlyphFieldMinSpread, GlyphFieldMaxSpread, "pixels"},
                   "draw each glyph as the signed distance field of its outline, reaching SPREAD\n"
                   "pixels each side of the edge (grey and alpha PNG, 128 on the edge, higher inside);\n"
                   "implies --fit and --descriptor text unless another is asked for",
                   "off");
}

int CheckFieldSheetOptions(const FieldSheetOptions& o, bool shadow, bool bars, int format) {
  if (!o.spread) return ExitDone;
  // Engines draw outlines and shadows from the field itself, in their shaders.
  if (shadow) return UsageError("sheet", "--sdf draws no shadow: a shader makes one from the field");
  if (bars) return UsageError("sheet", "--sdf draws the glyphs' outlines only, no underline or strike-out");
  if (format != ImageFormatPng) {
    return UsageError("sheet", "--sdf needs a PNG sheet (-o NAME.png or --format png): a BMP has no alpha for the field");
  }
  return ExitDone;
}
