// libpng, opened at run time the first time a PNG is read or written: a
// program linked against it would load it and zlib at every start, though
// most commands only ever touch BMP files.
#pragma once

#include <png.h>

// The soname opened, also named in the reason given when it is missing.
#define KILN_LIBPNG_SONAME "libpng16.so.16"

// Every function the PNG reader and writer call; each is looked up by this name.
#define KILN_LIBPNG_FUNCTIONS(X)  \
  X(png_create_info_struct)       \
  X(png_create_read_struct)       \
  X(png_create_write_struct)      \
  X(png_destroy_read_struct)      \
  X(png_destroy_write_struct)     \
  X(png_error)                    \
  X(png_get_IHDR)                 \
  X(png_get_channels)             \
  X(png_get_error_ptr)            \
  X(png_get_io_ptr)               \
  X(png_longjmp)                  \
  X(png_read_end)                 \
  X(png_read_info)                \
  X(png_read_row)                 \
  X(png_read_update_info)         \
  X(png_set_IHDR)                 \
  X(png_set_PLTE)                 \
  X(png_set_bgr)                  \
  X(png_set_chunk_cache_max)      \
  X(png_set_chunk_malloc_max)     \
  X(png_set_compression_level)    \
  X(png_set_expand)               \
  X(png_set_filter)               \
  X(png_set_gray_to_rgb)          \
  X(png_set_interlace_handling)   \
  X(png_set_longjmp_fn)           \
  X(png_set_read_fn)              \
  X(png_set_strip_16)             \
  X(png_set_user_limits)          \
  X(png_set_write_fn)             \
  X(png_write_end)                \
  X(png_write_info)               \
  X(png_write_row)

// Pointers typed from the headers, so a call that does not match them does
// not compile.
struct LibpngApi {
#define KILN_LIBPNG_POINTER(name) decltype(&::name) name = nullptr;
  KILN_LIBPNG_FUNCTIONS(KILN_LIBPNG_POINTER)
#undef KILN_LIBPNG_POINTER
};

// Opens libpng16.so.16 on the first call. Null, on that call and every later
// one, when the library or any of the functions is missing.
const LibpngApi* LoadLibpng();
