// What a proportional caption is set from: its descriptor, found and
// checked, and the sheet, or each page of a set, read as the caption needs it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "composer/text_setting.h"
#include "core/font_descriptor.h"

// The descriptor `named` (by --metrics, or opened in the window), else the one beside the sheet (see
// FindDescriptorBeside), with every box inside its page and, for a set of
// pages, every page a file beside it. `*path` is left empty when there is
// none: the metrics are then measured from the sheet.
bool FindMetricsFile(const std::optional<std::string>& named, const std::string& sheet, FontDescriptor& metrics,
                     std::string* path, std::string* why);

// Reads the sheet or a page into SheetImageNumber, with alpha only for a PNG
// caption (`format`).
bool ReadSheet(const std::string& path, int format, std::string* why);

// The metrics of a one-page sheet, now read: those of `descriptor`, checked
// against the sheet, or with no descriptor measured from its pixels.
bool TakeSheetMetrics(const std::string& descriptor, FontDescriptor& metrics, std::string* why);

// Composes the layout into ButtonImage at `place` (width, height, dx, dy) from
// a set of pages, reading beside the descriptor only the pages a glyph of it
// lies on, one at a time, each dropped for the next: peak memory is one page.
// Every page read must have the descriptor's size and the first one's format.
bool ComposePages(const std::string& descriptor, const FontDescriptor& metrics, const CaptionLayout& layout, int format,
                  const std::array<int, 4>& place, std::string* why);
