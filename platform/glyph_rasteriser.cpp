#include "platform/glyph_rasteriser.h"

#include FT_DRIVER_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/integer_rounding.h"

namespace {

void* FtAlloc(FT_Memory, long size) { return std::malloc(static_cast<std::size_t>(size)); }
void FtFree(FT_Memory, void* block) { std::free(block); }
void* FtRealloc(FT_Memory, long, long newSize, void* block) {
  return std::realloc(block, static_cast<std::size_t>(newSize));
}

bool PinRenderingProperties(FT_Library lib) {
  FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
  if (FT_Property_Set(lib, "truetype", "interpreter-version", &interpreter) != 0) return false;
  // PostScript-flavoured drivers: pin today's defaults so a distribution's
  // build choices cannot move them. A driver left out of the build is fine.
  for (const char* module : {"cff", "type1", "t1cid"}) {
    FT_UInt engine = FT_HINTING_ADOBE;
    FT_Bool noDarkening = 1;
    FT_Error e = FT_Property_Set(lib, module, "hinting-engine", &engine);
    if (e != 0 && e != FT_Err_Missing_Module) return false;
    e = FT_Property_Set(lib, module, "no-stem-darkening", &noDarkening);
    if (e != 0 && e != FT_Err_Missing_Module) return false;
  }
  FT_Bool noDarkening = 1;
  FT_Error e = FT_Property_Set(lib, "autofitter", "no-stem-darkening", &noDarkening);
  return e == 0 || e == FT_Err_Missing_Module;
}

// fontconfig's stock shear for synthetic italics ([1 0.2; 0 1]). Fixed here
// rather than read from the match, so a user's configuration cannot change it.
constexpr FT_Fixed SyntheticShear = 0x3333;  // 0.2 in 16.16

// The face's OS/2 weight class (100..900), or 400 / 700 from its style flags.
int FaceWeightClass(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass > 0 && os2->usWeightClass <= 1000) {
    // Some old fonts count weight 1..9.
    return os2->usWeightClass < 10 ? os2->usWeightClass * 100 : os2->usWeightClass;
  }
  return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? 700 : 400;
}

// Metrics and line positions in pixels, from the face's own tables.
void ComputeMetrics(RasterFace& f) {
  FT_Face face = f.face.get();
  const std::int64_t em = f.em;
  const std::int64_t upem = face->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
  const bool haveOs2 = os2 != nullptr && os2->version != 0xFFFF;

  std::int64_t ascentUnits = face->ascender;
  std::int64_t descentUnits = -std::int64_t{face->descender};
  if (haveOs2 && os2->usWinAscent + os2->usWinDescent > 0) {
    ascentUnits = os2->usWinAscent;
    descentUnits = os2->usWinDescent;
  }
  f.ascent = ClampToInt(std::max<std::int64_t>(0, CeilDiv(ascentUnits * em, upem)));
  f.descent = ClampToInt(std::max<std::int64_t>(0, CeilDiv(descentUnits * em, upem)));
  const int cell = f.ascent + f.descent;

  // Bar tops, in font units above the baseline.
  std::int64_t underTop = 0;
  std::int64_t underSize = 0;
  if (post != nullptr) {
    underTop = post->underlinePosition;
    underSize = post->underlineThickness;
  } else {  // FreeType's value is the bar's centre
    underSize = face->underline_thickness;
    underTop = face->underline_position + underSize / 2;
  }
  std::int64_t strikeTop = 0;
  std::int64_t strikeSize = 0;
  if (haveOs2 && os2->yStrikeoutSize > 0) {
    strikeTop = os2->yStrikeoutPosition;
    strikeSize = os2->yStrikeoutSize;
  } else {  // no table: a bar of underline thickness near half the x-height
    strikeSize = underSize;
    strikeTop = upem * 3 / 10 + strikeSize / 2;
  }
  const int underHeight = ClampToInt(std::max<std::int64_t>(1, RoundDiv(underSize * em, upem)));
  int underRow = ClampToInt(f.ascent - RoundDiv(underTop * em, upem));
  // Keep the underline inside the cell, where callers' buffers end.
  underRow = std::max(std::min(underRow, cell - underHeight), 0);
  f.underline = {0, underRow, 0, underHeight};
  const int strikeHeight = ClampToInt(std::max<std::int64_t>(1, RoundDiv(strikeSize * em, upem)));
  f.strikeOut = {0, ClampToInt(f.ascent - RoundDiv(strikeTop * em, upem)), 0, strikeHeight};
}

}  // namespace

int RoundPos(FT_Pos v) { return ClampToInt((static_cast<std::int64_t>(v) + 32) >> 6); }

std::unique_ptr<FreeTypeLibrary> MakeFreeTypeLibrary() {
  auto freeType = std::make_unique<FreeTypeLibrary>();
  freeType->memory = {nullptr, FtAlloc, FtFree, FtRealloc};
  FT_Library lib = nullptr;
  if (FT_New_Library(&freeType->memory, &lib) != 0) return nullptr;
  freeType->library.reset(lib);
  FT_Add_Default_Modules(lib);
  if (!PinRenderingProperties(lib)) return nullptr;
  return freeType;
}

bool OpenRasterFace(FT_Library library, const char* file, int index, int emPixels, bool bold, bool italic,
                    RasterFace& out) {
  FT_Face face = nullptr;
  if (FT_New_Face(library, file, index, &face) != 0) return false;
  out.face.reset(face);
  out.em = emPixels;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return false;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(emPixels)) != 0) return false;
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) {
    out.charMap = CharMapKind::Unicode;
  } else if (FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0) {
    out.charMap = CharMapKind::Symbol;
  }
  // Synthesis follows fontconfig's stock rule (bold over a face of medium
  // weight or less, italic over an upright face) but reads the face itself:
  // the match's weight and slant are rewritten by that same rule, and a
  // user's configuration must not turn synthesis on or off.
  out.syntheticBold = bold && FaceWeightClass(face) <= 500;
  out.syntheticItalic = italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
  if (out.syntheticBold) {
    // FreeType's strength (em / 24) in whole pixels, at least one, so that
    // bold shows at small sizes and advances stay whole.
    const FT_Pos strength = FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24;
    out.boldStrength = std::max<FT_Pos>(64, (strength + 32) & ~FT_Pos{63});
  }
  ComputeMetrics(out);
  return true;
}

FT_UInt RasterFace::GlyphIndex(char32_t code) const {
  switch (charMap) {
    case CharMapKind::Unicode:
      return code == 0 ? 0 : FT_Get_Char_Index(face.get(), code);
    case CharMapKind::Symbol: {
      // Symbol fonts put their glyphs at U+F000 + byte (some at the byte).
      if (code == 0) return 0;
      const FT_UInt index = code <= 0xFF ? FT_Get_Char_Index(face.get(), 0xF000u + code) : 0;
      return index != 0 ? index : FT_Get_Char_Index(face.get(), code);
    }
    case CharMapKind::None:
      break;
  }
  return 0;
}

bool RasterFace::LoadStyledOutline(char32_t code, FT_Int32 flags) const {
  if (FT_Load_Glyph(face.get(), GlyphIndex(code), flags | FT_LOAD_NO_BITMAP) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  if (syntheticItalic) {
    FT_Matrix shear{0x10000, SyntheticShear, 0, 0x10000};
    FT_Outline_Transform(&slot->outline, &shear);
  }
  if (syntheticBold) {
    if (FT_Outline_EmboldenXY(&slot->outline, boldStrength, boldStrength) != 0) return false;
    slot->advance.x += boldStrength;
  }
  return true;
}

GlyphCoverage RasterFace::TakeBitmap() const {
  GlyphCoverage out;
  FT_GlyphSlot slot = face->glyph;
  if (!CopyCoverage(slot->bitmap, slot->bitmap_left, slot->bitmap_top, ascent, out)) return {};
  out.advance = RoundPos(slot->advance.x);
  out.valid = true;
  return out;
}

GlyphCoverage RasterFace::Render(char32_t code, bool mono) const {
  if (!LoadStyledOutline(code, mono ? FT_LOAD_TARGET_MONO : FT_LOAD_DEFAULT)) return {};
  if (FT_Render_Glyph(face->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return {};
  return TakeBitmap();
}

bool CopyCoverage(const FT_Bitmap& bm, int left, int bitmapTop, int ascent, GlyphCoverage& out) {
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.rows > 0) return false;
  out.left = left;
  out.top = ascent - bitmapTop;
  out.width = static_cast<int>(bm.width);
  out.rows = static_cast<int>(bm.rows);
  out.grey.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.rows));
  // A negative pitch means the rows are stored bottom first.
  const unsigned char* top = bm.pitch >= 0 ? bm.buffer : bm.buffer - bm.pitch * (out.rows - 1);
  for (int y = 0; y < out.rows; ++y) {
    const unsigned char* row = top + static_cast<std::ptrdiff_t>(y) * bm.pitch;
    std::uint8_t* dst = out.grey.data() + static_cast<std::size_t>(y) * out.width;
    for (int x = 0; x < out.width; ++x) {
      dst[x] = bm.pixel_mode == FT_PIXEL_MODE_GRAY
                   ? row[x]
                   : static_cast<std::uint8_t>((row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0);
    }
  }
  return true;
}
