#include "composer/text_setting.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "composer/compose.h"
#include "core/sheet_format.h"
#include "core/text_codes.h"
#include "raster/bmp_decode.h"
#include "raster/image.h"

namespace {

const PixelStore* SheetPixels() {
  const ImageRecord* record = FindImageRecord(SheetImageNumber);
  return record ? ImagePixels(record->handle) : nullptr;
}

}  // namespace

std::uint32_t SheetBackground() {
  const PixelStore* p = SheetPixels();
  if (!p || p->bitsPerPixel == 32) return 0;
  std::unordered_map<std::uint32_t, int> seen;
  for (int x = 0; x < p->width; ++x) ++seen[ColourKey(p->Pixel(x, 0))];
  for (int y = 1; y < p->height; ++y) ++seen[ColourKey(p->Pixel(0, y))];
  return std::max_element(seen.begin(), seen.end(), [](const auto& a, const auto& b) {
           return a.second < b.second || (a.second == b.second && a.first > b.first);
         })->first;
}

FontDescriptor MeasureSheetMetrics() {
  FontDescriptor m;
  const PixelStore* p = SheetPixels();
  if (!p) return m;
  m.scaleW = p->width, m.scaleH = p->height;
  const int pitch = CellPitchOfSheet(p->width);
  const bool alpha = p->bitsPerPixel == 32;
  const std::uint32_t background = SheetBackground();
  for (int code = SheetFirstCode; code <= Windows1252SheetLastCode && SheetHasCell(code, p->width, p->height); ++code) {
    const char32_t c = Windows1252ToUnicode(static_cast<std::uint8_t>(code));
    if (code == SheetDeleteCode || c == 0) continue;
    const SheetCell cell = SheetCellOf(code);
    const int cx = cell.column * pitch, cy = cell.row * pitch;
    if (c == U' ') {
      m.glyphs.push_back({c, cx, cy, 0, 0, 0, 0, std::max(1, pitch / 4)});
      continue;
    }
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    for (int y = cy; y < std::min(cy + pitch, p->height); ++y) {
      for (int x = cx; x < cx + pitch; ++x) {
        if (alpha ? p->Pixel(x, y)[3] == 0 : ColourKey(p->Pixel(x, y)) == background) continue;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1), y1 = std::max(y1, y + 1);
      }
    }
    if (x0 >= x1) continue;  // an empty cell: the character is not in the sheet
    m.glyphs.push_back({c, x0, y0, x1 - x0, y1 - y0, 0, y0 - cy, x1 - x0 + 1});
    m.lineHeight = std::max(m.lineHeight, y1 - cy);
  }
  m.base = m.lineHeight;
  return m;
}

CaptionLayout LayOutCaption(const FontDescriptor& metrics, std::u32string_view text, const CaptionSetting& setting) {
  std::unordered_map<char32_t, const DescriptorGlyph*> glyphs;
  for (const DescriptorGlyph& g : metrics.glyphs) glyphs[g.id] = &g;
  // Only the pairs this text can use: a descriptor may hold a quarter of a million.
  std::unordered_set<char32_t> used(text.begin(), text.end());
  used.insert(U'?');
  std::unordered_map<std::uint64_t, int> kerning;
  for (const DescriptorKerning& k : metrics.kernings) {
    if (used.count(k.first) && used.count(k.second)) kerning[(std::uint64_t{k.first} << 32) | k.second] = k.amount;
  }
  const auto question = glyphs.find(U'?');

  CaptionLayout out;
  const long long margin = setting.margin;
  long long pen = margin, right = margin, bottom = margin + metrics.lineHeight, left = margin, top = margin;
  const DescriptorGlyph* previous = nullptr;
  for (const char32_t c : text) {
    auto found = glyphs.find(c);
    if (found == glyphs.end()) {
      if (out.missing.find(c) == std::u32string::npos) out.missing += c;
      found = question;
      if (found == glyphs.end()) continue;  // nor a "?" to stand in
    }
    const DescriptorGlyph& g = *found->second;
    if (previous) {
      const auto k = kerning.find((std::uint64_t{previous->id} << 32) | g.id);
      pen += (k == kerning.end() ? 0 : k->second) + setting.letterSpacing;
    }
    const long long x = pen + g.xoffset, y = margin + g.yoffset;
    if (g.width > 0 && g.height > 0) {
      // Past an image's size the caption is refused by its size; the places need not be exact then.
      const auto clamp = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN / 2, INT_MAX / 2)); };
      out.glyphs.push_back({g.id, g.x, g.y, g.width, g.height, clamp(x), clamp(y), g.page});
      right = std::max(right, x + g.width);
      bottom = std::max(bottom, y + g.height);
      left = std::min(left, x);
      top = std::min(top, y);
    }
    pen += g.xadvance;
    right = std::max(right, pen);
    ++out.placed;
    previous = &g;
  }
  // Ink left of or above the margin (a negative offset, a negative letter
  // spacing) moves everything right or down, so nothing is cut.
  const long long shiftX = std::max(0LL, margin - left), shiftY = std::max(0LL, margin - top);
  for (PlacedGlyph& g : out.glyphs) {
    g.x = static_cast<int>(std::min<long long>(g.x + shiftX, INT_MAX / 2));
    g.y = static_cast<int>(std::min<long long>(g.y + shiftY, INT_MAX / 2));
  }
  out.penX = margin + shiftX, out.penY = margin + shiftY;
  out.width = right + shiftX + margin;
  out.height = bottom + shiftY + margin;
  return out;
}

std::u32string_view WithoutOuterSpaces(std::u32string_view text) {
  const std::size_t first = text.find_first_not_of(U' ');
  if (first == std::u32string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(U' ') - first + 1);
}

int ComposeSetCaption(const CaptionLayout& layout, int width, int height, int dx, int dy) {
  const PixelStore* sheet = SheetPixels();
  if (!sheet) return 0;
  const std::uint32_t background = SheetBackground();
  if (!BeginSetCaption(width, height, sheet->bitsPerPixel == 32, background)) return 0;
  DrawSetGlyphs(layout, 0, dx, dy, background);
  return 1;
}

int BeginSetCaption(int width, int height, bool alpha, std::uint32_t background) {
  if (width < 1 || height < 1 || width > ImageMaxSide || height > ImageMaxSide) return 0;
  if (!MakeImageWithDepth(ButtonImage, width, height, alpha ? 32 | ImageClearAlpha : 24)) return 0;
  PixelStore& out = *ImagePixels(ImageHandle(ButtonImage));
  if (!alpha) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* q = out.Pixel(0, y);
      for (int x = 0; x < width; ++x, q += 3) q[0] = background & 0xFF, q[1] = (background >> 8) & 0xFF, q[2] = background >> 16;
    }
  }
  return 1;
}

void DrawSetGlyphs(const CaptionLayout& layout, int page, int dx, int dy, std::uint32_t background) {
  const PixelStore* sheet = SheetPixels();
  PixelStore* caption = ImagePixels(ImageHandle(ButtonImage));
  assert(sheet && caption && sheet->bitsPerPixel == caption->bitsPerPixel);
  PixelStore& out = *caption;
  const bool alpha = sheet->bitsPerPixel == 32;
  for (const PlacedGlyph& g : layout.glyphs) {
    if (g.page != page) continue;
    // The box as far as both the sheet and the caption hold it.
    const int x0 = std::max({0, -g.sourceX, -(g.x + dx)});
    const int y0 = std::max({0, -g.sourceY, -(g.y + dy)});
    const int x1 = std::min({g.width, sheet->width - g.sourceX, out.width - (g.x + dx)});
    const int y1 = std::min({g.height, sheet->height - g.sourceY, out.height - (g.y + dy)});
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const std::uint8_t* s = sheet->Pixel(g.sourceX + x, g.sourceY + y);
        std::uint8_t* d = out.Pixel(g.x + dx + x, g.y + dy + y);
        if (alpha) {
          if (s[3] != 0) CompositeOver(d, s[0], s[1], s[2], s[3]);
        } else if (ColourKey(s) != background) {
          std::memcpy(d, s, 3);
        }
      }
    }
  }
}

std::optional<CaptionPlacement> PlaceCaption(long long width, long long height, std::pair<int, int> button,
                                             std::string_view align, std::string* why) {
  CaptionPlacement at{width, height};
  if (const auto [buttonWidth, buttonHeight] = button; buttonWidth > 0) {
    if (width > buttonWidth || height > buttonHeight) {
      *why = "the caption needs " + std::to_string(width) + "x" + std::to_string(height) + " pixels; the button is " +
             std::to_string(buttonWidth) + "x" + std::to_string(buttonHeight);
      return std::nullopt;
    }
    at.dx = align == "left" ? 0 : align == "right" ? buttonWidth - width : (buttonWidth - width) / 2;
    at.dy = (buttonHeight - height) / 2;
    at.width = buttonWidth, at.height = buttonHeight;
  }
  if (!ImageSizeReadable(at.width, at.height)) {
    *why = "the caption image would be too large: " + std::to_string(at.width) + "x" + std::to_string(at.height) +
           " pixels, past " + std::to_string(ImageMaxSide) + " a side or " + std::to_string(BmpMaxPixels >> 20) +
           " M in all";
    return std::nullopt;
  }
  return at;
}
