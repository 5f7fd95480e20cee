// A face's kerning between pairs of characters, read through HarfBuzz.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <vector>

#include "platform/font_source.h"
#include "platform/owned_by.h"

class PairKerning;
void DestroyPairKerning(PairKerning* kerning);
using PairKerningPtr = OwnedBy<PairKerning, DestroyPairKerning>;

// Null when the face has no kerning lookups and no `kern` table. The face
// must outlive what this returns.
PairKerningPtr MakePairKerning(FT_Face face);

// Every ordered pair of `codes` that kerning moves, first outer, in whole
// pixels at `emPixels` rounded half away from zero; pairs of 0 are left out.
// Stops after shaping `maxShaped` pairs, with the pairs found until then.
std::vector<KerningPair> KerningPairsOf(PairKerning& kerning, const std::vector<char32_t>& codes, int emPixels,
                                        std::size_t maxShaped);
