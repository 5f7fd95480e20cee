// The character sheet: codes 32 to 126 in a 10-column grid of N x N cells,
// N = the cell measure + 4, each face 4 pixels in from its cell's left edge
// on its top edge.
#pragma once

#include <string_view>

inline constexpr int SheetColumns = 10;
inline constexpr int SheetFirstCode = 32;
inline constexpr int SheetLastCode = 126;
inline constexpr int SheetFaceInset = 4;

// Builds image SheetImage from the settings (redrawing the preview on the
// way). Returns the cell size N, or 0 when the sheet cannot be made (the
// fonts cannot be had, or 10 x N is too large for an image); an earlier sheet
// is then left as it was.
int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText);
