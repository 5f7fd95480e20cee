#include "platform/pair_kerning.h"

#include <hb-ft.h>
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/integer_rounding.h"
#include "platform/layout_tables.h"

namespace {

using HbFacePtr = OwnedBy<hb_face_t, hb_face_destroy>;
using HbFontPtr = OwnedBy<hb_font_t, hb_font_destroy>;
using HbBufferPtr = OwnedBy<hb_buffer_t, hb_buffer_destroy>;
using HbPlanPtr = OwnedBy<hb_shape_plan_t, hb_shape_plan_destroy>;
using HbSetPtr = OwnedBy<hb_set_t, hb_set_destroy>;
using HbBlobPtr = OwnedBy<hb_blob_t, hb_blob_destroy>;

HbSetPtr MakeSet() { return HbSetPtr(hb_set_create()); }

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

bool HasKernTable(hb_face_t* face) {
  const HbBlobPtr table(hb_face_reference_table(face, KernTag));
  return hb_blob_get_length(table.get()) > 0;
}

bool FaceHasKerning(hb_face_t* face) {
  HbSetPtr lookups = MakeSet();
  const std::array<hb_tag_t, 2> kern{KernTag, HB_TAG_NONE};
  hb_ot_layout_collect_lookups(face, HB_OT_TAG_GPOS, nullptr, nullptr, kern.data(), lookups.get());
  return !hb_set_is_empty(lookups.get()) || HasKernTable(face);
}

// A pair's script is its first character's that has one of its own.
hb_script_t RealScript(char32_t code) {
  const hb_script_t script = hb_unicode_script(hb_unicode_funcs_get_default(), code);
  const bool shared = script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
  return shared ? HB_SCRIPT_INVALID : script;
}

}  // namespace

// How far HarfBuzz's layout moves the second of two characters because of
// kerning: the pair is shaped with the `kern` feature (which also drives a
// legacy `kern` table) on and off, so that what shaping does to a pair anyway
// (zero-width combining marks and joiners) does not count. Each pair is
// shaped on its own, left to right, in the script of its first character that
// has one (as HarfBuzz guesses a run's script) and no language, so the user's
// locale plays no part.
class PairKerning {
 public:
  PairKerning(HbFacePtr face, int unitsPerEm)
      : face_(std::move(face)), font_(hb_font_create(face_.get())), buffer_(hb_buffer_create()), upem_(unitsPerEm) {
    hb_ot_font_set_funcs(font_.get());
    // Font units, so that pixels are rounded once, as every other metric is.
    const int upem = static_cast<int>(hb_face_get_upem(face_.get()));
    hb_font_set_scale(font_.get(), upem, upem);
  }

  bool Ready() const { return hb_buffer_allocation_successful(buffer_.get()); }

  std::vector<KerningPair> Pairs(const std::vector<char32_t>& codes, int emPixels, std::size_t maxShaped) {
    std::vector<Code> all;
    all.reserve(codes.size());
    for (const char32_t c : codes) {
      hb_codepoint_t glyph = 0;
      hb_font_get_nominal_glyph(font_.get(), c, &glyph);
      all.push_back({c, RealScript(c), glyph, Ordinary(c, glyph)});
    }
    const std::vector<Group> groups = GroupsOf(all);
    std::vector<KerningPair> pairs;
    std::vector<std::uint32_t> seconds;
    std::size_t shaped = 0;
    for (const Code& first : all) {
      SecondsFor(first, all, groups, seconds);
      for (const std::uint32_t i : seconds) {
        if (shaped++ == maxShaped) return pairs;
        const Code& second = all[i];
        const Plans& plans = *(first.script != HB_SCRIPT_INVALID ? Find(groups, first.script) : Find(groups, second.script)).plans;
        const int pixels = ClampToInt(RoundDiv(Units(first, second, plans) * emPixels, upem_));
        if (pixels != 0) pairs.push_back({first.code, second.code, pixels});
      }
    }
    return pairs;
  }

 private:
  struct Code {
    char32_t code;
    hb_script_t script;
    hb_codepoint_t glyph;
    bool ordinary;  // never a mark, never hidden as a default ignorable
  };
  struct Plans {
    hb_script_t script;
    std::array<HbPlanPtr, 2> plan;  // kerning off, on
    // The glyphs the kerning lookups that tell the two plans apart name (null
    // when that cannot be known), and those a substitution can start on.
    HbSetPtr kerning, substituted;
    HbSetPtr positioned;  // the glyphs every other positioning lookup names
  };
  // The characters of one script (HB_SCRIPT_INVALID: of none), shaped with its plans, and the
  // indices of those of them, and of all characters, that can take part in a pair that kerns.
  struct Group {
    hb_script_t script;
    const Plans* plans;
    std::vector<std::uint32_t> members, kerningMembers, kerningAll;
  };

  static const Group& Find(const std::vector<Group>& groups, hb_script_t script) {
    return *std::find_if(groups.begin(), groups.end(), [script](const Group& g) { return g.script == script; });
  }

  static bool Kerns(const Plans& plans, hb_codepoint_t glyph) {
    return !plans.kerning || hb_set_has(plans.kerning.get(), glyph);
  }
  static bool Substituted(const Plans& plans, hb_codepoint_t glyph) {
    return hb_set_has(plans.substituted.get(), glyph);
  }
  static bool TakesPart(const Plans& plans, hb_codepoint_t glyph) {
    return Kerns(plans, glyph) || Substituted(plans, glyph);
  }

  // Whether shaping the pair can tell the plans apart. Kerning needs both of
  // its glyphs named by a kerning lookup, as they are or as a substitution
  // makes them; a glyph neither named nor substituted stays as it is, and a
  // pair of such glyphs moves the same either way.
  static bool WorthShaping(const Plans& plans, hb_codepoint_t first, hb_codepoint_t second) {
    const bool kf = Kerns(plans, first), ks = Kerns(plans, second);
    const bool sf = Substituted(plans, first), ss = Substituted(plans, second);
    return (kf && ks) || (sf && (ks || ss)) || (ss && kf);
  }

  std::vector<Group> GroupsOf(const std::vector<Code>& all) {
    std::vector<Group> groups;
    for (std::uint32_t i = 0; i < all.size(); ++i) {
      auto g = std::find_if(groups.begin(), groups.end(), [&](const Group& x) { return x.script == all[i].script; });
      if (g == groups.end()) g = groups.insert(groups.end(), Group{all[i].script, PlansFor(all[i].script), {}, {}, {}});
      g->members.push_back(i);
    }
    for (Group& g : groups) {
      for (std::uint32_t i = 0; i < all.size(); ++i) {
        if (!TakesPart(*g.plans, all[i].glyph)) continue;
        g.kerningAll.push_back(i);
        if (all[i].script == g.script) g.kerningMembers.push_back(i);
      }
    }
    return groups;
  }

  // The characters worth shaping after `first`, in order: only glyphs a
  // kerning lookup names or a substitution starts on take part, so the work
  // grows with the square of those, not of every character.
  void SecondsFor(const Code& first, const std::vector<Code>& all, const std::vector<Group>& groups,
                  std::vector<std::uint32_t>& seconds) const {
    seconds.clear();
    const auto take = [&](const Group& g, const std::vector<std::uint32_t>& candidates) {
      if (!TakesPart(*g.plans, first.glyph)) return;
      for (const std::uint32_t i : candidates) {
        if (WorthShaping(*g.plans, first.glyph, all[i].glyph)) seconds.push_back(i);
      }
    };
    if (first.script != HB_SCRIPT_INVALID) {  // the first's script decides the plans
      const Group& g = Find(groups, first.script);
      take(g, g.kerningAll);
      return;
    }
    for (const Group& g : groups) take(g, g.kerningMembers);  // else each second's own script does
    std::sort(seconds.begin(), seconds.end());
  }


  // 0 when shaping joins or reorders the pair. Without kerning, a pair of
  // ordinary glyphs that no other positioning names and that shaping leaves
  // as they are lands where its advances put it, so only other pairs are
  // shaped twice.
  std::int64_t Units(const Code& first, const Code& second, const Plans& plans) {
    std::array<hb_codepoint_t, 2> glyphs{};
    std::int64_t kerned = 0, plain = 0;
    if (!Shape(first.code, second.code, plans.script, *plans.plan[true], PairFeatureSets[true], kerned, glyphs)) return 0;
    const bool asTheyAre = first.ordinary && second.ordinary && glyphs[0] == first.glyph && glyphs[1] == second.glyph &&
                           !hb_set_has(plans.positioned.get(), first.glyph) &&
                           !hb_set_has(plans.positioned.get(), second.glyph);
    if (asTheyAre) return kerned;
    if (!Shape(first.code, second.code, plans.script, *plans.plan[false], PairFeatureSets[false], plain, glyphs)) return 0;
    return kerned - plain;
  }

  // Marks lose their advance in shaping, and default ignorables are hidden,
  // whatever the lookups; the categories here hold neither.
  bool Ordinary(char32_t code, hb_codepoint_t glyph) const {
    if (hb_ot_layout_get_glyph_class(face_.get(), glyph) == HB_OT_LAYOUT_GLYPH_CLASS_MARK) return false;
    if (code == 0x115F || code == 0x1160 || code == 0x3164 || code == 0xFFA0) return false;  // fillers
    switch (hb_unicode_general_category(hb_unicode_funcs_get_default(), code)) {
      case HB_UNICODE_GENERAL_CATEGORY_UPPERCASE_LETTER: case HB_UNICODE_GENERAL_CATEGORY_LOWERCASE_LETTER:
      case HB_UNICODE_GENERAL_CATEGORY_TITLECASE_LETTER: case HB_UNICODE_GENERAL_CATEGORY_OTHER_LETTER:
      case HB_UNICODE_GENERAL_CATEGORY_DECIMAL_NUMBER: case HB_UNICODE_GENERAL_CATEGORY_LETTER_NUMBER:
      case HB_UNICODE_GENERAL_CATEGORY_OTHER_NUMBER: case HB_UNICODE_GENERAL_CATEGORY_CONNECT_PUNCTUATION:
      case HB_UNICODE_GENERAL_CATEGORY_DASH_PUNCTUATION: case HB_UNICODE_GENERAL_CATEGORY_OPEN_PUNCTUATION:
      case HB_UNICODE_GENERAL_CATEGORY_CLOSE_PUNCTUATION: case HB_UNICODE_GENERAL_CATEGORY_INITIAL_PUNCTUATION:
      case HB_UNICODE_GENERAL_CATEGORY_FINAL_PUNCTUATION: case HB_UNICODE_GENERAL_CATEGORY_OTHER_PUNCTUATION:
      case HB_UNICODE_GENERAL_CATEGORY_MATH_SYMBOL: case HB_UNICODE_GENERAL_CATEGORY_CURRENCY_SYMBOL:
      case HB_UNICODE_GENERAL_CATEGORY_MODIFIER_SYMBOL: case HB_UNICODE_GENERAL_CATEGORY_OTHER_SYMBOL:
      case HB_UNICODE_GENERAL_CATEGORY_SPACE_SEPARATOR:
        return true;
      default:
        return false;
    }
  }

  // How far the second glyph lands from where the first's own advance puts it.
  bool Shape(char32_t first, char32_t second, hb_script_t script, hb_shape_plan_t& plan,
             const std::array<hb_feature_t, 6>& features, std::int64_t& moved, std::array<hb_codepoint_t, 2>& glyphs) {
    hb_buffer_t* buffer = buffer_.get();
    hb_buffer_clear_contents(buffer);
    const std::array<std::uint32_t, 2> text{first, second};
    hb_buffer_add_utf32(buffer, text.data(), 2, 0, 2);
    hb_buffer_set_direction(buffer, HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer, script);
    if (!hb_shape_plan_execute(&plan, font_.get(), buffer, features.data(), features.size())) return false;
    unsigned int count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, nullptr);
    if (count != 2 || info[0].cluster != 0 || info[1].cluster != 1) return false;
    glyphs = {info[0].codepoint, info[1].codepoint};
    moved = std::int64_t{pos[0].x_advance} - hb_font_get_glyph_h_advance(font_.get(), info[0].codepoint) +
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
      return HbPlanPtr(hb_shape_plan_create(face_.get(), &props, features.data(), features.size(), nullptr));
    };
    Plans plans{script, {plan(false), plan(true)}, nullptr, MakeSet(), MakeSet()};
    GlyphsOfLookups(plans);
    plans_.push_back(std::move(plans));
    return &plans_.back();
  }

  void GlyphsOfLookups(Plans& plans) const {
    std::array<HbSetPtr, 2> kerning{MakeSet(), MakeSet()};
    for (const bool kern : {false, true}) {
      hb_ot_shape_plan_collect_lookups(plans.plan[kern].get(), HB_OT_TAG_GPOS, kerning[kern].get());
    }
    hb_set_subtract(kerning[true].get(), kerning[false].get());
    const std::vector<unsigned> types = PositioningLookupTypes(face_.get());
    for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_set_next(kerning[false].get(), &lookup);) {
      // Attaching a mark starts on the mark, so a pair of ordinary glyphs never sets one off.
      if (lookup < types.size() && types[lookup] >= GposMarkToBase && types[lookup] <= GposMarkToMark) continue;
      hb_set_t* named = plans.positioned.get();
      hb_ot_layout_lookup_collect_glyphs(face_.get(), HB_OT_TAG_GPOS, lookup, named, named, named, nullptr);
    }
    if (hb_set_is_empty(kerning[true].get())) {
      // No GPOS kerning for this script, so a `kern` table would be applied.
      plans.kerning = MakeSet();
      if (!AddLegacyKerningGlyphs(face_.get(), plans.kerning.get())) plans.kerning = nullptr;
    } else {
      // A pair lookup's input holds its first and second glyphs; a contextual
      // one's context counts too, as it may decide a pair's kerning.
      plans.kerning = MakeSet();
      hb_set_t* glyphs = plans.kerning.get();
      for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_set_next(kerning[true].get(), &lookup);) {
        hb_ot_layout_lookup_collect_glyphs(face_.get(), HB_OT_TAG_GPOS, lookup, glyphs, glyphs, glyphs, nullptr);
      }
    }
    CollectSubstituted(plans);
  }

  // The glyphs a substitution can start on that may end, at once or through
  // further substitutions, in a glyph that kerns (with kerning unknown, every
  // substitution's): a substitution that cannot never changes what kerns.
  void CollectSubstituted(Plans& plans) const {
    HbSetPtr lookups = MakeSet();
    hb_ot_shape_plan_collect_lookups(plans.plan[true].get(), HB_OT_TAG_GSUB, lookups.get());
    struct Lookup {
      HbSetPtr input, output;
      bool counted = false;
    };
    std::vector<Lookup> all;
    for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_set_next(lookups.get(), &lookup);) {
      Lookup& l = all.emplace_back(Lookup{MakeSet(), MakeSet()});
      hb_ot_layout_lookup_collect_glyphs(face_.get(), HB_OT_TAG_GSUB, lookup, nullptr, l.input.get(), nullptr,
                                         l.output.get());
    }
    if (!plans.kerning) {
      for (const Lookup& l : all) hb_set_union(plans.substituted.get(), l.input.get());
      return;
    }
    // From the glyphs that kern back through the lookups that can make them,
    // each lookup and each glyph taken once, so a chain of any length costs
    // what its sets hold.
    std::unordered_map<hb_codepoint_t, std::vector<std::size_t>> makers;
    for (std::size_t i = 0; i < all.size(); ++i) {
      for (hb_codepoint_t g = HB_SET_VALUE_INVALID; hb_set_next(all[i].output.get(), &g);) makers[g].push_back(i);
    }
    HbSetPtr reached(hb_set_copy(plans.kerning.get()));
    std::vector<hb_codepoint_t> pending;
    for (hb_codepoint_t g = HB_SET_VALUE_INVALID; hb_set_next(reached.get(), &g);) pending.push_back(g);
    while (!pending.empty()) {
      const auto made = makers.find(pending.back());
      pending.pop_back();
      if (made == makers.end()) continue;
      for (const std::size_t i : made->second) {
        if (std::exchange(all[i].counted, true)) continue;
        for (hb_codepoint_t g = HB_SET_VALUE_INVALID; hb_set_next(all[i].input.get(), &g);) {
          hb_set_add(plans.substituted.get(), g);
          if (!hb_set_has(reached.get(), g)) hb_set_add(reached.get(), g), pending.push_back(g);
        }
      }
    }
  }

  HbFacePtr face_;  // destroyed after the font, which references it
  HbFontPtr font_;
  HbBufferPtr buffer_;
  std::int64_t upem_;  // FreeType's, which the rest of the font's metrics scale by
  std::deque<Plans> plans_;  // a deque, so the groups' pointers stay put as plans are added
};

void DestroyPairKerning(PairKerning* kerning) { delete kerning; }

PairKerningPtr MakePairKerning(FT_Face ftFace) {
  HbFacePtr face(hb_ft_face_create_referenced(ftFace));
  if (!FaceHasKerning(face.get())) return nullptr;
  auto kerning = std::make_unique<PairKerning>(std::move(face), ftFace->units_per_EM);
  if (!kerning->Ready()) return nullptr;
  return PairKerningPtr(kerning.release());
}

std::vector<KerningPair> KerningPairsOf(PairKerning& kerning, const std::vector<char32_t>& codes, int emPixels,
                                        std::size_t maxShaped) {
  return kerning.Pairs(codes, emPixels, maxShaped);
}
