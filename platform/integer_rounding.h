// Font units to pixels: the roundings every part of the fonts shares, so
// that one amount always comes out as the same number of pixels.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>

inline std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : -((-a) / b); }

// Rounds a / b (b > 0) half away from zero.
inline std::int64_t RoundDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

inline int ClampToInt(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }
