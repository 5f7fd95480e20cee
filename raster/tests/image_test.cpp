#include "raster/image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ImageTest : public ::testing::Test {
 protected:
  ~ImageTest() override { ShutdownImages(); }
};

// Paints pixel (x, y) of image `number` in a colour that encodes its place.
void PaintPattern(int number) {
  PixelStore* s = ImagePixels(ImageHandle(number));
  for (int y = 0; y < s->height; ++y) {
    for (int x = 0; x < s->width; ++x) {
      std::uint8_t* p = s->Pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x);
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = 0xAA;
    }
  }
}

TEST(RowBytesTest, EveryDepthRoundsUpToFourBytes) {
  struct Case { int width, bits; std::size_t expected; };
  const Case cases[] = {
      {1, 1, 4},  {33, 1, 8},  {8, 4, 4},   {9, 4, 8},   {5, 8, 8},  {3, 16, 8},
      {1, 24, 4}, {3, 24, 12}, {4, 24, 12}, {10, 24, 32}, {5, 32, 20}, {0, 24, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RowBytes(c.width, c.bits), c.expected) << c.width << "@" << c.bits;
}

TEST_F(ImageTest, NewImageIsBlackWithZeroPaddingAndTheBmpLayout) {
  ASSERT_NE(MakeImage(0, 20, 20), 0u);
  EXPECT_EQ(ImagePixelWidth(0), 20);
  const ImageRecord* r = FindImageRecord(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->height, 20);
  EXPECT_EQ(r->depth, 24);
  EXPECT_EQ(r->sourceDepth, 24);
  const PixelStore* s = ImagePixels(r->handle);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->rowBytes, 60u);
  for (std::uint8_t b : s->bytes) ASSERT_EQ(b, 0);

  // The top-left pixel lives in the last stored row.
  MakeImage(1, 3, 2);
  PixelStore* small = ImagePixels(ImageHandle(1));
  EXPECT_EQ(small->Pixel(0, 0), small->bytes.data() + 12);
  EXPECT_EQ(small->Pixel(2, 1), small->bytes.data() + 6);
}

TEST_F(ImageTest, ThirtyTwoBitImagesStartOpaqueBlackUnlessAskedClear) {
  MakeImageWithDepth(0, 2, 2, 32);
  const PixelStore* opaque = ImagePixels(ImageHandle(0));
  EXPECT_EQ(opaque->rowBytes, 8u);
  for (std::size_t i = 0; i < opaque->bytes.size(); ++i) EXPECT_EQ(opaque->bytes[i], i % 4 == 3 ? 0xFF : 0);
  MakeImageWithDepth(1, 2, 2, 32 | ImageClearAlpha);
  for (std::uint8_t b : ImagePixels(ImageHandle(1))->bytes) EXPECT_EQ(b, 0);
  MakeImageWithDepth(2, 2, 2, 8);
  EXPECT_EQ(FindImageRecord(2)->depth, 24);
}

TEST_F(ImageTest, BadSizesFailAndLeaveTheNumberFree) {
  MakeImage(0, 4, 4);
  EXPECT_EQ(MakeImage(0, 0, 4), 0u);
  EXPECT_EQ(ImageExists(0), 0);
  EXPECT_EQ(MakeImage(1, -3, 4), 0u);
  EXPECT_EQ(MakeImage(1, 32768, 1), 0u);
  EXPECT_EQ(MakeImage(1, 1, 32768), 0u);
  EXPECT_EQ(ImageExists(1), 0);
  EXPECT_NE(MakeImage(1, 32767, 1), 0u);
}

TEST_F(ImageTest, ReusingANumberReleasesTheOldImage) {
  const ImageHandleValue first = MakeImage(5, 4, 4);
  const ImageHandleValue second = MakeImage(5, 8, 2);
  EXPECT_EQ(ImagePixels(first), nullptr);
  EXPECT_EQ(ImageHandle(5), second);
  EXPECT_EQ(ImagePixelWidth(5), 8);
  EXPECT_EQ(ImageExists(6), 0);
  EXPECT_EQ(ImageHandle(6), 0u);
  EXPECT_EQ(ImagePixelWidth(6), 0);
}

TEST_F(ImageTest, AutoNumberedImageIsNamedByTheNumberItReturns) {
  const auto number = static_cast<int>(MakeImage(AutoNumber, 3, 3));
  EXPECT_LT(number, AutoNumber);
  EXPECT_EQ(ImagePixelWidth(number), 3);
  DropImage(number);
  EXPECT_EQ(ImageExists(number), 0);
  DropImage(AutoNumber);  // does nothing
}

TEST_F(ImageTest, ShutdownReleasesEveryImage) {
  const ImageHandleValue a = MakeImage(0, 2, 2);
  const auto automatic = static_cast<int>(MakeImage(AutoNumber, 2, 2));
  MakeImage(40, 2, 2);
  ShutdownImages();
  EXPECT_EQ(ImagePixels(a), nullptr);
  EXPECT_EQ(ImageExists(0) + ImageExists(40) + ImageExists(automatic), 0);
}

TEST_F(ImageTest, CopyImageAreaCopiesInsideAndLeavesOutsideBlack) {
  MakeImage(0, 6, 5);
  PaintPattern(0);
  ASSERT_NE(CopyImageArea(0, 1, 4, 3, 4, 3), 0u);
  const PixelStore* c = ImagePixels(ImageHandle(1));
  ASSERT_EQ(c->width, 4);
  ASSERT_EQ(c->height, 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t* p = c->Pixel(x, y);
      const bool inside = 4 + x < 6 && 3 + y < 5;
      EXPECT_EQ(p[0], inside ? 4 + x : 0) << x << "," << y;
      EXPECT_EQ(p[1], inside ? 3 + y : 0) << x << "," << y;
      EXPECT_EQ(p[2], inside ? 0xAA : 0) << x << "," << y;
    }
  }
  // A rectangle starting left of and above the source.
  ASSERT_NE(CopyImageArea(0, 2, -2, -1, 3, 2), 0u);
  const PixelStore* d = ImagePixels(ImageHandle(2));
  EXPECT_EQ(d->Pixel(1, 0)[2], 0);
  EXPECT_EQ(d->Pixel(2, 1)[0], 0);
  EXPECT_EQ(d->Pixel(2, 1)[1], 0);
  EXPECT_EQ(d->Pixel(2, 1)[2], 0xAA);
}

TEST_F(ImageTest, CopyIntoTheSourcesOwnNumberReplacesIt) {
  MakeImage(0, 6, 5);
  PaintPattern(0);
  ASSERT_NE(CopyImageArea(0, 0, 1, 1, 2, 2), 0u);
  EXPECT_EQ(ImagePixelWidth(0), 2);
  const PixelStore* s = ImagePixels(ImageHandle(0));
  EXPECT_EQ(s->Pixel(1, 1)[0], 2);
  EXPECT_EQ(s->Pixel(1, 1)[1], 2);
}

TEST_F(ImageTest, FailedCopyKeepsTheImageUnderTheNumber) {
  MakeImage(0, 6, 5);
  const ImageHandleValue kept = MakeImage(1, 2, 2);
  EXPECT_EQ(CopyImageArea(7, 1, 0, 0, 2, 2), 0u);
  EXPECT_EQ(CopyImageArea(0, 1, 0, 0, 0, 2), 0u);
  EXPECT_EQ(ImageHandle(1), kept);
}

TEST_F(ImageTest, CopyKeepsTheSourceDepths) {
  PixelStore store;
  store.width = 2;
  store.height = 1;
  store.rowBytes = RowBytes(2, 24);
  store.bytes.assign(store.rowBytes, 0);
  ASSERT_NE(AdoptImage(0, std::move(store), 8), 0u);
  CopyImageArea(0, 1, 0, 0, 1, 1);
  EXPECT_EQ(FindImageRecord(1)->depth, 24);
  EXPECT_EQ(FindImageRecord(1)->sourceDepth, 8);
}

TEST_F(ImageTest, AdoptRefusesAnInconsistentStore) {
  PixelStore store;
  store.width = 3;
  store.height = 2;
  store.rowBytes = 9;  // not padded
  store.bytes.assign(18, 0);
  EXPECT_EQ(AdoptImage(0, std::move(store), 24), 0u);
  EXPECT_EQ(ImageExists(0), 0);
}

}  // namespace
