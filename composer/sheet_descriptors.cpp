#include "composer/sheet_descriptors.h"

#include <algorithm>
#include <filesystem>

#include "core/bounded_file.h"
#include "core/character_lists.h"
#include "core/sheet_format.h"
#include "core/text_codes.h"

namespace {

constexpr DescriptorFormat Forms[] = {DescriptorFormat::Text, DescriptorFormat::Xml, DescriptorFormat::Json};

// The set's name of a page SET_<digits>; empty for any other name.
std::string SetNameOfPage(const std::string& stem) {
  const std::size_t underscore = stem.rfind('_');
  if (underscore == std::string::npos || underscore == 0 || underscore + 1 == stem.size()) return {};
  const bool digits = std::all_of(stem.begin() + static_cast<long>(underscore) + 1, stem.end(),
                                  [](char c) { return c >= '0' && c <= '9'; });
  return digits ? stem.substr(0, underscore) : std::string();
}

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

}  // namespace

bool ReadDescriptorFile(const std::string& path, FontDescriptor& out, std::string* why) {
  std::string bytes;
  return ReadBoundedFile(path.c_str(), DescriptorMaxBytes, bytes, why) && ReadDescriptor(bytes, out, why);
}

DescriptorSearch FindDescriptorBeside(const std::string& sheetPath, FontDescriptor& out, std::string* path,
                                      std::string* why) {
  const std::filesystem::path sheet(sheetPath);
  for (const DescriptorFormat form : Forms) {
    *path = SheetDescriptorPath(sheetPath, form);
    if (Exists(*path)) return ReadDescriptorFile(*path, out, why) ? DescriptorSearch::Found : DescriptorSearch::Unreadable;
  }
  const std::string set = SetNameOfPage(sheet.stem().string());
  if (set.empty()) return DescriptorSearch::None;
  for (const DescriptorFormat form : Forms) {
    *path = std::filesystem::path(sheet).replace_filename(set + std::string(DescriptorExtension(form))).string();
    if (!Exists(*path)) continue;
    if (!ReadDescriptorFile(*path, out, why)) return DescriptorSearch::Unreadable;
    // Only the set's own descriptor: another sheet may share the name before "_".
    if (DescriptorListsPage(out, sheet.filename().string())) return DescriptorSearch::Found;
  }
  return DescriptorSearch::None;
}

std::string PagePathBeside(const std::string& descriptor, const std::string& page) {
  return (std::filesystem::path(descriptor).parent_path() / page).string();
}

bool DescriptorListsPage(const FontDescriptor& font, std::string_view fileName) {
  return std::find(font.pages.begin(), font.pages.end(), fileName) != font.pages.end();
}

std::string BoxOutsideTheSheet(const FontDescriptor& font) {
  for (const DescriptorGlyph& g : font.glyphs) {
    if (g.x < 0 || g.y < 0 || g.x + g.width > font.scaleW || g.y + g.height > font.scaleH) {
      return "the box of" + CodePointNames(std::u32string(1, g.id)) + " reaches outside the sheet";
    }
  }
  return {};
}

std::string PageNotBeside(const FontDescriptor& font) {
  for (std::size_t i = 0; i < font.pages.size(); ++i) {
    const std::string& name = font.pages[i];
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) {
      return "page " + std::to_string(i) + " is named \"" + std::string(Utf8Prefix(name, 255)) + "\", not a file beside it";
    }
  }
  return {};
}

std::string WhyNotAGrid(const FontDescriptor& font) {
  if (font.pages.size() > 1) return std::to_string(font.pages.size()) + " pages";
  if (font.spacing[0] != 0 || font.spacing[1] != 0) return "space between its boxes";
  const long long pitch = CellPitchOfSheet(font.scaleW);
  for (const DescriptorGlyph& g : font.glyphs) {
    if (g.width <= 0 || g.height <= 0) continue;
    const bool inCell = pitch > 0 && g.x >= 0 && g.y >= 0 && g.x / pitch == (g.x + g.width - 1LL) / pitch &&
                        g.y / pitch == (g.y + g.height - 1LL) / pitch;
    if (inCell) continue;
    return "the box of" + CodePointNames(std::u32string(1, g.id)) + " across cells of width / " + std::to_string(SheetColumns);
  }
  return {};
}

std::string PackedSheetRefusal(const std::string& sheetPath) {
  FontDescriptor font;
  std::string path, why;
  if (FindDescriptorBeside(sheetPath, font, &path, &why) != DescriptorSearch::Found) return {};
  why = WhyNotAGrid(font);
  return why.empty() ? why : path + " says the sheet is not a grid of cells (" + why + ")";
}
