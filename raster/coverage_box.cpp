#include "raster/coverage_box.h"

#include <algorithm>
#include <climits>
#include <cstring>

long long CoverageBox::Total() const {
  long long sum = 0;
  for (const std::uint8_t v : grey) sum += v;
  return sum;
}

CoverageBox ClearBox(int x0, int y0, int x1, int y1) {
  if (x0 >= x1 || y0 >= y1) return {};
  CoverageBox box{x0, y0, x1 - x0, y1 - y0, {}};
  box.grey.assign(static_cast<std::size_t>(box.width) * static_cast<std::size_t>(box.height), 0);
  return box;
}

void MaxInto(CoverageBox& box, const std::uint8_t* grey, int x, int y, int w, int h) {
  const int c0 = std::max(x, box.x), c1 = std::min(x + w, box.x + box.width);
  const int r0 = std::max(y, box.y), r1 = std::min(y + h, box.y + box.height);
  for (int r = r0; r < r1; ++r) {
    const std::uint8_t* in = grey + static_cast<std::size_t>(r - y) * static_cast<std::size_t>(w) - x;
    std::uint8_t* out = box.Row(r - box.y) - box.x;
    for (int c = c0; c < c1; ++c) out[c] = std::max(out[c], in[c]);
  }
}

void FillInto(CoverageBox& box, int x, int y, int w, int h) {
  const int c0 = std::max(x, box.x), c1 = std::min(x + w, box.x + box.width);
  const int r0 = std::max(y, box.y), r1 = std::min(y + h, box.y + box.height);
  for (int r = r0; r < r1 && c0 < c1; ++r) std::memset(box.Row(r - box.y) + (c0 - box.x), 255, c1 - c0);
}

CoverageBox UnionOfSteps(const CoverageBox& box, int count) {
  if (box.Empty() || count <= 1) return box;
  const int grow = count - 1;
  // Rows first into a box grown right, then columns into one grown down too.
  CoverageBox wide = ClearBox(box.x, box.y, box.x + box.width + grow, box.y + box.height);
  for (int r = 0; r < box.height; ++r) {
    const std::uint8_t* in = box.Row(r);
    std::uint8_t* out = wide.Row(r);
    for (int step = 0; step <= grow; ++step) {
      for (int c = 0; c < box.width; ++c) out[c + step] = std::max(out[c + step], in[c]);
    }
  }
  CoverageBox out = ClearBox(wide.x, wide.y, wide.x + wide.width, wide.y + wide.height + grow);
  for (int r = 0; r < wide.height; ++r) {
    for (int step = 0; step <= grow; ++step) {
      std::uint8_t* to = out.Row(r + step);
      const std::uint8_t* in = wide.Row(r);
      for (int c = 0; c < wide.width; ++c) to[c] = std::max(to[c], in[c]);
    }
  }
  return out;
}

CoverageInk InkOfCoverage(const CoverageBox& box) {
  CoverageInk ink{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int r = 0; r < box.height; ++r) {
    const std::uint8_t* row = box.Row(r);
    for (int c = 0; c < box.width; ++c) {
      if (row[c] == 0) continue;
      ink.x0 = std::min(ink.x0, box.x + c), ink.x1 = std::max(ink.x1, box.x + c + 1);
      ink.y0 = std::min(ink.y0, box.y + r), ink.y1 = std::max(ink.y1, box.y + r + 1);
    }
  }
  return ink;
}
