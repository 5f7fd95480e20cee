// Grey coverage in a box placed around a glyph's origin, and the union of
// its copies moved step by step, as a layered shadow lays them.
#pragma once

#include <cstdint>
#include <vector>

// Coverage (0..255) of [x, x + width) x [y, y + height) around an origin,
// row-major, `width` bytes a row; no pixels when either side is 0.
struct CoverageBox {
  int x = 0, y = 0, width = 0, height = 0;
  std::vector<std::uint8_t> grey;

  bool Empty() const { return width <= 0 || height <= 0; }
  std::uint8_t* Row(int row) { return grey.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width); }
  const std::uint8_t* Row(int row) const {
    return grey.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
  }
  // Sum of every pixel's coverage.
  long long Total() const;
};

// A box of [x0, x1) x [y0, y1): no pixels when either is empty.
CoverageBox ClearBox(int x0, int y0, int x1, int y1);

// Takes `grey` (w x h bytes, row-major) at (x, y) into `box` by maximum,
// what lies outside the box cut off.
void MaxInto(CoverageBox& box, const std::uint8_t* grey, int x, int y, int w, int h);
// The same for a rectangle of full coverage.
void FillInto(CoverageBox& box, int x, int y, int w, int h);

// The union (maximum) of `box` moved by 0..count-1 pixels right and
// 0..count-1 pixels down, every combination: count - 1 pixels larger each way.
CoverageBox UnionOfSteps(const CoverageBox& box, int count);

// The tight box around `box`'s nonzero coverage, as [x0, x1) x [y0, y1);
// x0 >= x1 when it has none.
struct CoverageInk {
  int x0, y0, x1, y1;
};
CoverageInk InkOfCoverage(const CoverageBox& box);
