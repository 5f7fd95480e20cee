#include "raster/coverage_blur.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint32_t WeightOne = 1u << 16;

// The kernel's 2 x reach + 1 taps in 16-bit fixed point, summing to exactly
// WeightOne, so that blurring keeps the ink and every build gets the same bytes.
std::vector<std::uint32_t> GaussianTaps(int radius) {
  const int reach = BlurReach(radius);
  std::vector<double> exact(static_cast<std::size_t>(2 * reach + 1));
  double sum = 0;
  for (int k = -reach; k <= reach; ++k) {
    // exp(-k^2 / (2 sigma^2)) with sigma = radius / 2
    sum += exact[static_cast<std::size_t>(k + reach)] = std::exp(-2.0 * k * k / (double(radius) * radius));
  }
  std::vector<std::uint32_t> taps(exact.size());
  std::uint32_t total = 0;
  for (std::size_t i = 0; i < exact.size(); ++i) total += taps[i] = static_cast<std::uint32_t>(std::lround(exact[i] / sum * WeightOne));
  taps[static_cast<std::size_t>(reach)] += WeightOne - total;
  return taps;
}

}  // namespace

CoverageBox GaussianBlurred(const CoverageBox& box, int radius) {
  if (radius <= 0 || box.Empty()) return box;
  const int reach = BlurReach(radius);
  const std::vector<std::uint32_t> taps = GaussianTaps(radius);
  const int width = box.width + 2 * reach, height = box.height + 2 * reach;
  const std::size_t w = static_cast<std::size_t>(width);

  // Across: each row, padded with 2 x reach clear pixels a side, into
  // 8.8 fixed point (at most 255 x 256). Loops run tap-outer so they vectorise.
  std::vector<std::uint16_t> across(w * static_cast<std::size_t>(box.height));
  std::vector<std::uint32_t> sum(w);
  std::vector<std::uint32_t> padded(w + 2 * static_cast<std::size_t>(reach), 0);
  for (int r = 0; r < box.height; ++r) {
    const std::uint8_t* in = box.Row(r);
    for (int c = 0; c < box.width; ++c) padded[static_cast<std::size_t>(c + 2 * reach)] = in[c];
    std::fill(sum.begin(), sum.end(), 0u);
    for (std::size_t t = 0; t < taps.size(); ++t) {
      const std::uint32_t tap = taps[t];
      const std::uint32_t* from = padded.data() + t;
      for (std::size_t c = 0; c < w; ++c) sum[c] += tap * from[c];
    }
    std::uint16_t* out = across.data() + static_cast<std::size_t>(r) * w;
    for (std::size_t c = 0; c < w; ++c) out[c] = static_cast<std::uint16_t>((sum[c] + 128) >> 8);
  }

  // Down: the sum stays under 2^32 (WeightOne x 255 x 256), rounded once.
  CoverageBox out = ClearBox(box.x - reach, box.y - reach, box.x - reach + width, box.y - reach + height);
  for (int r = 0; r < height; ++r) {
    std::fill(sum.begin(), sum.end(), 0u);
    for (std::size_t t = 0; t < taps.size(); ++t) {
      const int from = r + static_cast<int>(t) - 2 * reach;
      if (from < 0 || from >= box.height) continue;
      const std::uint32_t tap = taps[t];
      const std::uint16_t* in = across.data() + static_cast<std::size_t>(from) * w;
      for (std::size_t c = 0; c < w; ++c) sum[c] += tap * in[c];
    }
    std::uint8_t* row = out.Row(r);
    for (std::size_t c = 0; c < w; ++c) row[c] = static_cast<std::uint8_t>((sum[c] + (1u << 23)) >> 24);
  }
  return out;
}
