// Every file of the public BMP suite matches its reference within 1 per channel (some were 16-bit), or is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "raster/bmp_decode.h"
#include "core/tests/test_files.h"  // with the file, string and vector headers

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path SuiteDir = KILN_BMPSUITE_DIR;

// What differs beyond 1 per channel between the decoded `file` and a binary PPM reference (8 bits
// per channel, top row first); empty when nothing does. Alpha files (mask 52 bytes into the header)
// have fully transparent pixels, which the references show in colours of their own: not compared.
std::string Mismatch(const Bytes& file, const PixelStore& s, const std::string& reference, bool alpha) {
  std::ifstream in(SuiteDir / "ref" / (reference + ".ppm"), std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maxValue = 0;
  in >> magic >> width >> height >> maxValue;
  in.get();  // the one whitespace byte before the samples
  Bytes rgb(static_cast<std::size_t>(std::max(width * height * 3, 0)));
  in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  if (!in || magic != "P6" || maxValue != 255) return "no readable reference " + reference;
  if (s.width != width || s.height != height) return "size differs from " + reference;
  auto u32 = [&file](std::size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | std::uint32_t{file[at + 3]} << 24;
  };
  const std::size_t fileBytesPerPixel = file[28] / 8u, stride = (width * fileBytesPerPixel + 3) / 4 * 4;
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    const int x = static_cast<int>(i / 3) % width, y = static_cast<int>(i / 3) / width;
    const std::size_t at = u32(10) + static_cast<std::size_t>(height - 1 - y) * stride + x * fileBytesPerPixel;
    if (alpha && ((fileBytesPerPixel == 4 ? u32(at) : file[at] | file[at + 1] << 8) & u32(66)) == 0) continue;
    const int got = s.Pixel(x, y)[2 - i % 3];
    if (std::abs(got - rgb[i]) > 1) return "(" + std::to_string(x) + ", " + std::to_string(y) + ") differs";
  }
  return "";
}

// Our decision for every file: the rendering in ref/ it must match ("*" for its own name), "" for
// none, or null: refused.
const struct { const char* reference; std::vector<std::string> files; } Decisions[] = {
    {"*", {"g/pal1", "g/pal1bg", "g/pal4", "g/pal4gs", "g/pal8", "g/pal8gs", "g/pal8w124", "g/pal8w125", "g/pal8w126",
           "g/rgb16", "g/rgb16-565", "g/rgb24", "q/pal1p1", "q/pal2", "q/pal2color", "q/rgb16-231", "q/rgb16-3103",
           "q/rgb32-7187", "q/rgba16-1924", "q/rgba16-4444", "q/rgba16-5551", "q/rgba32-1010102", "q/rgba32-61754",
           "q/rgba32-81284"}},
    // Size, planes and resolution fields are ignored; so are reserved and profile fields, and colour
    // table entries past 256 or in files of more than 8 bits. OS/2 headers of 16 and 64 bytes are
    // read; a core header's table is what fits before the pixels.
    {"pal1", {"g/pal1wb", "b/badbitssize", "b/baddens1", "b/baddens2", "b/badfilesize", "b/badplanes"}},
    {"pal4", {"g/pal4rle"}}, {"pal8nonsquare-e", {"g/pal8nonsquare"}}, {"rgb16-565", {"g/rgb16-565pal"}},
    {"pal8", {"g/pal8-0", "g/pal8rle", "g/pal8topdown", "g/pal8os2", "g/pal8v4", "g/pal8v5", "q/pal8offs",
              "q/pal8os2-hs", "q/pal8os2-sz", "q/pal8os2sp", "q/pal8os2v2-16", "q/pal8os2v2-40sz", "q/pal8os2v2-sz",
              "q/pal8os2v2", "q/pal8oversizepal"}},
    // Masks of any width and place, in the header or after it, scaled with rounding; alpha dropped.
    {"rgb24", {"g/rgb24pal", "g/rgb32", "g/rgb32bfdef", "g/rgb32bf", "q/rgb24lprof", "q/rgb32-111110", "q/rgb32-xbgr",
               "q/rgb32fakealpha", "q/rgb32h52", "q/rgb24largepal"}},
    {"rgb16", {"g/rgb16bfdef", "q/rgb16faketrns"}},
    {"rgba32", {"q/rgba32-1", "q/rgba32-2", "q/rgba32abf", "q/rgba32h56"}},
    // Indexes past a short table are black, as are pixels RLE never reaches; RLE runs and deltas past
    // the picture are clipped. Files with no reference ("") are decoded, under the sanitizers too.
    {"", {"b/pal8badindex", "b/badrle", "b/badrle4", "b/badrle4bis", "b/badrle4ter", "b/badrlebis", "b/badrleter"}},
    {"*-b", {"q/pal4rlecut", "q/pal4rletrns", "q/pal8rlecut", "q/pal8rletrns"}},
    // Refused: OS/2 Huffman and 24-bit RLE, JPEG, PNG; 64 or absurd bits per pixel; a colour table
    // longer than the room before the pixels; a 66-byte header; a negative width; 3000000 x 2000000;
    // a zero blue mask; top-down RLE; rows that stop part way.
    {nullptr, {"q/pal1huffmsb", "q/rgb24rle24", "q/rgb24jpeg", "q/rgb24png", "q/rgba64", "b/badbitcount",
               "b/badpalettesize", "b/badheadersize", "b/badwidth", "b/reallybig", "b/rgb16-880", "b/rletopdown",
               "b/shortfile"}},
};

TEST(BmpSuite, EveryFileIsDecodedOrRefusedAsDecided) {
  std::set<std::string> inSuite;  // as "g/pal1"
  for (const auto& e : fs::recursive_directory_iterator(SuiteDir)) {
    if (e.path().extension() == ".bmp") inSuite.insert(fs::relative(e.path(), SuiteDir).replace_extension().string());
  }
  for (const auto& decision : Decisions) {
    for (const std::string& file : decision.files) {
      SCOPED_TRACE(file);
      EXPECT_EQ(inSuite.erase(file), 1u) << "not in the suite, or listed twice";
      const Bytes bytes = ReadBytes((SuiteDir / (file + ".bmp")).string());
      DecodedBmp d;
      const char* reason = nullptr;
      const bool decoded = DecodeBmp(bytes.data(), bytes.size(), d, &reason);
      EXPECT_EQ(decoded, decision.reference != nullptr) << (reason ? reason : "decoded");
      if (!decoded || !decision.reference || !*decision.reference) continue;
      const std::string ref = decision.reference, name = ref[0] == '*' ? file.substr(2) + ref.substr(1) : ref;
      EXPECT_EQ(Mismatch(bytes, d.pixels, name, file.starts_with("q/rgba")), "");
    }
  }
  for (const std::string& file : inSuite) ADD_FAILURE() << file << " is not in the table";
}

}  // namespace
