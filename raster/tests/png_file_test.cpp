// PNG files: what is written reads back pixel for pixel; a damaged file is refused with its cause.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/png_file.h"
#include "core/tests/test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A chunk holding `data`, its length and CRC put right.
Bytes Chunk(const char (&type)[5], const Bytes& data) {
  const auto put32 = [](Bytes& b, uLong v) { for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (24 - 8 * i))); };
  Bytes c;
  put32(c, data.size());
  c.insert(c.end(), type, type + 4), c.insert(c.end(), data.begin(), data.end());
  put32(c, crc32(0, c.data() + 4, static_cast<uInt>(c.size() - 4)));
  return c;
}

// A 4 x 4 RGBA picture with `chunks` before its data, whose stream runs on with `after` (stored) past the last row.
Bytes PngWith(const Bytes& chunks, const Bytes& after = {}) {
  Bytes raw(4 * 17);
  raw.insert(raw.end(), after.begin(), after.end());
  Bytes data(compressBound(raw.size()));
  uLongf size = data.size();
  compress2(data.data(), &size, raw.data(), raw.size(), Z_NO_COMPRESSION);
  data.resize(size);
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (const Bytes& part : {Chunk("IHDR", {0, 0, 0, 4, 0, 0, 0, 4, 8, 6, 0, 0, 0}), chunks, Chunk("IDAT", data), Chunk("IEND", {})})
    png.insert(png.end(), part.begin(), part.end());
  return png;
}

struct PngFileTest : ::testing::Test {
  ~PngFileTest() override { ShutdownImages(); }
  TempFolder folder;
};

// Odd widths and asymmetric pixels, so a flip, a red/blue swap or a padding slip shows, in each of the
// colour types a store is written as (palette, RGBA, grey, grey and alpha, RGB past 256 colours).
// Opaque PNG has the BMP's pixels; alpha (opaque, clear, half) comes back straight, at 32 bits.
TEST_F(PngFileTest, ImagesReadBackPixelForPixelAtTheirDepth) {
  Bytes many(900);  // 300 colours in a row
  for (std::size_t i = 0; i < many.size(); i += 3) many[i] = static_cast<std::uint8_t>(i / 3), many[i + 1] = static_cast<std::uint8_t>(i / 768);
  const struct { int width, height, bits; Bytes store; int colourType; } cases[] = {
      {3, 2, 24, {0, 0, 0, 1, 2, 3, 0x12, 0x34, 0x56, 0, 0, 0, 0, 0x80, 0xFF, 9, 8, 7, 6, 5, 4, 0, 0, 0}, 3},
      {3, 1, 32, {10, 20, 30, 255, 10, 20, 30, 0, 0, 100, 255, 128}, 6},
      {3, 1, 24, {5, 5, 5, 200, 200, 200, 0, 0, 0, 0, 0, 0}, 0},
      {2, 1, 32, {7, 7, 7, 255, 9, 9, 9, 0}, 4},
      {300, 1, 24, many, 2},
  };
  for (const auto& c : cases) {
    ASSERT_NE(AdoptImage(0, {c.width, c.height, c.bits, c.store.size() / c.height, c.store}, c.bits), 0u);
    ASSERT_EQ(SaveImage(0, (folder / "p.png").c_str(), ImageFormatPng), 1);
    ASSERT_EQ(WriteImageBmp(0, (folder / "p.bmp").c_str()), 1);
    ASSERT_NE(ReadImageFile(1, (folder / "p.png").c_str()), 0u);
    ASSERT_NE(ReadImageFile(2, (folder / "p.bmp").c_str()), 0u);
    EXPECT_EQ(FindImageRecord(1)->depth, c.bits);
    EXPECT_EQ(ReadBytes(folder / "p.png").at(25), c.colourType);
    EXPECT_EQ(ImagePixels(ImageHandle(1))->bytes, c.bits == 24 ? ImagePixels(ImageHandle(2))->bytes : c.store);
    ASSERT_TRUE(FlattenImage(1, 3) && FlattenImage(1, 1));  // into a copy and where it stands
    EXPECT_EQ(FindImageRecord(1)->depth, 24);
    EXPECT_EQ(ImagePixels(ImageHandle(1))->bytes, ImagePixels(ImageHandle(3))->bytes);
  }
}

// The header is checked against the size limits, and against the compressed data that must hold its rows,
// before any pixel memory is taken.
TEST_F(PngFileTest, DamagedOrOversizedFilesAreRefusedWithTheirCause) {
  MakeImage(0, 40, 30);
  ASSERT_EQ(WriteImagePng(0, (folder / "good.png").c_str()), 1);
  const Bytes good = ReadBytes(folder / "good.png");
  const auto withSize = [&good](std::uint32_t width, std::uint32_t height) {
    Bytes b = good;
    for (int i = 0; i < 4; ++i) b[16 + i] = std::uint8_t(width >> (24 - 8 * i)), b[20 + i] = std::uint8_t(height >> (24 - 8 * i));
    const uLong crc = crc32(0, b.data() + 12, 17);
    for (int i = 0; i < 4; ++i) b[29 + i] = std::uint8_t(crc >> (24 - 8 * i));
    return b;
  };
  Bytes badCrc = good;
  badCrc[30] ^= 1;
  const struct { Bytes file; const char* why; } cases[] = {
      {Bytes(good.begin(), good.begin() + 40), "damaged PNG file: file cut short"},
      {Bytes(good.begin(), good.end() - 12), "damaged PNG file: file cut short"},  // no IEND
      {badCrc, "damaged PNG file: IHDR: CRC error"},
      {withSize(40000, 1), "damaged PNG file: Invalid IHDR data"},
      {withSize(20000, 20000), "damaged PNG file: picture too large"},
      {withSize(8192, 8192), "damaged PNG file: too little image data for the picture"},
      {[&] { Bytes b = withSize(8192, 8192); return b[33] = 0x7F, b; }(), "damaged PNG file: image data cut short"},
  };
  for (const auto& c : cases) {
    WriteBytes(folder / "bad.png", c.file);
    std::string why;
    EXPECT_EQ(ReadImageFile(1, (folder / "bad.png").c_str(), &why), 0u);
    EXPECT_EQ(why, c.why);
  }
}

// Nothing past the last row is read or inflated; empty chunks take no read each; text is read past, never kept.
TEST_F(PngFileTest, DecodingCostsWhatTheFileHolds) {
  Bytes after(1 << 20), empties, text(4 << 20, 'x');
  for (const Bytes empty = Chunk("abCd", {}); empties.size() < 12000;) empties.insert(empties.end(), empty.begin(), empty.end());
  const struct { Bytes file; std::uint64_t maxConsumed, maxReads; } cases[] = {
      {PngWith({}, after), 64 << 10, 4}, {PngWith(empties), 16 << 10, 4},
      {PngWith(Chunk("tEXt", text)), 5 << 20, 100},
  };
  for (const auto& c : cases) {
    WriteBytes(folder / "cost.png", c.file);
    const int fd = ::open((folder / "cost.png").c_str(), O_RDONLY);
    PixelStore store;
    PngReadCost cost;
    EXPECT_TRUE(DecodePngFile(fd, store, nullptr, &cost));
    ::close(fd);
    EXPECT_LE(cost.bytesConsumed, c.maxConsumed);
    EXPECT_LE(cost.systemReads, c.maxReads);
    EXPECT_LE(cost.peakLibpngBytes, 256u << 10);
  }
}

}  // namespace
