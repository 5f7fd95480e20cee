// `kilnbatch caption --layout proportional` on a distance-field sheet:
// `--scale`, `--colour` and `--background`, and the caption they make.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <utility>

#include "core/font_descriptor.h"

struct FieldCaptionOptions {
  double scale = 1;
  std::uint32_t colour = 0x00FFFFFF;
  std::uint32_t background = 0;
  const CLI::Option* given[3] = {};  // --scale, --colour, --background
};

// Declares the options in the proportional layout's group.
void DeclareFieldCaptionOptions(CLI::App& group, FieldCaptionOptions& o);

// What the proportional caption's other options ask for.
struct FieldCaptionRequest {
  std::string out;
  int format = 0;
  int margin = 0, letterSpacing = 0;
  std::pair<int, int> button{0, 0};
  std::string align;
  bool boxes = false;
};

// Whether the caption is a field caption: the sheet's descriptor says it is
// a field, or a field option was given (refused then by RunFieldCaption).
bool IsFieldCaption(const FieldCaptionOptions& o, const FontDescriptor& metrics);

// Sets `text` (trimmed, not empty) from the field sheet loaded as the
// composer's sheet with `metrics`, writes it and reports as the proportional
// caption does. The process exit code.
int RunFieldCaption(const FieldCaptionOptions& o, const FieldCaptionRequest& r, const FontDescriptor& metrics,
                    const std::string& sheetPath, std::u32string_view text);
