// What the glyphkiln window's Options dialog chooses for its sheets, kept
// for the run only, and the sheet set those choices make.
#pragma once

#include <string>

#include "renderer/renderer_settings.h"
#include "renderer/sheet_set.h"

inline bool operator==(const LineGradient& a, const LineGradient& b) {
  return a.on == b.on && a.top == b.top && a.bottom == b.bottom;
}
inline bool operator==(const SheetEffects& a, const SheetEffects& b) {
  return a.outlineWidth == b.outlineWidth && a.outlineColour == b.outlineColour && a.outlineJoin == b.outlineJoin &&
         a.faceGradient == b.faceGradient && a.outlineGradient == b.outlineGradient && a.shadowBlur == b.shadowBlur;
}

enum class CharacterChoice { Ascii, Windows1252, List, File };
enum class LayoutChoice { Grid, Fitted, Packed };

struct SheetChoices {
  CharacterChoice characters = CharacterChoice::Ascii;
  std::string list;  // in the `--chars` syntax
  std::string file;  // a UTF-8 text file
  LayoutChoice layout = LayoutChoice::Grid;
  int padding = 1;
  int spacing = 1;
  int pageWidth = 2048, pageHeight = 2048;
  bool powerOfTwo = false;
  bool transparent = false;
  SheetEffects effects;
  bool textDescriptor = false, xmlDescriptor = false, jsonDescriptor = false;

  bool operator==(const SheetChoices&) const = default;
};

// Why the choices cannot be confirmed (a wrong character list, a packed
// layout without a descriptor), or empty when they can.
std::string SheetChoicesRefusal(const SheetChoices& choices);

// The set the choices ask for, as `kilnbatch sheet` makes it from the
// equivalent options, saved in `format`. The character file is read now:
// false with `*why` when it cannot be.
bool SheetSetOfChoices(const SheetChoices& choices, int format, SheetSet& set, std::string* why);
