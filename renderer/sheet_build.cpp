#include "renderer/sheet_build.h"

#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/glyph_drawing.h"
#include "renderer/renderer_settings.h"
#include "core/fonts.h"

int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText) {
  RendererSettings& s = rendererSettings;
  // RefreshPreview has just made both fonts from the settings.
  const int n = RefreshPreview(shadowOn, count, testText) + SheetFaceInset;
  s.cellMeasure = n;

  // Fonts that could not be made would leave the sheet drawn in the system
  // font; a sheet past the image size limit cannot be made at all.
  if (n <= SheetFaceInset || static_cast<long long>(n) * SheetColumns > ImageMaxSide) return 0;
  if (!FontHandle(FaceFont) || (shadowOn && !FontHandle(ShadowFont))) return 0;

  const int side = SheetColumns * n;
  if (!MakeImage(SheetImage, side, side)) return 0;
  if (!BeginDraw(ImageSurface(SheetImage))) return 0;
  SetDrawMode(DrawModeTransparent);
  FillBox(0, 0, side, side, s.backgroundColour);
  for (int code = SheetFirstCode; code <= SheetLastCode; ++code) {
    const char ch = static_cast<char>(code);
    const SheetCell cell = SheetCellOf(code);
    DrawLayeredGlyph(std::string_view(&ch, 1), cell.column * n + SheetFaceInset, cell.row * n, shadowOn, count);
  }
  EndDraw();
  return n;
}
