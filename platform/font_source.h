// Fonts for the drawing code, served on Linux by FreeType and fontconfig.
// Fonts are chosen by face name, em height in pixels and style flags; text is
// Unicode code points drawn white on black as 8-bit grey coverage, top-left
// aligned: y = 0 is the top of the cell, the pen starts at the left edge of
// the first advance box. Code point 0 draws the face's missing-glyph box. No
// display, no Qt, no exceptions; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Text is always anti-aliased, so there is no quality flag.
struct FontFlags {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

// The largest em height OpenPlatformFont accepts, so one glyph stays a few MB.
inline constexpr int FontMaxEmPixels = 4096;

// How a stroked outline turns its corners.
enum class StrokeJoin { Round, Miter, Bevel };

// The widest outline a glyph is stroked with, in pixels.
inline constexpr int FontMaxStrokePixels = 32;

// One glyph's coverage. `left` is relative to the pen x, `top` to the cell top
// (ascent - bitmap top, negative when ink rises above the cell); `grey` is
// row-major, `width` bytes a row, 0..255. `valid` is false when FreeType could
// not load or render the glyph (then it has no ink and no advance).
struct GlyphCoverage {
  int left = 0;
  int top = 0;
  int width = 0;
  int rows = 0;
  int advance = 0;
  bool valid = false;
  std::vector<std::uint8_t> grey;
};

// A filled rectangle in cell coordinates (y = 0 at the cell top).
struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct TextSize {
  int width = 0;
  int height = 0;
};

// Kerning shapes at most this many pairs (those one of whose glyphs a lookup
// can start on: every character DejaVu Sans has makes 3.2 M, in 2.4 s), so
// that the work stays bounded however many characters a sheet has and
// however many of them kern.
inline constexpr std::size_t FontKerningMaxShapedPairs = std::size_t{1} << 22;

// The face's kerning of `first` followed by `second`, in whole pixels.
struct KerningPair {
  char32_t first = 0, second = 0;
  int pixels = 0;
  bool operator==(const KerningPair&) const = default;
};

// The spreads FreeType's distance-field renderer takes, in pixels.
inline constexpr int GlyphFieldMinSpread = 2;
inline constexpr int GlyphFieldMaxSpread = 32;

class PlatformFont {
 public:
  struct Impl;
  explicit PlatformFont(std::unique_ptr<Impl> impl);
  ~PlatformFont();
  PlatformFont(const PlatformFont&) = delete;
  PlatformFont& operator=(const PlatformFont&) = delete;

  int Ascent() const;
  int Descent() const;
  int CellHeight() const;  // Ascent() + Descent()
  int EmPixels() const;
  bool IsItalic() const;  // as asked
  int Weight() const;     // 700 or 400, as asked
  FontFlags Flags() const;
  const std::string& FamilyName() const;  // family of the matched face
  const std::string& FilePath() const;
  bool IsSyntheticBold() const;    // the face has no bold: outlines are emboldened
  bool IsSyntheticItalic() const;  // the face has no italic: outlines are sheared
  // No face of the name asked, nor a metric-compatible stand-in for it, was
  // found: the face is the configuration's generic fallback.
  bool IsFallback() const;

  // Hinted advance in whole pixels (grown by synthetic emboldening).
  int Advance(char32_t code) const;
  // Sum of advances, no kerning; saturates at INT_MAX.
  int TextWidth(std::u32string_view text) const;
  // (TextWidth, CellHeight): the height never depends on the glyphs.
  TextSize TextExtent(std::u32string_view text) const;

  // Rendered once per code point and kept; the reference lives as long as the
  // font. Lines (underline, strike-out) are never part of a glyph.
  const GlyphCoverage& Glyph(char32_t code) const;
  // The glyph's outline stroked outward `width` pixels (1..FontMaxStrokePixels)
  // with FreeType's stroker, rasterised and placed as Glyph() is: the glyph
  // grown by `width`. Kept for the last width and join asked. No ink when
  // the face has no outlines.
  const GlyphCoverage& StrokedGlyph(char32_t code, int width, StrokeJoin join) const;
  // Whether the face's glyphs are outlines that can be stroked (a face of
  // bitmaps alone has none).
  bool HasOutlines() const;
  // Whether the face maps `code` to a glyph of its own (not the missing-glyph
  // box), through the same character map the drawing uses.
  bool HasGlyph(char32_t code) const;
  // The signed distance field of each code's unhinted outline (slanted and
  // emboldened as Glyph() is), drawn by FreeType's outline field renderer
  // with `spread` pixels (GlyphFieldMinSpread to GlyphFieldMaxSpread) on
  // every side of the outline's box: 128 on the edge, higher inside, 0 and
  // 255 at `spread` or further out and in. Placed as Glyph() is; not valid
  // and empty for a glyph without an outline (a space). Not kept. Drawn on
  // a second thread as well when one can be had; empty when out of memory.
  std::vector<GlyphCoverage> GlyphFields(std::u32string_view codes, int spread) const;

  // The face's kerning (its GPOS pair adjustments, or its legacy `kern` table)
  // between every ordered pair of `characters` (each at most once in it) that
  // have a glyph of their own, up to FontKerningMaxShapedPairs shaped, in
  // whole pixels at this font's em size, rounded half away from zero; pairs
  // that round to 0 are left out. Negative brings the two closer ("AV", "To"
  // in most faces). In the order of `characters` (first outer, second inner).
  // Ligatures are kept from joining a pair; what layout does to a pair without
  // kerning (zero width for combining marks and joiners) does not count.
  // Empty for a face without kerning. Synthetic bold and italic do not change it.
  std::vector<KerningPair> KerningPairs(std::u32string_view characters) const;

  // The underline and strike-out bars the style asks for, spanning
  // [originX, originX + textWidth), at the face's own positions and
  // thicknesses (at least 1 pixel), drawn at full coverage. Empty when the
  // style asks for neither or textWidth <= 0.
  std::vector<PixelRect> LineRects(int originX, int textWidth) const;

  // Draws `text` into a grey buffer (`width` x `height` bytes, `pitch` bytes a
  // row, top row first) with the pen starting at x = originX and the cell top
  // at y = 0. Coverage is combined by max with what the buffer holds (clear it
  // to black first), clipped to the buffer. The result equals Glyph() of each
  // code point placed at (pen + left, top), then LineRects() at 255, all max-combined.
  // Returns false on bad arguments (null buffer, negative sizes, pitch < width)
  // or when a glyph could not be rendered (the rest is still drawn).
  bool DrawText(std::u32string_view text, int originX, std::uint8_t* buffer, int width, int height,
                int pitch) const;
  // The same with 1-bit hinting and rendering, coverage 0 or 255, pens placed
  // by Advance() so overhang is measured against the grey advance boxes.
  bool DrawTextMono(std::u32string_view text, int originX, std::uint8_t* buffer, int width, int height,
                    int pitch) const;

 private:
  std::unique_ptr<Impl> impl_;
};

// Face name (UTF-8; the caller cuts it to 31 characters), em height in pixels
// (1..FontMaxEmPixels) and style. A name with no face gets fontconfig's
// fallback (a sans face). Null on failure.
std::unique_ptr<PlatformFont> OpenPlatformFont(std::string_view faceName, int emPixels,
                                               FontFlags flags);

// The stand-in for the system's stock UI font: "Liberation Sans" bold, em 14.
std::unique_ptr<PlatformFont> OpenSystemFont();

// Points to em pixels at `dpi`: points * dpi / 72 rounded half away from zero;
// -1 when dpi is 0 or the result does not fit an int.
int PointsToPixels(int points, int dpi);

// Scalable font families fontconfig lists, sorted and unique.
std::vector<std::string> ListFontFamilies();

// Frees the process's FreeType library and fontconfig configuration once no
// font is open (fonts still open keep them alive). Optional: they are also
// freed at exit. Fonts opened later make them anew.
void ShutdownPlatformFonts();
