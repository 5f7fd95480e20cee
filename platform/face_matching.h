// Faces found by name and style through fontconfig.
#pragma once

#include <fontconfig/fontconfig.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/owned_by.h"

using FontConfiguration = OwnedBy<FcConfig, FcConfigDestroy>;

// The system's configuration and the fonts it lists; null when it cannot be
// loaded.
FontConfiguration LoadFontConfiguration();

struct MatchedFace {
  std::string file;
  int index = 0;  // of the face in its file
  std::string family;
  // Neither the name asked nor a metric-compatible stand-in for it: the
  // configuration's generic fallback.
  bool fallback = false;
};

// The best scalable face for `name` (NUL-free; empty asks for the default)
// at `emPixels` in the style asked; false when there is none.
bool MatchFace(FcConfig* config, const std::string& name, int emPixels, bool bold, bool italic, MatchedFace& out);

// Scalable font families, sorted and unique.
std::vector<std::string> ListFamilies(FcConfig* config);
