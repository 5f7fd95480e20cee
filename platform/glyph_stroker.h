// A glyph's outline stroked outward with FreeType's stroker: the border
// drawn around a face, rasterised as the face itself is.
#pragma once

#include "platform/font_source.h"
#include "platform/glyph_rasteriser.h"

// The outside border of the glyph's outline stroked at `width` pixels
// (1..FontMaxStrokePixels): the face grown by `width`, hinted, slanted,
// emboldened and anti-aliased as RasterFace::Render makes the face, placed
// the same way. Invalid (no ink) when the glyph has no outline.
GlyphCoverage RenderStroked(const RasterFace& face, char32_t code, int width, StrokeJoin join);

// Whether the face's glyphs load as outlines the stroker can take.
bool HasStrokableOutlines(const RasterFace& face);
