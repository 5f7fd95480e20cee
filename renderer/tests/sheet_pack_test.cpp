#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "renderer/sheet_pack.h"

namespace {

// Pages fill in the boxes' order, equal boxes keeping it; a page is cut to
// what the pages carry, the spacing kept between boxes and not past the last;
// empty boxes take no space; --pot pages stay within the limits.
TEST(PackBoxes, FillsPagesInOrderAndCutsThemToTheirBoxes) {
  const std::vector<BoxSize> ten(10, BoxSize{10, 10});
  const PackedPages three = PackBoxes(ten, {20, 20, 0, false, 8});
  ASSERT_EQ(three.outcome, PackOutcome::Packed);
  EXPECT_EQ(three.pages, 3);
  EXPECT_TRUE(three.width == 20 && three.height == 20);
  for (std::size_t i = 0; i < ten.size(); ++i) EXPECT_EQ(three.boxes[i].page, static_cast<int>(i / 4)) << i;

  const PackedPages spaced = PackBoxes({{10, 10}, {}, {10, 10}}, {22, 10, 2, false, 8});
  ASSERT_EQ(spaced.outcome, PackOutcome::Packed);
  EXPECT_TRUE(spaced.pages == 1 && spaced.width == 22 && spaced.height == 10);
  EXPECT_EQ(std::abs(spaced.boxes[0].x - spaced.boxes[2].x), 12);
  EXPECT_TRUE(spaced.boxes[1].page == 0 && spaced.boxes[1].x == 0 && spaced.boxes[1].y == 0);

  const PackedPages pot = PackBoxes({{33, 5}, {20, 20}}, {100, 100, 1, true, 8});
  EXPECT_TRUE(pot.pages == 1 && pot.width == 64 && pot.height == 32) << pot.width << "x" << pot.height;
}

TEST(PackBoxes, RefusesWhatNoPageOrNoNumberOfPagesHolds) {
  const struct { std::vector<BoxSize> sizes; PackLimits limits; PackOutcome outcome; std::size_t tooLarge; } cases[] = {
      {{{5, 5}, {21, 5}}, {20, 20, 0, false, 8}, PackOutcome::BoxTooLarge, 1},
      {{{5, 5}, {5, 70}}, {100, 100, 1, true, 8}, PackOutcome::BoxTooLarge, 1},  // 64 high with --pot
      {std::vector<BoxSize>(10, BoxSize{10, 10}), {20, 20, 0, false, 2}, PackOutcome::TooManyPages, 0},
  };
  for (const auto& c : cases) {
    const PackedPages packed = PackBoxes(c.sizes, c.limits);
    EXPECT_EQ(packed.outcome, c.outcome);
    if (c.outcome == PackOutcome::BoxTooLarge) {
      EXPECT_EQ(packed.tooLarge, c.tooLarge);
    }
  }
}

}  // namespace
