// BMP files: writing an image, reading a file into a numbered image.
#pragma once

#include <string>

#include "raster/image.h"

inline constexpr int ImageFormatBmp = 0;

// Writes image `number` to `path` in `format` (only BMP exists; `quality` is
// for formats with a lossy encoder and is ignored). 1 when the whole file was
// written, else 0 with `*why` (when given) saying why; an old file at `path`
// survives a failed write unchanged. A file is written beside the target and
// renamed over it; a FIFO, a device or a descriptor already open
// ("/dev/stdout", "/dev/fd/N") is written through, never replaced.
int SaveImage(int number, const char* path, int format = ImageFormatBmp, int quality = 7,
              std::string* why = nullptr);
int WriteImageBmp(int number, const char* path, std::string* why = nullptr);

// Removes the temporary file of a write in progress, if any. Async-signal-safe;
// the library installs no handler: each program's main does.
void RemovePartialWrite();
// A signal handler: removes that file, then raises `signal` again with its
// default action.
void RemovePartialWriteAndReraise(int signal);

// Loads a BMP file into image `number` (AutoNumber allowed), converted to 24
// bits. The image under the number is released first, whatever the outcome.
// Returns the handle (the number for AutoNumber), or 0 with `*why` (when given)
// saying what went wrong.
ImageHandleValue ReadImageFile(int number, const char* path, std::string* why = nullptr);
