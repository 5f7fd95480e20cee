#include "core/font_descriptor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DescriptorFormat Text = DescriptorFormat::Text, Xml = DescriptorFormat::Xml, Json = DescriptorFormat::Json;

FontDescriptor Tiny() {
  return {.face = "Tiny", .size = 12, .lineHeight = 14, .base = 11, .scaleW = 16, .scaleH = 16, .pages = {"a.png"},
          .glyphs = {{U'A', 1, 2, 5, 7, 0, -1, 6}}, .kernings = {{U'A', U'B', -1}}};
}

TEST(FontDescriptor, EveryFormReadsBackWhatItWrote) {
  FontDescriptor f = Tiny();
  f.face = "Caf\xC3\xA9 \"Q\" & <R> 'n'", f.pages = {"sheet & co_0.png", "b.png", "c.png"}, f.bold = true;
  f.padding = {1, 2, 3, 4}, f.spacing = {5, 6}, f.outline = 2, f.sdfSpread = 4;
  f.glyphs.push_back({U'\U0001F600', 9, 8, 0, 0, -32767, 32767, -1, 2});
  f.kernings.push_back({U'\U0001F600', U'A', 3});
  for (const DescriptorFormat form : {Text, Xml, Json}) {
    FontDescriptor back, expected = f;
    std::string why;
    ASSERT_TRUE(ReadDescriptor(WriteDescriptor(f, form), back, &why)) << DescriptorExtension(form) << ": " << why;
    if (form == Text) expected.face = "Caf\xC3\xA9  Q  & <R> 'n'";  // no escapes there
    EXPECT_EQ(back, expected) << DescriptorExtension(form);
  }
}

TEST(FontDescriptor, TextFormSpellsEveryFieldInOrder) {
  EXPECT_EQ(WriteDescriptor(Tiny(), Text),
            "info face=\"Tiny\" size=12 bold=0 italic=0 charset=\"\" unicode=1 stretchH=100 smooth=1 aa=1 padding=0,0,0,0 "
            "spacing=0,0 outline=0\ncommon lineHeight=14 base=11 scaleW=16 scaleH=16 pages=1 packed=0 alphaChnl=0 "
            "redChnl=0 greenChnl=0 blueChnl=0\npage id=0 file=\"a.png\"\nchars count=1\n"
            "char id=65 x=1 y=2 width=5 height=7 xoffset=0 yoffset=-1 xadvance=6 page=0 chnl=15\n"
            "kernings count=1\nkerning first=65 second=66 amount=-1\n");
}

// One change to Tiny() as a form writes it (`cut`: and all after it); with no `reason` it reads as Tiny().
struct Edit { DescriptorFormat form; std::string_view from; std::string to; std::string_view reason = {}; bool cut = false; };

TEST(FontDescriptor, ReadsOthersSpellingsAndRefusesWhatItCannotHold) {
  std::string fields, jsonFields = "{", pad, attributes = "<font><a";
  for (int i = 0; i < 64; ++i) fields += " a=\"1\"", jsonFields += "\"a\":1,";
  // Tiny() has 9 elements; the pad brings it to the limit, with what is no element.
  for (std::size_t i = 9; i < DescriptorMaxElements; ++i) pad += "<a><!-- --><?p?></a>";
  for (std::size_t i = 0; i < DescriptorMaxValues; ++i) attributes += " a=''";
  const Edit edits[] = {
      // Others' spellings: CRLF, a negative size, tags and fields this reader has no use for, a '+'.
      {Text, "\n", "\r\n\r\nmystery a=1\r\n"},
      {Text, "size=12 bold=0", "size=-12 extra=\"a b\""},
      {Text, "xadvance=6", "xadvance=+6"},
      {Xml, "<info", "<extra><info/></extra><info more=\"1\""},
      {Json, "\"info\":", "\"extra\": {\"info\": [{\"size\": 1}]}, \"info\":"},
      {Json, "\"size\":12", "\"more\":[1.5,{\"a\":null}],\"size\":12"},
      {Text, "outline=0", "outline=0" + fields, "more than 64 fields"},
      {Xml, "outline=\"0\"", "outline=\"0\"" + fields, "info: more than 64 attributes"},
      {Json, "{\"id\"", jsonFields + "\"id\"", "more than 64 fields"},
      {Json, "\"info\":", "\"x\": " + std::string(40, '[') + std::string(40, ']') + ", \"info\":", "deeper than 32"},
      {Xml, "<info", pad + "<![CDATA[a < b]]><info"},
      {Xml, "<info", pad + "<a/><info", "too many XML elements"},
      {Xml, "<info", pad + "text<info", "too many XML elements"},
      {Xml, "<font>", attributes + "/></font>", "too many XML attributes", true},
      {Text, "lineHeight=", "lineHeight=-", "out of range"},
      {Text, "x=1 ", "x=32768 ", "out of range"},
      {Text, "y=2", "y=99999999999999999999999", "out of range"},
      {Text, "id=65", "id=1114112", "out of range"},
      {Text, "x=1 ", "x=1.0 ", "not an integer"},
      {Text, "width=5", "width=-5", "negative"},
      {Json, "\"id\":65", "\"id\":1114112", "out of range"},
      {Json, "\"y\":2", "\"y\":99999999999999999999999", "not an integer"},
      {Json, "\"x\":1,", "\"x\":\"1\",", "not an integer"},
      {Text, "file=\"a.png\"", "file=\"a.png\"\npage id=1 file=\"b.png\"", "pages=1 but pages 2 named"},
      {Xml, "</pages>", "<page id=\"1\" file=\"b.png\"/></pages>", "pages=1 but pages 2 named"},
      {Json, "[\"a.png\"]", "[\"a.png\", \"b.png\"]", "pages=1 but pages 2 named"},
      {Text, "page id=0", "page id=1", "each once"},
      {Text, "file=\"a.png\"", "file=\"a.png\"\npage id=1023 file=\"b.png\"", "pages 2 named, id 1023 the highest"},
      {Text, "file=\"a.png\"", "file=\"a.png\"\npage id=0 file=\"b.png\"", "named twice"},
      {Text, "pages=1", "pages=1025", "1 to 1024"},
      {Text, "page=0", "page=1", "past the last page"},
      {Text, "padding=0,0,0,0", "padding=0,0,0", "not 4 integers"},
      {Xml, "spacing=\"0,0\"", "spacing=\"0,0,1\"", "not 2 integers"},
      {Json, "\"spacing\":[0,0]", "\"spacing\":[0,\"0\"]", "not 2 integers"},
      {Text, "common ", "commons ", "no common"},
      {Text, "page id", "pager id", "no page"},
      {Json, "\"pages\":", "\"pager\":", "no page"},
      {Json, "[\"a.png\"]", "[[\"a.png\"]]", "not a file name"},
      {Json, "\"chars\": [", "\"chars\": [1, ", "not an object"},
      {Json, "\"info\": ", "\"info\": [], \"x\": ", "not an object"},
      {Json, "\"kernings\": [", "\"kernings\": 5, \"x\": [", "kernings is not a list"},
      {Text, "amount=-1", "amount", "has no value"},
      // A distance field: read from info's sdf or the JSON block; another kind of field is refused.
      {Json, "\"common\":", "\"distanceField\": {\"distanceRange\": 0, \"fieldType\": \"sdf\"}, \"common\":"},
      {Json, "\"common\":", "\"distanceField\": {\"fieldType\": \"msdf\", \"distanceRange\": 4}, \"common\":", "only \"sdf\""},
      {Json, "\"common\":", "\"distanceField\": {\"distanceRange\": 5}, \"common\":", "not twice a whole spread"},
      {Text, "outline=0", "outline=0 sdf=-1", "out of range"},
      {Text, "a.png", "a.p", "no closing quote", true},
      {Xml, "<kernings", "<kern", "malformed XML", true},
      {Json, "\"kernings\"", "\"kern", "malformed JSON", true},
  };
  for (const Edit& e : edits) {
    std::string file = WriteDescriptor(Tiny(), e.form);
    ASSERT_NE(file.find(e.from), std::string::npos) << e.from;
    file.replace(file.find(e.from), e.cut ? std::string::npos : e.from.size(), e.to);
    FontDescriptor f;
    std::string why;
    EXPECT_EQ(ReadDescriptor(file, f, &why) && f == Tiny(), e.reason.empty()) << e.to.substr(0, 50) << ": " << why;
    EXPECT_NE(why.find(e.reason), std::string::npos) << e.to.substr(0, 50) << ": " << why;
  }
}

}  // namespace
