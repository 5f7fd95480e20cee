#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "raster/draw_state.h"

void ApplyColour(const DrawState& s, std::uint32_t colour, Channels& c) {
  c.alpha = static_cast<int>(colour >> 24);
  c.inverseAlpha = 255 - c.alpha;
  const int scale = s.blend ? c.alpha : 1;
  c.red = static_cast<int>(colour & 0xFF) * scale;
  c.green = static_cast<int>((colour >> 8) & 0xFF) * scale;
  c.blue = static_cast<int>((colour >> 16) & 0xFF) * scale;
}

namespace {

bool glyphCacheEnabled = true;

void SetFrontColour(DrawState& s, std::uint32_t colour) {
  if (colour == s.frontApplied) return;
  s.frontApplied = colour;
  ApplyColour(s, colour, s.front);
}

void SetBackColour(DrawState& s, std::uint32_t colour) {
  if (colour == s.backApplied) return;
  s.backApplied = colour;
  ApplyColour(s, colour, s.back);
}

// Blue, green, red of a colour as stored in a pixel; the top byte is no part of it.
struct Bgr {
  std::uint8_t b, g, r;
};
Bgr PixelOf(std::uint32_t colour) {
  return {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour)};
}

// One span is filled pixel by pixel, the others copied from it: a large
// background costs little more than writing its bytes.
template <int BytesPerPixel>
void FillSpans(DrawState& s, PixelStore& t, int x, int y, int w, int h) {
  const Bgr c = PixelOf(s.frontApplied);
  std::uint8_t* first = t.Pixel(x, y);
  std::uint8_t* p = first;
  for (int i = 0; i < w; ++i, p += BytesPerPixel) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
  }
  const std::size_t span = static_cast<std::size_t>(w) * BytesPerPixel;
  // Alpha bytes, which the fill leaves as they are, make every span differ.
  for (int row = y + 1; row < y + h; ++row) {
    std::uint8_t* to = t.Pixel(x, row);
    if (BytesPerPixel == 3) {
      std::memcpy(to, first, span);
      continue;
    }
    for (int i = 0; i < w; ++i, to += BytesPerPixel) std::memcpy(to, first + BytesPerPixel * i, 3);
  }
}

// Where in a coverage box there may be ink: [x0, x1) x [y0, y1).
struct InkBounds {
  int x0, y0, x1, y1;
};

// Blends a coverage box onto the target. `cov(sx, sy)` is the coverage of the
// box pixel; the box is w x h with its top-left at (dx, dy) on the target,
// clipped to the target. Only the pixels within `ink` are visited: outside it
// coverage is 0, which leaves a pixel as it is in the transparent mode.
template <int BytesPerPixel, class Coverage>
void BlendCoverage(DrawState& s, PixelStore& t, int dx, int dy, int w, int h, Coverage cov,
                   InkBounds ink = {0, 0, INT32_MAX, INT32_MAX}) {
  if (dx + w > s.width) w = s.width - dx;
  if (dy + h > s.height) h = s.height - dy;
  if (w <= 0 || dx + w < 0 || dy + h < 0 || dx >= s.width || dy >= s.height) return;
  int sx0 = dx < 0 ? -dx : 0;
  int sy0 = dy < 0 ? -dy : 0;
  if (sy0 >= h) return;

  const Bgr f = PixelOf(s.frontApplied);
  const bool transparent = (s.mode & DrawModeTransparent) != 0;
  if (transparent) {
    sx0 = std::max(sx0, ink.x0);
    sy0 = std::max(sy0, ink.y0);
    w = std::min(w, ink.x1);
    h = std::min(h, ink.y1);
  }
  const Bgr k = PixelOf(s.backApplied);
  const bool over = BytesPerPixel == 4 && (s.mode & DrawModeAlphaOver) != 0;
  for (int sy = sy0; sy < h; ++sy) {
    std::uint8_t* p = t.Pixel(dx + sx0, dy + sy);
    for (int sx = sx0; sx < w; ++sx, p += BytesPerPixel) {
      const int a = cov(sx, sy);
      if (over) {
        // Rounded once per layer, so layers do not pile up rounding as the opaque path's truncation does.
        if (a != 0) CompositeOver(p, f.b, f.g, f.r, a);
      } else if (transparent) {
        if (a == 0) continue;  // the formula leaves the pixel as it is
        if (a == 255) {        // and makes it the colour: a glyph's inside
          p[0] = f.b, p[1] = f.g, p[2] = f.r;
          continue;
        }
        p[0] = static_cast<std::uint8_t>((f.b * a + p[0] * (255 - a)) / 255);
        p[1] = static_cast<std::uint8_t>((f.g * a + p[1] * (255 - a)) / 255);
        p[2] = static_cast<std::uint8_t>((f.r * a + p[2] * (255 - a)) / 255);
      } else {
        p[0] = static_cast<std::uint8_t>((f.b * a + k.b * (255 - a)) / 255);
        p[1] = static_cast<std::uint8_t>((f.g * a + k.g * (255 - a)) / 255);
        p[2] = static_cast<std::uint8_t>((f.r * a + k.r * (255 - a)) / 255);
      }
    }
  }
}

// The coverage of `text` in the box of w x h pixels whose column 0 is text
// column -originX: cached glyphs placed at their pens, max-combined, with the
// underline and strike-out bars. The same pixels the rasteriser draws.
void ComposeCoverage(const PlatformFont& font, std::u32string_view text, int originX, int w, int h,
                     std::vector<std::uint8_t>& box) {
  box.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  int pen = originX;
  for (const char32_t code : text) {
    const GlyphCoverage& g = font.Glyph(code);
    const int gx0 = std::max(0, -(pen + g.left));
    const int gx1 = std::min(g.width, w - (pen + g.left));
    const int gy0 = std::max(0, -g.top);
    const int gy1 = std::min(g.rows, h - g.top);
    for (int gy = gy0; gy < gy1; ++gy) {
      const std::uint8_t* in = g.grey.data() + static_cast<std::size_t>(gy) * static_cast<std::size_t>(g.width);
      std::uint8_t* out = box.data() + static_cast<std::size_t>(g.top + gy) * static_cast<std::size_t>(w) +
                          (pen + g.left);
      for (int gx = gx0; gx < gx1; ++gx) out[gx] = std::max(out[gx], in[gx]);
    }
    pen += g.advance;
  }
  for (const PixelRect& r : font.LineRects(originX, font.TextWidth(text))) {
    const int x0 = std::max(0, r.left), x1 = std::min(w, r.left + r.width);
    const int y0 = std::max(0, r.top), y1 = std::min(h, r.top + r.height);
    for (int y = y0; y < y1; ++y) {
      std::memset(box.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + x0, 255,
                  static_cast<std::size_t>(std::max(0, x1 - x0)));
    }
  }
}

template <int BytesPerPixel>
int PaintTextOn(DrawState& s, PixelStore& t, int x, int y, std::u32string_view text) {
  const PlatformFont& font = *s.font;
  long long cx = font.TextWidth(text);
  int cy = font.CellHeight();
  if (s.overhang > 0) cx += s.overhang;
  cy = std::min(cy, s.glyphBufferRows);
  const int ox = x < 0 ? x : 0;
  const int result = static_cast<int>(std::clamp<long long>(x + cx, INT32_MIN, INT32_MAX));

  // The box that reaches the target: cx + ox columns of the buffer (never
  // wider than the buffer, which is as wide as the target), cy rows.
  const int dx = x - ox;
  const int w = static_cast<int>(std::min<long long>(cx + ox, s.width - dx));
  if (w <= 0 || cy <= 0) return result;

  if (glyphCacheEnabled) {
    const bool lines = font.Flags().underline || font.Flags().strikeOut;
    if (text.size() == 1 && !lines && (s.mode & DrawModeTransparent)) {
      // One glyph without its box, as a sheet draws them: blended straight
      // from the glyph's coverage, over its ink only.
      const GlyphCoverage& g = font.Glyph(text[0]);
      const int gx = ox + g.left, gy = g.top, gw = g.width;
      const std::uint8_t* grey = g.grey.data();
      BlendCoverage<BytesPerPixel>(
          s, t, dx, y, w, cy,
          [grey, gx, gy, gw](int sx, int sy) {
            return static_cast<int>(grey[static_cast<std::size_t>(sy - gy) * static_cast<std::size_t>(gw) + (sx - gx)]);
          },
          InkBounds{std::max(gx, 0), std::max(gy, 0), gx + g.width, gy + g.rows});
      return result;
    }
    ComposeCoverage(font, text, ox, w, cy, s.coverage);
    const std::uint8_t* box = s.coverage.data();
    BlendCoverage<BytesPerPixel>(s, t, dx, y, w, cy, [box, w](int sx, int sy) {
      return static_cast<int>(box[static_cast<std::size_t>(sy) * static_cast<std::size_t>(w) + sx]);
    });
    return result;
  }

  // The whole text rasterised into the GlyphBuffer, white on black in all
  // three channels, then blended by the mean of the channels.
  s.coverage.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(cy), 0);
  if (!font.DrawText(text, ox, s.coverage.data(), w, cy, w)) return x;
  for (int row = 0; row < cy; ++row) {
    std::uint8_t* out = s.glyphBuffer.data() + static_cast<std::size_t>(row) * s.glyphBufferRowBytes;
    const std::uint8_t* in = s.coverage.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(w);
    for (int col = 0; col < w; ++col, out += 3) out[0] = out[1] = out[2] = in[col];
  }
  const std::uint8_t* buffer = s.glyphBuffer.data();
  const std::size_t rowBytes = s.glyphBufferRowBytes;
  BlendCoverage<BytesPerPixel>(s, t, dx, y, w, cy, [buffer, rowBytes](int sx, int sy) {
    const std::uint8_t* p = buffer + static_cast<std::size_t>(sy) * rowBytes + 3 * static_cast<std::size_t>(sx);
    return (p[0] + p[1] + p[2]) / 3;
  });
  return result;
}

template <int BytesPerPixel>
void PaintCoverageOn(DrawState& s, PixelStore& t, int x, int y, const CoverageBox& box,
                     std::span<const std::uint32_t> colours) {
  for (int r = 0; r < box.height; ++r) {
    SetFrontColour(s, colours[colours.size() == 1 ? 0 : static_cast<std::size_t>(r)]);
    const std::uint8_t* row = box.Row(r);
    BlendCoverage<BytesPerPixel>(s, t, x + box.x, y + box.y + r, box.width, 1,
                                 [row](int sx, int) { return static_cast<int>(row[sx]); });
  }
}

template <int BytesPerPixel>
void PasteOn(DrawState& s, PixelStore& t, const PixelStore& src, int x, int y) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + src.width, s.width));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + src.height, s.height));
  if (x0 >= x1 || y0 >= y1) return;
  const int srcBytes = src.bitsPerPixel / 8;
  for (int row = y0; row < y1; ++row) {
    std::uint8_t* out = t.Pixel(x0, row);
    const std::uint8_t* in = src.Pixel(x0 - x, row - y);
    if (srcBytes == BytesPerPixel) {
      std::memcpy(out, in, static_cast<std::size_t>(x1 - x0) * BytesPerPixel);
      continue;
    }
    for (int i = x0; i < x1; ++i, out += BytesPerPixel, in += srcBytes) std::memcpy(out, in, 3);
  }
}

}  // namespace

const SurfaceOps Ops24{SetBackColour, FillSpans<3>, PasteOn<3>, PaintTextOn<3>, SetFrontColour};
const SurfaceOps Ops32{SetBackColour, FillSpans<4>, PasteOn<4>, PaintTextOn<4>, SetFrontColour};

void PaintCoverageOnTarget(DrawState& s, PixelStore& t, int x, int y, const CoverageBox& box,
                           std::span<const std::uint32_t> rowColours) {
  if (s.bytesPerPixel == 4) {
    PaintCoverageOn<4>(s, t, x, y, box, rowColours);
  } else {
    PaintCoverageOn<3>(s, t, x, y, box, rowColours);
  }
}

void SetGlyphCacheEnabled(bool enabled) { glyphCacheEnabled = enabled; }
