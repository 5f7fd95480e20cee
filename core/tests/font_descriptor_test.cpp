#include "core/font_descriptor.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

constexpr std::array<DescriptorFormat, 3> Forms = {DescriptorFormat::Text, DescriptorFormat::Xml,
                                                   DescriptorFormat::Json};

FontDescriptor Tiny() {
  return {.face = "Tiny", .size = 12, .lineHeight = 14, .base = 11, .scaleW = 16, .scaleH = 16, .pageFile = "a.png",
          .glyphs = {{U'A', 1, 2, 5, 7, 0, -1, 6}}, .kernings = {{U'A', U'B', -1}}};
}

TEST(FontDescriptor, EveryFormReadsBackWhatItWrote) {
  const FontDescriptor f{.face = "Caf\xC3\xA9 \"Q\" & <R> 'n'", .size = 12, .bold = true, .lineHeight = 14, .base = 11,
                         .scaleW = 16, .scaleH = 16, .pageFile = "sheet & co.png",
                         .glyphs = {{U'A', 0, 0, 5, 7, -2, -3, 6}, {U'\u20AC', 5, 0, 0, 0, 0, 0, 4},
                                    {U'\U0001F600', 9, 8, 7, 6, -32767, 32767, -1}},
                         .kernings = {{U'A', U'V', -2}, {U'\u20AC', U'A', 3}}};
  for (const DescriptorFormat form : Forms) {
    FontDescriptor back;
    std::string why;
    ASSERT_TRUE(ReadDescriptor(WriteDescriptor(f, form), back, &why)) << DescriptorExtension(form) << ": " << why;
    FontDescriptor expected = f;
    if (form == DescriptorFormat::Text) expected.face = "Caf\xC3\xA9  Q  & <R> 'n'";  // no escapes there
    EXPECT_EQ(back, expected) << DescriptorExtension(form);
  }
}

TEST(FontDescriptor, TextFormSpellsEveryFieldInOrder) {
  EXPECT_EQ(WriteDescriptor(Tiny(), DescriptorFormat::Text),
            "info face=\"Tiny\" size=12 bold=0 italic=0 charset=\"\" unicode=1 stretchH=100 smooth=1 aa=1 "
            "padding=0,0,0,0 spacing=0,0 outline=0\n"
            "common lineHeight=14 base=11 scaleW=16 scaleH=16 pages=1 packed=0 alphaChnl=0 redChnl=0 "
            "greenChnl=0 blueChnl=0\n"
            "page id=0 file=\"a.png\"\n"
            "chars count=1\n"
            "char id=65 x=1 y=2 width=5 height=7 xoffset=0 yoffset=-1 xadvance=6 page=0 chnl=15\n"
            "kernings count=1\n"
            "kerning first=65 second=66 amount=-1\n");
}

// Files others write: CRLF, a negative size, tags and keys this reader has no use for, no bold.
TEST(FontDescriptor, TextFormTakesOthersSpellings) {
  FontDescriptor f;
  std::string why;
  ASSERT_TRUE(ReadDescriptor("info face=\"X Y\" size=-16 extra=\"a b\"\r\n\r\ncommon lineHeight=3 base=2\r\n"
                             "page id=0 file=\"p.png\"\r\nmystery a=1\r\nchar id=32 xadvance=+4\r\n",
                             f, &why))
      << why;
  EXPECT_EQ(f.face, "X Y");
  EXPECT_EQ(f.size, 16);
  EXPECT_FALSE(f.bold);
  ASSERT_EQ(f.glyphs.size(), 1u);
  EXPECT_EQ(f.glyphs[0].xadvance, 4);
}

// One change to Tiny() in each form's spelling; an empty `from` means the
// form cannot say it. `cut` drops everything after `to`.
struct Edit {
  std::string_view from, to, reason;
  bool cut = false;
};
struct Refusal {
  const char* what;
  std::array<Edit, 3> edits;  // text, XML, JSON
};

TEST(FontDescriptor, RefusesWhatItCannotHoldInEveryForm) {
  const std::string deep = std::string(40, '[') + std::string(40, ']');
  const std::string bomb = "\"pages\": [" + deep + ", ";
  std::string fields = "outline=0", elements = "<font>", values = "\"pages\": [";
  for (int i = 0; i < 64; ++i) fields += " a=1";
  for (std::size_t i = 0; i < DescriptorMaxGlyphs + DescriptorMaxKernings + 64; ++i) elements += "<a/>";
  for (std::size_t i = 0; i < DescriptorMaxGlyphs * 12 + DescriptorMaxKernings * 4 + 256; ++i) values += "0,";
  const Refusal cases[] = {
      {"more than a reader need hold", {{{"outline=0", fields, "more than 64 fields"}, {"<font>", elements, "too many XML"},
                                         {"\"pages\": [", values, "too many JSON values"}}}},
      {"negative line", {{{"lineHeight=", "lineHeight=-", "out of range"}, {"lineHeight=\"", "lineHeight=\"-", "out of range"},
                          {"\"lineHeight\":", "\"lineHeight\":-", "out of range"}}}},
      {"number too large", {{{"x=1 ", "x=32768 ", "out of range"}, {"x=\"1\"", "x=\"32768\"", "out of range"},
                             {"\"x\":1,", "\"x\":-40000,", "out of range"}}}},
      {"huge number", {{{"y=2", "y=99999999999999999999999", "out of range"},
                        {"y=\"2\"", "y=\"-99999999999999999\"", "out of range"},
                        {"\"y\":2", "\"y\":99999999999999999999999", "not an integer"}}}},
      {"code point past Unicode", {{{"id=65", "id=1114112", "out of range"},
                                    {"id=\"65\"", "id=\"1114112\"", "out of range"},
                                    {"\"id\":65", "\"id\":1114112", "out of range"}}}},
      {"not an integer", {{{"x=1 ", "x=1.0 ", "not an integer"}, {"x=\"1\"", "x=\"0x1\"", "not an integer"},
                           {"\"x\":1,", "\"x\":\"1\",", "not an integer"}}}},
      {"negative width", {{{"width=5", "width=-5", "negative"}, {"width=\"5\"", "width=\"-5\"", "negative"},
                           {"\"width\":5", "\"width\":-5", "negative"}}}},
      {"two pages", {{{"file=\"a.png\"", "file=\"a.png\"\npage id=1 file=\"b.png\"", "more than one page"},
                      {"</pages>", "<page id=\"1\" file=\"b.png\"/></pages>", "more than one page"},
                      {"[\"a.png\"]", "[\"a.png\", \"b.png\"]", "more than one page"}}}},
      {"page 1", {{{"page id=0", "page id=1", "only page 0"}, {"page id=\"0\"", "page id=\"1\"", "only page 0"}, {}}}},
      {"character on page 1", {{{"page=0", "page=1", "only page 0"}, {"page=\"0\"", "page=\"1\"", "only page 0"},
                                {"\"page\":0", "\"page\":1", "only page 0"}}}},
      {"no common", {{{"common ", "commons ", "no common"}, {"<common ", "<commons ", "no common"},
                      {"\"common\":", "\"commons\":", "no common"}}}},
      {"no page", {{{"page id", "pager id", "no page"}, {"<page ", "<pager ", "no page"},
                    {"\"pages\":", "\"pager\":", "no page"}}}},
      {"cut short", {{{"a.png", "a.p", "no closing quote", true}, {"<kernings", "<kern", "malformed XML", true},
                      {"\"kernings\"", "\"kern", "malformed JSON", true}}}},
      {"line without a value", {{{"amount=-1", "amount", "has no value"}, {}, {}}}},
      {"JSON nesting bomb", {{{}, {}, {"\"pages\": [", bomb, "deeper than 32"}}}},
  };
  for (const Refusal& c : cases) {
    for (std::size_t form = 0; form < Forms.size(); ++form) {
      const Edit& e = c.edits[form];
      if (e.from.empty()) continue;
      std::string file = WriteDescriptor(Tiny(), Forms[form]);
      const std::size_t at = file.find(e.from);
      ASSERT_NE(at, std::string::npos) << c.what << " " << form;
      file.replace(at, e.cut ? std::string::npos : e.from.size(), e.to);
      FontDescriptor f;
      std::string why;
      EXPECT_FALSE(ReadDescriptor(file, f, &why)) << c.what << " " << form;
      EXPECT_NE(why.find(e.reason), std::string::npos) << c.what << " " << form << ": " << why;
    }
  }
}

}  // namespace
