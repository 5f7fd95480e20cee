#include "composer/caption_pages.h"

#include <vector>

#include "composer/compose.h"
#include "composer/sheet_descriptors.h"
#include "composer/text_setting.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

// A sheet or page with alpha keeps it only for a PNG caption, and is
// composed over black anywhere else, as the window shows it.
bool KeepAlphaOnlyForPng(int format) {
  return FindImageRecord(SheetImageNumber)->depth != 32 || format == ImageFormatPng ||
         FlattenImage(SheetImageNumber, SheetImageNumber);
}

}  // namespace

bool FindMetricsFile(const std::optional<std::string>& named, const std::string& sheet, FontDescriptor& metrics,
                     std::string* path, std::string* why) {
  DescriptorSearch found = DescriptorSearch::Unreadable;
  if (!named) {
    found = FindDescriptorBeside(sheet, metrics, path, why);
  } else if (*path = *named; ReadDescriptorFile(*path, metrics, why)) {
    found = DescriptorSearch::Found;
  }
  if (found == DescriptorSearch::None) {
    path->clear();
    return true;
  }
  if (found == DescriptorSearch::Found) {
    *why = BoxOutsideTheSheet(metrics);
    if (why->empty() && metrics.pages.size() > 1) *why = PageNotBeside(metrics);
  }
  if (why->empty()) return true;
  *why = *path + ": " + *why;
  return false;
}

bool ReadSheet(const std::string& path, int format, std::string* why) {
  if (!ReadImageFile(SheetImageNumber, path.c_str(), why)) {
    *why = path + ": " + *why;
    return false;
  }
  if (KeepAlphaOnlyForPng(format)) return true;
  *why = "out of memory";
  return false;
}

bool TakeSheetMetrics(const std::string& descriptor, FontDescriptor& metrics, std::string* why) {
  if (descriptor.empty()) {
    metrics = MeasureSheetMetrics();
    return true;
  }
  const ImageRecord& image = *FindImageRecord(SheetImageNumber);
  if (metrics.scaleW != image.width || metrics.scaleH != image.height) {
    *why = descriptor + ": describes an image of " + std::to_string(metrics.scaleW) + "x" + std::to_string(metrics.scaleH) +
           ", not the sheet's " + std::to_string(image.width) + "x" + std::to_string(image.height);
    return false;
  }
  return true;
}

bool ComposePages(const std::string& descriptor, const FontDescriptor& metrics, const CaptionLayout& layout, int format,
                  const std::array<int, 4>& place, std::string* why) {
  std::vector<bool> needed(metrics.pages.size(), false);
  for (const PlacedGlyph& g : layout.glyphs) needed[static_cast<std::size_t>(g.page)] = true;
  if (layout.glyphs.empty()) needed[0] = true;  // for the format and background of an empty caption
  std::string first;
  int depth = 0;
  std::uint32_t background = 0;
  for (std::size_t page = 0; page < needed.size(); ++page) {
    if (!needed[page]) continue;
    const std::string path = PagePathBeside(descriptor, metrics.pages[page]);
    if (!ReadImageFile(SheetImageNumber, path.c_str(), why)) {
      *why = path + " (page " + std::to_string(page) + " of " + descriptor + "): " + *why;
      return false;
    }
    const ImageRecord image = *FindImageRecord(SheetImageNumber);
    if (image.width != metrics.scaleW || image.height != metrics.scaleH) {
      *why = path + ": " + std::to_string(image.width) + "x" + std::to_string(image.height) + " pixels, not the " +
             std::to_string(metrics.scaleW) + "x" + std::to_string(metrics.scaleH) + " of every page of " + descriptor;
      return false;
    }
    if (!first.empty() && image.depth != depth) {
      *why = path + (image.depth == 32 ? ": has alpha, " : ": has no alpha, ") + first + " has" +
             (depth == 32 ? "" : " none") + "; the pages of a set share one format";
      return false;
    }
    bool made = KeepAlphaOnlyForPng(format);
    if (made && first.empty()) {
      first = path, depth = image.depth, background = SheetBackground();
      made = BeginSetCaption(place[0], place[1], depth == 32 && format == ImageFormatPng, background);
    }
    if (!made) {
      *why = "out of memory";
      return false;
    }
    DrawSetGlyphs(layout, static_cast<int>(page), place[2], place[3], background);
  }
  return true;
}

