// What the descriptor's three forms share: the tags and their fields in the
// order every form writes them, the builder that checks the tags a reader
// finds, and each form's reader and writer. Private to core/.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/font_descriptor.h"

// Control characters become spaces and stray bytes U+FFFD, so that every form
// can carry a name (XML has no way to hold most control characters, JSON
// readers refuse what is not UTF-8) and reading it back gives the same bytes.
// The text form has no escapes at all, so there `quoteToo` also turns '"',
// which would end the value, into a space.
std::string CleanDescriptorName(std::string_view s, bool quoteToo = false);

// ---- writing

enum class FieldKind { Number, String, List };  // List: "0,0" in text and XML, [0,0] in JSON
struct WriteField {
  const char* key;
  FieldKind kind = FieldKind::Number;
  long long number = 0;
  std::string_view text;       // a String's value
  std::span<const int> list;   // a List's values
};
using WriteTag = std::vector<WriteField>;

// `face` and `file` are the names as the form spells them; `withField`
// adds `sdf` for a distance field's descriptor.
WriteTag InfoTag(const FontDescriptor& f, std::string_view face, bool withField);
// The JSON form's "distanceField" object.
WriteTag DistanceFieldTag(const FontDescriptor& f);
WriteTag CommonTag(const FontDescriptor& f);
WriteTag PageTag(std::size_t id, std::string_view file);
WriteTag CountTag(std::size_t count);
WriteTag CharTag(const DescriptorGlyph& g);
WriteTag KerningTag(const DescriptorKerning& k);

// A Number's or a List's value as text and XML spell it.
std::string FieldText(const WriteField& f);

// ---- reading: each form turns a tag into key and value texts; the builder
// checks them and fills the descriptor.

// Any: text and XML, whose values are all text; List: a JSON list of numbers, as "1,2".
enum class FieldGot { Any, String, Number, List, Other };
struct ReadField {
  std::string key;
  std::string value;
  FieldGot got = FieldGot::Any;
};
using ReadTag = std::vector<ReadField>;

class DescriptorBuilder {
 public:
  explicit DescriptorBuilder(FontDescriptor& out) : out_(out) { out_ = FontDescriptor{}; }

  // What the reasons name: a line of the text form, or an element and its
  // number in its list (0 for those that come once).
  std::string_view label;
  std::size_t number = 0;

  std::string why;

  bool Fail(const std::string& reason);

  bool Info(const ReadTag& t);
  bool Common(const ReadTag& t);
  bool Page(const ReadTag& t);
  bool Char(const ReadTag& t);
  bool Kerning(const ReadTag& t);
  bool DistanceField(const ReadTag& t);
  // Every descriptor has a common tag and a page.
  bool Finish();

 private:
  bool Int(const ReadTag& t, std::string_view key, long long lo, long long hi, long long& v);
  bool Ints(const ReadTag& t, std::string_view key, long long lo, long long hi, std::span<int> v);
  bool Str(const ReadTag& t, std::string_view key, std::string& v);

  FontDescriptor& out_;
  bool common_ = false;
  long long pagesDeclared_ = 1;
  std::vector<bool> pageNamed_;
};

using TagHandler = bool (DescriptorBuilder::*)(const ReadTag&);

// The tags XML and JSON hold once, and those they hold in lists.
struct SingleTag {
  const char* name;
  TagHandler handler;
};
inline constexpr SingleTag SingleTags[] = {{"info", &DescriptorBuilder::Info},
                                           {"common", &DescriptorBuilder::Common},
                                           {"distanceField", &DescriptorBuilder::DistanceField}};
struct ListedTag {
  const char* group;
  const char* name;
  TagHandler handler;
};
inline constexpr ListedTag ListedTags[] = {{"pages", "page", &DescriptorBuilder::Page},
                                           {"chars", "char", &DescriptorBuilder::Char},
                                           {"kernings", "kerning", &DescriptorBuilder::Kerning}};

// ---- the forms. A reader fails through the builder, so `b.why` says why.

std::string WriteTextDescriptor(const FontDescriptor& font);
std::string WriteXmlDescriptor(const FontDescriptor& font);
std::string WriteJsonDescriptor(const FontDescriptor& font);
bool ReadTextDescriptor(std::string_view bytes, DescriptorBuilder& b);
bool ReadXmlDescriptor(std::string_view bytes, DescriptorBuilder& b);
bool ReadJsonDescriptor(std::string_view bytes, DescriptorBuilder& b);
