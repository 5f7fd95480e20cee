#include "renderer/sheet_pack.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

namespace {

// qsort is not stable and orders ties differently from one C library to the
// next: the packer sorts with this instead, so equal boxes keep their order.
void StableSortRects(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*));

}  // namespace

#define STB_RECT_PACK_IMPLEMENTATION
#define STBRP_STATIC
#define STBRP_SORT StableSortRects
#include <stb/stb_rect_pack.h>

namespace {

void StableSortRects(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*)) {
  assert(size == sizeof(stbrp_rect));
  (void)size;
  auto* rects = static_cast<stbrp_rect*>(base);
  std::stable_sort(rects, rects + count, [compare](const stbrp_rect& a, const stbrp_rect& b) { return compare(&a, &b) < 0; });
}

int FloorPowerOfTwo(int n) {
  int p = 1;
  while (p <= n / 2) p *= 2;
  return p;
}

int CeilPowerOfTwo(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

// Packs `rects` into one area; true when every one found a place.
bool PackInto(std::vector<stbrp_rect>& rects, int width, int height, int heuristic, std::vector<stbrp_node>& nodes) {
  nodes.resize(static_cast<std::size_t>(width));
  stbrp_context context;
  stbrp_init_target(&context, width, height, nodes.data(), width);
  stbrp_setup_heuristic(&context, heuristic);
  return stbrp_pack_rects(&context, rects.data(), static_cast<int>(rects.size())) != 0;
}

// How far the placed rects reach, without the spacing that follows each.
struct Extent {
  int width = 0, height = 0;
};

Extent ExtentOf(const std::vector<stbrp_rect>& rects, int spacing) {
  Extent e;
  for (const stbrp_rect& r : rects) {
    if (!r.was_packed) continue;
    e.width = std::max(e.width, r.x + r.w - spacing);
    e.height = std::max(e.height, r.y + r.h - spacing);
  }
  return e;
}

Extent Rounded(Extent e, bool powerOfTwo) {
  e.width = std::max(e.width, 1), e.height = std::max(e.height, 1);
  if (powerOfTwo) e = {CeilPowerOfTwo(e.width), CeilPowerOfTwo(e.height)};
  return e;
}

// A skyline as wide as the whole page leaves a long strip: narrower areas,
// from about the boxes' total area's square root upward, are tried with both
// of the packer's heuristics, and the one whose cut page is smallest kept.
// The tries are few, so the time stays a small share of drawing the glyphs.
void PackOnePageTightly(std::vector<stbrp_rect>& rects, int width, int height, const PackLimits& limits,
                        std::vector<stbrp_node>& nodes) {
  double area = 0;
  int widest = 1;
  for (const stbrp_rect& r : rects) area += double(r.w) * r.h, widest = std::max(widest, int(r.w));
  const double root = std::sqrt(area);
  std::vector<stbrp_rect> trial;
  const Extent whole = Rounded(ExtentOf(rects, limits.spacing), limits.powerOfTwo);
  long long best = static_cast<long long>(whole.width) * whole.height;
  // Fewer, coarser tries for more boxes: each try packs them all.
  const int tries = std::clamp(static_cast<int>(16000 / std::max<std::size_t>(rects.size(), 1)), 6, 60);
  for (int i = 0; i <= tries; ++i) {
    const int w = std::clamp(static_cast<int>(std::ceil(root * (0.8 + 1.2 * i / tries))), widest, width);
    if (i > 0 && w == width) break;  // no narrower shapes left
    for (const int heuristic : {STBRP_HEURISTIC_Skyline_BF_sortHeight, STBRP_HEURISTIC_Skyline_BL_sortHeight}) {
      trial = rects;
      if (!PackInto(trial, w, height, heuristic, nodes)) continue;
      const Extent e = Rounded(ExtentOf(trial, limits.spacing), limits.powerOfTwo);
      const long long cut = static_cast<long long>(e.width) * e.height;
      if (cut < best) best = cut, rects = trial;
    }
  }
}

}  // namespace

PackedPages PackBoxes(const std::vector<BoxSize>& sizes, const PackLimits& limits) {
  assert(limits.pageWidth >= 1 && limits.pageHeight >= 1 && limits.spacing >= 0 && limits.maxPages >= 1);
  PackedPages out;
  out.boxes.resize(sizes.size());
  const int pageWidth = limits.powerOfTwo ? FloorPowerOfTwo(limits.pageWidth) : limits.pageWidth;
  const int pageHeight = limits.powerOfTwo ? FloorPowerOfTwo(limits.pageHeight) : limits.pageHeight;
  // Each rect carries the spacing right and below it; the area carries it
  // too, so the last column and row need none of their own.
  const int spacing = limits.spacing, width = pageWidth + spacing, height = pageHeight + spacing;
  std::vector<stbrp_rect> rects;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const BoxSize s = sizes[i];
    if (s.width <= 0 || s.height <= 0) continue;
    if (s.width > pageWidth || s.height > pageHeight) {
      out.outcome = PackOutcome::BoxTooLarge, out.tooLarge = i;
      return out;
    }
    rects.push_back({static_cast<int>(i), s.width + spacing, s.height + spacing, 0, 0, 0});
  }
  std::vector<stbrp_node> nodes;
  Extent reach;
  for (int page = 0; !rects.empty(); ++page) {
    if (page == limits.maxPages) {
      out.outcome = PackOutcome::TooManyPages;
      return out;
    }
    const bool all = PackInto(rects, width, height, STBRP_HEURISTIC_Skyline_BF_sortHeight, nodes);
    if (all && page == 0) PackOnePageTightly(rects, width, height, limits, nodes);
    std::vector<stbrp_rect> left;
    for (const stbrp_rect& r : rects) {
      if (!r.was_packed) {
        left.push_back(r);
        continue;
      }
      out.boxes[static_cast<std::size_t>(r.id)] = {page, r.x, r.y};
    }
    const Extent e = ExtentOf(rects, spacing);
    reach = {std::max(reach.width, e.width), std::max(reach.height, e.height)};
    rects = std::move(left);
    out.pages = page + 1;
  }
  out.pages = std::max(out.pages, 1);
  reach = Rounded(reach, limits.powerOfTwo);
  out.width = reach.width, out.height = reach.height;
  return out;
}
