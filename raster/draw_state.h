// What the drawing surface's two files share: the current drawing state,
// whose calls draw_surface.cpp makes, and the pixel work on its target, which
// draw_pixels.cpp does. Private to raster/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "raster/draw_surface.h"

struct Channels {
  int red = 0, green = 0, blue = 0, alpha = 0, inverseAlpha = 255;
};

struct SurfaceOps;

struct DrawState {
  ImageHandleValue target = 0;  // resolved at every operation, so a dropped image is never touched
  int width = 0;
  int height = 0;
  int bytesPerPixel = 3;
  int bitsPerPixel = 24;

  std::uint32_t frontApplied = 0;
  std::uint32_t backSetting = 0xFF000000;
  std::uint32_t backApplied = 0;
  Channels front, back;
  bool blend = false;
  int mode = DrawModeOpaque;

  bool started = false;  // the glyph context exists
  // The system font is selected, but not yet opened: drawing that never
  // writes text never starts the font machinery.
  bool systemFontPending = false;
  const PlatformFont* font = nullptr;
  int overhang = 0;
  std::unordered_map<FontHandleValue, int> overhangs;  // measured once per font

  // 24 bits a pixel, top row first, as wide as the target.
  std::vector<std::uint8_t> glyphBuffer;
  int glyphBufferRows = 0;
  std::size_t glyphBufferRowBytes = 0;
  std::vector<std::uint8_t> coverage;  // scratch: one text's coverage box
  std::u32string codePoints;           // scratch: one text's code points

  const SurfaceOps* ops = nullptr;
};

// The operations of one kind of target, in a fixed slot order.
struct SurfaceOps {
  void (*setBackColour)(DrawState&, std::uint32_t);
  void (*fillBox)(DrawState&, PixelStore&, int, int, int, int);
  void (*pasteImage)(DrawState&, PixelStore&, const PixelStore&, int, int);
  int (*paintText)(DrawState&, PixelStore&, int, int, std::u32string_view);
  void (*setFrontColour)(DrawState&, std::uint32_t);
};

// --- draw_pixels.cpp --------------------------------------------------------

extern const SurfaceOps Ops24;
extern const SurfaceOps Ops32;

// Turns `colour` into channels, scaled by its alpha when the mode blends.
void ApplyColour(const DrawState& s, std::uint32_t colour, Channels& c);
// PaintCoverage's pixel work, for either kind of target.
void PaintCoverageOnTarget(DrawState& s, PixelStore& t, int x, int y, const CoverageBox& box,
                           std::span<const std::uint32_t> rowColours);
