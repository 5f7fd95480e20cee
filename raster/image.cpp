#include "raster/image.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>

namespace {

// The pixel stores that live handles name. The table of images holds only
// the handle; the store itself is owned here, so releasing a record frees it.
std::unordered_map<ImageHandleValue, std::unique_ptr<PixelStore>>& Stores() {
  static std::unordered_map<ImageHandleValue, std::unique_ptr<PixelStore>> stores;
  return stores;
}

ObjectTable<ImageRecord>& Images() {
  static ObjectTable<ImageRecord> images(16, 16, DropImage);
  return images;
}

// Handles are serial numbers, never reused, so a stale handle can only ever
// name nothing.
ImageHandleValue Register(std::unique_ptr<PixelStore> store) {
  static ImageHandleValue lastHandle = 0;
  const ImageHandleValue handle = ++lastHandle;
  Stores().emplace(handle, std::move(store));
  return handle;
}

bool ValidSize(int width, int height) {
  return width >= 1 && width <= ImageMaxSide && height >= 1 && height <= ImageMaxSide;
}

}  // namespace

void ReservePixelBytes(std::vector<std::uint8_t>& bytes, std::size_t size) {
  bytes.reserve(size);
  // The whole pages of `unit` bytes inside the store, when there are any.
  const auto begin = reinterpret_cast<std::uintptr_t>(bytes.data());
  const auto wholePages = [begin, size](std::uintptr_t unit) {
    const std::uintptr_t first = (begin + unit - 1) & ~(unit - 1), last = (begin + size) & ~(unit - 1);
    return std::pair{reinterpret_cast<void*>(first), last > first ? last - first : std::uintptr_t{0}};
  };
  // Only advice: where the system has no huge pages the store works as before.
  if (const auto [start, length] = wholePages(2u << 20); length > 0) {
    ::madvise(start, length, MADV_HUGEPAGE);
    return;
  }
  // A smaller store is written whole and soon, so its pages are mapped in one
  // call rather than one fault each (a sheet's 36 took 7% of a caption's
  // run). A larger one is better met a huge page at a time, its zeros still in
  // the cache when they are written over.
  if (const auto [start, length] = wholePages(4096); length > 0) ::madvise(start, length, MADV_POPULATE_WRITE);
}

namespace {

// A store of the given size, every byte zero; null when memory is short.
std::unique_ptr<PixelStore> NewStore(int width, int height, int bits) {
  auto store = std::make_unique<PixelStore>();
  store->width = width;
  store->height = height;
  store->bitsPerPixel = bits;
  store->rowBytes = RowBytes(width, bits);
  try {
    const std::size_t size = store->rowBytes * static_cast<std::size_t>(height);
    ReservePixelBytes(store->bytes, size);
    store->bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return store;
}

ImageHandleValue Install(int number, std::unique_ptr<PixelStore> store, int sourceDepth) {
  int assigned = 0;
  ImageRecord* record = Images().Take(number, &assigned);
  if (!record) return 0;
  record->width = static_cast<std::int16_t>(store->width);
  record->height = static_cast<std::int16_t>(store->height);
  record->depth = static_cast<std::uint8_t>(store->bitsPerPixel);
  record->sourceDepth = static_cast<std::uint8_t>(sourceDepth);
  record->handle = Register(std::move(store));
  return number == AutoNumber ? static_cast<ImageHandleValue>(assigned) : record->handle;
}

}  // namespace

std::size_t RowBytes(int width, int bitsPerPixel) {
  if (width <= 0) return 0;
  // 15-bit pixels are stored in 16 bits.
  const std::size_t bits = bitsPerPixel == 15 ? 16 : static_cast<std::size_t>(bitsPerPixel);
  switch (bits) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32:
      return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    default:
      return 0;
  }
}

ImageHandleValue MakeImage(int number, int width, int height) {
  return MakeImageWithDepth(number, width, height, 24);
}

ImageHandleValue MakeImageWithDepth(int number, int width, int height, int bits) {
  const bool clearAlpha = (bits & ImageClearAlpha) != 0;
  bits &= ~ImageClearAlpha;
  bits = bits == 32 ? 32 : 24;

  // The old image goes first, whatever happens next.
  if (number != AutoNumber && Images().Find(number)) DropImage(number);
  if (!ValidSize(width, height)) return 0;
  std::unique_ptr<PixelStore> store = NewStore(width, height, bits);
  if (!store) return 0;
  if (bits == 32 && !clearAlpha) {
    for (std::size_t i = 3; i < store->bytes.size(); i += 4) store->bytes[i] = 0xFF;
  }
  return Install(number, std::move(store), bits);
}

void DropImage(int number) {
  if (number == AutoNumber) return;
  ImageRecord* record = Images().Find(number);
  if (!record) return;
  Stores().erase(record->handle);
  Images().Release(number);
}

void ShutdownImages() {
  for (int number : Images().Numbers()) DropImage(number);
}

ImageHandleValue ImageHandle(int number) {
  const ImageRecord* record = Images().Find(number);
  return record ? record->handle : 0;
}

int ImageExists(int number) { return Images().Find(number) ? 1 : 0; }

int ImagePixelWidth(int number) {
  const ImageRecord* record = Images().Find(number);
  return record ? record->width : 0;
}

ImageHandleValue CopyImageArea(int source, int number, int x, int y, int width, int height) {
  const ImageRecord* from = Images().Find(source);
  if (!from || !ValidSize(width, height)) return 0;
  const PixelStore* src = ImagePixels(from->handle);
  if (!src) return 0;
  const int sourceDepth = from->sourceDepth;
  std::unique_ptr<PixelStore> copy = NewStore(width, height, src->bitsPerPixel);
  if (!copy) return 0;

  // Only the part of the rectangle inside the source is copied; the rest
  // stays zero (black).
  const int x0 = std::max(x, 0);
  const int y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + width, src->width));
  const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, src->height));
  const std::size_t bpp = static_cast<std::size_t>(src->bitsPerPixel / 8);
  for (int sy = y0; sy < y1 && x0 < x1; ++sy) {
    std::memcpy(copy->Pixel(x0 - x, sy - y), src->Pixel(x0, sy), bpp * static_cast<std::size_t>(x1 - x0));
  }
  // Taking the slot may release the source itself: its pixels are copied.
  return Install(number, std::move(copy), sourceDepth);
}

namespace {

// A 32-bit store composited over black into 24 bits within its own bytes:
// each pixel is read whole before its three bytes are written at or before
// where its four were, so nothing yet to be read is overwritten.
void FlattenInPlace(PixelStore& store) {
  const std::size_t inRowBytes = store.rowBytes, outRowBytes = RowBytes(store.width, 24);
  for (std::size_t row = 0; row < static_cast<std::size_t>(store.height); ++row) {
    const std::uint8_t* in = store.bytes.data() + row * inRowBytes;
    std::uint8_t* out = store.bytes.data() + row * outRowBytes;
    for (int x = 0; x < store.width; ++x, in += 4, out += 3) {
      const int blue = in[0], green = in[1], red = in[2], alpha = in[3];
      out[0] = static_cast<std::uint8_t>((blue * alpha + 127) / 255);
      out[1] = static_cast<std::uint8_t>((green * alpha + 127) / 255);
      out[2] = static_cast<std::uint8_t>((red * alpha + 127) / 255);
    }
    std::memset(out, 0, outRowBytes - 3 * static_cast<std::size_t>(store.width));
  }
  store.bytes.resize(outRowBytes * static_cast<std::size_t>(store.height));
  store.bitsPerPixel = 24;
  store.rowBytes = outRowBytes;
}

}  // namespace

ImageHandleValue FlattenImage(int source, int number) {
  ImageRecord* from = Images().Find(source);
  PixelStore* src = from ? ImagePixels(from->handle) : nullptr;
  if (!src) return 0;
  // Flattened where it stands, a picture takes no second store.
  if (source == number && number != AutoNumber) {
    if (src->bitsPerPixel == 32) FlattenInPlace(*src);
    from->depth = 24;
    from->sourceDepth = 24;
    return from->handle;
  }
  std::unique_ptr<PixelStore> flat = NewStore(src->width, src->height, 24);
  if (!flat) return 0;
  const int inBytes = src->bitsPerPixel / 8;
  // Without alpha each row's pixels are already what they become (the padding stays zero).
  if (inBytes == 3) {
    const std::size_t pixelBytes = 3 * static_cast<std::size_t>(src->width);
    for (int y = 0; y < src->height; ++y) std::memcpy(flat->Pixel(0, y), src->Pixel(0, y), pixelBytes);
    return Install(number, std::move(flat), 24);
  }
  for (int y = 0; y < src->height; ++y) {
    const std::uint8_t* in = src->Pixel(0, y);
    std::uint8_t* out = flat->Pixel(0, y);
    for (int x = 0; x < src->width; ++x, in += inBytes, out += 3) {
      const int alpha = inBytes == 4 ? in[3] : 255;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((in[c] * alpha + 127) / 255);
    }
  }
  return Install(number, std::move(flat), 24);
}

const ImageRecord* FindImageRecord(int number) { return Images().Find(number); }

PixelStore* ImagePixels(ImageHandleValue handle) {
  auto it = Stores().find(handle);
  return it == Stores().end() ? nullptr : it->second.get();
}

ImageHandleValue AdoptImage(int number, PixelStore store, int sourceDepth) {
  if (number != AutoNumber && Images().Find(number)) DropImage(number);
  const bool consistent = ValidSize(store.width, store.height) &&
                          (store.bitsPerPixel == 24 || store.bitsPerPixel == 32) &&
                          store.rowBytes == RowBytes(store.width, store.bitsPerPixel) &&
                          store.bytes.size() == store.rowBytes * static_cast<std::size_t>(store.height);
  if (!consistent) return 0;
  return Install(number, std::make_unique<PixelStore>(std::move(store)), sourceDepth);
}
