#include "platform/glyph_stroker.h"

#include <algorithm>
#include <cassert>

#include FT_GLYPH_H
#include FT_STROKER_H

#include "platform/owned_by.h"

namespace {

FT_Stroker_LineJoin LineJoinOf(StrokeJoin join) {
  switch (join) {
    case StrokeJoin::Miter:
      return FT_STROKER_LINEJOIN_MITER;
    case StrokeJoin::Bevel:
      return FT_STROKER_LINEJOIN_BEVEL;
    case StrokeJoin::Round:
      break;
  }
  return FT_STROKER_LINEJOIN_ROUND;
}

// A miter reaches at most 4 widths out, as drawing programs' default limit
// has it, so a sharp apex does not throw a spike across the neighbours.
constexpr FT_Fixed MiterLimit = 4 << 16;

using OwnedGlyph = OwnedBy<FT_GlyphRec_, FT_Done_Glyph>;

// Runs `step` on the glyph `held` owns; the step replaces it only on success.
template <typename Step>
bool Replace(OwnedGlyph& held, Step step) {
  FT_Glyph glyph = held.release();
  const bool done = step(&glyph) == 0;
  held.reset(glyph);
  return done;
}

}  // namespace

GlyphCoverage RenderStroked(const RasterFace& face, char32_t code, int width, StrokeJoin join) {
  assert(width >= 1 && width <= FontMaxStrokePixels);
  GlyphCoverage out;
  if (!face.LoadStyledOutline(code, FT_LOAD_DEFAULT)) return out;
  FT_GlyphSlot slot = face.face->glyph;
  FT_Stroker rawStroker = nullptr;
  if (FT_Stroker_New(slot->library, &rawStroker) != 0) return out;
  const OwnedBy<FT_StrokerRec_, FT_Stroker_Done> stroker(rawStroker);
  FT_Stroker_Set(stroker.get(), FT_Fixed{width} * 64, FT_STROKER_LINECAP_BUTT, LineJoinOf(join), MiterLimit);
  FT_Glyph rawGlyph = nullptr, rawFill = nullptr;
  if (FT_Get_Glyph(slot, &rawGlyph) != 0) return out;
  OwnedGlyph glyph(rawGlyph);
  if (FT_Glyph_Copy(glyph.get(), &rawFill) != 0) return out;
  OwnedGlyph fill(rawFill);
  // The glyph grown by the width: the band the stroke sweeps on both sides
  // of every contour, and the glyph itself under it. The outside border
  // alone would be the same shape, but it folds over itself in a counter
  // narrower than twice the width and leaves a hole there.
  const auto render = [](FT_Glyph* g) { return FT_Glyph_To_Bitmap(g, FT_RENDER_MODE_NORMAL, nullptr, 1); };
  if (!Replace(glyph, [&](FT_Glyph* g) { return FT_Glyph_Stroke(g, stroker.get(), 1); }) || !Replace(glyph, render) ||
      !Replace(fill, render)) {
    return out;
  }
  const auto* band = reinterpret_cast<const FT_BitmapGlyphRec*>(glyph.get());
  const auto* inside = reinterpret_cast<const FT_BitmapGlyphRec*>(fill.get());
  GlyphCoverage under;
  if (!CopyCoverage(band->bitmap, band->left, band->top, face.ascent, out) ||
      !CopyCoverage(inside->bitmap, inside->left, inside->top, face.ascent, under)) {
    return GlyphCoverage{};
  }
  // The band reaches past the glyph on every side, so its box holds the glyph's.
  for (int y = 0; y < under.rows; ++y) {
    for (int x = 0; x < under.width; ++x) {
      const int bx = under.left - out.left + x, by = under.top - out.top + y;
      if (bx < 0 || by < 0 || bx >= out.width || by >= out.rows) continue;
      std::uint8_t& v = out.grey[static_cast<std::size_t>(by) * static_cast<std::size_t>(out.width) + bx];
      v = std::max(v, under.grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(under.width) + x]);
    }
  }
  out.advance = RoundPos(slot->advance.x);
  out.valid = true;
  return out;
}

bool HasStrokableOutlines(const RasterFace& face) {
  return FT_IS_SCALABLE(face.face.get()) && FT_Load_Glyph(face.face.get(), 0, FT_LOAD_NO_BITMAP) == 0 &&
         face.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
}
