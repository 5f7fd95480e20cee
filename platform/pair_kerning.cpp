#include "platform/pair_kerning.h"

#include <hb-ft.h>
#include <hb-ot.h>
#include <hb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

#include "platform/integer_rounding.h"

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
      all.push_back({c, RealScript(c), glyph});
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
        const int pixels = ClampToInt(RoundDiv(Units(first.code, second.code, plans) * emPixels, upem_));
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
  };
  struct Plans {
    hb_script_t script;
    std::array<HbPlanPtr, 2> plan;  // kerning off, on
    // The glyphs any lookup that could tell the two plans apart starts on;
    // null when that cannot be known (a legacy `kern` table is in play).
    HbSetPtr touched;
  };
  // The characters of one script (HB_SCRIPT_INVALID: of none), shaped with its plans, and the
  // indices of those of them, and of all characters, whose glyph a lookup of the plans starts on.
  struct Group {
    hb_script_t script;
    const Plans* plans;
    std::vector<std::uint32_t> members, touchedMembers, touchedAll;
  };

  static const Group& Find(const std::vector<Group>& groups, hb_script_t script) {
    return *std::find_if(groups.begin(), groups.end(), [script](const Group& g) { return g.script == script; });
  }

  bool Touches(const Plans& plans, hb_codepoint_t glyph) const {
    return !plans.touched || hb_set_has(plans.touched.get(), glyph);
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
        if (!Touches(*g.plans, all[i].glyph)) continue;
        g.touchedAll.push_back(i);
        if (all[i].script == g.script) g.touchedMembers.push_back(i);
      }
    }
    return groups;
  }

  // The characters worth shaping after `first`, in order: a pair neither of whose glyphs a
  // substitution or a kerning lookup can start on is shaped the same either way, and most pairs are
  // such, so the work grows with the glyphs that kern rather than with the square of the count.
  void SecondsFor(const Code& first, const std::vector<Code>& all, const std::vector<Group>& groups,
                  std::vector<std::uint32_t>& seconds) const {
    seconds.clear();
    const auto everyone = [&] {
      for (std::uint32_t i = 0; i < all.size(); ++i) seconds.push_back(i);
    };
    if (first.script != HB_SCRIPT_INVALID) {  // the first's script decides the plans
      const Group& g = Find(groups, first.script);
      if (Touches(*g.plans, first.glyph)) everyone();
      else seconds = g.touchedAll;
      return;
    }
    for (const Group& g : groups) {  // else each second's own script does
      const std::vector<std::uint32_t>& some = Touches(*g.plans, first.glyph) ? g.members : g.touchedMembers;
      seconds.insert(seconds.end(), some.begin(), some.end());
    }
    std::sort(seconds.begin(), seconds.end());
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
    Plans plans{script, {plan(false), plan(true)}, nullptr};
    plans.touched = Touched(plans);
    plans_.push_back(std::move(plans));
    return &plans_.back();
  }

  HbSetPtr Touched(const Plans& plans) const {
    std::array<HbSetPtr, 2> kerning{MakeSet(), MakeSet()};
    for (const bool kern : {false, true}) {
      hb_ot_shape_plan_collect_lookups(plans.plan[kern].get(), HB_OT_TAG_GPOS, kerning[kern].get());
    }
    hb_set_subtract(kerning[true].get(), kerning[false].get());
    HbSetPtr glyphs = MakeSet();
    if (hb_set_is_empty(kerning[true].get())) {
      // No GPOS kerning for this script, so a `kern` table would be applied,
      // and HarfBuzz cannot list the glyphs it covers.
      if (HasKernTable(face_.get())) return nullptr;
      return glyphs;
    }
    // Every lookup starts on a glyph of its input coverage, so these are all
    // the glyphs a substitution or a kerning lookup can begin with.
    HbSetPtr substitutions = MakeSet();
    hb_ot_shape_plan_collect_lookups(plans.plan[true].get(), HB_OT_TAG_GSUB, substitutions.get());
    for (const auto& [table, lookups] : {std::pair{HB_OT_TAG_GSUB, substitutions.get()},
                                         std::pair{HB_OT_TAG_GPOS, kerning[true].get()}}) {
      for (hb_codepoint_t lookup = HB_SET_VALUE_INVALID; hb_set_next(lookups, &lookup);) {
        hb_ot_layout_lookup_collect_glyphs(face_.get(), table, lookup, nullptr, glyphs.get(), nullptr, nullptr);
      }
    }
    return glyphs;
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
