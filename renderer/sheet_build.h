// Building the character sheet (its layout is in core/sheet_format.h) with
// cells of N = the cell measure + 4 pixels.
#pragma once

#include <string_view>

#include "core/sheet_format.h"

// Builds image SheetImage from the settings (redrawing the preview on the
// way). Returns the cell size N, or 0 when the sheet cannot be made (the
// fonts cannot be had, or 10 x N is too large for an image); an earlier sheet
// is then left as it was.
int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText);
