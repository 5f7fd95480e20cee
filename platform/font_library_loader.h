// FreeType and fontconfig, opened at run time the first time a font is asked
// for: a program linked against them would load them and their own
// dependencies (brotli, expat, ...) at every start, which costs a good part of
// a command that draws no text.
#pragma once

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

// Every function the fonts call; each is looked up by this name.
#define KILN_FREETYPE_FUNCTIONS(X) \
  X(FT_Add_Default_Modules)        \
  X(FT_Done_Face)                  \
  X(FT_Done_Library)               \
  X(FT_Get_Char_Index)             \
  X(FT_Get_Sfnt_Table)             \
  X(FT_Load_Glyph)                 \
  X(FT_MulFix)                     \
  X(FT_New_Face)                   \
  X(FT_New_Library)                \
  X(FT_Outline_EmboldenXY)         \
  X(FT_Outline_Transform)          \
  X(FT_Property_Set)               \
  X(FT_Render_Glyph)               \
  X(FT_Select_Charmap)             \
  X(FT_Set_Pixel_Sizes)

#define KILN_FONTCONFIG_FUNCTIONS(X) \
  X(FcConfigDestroy)                 \
  X(FcConfigSubstitute)              \
  X(FcDefaultSubstitute)             \
  X(FcFontList)                      \
  X(FcFontMatch)                     \
  X(FcFontSetDestroy)                \
  X(FcInitLoadConfigAndFonts)        \
  X(FcObjectSetAdd)                  \
  X(FcObjectSetCreate)               \
  X(FcObjectSetDestroy)              \
  X(FcPatternAddBool)                \
  X(FcPatternAddDouble)              \
  X(FcPatternAddInteger)             \
  X(FcPatternAddString)              \
  X(FcPatternCreate)                 \
  X(FcPatternDestroy)                \
  X(FcPatternGetDouble)              \
  X(FcPatternGetInteger)             \
  X(FcPatternGetString)              \
  X(FcPatternGetWithBinding)

// Pointers typed from the headers, so a call that does not match them does
// not compile.
#define KILN_FONT_LIBRARY_POINTER(name) decltype(&::name) name = nullptr;
struct FreeTypeApi {
  KILN_FREETYPE_FUNCTIONS(KILN_FONT_LIBRARY_POINTER)
};
struct FontconfigApi {
  KILN_FONTCONFIG_FUNCTIONS(KILN_FONT_LIBRARY_POINTER)
};
#undef KILN_FONT_LIBRARY_POINTER

// Open libfreetype.so.6 and libfontconfig.so.1 on their first call. Null, on
// that call and every later one, when the library or any of the functions is
// missing.
const FreeTypeApi* LoadFreeType();
const FontconfigApi* LoadFontconfig();
