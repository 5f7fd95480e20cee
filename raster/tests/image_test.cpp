// Numbered images: numbers that free their old image first, stores made whole, clipped copies.
#include "raster/image.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct ImageTest : ::testing::Test {
  ~ImageTest() override { ShutdownImages(); }
};

// A number releases its old image whatever the outcome. A 32-bit image starts opaque black unless
// made clear; an adopted store must have its rows padded as a BMP file's are.
TEST_F(ImageTest, ANumberReleasesItsOldImageAndANewOneStartsBlackOrClear) {
  const ImageHandleValue first = MakeImage(0, 4, 4);
  EXPECT_NE(MakeImage(0, 8, 2), 0u);
  EXPECT_EQ(ImagePixels(first), nullptr);
  const int badSizes[][2] = {{0, 4}, {-3, 4}, {32768, 1}, {1, 32768}};
  for (const auto& [w, h] : badSizes) EXPECT_EQ(MakeImage(0, w, h), 0u) << w << "x" << h;
  EXPECT_EQ(ImageExists(0), 0);
  EXPECT_NE(MakeImage(0, 32767, 1), 0u);
  EXPECT_EQ(ImagePixelWidth(static_cast<int>(MakeImage(AutoNumber, 2, 3))), 2);  // it names the number it took
  MakeImageWithDepth(1, 1, 1, 32);
  EXPECT_EQ(ImagePixels(ImageHandle(1))->bytes, (std::vector<std::uint8_t>{0, 0, 0, 0xFF}));
  MakeImageWithDepth(1, 1, 1, 32 | ImageClearAlpha);
  EXPECT_EQ(ImagePixels(ImageHandle(1))->bytes, (std::vector<std::uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(AdoptImage(2, {3, 2, 24, 9, std::vector<std::uint8_t>(18)}, 24), 0u);
}

TEST_F(ImageTest, CopiesTakeWhatLiesInsideTheSourceAndLeaveTheRestBlack) {
  PixelStore source{6, 5, 24, RowBytes(6, 24), std::vector<std::uint8_t>(RowBytes(6, 24) * 5)};
  for (std::size_t i = 0; i < source.bytes.size(); ++i) source.bytes[i] = static_cast<std::uint8_t>(i + 1);
  ASSERT_NE(AdoptImage(0, source, 32), 0u);
  ASSERT_NE(CopyImageArea(0, 1, -1, -1, 8, 7), 0u);  // one pixel past every edge
  const std::uint8_t black[3] = {};
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 8; ++x) {
      const std::uint8_t* want = x >= 1 && x <= 6 && y >= 1 && y <= 5 ? source.Pixel(x - 1, y - 1) : black;
      EXPECT_TRUE(std::equal(want, want + 3, ImagePixels(ImageHandle(1))->Pixel(x, y))) << x << "," << y;
    }
  }
  EXPECT_EQ(FindImageRecord(1)->sourceDepth, 32);
  EXPECT_EQ(CopyImageArea(7, 1, 0, 0, 2, 2), 0u);  // no source: the image under 1 stays
  EXPECT_EQ(ImagePixelWidth(1), 8);
  ASSERT_NE(CopyImageArea(0, 0, 1, 1, 2, 2), 0u);  // into the source's own number
  EXPECT_TRUE(std::equal(source.Pixel(2, 2), source.Pixel(2, 2) + 3, ImagePixels(ImageHandle(0))->Pixel(1, 1)));
}

}  // namespace
