#include "renderer/sheet_choices.h"

#include "core/character_lists.h"
#include "core/fonts.h"
#include "core/sheet_format.h"
#include "platform/font_source.h"

std::string FieldChoiceRefusal(const SheetChoices& c) {
  if (c.fieldSpread == 0) return {};
  if (c.fieldSpread < GlyphFieldMinSpread || c.fieldSpread > GlyphFieldMaxSpread) {
    return "Spread " + std::to_string(GlyphFieldMinSpread) + " to " + std::to_string(GlyphFieldMaxSpread);
  }
  // Engines draw these from the field itself, in their shaders.
  if (c.effects.outlineWidth > 0 || c.effects.faceGradient.on || c.effects.outlineGradient.on) {
    return "No outline or gradient with a field";
  }
  if (!c.textDescriptor && !c.xmlDescriptor && !c.jsonDescriptor) return "A field needs a descriptor";
  return {};
}

std::string FieldBuildRefusal(const SheetChoices& c, bool shadowOn, int styleBits) {
  if (c.fieldSpread == 0) return {};
  if (shadowOn) return "A distance field draws no shadow: a shader makes one from the field.";
  if (styleBits & (FontUnderline | FontStrikeOut)) return "A distance field draws no underline or strike-out.";
  return {};
}

bool ChoicesNeedPng(const SheetChoices& c) { return c.transparent || c.fieldSpread > 0; }

std::string SheetChoicesRefusal(const SheetChoices& c) {
  if (std::string field = FieldChoiceRefusal(c); !field.empty()) return field;
  std::string why;
  if (c.characters == CharacterChoice::List && !ParseCharacterRanges(c.list, &why)) return why;
  if (c.characters == CharacterChoice::File && c.file.empty()) return "Choose a character file";
  if (c.layout == LayoutChoice::Packed && !c.textDescriptor && !c.xmlDescriptor && !c.jsonDescriptor) {
    return "Packed pages need a descriptor";
  }
  return {};
}

bool SheetSetOfChoices(const SheetChoices& c, int format, SheetSet& set, std::string* why) {
  set.format = format;
  set.listMissing = c.characters != CharacterChoice::Ascii;
  if (c.characters == CharacterChoice::Windows1252) set.request.lastCode = Windows1252SheetLastCode;
  if (c.characters == CharacterChoice::List) {
    auto parsed = ParseCharacterRanges(c.list, why);
    if (!parsed) return false;
    set.request.characters = std::move(*parsed);
  }
  if (c.characters == CharacterChoice::File) {
    auto read = ReadCharactersFile(c.file.c_str(), why);
    if (!read) {
      if (why) *why = c.file + ": " + *why;
      return false;
    }
    set.request.characters = std::move(*read);
  }
  for (const auto& [on, form] : {std::pair{c.textDescriptor, DescriptorFormat::Text},
                                 {c.xmlDescriptor, DescriptorFormat::Xml}, {c.jsonDescriptor, DescriptorFormat::Json}}) {
    if (on) set.descriptors.push_back(form);
  }
  // Overlapping cells have no rectangle of their own to describe: a descriptor fits the cells.
  if (c.layout == LayoutChoice::Fitted || !set.descriptors.empty()) set.request.fitPadding = c.padding;
  set.request.transparent = c.transparent;
  set.request.fieldSpread = c.fieldSpread;
  set.packPadding = c.padding;
  if (c.layout == LayoutChoice::Packed) {
    set.pack = PackLimits{c.pageWidth, c.pageHeight, c.spacing, c.powerOfTwo,
                          MaxPackedPages(static_cast<int>(set.descriptors.size()))};
  }
  return true;
}
