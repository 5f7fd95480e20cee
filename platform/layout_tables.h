// What HarfBuzz does not report of a face's layout tables, read from their bytes.
#pragma once

#include <hb.h>

#include <vector>

// GPOS lookup types that attach marks: they start on the mark.
inline constexpr unsigned GposMarkToBase = 4, GposMarkToMark = 6;

// Each GPOS lookup's type, by index, an extension's as the type it wraps; 0
// for a lookup that cannot be read, and an empty list without a table.
std::vector<unsigned> PositioningLookupTypes(hb_face_t* face);

// Adds the glyphs a legacy `kern` table's pairs name (none without a table).
// False when it holds what is not read here (anything but the OpenType
// version 0 table of horizontal format 0 pairs): any glyph may kern then.
bool AddLegacyKerningGlyphs(hb_face_t* face, hb_set_t* glyphs);
