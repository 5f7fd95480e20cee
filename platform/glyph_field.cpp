// FreeType's outline distance-field renderer behind PlatformFont::GlyphField.
#include "platform/glyph_rasteriser.h"

GlyphCoverage RasterFace::RenderField(char32_t code, int spread) const {
  if (spread < GlyphFieldMinSpread || spread > GlyphFieldMaxSpread) return {};
  // Hinting would bend the outline to this size's grid, and the field is read at every size.
  if (!LoadStyledOutline(code, FT_LOAD_NO_HINTING)) return {};
  FT_GlyphSlot slot = face->glyph;
  if (slot->outline.n_points == 0) return {};
  FT_Int value = spread;
  if (FT_Property_Set(slot->library, "sdf", "spread", &value) != 0) return {};
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_SDF) != 0) return {};
  return TakeBitmap();
}
