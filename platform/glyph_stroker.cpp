#include "platform/glyph_stroker.h"

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
  if (!face.LoadOutline(code, false)) return out;
  FT_GlyphSlot slot = face.face->glyph;
  FT_Stroker rawStroker = nullptr;
  if (FT_Stroker_New(slot->library, &rawStroker) != 0) return out;
  const OwnedBy<FT_StrokerRec_, FT_Stroker_Done> stroker(rawStroker);
  FT_Stroker_Set(stroker.get(), FT_Fixed{width} * 64, FT_STROKER_LINECAP_BUTT, LineJoinOf(join), MiterLimit);
  FT_Glyph rawGlyph = nullptr;
  if (FT_Get_Glyph(slot, &rawGlyph) != 0) return out;
  OwnedGlyph glyph(rawGlyph);
  // The outside border alone, filled, is the glyph grown by the width: the
  // face drawn over it leaves a ring of that width.
  if (!Replace(glyph, [&](FT_Glyph* g) { return FT_Glyph_StrokeBorder(g, stroker.get(), 0, 1); })) return out;
  if (!Replace(glyph, [](FT_Glyph* g) { return FT_Glyph_To_Bitmap(g, FT_RENDER_MODE_NORMAL, nullptr, 1); })) return out;
  const auto* bitmap = reinterpret_cast<const FT_BitmapGlyphRec*>(glyph.get());
  if (!CopyCoverage(bitmap->bitmap, bitmap->left, bitmap->top, face.ascent, out)) return out;
  out.advance = RoundPos(slot->advance.x);
  out.valid = true;
  return out;
}

bool HasStrokableOutlines(const RasterFace& face) {
  return FT_IS_SCALABLE(face.face.get()) && FT_Load_Glyph(face.face.get(), 0, FT_LOAD_NO_BITMAP) == 0 &&
         face.face->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
}
