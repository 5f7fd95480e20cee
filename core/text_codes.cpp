#include "core/text_codes.h"

#include <cassert>
#include <cstdint>

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 where the code page has none.
constexpr char32_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

std::size_t DecodeUtf8Character(std::string_view s, std::size_t at, char32_t& out) {
  const auto b0 = static_cast<std::uint8_t>(s[at]);
  std::size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (len == 0 || at + len > s.size()) return 0;
  char32_t c = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<std::uint8_t>(s[at + i]);
    if (!IsUtf8Continuation(static_cast<char>(b))) return 0;
    c = (c << 6) | (b & 0x3F);
  }
  static constexpr char32_t Smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < Smallest[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  out = c;
  return len;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    const std::size_t len = DecodeUtf8Character(utf8, at, c);
    const int byte = len ? Windows1252ByteOf(c) : -1;
    out += byte < 0 ? '?' : static_cast<char>(byte);
    at += len ? len : 1;
  }
  return out;
}

bool DecodeUtf8(std::string_view utf8, std::u32string& out, std::size_t* badAt) {
  out.clear();
  for (std::size_t at = 0; at < utf8.size();) {
    char32_t c = 0;
    const std::size_t len = DecodeUtf8Character(utf8, at, c);
    if (len == 0) {
      if (badAt) *badAt = at;
      return false;
    }
    out += c;
    at += len;
  }
  return true;
}

int Windows1252ByteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (int i = 0; i < 32; ++i) {
    if (HighControls[i] != 0 && HighControls[i] == c) return 0x80 + i;
  }
  return -1;
}

char32_t Windows1252ToUnicode(std::uint8_t code) {
  return code >= 0x80 && code <= 0x9F ? HighControls[code - 0x80] : char32_t{code};
}

void Windows1252ToUnicode(std::string_view codes, std::u32string& out) {
  out.resize(codes.size());
  for (std::size_t i = 0; i < codes.size(); ++i) out[i] = Windows1252ToUnicode(static_cast<std::uint8_t>(codes[i]));
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t cut = maxBytes;
  while (cut > 0 && IsUtf8Continuation(text[cut])) --cut;
  return text.substr(0, cut);
}

std::string_view FirstUtf8Character(std::string_view text) {
  assert(!text.empty());
  std::size_t length = 1;
  while (length < text.size() && IsUtf8Continuation(text[length])) ++length;
  return text.substr(0, length);
}

std::string_view LastUtf8Character(std::string_view text) {
  assert(!text.empty());
  std::size_t at = text.size() - 1;
  while (at > 0 && IsUtf8Continuation(text[at])) --at;
  return text.substr(at);
}
