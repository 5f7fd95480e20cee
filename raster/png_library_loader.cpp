#include "raster/png_library_loader.h"

#include "platform/loaded_library.h"

const LibpngApi* LoadLibpng() {
  static const LoadedLibrary<LibpngApi> library(KILN_LIBPNG_SONAME, KILN_RESOLVE_ALL(KILN_LIBPNG_FUNCTIONS));
  return library.Functions();
}
