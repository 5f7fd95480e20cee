#include "platform/font_library_loader.h"

#include "platform/loaded_library.h"

const FreeTypeApi* LoadFreeType() {
  static const LoadedLibrary<FreeTypeApi> library("libfreetype.so.6", KILN_RESOLVE_ALL(KILN_FREETYPE_FUNCTIONS));
  return library.Functions();
}

const FontconfigApi* LoadFontconfig() {
  static const LoadedLibrary<FontconfigApi> library("libfontconfig.so.1", KILN_RESOLVE_ALL(KILN_FONTCONFIG_FUNCTIONS));
  return library.Functions();
}
