// Captions from a distance-field sheet at any scale: each output pixel samples
// the field under it and turns the distance into coverage, so the edges stay
// sharp however large the caption is set.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "composer/compose.h"
#include "composer/text_setting.h"
#include "core/font_descriptor.h"

// The scales a field caption is set at.
inline constexpr double FieldCaptionMinScale = 0.25;
inline constexpr double FieldCaptionMaxScale = 16;

struct FieldCaptionSetting {
  double scale = 1;
  int margin = 0;         // output pixels around the ink
  int letterSpacing = 0;  // sheet pixels, scaled as the advances are
  std::uint32_t colour = 0x00FFFFFF;         // 0x00BBGGRR
  std::optional<std::uint32_t> background;   // none: transparent
};

struct FieldCaption {
  CaptionLayout layout;  // in the sheet's pixels, boxes spread included
  double scale = 1;
  double left = 0, top = 0;  // the sheet-pixel point that output (margin, margin) shows
  int margin = 0;
  long long width = 0, height = 0;  // output pixels: the ink and the line, margins around
};

// Sets `text` with `metrics` (a field's: sdfSpread above 0) at `setting.scale`
// times the sheet's size: positions, advances and kerning scaled. The image
// holds the ink (boxes less their padding) and the line's height, with the
// margin around them.
FieldCaption LayOutFieldCaption(const FontDescriptor& metrics, std::u32string_view text,
                                const FieldCaptionSetting& setting);

// Where `g` of `caption` lands in output pixels: its whole box, spread included.
struct OutputBox {
  long long x = 0, y = 0, width = 0, height = 0;
};
OutputBox OutputBoxOf(const FieldCaption& caption, const PlacedGlyph& g);

// Makes ButtonImage `width` x `height` with the caption at (dx, dy): each
// pixel's centre samples the field of image `sheetImage` bilinearly within each
// glyph's box (0 outside it), the distance is scaled to output pixels and a
// smooth step one output pixel wide around the edge gives the coverage of
// `setting.colour`, over the background or, without one, as alpha (32 bits).
// Glyphs that overlap take the larger coverage. 1 when made; 0 when the image
// cannot be made or the sheet is not a 32-bit image.
int ComposeFieldCaption(const FieldCaption& caption, const FontDescriptor& metrics, const FieldCaptionSetting& setting,
                        int width, int height, int dx, int dy, int sheetImage = SheetImageNumber);
