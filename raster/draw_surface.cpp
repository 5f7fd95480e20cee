#include "raster/draw_surface.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/text_codes.h"

namespace {

// Past this a GlyphBuffer is not grown; text is then cut to the old height.
constexpr std::size_t GlyphBufferMaxBytes = 256u * 1024 * 1024;

struct Channels {
  int red = 0, green = 0, blue = 0, alpha = 0, inverseAlpha = 255;
};

struct SurfaceOps;

}  // namespace

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

namespace {

std::unique_ptr<DrawState> current;
bool glyphCacheEnabled = true;

PixelStore* Target(DrawState& s) {
  PixelStore* store = ImagePixels(s.target);
  if (!store || store->width != s.width || store->height != s.height) return nullptr;
  return store;
}

void ApplyColour(const DrawState& s, std::uint32_t colour, Channels& c) {
  c.alpha = static_cast<int>(colour >> 24);
  c.inverseAlpha = 255 - c.alpha;
  const int scale = s.blend ? c.alpha : 1;
  c.red = static_cast<int>(colour & 0xFF) * scale;
  c.green = static_cast<int>((colour >> 8) & 0xFF) * scale;
  c.blue = static_cast<int>((colour >> 16) & 0xFF) * scale;
}

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

// The operations of one kind of target, in a fixed slot order.
struct SurfaceOps {
  void (*setBackColour)(DrawState&, std::uint32_t);
  void (*fillBox)(DrawState&, PixelStore&, int, int, int, int);
  void (*pasteImage)(DrawState&, PixelStore&, const PixelStore&, int, int);
  int (*paintText)(DrawState&, PixelStore&, int, int, std::u32string_view);
  void (*setFrontColour)(DrawState&, std::uint32_t);
};

constexpr SurfaceOps Ops24{SetBackColour, FillSpans<3>, PasteOn<3>, PaintTextOn<3>, SetFrontColour};
constexpr SurfaceOps Ops32{SetBackColour, FillSpans<4>, PasteOn<4>, PaintTextOn<4>, SetFrontColour};

void SelectFont(DrawState& s, FontHandleValue font, const PlatformFont* resolved);

// The current state with its font open, or null before BeginDraw.
DrawState* Started() {
  if (!current || !current->started) return nullptr;
  DrawState& s = *current;
  if (s.systemFontPending) {
    s.systemFontPending = false;
    if (const PlatformFont* system = SystemFont()) SelectFont(s, SystemFontHandle, system);
  }
  return &s;
}

const PlatformFont* ResolveFont(FontHandleValue font) {
  return font == SystemFontHandle ? SystemFont() : FontOfHandle(font);
}

int MeasureOverhang(const PlatformFont* font) {
  if (!font || !font->IsItalic()) return 0;
  const int cx = font->TextWidth(U"H");
  const int cy = font->CellHeight();
  if (cx <= 0 || cy <= 0) return 0;
  const int w = 2 * cx, h = 2 * cy;
  std::vector<std::uint8_t> mono(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  if (!font->DrawTextMono(U"H", 0, mono.data(), w, h, w)) return 0;
  for (int x = w - 1; x >= 0; --x) {
    for (int y = 0; y < cy; ++y) {
      if (mono[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + x] != 0) return x - cx + 2;
    }
  }
  return 0;
}

void GrowGlyphBuffer(DrawState& s, int needed) {
  if (needed <= s.glyphBufferRows) return;
  const std::size_t rowBytes = RowBytes(s.width, 24);
  if (rowBytes * static_cast<std::size_t>(needed) > GlyphBufferMaxBytes) return;
  std::vector<std::uint8_t> grown;
  try {
    grown.assign(rowBytes * static_cast<std::size_t>(needed), 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  s.glyphBuffer = std::move(grown);
  s.glyphBufferRows = needed;
  s.glyphBufferRowBytes = rowBytes;
}

}  // namespace

DrawState* ImageSurface(int number) {
  const ImageRecord* record = FindImageRecord(number);
  if (!record) return nullptr;
  const PixelStore* store = ImagePixels(record->handle);
  if (!store || (store->bitsPerPixel != 24 && store->bitsPerPixel != 32)) return nullptr;

  auto state = std::make_unique<DrawState>();
  state->target = record->handle;
  state->width = store->width;
  state->height = store->height;
  state->bitsPerPixel = store->bitsPerPixel;
  state->bytesPerPixel = store->bitsPerPixel / 8;
  state->ops = store->bitsPerPixel == 32 ? &Ops32 : &Ops24;
  current = std::move(state);
  SetDrawMode(DrawModeOpaque);
  return current.get();
}

std::uintptr_t BeginDraw(DrawState* state) {
  if (!state || state != current.get()) return 0;
  if (!Target(*state)) {
    current.reset();
    return 0;
  }
  state->started = true;
  state->systemFontPending = true;
  return reinterpret_cast<std::uintptr_t>(state);
}

void EndDraw() { current.reset(); }

void SetDrawMode(int mode) {
  if (!current) return;
  DrawState& s = *current;
  if (s.bitsPerPixel != 32) mode &= ~DrawModeAlphaOver;
  if (mode & 0x100) {
    mode &= ~(8 | 0x10 | 0x20);
    if (s.bitsPerPixel == 24) mode &= ~0x100;
  }
  s.mode = mode;
  s.blend = (mode & 0x30) != 0 && (mode & 0x1C2) == 0;
  // Both colours again, so their channels follow the new blend flag.
  ApplyColour(s, s.frontApplied, s.front);
  ApplyColour(s, s.backApplied, s.back);
}

namespace {

void SelectFont(DrawState& s, FontHandleValue font, const PlatformFont* resolved) {
  auto known = s.overhangs.find(font);
  if (known == s.overhangs.end()) known = s.overhangs.emplace(font, MeasureOverhang(resolved)).first;
  s.overhang = known->second;
  s.font = resolved;
  GrowGlyphBuffer(s, std::max(resolved->CellHeight() + 20, 50));
}

}  // namespace

void SetDrawFont(FontHandleValue font) {
  if (!current || !current->started) return;
  if (font == SystemFontHandle && !current->font) {
    current->systemFontPending = true;  // still nothing to open until text is drawn
    return;
  }
  const PlatformFont* resolved = ResolveFont(font);
  if (!resolved) return;
  current->systemFontPending = false;
  SelectFont(*current, font, resolved);
}

void FillBox(int x, int y, int width, int height, std::uint32_t colour) {
  if (!current) return;
  DrawState& s = *current;
  s.ops->setFrontColour(s, colour);
  long long bx = x, by = y, bw = width, bh = height;
  if (bw < 0) bx += bw, bw = -bw;
  if (bh < 0) by += bh, bh = -bh;
  if (bx < 0) bw += bx, bx = 0;
  if (by < 0) bh += by, by = 0;
  if (bx + bw > s.width) bw = s.width - bx;
  if (by + bh > s.height) bh = s.height - by;
  PixelStore* t = Target(s);
  if (!t || bw <= 0 || bh <= 0) return;
  s.ops->fillBox(s, *t, static_cast<int>(bx), static_cast<int>(by), static_cast<int>(bw), static_cast<int>(bh));
}

namespace {

// Both text calls: Windows-1252 `bytes` when there are any, else `codePoints`.
int Paint(int x, int y, std::string_view bytes, std::u32string_view codePoints, std::uint32_t colour) {
  if (!current) return x;
  Started();  // opens a pending system font
  DrawState* s = current.get();
  s->ops->setFrontColour(*s, colour);
  s->ops->setBackColour(*s, s->backSetting);
  PixelStore* t = Target(*s);
  if ((bytes.empty() && codePoints.empty()) || !s->started || !s->font || s->glyphBufferRows == 0 || !t) return x;
  if (!bytes.empty()) {
    Windows1252ToUnicode(bytes, s->codePoints);
    codePoints = s->codePoints;
  }
  return s->ops->paintText(*s, *t, x, y, codePoints);
}

}  // namespace

int PaintText(int x, int y, std::string_view text, std::uint32_t colour) { return Paint(x, y, text, {}, colour); }

int PaintCodePoints(int x, int y, std::u32string_view text, std::uint32_t colour) {
  return Paint(x, y, {}, text, colour);
}

void PaintCoverage(int x, int y, const CoverageBox& box, std::span<const std::uint32_t> rowColours) {
  if (!current || box.Empty() || rowColours.empty()) return;
  assert(rowColours.size() == 1 || rowColours.size() >= static_cast<std::size_t>(box.height));
  DrawState& s = *current;
  s.ops->setBackColour(s, s.backSetting);
  PixelStore* t = Target(s);
  if (!t) return;
  if (s.bytesPerPixel == 4) {
    PaintCoverageOn<4>(s, *t, x, y, box, rowColours);
  } else {
    PaintCoverageOn<3>(s, *t, x, y, box, rowColours);
  }
}

int MeasureTextWidth(std::string_view text) {
  DrawState* s = Started();
  if (!s || !s->font || text.empty()) return 0;
  Windows1252ToUnicode(text, s->codePoints);
  return s->font->TextWidth(s->codePoints) + s->overhang;
}

int MeasureTextHeight(std::string_view text) {
  DrawState* s = Started();
  if (!s || !s->font || text.empty()) return 0;
  return s->font->CellHeight();
}

void PasteImage(ImageHandleValue image, int x, int y) {
  if (!current) return;
  DrawState& s = *current;
  const PixelStore* src = ImagePixels(image);
  PixelStore* t = Target(s);
  if (!src || !t || (src->bitsPerPixel != 24 && src->bitsPerPixel != 32)) return;
  // A copy first when the source is the target itself.
  if (src == t) {
    const PixelStore copy = *src;
    s.ops->pasteImage(s, *t, copy, x, y);
    return;
  }
  s.ops->pasteImage(s, *t, *src, x, y);
}

int ItalicOverhang(FontHandleValue font) { return MeasureOverhang(ResolveFont(font)); }

int GlyphBufferRows() { return Started() ? current->glyphBufferRows : 0; }

void SetGlyphCacheEnabled(bool enabled) { glyphCacheEnabled = enabled; }
