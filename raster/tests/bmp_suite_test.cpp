// The decoder against the public BMP suite: good files must match their
// reference renderings; for each questionable and bad file the table below
// records whether we decode or refuse it, and why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "raster/bmp_decode.h"
#include "raster/tests/test_files.h"

namespace {

namespace fs = std::filesystem;

const fs::path SuiteDir = KILN_BMPSUITE_DIR;

struct Ppm {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
};

// Binary PPM, 8 bits per channel, as the suite's references are.
bool ReadPpm(const fs::path& path, Ppm& out) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> out.width >> out.height >> maxValue;
  if (!in || magic != "P6" || maxValue != 255 || out.width < 1 || out.height < 1) return false;
  in.get();  // the one whitespace byte before the samples
  out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
  in.read(reinterpret_cast<char*>(out.rgb.data()), static_cast<std::streamsize>(out.rgb.size()));
  return static_cast<std::size_t>(in.gcount()) == out.rgb.size();
}

// Pixels whose alpha is zero in the suite's alpha files, which keep their
// alpha mask 52 bytes into the header. The references show such pixels with
// colours of their own, while our 24-bit store keeps the colour the file
// holds, so those pixels are not compared. Top row first.
std::vector<bool> FullyTransparent(const std::vector<std::uint8_t>& file) {
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16) |
           static_cast<std::uint32_t>(file[at + 3]) << 24;
  };
  const std::size_t pixelsAt = u32(10);
  const std::size_t width = u32(18);
  const std::size_t height = u32(22);
  const std::size_t bytesPerPixel = (file[28] | file[29] << 8) / 8;
  const std::uint32_t alphaMask = u32(66);
  const std::size_t stride = (width * bytesPerPixel + 3) / 4 * 4;
  std::vector<bool> transparent(width * height);
  for (std::size_t y = 0; y < height; ++y) {
    for (std::size_t x = 0; x < width; ++x) {
      const std::size_t at = pixelsAt + (height - 1 - y) * stride + x * bytesPerPixel;
      const std::uint32_t pixel = bytesPerPixel == 4 ? u32(at) : static_cast<std::uint32_t>(file[at] | file[at + 1] << 8);
      transparent[y * width + x] = (pixel & alphaMask) == 0;
    }
  }
  return transparent;
}

// Every compared channel within 1 of the reference (16-bit references were
// rounded to 8 bits), and the store laid out as a 24-bit pixel array.
::testing::AssertionResult MatchesReference(const PixelStore& s, const Ppm& ref, const std::vector<bool>& skip) {
  if (s.width != ref.width || s.height != ref.height) {
    return ::testing::AssertionFailure() << "size " << s.width << "x" << s.height << ", reference " << ref.width << "x"
                                         << ref.height;
  }
  if (s.bitsPerPixel != 24 || s.rowBytes != RowBytes(s.width, 24) ||
      s.bytes.size() != s.rowBytes * static_cast<std::size_t>(s.height)) {
    return ::testing::AssertionFailure() << "not a 24-bit pixel array";
  }
  for (int y = 0; y < s.height; ++y) {
    for (int x = 0; x < s.width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) + static_cast<std::size_t>(x);
      if (!skip.empty() && skip[i]) continue;
      const std::uint8_t* bgr = s.Pixel(x, y);
      const std::uint8_t* rgb = &ref.rgb[3 * i];
      for (int c = 0; c < 3; ++c) {
        if (std::abs(bgr[2 - c] - rgb[c]) > 1) {
          return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") channel " << c << " is "
                                               << int{bgr[2 - c]} << ", reference " << int{rgb[c]};
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

struct Decoded {
  bool ok = false;
  std::string reason;
  DecodedBmp image;
};

Decoded DecodeFile(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path.string());
  Decoded d;
  const char* reason = nullptr;
  d.ok = DecodeBmp(bytes.data(), bytes.size(), d.image, &reason);
  if (!d.ok) d.reason = reason ? reason : "";
  return d;
}

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(SuiteDir / folder)) {
    if (entry.path().extension() == ".bmp") names.insert(folder + "/" + entry.path().filename().string());
  }
  return names;
}

// reference-renderings.txt: "g/pal8.bmp -> html/pal8.png, html/other.png".
// Gives, per file, the PPM names in ref/ of every listed rendering.
std::map<std::string, std::vector<std::string>> ListedReferences() {
  std::map<std::string, std::vector<std::string>> listed;
  std::ifstream in(SuiteDir / "reference-renderings.txt");
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t arrow = line.find(" -> ");
    if (arrow == std::string::npos) continue;
    std::istringstream refs(line.substr(arrow + 4));
    std::string ref;
    while (std::getline(refs >> std::ws, ref, ',')) {
      if (ref.rfind("html/", 0) != 0 || ref.size() < 9 || ref.substr(ref.size() - 4) != ".png") continue;
      listed[line.substr(0, arrow)].push_back(ref.substr(5, ref.size() - 9) + ".ppm");
    }
  }
  return listed;
}

class BmpSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(SuiteDir / "g")) GTEST_SKIP() << "BMP suite not found at " << SuiteDir;
  }
};

TEST_F(BmpSuite, EveryGoodFileMatchesOneOfItsReferences) {
  const auto listed = ListedReferences();
  const std::set<std::string> good = FilesIn("g");
  ASSERT_FALSE(good.empty());
  for (const std::string& file : good) {
    SCOPED_TRACE(file);
    const auto refs = listed.find(file);
    ASSERT_NE(refs, listed.end()) << "no reference listed";
    const Decoded d = DecodeFile(SuiteDir / file);
    ASSERT_TRUE(d.ok) << d.reason;
    ::testing::AssertionResult match = ::testing::AssertionFailure() << "no listed reference found in ref/";
    for (const std::string& name : refs->second) {
      Ppm ref;
      if (!ReadPpm(SuiteDir / "ref" / name, ref)) continue;
      match = MatchesReference(d.image.pixels, ref, {});
      if (match) break;
      match << " (against " << name << ")";
    }
    EXPECT_TRUE(match);
  }
}

enum class Verdict { Decode, Refuse };
constexpr Verdict Decode = Verdict::Decode;
constexpr Verdict Refuse = Verdict::Refuse;

struct SuiteCase {
  const char* file;
  Verdict verdict;
  const char* reference;  // in ref/, or null when there is none to compare
  const char* why;
};

// Our decision for each questionable and bad file. Pixels the runs of an RLE
// picture never reach are black, so the "-b" renderings are the ones to match.
const SuiteCase SuiteCases[] = {
    {"q/pal1huffmsb.bmp", Refuse, nullptr, "OS/2 Huffman 1D compression is not supported"},
    {"q/pal1p1.bmp", Decode, "pal1p1.ppm", "a one-colour table is a short table; index 1 is black"},
    {"q/pal2.bmp", Decode, "pal2.ppm", "2 bits per pixel is read like 1, 4 and 8"},
    {"q/pal2color.bmp", Decode, "pal2color.ppm", "2 bits per pixel is read like 1, 4 and 8"},
    {"q/pal4rlecut.bmp", Decode, "pal4rlecut-b.ppm", "ends with an end-of-picture code; pixels never reached are black"},
    {"q/pal4rletrns.bmp", Decode, "pal4rletrns-b.ppm", "delta-skipped pixels are black"},
    {"q/pal8offs.bmp", Decode, "pal8.ppm", "the pixel offset is honoured; the gap before it is skipped"},
    {"q/pal8os2-hs.bmp", Decode, "pal8.ppm", "the reserved (hotspot) fields are ignored"},
    {"q/pal8os2-sz.bmp", Decode, "pal8.ppm", "the file size field is ignored"},
    {"q/pal8os2sp.bmp", Decode, "pal8.ppm", "a core-header table is what fits before the pixels (252 entries)"},
    {"q/pal8os2v2-16.bmp", Decode, "pal8.ppm", "the 16-byte OS/2 header is read: sizes, bit count, no compression"},
    {"q/pal8os2v2-40sz.bmp", Decode, "pal8.ppm", "an ordinary 40-byte header; file size field ignored"},
    {"q/pal8os2v2-sz.bmp", Decode, "pal8.ppm", "the 64-byte OS/2 header is read; file size field ignored"},
    {"q/pal8os2v2.bmp", Decode, "pal8.ppm", "the 64-byte OS/2 header is read"},
    {"q/pal8oversizepal.bmp", Refuse, nullptr, "a colour count above 256 is refused"},
    {"q/pal8rlecut.bmp", Decode, "pal8rlecut-b.ppm", "ends with an end-of-picture code; pixels never reached are black"},
    {"q/pal8rletrns.bmp", Decode, "pal8rletrns-b.ppm", "delta-skipped pixels are black"},
    {"q/rgb16-231.bmp", Decode, "rgb16-231.ppm", "any mask width, scaled with rounding"},
    {"q/rgb16-3103.bmp", Decode, "rgb16-3103.ppm", "any mask width, scaled with rounding"},
    {"q/rgb16faketrns.bmp", Decode, "rgb16.ppm", "the unused top bit of 5-5-5 is ignored"},
    {"q/rgb24jpeg.bmp", Refuse, nullptr, "embedded JPEG is not supported"},
    {"q/rgb24largepal.bmp", Refuse, nullptr, "a colour count above 256 is refused, even unused"},
    {"q/rgb24lprof.bmp", Decode, "rgb24.ppm", "colour profiles are ignored"},
    {"q/rgb24png.bmp", Refuse, nullptr, "embedded PNG is not supported"},
    {"q/rgb24rle24.bmp", Refuse, nullptr, "OS/2 24-bit RLE is not supported"},
    {"q/rgb32-111110.bmp", Decode, "rgb24.ppm", "masks may fill all 32 bits"},
    {"q/rgb32-7187.bmp", Decode, "rgb32-7187.ppm", "an 18-bit channel is scaled like any other"},
    {"q/rgb32-xbgr.bmp", Decode, "rgb24.ppm", "masks in the high bits are read as given"},
    {"q/rgb32fakealpha.bmp", Decode, "rgb24.ppm", "the unused top byte is ignored"},
    {"q/rgb32h52.bmp", Decode, "rgb24.ppm", "the 52-byte header holds the colour masks"},
    {"q/rgba16-1924.bmp", Decode, "rgba16-1924.ppm", "alpha is dropped; colours as stored"},
    {"q/rgba16-4444.bmp", Decode, "rgba16-4444.ppm", "alpha is dropped; colours as stored"},
    {"q/rgba16-5551.bmp", Decode, "rgba16-5551.ppm", "alpha is dropped; colours as stored"},
    {"q/rgba32-1.bmp", Decode, "rgba32.ppm", "alpha is dropped; colours as stored"},
    {"q/rgba32-1010102.bmp", Decode, "rgba32-1010102.ppm", "alpha is dropped; colours as stored"},
    {"q/rgba32-2.bmp", Decode, "rgba32.ppm", "alpha is dropped; masks in any order"},
    {"q/rgba32-61754.bmp", Decode, "rgba32-61754.ppm", "alpha is dropped; odd mask widths scaled"},
    {"q/rgba32-81284.bmp", Decode, "rgba32-81284.ppm", "alpha is dropped; odd mask widths scaled"},
    {"q/rgba32abf.bmp", Decode, "rgba32.ppm", "alpha bit fields: four masks after the 40-byte header"},
    {"q/rgba32h56.bmp", Decode, "rgba32.ppm", "the 56-byte header holds all four masks"},
    {"q/rgba64.bmp", Refuse, nullptr, "64 bits per pixel is not supported"},

    // The b/ files that merely carry a wrong field are copies of g/pal1.bmp.
    {"b/badbitcount.bmp", Refuse, nullptr, "unsupported bit count"},
    {"b/badbitssize.bmp", Decode, "pal1.ppm", "the image size field is ignored"},
    {"b/baddens1.bmp", Decode, "pal1.ppm", "the resolution is ignored"},
    {"b/baddens2.bmp", Decode, "pal1.ppm", "the resolution is ignored"},
    {"b/badfilesize.bmp", Decode, "pal1.ppm", "the file size field is ignored"},
    {"b/badheadersize.bmp", Refuse, nullptr, "a 66-byte header is no known form"},
    {"b/badpalettesize.bmp", Refuse, nullptr, "a colour count above 256 is refused"},
    {"b/badplanes.bmp", Decode, "pal1.ppm", "the planes field is ignored"},
    {"b/badrle.bmp", Refuse, nullptr, "an RLE8 run goes past the end of its row"},
    {"b/badrle4.bmp", Refuse, nullptr, "an RLE4 run goes past the end of its row"},
    {"b/badrle4bis.bmp", Refuse, nullptr, "an RLE4 delta goes past the right edge"},
    {"b/badrle4ter.bmp", Refuse, nullptr, "an RLE4 delta goes past the right edge"},
    {"b/badrlebis.bmp", Refuse, nullptr, "an RLE8 delta goes past the right edge"},
    {"b/badrleter.bmp", Refuse, nullptr, "an RLE8 delta goes past the right edge"},
    {"b/badwidth.bmp", Refuse, nullptr, "negative width"},
    {"b/pal8badindex.bmp", Decode, nullptr, "indexes past the 101-entry table are black"},
    {"b/reallybig.bmp", Refuse, nullptr, "3000000 x 2000000 is past the 32767 side limit"},
    {"b/rgb16-880.bmp", Refuse, nullptr, "the blue mask is zero"},
    {"b/rletopdown.bmp", Refuse, nullptr, "RLE pictures cannot be top-down"},
    {"b/shortfile.bmp", Refuse, nullptr, "the rows stop part way"},
};

TEST_F(BmpSuite, TheTableCoversExactlyTheQuestionableAndBadFiles) {
  std::set<std::string> inFolders = FilesIn("q");
  inFolders.merge(FilesIn("b"));
  std::set<std::string> inTable;
  for (const SuiteCase& c : SuiteCases) EXPECT_TRUE(inTable.insert(c.file).second) << c.file << " listed twice";
  EXPECT_EQ(inTable, inFolders);
}

TEST_F(BmpSuite, QuestionableAndBadFilesAreDecodedOrRefusedAsDecided) {
  for (const SuiteCase& c : SuiteCases) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.why);
    const fs::path path = SuiteDir / c.file;
    if (!fs::exists(path)) continue;  // the coverage test reports it
    const Decoded d = DecodeFile(path);
    if (c.verdict == Refuse) {
      EXPECT_FALSE(d.ok);
      EXPECT_FALSE(d.reason.empty());
      continue;
    }
    ASSERT_TRUE(d.ok) << d.reason;
    const PixelStore& s = d.image.pixels;
    EXPECT_EQ(s.bytes.size(), RowBytes(s.width, 24) * static_cast<std::size_t>(s.height));
    if (c.reference == nullptr) continue;
    Ppm ref;
    ASSERT_TRUE(ReadPpm(SuiteDir / "ref" / c.reference, ref)) << c.reference;
    const bool hasAlpha = std::string(c.file).rfind("q/rgba", 0) == 0;
    EXPECT_TRUE(MatchesReference(s, ref, hasAlpha ? FullyTransparent(ReadBytes(path.string())) : std::vector<bool>{}));
  }
}

}  // namespace
