// Image files: writing an image as BMP (or PNG), reading a file into a numbered image.
#pragma once

#include <string>
#include <string_view>

#include "raster/file_replace.h"
#include "raster/image.h"

inline constexpr int ImageFormatBmp = 0;
inline constexpr int ImageFormatPng = 1;

// PNG for a name ending in ".png" in any case, else BMP.
int ImageFormatForName(std::string_view path);

// Writes image `number` to `path` in `format` (`quality` is for formats with a
// lossy encoder and is ignored). 1 when the whole file was
// written, else 0 with `*why` (when given) saying why; an old file at `path`
// survives a failed write unchanged. A file is written beside the target and
// renamed over it; a FIFO, a device or a descriptor already open
// ("/dev/stdout", "/dev/fd/N") is written through, never replaced.
int SaveImage(int number, const char* path, int format = ImageFormatBmp, int quality = 7,
              std::string* why = nullptr);
int WriteImageBmp(int number, const char* path, std::string* why = nullptr);
// The encoder SaveImage writes with, for ReplaceFiles: empty when there is no
// such image or format.
FileWriter ImageFileWriter(int number, int format);

// Loads a BMP or PNG file into image `number` (AutoNumber allowed): BMP and
// PNG without alpha at 24 bits, PNG with alpha at 32 (straight alpha). The
// image under the number is released first, whatever the outcome. Returns
// the handle (the number for AutoNumber), or 0 with `*why` (when given) saying
// what went wrong.
ImageHandleValue ReadImageFile(int number, const char* path, std::string* why = nullptr);
