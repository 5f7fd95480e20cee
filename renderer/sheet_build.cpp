#include "renderer/sheet_build.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <string>

#include "raster/bmp_decode.h"
#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/field_sheet.h"
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

// One character of a sheet and its cell.
struct Placement {
  char32_t character;
  int column, row;
};

// The characters a sheet draws, with their cells: by code, or in the order
// given. A character the face lacks is left out when it is to be listed.
std::vector<Placement> CharactersDrawn(const SheetRequest& request) {
  const PlatformFont* face = FontOfHandle(FontHandle(FaceFont));
  std::vector<Placement> drawn;
  const auto take = [&](char32_t c, int column, int row) {
    if (request.missing && face && !face->HasGlyph(c)) {
      request.missing->push_back(c);
      return;
    }
    drawn.push_back({c, column, row});
  };
  if (!request.characters.empty()) {
    for (std::size_t i = 0; i < request.characters.size(); ++i) {
      const int at = static_cast<int>(i);
      take(request.characters[i], at % request.columns, at / request.columns);
    }
    return drawn;
  }
  for (int code = SheetFirstCode; code <= request.lastCode; ++code) {
    const char32_t c = Windows1252ToUnicode(static_cast<std::uint8_t>(code));
    if (code == SheetDeleteCode || c == 0) continue;
    const SheetCell cell = SheetCellOf(code);
    take(c, cell.column, cell.row);
  }
  return drawn;
}

// The fonts a sheet's glyphs are drawn in now, and how far their italics overhang.
struct Layers {
  const PlatformFont* face = nullptr;
  const PlatformFont* shadow = nullptr;  // null when shadows are off
  int faceOverhang = 0, shadowOverhang = 0, count = 1;
};

// Null fonts when a font the sheet needs is missing.
Layers LayersNow(bool shadowOn, int count) {
  Layers l{FontOfHandle(FontHandle(FaceFont)), shadowOn ? FontOfHandle(FontHandle(ShadowFont)) : nullptr};
  l.faceOverhang = ItalicOverhang(FontHandle(FaceFont));
  l.shadowOverhang = shadowOn ? ItalicOverhang(FontHandle(ShadowFont)) : 0;
  l.count = count;
  return l;
}

// Everything drawn for `c` around its face's origin: the face and its shadow copies.
InkBox LayeredInkOf(const Layers& l, char32_t c) {
  const RendererSettings& s = rendererSettings;
  InkBox reach;
  reach.Add(InkOf(*l.face, l.faceOverhang, c));
  // The count x count copies together cover the glyph moved by X + 1 .. X + count, Y + 1 .. Y + count.
  if (l.shadow) reach.Add(InkOf(*l.shadow, l.shadowOverhang, c), s.shadowOffsetX + 1, s.shadowOffsetY + 1, l.count - 1);
  return reach;
}

std::u32string CharactersOf(const std::vector<Placement>& drawn) {
  std::u32string characters;
  for (const Placement& p : drawn) characters += p.character;
  return characters;
}

// Cells that hold `reach` (everything any character draws) with `padding` around it.
SheetLayout LayoutAround(InkBox reach, int padding) {
  if (reach.x0 >= reach.x1) reach = {0, 0, 0, 0};  // no ink at all
  // L, U, R and D are signed: ink that starts right of or below the origin
  // leaves the origin at (4, 0), where readers of the grid expect it.
  const int ox = std::max(SheetFaceInset, padding - reach.x0), oy = std::max(0, padding - reach.y0);
  return {std::max(ox + reach.x1 + padding, oy + reach.y1 + padding), ox, oy};
}

}  // namespace

namespace {

// `inks[i]` is what `drawn[i]` draws, and `characters` the characters drawn.
void Describe(const std::vector<Placement>& drawn, const std::vector<InkBox>& inks, const std::u32string& characters,
              const SheetLayout& cells, const PlatformFont& face, int fieldSpread, FontDescriptor& out) {
  const RendererSettings& s = rendererSettings;
  const ImageRecord& sheet = *FindImageRecord(SheetImage);
  out = {};
  out.face = face.FamilyName();
  out.size = face.EmPixels();
  out.bold = (s.styleBits & FontBold) != 0;
  out.italic = (s.styleBits & FontItalic) != 0;
  out.lineHeight = face.CellHeight();
  out.base = face.Ascent();
  out.scaleW = sheet.width;
  out.scaleH = sheet.height;
  out.padding = {fieldSpread, fieldSpread, fieldSpread, fieldSpread};
  out.sdfSpread = fieldSpread;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    const Placement& p = drawn[i];
    const int ox = p.column * cells.pitch + cells.originX, oy = p.row * cells.pitch + cells.originY;
    const InkBox& ink = inks[i];
    DescriptorGlyph g{p.character, ox, oy};
    if (ink.x0 < ink.x1 && ink.y0 < ink.y1) {
      g = {p.character, ox + ink.x0, oy + ink.y0, ink.x1 - ink.x0, ink.y1 - ink.y0, ink.x0, ink.y0};
    }
    g.xadvance = face.TextWidth(std::u32string_view(&p.character, 1));
    out.glyphs.push_back(g);
  }
  for (const KerningPair& k : face.KerningPairs(characters)) {
    // No more than a descriptor may hold, so that every reader takes the file.
    if (out.kernings.size() == DescriptorMaxKernings) break;
    out.kernings.push_back({k.first, k.second, k.pixels});
  }
}

}  // namespace

SheetLayout FittedSheetLayout(bool shadowOn, int count, int padding, const std::u32string* characters) {
  const Layers layers = LayersNow(shadowOn, count);
  if (!layers.face || (shadowOn && !layers.shadow)) return {};
  InkBox reach;
  const std::u32string defaultCharacters = characters ? U"" : CharactersOf(CharactersDrawn({}));
  for (const char32_t c : characters ? *characters : defaultCharacters) reach.Add(LayeredInkOf(layers, c));
  return LayoutAround(reach, padding);
}

int BuildCharacterSheet(bool shadowOn, int count, std::string_view testText, const SheetRequest& request) {
  assert(request.columns >= 1);
  RendererSettings& s = rendererSettings;
  // RefreshPreview has just made both fonts from the settings.
  const int measured = RefreshPreview(shadowOn, count, testText) + SheetFaceInset;
  s.cellMeasure = measured;

  // Fonts that could not be made would leave the sheet drawn in the system
  // font; a sheet past the image size limit cannot be made at all.
  if (measured <= SheetFaceInset) return 0;
  if (!FontHandle(FaceFont) || (shadowOn && !FontHandle(ShadowFont))) return 0;
  if (request.missing) request.missing->clear();
  const std::vector<Placement> drawn = CharactersDrawn(request);
  const std::u32string characters = CharactersOf(drawn);
  // Each character's ink, measured once for the fitted cells and the descriptor both.
  std::vector<InkBox> inks;
  InkBox reach;
  const PlatformFont* face = nullptr;
  std::vector<GlyphCoverage> fields;
  if (request.fitPadding || request.descriptor) {
    const Layers layers = LayersNow(shadowOn, count);
    if (!layers.face || (shadowOn && !layers.shadow)) return 0;
    face = layers.face;
    if (request.fieldSpread) {
      // A field's box is FreeType's, its spread past the outline: it is never cut to the cell.
      assert(request.fitPadding && !shadowOn);
      fields = DrawGlyphFields(*face, characters, request.fieldSpread);
      for (const GlyphCoverage& field : fields) {
        const PixelRect box = FieldBoxOf(field);
        reach.Add(inks.emplace_back(box.width ? InkBox{box.left, box.top, box.left + box.width, box.top + box.height}
                                              : InkBox{}));
      }
    } else {
      for (const Placement& p : drawn) reach.Add(inks.emplace_back(LayeredInkOf(layers, p.character)));
    }
  }
  const SheetLayout cells = request.fitPadding ? LayoutAround(reach, *request.fitPadding) : SheetLayout{measured};
  const bool byCode = request.characters.empty();
  // A row no wider than the characters: empty columns would only widen the image.
  const long long columns =
      byCode ? SheetColumns : std::min<long long>(request.columns, static_cast<long long>(request.characters.size()));
  const long long rows = byCode ? SheetRowsFor(request.lastCode)
                                : (static_cast<long long>(request.characters.size()) + columns - 1) / columns;
  const long long n = cells.pitch, side = columns * n, height = rows * n;
  // A sheet must be one that every reader, this toolset's among them, takes back.
  if (n <= 0 || !ImageSizeReadable(side, height)) {
    return 0;
  }

  if (!MakeImageWithDepth(SheetImage, static_cast<int>(side), static_cast<int>(height),
                          request.transparent || request.fieldSpread ? 32 | ImageClearAlpha : 24)) {
    return 0;
  }
  if (request.fieldSpread) {
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      PlaceField(SheetImage, fields[i], drawn[i].column * cells.pitch + cells.originX, drawn[i].row * cells.pitch + cells.originY);
    }
    if (request.descriptor) Describe(drawn, inks, characters, cells, *face, request.fieldSpread, *request.descriptor);
    return cells.pitch;
  }
  if (!BeginDraw(ImageSurface(SheetImage))) return 0;
  SetDrawMode(DrawModeTransparent | (request.transparent ? DrawModeAlphaOver : 0));
  // Transparent pixels carry the text colour, so filtering toward them keeps the edges' colour.
  FillBox(0, 0, static_cast<int>(side), static_cast<int>(height),
          request.transparent ? s.textColour : s.backgroundColour);
  for (const Placement& p : drawn) {
    DrawLayeredGlyph(std::u32string_view(&p.character, 1), p.column * cells.pitch + cells.originX,
                     p.row * cells.pitch + cells.originY, shadowOn, count);
  }
  EndDraw();
  if (request.descriptor) Describe(drawn, inks, characters, cells, *face, 0, *request.descriptor);
  return cells.pitch;
}
