#include "raster/png_file.h"
#include "raster/png_messages.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "raster/bmp_file.h"
#include "raster/file_replace.h"

namespace {

// A sheet is written once and loaded often, yet a PNG should not cost much
// more than the BMP. Measured on the 40-point sheet (640 x 640): written in
// the fewest channels that hold its pixels exactly (grey, else a palette),
// level 6 unfiltered is 27.1 KB in 6 ms, 1.13 times what `optipng -o2` makes;
// level 9 saves 9% more at eight times the time, and every filter packs the
// flat background and smooth edges worse than none.
constexpr int PngCompressionLevel = 6;
constexpr int PngFilters = PNG_FILTER_NONE;

// What libpng's callbacks share with the code around them: plain data only,
// since libpng leaves its functions by longjmp.
struct PngIo {
  int fd = -1;
  int error = 0;  // errno of a failed write
  bool filterRows = false;
  PngMessage message;
};

void WritePngBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (!WriteAll(io->fd, data, size)) {
    io->error = errno ? errno : EIO;
    png_error(png, "cannot write the file");
  }
}

void FlushPng(png_structp) {}

// How a store is written: the fewest channels that hold every pixel exactly.
// Made before libpng is entered, which owns nothing of it.
struct PngLayout {
  int colourType = PNG_COLOR_TYPE_RGB;
  std::vector<std::uint32_t> colours;  // a palette's, as colour keys, sorted
  std::vector<png_color> palette;
  std::vector<std::uint8_t> row;       // one converted row, for grey and palette
};

PngLayout ChoosePngLayout(const PixelStore& store) {
  PngLayout l;
  const int bytes = store.bitsPerPixel / 8;
  const bool alpha = bytes == 4;
  bool grey = true, fewColours = !alpha;
  std::uint32_t last = ~0u;
  for (int y = 0; y < store.height && (grey || fewColours); ++y) {
    const std::uint8_t* p = store.Pixel(0, y);
    for (int x = 0; x < store.width; ++x, p += bytes) {
      grey = grey && p[0] == p[1] && p[1] == p[2];
      const std::uint32_t key = ColourKey(p);
      if (!fewColours || key == last) continue;
      last = key;
      const auto at = std::lower_bound(l.colours.begin(), l.colours.end(), key);
      if (at != l.colours.end() && *at == key) continue;
      if (l.colours.size() == 256) fewColours = false;
      else l.colours.insert(at, key);
    }
  }
  if (grey) {
    l.colourType = alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY;
  } else if (fewColours) {
    l.colourType = PNG_COLOR_TYPE_PALETTE;
    for (const std::uint32_t c : l.colours) {
      l.palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c)});
    }
  } else {
    l.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  }
  if (grey || fewColours) l.row.resize(static_cast<std::size_t>(store.width) * (alpha ? 2 : 1));
  return l;
}

// Row y of the store in the layout's channels.
const std::uint8_t* LayoutRow(const PixelStore& store, PngLayout& l, int y) {
  const std::uint8_t* p = store.Pixel(0, y);
  const int bytes = store.bitsPerPixel / 8;
  std::uint8_t* out = l.row.data();
  switch (l.colourType) {
    case PNG_COLOR_TYPE_GRAY:
      for (int x = 0; x < store.width; ++x, p += bytes) out[x] = p[0];
      return out;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      for (int x = 0; x < store.width; ++x, p += bytes) out[2 * x] = p[0], out[2 * x + 1] = p[3];
      return out;
    case PNG_COLOR_TYPE_PALETTE: {
      std::uint32_t last = ~0u;
      std::uint8_t index = 0;
      for (int x = 0; x < store.width; ++x, p += bytes) {
        if (const std::uint32_t key = ColourKey(p); key != last) {
          last = key;
          index = static_cast<std::uint8_t>(std::lower_bound(l.colours.begin(), l.colours.end(), key) - l.colours.begin());
        }
        out[x] = index;
      }
      return out;
    }
    default:
      return p;  // blue first: libpng swaps to red first
  }
}

// libpng leaves this function by longjmp on any fault: nothing in it may
// own what a destructor would release.
bool EncodePng(PngIo* io, const PixelStore* store, PngLayout* layout) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io->message, KeepPngError, IgnorePngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, io, WritePngBytes, FlushPng);
  png_set_IHDR(png, info, static_cast<png_uint_32>(store->width), static_cast<png_uint_32>(store->height), 8,
               layout->colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!layout->palette.empty()) {
    png_set_PLTE(png, info, layout->palette.data(), static_cast<int>(layout->palette.size()));
  }
  png_set_compression_level(png, PngCompressionLevel);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, io->filterRows ? PNG_ALL_FILTERS : PngFilters);
  png_write_info(png, info);
  png_set_bgr(png);  // the store holds blue first
  for (int y = 0; y < store->height; ++y) png_write_row(png, LayoutRow(*store, *layout, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

[[noreturn]] void KeepPngError(png_structp png, png_const_charp message) {
  auto* kept = static_cast<PngMessage*>(png_get_error_ptr(png));
  if (!kept->text[0]) std::snprintf(kept->text, sizeof kept->text, "%s", message ? message : "unknown fault");
  png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

FileWriter PngFileWriter(int number, bool filterRows) {
  const ImageRecord* record = FindImageRecord(number);
  const PixelStore* store = record ? ImagePixels(record->handle) : nullptr;
  if (!store) return {};
  return [store, filterRows](int fd) {
    PngIo io;
    io.filterRows = filterRows;
    PngLayout layout;
    try {
      layout = ChoosePngLayout(*store);
    } catch (const std::bad_alloc&) {
      errno = ENOMEM;
      return false;
    }
    io.fd = fd;
    if (EncodePng(&io, store, &layout)) return true;
    errno = io.error ? io.error : ENOMEM;
    return false;
  };
}

int WriteImagePng(int number, const char* path, std::string* why) {
  return SaveImage(number, path, ImageFormatPng, 7, why);
}

bool IsPngSignature(const std::uint8_t* first8) {
  static constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return std::memcmp(first8, Signature, sizeof Signature) == 0;
}
