// `kilnbatch sheet --sdf SPREAD`: a sheet of signed distance fields.
#pragma once

#include <CLI/CLI.hpp>

struct FieldSheetOptions {
  int spread = 0;  // 0: a coverage sheet
};

// Declares --sdf; returns it, for the options it lets through.
CLI::Option* DeclareFieldSheetOptions(CLI::App& command, FieldSheetOptions& o);

// The checks that need the other options: 0 when they agree, else the usage
// error's exit code, reported. A field sheet is a PNG without a shadow or
// the style's `bars` (underline, strike-out).
int CheckFieldSheetOptions(const FieldSheetOptions& o, bool shadow, bool bars, int format);
