// The JSON form, through nlohmann/json: an object holding "pages" (the bare
// file names), the lists "chars" and "kernings" and the objects "info" and
// "common". Written an object a line; read through the SAX interface, so no
// tree of the file is ever held, only the one tag being read.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "core/descriptor_tags.h"

namespace {

using nlohmann::ordered_json;

// Compact, as one line of the file; names are clean already, and a stray byte
// would become U+FFFD rather than throw.
std::string Dump(const ordered_json& value) {
  return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

ordered_json Object(const WriteTag& tag) {
  ordered_json object = ordered_json::object();
  for (const WriteField& f : tag) {
    ordered_json& value = object[f.key];
    if (f.kind == FieldKind::Number) {
      value = f.number;
    } else if (f.kind == FieldKind::String) {
      value = std::string(f.text);
    } else {
      value = ordered_json::array();
      for (const int v : f.list) value.push_back(v);
    }
  }
  return object;
}

template <typename T, typename MakeTag>
void Array(std::string& out, std::string_view name, const std::vector<T>& items, MakeTag make, bool last) {
  out.append("  ").append(Dump(std::string(name))).append(": [");
  for (const T& item : items) {
    out.append(&item == &items.front() ? "\n    " : ",\n    ").append(Dump(Object(make(item))));
  }
  out.append(items.empty() ? "]" : "\n  ]").append(last ? "\n" : ",\n");
}

// Longer than any list of numbers the format has.
constexpr std::size_t MaxListText = 256;

// What the top-level member being read holds.
enum class Member { Single, Pages, List, Skipped };

// Hands each tag to the builder as its object closes. Depth 1 is the file's
// object, 2 a member's value, 3 an item of a member's list; a tag's fields
// are the scalars at its own depth, and a list or object in a field is
// neither number nor string. A refusal stops the parser with `b.why` set.
class TagReader {
 public:
  explicit TagReader(DescriptorBuilder& b) : b_(b) {}

  bool null() { return Scalar("null", FieldGot::Other); }
  bool boolean(bool v) { return Scalar(v ? "true" : "false", FieldGot::Other); }
  bool number_integer(std::int64_t v) { return Scalar(std::to_string(v), FieldGot::Number); }
  bool number_unsigned(std::uint64_t v) { return Scalar(std::to_string(v), FieldGot::Number); }
  bool number_float(double, const std::string& text) { return Scalar(text, FieldGot::Other); }
  bool string(std::string& v) { return Scalar(std::move(v), FieldGot::String); }
  bool binary(ordered_json::binary_t&) { return Scalar("", FieldGot::Other); }
  bool start_object(std::size_t) { return Open(true); }
  bool start_array(std::size_t) { return Open(false); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(std::string& k) {
    if (depth_ == 1) {
      Enter(k);
    } else if (depth_ == tagDepth_) {
      if (tag_.size() == DescriptorMaxFieldsPerTag) {
        return b_.Fail("more than " + std::to_string(DescriptorMaxFieldsPerTag) + " fields");
      }
      tag_.push_back({std::move(k), {}, FieldGot::Other});
    }
    return true;
  }

  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
    b_.label = {};
    return b_.Fail("malformed JSON near byte " + std::to_string(position));
  }

 private:
  void Enter(const std::string& k) {
    member_ = Member::Skipped;
    b_.label = {};
    b_.number = 0;
    for (const SingleTag& s : SingleTags) {
      if (k == s.name) member_ = Member::Single, handler_ = s.handler, b_.label = s.name;
    }
    for (const ListedTag& l : ListedTags) {
      if (k != l.group) continue;
      member_ = l.handler == &DescriptorBuilder::Page ? Member::Pages : Member::List;
      handler_ = l.handler, b_.label = l.name, group_ = l.group;
    }
  }

  bool NotAList() { return b_.Fail(std::string(group_) + " is not a list"); }

  bool Open(bool object) {
    if (++depth_ > DescriptorMaxJsonDepth) {
      return b_.Fail("JSON nested deeper than " + std::to_string(DescriptorMaxJsonDepth));
    }
    if (tagDepth_ != 0) {
      // A list of numbers in a field is read as "1,2"; anything deeper is no field's value.
      if (depth_ == tagDepth_ + 1 && !object) {
        tag_.back().got = FieldGot::List;
      } else if (depth_ > tagDepth_) {
        tag_.back().got = FieldGot::Other;
      }
      return true;
    }
    if (depth_ == 1 || member_ == Member::Skipped) return true;
    if (depth_ == 2 && member_ == Member::Single) return object ? StartTag() : b_.Fail("not an object");
    if (depth_ == 2) return object ? NotAList() : true;
    ++b_.number;
    if (member_ == Member::Pages) return b_.Fail("not a file name");
    return object ? StartTag() : b_.Fail("not an object");
  }

  bool StartTag() {
    tagDepth_ = depth_;
    tag_.clear();
    return true;
  }

  bool Close() {
    if (depth_-- != tagDepth_) return true;
    tagDepth_ = 0;
    return (b_.*handler_)(tag_);
  }

  bool Scalar(std::string value, FieldGot got) {
    if (tagDepth_ != 0) {
      ReadField& field = tag_.back();
      if (depth_ == tagDepth_) {
        field.value = std::move(value), field.got = got;
      } else if (depth_ == tagDepth_ + 1 && field.got == FieldGot::List && got == FieldGot::Number &&
                 field.value.size() < MaxListText) {
        field.value.append(field.value.empty() ? "" : ",").append(value);
      } else {
        field.got = FieldGot::Other;
      }
      return true;
    }
    if (member_ == Member::Skipped) return true;
    if (depth_ == 1) return member_ == Member::Single ? b_.Fail("not an object") : NotAList();
    ++b_.number;
    if (member_ == Member::List) return b_.Fail("not an object");
    if (got != FieldGot::String) return b_.Fail("not a file name");
    return b_.Page({{"id", std::to_string(b_.number - 1), FieldGot::Number}, {"file", std::move(value), got}});
  }

  DescriptorBuilder& b_;
  int depth_ = 0;
  int tagDepth_ = 0;  // of the tag being read, 0 outside one
  Member member_ = Member::Skipped;
  TagHandler handler_ = nullptr;
  const char* group_ = "";
  ReadTag tag_;
};

}  // namespace

std::string WriteJsonDescriptor(const FontDescriptor& font) {
  const std::string face = CleanDescriptorName(font.face);
  ordered_json pages = ordered_json::array();
  for (const std::string& page : font.pages) pages.push_back(CleanDescriptorName(page));
  std::string out;
  out.reserve(256 + 110 * font.glyphs.size() + 50 * font.kernings.size());
  out.append("{\n  \"pages\": ").append(Dump(pages)).append(",\n");
  Array(out, "chars", font.glyphs, CharTag, false);
  out.append("  \"info\": ").append(Dump(Object(InfoTag(font, face, false)))).append(",\n");
  out.append("  \"common\": ").append(Dump(Object(CommonTag(font)))).append(",\n");
  if (font.sdfSpread > 0) out.append("  \"distanceField\": ").append(Dump(Object(DistanceFieldTag(font)))).append(",\n");
  Array(out, "kernings", font.kernings, KerningTag, true);
  out += "}\n";
  return out;
}

bool ReadJsonDescriptor(std::string_view bytes, DescriptorBuilder& b) {
  TagReader reader(b);
  return ordered_json::sax_parse(bytes.begin(), bytes.end(), &reader) && b.Finish();
}
