#include "platform/harfbuzz_loader.h"

#include "platform/loaded_library.h"

const HarfBuzzApi* LoadHarfBuzz() {
  static const LoadedLibrary<HarfBuzzApi> library("libharfbuzz.so.0", KILN_RESOLVE_ALL(KILN_HARFBUZZ_FUNCTIONS));
  return library.Functions();
}
