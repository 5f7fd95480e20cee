#include "renderer/sheet_build.h"

#include <algorithm>
#include <climits>
#include <string>

#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/glyph_drawing.h"
#include "renderer/renderer_settings.h"
#include "core/fonts.h"
#include "core/text_codes.h"
#include "platform/font_handles.h"
#include "platform/font_source.h"

namespace {

// Ink around a face's origin: [x0, x1) x [y0, y1), empty when x0 >= x1.
struct InkBox {
  int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;

  // Takes in `ink` moved by (dx, dy) and grown right and down by `spread`.
  void Add(const InkBox& ink, int dx = 0, int dy = 0, int spread = 0) {
    if (ink.x0 >= ink.x1 || ink.y0 >= ink.y1) return;
    x0 = std::min(x0, ink.x0 + dx), y0 = std::min(y0, ink.y0 + dy);
    x1 = std::max(x1, ink.x1 + dx + spread), y1 = std::max(y1, ink.y1 + dy + spread);
  }
};

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

// The codes a sheet draws, in order: the characters among its codes, less
// those the face lacks when they are to be listed.
std::vector<int> CodesDrawn(const SheetCharset& charset) {
  const PlatformFont* face = FontOfHandle(FontHandle(FaceFont));
  std::vector<int> codes;
  for (int code = SheetFirstCode; code <= charset.lastCode; ++code) {
    const char32_t c = Windows1252ToUnicode(static_cast<std::uint8_t>(code));
    if (code == SheetDeleteCode || c == 0) continue;
    if (charset.missing && face && !face->HasGlyph(c)) {
      charset.missing->push_back(c);
      continue;
    }
    codes.push_back(code);
  }
  return codes;
}

}  // namespace

SheetLayout FittedSheetLayout(bool shadowOn, int count, int padding, const std::vector<int>* codes) {
  const RendererSettings& s = rendererSettings;
  const PlatformFont* face = FontOfHandle(FontHandle(FaceFont));
  const PlatformFont* shadow = shadowOn ? FontOfHandle(FontHandle(ShadowFont)) : nullptr;
  if (!face || (shadowOn && !shadow)) return {};
  const int faceOverhang = ItalicOverhang(FontHandle(FaceFont));
  const int shadowOverhang = shadow ? ItalicOverhang(FontHandle(ShadowFont)) : 0;
  // L, U, R and D are signed: ink that starts right of or below the origin
  // leaves the origin at (4, 0), where readers of the grid expect it.
  InkBox reach;
  const std::vector<int> defaultCodes = codes ? std::vector<int>{} : CodesDrawn({});
  for (const int byte : codes ? *codes : defaultCodes) {
    const char32_t code = Windows1252ToUnicode(static_cast<std::uint8_t>(byte));
    reach.Add(InkOf(*face, faceOverhang, code));
    // The count x count copies together cover the glyph moved by X + 1 .. X + count, Y + 1 .. Y + count.
    if (shadow) reach.Add(InkOf(*shadow, shadowOverhang, code), s.shadowOffsetX + 1, s.shadowOffsetY + 1, count - 1);
  }
  if (reach.x0 >= reach.x1) reach = {0, 0, 0, 0};  // no ink at all
  const int ox = std::max(SheetFaceInset, padding - reach.x0), oy = std::max(0, padding - reach.y0);
  return {std::max(ox + reach.x1 + padding, oy + reach.y1 + padding), ox, oy};
}

int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText, std::optional<int> fitPadding,
                        SheetCharset charset) {
  RendererSettings& s = rendererSettings;
  // RefreshPreview has just made both fonts from the settings.
  const int measured = RefreshPreview(shadowOn, count, testText) + SheetFaceInset;
  s.cellMeasure = measured;

  // Fonts that could not be made would leave the sheet drawn in the system
  // font; a sheet past the image size limit cannot be made at all.
  if (measured <= SheetFaceInset) return 0;
  if (!FontHandle(FaceFont) || (shadowOn && !FontHandle(ShadowFont))) return 0;
  if (charset.missing) charset.missing->clear();
  const std::vector<int> codes = CodesDrawn(charset);
  const SheetLayout cells =
      fitPadding ? FittedSheetLayout(shadowOn, count, *fitPadding, &codes) : SheetLayout{measured};
  const int n = cells.pitch, rows = SheetRowsFor(charset.lastCode);
  if (n <= 0 || static_cast<long long>(n) * std::max(SheetColumns, rows) > ImageMaxSide) return 0;

  const int side = SheetColumns * n, height = rows * n;
  if (!MakeImage(SheetImage, side, height)) return 0;
  if (!BeginDraw(ImageSurface(SheetImage))) return 0;
  SetDrawMode(DrawModeTransparent);
  FillBox(0, 0, side, height, s.backgroundColour);
  for (const int code : codes) {
    const char ch = static_cast<char>(code);
    const SheetCell cell = SheetCellOf(code);
    DrawLayeredGlyph(std::string_view(&ch, 1), cell.column * n + cells.originX, cell.row * n + cells.originY, shadowOn,
                     count);
  }
  EndDraw();
  return n;
}
