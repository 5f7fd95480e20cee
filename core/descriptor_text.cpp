// The line-based text form (.fnt): a tag a line, `key=value` fields, names in
// double quotes without escapes.
#include <string>

#include "core/descriptor_tags.h"

namespace {

void TextLine(std::string& out, std::string_view name, const WriteTag& tag) {
  out += name;
  for (const WriteField& f : tag) {
    out.append(" ").append(f.key).append("=");
    if (f.kind == FieldKind::String) {
      out.append("\"").append(f.text).append("\"");
    } else {
      out += FieldText(f);
    }
  }
  out += '\n';
}

// A line's tag, by the tables the other forms use; "chars" and "kernings"
// only count what follows.
TagHandler HandlerOf(std::string_view name) {
  for (const SingleTag& s : SingleTags) {
    if (name == s.name) return s.handler;
  }
  for (const ListedTag& l : ListedTags) {
    if (name == l.name) return l.handler;
  }
  return nullptr;
}

}  // namespace

std::string WriteTextDescriptor(const FontDescriptor& font) {
  const std::string face = CleanDescriptorName(font.face, true);
  std::string out;
  out.reserve(256 + 100 * font.glyphs.size() + 40 * font.kernings.size());
  TextLine(out, "info", InfoTag(font, face, true));
  TextLine(out, "common", CommonTag(font));
  for (std::size_t i = 0; i < font.pages.size(); ++i) {
    TextLine(out, "page", PageTag(i, CleanDescriptorName(font.pages[i], true)));
  }
  TextLine(out, "chars", CountTag(font.glyphs.size()));
  for (const DescriptorGlyph& g : font.glyphs) TextLine(out, "char", CharTag(g));
  TextLine(out, "kernings", CountTag(font.kernings.size()));
  for (const DescriptorKerning& k : font.kernings) TextLine(out, "kerning", KerningTag(k));
  return out;
}

bool ReadTextDescriptor(std::string_view bytes, DescriptorBuilder& b) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  ReadTag tag;
  b.label = "line";
  b.number = 0;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    ++b.number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t i = 0;
    while (i < line.size() && blank(line[i])) ++i;
    std::size_t k = i;
    while (k < line.size() && !blank(line[k])) ++k;
    const TagHandler handler = HandlerOf(line.substr(i, k - i));
    if (!handler) continue;
    tag.clear();
    for (i = k;;) {
      while (i < line.size() && blank(line[i])) ++i;
      if (i == line.size()) break;
      k = i;
      while (k < line.size() && line[k] != '=' && !blank(line[k])) ++k;
      const std::string_view key = line.substr(i, k - i);
      if (k == line.size() || line[k] != '=') return b.Fail(CleanDescriptorName(key.substr(0, 24)) + " has no value");
      std::size_t from = ++k, to = 0;
      if (k < line.size() && line[k] == '"') {
        from = k + 1;
        to = line.find('"', from);
        if (to == std::string_view::npos) {
          return b.Fail(CleanDescriptorName(key.substr(0, 24)) + " has no closing quote");
        }
        i = to + 1;
      } else {
        while (k < line.size() && !blank(line[k])) ++k;
        to = i = k;
      }
      if (tag.size() == DescriptorMaxFieldsPerTag) {
        return b.Fail("more than " + std::to_string(DescriptorMaxFieldsPerTag) + " fields on a line");
      }
      tag.push_back({std::string(key), std::string(line.substr(from, to - from)), FieldGot::Any});
    }
    if (!(b.*handler)(tag)) return false;
  }
  return b.Finish();
}
