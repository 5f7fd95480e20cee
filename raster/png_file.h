// PNG files through libpng: 24-bit images as RGB, 32-bit ones as RGBA with straight alpha.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/file_replace.h"
#include "raster/image.h"

// Writes image `number` to `path` as PNG, through the same safe replacement as
// the BMP writer: 1 when the whole file was written, else 0 with `*why` (when
// given) saying why, an old file at `path` kept unchanged.
int WriteImagePng(int number, const char* path, std::string* why = nullptr);
// Its encoder, for ReplaceFiles; empty when there is no such image. Rows are
// written unfiltered, or with libpng's choice of filter for each when
// `filterRows` (smaller for pictures of smooth gradients).
FileWriter PngFileWriter(int number, bool filterRows = false);

// True when the first 8 bytes of a file are the PNG signature.
bool IsPngSignature(const std::uint8_t* first8);

// What decoding one file took: the bytes asked of it, the calls to the system
// that read them, and the most memory libpng held at once (pixels aside).
struct PngReadCost {
  std::uint64_t bytesConsumed = 0;
  std::uint64_t systemReads = 0;
  std::uint64_t peakLibpngBytes = 0;
};

// Decodes the PNG file open on `fd` into `out`: 32 bits when
// the file has alpha (an alpha channel or a transparent colour), else 24;
// palettes, grey and 16-bit samples expanded to 8-bit colour. The same size
// limits as BMP apply before any pixel memory is taken, as does the picture's
// need of at least one byte of compressed data for every 1032 of its rows.
// Decoding stops at the last row; text and other ancillary chunks are read
// past, never kept. False with `*why` set when the file is refused; `out` is
// then unspecified. `*cost`, when given, is filled in either way.
bool DecodePngFile(int fd, PixelStore& out, std::string* why, PngReadCost* cost = nullptr);

// The same, from the `size` bytes at `data`.
bool DecodePng(const std::uint8_t* data, std::size_t size, PixelStore& out, std::string* why,
               PngReadCost* cost = nullptr);
