#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "raster/bmp_decode.h"
#include "raster/bmp_file.h"
#include "raster/image.h"
#include "kilnbatch/tests/run_kilnbatch.h"
#include "raster/tests/test_files.h"

namespace {

std::vector<std::string> SuiteFiles(const char* group) {
  std::vector<std::string> files;
  const std::filesystem::path dir = std::filesystem::path(KILN_BMPSUITE_DIR) / group;
  if (!std::filesystem::is_directory(dir)) return files;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().extension() == ".bmp") files.push_back(e.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(KilnbatchConvert, EverySuiteFileIsConvertedOrRefusedAsTheReaderDecides) {
  if (!std::filesystem::is_directory(KILN_BMPSUITE_DIR)) GTEST_SKIP() << "no BMP suite at " << KILN_BMPSUITE_DIR;
  TempFolder folder;
  const std::string out = folder / "out.bmp";
  for (const char* group : {"g", "q", "b"}) {
    for (const std::string& in : SuiteFiles(group)) {
      SCOPED_TRACE(in);
      const auto original = ReadBytes(in);
      DecodedBmp expected;
      const bool decodes = DecodeBmp(original.data(), original.size(), expected, nullptr);
      if (std::string(group) == "g") {
        EXPECT_TRUE(decodes);
      }

      const Outcome run = Kilnbatch("convert " + Quote(in) + " " + Quote(out), folder);
      if (!decodes) {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.errors.find(in), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_FALSE(std::filesystem::exists(out));
        continue;
      }
      ASSERT_EQ(run.exitCode, 0) << run.errors;
      // The copy is the plain 24-bit form with the decoded pixels.
      const auto written = ReadBytes(out);
      ASSERT_GE(written.size(), 54u);
      EXPECT_EQ(written[14], 40);
      EXPECT_EQ(written[28], 24);
      EXPECT_EQ(written.size(), 54 + expected.pixels.bytes.size());
      EXPECT_TRUE(std::equal(expected.pixels.bytes.begin(), expected.pixels.bytes.end(), written.begin() + 54));
      std::filesystem::remove(out);
    }
  }
}

TEST(KilnbatchConvert, FailuresNameTheFileAndUsageErrorsExitWithTwo) {
  TempFolder folder;
  const std::string good = folder / "good.bmp";
  MakeImage(0, 2, 2);
  ASSERT_EQ(WriteImageBmp(0, good.c_str()), 1);
  ShutdownImages();

  const Outcome missing = Kilnbatch("convert " + Quote(folder / "absent.bmp") + " " + Quote(folder / "o.bmp"), folder);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.errors.find("absent.bmp"), std::string::npos);

  const std::string text = folder / "text.bmp";
  WriteBytes(text, {'h', 'e', 'l', 'l', 'o'});
  const Outcome notBmp = Kilnbatch("convert " + Quote(text) + " " + Quote(folder / "o.bmp"), folder);
  EXPECT_EQ(notBmp.exitCode, 1);
  EXPECT_NE(notBmp.errors.find("text.bmp"), std::string::npos);

  const Outcome unwritable = Kilnbatch("convert " + Quote(good) + " " + Quote(folder / "no/such/o.bmp"), folder);
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.errors.find("no/such/o.bmp"), std::string::npos);

  EXPECT_EQ(Kilnbatch("convert " + Quote(good), folder).exitCode, 2);
  EXPECT_EQ(Kilnbatch("", folder).exitCode, 2);
  EXPECT_EQ(Kilnbatch("frobnicate", folder).exitCode, 2);
  EXPECT_EQ(Kilnbatch("--help", folder).exitCode, 0);
  EXPECT_EQ(Kilnbatch("--version", folder).exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "o.bmp"));
}

}  // namespace
