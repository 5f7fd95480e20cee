#include "renderer/sheet_build.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "raster/bmp_decode.h"
#include "raster/draw_surface.h"
#include "raster/image.h"
#include "renderer/field_sheet.h"
#include "renderer/glyph_drawing.h"
#include "renderer/glyph_effects.h"
#include "renderer/ink_boxes.h"
#include "renderer/renderer_settings.h"
#include "core/fonts.h"
#include "core/text_codes.h"
#include "platform/font_handles.h"
#include "platform/font_source.h"

namespace {

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

// What a glyph's field covers around its face's origin: its whole box, spread included.
InkBox FieldInkOf(const GlyphCoverage& field) {
  const PixelRect box = FieldBoxOf(field);
  return box.width ? InkBox{box.left, box.top, box.left + box.width, box.top + box.height} : InkBox{};
}

// Each drawn character's ink, measured once for the layout and the
// descriptor both. A distance field's is its field's whole box, FreeType's,
// its spread past the outline, never cut to a cell; the fields are then
// kept in `fields`, one a character.
std::vector<InkBox> InksOf(const Layers& layers, const std::vector<Placement>& drawn, int fieldSpread,
                           std::vector<GlyphCoverage>& fields) {
  if (fieldSpread) fields = DrawGlyphFields(*layers.face, CharactersOf(drawn), fieldSpread);
  std::vector<InkBox> inks;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    inks.push_back(fieldSpread ? FieldInkOf(fields[i]) : LayeredInkOf(layers, drawn[i].character));
  }
  return inks;
}

// The face's metrics and its kerning among `characters`, for pages of
// width x height (of distance fields `fieldSpread` past the outline, when
// above 0); the glyphs are the caller's to add.
void DescribeFace(const PlatformFont& face, const std::u32string& characters, int width, int height, int fieldSpread,
                  FontDescriptor& out) {
  const RendererSettings& s = rendererSettings;
  out = {};
  out.face = face.FamilyName();
  out.size = face.EmPixels();
  out.bold = (s.styleBits & FontBold) != 0;
  out.italic = (s.styleBits & FontItalic) != 0;
  out.lineHeight = face.CellHeight();
  out.base = face.Ascent();
  out.scaleW = width;
  out.scaleH = height;
  out.outline = s.effects.outlineWidth;
  out.padding = {fieldSpread, fieldSpread, fieldSpread, fieldSpread};
  out.sdfSpread = fieldSpread;
  for (const KerningPair& k : face.KerningPairs(characters)) {
    // No more than a descriptor may hold, so that every reader takes the file.
    if (out.kernings.size() == DescriptorMaxKernings) break;
    out.kernings.push_back({k.first, k.second, k.pixels});
  }
}

// `c`'s tight box, its face's origin at (ox, oy) on `page`; an inkless one is
// an empty box at the origin.
DescriptorGlyph GlyphBox(const PlatformFont& face, char32_t c, const InkBox& ink, int ox, int oy, int page) {
  DescriptorGlyph g{c, ox, oy};
  if (!ink.Empty()) g = {c, ox + ink.x0, oy + ink.y0, ink.x1 - ink.x0, ink.y1 - ink.y0, ink.x0, ink.y0};
  g.xadvance = face.TextWidth(std::u32string_view(&c, 1));
  g.page = page;
  return g;
}

// `inks[i]` is what `drawn[i]` draws, and `characters` the characters drawn.
void Describe(const std::vector<Placement>& drawn, const std::vector<InkBox>& inks, const std::u32string& characters,
              const SheetLayout& cells, const PlatformFont& face, int fieldSpread, FontDescriptor& out) {
  const ImageRecord& sheet = *FindImageRecord(SheetImage);
  DescribeFace(face, characters, sheet.width, sheet.height, fieldSpread, out);
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    const Placement& p = drawn[i];
    out.glyphs.push_back(GlyphBox(face, p.character, inks[i], p.column * cells.pitch + cells.originX,
                                  p.row * cells.pitch + cells.originY, 0));
  }
}

// Makes the fonts and the preview and lists the characters to draw; the
// measured cell, or 0 when the fonts cannot be had.
int PrepareSheet(bool shadowOn, int count, std::string_view testText, const SheetRequest& request,
                 std::vector<Placement>& drawn) {
  RendererSettings& s = rendererSettings;
  // RefreshPreview has just made both fonts from the settings.
  const int measured = RefreshPreview(shadowOn, count, testText) + SheetFaceInset;
  s.cellMeasure = measured;
  // Fonts that could not be made would leave the sheet drawn in the system font.
  if (measured <= SheetFaceInset) return 0;
  if (!FontHandle(FaceFont) || (shadowOn && !FontHandle(ShadowFont))) return 0;
  if (s.effects.outlineWidth > 0 && !FontOfHandle(FontHandle(FaceFont))->HasOutlines()) return 0;
  if (request.missing) request.missing->clear();
  drawn = CharactersDrawn(request);
  return measured;
}

// A page of `width` x `height` in image SheetImage, filled with the
// background, open for drawing; false when it cannot be made.
bool BeginSheetImage(int width, int height, bool transparent) {
  if (!MakeImageWithDepth(SheetImage, width, height, transparent ? 32 | ImageClearAlpha : 24)) return false;
  if (!BeginDraw(ImageSurface(SheetImage))) return false;
  SetDrawMode(DrawModeTransparent | (transparent ? DrawModeAlphaOver : 0));
  // Transparent pixels carry the text colour, so filtering toward them keeps the edges' colour.
  const RendererSettings& s = rendererSettings;
  FillBox(0, 0, width, height, transparent ? s.textColour : s.backgroundColour);
  return true;
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
  std::vector<Placement> drawn;
  const int measured = PrepareSheet(shadowOn, count, testText, request, drawn);
  if (!measured) return 0;
  const std::u32string characters = CharactersOf(drawn);
  std::vector<InkBox> inks;
  InkBox reach;
  const PlatformFont* face = nullptr;
  std::vector<GlyphCoverage> fields;
  if (request.fitPadding || request.descriptor) {
    const Layers layers = LayersNow(shadowOn, count);
    if (!layers.face || (shadowOn && !layers.shadow)) return 0;
    face = layers.face;
    assert(!request.fieldSpread || (request.fitPadding && !shadowOn));
    inks = InksOf(layers, drawn, request.fieldSpread, fields);
    for (const InkBox& ink : inks) reach.Add(ink);
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

  if (request.fieldSpread) {
    if (!MakeImageWithDepth(SheetImage, static_cast<int>(side), static_cast<int>(height), 32 | ImageClearAlpha)) return 0;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      PlaceField(SheetImage, fields[i], drawn[i].column * cells.pitch + cells.originX,
                 drawn[i].row * cells.pitch + cells.originY);
    }
    if (request.descriptor) Describe(drawn, inks, characters, cells, *face, request.fieldSpread, *request.descriptor);
    return cells.pitch;
  }
  if (!BeginSheetImage(static_cast<int>(side), static_cast<int>(height), request.transparent)) return 0;
  for (const Placement& p : drawn) {
    DrawLayeredGlyph(std::u32string_view(&p.character, 1), p.column * cells.pitch + cells.originX,
                     p.row * cells.pitch + cells.originY, shadowOn, count);
  }
  EndDraw();
  if (request.descriptor) Describe(drawn, inks, characters, cells, *face, 0, *request.descriptor);
  return cells.pitch;
}

bool PackCharacterSheet(bool shadowOn, int count, std::string_view testText, const SheetRequest& request, int padding,
                        const PackLimits& limits, PackedSheet& out) {
  out = {};
  std::vector<Placement> drawn;
  if (!PrepareSheet(shadowOn, count, testText, request, drawn)) return false;
  const Layers layers = LayersNow(shadowOn, count);
  if (!layers.face || (shadowOn && !layers.shadow)) return false;
  std::vector<GlyphCoverage> fields;
  const std::vector<InkBox> inks = InksOf(layers, drawn, request.fieldSpread, fields);
  std::vector<BoxSize> sizes;
  for (const InkBox& ink : inks) {
    sizes.push_back(ink.Empty() ? BoxSize{} : BoxSize{ink.x1 - ink.x0 + 2 * padding, ink.y1 - ink.y0 + 2 * padding});
  }
  out.layout = PackBoxes(sizes, limits);
  if (out.layout.outcome == PackOutcome::BoxTooLarge) {
    out.tooLarge = drawn[out.layout.tooLarge].character;
    out.needWidth = sizes[out.layout.tooLarge].width, out.needHeight = sizes[out.layout.tooLarge].height;
  }
  if (out.layout.outcome != PackOutcome::Packed) return false;
  if (request.descriptor) DescribeFace(*layers.face, CharactersOf(drawn), out.layout.width, out.layout.height, request.fieldSpread,
                                       *request.descriptor);
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    const PackedBox& at = out.layout.boxes[i];
    const InkBox& ink = inks[i];
    // The face's origin, so that the ink starts `padding` inside the packed box.
    const int ox = at.x + padding - ink.x0, oy = at.y + padding - ink.y0;
    if (!ink.Empty()) {
      out.glyphs.push_back({drawn[i].character, at.page, ox, oy});
      if (!fields.empty()) out.fields.push_back(std::move(fields[i]));
    }
    if (request.descriptor) {
      request.descriptor->glyphs.push_back(ink.Empty() ? GlyphBox(*layers.face, drawn[i].character, ink, 0, 0, 0)
                                                       : GlyphBox(*layers.face, drawn[i].character, ink, ox, oy, at.page));
    }
  }
  if (request.descriptor) request.descriptor->spacing = {limits.spacing, limits.spacing};
  return true;
}

bool DrawPackedPage(const PackedSheet& sheet, int page, bool shadowOn, int count, bool transparent) {
  if (!sheet.fields.empty()) {
    if (!MakeImageWithDepth(SheetImage, sheet.layout.width, sheet.layout.height, 32 | ImageClearAlpha)) return false;
    for (std::size_t i = 0; i < sheet.glyphs.size(); ++i) {
      const PackedGlyph& g = sheet.glyphs[i];
      if (g.page == page) PlaceField(SheetImage, sheet.fields[i], g.originX, g.originY);
    }
    return true;
  }
  if (!BeginSheetImage(sheet.layout.width, sheet.layout.height, transparent)) return false;
  for (const PackedGlyph& g : sheet.glyphs) {
    if (g.page == page) DrawLayeredGlyph(std::u32string_view(&g.character, 1), g.originX, g.originY, shadowOn, count);
  }
  EndDraw();
  return true;
}
