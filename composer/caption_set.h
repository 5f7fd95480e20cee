// The set a window captions from: a sheet, alone or with its descriptor, or a
// descriptor and its pages, and the caption set from it as text, byte for
// byte what `kilnbatch caption --layout proportional` makes.
#pragma once

#include <string>
#include <string_view>

#include "core/font_descriptor.h"

// The sheet's alpha is kept here, the sheet under SheetImageNumber being
// flattened as it is shown.
inline constexpr int SheetWithAlpha = 4;

struct CaptionSet {
  std::string image;       // the sheet, or a set's first page
  std::string descriptor;  // empty: the metrics are measured from the sheet
  FontDescriptor metrics;
  bool paged = false;   // pages are read one at a time as a caption needs them
  bool packed = false;  // not a grid of cells: set as text only
};

bool IsDescriptorName(std::string_view path);

// Reads the sheet at `path`, or the pages of the descriptor there, checking
// every page; the first page goes under SheetImageNumber flattened (and
// SheetWithAlpha as read, when it has alpha). The images in use stay when it
// fails, and the text for the error box is returned; empty on success. A
// descriptor beside an image that cannot be read leaves the image a grid.
std::string LoadCaptionSet(const std::string& path, int incoming, CaptionSet& set);

// Sets `utf8` as text into ButtonImage, for a caption to be saved in `format`
// (alpha kept only in a PNG). 0 when nothing could be set.
int ComposeTextCaption(const CaptionSet& set, std::string_view utf8, int letterSpacing, int format);

// Cuts the Windows-1252 `codes` from the sheet's W x H cells into ButtonImage,
// for a caption to be saved in `format`: a PNG keeps the sheet's alpha, as
// kilnbatch's fixed-cell caption does. 0 when nothing could be composed.
int ComposeCellCaption(int w, int h, std::string_view codes, int format);
