#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/bmp_file.h"
#include "raster/file_replace.h"
#include "raster/png_file.h"

namespace {

constexpr std::size_t BmpHeaderBytes = 54;

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

std::array<std::uint8_t, BmpHeaderBytes> BmpHeaders(int width, int height, int bits, std::size_t rowBytes) {
  std::array<std::uint8_t, BmpHeaderBytes> h{};
  const auto pixelBytes = static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(height));
  h[0] = 'B';
  h[1] = 'M';
  Put32(&h[2], static_cast<std::uint32_t>(BmpHeaderBytes) + pixelBytes);
  Put32(&h[10], BmpHeaderBytes);
  Put32(&h[14], 40);
  Put32(&h[18], static_cast<std::uint32_t>(width));
  Put32(&h[22], static_cast<std::uint32_t>(height));
  Put16(&h[26], 1);
  Put16(&h[28], static_cast<std::uint32_t>(bits));
  Put32(&h[34], pixelBytes);
  return h;
}

// The file's bytes after its headers, for a store written at `bits`.
bool WritePixels(int fd, const PixelStore& store, int bits, std::size_t fileRowBytes) {
  if (store.bitsPerPixel == bits && store.rowBytes == fileRowBytes) {
    return WriteAll(fd, store.bytes.data(), store.bytes.size());
  }
  std::vector<std::uint8_t> row(fileRowBytes, 0);
  const std::size_t outBytes = static_cast<std::size_t>(bits / 8);
  for (int fileRow = 0; fileRow < store.height; ++fileRow) {
    const std::uint8_t* in = store.bytes.data() + static_cast<std::size_t>(fileRow) * store.rowBytes;
    std::uint8_t* out = row.data();
    for (int x = 0; x < store.width; ++x, out += outBytes) {
      if (store.bitsPerPixel == 32) {
        // Over white, as a viewer without alpha would show it.
        const int alpha = in[3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>(((in[c] - 255) * alpha + 65025) / 255);
        in += 4;
      } else {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        in += 3;
      }
      if (outBytes == 4) out[3] = 0;
    }
    if (!WriteAll(fd, row.data(), row.size())) return false;
  }
  return true;
}

bool Fail(std::string* why, const std::string& reason) {
  if (why) *why = reason;
  return false;
}

}  // namespace

namespace {

FileWriter BmpFileWriter(int number) {
  const ImageRecord* record = FindImageRecord(number);
  const PixelStore* store = record ? ImagePixels(record->handle) : nullptr;
  if (!store) return {};
  // Depths other than 32 have no writer of their own here: they are written
  // as the 24-bit store holds them.
  const int bits = record->sourceDepth == 32 ? 32 : 24;
  const std::size_t fileRowBytes = RowBytes(store->width, bits);
  return [store, bits, fileRowBytes, headers = BmpHeaders(store->width, store->height, bits, fileRowBytes)](int fd) {
    return WriteAll(fd, headers.data(), headers.size()) && WritePixels(fd, *store, bits, fileRowBytes);
  };
}

}  // namespace

FileWriter ImageFileWriter(int number, int format) {
  if (format == ImageFormatPng) return PngFileWriter(number);
  if (format == ImageFormatBmp) return BmpFileWriter(number);
  return {};
}

int WriteImageBmp(int number, const char* path, std::string* why) { return SaveImage(number, path, ImageFormatBmp, 7, why); }

int SaveImage(int number, const char* path, int format, int quality, std::string* why) {
  (void)quality;  // Neither format has a quality setting.
  if (!path || !*path) return Fail(why, "No file name");
  if (format != ImageFormatPng && format != ImageFormatBmp) return Fail(why, "Unknown image format");
  const FileWriter writer = ImageFileWriter(number, format);
  if (!writer) return Fail(why, "No such image");
  return ReplaceFile(path, writer, why);
}

int ImageFormatForName(std::string_view path) {
  constexpr std::string_view Png = ".png";
  if (path.size() < Png.size()) return ImageFormatBmp;
  for (std::size_t i = 0; i < Png.size(); ++i) {
    const char c = path[path.size() - Png.size() + i];
    if ((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) != Png[i]) return ImageFormatBmp;
  }
  return ImageFormatPng;
}
