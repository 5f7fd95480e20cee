// Feeds arbitrary bytes to ReadDescriptor. A refusal must say why; an
// accepted descriptor must keep every bound, and writing it in each form and
// reading that again must give it back (the text form turns '"' into a space).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/font_descriptor.h"

namespace {

bool InRange(int v) { return v >= -DescriptorMaxCoordinate && v <= DescriptorMaxCoordinate; }

bool CleanName(const std::string& s) {
  return std::none_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool WithinBounds(const FontDescriptor& f) {
  if (f.glyphs.size() > DescriptorMaxGlyphs || f.kernings.size() > DescriptorMaxKernings) return false;
  if (f.size < 0 || !InRange(f.size) || !InRange(f.lineHeight) || !InRange(f.base) || !InRange(f.scaleW) ||
      !InRange(f.scaleH) || !CleanName(f.face) || f.pages.empty() || f.pages.size() > DescriptorMaxPages) {
    return false;
  }
  for (const std::string& page : f.pages) {
    if (!CleanName(page)) return false;
  }
  for (const DescriptorGlyph& g : f.glyphs) {
    if (g.page < 0 || static_cast<std::size_t>(g.page) >= f.pages.size() || g.id > 0x10FFFF || g.width < 0 || g.height < 0 || !InRange(g.x) || !InRange(g.y) || !InRange(g.width) ||
        !InRange(g.height) || !InRange(g.xoffset) || !InRange(g.yoffset) || !InRange(g.xadvance)) {
      return false;
    }
  }
  for (const DescriptorKerning& k : f.kernings) {
    if (k.first > 0x10FFFF || k.second > 0x10FFFF || !InRange(k.amount)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  FontDescriptor font;
  std::string why;
  if (!ReadDescriptor(bytes, font, &why)) {
    if (why.empty()) std::abort();
    return 0;
  }
  if (!WithinBounds(font)) std::abort();
  for (const DescriptorFormat form : {DescriptorFormat::Text, DescriptorFormat::Xml, DescriptorFormat::Json}) {
    FontDescriptor expected = font;
    if (form == DescriptorFormat::Text) {
      std::replace(expected.face.begin(), expected.face.end(), '"', ' ');
      for (std::string& page : expected.pages) std::replace(page.begin(), page.end(), '"', ' ');
    }
    FontDescriptor back;
    if (!ReadDescriptor(WriteDescriptor(font, form), back, &why) || back != expected) std::abort();
  }
  return 0;
}
