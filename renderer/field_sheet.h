// Distance-field sheets: each glyph drawn as the signed distance field of its
// outline, kept whole in a box its spread larger than the outline's on every
// side, written to the image as grey and alpha both.
#pragma once

#include <string_view>
#include <vector>

#include "platform/font_source.h"

// The fields of `characters` in `face`, one each, drawn once so that their
// boxes and their pixels come from the same rendering.
std::vector<GlyphCoverage> DrawGlyphFields(const PlatformFont& face, std::u32string_view characters, int spread);

// Where `field` reaches around its face's origin (left from the pen, top from
// the line's top); width 0 for a glyph without one.
PixelRect FieldBoxOf(const GlyphCoverage& field);

// Writes `field` into the 32-bit image `number` with its face's origin at
// (ox, oy): blue, green, red and alpha all the field's value, clipped to
// the image.
void PlaceField(int number, const GlyphCoverage& field, int ox, int oy);
