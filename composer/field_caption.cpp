#include "composer/field_caption.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "composer/compose.h"
#include "raster/image.h"

namespace {

// Far enough from 0 that no place of a caption is negative. A box that
// reaches left of or above it (a field's spread, if nothing else) moves the
// pen, so the caption is measured from where the pen then starts.
constexpr int LayoutOrigin = 1 << 20;

// A glyph's ink in sheet pixels: its box less the padding the field adds.
struct Span {
  double x0, y0, x1, y1;
};

Span InkOf(const PlacedGlyph& g, const FontDescriptor& m) {
  // padding is up, right, down, left.
  return {static_cast<double>(g.x) + m.padding[3], static_cast<double>(g.y) + m.padding[0],
          static_cast<double>(g.x) + g.width - m.padding[1], static_cast<double>(g.y) + g.height - m.padding[2]};
}

// The field of one glyph box at (u, v) in texel centres' coordinates of the box, bilinear, 0 outside.
double Sample(const PixelStore& sheet, const PlacedGlyph& g, double u, double v) {
  const double fu = std::floor(u), fv = std::floor(v);
  const int x = static_cast<int>(fu), y = static_cast<int>(fv);
  const double ax = u - fu, ay = v - fv;
  const auto at = [&](int i, int j) -> double {
    if (i < 0 || j < 0 || i >= g.width || j >= g.height) return 0;
    return sheet.Pixel(g.sourceX + i, g.sourceY + j)[3];
  };
  return (at(x, y) * (1 - ax) + at(x + 1, y) * ax) * (1 - ay) + (at(x, y + 1) * (1 - ax) + at(x + 1, y + 1) * ax) * ay;
}

}  // namespace

FieldCaption LayOutFieldCaption(const FontDescriptor& metrics, std::u32string_view text,
                                const FieldCaptionSetting& setting) {
  FieldCaption out;
  out.layout = LayOutCaption(metrics, text, {LayoutOrigin, setting.letterSpacing});
  out.scale = setting.scale;
  out.margin = setting.margin;
  const double penX = static_cast<double>(out.layout.penX), penY = static_cast<double>(out.layout.penY);
  double x0 = penX, y0 = penY, x1 = penX, y1 = penY + metrics.lineHeight;
  for (const PlacedGlyph& g : out.layout.glyphs) {
    const Span ink = InkOf(g, metrics);
    if (ink.x0 >= ink.x1 || ink.y0 >= ink.y1) continue;
    x0 = std::min(x0, ink.x0), y0 = std::min(y0, ink.y0), x1 = std::max(x1, ink.x1), y1 = std::max(y1, ink.y1);
  }
  // An output pixel more each side for the outer half of the edge's ramp, a
  // whole one so that at a whole scale every box lands on whole pixels.
  const double ramp = 1 / setting.scale;
  out.left = x0 - ramp, out.top = y0 - ramp;
  out.width = static_cast<long long>(std::ceil((x1 - x0) * setting.scale + 2)) + 2LL * setting.margin;
  out.height = static_cast<long long>(std::ceil((y1 - y0) * setting.scale + 2)) + 2LL * setting.margin;
  return out;
}

OutputBox OutputBoxOf(const FieldCaption& c, const PlacedGlyph& g) {
  const auto place = [&](double v, double from) { return std::llround((v - from) * c.scale) + c.margin; };
  const long long x = place(g.x, c.left), y = place(g.y, c.top);
  return {x, y, place(g.x + g.width, c.left) - x, place(g.y + g.height, c.top) - y};
}

int ComposeFieldCaption(const FieldCaption& c, const FontDescriptor& metrics, const FieldCaptionSetting& setting,
                        int width, int height, int dx, int dy, int sheetImage) {
  const ImageRecord* record = FindImageRecord(sheetImage);
  const PixelStore* sheet = record ? ImagePixels(record->handle) : nullptr;
  if (!sheet || sheet->bitsPerPixel != 32 || metrics.sdfSpread <= 0) return 0;
  const bool alpha = !setting.background;
  if (!MakeImageWithDepth(ButtonImage, width, height, alpha ? 32 | ImageClearAlpha : 24)) return 0;
  PixelStore& out = *ImagePixels(ImageHandle(ButtonImage));
  sheet = ImagePixels(FindImageRecord(sheetImage)->handle);
  // Coverage of each output pixel, the largest any glyph gives it.
  std::vector<std::uint8_t> cover(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  // FreeType's mapping: 128 on the edge, 128 a spread's distance; in output pixels.
  const double toOutput = metrics.sdfSpread / 128.0 * c.scale;
  for (const PlacedGlyph& g : c.layout.glyphs) {
    if (g.sourceX < 0 || g.sourceY < 0 || g.sourceX + g.width > sheet->width || g.sourceY + g.height > sheet->height) continue;
    const Span ink = InkOf(g, metrics);
    // Output pixels whose centres can see the ink, one pixel of ramp around it.
    const auto from = [&](double v, double origin, int shift) { return static_cast<long long>(std::floor((v - origin) * c.scale)) + c.margin + shift; };
    const long long ux0 = std::max<long long>(0, from(ink.x0, c.left, dx) - 1), ux1 = std::min<long long>(width, from(ink.x1, c.left, dx) + 2);
    const long long uy0 = std::max<long long>(0, from(ink.y0, c.top, dy) - 1), uy1 = std::min<long long>(height, from(ink.y1, c.top, dy) + 2);
    for (long long uy = uy0; uy < uy1; ++uy) {
      // The pixel's centre in the sheet, then in the box's texel-centre coordinates.
      const double v = c.top + (static_cast<double>(uy - dy - c.margin) + 0.5) / c.scale - g.y - 0.5;
      for (long long ux = ux0; ux < ux1; ++ux) {
        const double u = c.left + (static_cast<double>(ux - dx - c.margin) + 0.5) / c.scale - g.x - 0.5;
        const double d = (Sample(*sheet, g, u, v) - 128.0) * toOutput;
        const double t = std::clamp(d + 0.5, 0.0, 1.0);
        std::uint8_t& k = cover[static_cast<std::size_t>(uy) * static_cast<std::size_t>(width) + static_cast<std::size_t>(ux)];
        k = std::max(k, static_cast<std::uint8_t>(std::lround(255 * t * t * (3 - 2 * t))));
      }
    }
  }
  const std::uint32_t ink = setting.colour, back = setting.background.value_or(0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = out.Pixel(0, y);
    for (int x = 0; x < width; ++x, p += alpha ? 4 : 3) {
      const int k = cover[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      for (int channel = 0; channel < 3; ++channel) {
        const int i = (ink >> (8 * (2 - channel))) & 0xFF, b = (back >> (8 * (2 - channel))) & 0xFF;
        p[channel] = static_cast<std::uint8_t>(alpha ? i : b + ((i - b) * k + (i >= b ? 127 : -127)) / 255);
      }
      if (alpha) p[3] = static_cast<std::uint8_t>(k);
    }
  }
  return 1;
}
