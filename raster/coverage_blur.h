// The soft shadow's blur: a Gaussian over grey coverage.
#pragma once

#include "raster/coverage_box.h"

// How far the blur of `radius` reaches past the coverage it blurs: three
// standard deviations of radius / 2, in whole pixels.
constexpr int BlurReach(int radius) { return radius * 3 / 2; }

// `box` blurred by a Gaussian of standard deviation radius / 2, cut off at
// BlurReach(radius) and scaled to keep the total coverage; the box grows by
// the reach on every side. `box` itself when radius <= 0.
CoverageBox GaussianBlurred(const CoverageBox& box, int radius);
