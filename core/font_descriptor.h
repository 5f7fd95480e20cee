// A sheet's metrics in the bitmap-font descriptor format that engines' stock
// loaders read, in its three spellings: the line-based text form (.fnt), XML
// and JSON. One or more pages of one size, one glyph image per character,
// every channel holding the glyph. Each form has its own file (core/descriptor_text.cpp, _xml,
// _json); what they share, core/descriptor_tags.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A glyph's rectangle in the image, and where it goes against the pen (x)
// and the top of the line (y); the pen then moves by `xadvance`.
struct DescriptorGlyph {
  char32_t id = 0;  // Unicode code point
  int x = 0, y = 0, width = 0, height = 0;
  int xoffset = 0, yoffset = 0, xadvance = 0;
  int page = 0;  // index into FontDescriptor::pages
  bool operator==(const DescriptorGlyph&) const = default;
};

// Added to the pen between `first` and `second`, in pixels.
struct DescriptorKerning {
  char32_t first = 0, second = 0;
  int amount = 0;
  bool operator==(const DescriptorKerning&) const = default;
};

struct FontDescriptor {
  std::string face;  // UTF-8
  int size = 0;      // em height in pixels
  bool bold = false, italic = false;
  int lineHeight = 0;  // ascent plus descent
  int base = 0;        // ascent
  int scaleW = 0, scaleH = 0;  // every page's size
  std::vector<std::string> pages;  // each page's image file name, beside the descriptor
  // Background the boxes hold around the ink (up, right, down, left), empty
  // pixels between boxes on a page (across, down), and the width of an
  // outline drawn around the face; all 0 for tight boxes of a plain face.
  std::array<int, 4> padding{};
  std::array<int, 2> spacing{};
  int outline = 0;
  // Above 0, the pages hold signed distance fields reaching this many pixels
  // each side of the edge (text and XML: info's `sdf`; JSON: the
  // "distanceField" block, whose distanceRange is twice this).
  int sdfSpread = 0;
  std::vector<DescriptorGlyph> glyphs;
  std::vector<DescriptorKerning> kernings;
  bool operator==(const FontDescriptor&) const = default;
};

enum class DescriptorFormat { Text, Xml, Json };

// What a reader accepts; past these a file is refused, never half read.
inline constexpr std::size_t DescriptorMaxBytes = 32u * 1024 * 1024;
inline constexpr std::size_t DescriptorMaxGlyphs = 65536;
inline constexpr std::size_t DescriptorMaxKernings = 1u << 18;
inline constexpr std::size_t DescriptorMaxPages = 1024;
inline constexpr int DescriptorMaxCoordinate = 32767;  // |every number but ids|
// Bounds on what else a hostile file can make a reader hold: no tag of the
// format has near this many fields (attributes in XML), and no file of it
// near this many XML elements (text between them counted too) and attributes
// (a glyph has 10 fields, a kerning 3) or this deep a JSON nesting.
inline constexpr std::size_t DescriptorMaxFieldsPerTag = 64;
inline constexpr std::size_t DescriptorMaxElements = DescriptorMaxGlyphs + DescriptorMaxKernings + 64;
inline constexpr std::size_t DescriptorMaxValues = DescriptorMaxGlyphs * 12 + DescriptorMaxKernings * 4 + 256;
inline constexpr int DescriptorMaxJsonDepth = 32;

// ".fnt", ".xml", ".json".
std::string_view DescriptorExtension(DescriptorFormat format);

// Where descriptor `form` of a sheet at `sheet` lies: beside it, named after
// it; the one rule by which sheets are written and their descriptors found.
std::string SheetDescriptorPath(const std::string& sheet, DescriptorFormat form);

// The whole file, every field the format defines. The face and file names
// are written with each control character as a space and each byte that is
// not UTF-8 as U+FFFD, as the reader returns them; the text form, which has
// no escapes, also writes '"' as a space.
std::string WriteDescriptor(const FontDescriptor& font, DescriptorFormat format);

// Reads a descriptor of any of the three forms, told apart by its first
// non-blank byte ('<' XML, '{' JSON, else text). False, with `*why` saying
// what is wrong, for a malformed file, one past the limits above, pages
// other than ids 0 to pages - 1 each named once, or a character on a page
// that is not there; `out` is then unspecified. Names come
// back cleaned as the writer cleans them; a negative `size` (a cell height
// in some writers' files) is read as its absolute value.
bool ReadDescriptor(std::string_view bytes, FontDescriptor& out, std::string* why);
