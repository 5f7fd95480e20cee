// PNG files: what is written reads back pixel for pixel; a damaged file is refused with its cause.
#include <gtest/gtest.h>
#include <zlib.h>

#include "raster/bmp_file.h"
#include "raster/image.h"
#include "raster/png_file.h"
#include "raster/tests/test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

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
  }
}

// The header is checked against the size limits before any pixel memory is taken.
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
  };
  for (const auto& c : cases) {
    WriteBytes(folder / "bad.png", c.file);
    std::string why;
    EXPECT_EQ(ReadImageFile(1, (folder / "bad.png").c_str(), &why), 0u);
    EXPECT_EQ(why, c.why);
  }
}

}  // namespace
