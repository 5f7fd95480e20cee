// What the glyphkiln window's Options dialog chooses for its sheets, kept
// for the run only, and the sheet set those choices make.
#pragma once

#include <string>

#include "renderer/renderer_settings.h"
#include "renderer/sheet_set.h"

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
  int fieldSpread = 0;  // a distance-field sheet reaching this far each side of the edge; 0 for none

  bool operator==(const SheetChoices&) const = default;
};

// Why the choices cannot be confirmed (a wrong character list, a packed
// layout without a descriptor, a distance field as FieldChoiceRefusal
// says), or empty when they can.
std::string SheetChoicesRefusal(const SheetChoices& choices);
// Why the distance field chosen cannot be made from the other choices, or empty.
std::string FieldChoiceRefusal(const SheetChoices& choices);
// Why the distance field chosen cannot be made with the window's shadow
// switch and font style bits, or empty.
std::string FieldBuildRefusal(const SheetChoices& choices, bool shadowOn, int styleBits);
// Whether the chosen set can only be saved as PNG.
bool ChoicesNeedPng(const SheetChoices& choices);

// The set the choices ask for, as `kilnbatch sheet` makes it from the
// equivalent options, saved in `format`. The character file is read now:
// false with `*why` when it cannot be.
bool SheetSetOfChoices(const SheetChoices& choices, int format, SheetSet& set, std::string* why);
