// A sheet set: the image (or its packed pages) and its descriptors, built
// from plain choices and replaced as one set. kilnbatch and the glyphkiln
// window both make their sheets here, so the same choices give the same bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/font_descriptor.h"
#include "renderer/sheet_build.h"

struct SheetSet {
  // Chosen before the build; the fonts and effects are those of rendererSettings.
  bool shadowOn = false;
  int count = 1;
  std::string testText;  // Windows-1252, for the preview drawn on the way
  SheetRequest request;  // its `missing` and `descriptor` are filled in by the build
  bool listMissing = false;  // characters the face lacks are left out and listed in `missing`
  int packPadding = 1;
  std::optional<PackLimits> pack;  // with a value, packed pages instead of a grid
  std::vector<DescriptorFormat> descriptors;  // each beside the image, named after it
  int format = 0;  // ImageFormatBmp or ImageFormatPng

  // Filled in by the build.
  std::vector<char32_t> missing;
  FontDescriptor descriptor;
  int cell = 0;  // of the grid
  PackedSheet packed;
};

// Builds (or packs) the sheet and redraws the preview; false when it cannot
// be made: `set.packed.layout.outcome` says why a pack failed, else the fonts
// are missing or the grid is too large.
bool BuildSheetSet(SheetSet& set);

// Writes the built set with its image (or first page) at `out`: every file
// whole before any replaces its own. False with `*why` naming the file that failed.
bool WriteSheetSet(const std::string& out, SheetSet& set, std::string* why);

// The most pages a packed set may have beside `descriptors` descriptors.
int MaxPackedPages(int descriptors);
