// libpng's error and warning callbacks, shared by the PNG reader and writer.
#pragma once

#include <png.h>

// The first error libpng reports for a read or write, kept for the user's message.
struct PngMessage {
  char text[160] = {};
};

// Keeps the first message in the PngMessage given to png_create_*_struct as
// its error pointer, then leaves libpng by longjmp.
[[noreturn]] void KeepPngError(png_structp png, png_const_charp message);
// Warnings change nothing that is read or written.
void IgnorePngWarning(png_structp png, png_const_charp message);
