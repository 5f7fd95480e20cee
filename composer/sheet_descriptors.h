// A sheet's descriptor on disk: which file beside a sheet describes it,
// reading one within a reader's limits, and whether the sheet it describes is
// packed, so that only a reader of its boxes, never one cutting cells, can
// use it.
#pragma once

#include <string>
#include <string_view>

#include "core/font_descriptor.h"

enum class DescriptorSearch { None, Found, Unreadable };

// The descriptor of the sheet at `sheetPath`: the first of NAME.fnt,
// NAME.xml and NAME.json beside it that exists; failing those, for a page
// SET_<digits> of a set, the first of SET.fnt, SET.xml and SET.json that
// lists the page's file name among its pages. Its path goes to `*path`, also
// when it exists but cannot be read (Unreadable, `*why` saying why).
DescriptorSearch FindDescriptorBeside(const std::string& sheetPath, FontDescriptor& out, std::string* path,
                                      std::string* why);

// The descriptor file at `path`, refused past what a descriptor reader takes
// and when it is not a regular file (a FIFO is never waited on).
bool ReadDescriptorFile(const std::string& path, FontDescriptor& out, std::string* why);

// Where the descriptor at `descriptor` has its page `page`: in its folder.
std::string PagePathBeside(const std::string& descriptor, const std::string& page);

// Whether `fileName` (a name without a folder) is one of the descriptor's pages.
bool DescriptorListsPage(const FontDescriptor& font, std::string_view fileName);

// "the box of U+0041 reaches outside the sheet" for the first box that
// reaches past scaleW x scaleH; empty when none does.
std::string BoxOutsideTheSheet(const FontDescriptor& font);

// Why the pages cannot be read beside the descriptor: a name with a folder
// part, ".." or an absolute path (a descriptor from elsewhere must not make
// a reader open any other file), or no name. Empty when every name is a file
// name.
std::string PageNotBeside(const FontDescriptor& font);

// What keeps a reader cutting cells of scaleW / 10 from the sheet described
// (a packed set, or a grid of other columns): "3 pages", "space between its
// boxes", "the box of U+0041 across cells of width / 10". Empty when the
// sheet is such a grid.
std::string WhyNotAGrid(const FontDescriptor& font);

// For a reader cutting cells of the sheet at `sheetPath`: "DESCRIPTOR says
// the sheet is not a grid of cells (WHY)" when the descriptor beside it says
// so; empty when it does not, or cannot be read.
std::string PackedSheetRefusal(const std::string& sheetPath);
