#include "renderer/field_sheet.h"

#include <algorithm>
#include <cstring>

#include "raster/image.h"

std::vector<GlyphCoverage> DrawGlyphFields(const PlatformFont& face, std::u32string_view characters, int spread) {
  std::vector<GlyphCoverage> fields = face.GlyphFields(characters, spread);
  fields.resize(characters.size());
  return fields;
}

PixelRect FieldBoxOf(const GlyphCoverage& field) {
  if (!field.valid || field.width <= 0 || field.rows <= 0) return {};
  return {field.left, field.top, field.width, field.rows};
}

void PlaceField(int number, const GlyphCoverage& field, int ox, int oy) {
  PixelStore* store = ImagePixels(ImageHandle(number));
  if (!store || store->bitsPerPixel != 32 || !field.valid) return;
  const int x0 = std::max(0, -(ox + field.left)), x1 = std::min(field.width, store->width - (ox + field.left));
  const int y0 = std::max(0, -(oy + field.top)), y1 = std::min(field.rows, store->height - (oy + field.top));
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* from = field.grey.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(field.width);
    std::uint8_t* to = store->Pixel(ox + field.left + x0, oy + field.top + y);
    for (int x = x0; x < x1; ++x, to += 4) std::memset(to, from[x], 4);
  }
}
