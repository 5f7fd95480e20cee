// kilnbatch convert: what the command adds to the BMP reader and writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <tuple>

#include "core/tests/run_kilnbatch.h"
#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/image.h"

TEST(KilnbatchConvert, AnyBmpBecomesAPlainTwentyFourBitFileWithTheDecodedPixels) {
  TempFolder folder;
  PixelStore store{3, 2, 24, RowBytes(3, 24), std::vector<std::uint8_t>(24)};
  for (std::size_t i = 0; i < store.bytes.size(); ++i) store.bytes[i] = static_cast<std::uint8_t>(7 * i + 1);
  ASSERT_NE(AdoptImage(0, store, 32), 0u);  // written four bytes a pixel
  ASSERT_EQ(WriteImageBmp(0, (folder / "in.bmp").c_str()), 1);
  ShutdownImages();
  const auto in = ReadBytes(folder / "in.bmp");
  DecodedBmp decoded;
  ASSERT_TRUE(DecodeBmp(in.data(), in.size(), decoded, nullptr));
  ASSERT_EQ(Kilnbatch("convert " + Quote(folder / "in.bmp") + " " + Quote(folder / "out.bmp"), folder).exitCode, 0);
  const auto out = ReadBytes(folder / "out.bmp");
  ASSERT_GE(out.size(), 54u);
  EXPECT_EQ(std::vector<int>({out[14], out[28], out[30]}), std::vector<int>({40, 24, 0}));  // header, bits, compression
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 54, out.end()), decoded.pixels.bytes);
}

// Standard output ("-" wherever it stands) is written at its offset, a FIFO through; with an image on
// standard output, by any name, the reports go to standard error. A refused file is named with the
// cause. SIGTERM or SIGINT once the temporary file exists kill the program as before; a size limit
// fails the save, saying so. The old file is kept, nothing beside.
TEST(KilnbatchConvert, OutputsThatAreNoFileAreWrittenThroughAndInterruptedSavesLeaveNothing) {
  TempFolder folder;
  MakeImage(0, 200, 200);  // 120 KB, past the size limit
  ASSERT_EQ(WriteImageBmp(0, (folder / "in.bmp").c_str()), 1);
  const std::string k = Quote(KILNBATCH_PATH) + " ", failed = "rm -f log; echo old >log; ulimit -c 0; ";
  const struct { std::string command, before, after; bool image; } cases[] = {
      {"(echo a; " + k + "convert in.bmp - --format bmp; echo b) >log", "a\n", "b\n", true},
      {"mkfifo f; timeout 20 cat f >log & " + k + "convert in.bmp f; wait; test -p f", "", "", true},
      {failed + "chmod 444 log; " + k + "convert in.bmp log 2>e; grep -qx 'kilnbatch convert: log: Read-only file' e",
       "old\n", "", false},
      {failed + "KILN_TEST_SIGNAL_ON_TEMP=15 " + k + "convert in.bmp log; test $? = 143", "old\n", "", false},
      {failed + "KILN_TEST_SIGNAL_ON_TEMP=2 " + k + "convert in.bmp log; test $? = 130", "old\n", "", false},
      {failed + "ulimit -f 50; " + k + "convert in.bmp log 2>e; test $? = 1 && grep -qx 'kilnbatch convert: log: File too large' e",
       "old\n", "", false},
      {failed + "ulimit -f 50; " + k + "sheet --size 40 --descriptor text -o log 2>e; test $? = 1 && grep -qx 'kilnbatch sheet: log: File too large' e",
       "old\n", "", false},
      {k + "sheet --size 6 -o in.bmp >/dev/null; " + k + "sheet --size 6 -o - >log 2>err; grep -q cell err", "", "",
       true},
      {k + "sheet --size 6 -o s.bmp --preview in.bmp >/dev/null; " + k + "sheet --size 6 -o s.bmp --preview=- >log", "", "", true},
      {k + "caption --sheet s.bmp --layout proportional --text AV --boxes -o in.bmp >/dev/null; " + k +
           "caption --sheet s.bmp --layout proportional --text AV --boxes -o /dev/fd/1 >log 2>err; grep -q '^65 ' err",
       "", "", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(std::system(("cd " + Quote(folder.path) + " && (" + c.command + ") 2>/dev/null").c_str()), 0);
    std::vector<std::uint8_t> expected(c.before.begin(), c.before.end()), in = ReadBytes(folder / "in.bmp");
    if (c.image) expected.insert(expected.end(), in.begin(), in.end());
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(ReadBytes(folder / "log"), expected);
    for (const auto& e : std::filesystem::directory_iterator(folder.path)) {
      EXPECT_NE(e.path().filename().string()[0], '.') << e.path();  // no temporary file left
    }
  }
  ShutdownImages();
}

// Help goes to standard output with exit 0: `help` and `--help` alike, `help COMMAND` as
// `COMMAND -h` (even after other options), naming the options the manual page names.
TEST(KilnbatchHelp, HelpListsEveryOptionOfTheManualPageAndExitsWithZero) {
  TempFolder folder;
  const Outcome general = Kilnbatch("help", folder);
  EXPECT_EQ(general.exitCode, 0) << general.errors;
  EXPECT_EQ(Kilnbatch("--help", folder).output, general.output);
  const auto bytes = ReadBytes(KILNBATCH_MANUAL);
  const std::string manual(bytes.begin(), bytes.end());
  const std::regex option(R"(\\?-\\?-[a-z]+(\\?-[a-z]+)*)"), escape(R"(\\)");
  std::set<std::string> inManual, inHelp;
  for (const auto& [text, names] : {std::pair{&manual, &inManual}, {&general.output, &inHelp}})
    for (std::sregex_iterator i(text->begin(), text->end(), option), end; i != end; ++i) names->insert(std::regex_replace(i->str(), escape, ""));
  EXPECT_EQ(inManual, inHelp);
  for (const std::string command : {"sheet", "caption", "convert"}) {
    const Outcome help = Kilnbatch("help " + command, folder);
    EXPECT_NE(help.output.find("Usage: kilnbatch " + command + " "), std::string::npos) << help.output;
    const Outcome asked = Kilnbatch(command + " --format png -h", folder);
    EXPECT_EQ(std::tie(asked.exitCode, asked.output, asked.errors), std::tie(help.exitCode, help.output, help.errors));
  }
}
