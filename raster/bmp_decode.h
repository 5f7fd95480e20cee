// Decoding of BMP files held in memory, into 24-bit pixel stores.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/image.h"

// Pictures larger than this are refused, whatever the file claims.
inline constexpr std::uint64_t BmpMaxPixels = 64ull * 1024 * 1024;

struct DecodedBmp {
  PixelStore pixels;   // always 24 bits per pixel, bottom row first
  int sourceBits = 0;  // bits per pixel of the file
};

// Decodes every standard BMP form. Returns true with `out` filled, or false
// with `*reason` (when given) set to a short static description of the fault;
// `out` is then unspecified. Never reads outside [data, data + size).
bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBmp& out, const char** reason);
