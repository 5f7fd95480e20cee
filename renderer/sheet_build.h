// Building the character sheet (its layout is in core/sheet_format.h) with
// cells of N = the cell measure + 4 pixels, or cells fitted to the glyphs.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "core/sheet_format.h"

// Builds image SheetImage from the settings (redrawing the preview on the
// way). Returns the cell size N, or 0 when the sheet cannot be made (the
// fonts cannot be had, or 10 x N is too large for an image); an earlier sheet
// is then left as it was.
// With `fitPadding`, the cells are those of FittedSheetLayout.
// The codes run from SheetFirstCode to `charset.lastCode`, laid out by code,
// SheetRowsFor(lastCode) rows of cells; codes that are no Windows-1252
// character (127, the undefined ones) stay background.
struct SheetCharset {
  int lastCode = SheetLastCode;
  // When given, a character the face has no glyph for is left background and
  // its code point listed here; otherwise the face's missing-glyph box is drawn.
  std::vector<char32_t>* missing = nullptr;
};
int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText,
                        std::optional<int> fitPadding = std::nullopt, SheetCharset charset = {});

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
// font is missing. `codes` are the sheet's codes drawn (by default, those of
// the default sheet).
SheetLayout FittedSheetLayout(bool shadowOn, int count, int padding, const std::vector<int>* codes = nullptr);
