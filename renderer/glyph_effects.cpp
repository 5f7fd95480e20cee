#include "renderer/glyph_effects.h"

#include <algorithm>
#include <vector>

#include "core/fonts.h"
#include "raster/coverage_blur.h"
#include "raster/draw_surface.h"

namespace {

// The clear box `bounds` spans.
CoverageBox BoxOver(const InkBox& bounds) { return ClearBox(bounds.x0, bounds.y0, bounds.x1, bounds.y1); }

std::vector<std::uint32_t> RowColours(const LineGradient& gradient, const CoverageBox& box, int lineHeight) {
  std::vector<std::uint32_t> colours(static_cast<std::size_t>(box.height));
  for (int r = 0; r < box.height; ++r) colours[static_cast<std::size_t>(r)] = GradientColour(gradient, box.y + r, lineHeight);
  return colours;
}

}  // namespace

CoverageBox LaidCoverage(const PlatformFont& font, int overhang, std::u32string_view text) {
  const int advances = font.TextWidth(text);
  const std::vector<PixelRect> bars = font.LineRects(0, advances);
  InkBox bounds;
  int pen = 0;
  for (const char32_t c : text) {
    const GlyphCoverage& g = font.Glyph(c);
    bounds.Add({pen + g.left, g.top, pen + g.left + g.width, g.top + g.rows});
    pen += g.advance;
  }
  for (const PixelRect& r : bars) bounds.Add({r.left, r.top, r.left + r.width, r.top + r.height});
  bounds.x0 = std::max(bounds.x0, 0), bounds.y0 = std::max(bounds.y0, 0);
  bounds.x1 = std::min(bounds.x1, advances + std::max(overhang, 0)), bounds.y1 = std::min(bounds.y1, font.CellHeight());
  CoverageBox box = BoxOver(bounds);
  pen = 0;
  for (const char32_t c : text) {
    const GlyphCoverage& g = font.Glyph(c);
    MaxInto(box, g.grey.data(), pen + g.left, g.top, g.width, g.rows);
    pen += g.advance;
  }
  for (const PixelRect& r : bars) FillInto(box, r.left, r.top, r.width, r.height);
  return box;
}

CoverageBox SoftShadowCoverage(const PlatformFont& shadow, int overhang, std::u32string_view text, int count) {
  const RendererSettings& s = rendererSettings;
  CoverageBox box = GaussianBlurred(UnionOfSteps(LaidCoverage(shadow, overhang, text), count), s.effects.shadowBlur);
  box.x += s.shadowOffsetX + 1, box.y += s.shadowOffsetY + 1;
  return box;
}

CoverageBox OutlineCoverage(const PlatformFont& face, std::u32string_view text) {
  const SheetEffects& e = rendererSettings.effects;
  const int w = e.outlineWidth;
  const std::vector<PixelRect> bars = face.LineRects(0, face.TextWidth(text));
  InkBox bounds;
  int pen = 0;
  for (const char32_t c : text) {
    const GlyphCoverage& g = face.StrokedGlyph(c, w, e.outlineJoin);
    bounds.Add({pen + g.left, g.top, pen + g.left + g.width, g.top + g.rows});
    pen += face.Glyph(c).advance;
  }
  for (const PixelRect& r : bars) bounds.Add({r.left - w, r.top - w, r.left + r.width + w, r.top + r.height + w});
  CoverageBox box = BoxOver(bounds);
  pen = 0;
  for (const char32_t c : text) {
    const GlyphCoverage& g = face.StrokedGlyph(c, w, e.outlineJoin);
    MaxInto(box, g.grey.data(), pen + g.left, g.top, g.width, g.rows);
    pen += face.Glyph(c).advance;
  }
  for (const PixelRect& r : bars) FillInto(box, r.left - w, r.top - w, r.width + 2 * w, r.height + 2 * w);
  return box;
}

std::uint32_t GradientColour(const LineGradient& gradient, int y, int lineHeight) {
  if (y <= 0) return gradient.top;
  if (y >= lineHeight - 1) return gradient.bottom;
  std::uint32_t colour = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int top = static_cast<int>((gradient.top >> shift) & 0xFF), bottom = static_cast<int>((gradient.bottom >> shift) & 0xFF);
    // Halves up, as the value itself rounds, whichever way the channel runs.
    const std::int64_t span = lineHeight - 1;
    const auto channel = (2 * (top * span + std::int64_t{bottom - top} * y) + span) / (2 * span);
    colour |= static_cast<std::uint32_t>(channel) << shift;
  }
  return colour;
}

bool DrawSoftShadow(std::u32string_view text, int ox, int oy, int count) {
  const RendererSettings& s = rendererSettings;
  if (s.effects.shadowBlur <= 0) return false;
  if (const PlatformFont* shadow = FontOfHandle(FontHandle(ShadowFont))) {
    PaintCoverage(ox, oy, SoftShadowCoverage(*shadow, ItalicOverhang(FontHandle(ShadowFont)), text, count),
                  {&s.shadowColour, 1});
  }
  return true;
}

bool DrawOutline(std::u32string_view text, int ox, int oy) {
  const SheetEffects& e = rendererSettings.effects;
  if (e.outlineWidth <= 0) return false;
  if (const PlatformFont* face = FontOfHandle(FontHandle(FaceFont))) {
    const CoverageBox box = OutlineCoverage(*face, text);
    if (e.outlineGradient.on) {
      PaintCoverage(ox, oy, box, RowColours(e.outlineGradient, box, face->CellHeight()));
    } else {
      PaintCoverage(ox, oy, box, {&e.outlineColour, 1});
    }
  }
  return true;
}

bool DrawGradientFace(std::u32string_view text, int ox, int oy) {
  const LineGradient& gradient = rendererSettings.effects.faceGradient;
  if (!gradient.on) return false;
  if (const PlatformFont* face = FontOfHandle(FontHandle(FaceFont))) {
    const CoverageBox box = LaidCoverage(*face, ItalicOverhang(FontHandle(FaceFont)), text);
    PaintCoverage(ox, oy, box, RowColours(gradient, box, face->CellHeight()));
  }
  return true;
}

InkBox EffectsInkOf(const PlatformFont& face, char32_t c, const InkBox& shadow) {
  const SheetEffects& e = rendererSettings.effects;
  InkBox ink;
  if (e.outlineWidth > 0) {
    const CoverageInk outline = InkOfCoverage(OutlineCoverage(face, std::u32string_view(&c, 1)));
    ink.Add({outline.x0, outline.y0, outline.x1, outline.y1});
  }
  if (e.shadowBlur > 0) {
    const int reach = BlurReach(e.shadowBlur);
    ink.Add(shadow, -reach, -reach, 2 * reach);
  }
  return ink;
}
