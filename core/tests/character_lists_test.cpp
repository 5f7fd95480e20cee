#include "core/character_lists.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "core/tests/test_files.h"

namespace {

// Distinct, in code-point order, controls and surrogates left out; anything
// else malformed, empty or too large is refused with a reason.
TEST(CharacterLists, RangesAndFilesGiveDistinctDrawableCharactersInOrder) {
  std::string why;
  EXPECT_EQ(ParseCharacterRanges("U+0043, 0x41-66,65", &why), U"ABC");
  EXPECT_EQ(ParseCharacterRanges("0-0x20,127-0xA0,0xD7FF-0xE000", &why), U" \u00A0\uD7FF\uE000");
  EXPECT_EQ(ParseCharacterRanges("32-126,0xA0-0xFF,0x400-0x44F", &why)->size(), 95u + 96 + 80);
  for (const char* bad : {"", "65,", "66-65", "0x110000", "A", "-5", "1-2-3", "0-31", "0-0x10FFFF", "32,0-0x10FFFF,0-0x10FFFF,0-0x10FFFF"}) {
    why.clear();
    EXPECT_FALSE(ParseCharacterRanges(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
  TempFolder folder;
  const struct { std::string bytes; std::optional<std::u32string> characters; } files[] = {
      {"\xEF\xBB\xBFHi\tHo\n\xD0\x96\r\n", U"HioЖ"}, {"ok\xC3", std::nullopt}, {"\n\n", std::nullopt},
      {std::string(MaxCharactersFileBytes + 1, 'a'), std::nullopt}};
  for (const auto& f : files) {
    std::ofstream(folder / "t.txt", std::ios::binary) << f.bytes;
    EXPECT_EQ(ReadCharactersFile((folder / "t.txt").c_str(), &why), f.characters) << f.bytes.substr(0, 10);
  }
  ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);  // no writer: refused at once, never waited on
  for (const auto& [path, reason] : {std::pair{folder.path, "Is a directory"}, {folder / "fifo", "not a regular file"}}) {
    EXPECT_TRUE(!ReadCharactersFile(path.c_str(), &why) && why == reason) << path << ": " << why;
  }
}

}  // namespace
