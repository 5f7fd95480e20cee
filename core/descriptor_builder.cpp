// The checks every form's reader shares: a tag's fields, as key and value
// texts, become the descriptor's numbers and names or a reason for refusal.
#include "core/descriptor_tags.h"

#include <algorithm>
#include <string>

namespace {

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

const ReadField* Find(const ReadTag& t, std::string_view key) {
  for (const ReadField& f : t) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

}  // namespace

bool DescriptorBuilder::Fail(const std::string& reason) {
  if (label.empty()) {
    why = reason;
  } else {
    why = std::string(label) + (number ? " " + std::to_string(number) : std::string()) + ": " + reason;
  }
  return false;
}

bool DescriptorBuilder::Info(const ReadTag& t) {
  long long size = 0, bold = 0, italic = 0;
  if (!Str(t, "face", out_.face) || !Int(t, "size", -MaxCoordinate, MaxCoordinate, size) ||
      !Int(t, "bold", -MaxCoordinate, MaxCoordinate, bold) ||
      !Int(t, "italic", -MaxCoordinate, MaxCoordinate, italic)) {
    return false;
  }
  long long outline = 0, spread = out_.sdfSpread;
  if (!Ints(t, "padding", -MaxCoordinate, MaxCoordinate, out_.padding) ||
      !Ints(t, "spacing", -MaxCoordinate, MaxCoordinate, out_.spacing) ||
      !Int(t, "outline", -MaxCoordinate, MaxCoordinate, outline) || !Int(t, "sdf", 0, MaxCoordinate / 2, spread)) {
    return false;
  }
  out_.outline = static_cast<int>(outline);
  out_.sdfSpread = static_cast<int>(spread);
  out_.size = static_cast<int>(size < 0 ? -size : size);
  out_.bold = bold != 0;
  out_.italic = italic != 0;
  return true;
}

bool DescriptorBuilder::Common(const ReadTag& t) {
  long long line = 0, base = 0, w = 0, h = 0, pages = 1;
  // A line and an image have no negative size.
  if (!Int(t, "lineHeight", 0, MaxCoordinate, line) || !Int(t, "base", -MaxCoordinate, MaxCoordinate, base) ||
      !Int(t, "scaleW", 0, MaxCoordinate, w) || !Int(t, "scaleH", 0, MaxCoordinate, h) ||
      !Int(t, "pages", -MaxCoordinate, MaxCoordinate, pages)) {
    return false;
  }
  if (pages < 1 || pages > static_cast<long long>(DescriptorMaxPages)) {
    return Fail("pages=" + std::to_string(pages) + ": 1 to " + std::to_string(DescriptorMaxPages) + " are read");
  }
  pagesDeclared_ = pages;
  out_.lineHeight = static_cast<int>(line);
  out_.base = static_cast<int>(base);
  out_.scaleW = static_cast<int>(w);
  out_.scaleH = static_cast<int>(h);
  common_ = true;
  return true;
}

bool DescriptorBuilder::Page(const ReadTag& t) {
  long long id = 0;
  std::string file;
  if (!Int(t, "id", -MaxCoordinate, MaxCoordinate, id) || !Str(t, "file", file)) return false;
  if (id < 0 || id >= static_cast<long long>(DescriptorMaxPages)) {
    return Fail("page id=" + std::to_string(id) + ": ids 0 to " + std::to_string(DescriptorMaxPages - 1) + " are read");
  }
  const auto at = static_cast<std::size_t>(id);
  if (at >= out_.pages.size()) out_.pages.resize(at + 1), pageNamed_.resize(at + 1);
  if (pageNamed_[at]) return Fail("page id=" + std::to_string(id) + " named twice");
  pageNamed_[at] = true;
  out_.pages[at] = std::move(file);
  return true;
}

bool DescriptorBuilder::Char(const ReadTag& t) {
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
  if (v[8] < 0 || v[8] >= static_cast<long long>(DescriptorMaxPages)) return Fail("page=" + std::to_string(v[8]) + " is out of range");
  const auto n = [&](int i) { return static_cast<int>(v[i]); };
  out_.glyphs.push_back({static_cast<char32_t>(v[0]), n(1), n(2), n(3), n(4), n(5), n(6), n(7), n(8)});
  return true;
}

bool DescriptorBuilder::Kerning(const ReadTag& t) {
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

// Fields of another kind (several channels, a true distance) would be
// misread as this one, so they are refused rather than skipped.
bool DescriptorBuilder::DistanceField(const ReadTag& t) {
  std::string type = "sdf";
  long long range = 0;
  if (!Str(t, "fieldType", type) || !Int(t, "distanceRange", 0, MaxCoordinate, range)) return false;
  if (type != "sdf") return Fail("fieldType \"" + CleanDescriptorName(std::string_view(type).substr(0, 24)) + "\": only \"sdf\" is read");
  if (range % 2 != 0) return Fail("distanceRange=" + std::to_string(range) + " is not twice a whole spread");
  out_.sdfSpread = static_cast<int>(range / 2);
  return true;
}

bool DescriptorBuilder::Finish() {
  label = {};
  if (!common_) return Fail("no common tag");
  if (out_.pages.empty()) return Fail("no page");
  // Every page the common tag counts is named, and no more; the characters
  // may come before the pages in JSON, so their pages are checked here.
  if (static_cast<long long>(out_.pages.size()) != pagesDeclared_ ||
      std::find(pageNamed_.begin(), pageNamed_.end(), false) != pageNamed_.end()) {
    // A gap leaves unnamed pages: the count is of those named, so a lone high id is not taken for many pages.
    const auto named = std::count(pageNamed_.begin(), pageNamed_.end(), true);
    return Fail("pages=" + std::to_string(pagesDeclared_) + " but pages " + std::to_string(named) + " named, id " +
                std::to_string(out_.pages.size() - 1) + " the highest; ids 0 to pages - 1 each once");
  }
  for (const DescriptorGlyph& g : out_.glyphs) {
    if (g.page >= static_cast<int>(out_.pages.size())) {
      return Fail("a character on page " + std::to_string(g.page) + ", past the last page");
    }
  }
  return true;
}

// Leaves `v` as it is when the key is absent.
bool DescriptorBuilder::Int(const ReadTag& t, std::string_view key, long long lo, long long hi, long long& v) {
  const ReadField* f = Find(t, key);
  if (!f) return true;
  long long n = 0;
  const bool integer = (f->got == FieldGot::Any || f->got == FieldGot::Number) && StrictInt(f->value, n);
  if (integer && n >= lo && n <= hi) {
    v = n;
    return true;
  }
  const std::string shown = std::string(key) + "=" + CleanDescriptorName(std::string_view(f->value).substr(0, 24));
  return Fail(shown + (integer ? " is out of range" : " is not an integer"));
}

// "1,2" (a JSON list of numbers comes as that too), exactly as many as `v`
// holds; `v` stays as it is when the key is absent.
bool DescriptorBuilder::Ints(const ReadTag& t, std::string_view key, long long lo, long long hi, std::span<int> v) {
  const ReadField* f = Find(t, key);
  if (!f) return true;
  std::string_view rest = f->value;
  std::size_t i = 0;
  bool ok = f->got == FieldGot::Any || f->got == FieldGot::List;
  for (; ok && i < v.size(); ++i) {
    const std::size_t comma = rest.find(',');
    long long n = 0;
    ok = StrictInt(rest.substr(0, comma), n) && n >= lo && n <= hi && (comma == std::string_view::npos) == (i + 1 == v.size());
    v[i] = static_cast<int>(n);
    rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
  }
  if (ok) return true;
  return Fail(std::string(key) + "=" + CleanDescriptorName(std::string_view(f->value).substr(0, 24)) + " is not " +
              std::to_string(v.size()) + " integers in range");
}

bool DescriptorBuilder::Str(const ReadTag& t, std::string_view key, std::string& v) {
  const ReadField* f = Find(t, key);
  if (!f) return true;
  if (f->got != FieldGot::Any && f->got != FieldGot::String) return Fail(std::string(key) + " is not a string");
  v = CleanDescriptorName(f->value);
  return true;
}
