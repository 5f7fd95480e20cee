#include "core/fonts.h"

#include "core/object_table.h"
#include "core/text_codes.h"

namespace {

struct FontRecord {
  FontHandleValue handle = 0;
};

ObjectTable<FontRecord>& Fonts() {
  static ObjectTable<FontRecord> fonts(16, 16, DropFont);
  return fonts;
}

int resolution = DefaultFontResolution;

}  // namespace

void SetFontResolution(int dpi) {
  if (dpi > 0) resolution = dpi;
}

int FontResolution() { return resolution; }

std::string_view CutFaceName(std::string_view face) {
  int chars = 0;
  for (std::size_t i = 0; i < face.size(); ++i) {
    if (!IsUtf8Continuation(face[i]) && chars++ == FontFaceMaxChars) return face.substr(0, i);
  }
  return face;
}

FontHandleValue MakeFont(int number, std::string_view faceName, int points, int styleBits) {
  if (number != AutoNumber) DropFont(number);
  const int em = PointsToPixels(points, resolution);
  if (em <= 0) return 0;
  const FontHandleValue handle = OpenFontHandle(CutFaceName(faceName), em, FontFlagsOf(styleBits));
  if (!handle) return 0;
  int assigned = 0;
  FontRecord* record = Fonts().Take(number, &assigned);
  if (!record) {
    CloseFontHandle(handle);
    return 0;
  }
  record->handle = handle;
  return number == AutoNumber ? static_cast<FontHandleValue>(assigned) : handle;
}

FontHandleValue FontHandle(int number) {
  const FontRecord* record = Fonts().Find(number);
  return record ? record->handle : 0;
}

void DropFont(int number) {
  if (number == AutoNumber) return;
  FontRecord* record = Fonts().Find(number);
  if (!record) return;
  CloseFontHandle(record->handle);
  Fonts().Release(number);
}

void ShutdownFonts() {
  for (int number : Fonts().Numbers()) DropFont(number);
}
