// Boxes placed on as few and as small pages as the rectangle packer finds.
#pragma once

#include <cstddef>
#include <vector>

struct PackLimits {
  int pageWidth = 2048, pageHeight = 2048;  // the largest page
  int spacing = 1;                          // empty pixels between two boxes
  bool powerOfTwo = false;                  // each side of a page a power of two
  int maxPages = 1024;
};

struct BoxSize {
  int width = 0, height = 0;
};

struct PackedBox {
  int page = 0, x = 0, y = 0;
};

enum class PackOutcome { Packed, BoxTooLarge, TooManyPages };

struct PackedPages {
  PackOutcome outcome = PackOutcome::Packed;
  std::size_t tooLarge = 0;  // the box no page holds, for BoxTooLarge
  int pages = 0;
  int width = 0, height = 0;  // every page's size
  std::vector<PackedBox> boxes;  // one for each size given, in order
};

// Places the boxes, in the order given, filling page 0 with as many as it
// holds, then page 1, and so on; an empty box takes no space and lies at
// (0, 0) on page 0. Each page is cut to the largest extent any page's boxes
// reach, since all pages of a set share one size; one page is searched for
// the shape that leaves the least area. With `powerOfTwo` a page is at most
// the largest power of two within the limits, and each side is rounded up
// to one. The same boxes give the same places on every machine.
PackedPages PackBoxes(const std::vector<BoxSize>& sizes, const PackLimits& limits);
