// Faces opened, measured and rendered through FreeType, with every setting
// that decides pixels fixed here rather than left to the user's environment.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <memory>
#include <string_view>
#include <vector>

#include "platform/font_source.h"
#include "platform/owned_by.h"

// A FreeType library of our own, never the one FT_Init_FreeType makes: that
// one reads FREETYPE_PROPERTIES, which would let a user's setting move pixels.
struct FreeTypeLibrary {
  FT_MemoryRec_ memory{};
  OwnedBy<FT_LibraryRec_, FT_Done_Library> library;  // after `memory`, which must outlive it
};

// Null when FreeType cannot be set up.
std::unique_ptr<FreeTypeLibrary> MakeFreeTypeLibrary();

enum class CharMapKind { Unicode, Symbol, None };

// A face at one em size in pixels, bold and italic made up when asked for
// and the face has neither, with the metrics its cells are laid out by.
struct RasterFace {
  OwnedBy<FT_FaceRec_, FT_Done_Face> face;
  int em = 0;
  int ascent = 0;
  int descent = 0;
  PixelRect underline;  // top and height only: rows in cell coordinates
  PixelRect strikeOut;
  bool syntheticBold = false;
  bool syntheticItalic = false;
  FT_Pos boldStrength = 0;  // 26.6, whole pixels
  CharMapKind charMap = CharMapKind::None;

  // 0 for code point 0 and for characters the face has no glyph for.
  FT_UInt GlyphIndex(char32_t code) const;
  // The one glyph pipeline: hinted load, synthetic slant and bold, render.
  GlyphCoverage Render(char32_t code, bool mono) const;
  // Its first half: the glyph's outline in the slot, slanted and emboldened
  // as the face asks; false when there is no outline to draw.
  bool LoadStyledOutline(char32_t code, FT_Int32 flags) const;
  // Its last half: the slot's rendered bitmap, placed against the cell.
  GlyphCoverage TakeBitmap() const;
  // The signed distance field of the unhinted outline, `spread` pixels each
  // side (platform/glyph_field.cpp).
  GlyphCoverage RenderField(char32_t code, int spread) const;
};

// The fields of `codes` in `face` (opened from `file` with `bold` and
// `italic` asked), RasterFace::RenderField's each, in order.
std::vector<GlyphCoverage> RenderFields(const RasterFace& face, const char* file, bool bold, bool italic,
                                        std::u32string_view codes, int spread);

// `bm` (grey or 1-bit) as coverage whose top-left lies `left` right of the
// pen and `bitmapTop` above the baseline; false for another pixel mode.
bool CopyCoverage(const FT_Bitmap& bm, int left, int bitmapTop, int ascent, GlyphCoverage& out);

// 26.6 to whole pixels, halves up.
int RoundPos(FT_Pos v);

// Face `index` of `file`; false when it cannot be opened or is not scalable.
bool OpenRasterFace(FT_Library library, const char* file, int index, int emPixels, bool bold, bool italic,
                    RasterFace& out);
