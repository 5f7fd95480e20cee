#include "core/character_lists.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/text_codes.h"
#include "core/bounded_file.h"

namespace {

constexpr char32_t LastCodePoint = 0x10FFFF;

bool Drawable(char32_t c) {
  return c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && !(c >= 0xD800 && c <= 0xDFFF) && c <= LastCodePoint;
}

// The characters marked in `wanted`, in order, or why there are none or too many.
std::optional<std::u32string> Collect(const std::vector<bool>& wanted, std::string* why) {
  std::u32string out;
  for (char32_t c = 0; c <= LastCodePoint; ++c) {
    if (!wanted[c] || !Drawable(c)) continue;
    if (out.size() == MaxSheetCharacters) {
      *why = "more than " + std::to_string(MaxSheetCharacters) + " characters";
      return std::nullopt;
    }
    out += c;
  }
  if (out.empty()) {
    *why = "no character a sheet can draw (controls and surrogates are left out)";
    return std::nullopt;
  }
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<char32_t> ParseCodePoint(std::string_view text) {
  text = Trim(text);
  int base = 10;
  if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X" || text.substr(0, 2) == "U+" ||
                          text.substr(0, 2) == "u+")) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > LastCodePoint) {
    return std::nullopt;
  }
  return static_cast<char32_t>(value);
}

}  // namespace

std::optional<std::u32string> ParseCharacterRanges(std::string_view ranges, std::string* why) {
  std::vector<bool> wanted(LastCodePoint + 1, false);
  std::uint64_t named = 0;  // code points the ranges name, overlaps counted again
  for (std::size_t at = 0; at <= ranges.size();) {
    const std::size_t comma = std::min(ranges.find(',', at), ranges.size());
    const std::string_view item = ranges.substr(at, comma - at);
    at = comma + 1;
    // A dash after the first character parts a range.
    const std::size_t dash = item.find('-', 1);
    const auto first = ParseCodePoint(item.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : ParseCodePoint(item.substr(dash + 1));
    if (!first || !last || *last < *first) {
      *why = "'" + std::string(Trim(item)) + "' is no code point from 0 to 0x10FFFF nor a range FIRST-LAST of them";
      return std::nullopt;
    }
    // Past twice every code point, repeated ranges only make the command line slow.
    if ((named += *last - *first + 1) > 2ull * (LastCodePoint + 1)) {
      *why = "the ranges name the code points more than twice over";
      return std::nullopt;
    }
    for (char32_t c = *first; c <= *last; ++c) wanted[c] = true;
  }
  return Collect(wanted, why);
}

std::optional<std::u32string> ReadCharactersFile(const char* path, std::string* why) {
  std::string text;
  if (!ReadBoundedFile(path, MaxCharactersFileBytes, text, why)) return std::nullopt;
  std::u32string decoded;
  if (std::size_t bad = 0; !DecodeUtf8(text, decoded, &bad)) {
    *why = "not UTF-8 text (byte " + std::to_string(bad) + ")";
    return std::nullopt;
  }
  std::vector<bool> wanted(LastCodePoint + 1, false);
  for (std::size_t i = decoded.starts_with(U'\uFEFF') ? 1 : 0; i < decoded.size(); ++i) wanted[decoded[i]] = true;
  return Collect(wanted, why);
}

std::string CodePointNames(std::u32string_view characters) {
  std::string names;
  for (const char32_t c : characters) {
    char name[16];
    std::snprintf(name, sizeof name, " U+%04X", static_cast<unsigned>(c));
    names += name;
  }
  return names;
}
