// Feeds arbitrary bytes to DecodeBmp. The sanitizers catch bad reads and
// writes; a decoded picture must also be a well-formed 24-bit pixel array.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "raster/bmp_decode.h"

namespace {

bool WellFormed(const DecodedBmp& d) {
  const PixelStore& s = d.pixels;
  if (s.width < 1 || s.width > ImageMaxSide || s.height < 1 || s.height > ImageMaxSide) return false;
  if (static_cast<std::uint64_t>(s.width) * static_cast<std::uint64_t>(s.height) > BmpMaxPixels) return false;
  if (s.bitsPerPixel != 24 || s.rowBytes != RowBytes(s.width, 24)) return false;
  if (s.bytes.size() != s.rowBytes * static_cast<std::size_t>(s.height)) return false;
  const int b = d.sourceBits;
  if (b != 1 && b != 2 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return false;
  const std::size_t pixelBytes = 3 * static_cast<std::size_t>(s.width);
  for (std::size_t row = 0; row < s.bytes.size(); row += s.rowBytes) {
    for (std::size_t i = pixelBytes; i < s.rowBytes; ++i) {
      if (s.bytes[row + i] != 0) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DecodedBmp decoded;
  const char* reason = nullptr;
  if (!DecodeBmp(data, size, decoded, &reason)) {
    if (reason == nullptr || *reason == '\0') std::abort();
    return 0;
  }
  if (!WellFormed(decoded)) std::abort();
  return 0;
}
