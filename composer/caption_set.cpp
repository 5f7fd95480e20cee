#include "composer/caption_set.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

#include "composer/caption_pages.h"
#include "composer/compose.h"
#include "composer/field_caption.h"
#include "composer/sheet_descriptors.h"
#include "composer/text_setting.h"
#include "core/text_codes.h"
#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

namespace {

std::string CannotLoad(const std::string& path) { return "Unable to load image\n" + path; }

// A descriptor chosen itself names the pages to open, so each must be a file beside it.
std::string ReadChosenDescriptor(const std::string& path, CaptionSet& set) {
  std::string why;
  if (!FindMetricsFile(path, path, set.metrics, &set.descriptor, &why)) return why;
  if (set.metrics.pages.empty()) return path + ": names no page";
  if (why = PageNotBeside(set.metrics); !why.empty()) return path + ": " + why;
  set.image = PagePathBeside(path, set.metrics.pages.front());
  return {};
}

}  // namespace

bool IsDescriptorName(std::string_view path) {
  std::string tail(path.substr(path.size() - std::min<std::size_t>(path.size(), 5)));
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail.ends_with(".fnt") || tail.ends_with(".xml") || tail.ends_with(".json");
}

std::string LoadCaptionSet(const std::string& path, int incoming, CaptionSet& set) {
  CaptionSet loaded;
  loaded.image = path;
  if (IsDescriptorName(path)) {
    if (std::string why = ReadChosenDescriptor(path, loaded); !why.empty()) return why;
  } else if (std::string why; !FindMetricsFile(std::nullopt, path, loaded.metrics, &loaded.descriptor, &why)) {
    loaded.descriptor.clear();
  }
  if (!loaded.descriptor.empty()) {
    loaded.paged = loaded.metrics.pages.size() > 1;
    loaded.packed = !WhyNotAGrid(loaded.metrics).empty();
  }
  for (std::size_t page = 1; loaded.paged && page < loaded.metrics.pages.size(); ++page) {
    const std::string pagePath = PagePathBeside(loaded.descriptor, loaded.metrics.pages[page]);
    const bool read = ReadImageFile(incoming, pagePath.c_str());
    DropImage(incoming);
    if (!read) return CannotLoad(pagePath);
  }
  if (!ReadImageFile(incoming, loaded.image.c_str())) return CannotLoad(loaded.image);
  // A sheet with alpha is shown and composed over black.
  const bool moved = FlattenImage(incoming, SheetImageNumber) != 0;
  const ImageRecord read = *FindImageRecord(incoming);
  const bool kept = !moved || read.depth != 32 || CopyImageArea(incoming, SheetWithAlpha, 0, 0, read.width, read.height);
  if (read.depth != 32) DropImage(SheetWithAlpha);
  DropImage(incoming);
  if (!moved || !kept) return CannotLoad(loaded.image);
  set = std::move(loaded);
  return {};
}

namespace {

// While it lives, SheetImageNumber holds the sheet as read, alpha and all, when `wanted` and the
// sheet has alpha; then the flattened sheet the window shows comes back.
class SheetAsRead {
 public:
  explicit SheetAsRead(bool wanted) : held_(wanted && ImageExists(SheetWithAlpha)) {
    const ImageRecord* sheet = held_ ? FindImageRecord(SheetWithAlpha) : nullptr;
    copied_ = !held_ || CopyImageArea(SheetWithAlpha, SheetImageNumber, 0, 0, sheet->width, sheet->height);
  }
  ~SheetAsRead() {
    if (held_) FlattenImage(SheetWithAlpha, SheetImageNumber);
  }
  SheetAsRead(const SheetAsRead&) = delete;
  SheetAsRead& operator=(const SheetAsRead&) = delete;
  bool Held() const { return held_; }
  bool Copied() const { return copied_; }

 private:
  bool held_ = false, copied_ = true;
};

}  // namespace

int ComposeCellCaption(int w, int h, std::string_view codes, int format) {
  const SheetAsRead sheet(format == ImageFormatPng);
  return sheet.Copied() && ComposeButtonImage(w, h, codes, sheet.Held());
}

int ComposeTextCaption(const CaptionSet& set, std::string_view utf8, int letterSpacing, int format) {
  std::u32string text;
  if (!DecodeUtf8(utf8, text)) return 0;
  text = std::u32string(WithoutOuterSpaces(text));
  if (text.empty()) return 0;
  FontDescriptor metrics = set.metrics;
  // A distance field is sampled from its grey and alpha where they are kept, whatever the caption's format.
  const bool field = !set.paged && set.metrics.sdfSpread > 0;
  const SheetAsRead sheet(!set.paged && !field && format == ImageFormatPng);
  if (!sheet.Copied()) return 0;
  std::string why;
  int made = set.paged || TakeSheetMetrics(set.descriptor, metrics, &why);
  CaptionSetting setting;
  setting.letterSpacing = letterSpacing;
  const CaptionLayout layout = LayOutCaption(metrics, text, setting);
  made = made && layout.placed > 0 && layout.width >= 1 && layout.height >= 1 && ImageSizeReadable(layout.width, layout.height);
  if (made && field) {
    // As kilnbatch sets a field at scale 1: white, over a transparent background in a PNG, over black elsewhere.
    const FieldCaptionSetting look{1, 0, letterSpacing, 0x00FFFFFF,
                                   format == ImageFormatPng ? std::nullopt : std::optional<std::uint32_t>(0)};
    const FieldCaption caption = LayOutFieldCaption(metrics, text, look);
    made = ImageSizeReadable(caption.width, caption.height) &&
           ComposeFieldCaption(caption, metrics, look, static_cast<int>(caption.width), static_cast<int>(caption.height), 0, 0,
                               SheetWithAlpha);
  } else if (made) {
    const std::array<int, 4> place{static_cast<int>(layout.width), static_cast<int>(layout.height), 0, 0};
    made = set.paged ? ComposePages(set.descriptor, metrics, layout, format, place, &why)
                     : ComposeSetCaption(layout, place[0], place[1], 0, 0);
  }
  return made;
}
