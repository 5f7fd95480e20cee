// The tags every form writes, their fields in the same order, and the names
// cleaned so that every form can carry them.
#include "core/descriptor_tags.h"

#include <string>

#include "core/text_codes.h"

std::string CleanDescriptorName(std::string_view s, bool quoteToo) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    char32_t code = 0;
    const std::size_t n = DecodeUtf8Character(s, i, code);
    if (c < 0x20 || (quoteToo && c == '"')) {
      out += ' ';
    } else if (n == 0) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(s.substr(i, n));
      i += n;
      continue;
    }
    ++i;
  }
  return out;
}

namespace {

WriteField Num(const char* key, long long value) { return {key, FieldKind::Number, value, {}, {}}; }
WriteField Str(const char* key, std::string_view text) { return {key, FieldKind::String, 0, text, {}}; }
WriteField List(const char* key, std::span<const int> values) { return {key, FieldKind::List, 0, {}, values}; }

}  // namespace

WriteTag InfoTag(const FontDescriptor& f, std::string_view face, bool withField) {
  WriteTag tag{Str("face", face),         Num("size", f.size),    Num("bold", f.bold ? 1 : 0),
               Num("italic", f.italic ? 1 : 0), Str("charset", ""),  Num("unicode", 1),
               Num("stretchH", 100),      Num("smooth", 1),       Num("aa", 1),
               List("padding", f.padding), List("spacing", f.spacing), Num("outline", f.outline)};
  // Only on a field's descriptor, so that every other one keeps its bytes.
  if (withField && f.sdfSpread > 0) tag.push_back(Num("sdf", f.sdfSpread));
  return tag;
}

WriteTag DistanceFieldTag(const FontDescriptor& f) {
  return {Str("fieldType", "sdf"), Num("distanceRange", 2LL * f.sdfSpread)};
}

WriteTag CommonTag(const FontDescriptor& f) {
  return {Num("lineHeight", f.lineHeight), Num("base", f.base),  Num("scaleW", f.scaleW),
          Num("scaleH", f.scaleH),         Num("pages", static_cast<long long>(f.pages.size())),       Num("packed", 0),
          Num("alphaChnl", 0),             Num("redChnl", 0),     Num("greenChnl", 0),
          Num("blueChnl", 0)};
}

WriteTag PageTag(std::size_t id, std::string_view file) {
  return {Num("id", static_cast<long long>(id)), Str("file", file)};
}

WriteTag CountTag(std::size_t count) { return {Num("count", static_cast<long long>(count))}; }

WriteTag CharTag(const DescriptorGlyph& g) {
  return {Num("id", g.id),           Num("x", g.x),           Num("y", g.y),
          Num("width", g.width),     Num("height", g.height), Num("xoffset", g.xoffset),
          Num("yoffset", g.yoffset), Num("xadvance", g.xadvance), Num("page", g.page),
          Num("chnl", 15)};
}

WriteTag KerningTag(const DescriptorKerning& k) {
  return {Num("first", k.first), Num("second", k.second), Num("amount", k.amount)};
}

std::string FieldText(const WriteField& f) {
  if (f.kind == FieldKind::String) return std::string(f.text);
  if (f.kind == FieldKind::Number) return std::to_string(f.number);
  std::string out;
  for (const int v : f.list) out.append(out.empty() ? "" : ",").append(std::to_string(v));
  return out;
}
