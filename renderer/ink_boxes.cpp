#include "renderer/ink_boxes.h"

#include <string_view>

#include "core/fonts.h"
#include "raster/draw_surface.h"
#include "platform/font_handles.h"
#include "renderer/glyph_effects.h"
#include "renderer/renderer_settings.h"

namespace {

// The ink of one code as PaintText lays it at the origin: the glyph's
// nonzero coverage and the style's bars, cut to the box PaintText draws in
// (the advance plus any italic overhang, the cell's height).
InkBox InkOf(const PlatformFont& font, int overhang, char32_t code) {
  const GlyphCoverage& g = font.Glyph(code);
  const int advance = font.TextWidth(std::u32string_view(&code, 1));
  InkBox ink;
  for (int y = 0; y < g.rows; ++y) {
    for (int x = 0; x < g.width; ++x) {
      if (g.grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(g.width) + x] != 0) {
        ink.Add({g.left + x, g.top + y, g.left + x + 1, g.top + y + 1});
      }
    }
  }
  for (const PixelRect& r : font.LineRects(0, advance)) ink.Add({r.left, r.top, r.left + r.width, r.top + r.height});
  return {std::max(ink.x0, 0), std::max(ink.y0, 0), std::min(ink.x1, advance + std::max(overhang, 0)),
          std::min(ink.y1, font.CellHeight())};
}

}  // namespace

Layers LayersNow(bool shadowOn, int count) {
  Layers l{FontOfHandle(FontHandle(FaceFont)), shadowOn ? FontOfHandle(FontHandle(ShadowFont)) : nullptr};
  l.faceOverhang = ItalicOverhang(FontHandle(FaceFont));
  l.shadowOverhang = shadowOn ? ItalicOverhang(FontHandle(ShadowFont)) : 0;
  l.count = count;
  return l;
}

InkBox LayeredInkOf(const Layers& l, char32_t c) {
  const RendererSettings& s = rendererSettings;
  InkBox reach, shadow;
  reach.Add(InkOf(*l.face, l.faceOverhang, c));
  // The count x count copies together cover the glyph moved by X + 1 .. X + count, Y + 1 .. Y + count.
  if (l.shadow) shadow.Add(InkOf(*l.shadow, l.shadowOverhang, c), s.shadowOffsetX + 1, s.shadowOffsetY + 1, l.count - 1);
  reach.Add(shadow), reach.Add(EffectsInkOf(*l.face, c, shadow));
  return reach;
}
