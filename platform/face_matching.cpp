#include "platform/face_matching.h"

#include <algorithm>
#include <cstddef>

namespace {

using PatternPtr = OwnedBy<FcPattern, FcPatternDestroy>;
using ObjectSetPtr = OwnedBy<FcObjectSet, FcObjectSetDestroy>;
using FontSetPtr = OwnedBy<FcFontSet, FcFontSetDestroy>;

bool SameAsciiName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

int PatternNumber(FcPattern* p, const char* object, int fallback) {
  int i = 0;
  if (FcPatternGetInteger(p, object, 0, &i) == FcResultMatch) return i;
  double d = 0;
  if (FcPatternGetDouble(p, object, 0, &d) == FcResultMatch) return static_cast<int>(d);
  return fallback;
}

// Whether `family` is what the configuration offers for the name asked: the
// name itself or one of its metric-compatible stand-ins, which it binds
// strongly, unlike the generic fallbacks it appends weakly.
bool OfferedForName(FcPattern* substituted, std::string_view family) {
  FcValue value{};
  FcValueBinding binding = FcValueBindingWeak;
  for (int i = 0; FcPatternGetWithBinding(substituted, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
    if (value.type != FcTypeString || binding == FcValueBindingWeak) continue;
    if (SameAsciiName(reinterpret_cast<const char*>(value.u.s), family)) return true;
  }
  return false;
}

}  // namespace

FontConfiguration LoadFontConfiguration() { return FontConfiguration(FcInitLoadConfigAndFonts()); }

bool MatchFace(FcConfig* config, const std::string& name, int emPixels, bool bold, bool italic, MatchedFace& out) {
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return false;
  FcPattern* p = pattern.get();
  const auto* family = reinterpret_cast<const FcChar8*>(name.c_str());
  if (!name.empty() && !FcPatternAddString(p, FC_FAMILY, family)) return false;
  if (!FcPatternAddInteger(p, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR) ||
      !FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN) ||
      !FcPatternAddBool(p, FC_SCALABLE, FcTrue) ||
      !FcPatternAddDouble(p, FC_PIXEL_SIZE, static_cast<double>(emPixels))) {
    return false;
  }
  if (!FcConfigSubstitute(config, p, FcMatchPattern)) return false;
  FcDefaultSubstitute(p);
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(config, p, &result));
  if (!match || result != FcResultMatch) return false;

  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr) return false;
  out.file = reinterpret_cast<const char*>(file);
  out.index = PatternNumber(match.get(), FC_INDEX, 0);
  // The face's first family, unless one of its families is the name asked.
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    const std::string_view candidate(reinterpret_cast<const char*>(value));
    if (i == 0) out.family = candidate;
    if (SameAsciiName(candidate, name)) {
      out.family = candidate;
      break;
    }
  }
  out.fallback = name.empty() || !OfferedForName(p, out.family);
  return true;
}

std::vector<std::string> ListFamilies(FcConfig* config) {
  std::vector<std::string> families;
  PatternPtr pattern(FcPatternCreate());
  ObjectSetPtr objects(FcObjectSetCreate());
  if (!pattern || !objects || !FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue) ||
      !FcObjectSetAdd(objects.get(), FC_FAMILY)) {
    return families;
  }
  FontSetPtr set(FcFontList(config, pattern.get(), objects.get()));
  if (!set) return families;
  for (int i = 0; i < set->nfont; ++i) {
    FcChar8* value = nullptr;
    for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &value) == FcResultMatch; ++n) {
      families.emplace_back(reinterpret_cast<const char*>(value));
    }
  }
  std::sort(families.begin(), families.end());
  families.erase(std::unique(families.begin(), families.end()), families.end());
  return families;
}
