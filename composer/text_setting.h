// Captions set like text: each character's glyph box copied from the sheet at
// the pen, the pen moved by the glyph's advance and the kerning between
// neighbours, with the metrics of the sheet's descriptor or, for a sheet
// without one, metrics measured from its pixels.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/font_descriptor.h"

// Metrics measured from the sheet under SheetImageNumber, laid out by code:
// each cell's ink box against the background, placed at the pen, its advance
// the ink's width plus one pixel; the space a quarter of the cell. A guess
// for sheets without a descriptor: the face's own spacing and kerning are not
// in the pixels.
FontDescriptor MeasureSheetMetrics();

// The background of the sheet under SheetImageNumber, BGR in the low three
// bytes: the colour most often found along its top row and left column.
// Transparent sheets have none (alpha 0 is their background).
std::uint32_t SheetBackground();

struct CaptionSetting {
  int margin = 0;         // pixels around the text
  int letterSpacing = 0;  // pixels added between characters
};

// One character placed: its glyph's box in the sheet and where it lands.
struct PlacedGlyph {
  char32_t id = 0;
  int sourceX = 0, sourceY = 0, width = 0, height = 0;
  int x = 0, y = 0;
  int page = 0;  // of the descriptor's pages, the one the box lies on
};

struct CaptionLayout {
  std::vector<PlacedGlyph> glyphs;
  long long width = 0, height = 0;  // of the whole caption, margins included
  std::u32string missing;           // characters that took the glyph of "?", once each
  std::size_t placed = 0;           // characters set, drawn or not (a space draws nothing)
  long long penX = 0, penY = 0;     // where the pen started, after ink left of or above the margin moved it
};

// The pen starts at x = margin on the line whose top is y = margin. Each
// character after the first moves it by the kerning with the one before and
// the letter spacing; its box goes at the pen plus its offsets; the pen then
// moves by its advance. The caption reaches `margin` past the farthest of
// the pen and any ink, right and down (the line's height at least); ink that
// would reach left of or above the margin moves everything right or down.
CaptionLayout LayOutCaption(const FontDescriptor& metrics, std::u32string_view text, const CaptionSetting& setting);

// A caption set as text drops the spaces at either end, in the windows as in
// kilnbatch; empty when there is nothing else.
std::u32string_view WithoutOuterSpaces(std::u32string_view text);

// Makes ButtonImage `width` x `height` (at least the layout's size) with the
// layout placed at (dx, dy): with alpha, over a transparent background, from
// a 32-bit sheet; else on the sheet's background, copying only the pixels
// that differ from it, so a neighbour's background never covers ink.
// 1 when made; 0 when it is too large for an image or there is no sheet.
int ComposeSetCaption(const CaptionLayout& layout, int width, int height, int dx, int dy);

// Where a caption `width` x `height` goes: in an image of its own size, or in
// a button of `button` (width 0: none), aligned "left", "center" or "right"
// across it and centred down it. Nothing, with `*why` saying why, when the
// caption does not fit the button or the image would be larger than every
// reader takes back.
struct CaptionPlacement {
  long long width = 0, height = 0;  // of the image
  long long dx = 0, dy = 0;         // where the caption's top-left lies in it
};
std::optional<CaptionPlacement> PlaceCaption(long long width, long long height, std::pair<int, int> button,
                                             std::string_view align, std::string* why);

// The same in steps, for a sheet of several pages, so that only one page is
// held at a time: the empty caption, clear (`alpha`) or of `background`
// (BGR, as SheetBackground gives it); then, for each page in turn under
// SheetImageNumber, its glyphs. Pages must all have alpha or all lack it.
int BeginSetCaption(int width, int height, bool alpha, std::uint32_t background);
void DrawSetGlyphs(const CaptionLayout& layout, int page, int dx, int dy, std::uint32_t background);
