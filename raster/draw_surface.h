// The drawing surface: one current drawing state on an image, with boxes,
// text in a numbered font, text measures and pasting of images.
//
// Clipping: every operation draws only inside the target image; parts of a
// box, a text or a pasted image outside it are skipped, never wrapped.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/font_handles.h"
#include "raster/coverage_box.h"
#include "raster/image.h"

inline constexpr int DrawModeOpaque = 0;
inline constexpr int DrawModeTransparent = 1;
// Added to DrawModeTransparent on a 32-bit target: text is composited "over"
// what lies below, its coverage as alpha, in straight (not premultiplied)
// RGBA. A pixel nothing covers keeps its colour and alpha. Ignored at 24 bits.
inline constexpr int DrawModeAlphaOver = 0x1000;

// The font SetDrawFont(-1) selects: the stand-in for the platform's stock
// system font.
inline constexpr FontHandleValue SystemFontHandle = static_cast<FontHandleValue>(-1);

struct DrawState;

// Makes a drawing state on image `number` current (replacing any other);
// null when there is no such image.
DrawState* ImageSurface(int number);
// Starts drawing with the system font selected; 0 (and the state freed) on
// failure.
std::uintptr_t BeginDraw(DrawState* state);
void EndDraw();

void SetDrawMode(int mode);
void SetDrawFont(FontHandleValue font);
void FillBox(int x, int y, int width, int height, std::uint32_t colour);
// Texts are Windows-1252 bytes, as the sheet holds them. PaintText returns x
// plus the text's advance (plus a positive italic overhang),
// however much of it was visible.
int PaintText(int x, int y, std::string_view text, std::uint32_t colour);
// The same for Unicode code points, for characters past the code page.
int PaintCodePoints(int x, int y, std::u32string_view text, std::uint32_t colour);
// Blends `box` as text is blended, its origin at (x, y): row r in
// rowColours[r], or all of it in rowColours[0] when that is the only one.
void PaintCoverage(int x, int y, const CoverageBox& box, std::span<const std::uint32_t> rowColours);
int MeasureTextWidth(std::string_view text);
int MeasureTextHeight(std::string_view text);
void PasteImage(ImageHandleValue image, int x, int y);

// How far an italic font's "H" reaches right of its advance box; 0 upright.
int ItalicOverhang(FontHandleValue font);

// The GlyphBuffer's rows in the current drawing state (0 when none).
int GlyphBufferRows();

// Text can be drawn two ways with the same pixels: from glyphs rasterised
// once per font and code (the default), or by rasterising the whole text into
// the GlyphBuffer on every call. The second exists to check and measure the
// first.
void SetGlyphCacheEnabled(bool enabled);
