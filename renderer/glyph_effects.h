// The sheet's effects drawn with each glyph (a blurred shadow, an outline,
// a gradient face) and the ink they add to its drawing.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/font_source.h"
#include "raster/coverage_box.h"
#include "renderer/ink_boxes.h"
#include "renderer/renderer_settings.h"

// The coverage of `text` as PaintCodePoints lays it with the origin at
// (0, 0): glyphs at their pens and the style's bars, cut to the advances
// (plus a positive italic overhang) and the cell's height.
CoverageBox LaidCoverage(const PlatformFont& font, int overhang, std::u32string_view text);

// The union of the count x count shadow copies of `text` in `shadow`, blurred
// by the settings' shadow blur, around the face's origin.
CoverageBox SoftShadowCoverage(const PlatformFont& shadow, int overhang, std::u32string_view text, int count);

// The face's glyphs of `text` stroked at the settings' outline width and
// join, and its bars grown by that width, around the face's origin.
CoverageBox OutlineCoverage(const PlatformFont& face, std::u32string_view text);

// The colour of row `y` (0 at the line's top) of a line `lineHeight` rows
// high: each channel top + (bottom - top) x y / (lineHeight - 1), rounded;
// top above the line, bottom below it.
std::uint32_t GradientColour(const LineGradient& gradient, int y, int lineHeight);

// Each draws its layer of `text`, the face's origin at (ox, oy), on the open
// drawing state when the settings ask for its effect, and says whether they do.
bool DrawSoftShadow(std::u32string_view text, int ox, int oy, int count);
bool DrawOutline(std::u32string_view text, int ox, int oy);
bool DrawGradientFace(std::u32string_view text, int ox, int oy);

// What the effects add to the drawing of `c` in `face`: the outline's ink
// and, given the ink of its unblurred shadow copies, the blur's reach.
InkBox EffectsInkOf(const PlatformFont& face, char32_t c, const InkBox& shadow);
