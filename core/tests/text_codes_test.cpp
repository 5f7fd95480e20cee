#include "core/text_codes.h"

#include <gtest/gtest.h>

namespace {

// Characters without a code, and each byte of a malformed sequence, become "?".
TEST(Utf8ToWindows1252, EachCharacterTakesItsCodeOrAQuestionMark) {
  for (const auto& [utf8, expected] : std::initializer_list<std::pair<std::string, std::string>>{
           {"caf\xC3\xA9", "caf\xE9"},                      // e-acute
           {"\xE2\x82\xAC\xE2\x80\x9Cq\xC5\xB8", "\x80\x93q\x9F"},  // euro, curly quote, Y-diaeresis
           {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},
           {"\xE6\x97\xA5\xF0\x9F\x98\x80x", "??x"},      // CJK, emoji
           {"\xC2\x81", "?"},                              // U+0081: the byte 0x81 means nothing here
           {"\xFF" "a\xC3", "?a?"},                         // not UTF-8, cut short
           {"\xC0\xAF\xED\xA0\x80", "?????"},               // overlong, surrogate
       }) {
    EXPECT_EQ(Utf8ToWindows1252(utf8), expected) << utf8;
  }
}

TEST(Windows1252ToUnicode, HighBytesTakeTheirCodePointsAndGapsNone) {
  for (const auto& [byte, code] : {std::pair<int, char32_t>{0x41, U'A'}, {0x80, U'\u20AC'}, {0x8A, U'\u0160'},
                                   {0x9F, U'\u0178'}, {0xA0, U'\u00A0'}, {0xFF, U'\u00FF'}, {0x81, 0},
                                   {0x8D, 0}, {0x8F, 0}, {0x90, 0}, {0x9D, 0}}) {
    EXPECT_EQ(Windows1252ToUnicode(static_cast<std::uint8_t>(byte)), code) << byte;
  }
}

TEST(Utf8Boundaries, CutsAndEndsNeverSplitACharacter) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC";  // a, e-acute, euro sign
  EXPECT_EQ(Utf8Prefix(text, 2), "a");
  EXPECT_EQ(Utf8Prefix(text, 3), "a\xC3\xA9");
  EXPECT_EQ(Utf8Prefix(text, 5), "a\xC3\xA9");
  EXPECT_EQ(Utf8Prefix(text, 99), text);
  EXPECT_EQ(LastUtf8Character(text), "\xE2\x82\xAC");
  EXPECT_EQ(FirstUtf8Character(text.substr(1)), "\xC3\xA9");
  EXPECT_EQ(LastUtf8Character("\x82\xAC"), "\x82\xAC");  // stray continuations stay whole
}

}  // namespace
