#include "raster/draw_surface.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/text_codes.h"
#include "raster/draw_state.h"

namespace {

// Past this a GlyphBuffer is not grown; text is then cut to the old height.
constexpr std::size_t GlyphBufferMaxBytes = 256u * 1024 * 1024;

std::unique_ptr<DrawState> current;

PixelStore* Target(DrawState& s) {
  PixelStore* store = ImagePixels(s.target);
  if (!store || store->width != s.width || store->height != s.height) return nullptr;
  return store;
}

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
  PaintCoverageOnTarget(s, *t, x, y, box, rowColours);
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
