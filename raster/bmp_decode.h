// Decoding of BMP files, held in memory or read piece by piece, into 24-bit pixel stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "raster/image.h"

// Pictures larger than this are refused, whatever the file claims.
inline constexpr std::uint64_t BmpMaxPixels = 64ull * 1024 * 1024;

// Whether every reader here takes a picture of this size back: the one limit
// that what is written is held to as well.
inline bool ImageSizeReadable(std::int64_t width, std::int64_t height) {
  return width >= 0 && height >= 0 && width <= ImageMaxSide && height <= ImageMaxSide &&
         static_cast<std::uint64_t>(width * height) <= BmpMaxPixels;
}

struct DecodedBmp {
  PixelStore pixels;   // always 24 bits per pixel, bottom row first
  int sourceBits = 0;  // bits per pixel of the file
};

// A file of `size` bytes that the decoder reads in a few pieces: `read` fills
// `to` with the `count` bytes at offset `at` and returns null, or returns a
// short static reason. Pixel rows of 24-bit files are read straight into the
// picture, other uncompressed rows through a small buffer, RLE codes whole.
struct BmpSource {
  std::uint64_t size = 0;
  std::function<const char*(std::uint64_t at, std::uint8_t* to, std::size_t count)> read;
};

// Test hook: when set, ReadImageFile calls it once the file is open and its
// size known, before reading any of it.
extern void (*ReadImageFileOpenedHook)();

// Decodes every standard BMP form. Returns true with `out` filled, or false
// with `*reason` (when given) set to a short static description of the fault;
// `out` is then unspecified. Never reads outside the file.
bool DecodeBmp(const BmpSource& file, DecodedBmp& out, const char** reason);
bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBmp& out, const char** reason);
