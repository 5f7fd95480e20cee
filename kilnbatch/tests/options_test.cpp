#include "kilnbatch/options.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseValues, ColoursAreSixHexDigitsRedFirstAndNumbersWholeAndInRange) {
  EXPECT_EQ(ParseColour("FF8000"), 0x000080FFu);
  EXPECT_EQ(ParseColour("#0a0B0c"), 0x000C0B0Au);
  for (const char* bad : {"", "#", "FFF", "FF80001", "GG0000", "-12345", "#+1234", "12 345"}) EXPECT_FALSE(ParseColour(bad)) << bad;
  EXPECT_EQ(ParseInt("-20", -20, 20), -20);
  EXPECT_EQ(ParseInt("+7", 1, 10), 7);
  for (const char* bad : {"", "21", "-21", "3x", "1.5", " 4", "99999999999"}) EXPECT_FALSE(ParseInt(bad, -20, 20)) << bad;
  EXPECT_EQ(ParsePair("-3,5", -20, 20), std::make_pair(-3, 5));
  EXPECT_FALSE(ParsePair("3", -20, 20) || ParsePair("3,", -20, 20));
}

TEST(ParseOptions, ValuesFollowOrJoinTheirOptionAndFlagsTakeNone) {
  const char* args[] = {"--size", "12", "--offset=-3,4", "--bold", "file", "--size", "14"};
  const ParsedOptions p =
      ParseOptions(7, const_cast<char**>(args), {{"--size", true}, {"--offset", true}, {"--bold", false}});
  EXPECT_TRUE(p.error.empty());
  EXPECT_EQ(p.Value("--size"), "14");
  EXPECT_EQ(p.Value("--offset"), "-3,4");
  EXPECT_TRUE(p.Has("--bold"));
  EXPECT_EQ(p.positional, std::vector<std::string>{"file"});

  const char* dangling[] = {"--size"};
  EXPECT_FALSE(ParseOptions(1, const_cast<char**>(dangling), {{"--size", true}}).error.empty());
  const char* flagValue[] = {"--bold=1"};
  EXPECT_FALSE(ParseOptions(1, const_cast<char**>(flagValue), {{"--bold", false}}).error.empty());
}

}  // namespace
