// The files of a packed sheet: each page drawn and written in turn.
#pragma once

#include <string>
#include <vector>

#include "raster/file_replace.h"
#include "renderer/sheet_build.h"

// Page `page` of `pages` written for `-o out`: `out` itself when there is
// one page, else NAME_0.EXT, NAME_1.EXT, ... beside it.
std::string PackedPagePath(const std::string& out, int page, int pages);

// How a packed sheet's pages are drawn.
struct PageDrawing {
  bool shadowOn = false;
  int count = 1;
  bool transparent = false;
  int format = 0;  // ImageFormatBmp or ImageFormatPng
  bool filterRows = false;  // PNG rows filtered, as a distance field packs smaller
};

// One file for each page of `sheet`, named by PackedPagePath. Each draws its
// page into image SheetImage only as it is written, and releases it after,
// so a set holds one page's pixels at a time. `sheet` must outlive them.
std::vector<FileToReplace> PackedPageFiles(const std::string& out, const PackedSheet& sheet, PageDrawing drawing);

// Why `sheet` could not be packed within `limits`, for the one-line message.
std::string PackRefusal(const PackedSheet& sheet, const PackLimits& limits);
