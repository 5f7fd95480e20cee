// The layered glyph drawing (C x C shadow copies under the face) and the
// preview that also measures the sheet's cells.
#pragma once

#include <string_view>

// Draws `text` (single-byte codes) with its face's top-left at (ox, oy) on
// the open drawing state: first, when `shadowOn`, count x count copies in the
// shadow font and colour at (ox + X + i, oy + Y + j), i outer, j inner, for
// i, j = 1..count; then the face in the face font and text colour. The
// settings' effects change the layers: the copies' union blurred, an outline
// between the shadow and the face, a gradient for the face's colour.
void DrawLayeredGlyph(std::string_view text, int ox, int oy, bool shadowOn, int count);
// The same for Unicode code points.
void DrawLayeredGlyph(std::u32string_view text, int ox, int oy, bool shadowOn, int count);

// Remakes fonts 2 and 1 from the settings, redraws the preview image, and
// stores in the settings' cellMeasure and returns the cell measure: the larger
// of the width and height of "@" in the face font, or, with shadows on, of
// that and the system font's plus max(|X|, |Y|) + count.
int RefreshPreview(bool shadowOn, int count, std::string_view testText);
