#include "raster/png_file.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "raster/bmp_decode.h"
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

// Ancillary chunks (text, profiles, unknown ones) are kept or decompressed in
// memory by libpng: no single one may take more than this, nor may their
// count grow without bound, whatever the file claims.
constexpr png_alloc_size_t PngChunkMemoryMax = 8 * 1024 * 1024;
constexpr png_uint_32 PngChunkCountMax = 256;

// What libpng's callbacks share with the code around them: plain data only,
// since libpng leaves its functions by longjmp. Reading comes from `fd` when
// it is open, else from the span `data`, `size`.
struct PngIo {
  int fd = -1;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::uint64_t at = 0;
  int error = 0;  // errno of a failed write
  char message[160] = {};
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  // Only ever called with the PngIo given to png_create_*_struct.
  auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
  if (!io->message[0]) std::snprintf(io->message, sizeof io->message, "%s", message ? message : "unknown fault");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void WritePngBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (!WriteAll(io->fd, data, size)) {
    io->error = errno ? errno : EIO;
    png_error(png, "cannot write the file");
  }
}

void FlushPng(png_structp) {}

void ReadPngBytes(png_structp png, png_bytep to, png_size_t count) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (io->fd < 0) {
    if (io->at > io->size || count > io->size - io->at) png_error(png, "file cut short");
    std::memcpy(to, io->data + io->at, count);
    io->at += count;
    return;
  }
  while (count > 0) {
    const ssize_t got = ::pread(io->fd, to, count, static_cast<off_t>(io->at));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) png_error(png, "cannot read the file");
    if (got == 0) png_error(png, "file cut short");
    to += got;
    io->at += static_cast<std::uint64_t>(got);
    count -= static_cast<std::size_t>(got);
  }
}

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

// libpng leaves the two functions below by longjmp on any fault: nothing in
// them may own what a destructor would release.
bool EncodePng(PngIo* io, const PixelStore* store, PngLayout* layout) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, io, OnPngError, OnPngWarning);
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
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PngFilters);
  png_write_info(png, info);
  png_set_bgr(png);  // the store holds blue first
  for (int y = 0; y < store->height; ++y) png_write_row(png, LayoutRow(*store, *layout, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool TakePixelMemory(PixelStore* out) noexcept {
  try {
    const std::size_t size = out->rowBytes * static_cast<std::size_t>(out->height);
    ReservePixelBytes(out->bytes, size);
    out->bytes.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ReadPng(PngIo* io, PixelStore* out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, io, OnPngError, OnPngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, io, ReadPngBytes);
  png_set_user_limits(png, ImageMaxSide, ImageMaxSide);
  png_set_chunk_malloc_max(png, PngChunkMemoryMax);
  png_set_chunk_cache_max(png, PngChunkCountMax);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colour = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);
  if (width > ImageMaxSide || height > ImageMaxSide || std::uint64_t{width} * height > BmpMaxPixels) {
    png_error(png, "picture too large");
  }
  png_set_expand(png);  // palette to colour, grey to 8 bits, a transparent colour to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  if (channels != 3 && channels != 4) png_error(png, "unexpected pixel layout");
  out->width = static_cast<int>(width);
  out->height = static_cast<int>(height);
  out->bitsPerPixel = channels * 8;
  out->rowBytes = RowBytes(out->width, out->bitsPerPixel);
  if (!TakePixelMemory(out)) png_error(png, "out of memory");
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < out->height; ++y) png_read_row(png, out->Pixel(0, y), nullptr);
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool DecodeWith(PngIo* io, PixelStore& out, std::string* why) {
  if (ReadPng(io, &out)) return true;
  if (why) *why = std::string("damaged PNG file: ") + (io->message[0] ? io->message : "out of memory");
  return false;
}

}  // namespace

FileWriter PngFileWriter(int number) {
  const ImageRecord* record = FindImageRecord(number);
  const PixelStore* store = record ? ImagePixels(record->handle) : nullptr;
  if (!store) return {};
  return [store](int fd) {
    PngIo io;
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

bool DecodePngFile(int fd, PixelStore& out, std::string* why) {
  PngIo io;
  io.fd = fd;
  return DecodeWith(&io, out, why);
}

bool DecodePng(const std::uint8_t* data, std::size_t size, PixelStore& out, std::string* why) {
  PngIo io;
  io.data = data;
  io.size = size;
  return DecodeWith(&io, out, why);
}
