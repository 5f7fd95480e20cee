#include "renderer/sheet_set.h"

#include <algorithm>
#include <filesystem>

#include "raster/bmp_file.h"
#include "raster/file_replace.h"
#include "raster/image.h"
#include "raster/png_file.h"
#include "renderer/renderer_settings.h"
#include "renderer/sheet_pages.h"

namespace {

// A field's smooth ramps pack better through PNG's row filters, unlike the
// flat background of a coverage sheet: the 20-point --sdf 4 sheet is 38.7 KB
// filtered, 42.5 KB not (scripts/bench-sdf.sh).
constexpr bool FieldRowsFiltered = true;

}  // namespace

bool BuildSheetSet(SheetSet& set) {
  set.request.missing = set.listMissing ? &set.missing : nullptr;
  set.request.descriptor = set.descriptors.empty() ? nullptr : &set.descriptor;
  if (set.pack) {
    return PackCharacterSheet(set.shadowOn, set.count, set.testText, set.request, set.packPadding, *set.pack,
                              set.packed);
  }
  set.cell = BuildCharacterSheet(set.shadowOn, set.count, set.testText, set.request);
  return set.cell != 0;
}

bool WriteSheetSet(const std::string& out, SheetSet& set, std::string* why) {
  const bool field = set.request.fieldSpread > 0;
  std::vector<FileToReplace> files;
  if (set.pack) {
    files = PackedPageFiles(out, set.packed,
                           {set.shadowOn, set.count, set.request.transparent, set.format, field && FieldRowsFiltered});
    set.descriptor.pages.clear();
    for (const FileToReplace& page : files) {
      set.descriptor.pages.push_back(std::filesystem::path(page.path).filename().string());
    }
  } else {
    files.push_back(
        {out, field ? PngFileWriter(SheetImage, FieldRowsFiltered) : ImageFileWriter(SheetImage, set.format)});
    set.descriptor.pages = {std::filesystem::path(out).filename().string()};
  }
  for (const DescriptorFormat form : set.descriptors) {
    files.push_back({SheetDescriptorPath(out, form), [text = WriteDescriptor(set.descriptor, form)](int fd) {
                       return WriteAll(fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
                     }});
  }
  std::size_t failed = 0;
  std::string reason;
  if (ReplaceFiles(files, &failed, &reason)) return true;
  if (why) *why = files[failed].path + ": " + reason;
  return false;
}

int MaxPackedPages(int descriptors) {
  return std::min(static_cast<int>(DescriptorMaxPages), MaxFilesReplacedTogether - descriptors);
}
