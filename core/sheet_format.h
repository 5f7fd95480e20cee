// The character sheet, the one file that passes between the programs: a square
// image of 10 x 10 cells of N x N pixels, N = width / 10 (a Windows-1252 sheet
// adds rows below, never columns). Cell (column, row)
// holds code 32 + 10 x row + column; each face's box starts 4 pixels right of
// its cell's left edge, on the cell's top edge. Every reader and writer of a
// sheet takes these numbers from here.
#pragma once

inline constexpr int SheetColumns = 10;
inline constexpr int SheetFirstCode = 32;  // the space, in the top-left cell
inline constexpr int SheetLastCode = 126;  // "~"; the cells after it are background
inline constexpr int SheetFaceInset = 4;
// A Windows-1252 sheet runs on to the last byte, in the same grid, 23 rows tall.
inline constexpr int Windows1252SheetLastCode = 255;
inline constexpr int SheetDeleteCode = 127;  // never a character: its cell stays background

// The rows of a sheet whose codes run from the first to `lastCode`.
constexpr int SheetRowsFor(int lastCode) { return (lastCode - SheetFirstCode) / SheetColumns + 1; }

// The cell pitch N of a sheet `sheetWidth` pixels wide.
constexpr int CellPitchOfSheet(int sheetWidth) { return sheetWidth / SheetColumns; }

struct SheetCell {
  int column = 0;
  int row = 0;
};

// The cell of `code`. The division truncates toward zero, so a code below the
// first lands outside the image (the tab, 9, at column -3 of row -2) and its
// copy there stays black.
constexpr SheetCell SheetCellOf(int code) {
  const int k = code - SheetFirstCode;
  const int row = k / SheetColumns;
  return {k - SheetColumns * row, row};
}

// Whether a sheet of `width` x `height` pixels has a cell for `code`: one that
// starts inside the image. Readers cut every code's cell all the same; this
// only tells them which characters the sheet cannot hold.
constexpr bool SheetHasCell(int code, int width, int height) {
  const int pitch = CellPitchOfSheet(width);
  return code >= SheetFirstCode && pitch > 0 && static_cast<long long>(SheetCellOf(code).row) * pitch < height;
}
