// Numbered images: 24-bit (or 32-bit) pixel stores laid out exactly as the
// pixel array of a BMP file, so that writing one is a matter of two headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/object_table.h"

// An opaque, non-zero value naming one live pixel store.
using ImageHandleValue = std::uintptr_t;

// A 32-bit image made with this flag added to its bits value starts all zero
// instead of opaque black.
inline constexpr int ImageClearAlpha = 0x100;

// Pixel (x, y), with (0, 0) the top-left corner, starts at byte
// (height - 1 - y) * rowBytes + bytesPerPixel * x: bottom row first, blue,
// green, red (then alpha for 32 bits), each row padded with zeros.
struct PixelStore {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;
  std::size_t rowBytes = 0;
  std::vector<std::uint8_t> bytes;

  std::uint8_t* Pixel(int x, int y) {
    return bytes.data() + static_cast<std::size_t>(height - 1 - y) * rowBytes +
           static_cast<std::size_t>(bitsPerPixel / 8) * static_cast<std::size_t>(x);
  }
  const std::uint8_t* Pixel(int x, int y) const {
    return const_cast<PixelStore*>(this)->Pixel(x, y);
  }
};

struct ImageRecord {
  ImageHandleValue handle = 0;
  std::int16_t width = 0;
  std::int16_t height = 0;
  std::uint8_t depth = 0;        // bits per pixel of the store
  std::uint8_t sourceDepth = 0;  // bits per pixel the image is written with
};

inline constexpr int ImageMaxSide = 32767;

// A stored pixel's colour as 0x00RRGGBB, from its blue, green and red bytes.
inline std::uint32_t ColourKey(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16); }

// Reserves `size` bytes for a pixel store's vector and asks the system to
// back a large one with huge pages: a 48 MB picture then takes two dozen page
// faults instead of twelve thousand. Throws std::bad_alloc as reserve does.
void ReservePixelBytes(std::vector<std::uint8_t>& bytes, std::size_t size);

// Bytes of one stored row of `width` pixels at `bitsPerPixel`, padded to 4.
std::size_t RowBytes(int width, int bitsPerPixel);

// Straight-alpha "over": blue, green, red at alpha `a` (1..255) onto the BGRA
// pixel `p`, each channel rounded once from the exact result.
inline void CompositeOver(std::uint8_t* p, int blue, int green, int red, int a) {
  const int below = p[3] * (255 - a);  // the pixel's alpha share, x 255
  const int total = a * 255 + below;   // the result's alpha, x 255
  const auto mix = [&](int top, int under) {
    return static_cast<std::uint8_t>((top * a * 255 + under * below + total / 2) / total);
  };
  p[0] = mix(blue, p[0]);
  p[1] = mix(green, p[1]);
  p[2] = mix(red, p[2]);
  p[3] = static_cast<std::uint8_t>((total + 127) / 255);
}

ImageHandleValue MakeImage(int number, int width, int height);
// The creation routine under MakeImage: bits below 24 become 24; 32 makes an
// image with alpha, opaque black unless ImageClearAlpha is added.
ImageHandleValue MakeImageWithDepth(int number, int width, int height, int bits);
void DropImage(int number);
void ShutdownImages();
ImageHandleValue ImageHandle(int number);
int ImageExists(int number);
int ImagePixelWidth(int number);
ImageHandleValue CopyImageArea(int source, int number, int x, int y, int width, int height);
// A 24-bit copy of image `source` under `number`, written at 24 bits: a
// 32-bit source composited over black, as a window shows it.
ImageHandleValue FlattenImage(int source, int number);

// For the raster library's own operations (drawing, BMP files, image views):
// the record of a number, and the pixel store a handle names; null when none.
const ImageRecord* FindImageRecord(int number);
PixelStore* ImagePixels(ImageHandleValue handle);

// Registers a finished pixel store under `number` (releasing what was there)
// with the given source depth. Returns the handle, or the auto number for
// AutoNumber; 0 on failure, the number then free.
ImageHandleValue AdoptImage(int number, PixelStore store, int sourceDepth);
