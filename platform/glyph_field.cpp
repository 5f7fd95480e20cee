// FreeType's outline distance-field renderer behind PlatformFont::GlyphFields.
#include <future>

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

std::vector<GlyphCoverage> RenderFields(const RasterFace& face, const char* file, bool bold, bool italic,
                                        std::u32string_view codes, int spread) {
  std::vector<GlyphCoverage> fields(codes.size());
  const auto renderEvery = [&](const RasterFace& with, std::size_t first) {
    for (std::size_t i = first; i < codes.size(); i += 2) fields[i] = with.RenderField(codes[i], spread);
  };
  // A field costs several times a glyph's coverage, so every other one is
  // drawn on a second thread, through a library and face of its own, as
  // FreeType's objects are never shared between threads. Its fields are the
  // same bytes; without the thread this one draws them.
  std::future<bool> helper;
  if (codes.size() > 1) {
    try {
      helper = std::async(std::launch::async, [&] {
        try {
          const std::unique_ptr<FreeTypeLibrary> library = MakeFreeTypeLibrary();
          RasterFace own;
          if (!library || !OpenRasterFace(library->library.get(), file, static_cast<int>(face.face->face_index), face.em,
                                          bold, italic, own)) {
            return false;
          }
          renderEvery(own, 1);
          return true;
        } catch (...) {
          return false;
        }
      });
    } catch (...) {
    }
  }
  renderEvery(face, 0);
  if (!helper.valid() || !helper.get()) renderEvery(face, 1);
  return fields;
}
