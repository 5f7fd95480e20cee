// What the BMP suite does not reach: top-down rows, junk padding, overflowing sizes, cut files, stray RLE, FIFOs.
#include "raster/bmp_decode.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "raster/bmp_file.h"
#include "core/tests/test_files.h"  // with the string and vector headers

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<std::uint32_t>>;  // top row first

constexpr std::uint32_t Letter = 0xE01020, Ground = 0x1040D0;  // 0xRRGGBB, also the table's entries 1 and 0

// A file with the 40-byte header, then the masks (red, green, blue, alpha) when given, then the table.
// A negative height (0u - 3) stores rows top-down; an offset of 0 puts the pixels right after the table.
struct BmpParts {
  std::uint32_t width = 5, height = 3, bits = 8, compression = 0, colourCount = 0, offset = 0;
  std::vector<std::uint32_t> masks = {};
  Bytes pixels = {};
};

Bytes BuildBmp(const BmpParts& p) {
  std::vector<std::uint32_t> words = p.masks;
  if (p.bits <= 8) words.insert(words.end(), {Ground, Letter});
  const auto tableEnd = static_cast<std::uint32_t>(54 + 4 * words.size());
  const auto size = static_cast<std::uint32_t>(tableEnd + p.pixels.size());
  const std::uint32_t headers[] = {size, 0, p.offset ? p.offset : tableEnd, 40, p.width, p.height, 1 | p.bits << 16,
                                   p.compression, 0, 0, 0, p.colourCount, 0};
  words.insert(words.begin(), std::begin(headers), std::end(headers));
  Bytes b = {'B', 'M'};
  for (const std::uint32_t w : words) for (int shift = 0; shift < 32; shift += 8) b.push_back(std::uint8_t(w >> shift));
  b.insert(b.end(), p.pixels.begin(), p.pixels.end());
  return b;
}

// Pixel values of 8 to 32 bits (0xRRGGBB at 24) as a pixel array whose row padding is `junk`.
Bytes PackRows(const Rows& topFirst, std::size_t bits, bool topDown, std::uint8_t junk = 0xEE) {
  const std::size_t height = topFirst.size(), width = topFirst[0].size(), stride = (width * bits + 31) / 32 * 4;
  Bytes out(stride * height, junk);
  for (std::size_t r = 0; r < height; ++r) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t v = topFirst[topDown ? r : height - 1 - r][x];
      for (std::size_t i = 0; i < bits / 8; ++i) out[r * stride + x * bits / 8 + i] = std::uint8_t(v >> 8 * i);
    }
  }
  return out;
}

// A 5 x 3 "F": flipped, mirrored or channel-swapped output shows at once.
Rows FPicture(std::uint32_t l, std::uint32_t g) { return {{l, l, l, l, g}, {l, l, l, g, g}, {l, g, g, g, g}}; }

// The file decodes to exactly the 24-bit store of `expected` (zero padding); every shorter copy is refused.
void ExpectPicture(const Bytes& file, const Rows& expected, std::uint32_t sourceBits) {
  DecodedBmp d;
  const char* reason = "";
  ASSERT_TRUE(DecodeBmp(file.data(), file.size(), d, &reason)) << reason;
  EXPECT_EQ(d.pixels.bytes, PackRows(expected, 24, false, 0));
  EXPECT_EQ(d.sourceBits, static_cast<int>(sourceBits));
  for (std::size_t size = 0; size < file.size(); ++size) {
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));  // a read past it shows
    EXPECT_FALSE(DecodeBmp(cut.data(), cut.size(), d, nullptr)) << "cut to " << size << " bytes";
  }
}

// The suite's pictures are bottom-up but one 8-bit file; each path places top-down rows its own way.
TEST(BmpDecode, EveryPathReadsTheFPicture) {
  const struct { const char* name; std::uint32_t bits, compression; std::vector<std::uint32_t> masks;
                 std::uint32_t letterValue, groundValue, letterRgb, groundRgb; } cases[] = {
      {"8 bits", 8, 0, {}, 1, 0, Letter, Ground},
      {"16 bits 5-6-5 bit fields, rounded", 16, 3, {0xF800, 0x07E0, 0x001F}, 16u << 11, 0x07FF, 0x840000, 0x00FFFF},
      {"24 bits", 24, 0, {}, Letter, Ground, Letter, Ground},
      {"32 bits, bit fields out of order", 32, 3, {0x0000FF00, 0xFF000000, 0x00FF0000},
       0xE0u << 8 | 0x10u << 24 | 0x20u << 16, 0x10u << 8 | 0x40u << 24 | 0xD0u << 16, Letter, Ground},
  };
  for (const auto& c : cases) {
    for (const bool topDown : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (topDown ? ", top-down" : ", bottom-up"));
      const Bytes pixels = PackRows(FPicture(c.letterValue, c.groundValue), c.bits, topDown);
      const Bytes file = BuildBmp({.height = topDown ? 0u - 3 : 3u, .bits = c.bits, .compression = c.compression,
                                   .masks = c.masks, .pixels = pixels});
      ExpectPicture(file, FPicture(c.letterRgb, c.groundRgb), c.bits);
    }
  }
}

// Rows padded to 4 pixels by a last run past the right edge, as some writers do: the bottom row one literal, the
// next a run per pixel. The top row skips past the right edge (a run there is dropped), then past the top.
TEST(BmpDecode, RleRunsPastTheRowAreClipped) {
  for (const std::uint32_t bits : {8u, 4u}) for (const std::uint32_t width : {1u, 3u, 37u}) {
    SCOPED_TRACE("RLE" + std::to_string(bits) + ", width " + std::to_string(width));
    const auto n = static_cast<std::uint8_t>((width + 3) / 4 * 4);
    Bytes stream = {0, n};
    for (int x = 0; x < n; x += 8 / bits) stream.push_back(bits == 8 ? x % 3 == 0 : (x % 3 == 0) << 4 | (x % 3 == 2));
    stream.insert(stream.end(), {0, 0});
    Rows picture(3, std::vector<std::uint32_t>(width, 0));
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto index = static_cast<std::uint8_t>((x + 1) % 3 == 0) * (bits == 8 ? 1 : 17);
      stream.insert(stream.end(), {std::uint8_t(x + 1 < width ? 1 : n - x), std::uint8_t(index)});
      picture[2][x] = x % 3 == 0 ? Letter : Ground, picture[1][x] = (x + 1) % 3 == 0 ? Letter : Ground;
    }
    stream.insert(stream.end(), {0, 0, 0, 2, 255, 0, 3, 0x11, 0, 2, 0, 9});
    ExpectPicture(BuildBmp({.width = width, .bits = bits, .compression = bits == 8 ? 1u : 2u, .pixels = stream}),
                  picture, bits);
  }
}

std::string cutFile;  // the file ReadImageFileOpenedHook cuts short

// Most of these files also lack pixels: the reason tells which check refused them. Each is read in a child with a
// 5 s alarm, so that a hang or a signal fails its case; the last three the reader refuses before decoding.
TEST(BmpReader, MalformedFilesAreRefusedWithTheirReason) {
  const TempFolder folder;
  cutFile = folder / "cut short once open";
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
  const struct { const char* name; BmpParts parts; const char* reason; void (*hook)() = nullptr; } cases[] = {
      {"width past 16 bits", {.width = 32768}, "picture width out of range"},
      {"most negative height", {.height = 0x80000000}, "picture height out of range"},
      {"RLE picture past the pixel cap", {.width = 8192, .height = 8193, .compression = 1}, "picture too large"},
      {"8-bit fields", {.compression = 3, .masks = {4, 2, 1}}, "bit-field masks need 16 or 32 bits per pixel"},
      {"zero red mask", {.bits = 16, .compression = 3, .masks = {0, 2, 1}}, "zero colour mask"},
      {"alpha overlaps blue", {.bits = 32, .compression = 6, .masks = {4, 2, 1, 1}}, "overlapping colour masks"},
      {"mask too wide", {.bits = 16, .compression = 3, .masks = {0x10000, 2, 1}}, "colour mask wider than the pixel"},
      {"huge colour count", {.colourCount = 0xFFFFFFFF}, "colour table past the pixel data"},
      {"pixel offset inside the header", {.offset = 20}, "pixel data overlaps the header"},
      {"fifo", {}, "not a regular file"},
      {"", {}, "is a folder"},
      {"cut short once open", {.width = 2000, .height = 1000, .bits = 24, .pixels = Bytes(6e6)}, "file cut short",
       [] { ASSERT_EQ(::truncate(cutFile.c_str(), 4096), 0); }},
  };
  for (const auto& c : cases) {
    const std::string path = folder / c.name;
    if (!std::filesystem::exists(path)) WriteBytes(path, BuildBmp(c.parts));
    if (::fork() == 0) {
      ::alarm(5);
      ReadImageFileOpenedHook = c.hook;
      std::string why;
      ::_exit(ReadImageFile(1, path.c_str(), &why) || why != c.reason);
    }
    int status = -1;
    ::wait(&status);
    EXPECT_EQ(status, 0) << c.name;
  }
}

}  // namespace
