#include "renderer/sheet_choices.h"

#include "core/character_lists.h"
#include "core/sheet_format.h"

std::string SheetChoicesRefusal(const SheetChoices& c) {
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
  set.packPadding = c.padding;
  if (c.layout == LayoutChoice::Packed) {
    set.pack = PackLimits{c.pageWidth, c.pageHeight, c.spacing, c.powerOfTwo,
                          MaxPackedPages(static_cast<int>(set.descriptors.size()))};
  }
  return true;
}
