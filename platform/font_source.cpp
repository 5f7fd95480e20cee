#include "platform/font_source.h"

#include "platform/font_library_loader.h"
#include "platform/harfbuzz_loader.h"

#include FT_DRIVER_H

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <unordered_map>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Handles

// Each destroyed by its library's function.
template <typename T>
using OwnedBy = std::unique_ptr<T, void (*)(T*)>;
template <typename T>
using FtPtr = std::unique_ptr<T, FT_Error (*)(T*)>;
using PatternPtr = OwnedBy<FcPattern>;
using ObjectSetPtr = OwnedBy<FcObjectSet>;
using FontSetPtr = OwnedBy<FcFontSet>;
using ConfigPtr = OwnedBy<FcConfig>;
using LibraryPtr = FtPtr<FT_LibraryRec_>;
using FacePtr = FtPtr<FT_FaceRec_>;

void* FtAlloc(FT_Memory, long size) { return std::malloc(static_cast<std::size_t>(size)); }
void FtFree(FT_Memory, void* block) { std::free(block); }
void* FtRealloc(FT_Memory, long, long newSize, void* block) {
  return std::realloc(block, static_cast<std::size_t>(newSize));
}

// The process's FreeType library and fontconfig configuration. Every open font
// holds a reference, so neither goes away under a font.
struct Backend {
  Backend(const FreeTypeApi& freeType, const FontconfigApi& fontconfig) : ft(freeType), fc(fontconfig) {}
  const FreeTypeApi& ft;
  const FontconfigApi& fc;
  FT_MemoryRec_ memory{nullptr, FtAlloc, FtFree, FtRealloc};
  ConfigPtr config{nullptr, fc.FcConfigDestroy};
  LibraryPtr library{nullptr, ft.FT_Done_Library};  // declared after `memory`, which must outlive it
};

// Every setting that decides pixels is fixed here, on a library that never
// reads FREETYPE_PROPERTIES (only FT_Init_FreeType does, through
// FT_Set_Default_Properties, which is never called).
bool PinRenderingProperties(const FreeTypeApi& ft, FT_Library lib) {
  FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
  if (ft.FT_Property_Set(lib, "truetype", "interpreter-version", &interpreter) != 0) return false;
  // PostScript-flavoured drivers: pin today's defaults so a distribution's
  // build choices cannot move them. A driver left out of the build is fine.
  for (const char* module : {"cff", "type1", "t1cid"}) {
    FT_UInt engine = FT_HINTING_ADOBE;
    FT_Bool noDarkening = 1;
    FT_Error e = ft.FT_Property_Set(lib, module, "hinting-engine", &engine);
    if (e != 0 && e != FT_Err_Missing_Module) return false;
    e = ft.FT_Property_Set(lib, module, "no-stem-darkening", &noDarkening);
    if (e != 0 && e != FT_Err_Missing_Module) return false;
  }
  FT_Bool noDarkening = 1;
  FT_Error e = ft.FT_Property_Set(lib, "autofitter", "no-stem-darkening", &noDarkening);
  return e == 0 || e == FT_Err_Missing_Module;
}

std::shared_ptr<Backend> MakeBackend() {
  const FreeTypeApi* ft = LoadFreeType();
  const FontconfigApi* fc = LoadFontconfig();
  if (!ft || !fc) return nullptr;
  auto backend = std::make_shared<Backend>(*ft, *fc);
  FT_Library lib = nullptr;
  if (ft->FT_New_Library(&backend->memory, &lib) != 0) return nullptr;
  backend->library.reset(lib);
  ft->FT_Add_Default_Modules(lib);
  if (!PinRenderingProperties(*ft, lib)) return nullptr;
  backend->config.reset(fc->FcInitLoadConfigAndFonts());
  if (!backend->config) return nullptr;
  return backend;
}

std::shared_ptr<Backend> g_backend;

std::shared_ptr<Backend> AcquireBackend() {
  if (!g_backend) g_backend = MakeBackend();
  return g_backend;
}

// ---------------------------------------------------------------------------
// Arithmetic

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// Rounds a / b (b > 0) half away from zero.
std::int64_t RoundDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

int ClampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

// 26.6 to whole pixels, halves up.
int RoundPos(FT_Pos v) { return ClampToInt((static_cast<std::int64_t>(v) + 32) >> 6); }

bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// fontconfig's stock shear for synthetic italics ([1 0.2; 0 1]). Fixed here
// rather than read from the match, so a user's configuration cannot change it.
constexpr FT_Fixed SyntheticShear = 0x3333;  // 0.2 in 16.16

enum class CharMapKind { Unicode, Symbol, None };

// Stands in for a glyph that could not be made (out of memory).
const GlyphCoverage& InvalidGlyph() {
  static const GlyphCoverage invalid;
  return invalid;
}

// Coverage as drawn into a buffer: where it came from does not matter.
struct Coverage {
  int left;
  int top;
  int width;
  int rows;
  const std::uint8_t* grey;
};

void BlitMax(const Coverage& g, std::int64_t x0, std::int64_t y0, std::uint8_t* buffer, int width,
             int height, int pitch) {
  const std::int64_t xBegin = std::max<std::int64_t>(x0, 0);
  const std::int64_t xEnd = std::min<std::int64_t>(x0 + g.width, width);
  const std::int64_t yBegin = std::max<std::int64_t>(y0, 0);
  const std::int64_t yEnd = std::min<std::int64_t>(y0 + g.rows, height);
  for (std::int64_t y = yBegin; y < yEnd; ++y) {
    const std::uint8_t* src = g.grey + (y - y0) * g.width + (xBegin - x0);
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

// ---------------------------------------------------------------------------
// Kerning

using HbFacePtr = OwnedBy<hb_face_t>;
using HbFontPtr = OwnedBy<hb_font_t>;
using HbBufferPtr = OwnedBy<hb_buffer_t>;
using HbPlanPtr = OwnedBy<hb_shape_plan_t>;
using HbSetPtr = OwnedBy<hb_set_t>;

HbSetPtr MakeSet(const HarfBuzzApi& hb) { return {hb.hb_set_create(), hb.hb_set_destroy}; }

constexpr hb_tag_t KernTag = HB_TAG('k', 'e', 'r', 'n');

constexpr hb_feature_t Feature(hb_tag_t tag, std::uint32_t value) {
  return {tag, value, HB_FEATURE_GLOBAL_START, HB_FEATURE_GLOBAL_END};
}

// Ligatures off, so that a pair stays two glyphs, and kerning on or off.
constexpr std::array<hb_feature_t, 6> PairFeatures(bool kern) {
  return {Feature(HB_TAG('l', 'i', 'g', 'a'), 0), Feature(HB_TAG('c', 'l', 'i', 'g'), 0),
          Feature(HB_TAG('c', 'a', 'l', 't'), 0), Feature(HB_TAG('r', 'l', 'i', 'g'), 0),
          Feature(HB_TAG('d', 'l', 'i', 'g'), 0), Feature(KernTag, kern ? 1 : 0)};
}
constexpr std::array<std::array<hb_feature_t, 6>, 2> PairFeatureSets{PairFeatures(false), PairFeatures(true)};

bool HasKernTable(const HarfBuzzApi& hb, hb_face_t* face) {
  const OwnedBy<hb_blob_t> table(hb.hb_face_reference_table(face, KernTag), hb.hb_blob_destroy);
  return hb.hb_blob_get_length(table.get()) > 0;
}

bool FaceHasKerning(const HarfBuzzApi& hb, hb_face_t* face) {
  HbSetPtr lookups = MakeSet(hb);
  const std::array<hb_tag_t, 2> kern{KernTag, HB_TAG_NONE};
  hb.hb_ot_layout_collect_lookups(face, HB_OT_TAG_GPOS, nullptr, nullptr, kern.data(), lookups.get());
  return !hb.hb_set_is_empty(lookups.get()) || HasKernTable(hb, face);
}

// How far HarfBuzz's layout moves the second of two characters because of
// kerning: the pair is shaped with the `kern` feature (which also drives a
// legacy `kern` table) on and off, so that what shaping does to a pair anyway
// (zero-width combining marks and joiners) does not count. Each pair is
// shaped on its own, left to right, in the script of its first character that
// has one (as HarfBuzz guesses a run's script) and no language, so the user's
// locale plays no part.
class PairKerning {
 public:
  // Null when the face has no kerning lookups and no `kern` table.
  static std::unique_ptr<PairKerning> Make(const HarfBuzzApi& hb, FT_Face ftFace) {
    HbFacePtr face(hb.hb_ft_face_create_referenced(ftFace), hb.hb_face_destroy);
    if (!FaceHasKerning(hb, face.get())) return nullptr;
    auto kerning = std::make_unique<PairKerning>(hb, std::move(face));
    if (!hb.hb_buffer_allocation_successful(kerning->buffer_.get())) return nullptr;
    return kerning;
  }

  PairKerning(const HarfBuzzApi& hb, HbFacePtr face)
      : hb_(hb),
        face_(std::move(face)),
        font_(hb.hb_font_create(face_.get()), hb.hb_font_destroy),
        buffer_(hb.hb_buffer_create(), hb.hb_buffer_destroy) {
    hb.hb_ot_font_set_funcs(font_.get());
    // Font units: the caller scales to pixels once, with its own rounding.
    const int upem = static_cast<int>(hb.hb_face_get_upem(face_.get()));
    hb.hb_font_set_scale(font_.get(), upem, upem);
  }

  // Calls emit(first, second, units) for every ordered pair of `codes` that
  // kerning moves, in font units, first outer.
  template <typename Emit>
  void ForEachPair(const std::vector<char32_t>& codes, Emit emit) {
    struct Code {
      char32_t code;
      hb_script_t script;
      hb_codepoint_t glyph;
    };
    std::vector<Code> all;
    all.reserve(codes.size());
    for (const char32_t c : codes) {
      hb_codepoint_t glyph = 0;
      hb_.hb_font_get_nominal_glyph(font_.get(), c, &glyph);
      all.push_back({c, RealScript(c), glyph});
    }
    for (const Code& first : all) {
      for (const Code& second : all) {
        const hb_script_t script = first.script != HB_SCRIPT_INVALID ? first.script : second.script;
        const Plans* plans = PlansFor(script);
        // A pair neither of whose glyphs a substitution or a kerning lookup
        // can start on is shaped the same either way: most pairs are such.
        if (plans->touched && !hb_.hb_set_has(plans->touched.get(), first.glyph) &&
            !hb_.hb_set_has(plans->touched.get(), second.glyph)) {
          continue;
        }
        const std::int64_t units = Units(first.code, second.code, *plans);
        if (units != 0) emit(first.code, second.code, units);
      }
    }
  }

 private:
  struct Plans {
    hb_script_t script;
    std::array<HbPlanPtr, 2> plan;  // kerning off, on
    // The glyphs any lookup that could tell the two plans apart starts on;
    // null when that cannot be known (a legacy `kern` table is in play).
    HbSetPtr touched;
  };

  // A pair's script is its first character's that has one of its own.
  hb_script_t RealScript(char32_t code) const {
    const hb_script_t script = hb_.hb_unicode_script(hb_.hb_unicode_funcs_get_default(), code);
    const bool shared = script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
    return shared ? HB_SCRIPT_INVALID : script;
  }

  // 0 when shaping joins or reorders the pair.
  std::int64_t Units(char32_t first, char32_t second, const Plans& plans) {
    std::array<std::int64_t, 2> moved{};
    for (const bool kern : {false, true}) {
      if (!Shape(first, second, plans.script, *plans.plan[kern], PairFeatureSets[kern], moved[kern])) return 0;
    }
    return moved[true] - moved[false];
  }

  // How far the second glyph lands from where the first's own advance puts it.
  bool Shape(char32_t first, char32_t second, hb_script_t script, hb_shape_plan_t& plan,
             const std::array<hb_feature_t, 6>& features, std::int64_t& moved) {
    hb_buffer_t* buffer = buffer_.get();
    hb_.hb_buffer_clear_contents(buffer);
    const std::array<std::uint32_t, 2> text{first, second};
    hb_.hb_buffer_add_utf32(buffer, text.data(), 2, 0, 2);
    hb_.hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_.hb_buffer_set_script(buffer, script);
    if (!hb_.hb_shape_plan_execute(&plan, font_.get(), buffer, features.data(), features.size())) return false;
    unsigned int count = 0;
    const hb_glyph_info_t* info = hb_.hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_.hb_buffer_get_glyph_positions(buffer, nullptr);
    if (count != 2 || info[0].cluster != 0 || info[1].cluster != 1) return false;
    moved = std::int64_t{pos[0].x_advance} - hb_.hb_font_get_glyph_h_advance(font_.get(), info[0].codepoint) +
            pos[1].x_offset;
    return true;
  }

  // Made once per script: finding a cached plan for every pair would cost
  // about as much as shaping it.
  const Plans* PlansFor(hb_script_t script) {
    for (const Plans& plans : plans_) {
      if (plans.script == script) return &plans;
    }
    hb_segment_properties_t props{HB_DIRECTION_LTR, script, HB_LANGUAGE_INVALID, nullptr, nullptr};
    const auto plan = [&](bool kern) {
      const auto& features = PairFeatureSets[kern];
      return HbPlanPtr(hb_.hb_shape_plan_create(face_.get(), &props, features.data(), features.size(), nullptr),
                       hb_.hb_shape_plan_destroy);
    };
    Plans plans{script, {plan(false), plan(true)}, {nullptr, hb_.hb_set_destroy}};
    plans.touched = Touched(plans);
    plans_.push_back(std::move(plans));
    return &plans_.back();
  }

  HbSetPtr Touched(const Plans& plans) const {
    std::array<HbSetPtr, 2> kerning{MakeSet(hb_), MakeSet(hb_)};
    for (const bool kern : {false, true}) {
      hb_.hb_ot_shape_plan_collect_lookups(plans.plan[kern].get(), HB_OT_TAG_GPOS, kerning[kern].get());
    }
    hb_.hb_set_subtract(kerning[true].get(), kerning[false].get());
    HbSetPtr glyphs = MakeSet(hb_);
    if (hb_.hb_set_is_empty(kerning[true].get())) {
      // No GPOS kerning for this script, so a `kern` table would be applied,
      // and HarfBuzz cannot list the glyphs it covers.
      if (HasKernTable(hb_, face_.get())) return {nullptr, hb_.hb_set_destroy};
      return glyphs;
    }
    // Every lookup starts on a glyph of its input coverage, so these are all
    // the glyphs a substitution or a kerning lookup can begin with.
    HbSetPtr substitutions = MakeSet(hb_);
    hb_.hb_ot_shape_plan_collect_lookups(plans.plan[true].get(), HB_OT_TAG_GSUB, substitutions.get());
    for (const auto& [table, lookups] : {std::pair{HB_OT_TAG_GSUB, substitutions.get()},
                                         std::pair{HB_OT_TAG_GPOS, kerning[true].get()}}) {
      for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_.hb_set_next(lookups, &lookup);) {
        hb_.hb_ot_layout_lookup_collect_glyphs(face_.get(), table, lookup, nullptr, glyphs.get(), nullptr, nullptr);
      }
    }
    return glyphs;
  }

  const HarfBuzzApi& hb_;
  HbFacePtr face_;  // destroyed after the font, which references it
  HbFontPtr font_;
  HbBufferPtr buffer_;
  std::vector<Plans> plans_;
};

}  // namespace

// ---------------------------------------------------------------------------
// The font

struct PlatformFont::Impl {
  std::shared_ptr<Backend> backend;  // first member: destroyed last
  FacePtr facePtr{nullptr, nullptr};
  FT_Face face = nullptr;  // facePtr.get()
  int em = 0;
  FontFlags flags;
  int ascent = 0;
  int descent = 0;
  bool syntheticBold = false;
  bool syntheticItalic = false;
  FT_Pos boldStrength = 0;  // 26.6, whole pixels
  CharMapKind charMap = CharMapKind::None;
  std::string family;
  std::string file;
  bool fallback = false;
  PixelRect underline;  // top and height only: rows in cell coordinates
  PixelRect strikeOut;

  // Latin-1 looked up directly, as every sheet draws from it; the rest by map.
  mutable std::array<std::unique_ptr<GlyphCoverage>, 256> cache;
  mutable std::unordered_map<char32_t, std::unique_ptr<GlyphCoverage>> wideCache;

  // Made on first use; after the face, so destroyed before it.
  mutable std::unique_ptr<PairKerning> kerning;
  mutable bool kerningMade = false;

  FT_UInt GlyphIndex(char32_t code) const {
    switch (charMap) {
      case CharMapKind::Unicode:
        return code == 0 ? 0 : backend->ft.FT_Get_Char_Index(face, code);
      case CharMapKind::Symbol: {
        // Symbol fonts put their glyphs at U+F000 + byte (some at the byte).
        if (code == 0) return 0;
        const FT_UInt index = code <= 0xFF ? backend->ft.FT_Get_Char_Index(face, 0xF000u + code) : 0;
        return index != 0 ? index : backend->ft.FT_Get_Char_Index(face, code);
      }
      case CharMapKind::None:
        break;
    }
    return 0;
  }

  // The one glyph pipeline: hinted load, synthetic slant and bold, render.
  GlyphCoverage Render(char32_t code, bool mono) const {
    GlyphCoverage out;
    const FreeTypeApi& ft = backend->ft;
    const FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_DEFAULT);
    if (ft.FT_Load_Glyph(face, GlyphIndex(code), flags) != 0) return out;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return out;
    if (syntheticItalic) {
      FT_Matrix shear{0x10000, SyntheticShear, 0, 0x10000};
      ft.FT_Outline_Transform(&slot->outline, &shear);
    }
    if (syntheticBold) {
      if (ft.FT_Outline_EmboldenXY(&slot->outline, boldStrength, boldStrength) != 0) return out;
      slot->advance.x += boldStrength;
    }
    if (ft.FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return out;

    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.rows > 0) {
      return out;
    }
    out.left = slot->bitmap_left;
    out.top = ascent - slot->bitmap_top;
    out.width = static_cast<int>(bm.width);
    out.rows = static_cast<int>(bm.rows);
    out.advance = RoundPos(slot->advance.x);
    out.grey.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.rows));
    // A negative pitch means the rows are stored bottom first.
    const unsigned char* top = bm.pitch >= 0 ? bm.buffer : bm.buffer - bm.pitch * (out.rows - 1);
    for (int y = 0; y < out.rows; ++y) {
      const unsigned char* row = top + static_cast<std::ptrdiff_t>(y) * bm.pitch;
      std::uint8_t* dst = out.grey.data() + static_cast<std::size_t>(y) * out.width;
      for (int x = 0; x < out.width; ++x) {
        dst[x] = bm.pixel_mode == FT_PIXEL_MODE_GRAY
                     ? row[x]
                     : static_cast<std::uint8_t>((row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0);
      }
    }
    out.valid = true;
    return out;
  }

  const GlyphCoverage& Cached(char32_t code) const {
    std::unique_ptr<GlyphCoverage>& slot = code < cache.size() ? cache[code] : wideCache[code];
    if (!slot) {
      try {
        slot = std::make_unique<GlyphCoverage>(Render(code, false));
      } catch (...) {  // nothing cached: a later call tries again
        return InvalidGlyph();
      }
    }
    return *slot;
  }

  std::int64_t SumOfAdvances(std::u32string_view text) const {
    std::int64_t sum = 0;
    for (const char32_t c : text) sum += Cached(c).advance;
    return sum;
  }

  std::vector<KerningPair> Kerning(std::u32string_view characters) const {
    std::vector<KerningPair> pairs;
    if (!kerningMade) {
      if (const HarfBuzzApi* hb = LoadHarfBuzz()) kerning = PairKerning::Make(*hb, face);
      kerningMade = true;
    }
    if (!kerning) return pairs;
    std::vector<char32_t> drawn;
    for (const char32_t c : characters) {
      if (GlyphIndex(c) != 0) drawn.push_back(c);
    }
    const std::int64_t upem = face->units_per_EM;
    kerning->ForEachPair(drawn, [&](char32_t first, char32_t second, std::int64_t units) {
      const int pixels = ClampToInt(RoundDiv(units * em, upem));
      if (pixels != 0) pairs.push_back({first, second, pixels});
    });
    return pairs;
  }

  std::vector<PixelRect> Lines(int originX, int textWidth) const {
    std::vector<PixelRect> rects;
    if (textWidth <= 0) return rects;
    try {
      if (flags.underline) {
        rects.push_back({originX, underline.top, textWidth, underline.height});
      }
      if (flags.strikeOut) {
        rects.push_back({originX, strikeOut.top, textWidth, strikeOut.height});
      }
    } catch (...) {
      rects.clear();
    }
    return rects;
  }

  // Shared by the grey and the 1-bit drawing; `glyph(code, out)` gives the
  // coverage to place and returns false when the glyph failed.
  template <typename GlyphFn>
  bool Compose(std::u32string_view text, int originX, std::uint8_t* buffer, int width, int height,
               int pitch, GlyphFn glyph) const {
    if (!BufferArgumentsValid(buffer, width, height, pitch)) return false;
    try {
      return ComposeGlyphs(text, originX, buffer, width, height, pitch, glyph);
    } catch (...) {
      return false;
    }
  }

  template <typename GlyphFn>
  bool ComposeGlyphs(std::u32string_view text, int originX, std::uint8_t* buffer, int width,
                     int height, int pitch, GlyphFn& glyph) const {
    const bool visible = width > 0 && height > 0;
    bool ok = true;
    std::int64_t pen = originX;
    for (const char32_t code : text) {
      Coverage g{};
      if (!glyph(code, g)) ok = false;
      if (visible && g.width > 0 && g.rows > 0) {
        BlitMax(g, pen + g.left, g.top, buffer, width, height, pitch);
      }
      pen += Cached(code).advance;
    }
    if (visible) {
      for (const PixelRect& r : Lines(originX, ClampToInt(pen - originX))) {
        FillRect(r, buffer, width, height, pitch);
      }
    }
    return ok;
  }
};

PlatformFont::PlatformFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
PlatformFont::~PlatformFont() = default;

int PlatformFont::Ascent() const { return impl_->ascent; }
int PlatformFont::Descent() const { return impl_->descent; }
int PlatformFont::CellHeight() const { return impl_->ascent + impl_->descent; }
int PlatformFont::EmPixels() const { return impl_->em; }
bool PlatformFont::IsItalic() const { return impl_->flags.italic; }
int PlatformFont::Weight() const { return impl_->flags.bold ? 700 : 400; }
FontFlags PlatformFont::Flags() const { return impl_->flags; }
std::string PlatformFont::FamilyName() const {
  try {
    return impl_->family;
  } catch (...) {
    return {};
  }
}
std::string PlatformFont::FilePath() const {
  try {
    return impl_->file;
  } catch (...) {
    return {};
  }
}
bool PlatformFont::IsSyntheticBold() const { return impl_->syntheticBold; }
bool PlatformFont::IsFallback() const { return impl_->fallback; }
bool PlatformFont::IsSyntheticItalic() const { return impl_->syntheticItalic; }

int PlatformFont::Advance(char32_t code) const { return Glyph(code).advance; }

int PlatformFont::TextWidth(std::u32string_view text) const {
  try {
    return ClampToInt(impl_->SumOfAdvances(text));
  } catch (...) {
    return 0;
  }
}

TextSize PlatformFont::TextExtent(std::u32string_view text) const {
  return {TextWidth(text), CellHeight()};
}

bool PlatformFont::HasGlyph(char32_t code) const { return impl_->GlyphIndex(code) != 0; }

std::vector<KerningPair> PlatformFont::KerningPairs(std::u32string_view characters) const {
  try {
    return impl_->Kerning(characters);
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

std::vector<PixelRect> PlatformFont::LineRects(int originX, int textWidth) const {
  return impl_->Lines(originX, textWidth);
}

bool PlatformFont::DrawText(std::u32string_view text, int originX, std::uint8_t* buffer, int width,
                            int height, int pitch) const {
  // Every glyph rendered afresh: this is the plain rasteriser that the cached
  // glyphs of Glyph() must reproduce, and the speed they are measured against.
  const Impl& impl = *impl_;
  GlyphCoverage current;  // kept alive while Compose blits it
  return impl.Compose(text, originX, buffer, width, height, pitch,
                      [&impl, &current](char32_t code, Coverage& out) {
                        current = impl.Render(code, false);
                        out = {current.left, current.top, current.width, current.rows,
                               current.grey.data()};
                        return current.valid;
                      });
}

bool PlatformFont::DrawTextMono(std::u32string_view text, int originX, std::uint8_t* buffer, int width,
                                int height, int pitch) const {
  const Impl& impl = *impl_;
  GlyphCoverage current;  // kept alive while Compose blits it
  return impl.Compose(
      text, originX, buffer, width, height, pitch,
      [&impl, &current](char32_t code, Coverage& out) {
        current = impl.Render(code, true);
        out = {current.left, current.top, current.width, current.rows, current.grey.data()};
        return current.valid;
      });
}

// ---------------------------------------------------------------------------
// Opening

namespace {

struct MatchedFace {
  std::string file;
  int index = 0;
  std::string family;
  bool fallback = false;
};

int PatternNumber(const FontconfigApi& fc, FcPattern* p, const char* object, int fallback) {
  int i = 0;
  if (fc.FcPatternGetInteger(p, object, 0, &i) == FcResultMatch) return i;
  double d = 0;
  if (fc.FcPatternGetDouble(p, object, 0, &d) == FcResultMatch) return static_cast<int>(d);
  return fallback;
}

// Whether `family` is what the configuration offers for the name asked: the
// name itself or one of its metric-compatible stand-ins, which it binds
// strongly, unlike the generic fallbacks it appends weakly.
bool OfferedForName(const FontconfigApi& fc, FcPattern* substituted, std::string_view family) {
  FcValue value{};
  FcValueBinding binding = FcValueBindingWeak;
  for (int i = 0; fc.FcPatternGetWithBinding(substituted, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
    if (value.type != FcTypeString || binding == FcValueBindingWeak) continue;
    if (SameAsciiName(reinterpret_cast<const char*>(value.u.s), family)) return true;
  }
  return false;
}

bool MatchFace(Backend& backend, const std::string& name, int emPixels, bool bold, bool italic,
               MatchedFace& out) {
  const FontconfigApi& fc = backend.fc;
  PatternPtr pattern(fc.FcPatternCreate(), fc.FcPatternDestroy);
  if (!pattern) return false;
  FcPattern* p = pattern.get();
  const auto* family = reinterpret_cast<const FcChar8*>(name.c_str());
  if (!name.empty() && !fc.FcPatternAddString(p, FC_FAMILY, family)) return false;
  if (!fc.FcPatternAddInteger(p, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR) ||
      !fc.FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN) ||
      !fc.FcPatternAddBool(p, FC_SCALABLE, FcTrue) ||
      !fc.FcPatternAddDouble(p, FC_PIXEL_SIZE, static_cast<double>(emPixels))) {
    return false;
  }
  if (!fc.FcConfigSubstitute(backend.config.get(), p, FcMatchPattern)) return false;
  fc.FcDefaultSubstitute(p);
  FcResult result = FcResultNoMatch;
  PatternPtr match(fc.FcFontMatch(backend.config.get(), p, &result), fc.FcPatternDestroy);
  if (!match || result != FcResultMatch) return false;

  FcChar8* file = nullptr;
  if (fc.FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
    return false;
  }
  out.file = reinterpret_cast<const char*>(file);
  out.index = PatternNumber(fc, match.get(), FC_INDEX, 0);
  // The face's first family, unless one of its families is the name asked.
  FcChar8* value = nullptr;
  for (int i = 0; fc.FcPatternGetString(match.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    const std::string_view candidate(reinterpret_cast<const char*>(value));
    if (i == 0) out.family = candidate;
    if (SameAsciiName(candidate, name)) {
      out.family = candidate;
      break;
    }
  }
  out.fallback = name.empty() || !OfferedForName(fc, p, out.family);
  return true;
}

// The face's OS/2 weight class (100..900), or 400 / 700 from its style flags.
int FaceWeightClass(const FreeTypeApi& ft, FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(ft.FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass > 0 &&
      os2->usWeightClass <= 1000) {
    // Some old fonts count weight 1..9.
    return os2->usWeightClass < 10 ? os2->usWeightClass * 100 : os2->usWeightClass;
  }
  return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? 700 : 400;
}

// Metrics and line positions in pixels, from the face's own tables.
void ComputeMetrics(PlatformFont::Impl& f) {
  const FreeTypeApi& ft = f.backend->ft;
  FT_Face face = f.face;
  const std::int64_t em = f.em;
  const std::int64_t upem = face->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(ft.FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto* post = static_cast<const TT_Postscript*>(ft.FT_Get_Sfnt_Table(face, FT_SFNT_POST));
  const bool haveOs2 = os2 != nullptr && os2->version != 0xFFFF;

  std::int64_t ascentUnits = face->ascender;
  std::int64_t descentUnits = -std::int64_t{face->descender};
  if (haveOs2 && os2->usWinAscent + os2->usWinDescent > 0) {
    ascentUnits = os2->usWinAscent;
    descentUnits = os2->usWinDescent;
  }
  f.ascent = ClampToInt(std::max<std::int64_t>(0, CeilDiv(ascentUnits * em, upem)));
  f.descent = ClampToInt(std::max<std::int64_t>(0, CeilDiv(descentUnits * em, upem)));
  const int cell = f.ascent + f.descent;

  // Bar tops, in font units above the baseline.
  std::int64_t underTop = 0;
  std::int64_t underSize = 0;
  if (post != nullptr) {
    underTop = post->underlinePosition;
    underSize = post->underlineThickness;
  } else {  // FreeType's value is the bar's centre
    underSize = face->underline_thickness;
    underTop = face->underline_position + underSize / 2;
  }
  std::int64_t strikeTop = 0;
  std::int64_t strikeSize = 0;
  if (haveOs2 && os2->yStrikeoutSize > 0) {
    strikeTop = os2->yStrikeoutPosition;
    strikeSize = os2->yStrikeoutSize;
  } else {  // no table: a bar of underline thickness near half the x-height
    strikeSize = underSize;
    strikeTop = upem * 3 / 10 + strikeSize / 2;
  }
  const int underHeight = ClampToInt(std::max<std::int64_t>(1, RoundDiv(underSize * em, upem)));
  int underRow = ClampToInt(f.ascent - RoundDiv(underTop * em, upem));
  // Keep the underline inside the cell, where callers' buffers end.
  underRow = std::max(std::min(underRow, cell - underHeight), 0);
  f.underline = {0, underRow, 0, underHeight};
  const int strikeHeight = ClampToInt(std::max<std::int64_t>(1, RoundDiv(strikeSize * em, upem)));
  f.strikeOut = {0, ClampToInt(f.ascent - RoundDiv(strikeTop * em, upem)), 0, strikeHeight};
}

std::unique_ptr<PlatformFont> OpenFont(std::string_view faceName, int emPixels, FontFlags flags) {
  if (emPixels <= 0 || emPixels > FontMaxEmPixels) return nullptr;
  std::shared_ptr<Backend> backend = AcquireBackend();
  if (!backend) return nullptr;

  const bool bold = flags.bold;
  const bool italic = flags.italic;
  // fontconfig takes NUL-terminated names: a name stops at its first NUL.
  std::string name(faceName.substr(0, faceName.find('\0')));

  auto impl = std::make_unique<PlatformFont::Impl>();
  impl->backend = backend;
  impl->em = emPixels;
  impl->flags = flags;
  MatchedFace matched;
  if (!MatchFace(*backend, name, emPixels, bold, italic, matched)) return nullptr;
  const FreeTypeApi& ft = backend->ft;
  {
    FT_Face face = nullptr;
    if (ft.FT_New_Face(backend->library.get(), matched.file.c_str(), matched.index, &face) != 0) {
      return nullptr;
    }
    impl->facePtr = FacePtr(face, ft.FT_Done_Face);
  }
  FT_Face face = impl->face = impl->facePtr.get();
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
  if (ft.FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(emPixels)) != 0) return nullptr;
  if (ft.FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) {
    impl->charMap = CharMapKind::Unicode;
  } else if (ft.FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0) {
    impl->charMap = CharMapKind::Symbol;
  }

  // Synthesis follows fontconfig's stock rule (bold over a face of medium
  // weight or less, italic over an upright face) but reads the face itself:
  // the match's weight and slant are rewritten by that same rule, and a
  // user's configuration must not turn synthesis on or off.
  impl->syntheticBold = bold && FaceWeightClass(ft, face) <= 500;
  impl->syntheticItalic = italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
  if (impl->syntheticBold) {
    // FreeType's strength (em / 24) in whole pixels, at least one, so that
    // bold shows at small sizes and advances stay whole.
    const FT_Pos strength = ft.FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24;
    impl->boldStrength = std::max<FT_Pos>(64, (strength + 32) & ~FT_Pos{63});
  }
  impl->family = matched.family;
  impl->fallback = matched.fallback;
  impl->file = matched.file;
  ComputeMetrics(*impl);
  return std::make_unique<PlatformFont>(std::move(impl));
}

std::vector<std::string> ListFamilies() {
  std::vector<std::string> families;
  std::shared_ptr<Backend> backend = AcquireBackend();
  if (!backend) return families;
  const FontconfigApi& fc = backend->fc;
  PatternPtr pattern(fc.FcPatternCreate(), fc.FcPatternDestroy);
  ObjectSetPtr objects(fc.FcObjectSetCreate(), fc.FcObjectSetDestroy);
  if (!pattern || !objects || !fc.FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue) ||
      !fc.FcObjectSetAdd(objects.get(), FC_FAMILY)) {
    return families;
  }
  FontSetPtr set(fc.FcFontList(backend->config.get(), pattern.get(), objects.get()), fc.FcFontSetDestroy);
  if (!set) return families;
  for (int i = 0; i < set->nfont; ++i) {
    FcChar8* value = nullptr;
    for (int n = 0; fc.FcPatternGetString(set->fonts[i], FC_FAMILY, n, &value) == FcResultMatch; ++n) {
      families.emplace_back(reinterpret_cast<const char*>(value));
    }
  }
  std::sort(families.begin(), families.end());
  families.erase(std::unique(families.begin(), families.end()), families.end());
  return families;
}

}  // namespace

std::unique_ptr<PlatformFont> OpenPlatformFont(std::string_view faceName, int emPixels,
                                               FontFlags flags) {
  try {
    return OpenFont(faceName, emPixels, flags);
  } catch (...) {
    return nullptr;
  }
}

std::vector<std::string> ListFontFamilies() {
  try {
    return ListFamilies();
  } catch (...) {
    return {};
  }
}

std::unique_ptr<PlatformFont> OpenSystemFont() {
  return OpenPlatformFont("Liberation Sans", 14, FontFlags{.bold = true});
}

int PointsToPixels(int points, int dpi) {
  if (dpi == 0) return -1;
  const std::int64_t product = std::int64_t{points} * dpi;
  const std::int64_t result = RoundDiv(product, 72);
  if (result < INT_MIN || result > INT_MAX) return -1;
  return static_cast<int>(result);
}

void ShutdownPlatformFonts() {
  g_backend.reset();
}
