#include "core/text_codes.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8ToWindows1252, KnownCharactersTakeTheirSingleByteCode) {
  struct Case {
    const char* utf8;
    std::string expected;
  };
  const Case cases[] = {
      {"Play", "Play"},
      {"caf\xC3\xA9", "caf\xE9"},              // é
      {"\xE2\x82\xAC" "5", "\x80" "5"},        // €
      {"\xE2\x80\x9Cq\xE2\x80\x9D", "\x93q\x94"},  // curly quotes
      {"\xC5\xB8", "\x9F"},                    // Ÿ
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.expected) << c.utf8;
}

TEST(Utf8ToWindows1252, CharactersWithoutACodeAndMalformedBytesBecomeQuestionMarks) {
  struct Case {
    std::string utf8;
    std::string expected;
  };
  const Case cases[] = {
      {"\xE6\x97\xA5", "?"},          // a CJK character
      {"\xF0\x9F\x98\x80x", "?x"},    // an emoji
      {"\xC2\x81", "?"},              // U+0081: the byte 0x81 means nothing here
      {"\xFF" "a", "?a"},             // not UTF-8 at all
      {"\xC3", "?"},                  // cut short
      {"\xC0\xAF", "??"},             // overlong
      {"\xED\xA0\x80", "???"},        // a surrogate
      {"\xE2\x82", "??"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.expected);
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
