// The pairs kerning finds, against shaping every pair of the characters with
// and without kerning: skipping the pairs that cannot kern must lose none.
#include <hb-ot.h>
#include <hb.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/font_source.h"
#include "platform/integer_rounding.h"

namespace {

// How far kerning moves the second character, in font units; 0 when shaping joins the pair.
std::int64_t ShapedUnits(hb_font_t* font, char32_t first, char32_t second) {
  std::array<std::int64_t, 2> moved{};
  for (const bool kern : {false, true}) {
    const std::array<hb_feature_t, 6> features{{{HB_TAG('l', 'i', 'g', 'a'), 0, 0, ~0u}, {HB_TAG('c', 'l', 'i', 'g'), 0, 0, ~0u},
                                                {HB_TAG('c', 'a', 'l', 't'), 0, 0, ~0u}, {HB_TAG('r', 'l', 'i', 'g'), 0, 0, ~0u},
                                                {HB_TAG('d', 'l', 'i', 'g'), 0, 0, ~0u}, {HB_TAG('k', 'e', 'r', 'n'), kern, 0, ~0u}}};
    std::unique_ptr<hb_buffer_t, decltype(&hb_buffer_destroy)> buffer(hb_buffer_create(), hb_buffer_destroy);
    const std::array<std::uint32_t, 2> text{first, second};
    hb_buffer_add_utf32(buffer.get(), text.data(), 2, 0, 2);
    hb_buffer_set_direction(buffer.get(), HB_DIRECTION_LTR);
    hb_buffer_set_language(buffer.get(), hb_language_from_string("x-none", -1));
    hb_buffer_guess_segment_properties(buffer.get());
    hb_shape(font, buffer.get(), features.data(), features.size());
    unsigned int count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), nullptr);
    if (count != 2 || info[1].cluster != 1) return 0;
    moved[kern] = pos[0].x_advance - hb_font_get_glyph_h_advance(font, info[0].codepoint) + pos[1].x_offset;
  }
  return moved[1] - moved[0];
}

TEST(PairKerning, FindsEveryPairThatShapingKerns) {
  // Kerning letters, letters a substitution changes before marks (i, j),
  // marks, characters shaping hides, other scripts, digits, punctuation and symbols.
  const std::u32string chars = U"AVTYLPFWakoyrv.,-ijI\u0301\u0308\u0327\u00ED\u0133\u00AD\u034F\u200DЛДУАГѓτυΛΥالبت01\"'()→∑";
  constexpr int Em = 32;
  const auto sans = OpenPlatformFont("DejaVu Sans", Em, {});
  ASSERT_TRUE(sans);
  std::unique_ptr<hb_blob_t, decltype(&hb_blob_destroy)> blob(hb_blob_create_from_file(sans->FilePath().c_str()), hb_blob_destroy);
  std::unique_ptr<hb_face_t, decltype(&hb_face_destroy)> face(hb_face_create(blob.get(), 0), hb_face_destroy);
  std::unique_ptr<hb_font_t, decltype(&hb_font_destroy)> font(hb_font_create(face.get()), hb_font_destroy);
  const int upem = static_cast<int>(hb_face_get_upem(face.get()));
  hb_font_set_scale(font.get(), upem, upem);
  std::vector<KerningPair> shaped;
  for (const char32_t a : chars) {
    for (const char32_t b : chars) {
      const int pixels = static_cast<int>(RoundDiv(ShapedUnits(font.get(), a, b) * Em, upem));
      if (pixels != 0) shaped.push_back({a, b, pixels});
    }
  }
  EXPECT_GT(shaped.size(), 40u);
  EXPECT_EQ(sans->KerningPairs(chars), shaped);
}

}  // namespace
