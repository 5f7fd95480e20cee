// How far a transparent sheet composited over an opaque colour strays from the
// same sheet drawn opaque on that colour.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "raster/image.h"

// The largest difference of any channel of any pixel: `over` (straight-alpha
// BGRA) composited over `background` (0xRRGGBB), against `onColour`.
inline int WorstDriftOver(const PixelStore& over, const PixelStore& onColour, std::uint32_t background) {
  const int under[3] = {int(background >> 16), int(background >> 8) & 0xFF, int(background & 0xFF)};
  int worst = 0;
  for (int y = 0; y < over.height; ++y) {
    for (int x = 0; x < over.width; ++x) {
      const std::uint8_t *p = over.Pixel(x, y), *q = onColour.Pixel(x, y);
      for (int i = 0; i < 3; ++i) worst = std::max(worst, std::abs((p[i] * p[3] + under[i] * (255 - p[3])) / 255 - q[i]));
    }
  }
  return worst;
}
