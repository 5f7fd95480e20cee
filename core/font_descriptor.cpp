#include "core/font_descriptor.h"

#include <algorithm>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "core/text_codes.h"

namespace {

// Bounds on what a hostile file can make a reader hold, beyond its bytes.
constexpr std::size_t MaxFieldsPerTag = 64;
constexpr std::size_t MaxNodes = DescriptorMaxGlyphs + DescriptorMaxKernings + 64;
// A glyph is an object of 10 values, a kerning one of 3; the rest is small.
constexpr std::size_t MaxJsonValues = DescriptorMaxGlyphs * 12 + DescriptorMaxKernings * 4 + 256;

// Control characters become spaces and stray bytes U+FFFD, so that every form
// can carry a name (XML has no way to hold most control characters, JSON
// readers refuse what is not UTF-8) and reading it back gives the same bytes.
// The text form has no escapes at all, so there `quoteToo` also turns '"',
// which would end the value, into a space.
std::string CleanName(std::string_view s, bool quoteToo = false) {
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

// ---- writing: each form names the same fields in the same order.

enum class Kind { Number, String, List };  // List: "0,0" in text and XML, [0,0] in JSON
struct Field {
  std::string_view key;
  std::string value;
  Kind kind = Kind::Number;
};
using Tag = std::vector<Field>;

Field Num(std::string_view key, long long value) { return {key, std::to_string(value), Kind::Number}; }

Tag InfoTag(const FontDescriptor& f, const std::string& face) {
  return {{"face", face, Kind::String}, Num("size", f.size),  Num("bold", f.bold ? 1 : 0),
          Num("italic", f.italic ? 1 : 0), {"charset", "", Kind::String}, Num("unicode", 1),
          Num("stretchH", 100), Num("smooth", 1), Num("aa", 1), {"padding", "0,0,0,0", Kind::List},
          {"spacing", "0,0", Kind::List}, Num("outline", 0)};
}

Tag CommonTag(const FontDescriptor& f) {
  return {Num("lineHeight", f.lineHeight), Num("base", f.base),  Num("scaleW", f.scaleW),
          Num("scaleH", f.scaleH),         Num("pages", 1),       Num("packed", 0),
          Num("alphaChnl", 0),             Num("redChnl", 0),     Num("greenChnl", 0),
          Num("blueChnl", 0)};
}

Tag CharTag(const DescriptorGlyph& g) {
  return {Num("id", g.id),           Num("x", g.x),           Num("y", g.y),
          Num("width", g.width),     Num("height", g.height), Num("xoffset", g.xoffset),
          Num("yoffset", g.yoffset), Num("xadvance", g.xadvance), Num("page", 0),
          Num("chnl", 15)};
}

Tag KerningTag(const DescriptorKerning& k) {
  return {Num("first", k.first), Num("second", k.second), Num("amount", k.amount)};
}

void TextLine(std::string& out, std::string_view name, const Tag& tag) {
  out += name;
  for (const Field& f : tag) {
    out.append(" ").append(f.key).append("=");
    if (f.kind == Kind::String) {
      out.append("\"").append(f.value).append("\"");
    } else {
      out += f.value;
    }
  }
  out += '\n';
}

void XmlElement(std::string& out, int depth, std::string_view name, const Tag& tag, bool close = true) {
  out.append(static_cast<std::size_t>(depth) * 2, ' ').append("<").append(name);
  for (const Field& f : tag) {
    out.append(" ").append(f.key).append("=\"");
    for (const char c : f.value) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
      }
    }
    out += '"';
  }
  out += close ? "/>\n" : ">\n";
}

void JsonString(std::string& out, std::string_view s) {
  static constexpr char hex[] = "0123456789ABCDEF";
  out += '"';
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out.append("\\").append(1, c);
    } else if (u < 0x20) {
      out.append("\\u00").append(1, hex[u >> 4]).append(1, hex[u & 15]);
    } else {
      out += c;
    }
  }
  out += '"';
}

void JsonObject(std::string& out, const Tag& tag) {
  out += '{';
  for (const Field& f : tag) {
    if (&f != &tag.front()) out += ',';
    JsonString(out, f.key);
    out += ':';
    if (f.kind == Kind::String) {
      JsonString(out, f.value);
    } else if (f.kind == Kind::List) {
      out.append("[").append(f.value).append("]");
    } else {
      out += f.value;
    }
  }
  out += '}';
}

template <typename T, typename MakeTag>
void JsonArray(std::string& out, std::string_view name, const std::vector<T>& items, MakeTag make, bool last) {
  out.append("  \"").append(name).append("\": [");
  for (const T& item : items) {
    out.append(&item == &items.front() ? "\n    " : ",\n    ");
    JsonObject(out, make(item));
  }
  out.append(items.empty() ? "]" : "\n  ]").append(last ? "\n" : ",\n");
}

// ---- reading: each form turns a tag into key and value texts; one builder
// checks them.

enum class Got { Any, String, Number, Other };  // Any: text and XML, whose values are all text
struct ReadField {
  std::string_view key;
  std::string value;
  Got got = Got::Any;
};
using ReadTag = std::vector<ReadField>;

// Digits with an optional sign; past 10^12 the value stops growing, which is
// out of every range checked here.
bool StrictInt(std::string_view s, long long& out) {
  const bool negative = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  if (s.empty()) return false;
  long long v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    if (v < 1'000'000'000'000) v = v * 10 + (c - '0');
  }
  out = negative ? -v : v;
  return true;
}

constexpr long long MaxCoordinate = DescriptorMaxCoordinate;
constexpr long long MaxCodePoint = 0x10FFFF;

class Builder {
 public:
  explicit Builder(FontDescriptor& out) : out_(out) { out_ = FontDescriptor{}; }

  // What the reasons name: a line of the text form, or an element and its
  // number in its list (0 for those that come once).
  std::string_view label;
  std::size_t number = 0;

  std::string why;

  bool Fail(const std::string& reason) {
    if (label.empty()) {
      why = reason;
    } else {
      why = std::string(label) + (number ? " " + std::to_string(number) : std::string()) + ": " + reason;
    }
    return false;
  }

  bool Info(const ReadTag& t) {
    long long size = 0, bold = 0, italic = 0;
    if (!Str(t, "face", out_.face) || !Int(t, "size", -MaxCoordinate, MaxCoordinate, size) ||
        !Int(t, "bold", -MaxCoordinate, MaxCoordinate, bold) ||
        !Int(t, "italic", -MaxCoordinate, MaxCoordinate, italic)) {
      return false;
    }
    out_.size = static_cast<int>(size < 0 ? -size : size);
    out_.bold = bold != 0;
    out_.italic = italic != 0;
    return true;
  }

  bool Common(const ReadTag& t) {
    long long line = 0, base = 0, w = 0, h = 0, pages = 1;
    // A line and an image have no negative size.
    if (!Int(t, "lineHeight", 0, MaxCoordinate, line) ||
        !Int(t, "base", -MaxCoordinate, MaxCoordinate, base) ||
        !Int(t, "scaleW", 0, MaxCoordinate, w) ||
        !Int(t, "scaleH", 0, MaxCoordinate, h) ||
        !Int(t, "pages", -MaxCoordinate, MaxCoordinate, pages)) {
      return false;
    }
    if (pages != 1) return Fail("pages=" + std::to_string(pages) + ": only one page is read");
    out_.lineHeight = static_cast<int>(line);
    out_.base = static_cast<int>(base);
    out_.scaleW = static_cast<int>(w);
    out_.scaleH = static_cast<int>(h);
    common_ = true;
    return true;
  }

  bool Page(const ReadTag& t) {
    if (++pages_ > 1) return Fail("more than one page");
    long long id = 0;
    if (!Int(t, "id", -MaxCoordinate, MaxCoordinate, id) || !Str(t, "file", out_.pageFile)) return false;
    if (id != 0) return Fail("page id=" + std::to_string(id) + ": only page 0 is read");
    return true;
  }

  bool Char(const ReadTag& t) {
    if (out_.glyphs.size() == DescriptorMaxGlyphs) {
      return Fail("more than " + std::to_string(DescriptorMaxGlyphs) + " characters");
    }
    long long v[9] = {};
    static constexpr std::string_view keys[9] = {"id",      "x",       "y",        "width", "height",
                                                 "xoffset", "yoffset", "xadvance", "page"};
    for (int i = 0; i < 9; ++i) {
      if (!Int(t, keys[i], i == 0 ? 0 : -MaxCoordinate, i == 0 ? MaxCodePoint : MaxCoordinate, v[i])) return false;
    }
    if (v[3] < 0 || v[4] < 0) return Fail("negative width or height");
    if (v[8] != 0) return Fail("a character on page " + std::to_string(v[8]) + ": only page 0 is read");
    const auto n = [&](int i) { return static_cast<int>(v[i]); };
    out_.glyphs.push_back({static_cast<char32_t>(v[0]), n(1), n(2), n(3), n(4), n(5), n(6), n(7)});
    return true;
  }

  bool Kerning(const ReadTag& t) {
    if (out_.kernings.size() == DescriptorMaxKernings) {
      return Fail("more than " + std::to_string(DescriptorMaxKernings) + " kernings");
    }
    long long first = 0, second = 0, amount = 0;
    if (!Int(t, "first", 0, MaxCodePoint, first) || !Int(t, "second", 0, MaxCodePoint, second) ||
        !Int(t, "amount", -MaxCoordinate, MaxCoordinate, amount)) {
      return false;
    }
    out_.kernings.push_back({static_cast<char32_t>(first), static_cast<char32_t>(second), static_cast<int>(amount)});
    return true;
  }

  bool Finish() {
    label = {};
    if (!common_) return Fail("no common tag");
    if (pages_ == 0) return Fail("no page");
    return true;
  }

 private:
  static const ReadField* Find(const ReadTag& t, std::string_view key) {
    for (const ReadField& f : t) {
      if (f.key == key) return &f;
    }
    return nullptr;
  }

  // Leaves `v` as it is when the key is absent.
  bool Int(const ReadTag& t, std::string_view key, long long lo, long long hi, long long& v) {
    const ReadField* f = Find(t, key);
    if (!f) return true;
    long long n = 0;
    const bool integer = (f->got == Got::Any || f->got == Got::Number) && StrictInt(f->value, n);
    if (integer && n >= lo && n <= hi) {
      v = n;
      return true;
    }
    const std::string shown = std::string(key) + "=" + CleanName(std::string_view(f->value).substr(0, 24));
    return Fail(shown + (integer ? " is out of range" : " is not an integer"));
  }

  bool Str(const ReadTag& t, std::string_view key, std::string& v) {
    const ReadField* f = Find(t, key);
    if (!f) return true;
    if (f->got != Got::Any && f->got != Got::String) return Fail(std::string(key) + " is not a string");
    v = CleanName(f->value);
    return true;
  }

  FontDescriptor& out_;
  bool common_ = false;
  int pages_ = 0;
};

using Handler = bool (Builder::*)(const ReadTag&);

// The tags XML and JSON hold once, and those they hold in lists.
struct Single {
  const char* name;
  Handler handler;
};
constexpr Single Singles[] = {{"info", &Builder::Info}, {"common", &Builder::Common}};
struct Listed {
  const char* group;
  const char* name;
  Handler handler;
};
constexpr Listed Lists[] = {
    {"pages", "page", &Builder::Page}, {"chars", "char", &Builder::Char}, {"kernings", "kerning", &Builder::Kerning}};

// A text line's tag, by the same tables; "chars" and "kernings" only count what follows.
Handler HandlerOf(std::string_view name) {
  for (const Single& s : Singles) {
    if (name == s.name) return s.handler;
  }
  for (const Listed& l : Lists) {
    if (name == l.name) return l.handler;
  }
  return nullptr;
}

bool ReadText(std::string_view bytes, Builder& b) {
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
    const Handler handler = HandlerOf(line.substr(i, k - i));
    if (!handler) continue;
    tag.clear();
    for (i = k;; ) {
      while (i < line.size() && blank(line[i])) ++i;
      if (i == line.size()) break;
      k = i;
      while (k < line.size() && line[k] != '=' && !blank(line[k])) ++k;
      const std::string_view key = line.substr(i, k - i);
      if (k == line.size() || line[k] != '=') return b.Fail(CleanName(key.substr(0, 24)) + " has no value");
      std::size_t from = ++k, to = 0;
      if (k < line.size() && line[k] == '"') {
        from = k + 1;
        to = line.find('"', from);
        if (to == std::string_view::npos) return b.Fail(CleanName(key.substr(0, 24)) + " has no closing quote");
        i = to + 1;
      } else {
        while (k < line.size() && !blank(line[k])) ++k;
        to = i = k;
      }
      // No tag of the format has near this many fields: a longer line is no descriptor's.
      if (tag.size() == MaxFieldsPerTag) return b.Fail("more than " + std::to_string(MaxFieldsPerTag) + " fields on a line");
      tag.push_back({key, std::string(line.substr(from, to - from)), Got::Any});
    }
    if (!(b.*handler)(tag)) return false;
  }
  return b.Finish();
}

bool ReadXml(std::string_view bytes, Builder& b) {
  // Every element takes a node in memory: no more than the glyphs and kernings allowed, and a few.
  if (static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '<')) > MaxNodes) {
    return b.Fail("too many XML elements");
  }
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed =
      doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    return b.Fail(std::string("malformed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset));
  }
  const pugi::xml_node font = doc.child("font");
  if (!font) return b.Fail("no <font> element");
  ReadTag tag;
  const auto run = [&](pugi::xml_node node, Handler handler) {
    tag.clear();
    for (const pugi::xml_attribute a : node.attributes()) tag.push_back({a.name(), a.value(), Got::Any});
    b.label = node.name();
    return (b.*handler)(tag);
  };
  for (const Single& single : Singles) {
    b.number = 0;
    if (const pugi::xml_node node = font.child(single.name); node && !run(node, single.handler)) return false;
  }
  for (const Listed& listed : Lists) {
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

// nlohmann's parser and the tree it builds recurse, so a hostile file could
// exhaust the stack: nesting is refused before parsing, as are more objects
// than the characters and kernings allowed (each would be a tree of its own).
bool JsonShapeOk(std::string_view s, Builder& b) {
  int depth = 0;
  std::size_t objects = 0, values = 0;
  bool inString = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > 32) return b.Fail("JSON nested deeper than 32");
      if (c == '{' && ++objects > DescriptorMaxGlyphs + DescriptorMaxKernings + 8) {
        return b.Fail("too many JSON objects");
      }
    } else if (c == '}' || c == ']') {
      --depth;
    }
    // Each value takes a node: a comma parts two, a bracket opens one.
    if (!inString && (c == ',' || c == '[' || c == '{') && ++values > MaxJsonValues) {
      return b.Fail("too many JSON values");
    }
  }
  return true;
}

bool ReadJson(std::string_view bytes, Builder& b) {
  using nlohmann::json;
  if (!JsonShapeOk(bytes, b)) return false;
  const json root = json::parse(bytes.begin(), bytes.end(), nullptr, false);
  if (root.is_discarded()) return b.Fail("malformed JSON");
  if (!root.is_object()) return b.Fail("JSON is not an object");
  ReadTag tag;
  const auto run = [&](const json& value, Handler handler) {
    if (!value.is_object()) return b.Fail("not an object");
    tag.clear();
    for (auto it = value.begin(); it != value.end(); ++it) {
      const json& v = it.value();
      ReadField& f = tag.emplace_back(ReadField{it.key(), {}, Got::Other});
      if (v.is_string()) {
        f.value = v.get_ref<const std::string&>();
        f.got = Got::String;
      } else if (v.is_number_unsigned()) {
        f.value = std::to_string(v.get<std::uint64_t>());
        f.got = Got::Number;
      } else if (v.is_number_integer()) {
        f.value = std::to_string(v.get<std::int64_t>());
        f.got = Got::Number;
      } else if (!v.is_structured()) {
        f.value = v.dump();
      }
    }
    return (b.*handler)(tag);
  };
  const auto member = [&](const char* name) -> const json* {
    const auto it = root.find(name);
    return it == root.end() ? nullptr : &*it;
  };
  for (const Single& single : Singles) {
    b.label = single.name;
    b.number = 0;
    if (const json* value = member(single.name); value && !run(*value, single.handler)) return false;
  }
  if (const json* pages = member("pages")) {
    b.label = "page";
    if (!pages->is_array()) return b.Fail("pages is not a list");
    b.number = 0;
    for (const json& file : *pages) {
      ++b.number;
      if (!file.is_string()) return b.Fail("not a file name");
      tag.clear();
      tag.push_back({"id", std::to_string(b.number - 1), Got::Number});
      tag.push_back({"file", file.get_ref<const std::string&>(), Got::String});
      if (!b.Page(tag)) return false;
    }
  }
  for (const Listed& listed : Lists) {
    const json* items = member(listed.group);
    if (listed.handler == &Builder::Page || !items) continue;  // pages are bare file names, read above
    b.label = listed.name;
    b.number = 0;
    if (!items->is_array()) return b.Fail(std::string(listed.group) + " is not a list");
    for (const json& item : *items) {
      ++b.number;
      if (!run(item, listed.handler)) return false;
    }
  }
  return b.Finish();
}

bool Read(std::string_view bytes, FontDescriptor& out, std::string& why) {
  Builder b(out);
  if (bytes.size() > DescriptorMaxBytes) {
    why = "larger than " + std::to_string(DescriptorMaxBytes) + " bytes";
    return false;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const std::size_t first = bytes.find_first_not_of(" \t\r\n");
  const char lead = first == std::string_view::npos ? '\0' : bytes[first];
  const bool ok = lead == '<' ? ReadXml(bytes, b) : lead == '{' ? ReadJson(bytes, b) : ReadText(bytes, b);
  if (!ok) why = b.why;
  return ok;
}

}  // namespace

std::string_view DescriptorExtension(DescriptorFormat format) {
  switch (format) {
    case DescriptorFormat::Text: return ".fnt";
    case DescriptorFormat::Xml: return ".xml";
    case DescriptorFormat::Json: return ".json";
  }
  return ".fnt";
}

std::string WriteDescriptor(const FontDescriptor& font, DescriptorFormat format) {
  const bool text = format == DescriptorFormat::Text;
  const std::string face = CleanName(font.face, text), file = CleanName(font.pageFile, text);
  const Tag info = InfoTag(font, face), common = CommonTag(font), page = {Num("id", 0), {"file", file, Kind::String}};
  const Tag chars = {Num("count", static_cast<long long>(font.glyphs.size()))};
  const Tag kernings = {Num("count", static_cast<long long>(font.kernings.size()))};
  std::string out;
  out.reserve(256 + 120 * font.glyphs.size() + 50 * font.kernings.size());
  if (text) {
    TextLine(out, "info", info);
    TextLine(out, "common", common);
    TextLine(out, "page", page);
    TextLine(out, "chars", chars);
    for (const DescriptorGlyph& g : font.glyphs) TextLine(out, "char", CharTag(g));
    TextLine(out, "kernings", kernings);
    for (const DescriptorKerning& k : font.kernings) TextLine(out, "kerning", KerningTag(k));
  } else if (format == DescriptorFormat::Xml) {
    out += "<?xml version=\"1.0\"?>\n<font>\n";
    XmlElement(out, 1, "info", info);
    XmlElement(out, 1, "common", common);
    out += "  <pages>\n";
    XmlElement(out, 2, "page", page);
    out += "  </pages>\n";
    XmlElement(out, 1, "chars", chars, false);
    for (const DescriptorGlyph& g : font.glyphs) XmlElement(out, 2, "char", CharTag(g));
    out += "  </chars>\n";
    XmlElement(out, 1, "kernings", kernings, false);
    for (const DescriptorKerning& k : font.kernings) XmlElement(out, 2, "kerning", KerningTag(k));
    out += "  </kernings>\n</font>\n";
  } else {
    out += "{\n  \"pages\": [";
    JsonString(out, file);
    out += "],\n";
    JsonArray(out, "chars", font.glyphs, CharTag, false);
    out += "  \"info\": ";
    JsonObject(out, info);
    out += ",\n  \"common\": ";
    JsonObject(out, common);
    out += ",\n";
    JsonArray(out, "kernings", font.kernings, KerningTag, true);
    out += "}\n";
  }
  return out;
}

bool ReadDescriptor(std::string_view bytes, FontDescriptor& out, std::string* why) {
  std::string reason;
  bool ok = false;
  try {
    ok = Read(bytes, out, reason);
  } catch (const std::bad_alloc&) {
    reason = "out of memory";
  } catch (const std::exception& e) {
    reason = std::string("unreadable: ") + e.what();
  } catch (...) {
    reason = "unreadable";
  }
  if (!ok && reason.empty()) reason = "unreadable";
  if (!ok && why) *why = reason;
  return ok;
}
