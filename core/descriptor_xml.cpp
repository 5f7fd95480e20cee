// The XML form, written and read through pugixml: a <font> element holding
// <info>, <common>, and the lists <pages>, <chars> and <kernings>, each field
// an attribute.
#include <algorithm>
#include <string>

#include <pugixml.hpp>

#include "core/descriptor_tags.h"

namespace {

pugi::xml_node Element(pugi::xml_node parent, const char* name, const WriteTag& tag) {
  pugi::xml_node node = parent.append_child(name);
  for (const WriteField& f : tag) {
    pugi::xml_attribute a = node.append_attribute(f.key);
    if (f.kind == FieldKind::Number) {
      a.set_value(f.number);
    } else {
      const std::string value = FieldText(f);
      a.set_value(value.c_str(), value.size());
    }
  }
  return node;
}

struct StringWriter final : pugi::xml_writer {
  std::string& out;
  explicit StringWriter(std::string& o) : out(o) {}
  void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
};

}  // namespace

std::string WriteXmlDescriptor(const FontDescriptor& font) {
  const std::string face = CleanDescriptorName(font.face), file = CleanDescriptorName(font.pageFile);
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("font");
  Element(root, "info", InfoTag(font, face));
  Element(root, "common", CommonTag(font));
  Element(root.append_child("pages"), "page", PageTag(file));
  const pugi::xml_node chars = Element(root, "chars", CountTag(font.glyphs.size()));
  for (const DescriptorGlyph& g : font.glyphs) Element(chars, "char", CharTag(g));
  const pugi::xml_node kernings = Element(root, "kernings", CountTag(font.kernings.size()));
  for (const DescriptorKerning& k : font.kernings) Element(kernings, "kerning", KerningTag(k));
  std::string out;
  out.reserve(256 + 130 * font.glyphs.size() + 60 * font.kernings.size());
  StringWriter writer(out);
  doc.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
  return out;
}

bool ReadXmlDescriptor(std::string_view bytes, DescriptorBuilder& b) {
  // pugixml holds every element and attribute, so their counts are checked
  // before it builds them: each element has a '<', each attribute an '='.
  const auto count = [&](char c) { return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), c)); };
  if (count('<') > DescriptorMaxElements) return b.Fail("too many XML elements");
  if (count('=') > DescriptorMaxValues) return b.Fail("too many XML attributes");
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    return b.Fail(std::string("malformed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset));
  }
  const pugi::xml_node font = doc.child("font");
  if (!font) return b.Fail("no <font> element");
  ReadTag tag;
  const auto run = [&](pugi::xml_node node, TagHandler handler) {
    tag.clear();
    for (const pugi::xml_attribute a : node.attributes()) tag.push_back({a.name(), a.value(), FieldGot::Any});
    b.label = node.name();
    return (b.*handler)(tag);
  };
  for (const SingleTag& single : SingleTags) {
    b.number = 0;
    if (const pugi::xml_node node = font.child(single.name); node && !run(node, single.handler)) return false;
  }
  for (const ListedTag& listed : ListedTags) {
    b.number = 0;
    for (const pugi::xml_node list : font.children(listed.group)) {
      for (const pugi::xml_node node : list.children(listed.name)) {
        ++b.number;
        if (!run(node, listed.handler)) return false;
      }
    }
  }
  return b.Finish();
}
