// The PNG reader: libpng decodes, while the file's chunks are measured and
// walked here, so that a file costs no more than it holds.
#include "raster/png_file.h"
#include "raster/png_messages.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "raster/bmp_decode.h"

namespace {

// A file's chunks are read through a window of this size, so that a chunk's
// header and CRC cost no call to the system of their own.
constexpr std::size_t PngWindowBytes = 64 * 1024;

// Deflate writes at least two bits for every 258 bytes it stands for: data
// shorter than a picture's rows over this cannot hold them.
constexpr std::uint64_t DeflateBestRatio = 1032;

// What libpng's callbacks share with the code around them: plain data only,
// since libpng leaves its functions by longjmp. Reading comes from `fd` when
// it is open, else from the span `data`, `size`.
struct PngIo {
  int fd = -1;
  const std::uint8_t* data = nullptr;
  std::uint64_t size = 0;  // bytes in the file
  std::uint64_t at = 0;
  std::uint8_t* window = nullptr;  // PngWindowBytes, owned by the caller
  std::uint64_t windowAt = 0;
  std::size_t windowLength = 0;
  std::uint64_t imageDataEnd = 0;  // just past the picture's last IDAT chunk
  std::uint64_t rowsLeft = 0;      // rows (of every pass) not yet decoded
  std::uint64_t libpngBytes = 0;
  PngReadCost cost;
  PngMessage message;
};

const char* ReadUncounted(PngIo* io, std::uint64_t at, std::uint8_t* to, std::size_t count) {
  if (io->fd < 0) {
    if (at > io->size || count > io->size - at) return "file cut short";
    std::memcpy(to, io->data + at, count);
    return nullptr;
  }
  if (at >= io->windowAt && at - io->windowAt <= io->windowLength && count <= io->windowLength - (at - io->windowAt)) {
    std::memcpy(to, io->window + (at - io->windowAt), count);
    return nullptr;
  }
  // A large read goes straight where it is wanted; a small one refills the window.
  const bool direct = count >= PngWindowBytes;
  std::uint8_t* into = direct ? to : io->window;
  const std::size_t want = direct ? count : PngWindowBytes;
  std::size_t got = 0;
  while (got < count) {  // a window is filled as far as one read goes
    ++io->cost.systemReads;
    const ssize_t n = ::pread(io->fd, into + got, want - got, static_cast<off_t>(at + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return "cannot read the file";
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (!direct) io->windowAt = at, io->windowLength = got;
  if (got < count) return "file cut short";
  if (!direct) std::memcpy(to, io->window, count);
  return nullptr;
}

// `count` bytes at `at` into `to`: null, else why not.
const char* ReadAt(PngIo* io, std::uint64_t at, std::uint8_t* to, std::size_t count) {
  const char* why = ReadUncounted(io, at, to, count);
  if (!why) io->cost.bytesConsumed += count;
  return why;
}

// Once every row is decoded libpng would still inflate the rest of the data
// to its end, gigabytes for a few megabytes of zeros: a read asked for then
// leaves libpng, its picture whole.
void ReadPngBytes(png_structp png, png_bytep to, png_size_t count) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (io->rowsLeft == 0 && io->imageDataEnd != 0) png_longjmp(png, 1);
  if (const char* why = ReadAt(io, io->at, to, count)) png_error(png, why);
  io->at += count;
}

void CountDecodedRow(png_structp png, png_row_infop, png_bytep) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  if (io->rowsLeft > 0) --io->rowsLeft;
}

// libpng's own memory, counted, so that what a file makes it hold is known.
png_voidp TakeLibpngMemory(png_structp png, png_alloc_size_t size) {
  auto* io = static_cast<PngIo*>(png_get_mem_ptr(png));
  if (size > SIZE_MAX - sizeof(std::max_align_t)) return nullptr;
  auto* block = static_cast<std::max_align_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (!block) return nullptr;
  std::memcpy(block, &size, sizeof size);
  io->libpngBytes += size;
  io->cost.peakLibpngBytes = std::max(io->cost.peakLibpngBytes, io->libpngBytes);
  return block + 1;
}

void GiveLibpngMemory(png_structp png, png_voidp memory) {
  if (!memory) return;
  auto* io = static_cast<PngIo*>(png_get_mem_ptr(png));
  auto* block = static_cast<std::max_align_t*>(memory) - 1;
  png_alloc_size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  io->libpngBytes -= size;
  std::free(block);
}

// The chunk at `at`: its length and type; false when the file ends first.
bool ChunkAt(PngIo* io, std::uint64_t at, std::uint32_t* length, std::uint32_t* type) {
  std::uint8_t head[8];
  if (ReadAt(io, at, head, sizeof head)) return false;
  *length = png_get_uint_32(head);
  *type = png_get_uint_32(head + 4);
  return true;
}

constexpr std::uint32_t ChunkType(const char (&name)[5]) {
  return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
         std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint8_t(name[3]);
}

// Bytes of compressed data in the run of IDAT chunks whose first header ends
// at `at`, with where the run ends; the data is skipped, not read, so only
// what the file holds of it may count.
std::uint64_t MeasureImageData(png_structp png, PngIo* io, std::uint64_t at) {
  std::uint64_t total = 0;
  at -= 8;
  std::uint32_t length = 0, type = 0;
  while (ChunkAt(io, at, &length, &type) && type == ChunkType("IDAT")) {
    if (at > io->size || std::uint64_t{length} + 12 > io->size - at) png_error(png, "image data cut short");
    total += length;
    at += std::uint64_t{length} + 12;
  }
  io->imageDataEnd = at;
  return total;
}

// The chunks after the picture's data are walked to IEND without being read,
// so that a file cut short is still refused as such.
bool ReachesEnd(PngIo* io) {
  std::uint32_t length = 0, type = 0;
  for (std::uint64_t at = io->imageDataEnd; ChunkAt(io, at, &length, &type); at += std::uint64_t{length} + 12) {
    if (type == ChunkType("IEND")) return true;
  }
  std::snprintf(io->message.text, sizeof io->message.text, "file cut short");
  return false;
}

// Rows libpng decodes for a picture of this size, counting each pass's.
std::uint64_t RowsToDecode(png_uint_32 width, png_uint_32 height, bool interlaced) {
  if (!interlaced) return height;
  std::uint64_t rows = 0;
  for (int pass = 0; pass < 7; ++pass) {
    if (PNG_PASS_COLS(width, pass) > 0) rows += PNG_PASS_ROWS(height, pass);
  }
  return rows;
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

// libpng leaves this function by longjmp on any fault, and once a read is
// asked for past the last row: nothing in it may own what a destructor would
// release.
bool ReadPng(PngIo* io, PixelStore* out) {
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &io->message, KeepPngError, IgnorePngWarning, io,
                                             TakeLibpngMemory, GiveLibpngMemory);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return io->rowsLeft == 0 && io->imageDataEnd != 0 && !io->message.text[0] && ReachesEnd(io);
  }
  png_set_read_fn(png, io, ReadPngBytes);
  png_set_user_limits(png, ImageMaxSide, ImageMaxSide);
  // Text, profiles and unknown chunks change no pixel: they are read past, never kept.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
  io->rowsLeft = RowsToDecode(width, height, interlace != PNG_INTERLACE_NONE);
  if (!ImageSizeReadable(width, height)) {
    png_error(png, "picture too large");
  }
  const std::uint64_t rowBits = std::uint64_t{width} * static_cast<unsigned>(depth * png_get_channels(png, info));
  // png_read_info stops just past the first IDAT chunk's header.
  if (MeasureImageData(png, io, io->at) * DeflateBestRatio < height * (1 + rowBits / 8)) {
    png_error(png, "too little image data for the picture");
  }
  png_set_expand(png);  // palette to colour, grey to 8 bits, a transparent colour to alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_read_user_transform_fn(png, CountDecodedRow);
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
  png_destroy_read_struct(&png, &info, nullptr);
  return ReachesEnd(io);
}

bool DecodeWith(PngIo* io, PixelStore& out, std::string* why, PngReadCost* cost) {
  std::vector<std::uint8_t> window;
  if (io->fd >= 0) {
    try {
      window.resize(PngWindowBytes);
    } catch (const std::bad_alloc&) {
      if (why) *why = "out of memory";
      return false;
    }
    io->window = window.data();
  }
  const bool read = ReadPng(io, &out);
  if (cost) *cost = io->cost;
  if (read) return true;
  if (why) *why = std::string("damaged PNG file: ") + (io->message.text[0] ? io->message.text : "out of memory");
  return false;
}

}  // namespace

bool DecodePngFile(int fd, PixelStore& out, std::string* why, PngReadCost* cost) {
  PngIo io;
  io.fd = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    if (why) *why = "cannot read the file";
    return false;
  }
  io.size = static_cast<std::uint64_t>(st.st_size);
  return DecodeWith(&io, out, why, cost);
}

bool DecodePng(const std::uint8_t* data, std::size_t size, PixelStore& out, std::string* why, PngReadCost* cost) {
  PngIo io;
  io.data = data;
  io.size = size;
  return DecodeWith(&io, out, why, cost);
}
