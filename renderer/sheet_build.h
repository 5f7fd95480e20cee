// Building the character sheet (its layout is in core/sheet_format.h) with
// cells of N = the cell measure + 4 pixels, or cells fitted to the glyphs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/font_descriptor.h"
#include "core/sheet_format.h"
#include "platform/font_source.h"
#include "renderer/sheet_pack.h"

// What a sheet holds and how it is laid out; the default is the windows'
// sheet, codes 32 to 126 in cells of the measured N.
struct SheetRequest {
  // With a value, the cells are those of FittedSheetLayout with this padding.
  std::optional<int> fitPadding;
  // Laid out by code: the codes from SheetFirstCode to `lastCode`,
  // SheetRowsFor(lastCode) rows; codes that are no Windows-1252 character
  // (127, the undefined ones) stay background.
  int lastCode = SheetLastCode;
  // When not empty, these characters instead, in this order, `columns` a row.
  std::u32string characters;
  int columns = SheetColumns;
  // A 32-bit sheet whose background is fully transparent (carrying the text
  // colour), each layer composited over what lies below.
  bool transparent = false;
  // When given, a character the face has no glyph for is left background and
  // its code point listed here; otherwise the face's missing-glyph box is drawn.
  std::vector<char32_t>* missing = nullptr;
  // When given, filled with the sheet's metrics (all but the page's file
  // name): each glyph's tight box around its face and shadow copies, its
  // offsets from the pen and the line's top, the face's advance, and the
  // face's kerning among the characters drawn.
  FontDescriptor* descriptor = nullptr;
  // Above 0 (GlyphFieldMinSpread to GlyphFieldMaxSpread, with `fitPadding`
  // and no shadow), each glyph is drawn as its outline's signed distance
  // field reaching this far each side (renderer/field_sheet.h) into a 32-bit
  // sheet, grey and alpha both the field; the boxes are the fields' and the
  // descriptor says so.
  int fieldSpread = 0;
};

// Builds image SheetImage from the settings (redrawing the preview on the
// way). Returns the cell size N, or 0 when the sheet cannot be made (the
// fonts cannot be had, or the sheet is past a side of ImageMaxSide or the
// BmpMaxPixels every reader takes, found before any of it is drawn); an
// earlier sheet is then left as it was. More `columns` than characters
// are as many as there are characters.
int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText, const SheetRequest& request = {});

// The cell pitch N and where each face's origin lies in its cell.
struct SheetLayout {
  int pitch = 0;
  int originX = SheetFaceInset;
  int originY = 0;
};

// The smallest cells that hold the whole drawing of every code of the sheet
// (its shadow copies, when `shadowOn`, and its face, in the fonts made now)
// with `padding` pixels of background on every side. The origin stays at
// (SheetFaceInset, 0) unless ink reaches further left or up. Pitch 0 when a
// font is missing. `characters` are those the sheet draws (by default, those
// of the default sheet).
SheetLayout FittedSheetLayout(bool shadowOn, int count, int padding, const std::u32string* characters = nullptr);

// A packed sheet: each glyph's tight box, grown by the padding, on a page.
struct PackedGlyph {
  char32_t character = 0;
  int page = 0;
  int originX = 0, originY = 0;  // where its face's top-left is drawn on the page
};
struct PackedSheet {
  PackedPages layout;               // how many pages, their one size
  std::vector<PackedGlyph> glyphs;  // those with ink, in the sheet's order
  std::vector<GlyphCoverage> fields;  // of a distance-field sheet: each glyph's field, as `glyphs`
  // When a glyph's box is larger than a page: its character and the box's size.
  char32_t tooLarge = 0;
  int needWidth = 0, needHeight = 0;
};

// Measures the characters `request` chooses (its `characters`, `lastCode`
// and `missing`; not its cells) as BuildCharacterSheet does, and packs
// their boxes with `padding` pixels of background around each ink within
// `limits`, in the sheet's order; fills `request.descriptor` with the tight
// boxes on their pages (an inkless glyph: an empty box at (0, 0) on page 0),
// the pages' size and the spacing, all but the pages' file names. Draws
// nothing: DrawPackedPage does, a page at a time. False when the fonts
// cannot be had or `out.layout.outcome` says what did not fit.
bool PackCharacterSheet(bool shadowOn, int count, std::string_view testText, const SheetRequest& request, int padding,
                        const PackLimits& limits, PackedSheet& out);

// Makes image SheetImage at the pages' size and draws page `page` of
// `sheet` on it, in the fonts PackCharacterSheet made, with the background
// the grid has; false when the image cannot be made.
bool DrawPackedPage(const PackedSheet& sheet, int page, bool shadowOn, int count, bool transparent);
