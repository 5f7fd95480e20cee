// What each character of a sheet draws, measured: the ink of its face and
// shadow copies around the face's origin. The grid, --fit and the packed
// pages all cut their boxes from these.
#pragma once

#include <algorithm>
#include <climits>

#include "platform/font_source.h"

// Ink around a face's origin: [x0, x1) x [y0, y1), empty when x0 >= x1.
struct InkBox {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;

  bool Empty() const { return x0 >= x1 || y0 >= y1; }
  // Takes in `ink` moved by (dx, dy) and grown right and down by `spread`.
  void Add(const InkBox& ink, int dx = 0, int dy = 0, int spread = 0) {
    if (ink.Empty()) return;
    x0 = std::min(x0, ink.x0 + dx), y0 = std::min(y0, ink.y0 + dy);
    x1 = std::max(x1, ink.x1 + dx + spread), y1 = std::max(y1, ink.y1 + dy + spread);
  }
};

// The fonts a sheet's glyphs are drawn in now, and how far their italics overhang.
struct Layers {
  const PlatformFont* face = nullptr;
  const PlatformFont* shadow = nullptr;  // null when shadows are off
  int faceOverhang = 0, shadowOverhang = 0, count = 1;
};

// Null fonts when a font the sheet needs is missing.
Layers LayersNow(bool shadowOn, int count);

// Everything drawn for `c` around its face's origin: the face and its shadow
// copies, as DrawLayeredGlyph draws them with the renderer's settings.
InkBox LayeredInkOf(const Layers& layers, char32_t c);
