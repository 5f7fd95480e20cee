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

}  // namespace
