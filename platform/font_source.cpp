// The fonts' public entry points: each catches what the libraries' C++
// wrappers below it may throw (only memory running out), so that nothing is
// thrown to the caller.
#include "platform/font_source.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "platform/face_matching.h"
#include "platform/glyph_rasteriser.h"
#include "platform/glyph_stroker.h"
#include "platform/integer_rounding.h"
#include "platform/pair_kerning.h"

namespace {

// The process's FreeType library and fontconfig configuration, made when a
// font is first asked for. Every open font holds a reference, so neither goes
// away under a font.
struct Backend {
  std::unique_ptr<FreeTypeLibrary> freeType;
  FontConfiguration config;
};

std::shared_ptr<Backend> g_backend;

std::shared_ptr<Backend> AcquireBackend() {
  if (g_backend) return g_backend;
  auto backend = std::make_shared<Backend>();
  backend->freeType = MakeFreeTypeLibrary();
  if (!backend->freeType) return nullptr;
  backend->config = LoadFontConfiguration();
  if (!backend->config) return nullptr;
  g_backend = std::move(backend);
  return g_backend;
}

// Stands in for a glyph that could not be made (out of memory).
const GlyphCoverage& InvalidGlyph() {
  static const GlyphCoverage invalid;
  return invalid;
}

void BlitMax(const GlyphCoverage& g, std::int64_t x0, std::int64_t y0, std::uint8_t* buffer, int width, int height,
             int pitch) {
  const std::int64_t xBegin = std::max<std::int64_t>(x0, 0);
  const std::int64_t xEnd = std::min<std::int64_t>(x0 + g.width, width);
  const std::int64_t yBegin = std::max<std::int64_t>(y0, 0);
  const std::int64_t yEnd = std::min<std::int64_t>(y0 + g.rows, height);
  for (std::int64_t y = yBegin; y < yEnd; ++y) {
    const std::uint8_t* src = g.grey.data() + (y - y0) * g.width + (xBegin - x0);
    std::uint8_t* dst = buffer + y * pitch + xBegin;
    for (std::int64_t x = xBegin; x < xEnd; ++x, ++src, ++dst) *dst = std::max(*dst, *src);
  }
}

void FillRect(const PixelRect& r, std::uint8_t* buffer, int width, int height, int pitch) {
  const std::int64_t xBegin = std::max<std::int64_t>(r.left, 0);
  const std::int64_t xEnd = std::min<std::int64_t>(std::int64_t{r.left} + r.width, width);
  const std::int64_t yBegin = std::max<std::int64_t>(r.top, 0);
  const std::int64_t yEnd = std::min<std::int64_t>(std::int64_t{r.top} + r.height, height);
  for (std::int64_t y = yBegin; y < yEnd; ++y) {
    for (std::int64_t x = xBegin; x < xEnd; ++x) buffer[y * pitch + x] = 255;
  }
}

bool BufferArgumentsValid(const std::uint8_t* buffer, int width, int height, int pitch) {
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  return buffer != nullptr && pitch >= width;
}

}  // namespace

struct PlatformFont::Impl {
  std::shared_ptr<Backend> backend;  // first member: destroyed last
  RasterFace raster;
  FontFlags flags;
  std::string family;
  std::string file;
  bool fallback = false;

  // Latin-1 looked up directly, as every sheet draws from it; the rest by map.
  mutable std::array<std::unique_ptr<GlyphCoverage>, 256> cache;
  mutable std::unordered_map<char32_t, std::unique_ptr<GlyphCoverage>> wideCache;

  // Stroked glyphs of the last width and join asked.
  mutable std::unordered_map<char32_t, std::unique_ptr<GlyphCoverage>> strokes;
  mutable std::pair<int, StrokeJoin> strokeKey{0, StrokeJoin::Round};

  // Made on first use; after the face, so destroyed before it.
  mutable PairKerningPtr kerning;
  mutable bool kerningMade = false;

  // Nothing is cached when rendering throws: a later call tries again.
  const GlyphCoverage& Cached(char32_t code) const {
    std::unique_ptr<GlyphCoverage>& slot = code < cache.size() ? cache[code] : wideCache[code];
    if (!slot) slot = std::make_unique<GlyphCoverage>(raster.Render(code, false));
    return *slot;
  }

  std::vector<PixelRect> Lines(int originX, int textWidth) const {
    std::vector<PixelRect> rects;
    if (textWidth <= 0) return rects;
    if (flags.underline) rects.push_back({originX, raster.underline.top, textWidth, raster.underline.height});
    if (flags.strikeOut) rects.push_back({originX, raster.strikeOut.top, textWidth, raster.strikeOut.height});
    return rects;
  }

  // Every glyph rendered afresh: this is the plain rasteriser that the cached
  // glyphs of Glyph() must reproduce, and the speed they are measured against.
  bool DrawAfresh(std::u32string_view text, int originX, std::uint8_t* buffer, int width, int height, int pitch,
                  bool mono) const {
    if (!BufferArgumentsValid(buffer, width, height, pitch)) return false;
    try {
      const bool visible = width > 0 && height > 0;
      bool ok = true;
      std::int64_t pen = originX;
      for (const char32_t code : text) {
        const GlyphCoverage g = raster.Render(code, mono);
        if (!g.valid) ok = false;
        if (visible && g.width > 0 && g.rows > 0) BlitMax(g, pen + g.left, g.top, buffer, width, height, pitch);
        pen += Cached(code).advance;
      }
      if (visible) {
        for (const PixelRect& r : Lines(originX, ClampToInt(pen - originX))) FillRect(r, buffer, width, height, pitch);
      }
      return ok;
    } catch (...) {
      return false;
    }
  }
};

PlatformFont::PlatformFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PlatformFont::~PlatformFont() = default;

int PlatformFont::Ascent() const { return impl_->raster.ascent; }
int PlatformFont::Descent() const { return impl_->raster.descent; }
int PlatformFont::CellHeight() const { return impl_->raster.ascent + impl_->raster.descent; }
int PlatformFont::EmPixels() const { return impl_->raster.em; }
bool PlatformFont::IsItalic() const { return impl_->flags.italic; }
int PlatformFont::Weight() const { return impl_->flags.bold ? 700 : 400; }
FontFlags PlatformFont::Flags() const { return impl_->flags; }
const std::string& PlatformFont::FamilyName() const { return impl_->family; }
const std::string& PlatformFont::FilePath() const { return impl_->file; }
bool PlatformFont::IsSyntheticBold() const { return impl_->raster.syntheticBold; }
bool PlatformFont::IsFallback() const { return impl_->fallback; }
bool PlatformFont::IsSyntheticItalic() const { return impl_->raster.syntheticItalic; }

int PlatformFont::Advance(char32_t code) const { return Glyph(code).advance; }

int PlatformFont::TextWidth(std::u32string_view text) const {
  try {
    std::int64_t sum = 0;
    for (const char32_t c : text) sum += impl_->Cached(c).advance;
    return ClampToInt(sum);
  } catch (...) {
    return 0;
  }
}

TextSize PlatformFont::TextExtent(std::u32string_view text) const { return {TextWidth(text), CellHeight()}; }

bool PlatformFont::HasGlyph(char32_t code) const { return impl_->raster.GlyphIndex(code) != 0; }

std::vector<GlyphCoverage> PlatformFont::GlyphFields(std::u32string_view codes, int spread) const {
  try {
    return RenderFields(impl_->raster, impl_->file.c_str(), impl_->flags.bold, impl_->flags.italic, codes, spread);
  } catch (...) {
    return {};
  }
}

std::vector<KerningPair> PlatformFont::KerningPairs(std::u32string_view characters) const {
  try {
    const Impl& f = *impl_;
    if (!f.kerningMade) {
      f.kerning = MakePairKerning(f.raster.face.get());
      f.kerningMade = true;
    }
    if (!f.kerning) return {};
    std::vector<char32_t> drawn;
    for (const char32_t c : characters) {
      if (f.raster.GlyphIndex(c) != 0) drawn.push_back(c);
    }
    return KerningPairsOf(*f.kerning, drawn, f.raster.em, FontKerningMaxShapedPairs);
  } catch (...) {
    return {};
  }
}

const GlyphCoverage& PlatformFont::Glyph(char32_t code) const {
  try {
    return impl_->Cached(code);
  } catch (...) {
    return InvalidGlyph();
  }
}

const GlyphCoverage& PlatformFont::StrokedGlyph(char32_t code, int width, StrokeJoin join) const {
  try {
    const Impl& f = *impl_;
    if (f.strokeKey != std::pair(width, join)) {
      f.strokes.clear();
      f.strokeKey = {width, join};
    }
    std::unique_ptr<GlyphCoverage>& slot = f.strokes[code];
    if (!slot) slot = std::make_unique<GlyphCoverage>(RenderStroked(f.raster, code, width, join));
    return *slot;
  } catch (...) {
    return InvalidGlyph();
  }
}

bool PlatformFont::HasOutlines() const { return HasStrokableOutlines(impl_->raster); }

std::vector<PixelRect> PlatformFont::LineRects(int originX, int textWidth) const {
  try {
    return impl_->Lines(originX, textWidth);
  } catch (...) {
    return {};
  }
}

bool PlatformFont::DrawText(std::u32string_view text, int originX, std::uint8_t* buffer, int width, int height,
                            int pitch) const {
  return impl_->DrawAfresh(text, originX, buffer, width, height, pitch, false);
}

bool PlatformFont::DrawTextMono(std::u32string_view text, int originX, std::uint8_t* buffer, int width, int height,
                                int pitch) const {
  return impl_->DrawAfresh(text, originX, buffer, width, height, pitch, true);
}

std::unique_ptr<PlatformFont> OpenPlatformFont(std::string_view faceName, int emPixels, FontFlags flags) {
  if (emPixels <= 0 || emPixels > FontMaxEmPixels) return nullptr;
  try {
    std::shared_ptr<Backend> backend = AcquireBackend();
    if (!backend) return nullptr;
    // fontconfig takes NUL-terminated names: a name stops at its first NUL.
    const std::string name(faceName.substr(0, faceName.find('\0')));
    MatchedFace matched;
    if (!MatchFace(backend->config.get(), name, emPixels, flags.bold, flags.italic, matched)) return nullptr;
    auto impl = std::make_unique<PlatformFont::Impl>();
    if (!OpenRasterFace(backend->freeType->library.get(), matched.file.c_str(), matched.index, emPixels, flags.bold,
                        flags.italic, impl->raster)) {
      return nullptr;
    }
    impl->backend = std::move(backend);
    impl->flags = flags;
    impl->family = std::move(matched.family);
    impl->file = std::move(matched.file);
    impl->fallback = matched.fallback;
    return std::make_unique<PlatformFont>(std::move(impl));
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<PlatformFont> OpenSystemFont() { return OpenPlatformFont("Liberation Sans", 14, FontFlags{.bold = true}); }

std::vector<std::string> ListFontFamilies() {
  try {
    std::shared_ptr<Backend> backend = AcquireBackend();
    return backend ? ListFamilies(backend->config.get()) : std::vector<std::string>{};
  } catch (...) {
    return {};
  }
}

int PointsToPixels(int points, int dpi) {
  if (dpi == 0) return -1;
  const std::int64_t result = RoundDiv(std::int64_t{points} * dpi, 72);
  if (result < INT_MIN || result > INT_MAX) return -1;
  return static_cast<int>(result);
}

void ShutdownPlatformFonts() { g_backend.reset(); }
