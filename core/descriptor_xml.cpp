// The XML form, written and read through pugixml: a <font> element holding
// <info>, <common>, and the lists <pages>, <chars> and <kernings>, each field
// an attribute.
#include <cstddef>
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
  const std::string face = CleanDescriptorName(font.face);
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("font");
  Element(root, "info", InfoTag(font, face, true));
  Element(root, "common", CommonTag(font));
  const pugi::xml_node pages = root.append_child("pages");
  for (std::size_t i = 0; i < font.pages.size(); ++i) Element(pages, "page", PageTag(i, CleanDescriptorName(font.pages[i])));
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

namespace {

// Upper bounds, from the bytes, on what pugixml builds from them. With the
// options it is given below, comments, processing instructions, the doctype
// and CDATA cost nothing, so its nodes are elements, each a '<' and the first
// character of a name, and runs of text, each just after a '>' and not only
// blanks; every attribute has an '='. A '<' and a name inside a comment or
// CDATA counts too.
struct XmlCounts {
  std::size_t nodes = 0, attributes = 0;
};

// As pugixml has it: a letter, '_', ':' or any byte of a character past ASCII.
bool NameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

XmlCounts CountXml(std::string_view bytes) {
  XmlCounts n;
  bool afterTag = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (afterTag && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
      if (c != '<') ++n.nodes;
      afterTag = false;
    }
    if (c == '>') afterTag = true;
    if (c == '=') ++n.attributes;
    if (c == '<' && i + 1 < bytes.size() && NameStart(bytes[i + 1])) ++n.nodes;
  }
  return n;
}

}  // namespace

bool ReadXmlDescriptor(std::string_view bytes, DescriptorBuilder& b) {
  const XmlCounts counts = CountXml(bytes);
  if (counts.nodes > DescriptorMaxElements) return b.Fail("too many XML elements");
  if (counts.attributes > DescriptorMaxValues) return b.Fail("too many XML attributes");
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default & ~pugi::parse_cdata, pugi::encoding_utf8);
  if (!parsed) {
    return b.Fail(std::string("malformed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset));
  }
  const pugi::xml_node font = doc.child("font");
  if (!font) return b.Fail("no <font> element");
  ReadTag tag;
  const auto run = [&](pugi::xml_node node, TagHandler handler) {
    b.label = node.name();
    tag.clear();
    for (const pugi::xml_attribute a : node.attributes()) {
      if (tag.size() == DescriptorMaxFieldsPerTag) {
        return b.Fail("more than " + std::to_string(DescriptorMaxFieldsPerTag) + " attributes");
      }
      tag.push_back({a.name(), a.value(), FieldGot::Any});
    }
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
