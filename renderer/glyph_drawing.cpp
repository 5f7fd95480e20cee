#include "renderer/glyph_drawing.h"

#include <algorithm>
#include <cstdlib>

#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/glyph_effects.h"
#include "renderer/renderer_settings.h"
#include "core/fonts.h"
#include "core/text_codes.h"

RendererSettings rendererSettings;

namespace {

// PaintText for single-byte codes, PaintCodePoints for Unicode.
int Paint(int x, int y, std::string_view text, std::uint32_t colour) { return PaintText(x, y, text, colour); }
int Paint(int x, int y, std::u32string_view text, std::uint32_t colour) { return PaintCodePoints(x, y, text, colour); }

template <class Text>
void DrawShadowCopies(Text text, int ox, int oy, int count) {
  const RendererSettings& s = rendererSettings;
  SetDrawFont(FontHandle(ShadowFont));
  for (int i = 1; i <= count; ++i) {
    for (int j = 1; j <= count; ++j) Paint(ox + s.shadowOffsetX + i, oy + s.shadowOffsetY + j, text, s.shadowColour);
  }
}

template <class Text>
void DrawFace(Text text, int ox, int oy) {
  SetDrawFont(FontHandle(FaceFont));
  Paint(ox, oy, text, rendererSettings.textColour);
}

std::u32string CodePointsOf(std::string_view bytes) {
  std::u32string codes;
  Windows1252ToUnicode(bytes, codes);
  return codes;
}
std::u32string_view CodePointsOf(std::u32string_view codes) { return codes; }

// Bottom to top: the shadow, the outline, the face; the effects stand in for
// the plain layers they change.
template <class Text>
void DrawLayers(Text text, int ox, int oy, bool shadowOn, int count) {
  const auto codes = CodePointsOf(text);
  if (shadowOn && !DrawSoftShadow(codes, ox, oy, count)) DrawShadowCopies(text, ox, oy, count);
  DrawOutline(codes, ox, oy);
  if (!DrawGradientFace(codes, ox, oy)) DrawFace(text, ox, oy);
}

}  // namespace

void DrawLayeredGlyph(std::string_view text, int ox, int oy, bool shadowOn, int count) {
  DrawLayers(text, ox, oy, shadowOn, count);
}

void DrawLayeredGlyph(std::u32string_view text, int ox, int oy, bool shadowOn, int count) {
  DrawLayers(text, ox, oy, shadowOn, count);
}

int RefreshPreview(bool shadowOn, int count, std::string_view testText) {
  RendererSettings& s = rendererSettings;
  MakeFont(ShadowFont, s.fontName, s.shadowSize, s.styleBits);
  MakeFont(FaceFont, s.fontName, s.fontSize, s.styleBits);
  if (!ImageExists(PreviewImage)) MakeImage(PreviewImage, PreviewSide, PreviewSide);

  if (!BeginDraw(ImageSurface(PreviewImage))) return s.cellMeasure;
  SetDrawMode(DrawModeTransparent);
  FillBox(0, 0, PreviewSide, PreviewSide, s.backgroundColour);
  int m = 0;
  if (shadowOn) {
    // Nothing but the new drawing state's system font is selected yet: the
    // shadow's share of the cell is measured in it.
    m = std::max(MeasureTextWidth("@"), MeasureTextHeight("@"));
    m += std::max(std::abs(s.shadowOffsetX), std::abs(s.shadowOffsetY)) + count;
  }
  DrawLayers(testText, PreviewOrigin, PreviewOrigin, shadowOn, count);
  SetDrawFont(FontHandle(FaceFont));
  m = std::max({m, MeasureTextWidth("@"), MeasureTextHeight("@")});
  EndDraw();
  s.cellMeasure = m;
  return m;
}
