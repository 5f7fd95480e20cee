#include "raster/bmp_decode.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::vector<std::uint32_t>>;  // top row first

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

// What goes into a hand-built file. Header fields past the header's size are
// simply not written.
struct BmpParts {
  std::uint32_t headerBytes = 40;
  std::int32_t width = 5;
  std::int32_t height = 3;  // negative for top-down rows
  int bits = 8;
  std::uint32_t compression = 0;
  std::uint32_t colourCount = 0;
  std::vector<std::uint32_t> masks;    // red, green, blue, alpha
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  std::size_t gap = 0;                 // unused bytes before the pixels
  Bytes pixels;
};

Bytes BuildBmp(const BmpParts& p) {
  Bytes b(14 + p.headerBytes, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 14, p.headerBytes);
  const bool core = p.headerBytes == 12;
  if (core) {
    Put16(b, 18, static_cast<std::uint32_t>(p.width));
    Put16(b, 20, static_cast<std::uint32_t>(p.height));
    Put16(b, 22, 1);
    Put16(b, 24, static_cast<std::uint32_t>(p.bits));
  } else {
    Put32(b, 18, static_cast<std::uint32_t>(p.width));
    Put32(b, 22, static_cast<std::uint32_t>(p.height));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<std::uint32_t>(p.bits));
  }
  if (p.headerBytes >= 40) {
    Put32(b, 30, p.compression);
    Put32(b, 46, p.colourCount);
  }
  // Masks always start 40 bytes into the header; those the header has no
  // room for follow it.
  for (std::size_t i = 0; i < p.masks.size(); ++i) {
    const std::size_t at = 54 + 4 * i;
    if (b.size() < at + 4) b.resize(at + 4, 0);
    Put32(b, at, p.masks[i]);
  }
  for (const std::uint32_t rgb : p.palette) {
    b.push_back(static_cast<std::uint8_t>(rgb));
    b.push_back(static_cast<std::uint8_t>(rgb >> 8));
    b.push_back(static_cast<std::uint8_t>(rgb >> 16));
    if (!core) b.push_back(0);
  }
  b.resize(b.size() + p.gap, 0x5A);
  Put32(b, 10, static_cast<std::uint32_t>(b.size()));
  b.insert(b.end(), p.pixels.begin(), p.pixels.end());
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  return b;
}

// Raw pixel values (indexes, 16/32-bit words, or 0xRRGGBB at 24 bits) as a
// file's pixel array. Bits and bytes past each row's last pixel are filled
// with junk, which a reader must ignore.
Bytes PackRows(const Rows& topFirst, int bits, bool topDown) {
  const std::size_t height = topFirst.size();
  const std::size_t width = topFirst[0].size();
  const std::size_t stride = (width * static_cast<std::size_t>(bits) + 31) / 32 * 4;
  Bytes out(stride * height, 0xEE);
  for (std::size_t r = 0; r < height; ++r) {
    const auto& values = topFirst[topDown ? r : height - 1 - r];
    std::uint8_t* row = out.data() + r * stride;
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t v = values[x];
      if (bits < 8) {
        const std::size_t bit = x * static_cast<std::size_t>(bits);
        const unsigned shift = 8 - static_cast<unsigned>(bits) - bit % 8;
        const unsigned field = (1u << bits) - 1;
        row[bit / 8] = static_cast<std::uint8_t>((row[bit / 8] & ~(field << shift)) | (v << shift));
        continue;
      }
      for (int i = 0; i < bits / 8; ++i) row[x * bits / 8 + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
  }
  return out;
}

// A 5 x 3 "F": flipped, mirrored or channel-swapped output shows at once.
Rows FPicture(std::uint32_t letter, std::uint32_t ground) {
  const std::uint32_t L = letter;
  const std::uint32_t G = ground;
  return {{L, L, L, L, G}, {L, L, L, G, G}, {L, G, G, G, G}};
}

constexpr std::uint32_t Letter = 0xE01020;
constexpr std::uint32_t Ground = 0x1040D0;
constexpr std::uint32_t Purple = 0x800080;
constexpr std::uint32_t Black = 0;

struct Decoded {
  bool ok = false;
  std::string reason;
  DecodedBmp image;
};

Decoded Decode(const Bytes& file) {
  Decoded d;
  const char* reason = nullptr;
  d.ok = DecodeBmp(file.data(), file.size(), d.image, &reason);
  if (!d.ok) d.reason = reason ? reason : "(no reason given)";
  return d;
}

// The store must be exactly a 24-bit BMP pixel array holding `expected`.
::testing::AssertionResult HoldsPicture(const Decoded& d, const Rows& expected) {
  if (!d.ok) return ::testing::AssertionFailure() << "refused: " << d.reason;
  const PixelStore& s = d.image.pixels;
  const int height = static_cast<int>(expected.size());
  const int width = static_cast<int>(expected[0].size());
  if (s.width != width || s.height != height) {
    return ::testing::AssertionFailure() << "size " << s.width << "x" << s.height;
  }
  if (s.bitsPerPixel != 24 || s.rowBytes != RowBytes(width, 24) || s.bytes.size() != s.rowBytes * height) {
    return ::testing::AssertionFailure() << "not a 24-bit pixel array";
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = s.Pixel(x, y);
      const std::uint32_t got = p[2] << 16 | p[1] << 8 | p[0];
      if (got != expected[y][x]) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex << got
                                             << ", expected " << expected[y][x];
      }
    }
    for (std::size_t i = 3 * static_cast<std::size_t>(width); i < s.rowBytes; ++i) {
      if (s.bytes[static_cast<std::size_t>(y) * s.rowBytes + i] != 0) {
        return ::testing::AssertionFailure() << "padding of stored row " << y << " is not zero";
      }
    }
  }
  return ::testing::AssertionSuccess();
}

std::uint32_t FillerColour(std::size_t index) { return 0x030507 * static_cast<std::uint32_t>(index + 1) & 0xFFFFFF; }

// A palette of `count` distinct colours with the letter and ground colours
// at the given indexes, so a wrong index shows as a wrong colour.
std::vector<std::uint32_t> PaletteWith(std::size_t count, std::size_t letterIndex, std::size_t groundIndex) {
  std::vector<std::uint32_t> palette(count);
  for (std::size_t i = 0; i < count; ++i) palette[i] = FillerColour(i);
  palette[letterIndex] = Letter;
  palette[groundIndex] = Ground;
  return palette;
}

// ---------------------------------------------------------------------------
// Every pixel form, bottom-up and top-down.

struct DepthCase {
  const char* name;
  int bits;
  std::uint32_t compression;
  std::vector<std::uint32_t> masks;
  std::vector<std::uint32_t> palette;
  std::uint32_t letterValue;
  std::uint32_t groundValue;
  std::uint32_t letterRgb;
  std::uint32_t groundRgb;
};

TEST(BmpDecodeForms, EachPixelFormGivesTheFPicture) {
  const DepthCase cases[] = {
      {"1 bit", 1, 0, {}, PaletteWith(2, 1, 0), 1, 0, Letter, Ground},
      {"2 bits", 2, 0, {}, PaletteWith(4, 2, 1), 2, 1, Letter, Ground},
      {"4 bits, high nibble first", 4, 0, {}, PaletteWith(16, 12, 3), 12, 3, Letter, Ground},
      {"8 bits", 8, 0, {}, PaletteWith(256, 200, 7), 200, 7, Letter, Ground},
      {"16 bits 5-5-5 by default", 16, 0, {}, {}, 31u << 10, 31, 0xFF0000, 0x0000FF},
      {"16 bits 5-5-5, unused top bit set", 16, 0, {}, {}, 0x8000 | 31u << 10, 0x8000 | 31u << 5, 0xFF0000, 0x00FF00},
      {"16 bits 5-6-5 bit fields", 16, 3, {0xF800, 0x07E0, 0x001F}, {}, 0xF800, 0x07FF, 0xFF0000, 0x00FFFF},
      {"24 bits", 24, 0, {}, {}, Letter, Ground, Letter, Ground},
      {"32 bits by default, top byte ignored", 32, 0, {}, {}, 0x7F000000 | Letter, 0xFF000000 | Ground, Letter, Ground},
      {"32 bits, bit fields out of order", 32, 3, {0x0000FF00, 0xFF000000, 0x00FF0000}, {},
       0xE0u << 8 | 0x10u << 24 | 0x20u << 16, 0x10u << 8 | 0x40u << 24 | 0xD0u << 16, Letter, Ground},
  };
  for (const DepthCase& c : cases) {
    for (const bool topDown : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (topDown ? ", top-down" : ", bottom-up"));
      BmpParts p;
      p.bits = c.bits;
      p.compression = c.compression;
      p.masks = c.masks;
      p.palette = c.palette;
      p.colourCount = static_cast<std::uint32_t>(c.palette.size());
      p.height = topDown ? -3 : 3;
      p.pixels = PackRows(FPicture(c.letterValue, c.groundValue), c.bits, topDown);
      const Decoded d = Decode(BuildBmp(p));
      EXPECT_TRUE(HoldsPicture(d, FPicture(c.letterRgb, c.groundRgb)));
      EXPECT_EQ(d.image.sourceBits, c.bits);
    }
  }
}

// Widths 1 to 8 cover every row padding at every depth.
TEST(BmpDecodeForms, RowPaddingOfEveryWidthIsSkippedAndZeroedInTheStore) {
  for (const int bits : {1, 4, 8, 16, 24, 32}) {
    for (int width = 1; width <= 8; ++width) {
      SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(width));
      Rows values(2, std::vector<std::uint32_t>(static_cast<std::size_t>(width)));
      Rows expected = values;
      for (int x = 0; x < width; ++x) {
        const bool on = (x % 3 == 0);
        values[0][x] = on ? 1 : 0;
        values[1][x] = on ? 0 : 1;
        expected[0][x] = on ? 0xFFFFFF : 0;
        expected[1][x] = on ? 0 : 0xFFFFFF;
      }
      if (bits == 16) {
        for (auto& row : values) for (auto& v : row) v *= 0x7FFF;
      } else if (bits >= 24) {
        for (auto& row : values) for (auto& v : row) v *= 0xFFFFFF;
      }
      BmpParts p;
      p.width = width;
      p.height = 2;
      p.bits = bits;
      if (bits <= 8) p.palette = {0x000000, 0xFFFFFF};
      p.colourCount = static_cast<std::uint32_t>(p.palette.size());
      p.pixels = PackRows(values, bits, false);
      EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), expected));
    }
  }
}

// ---------------------------------------------------------------------------
// Header forms.

struct HeaderCase {
  const char* name;
  std::uint32_t headerBytes;
  int bits;
  std::uint32_t compression;
  std::vector<std::uint32_t> masks;
};

TEST(BmpDecodeHeaders, EveryHeaderSizeReadsTheSamePicture) {
  const std::uint32_t red = 0x00FF0000, green = 0x0000FF00, blue = 0x000000FF;
  const HeaderCase cases[] = {
      {"12-byte core header, 3-byte palette entries", 12, 8, 0, {}},
      {"16-byte short OS/2 header", 16, 8, 0, {}},
      {"40-byte header", 40, 8, 0, {}},
      {"52-byte header", 52, 8, 0, {}},
      {"56-byte header", 56, 8, 0, {}},
      {"64-byte OS/2 header", 64, 8, 0, {}},
      {"108-byte header", 108, 8, 0, {}},
      {"124-byte header", 124, 8, 0, {}},
      {"40-byte header, masks after it", 40, 32, 3, {red, green, blue}},
      {"40-byte header, alpha bit fields after it", 40, 32, 6, {red, green, blue, 0xFF000000}},
      {"52-byte header, masks inside", 52, 32, 3, {red, green, blue}},
      {"56-byte header, alpha mask inside", 56, 32, 3, {red, green, blue, 0xFF000000}},
      {"108-byte header, masks inside", 108, 32, 3, {red, green, blue, 0xFF000000}},
      {"124-byte header, masks inside", 124, 32, 3, {red, green, blue, 0}},
      {"124-byte header, no bit fields, masks ignored", 124, 32, 0, {blue, green, red, 0}},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    BmpParts p;
    p.headerBytes = c.headerBytes;
    p.bits = c.bits;
    p.compression = c.compression;
    p.masks = c.masks;
    if (c.bits == 8) {
      p.palette = PaletteWith(256, 9, 4);
      p.pixels = PackRows(FPicture(9, 4), 8, false);
    } else {
      // Alpha bytes that vary show that alpha never reaches the colours.
      p.pixels = PackRows(FPicture(0x12000000 | Letter, 0xFE000000 | Ground), 32, false);
    }
    const Decoded d = Decode(BuildBmp(p));
    EXPECT_TRUE(HoldsPicture(d, FPicture(Letter, Ground)));
  }
}

TEST(BmpDecodeHeaders, FieldsThatDoNotShapeThePictureAreIgnored) {
  BmpParts p;
  p.palette = PaletteWith(256, 1, 2);
  p.pixels = PackRows(FPicture(1, 2), 8, false);
  Bytes file = BuildBmp(p);
  Put32(file, 2, 0xFFFFFFF0);   // file size
  Put32(file, 6, 0x00120034);   // reserved (a hotspot in some files)
  Put16(file, 26, 300);         // planes
  Put32(file, 34, 0x7FFFFFFF);  // image size
  Put32(file, 38, 1);           // horizontal resolution
  Put32(file, 42, 0xFFFFFFFF);  // vertical resolution
  EXPECT_TRUE(HoldsPicture(Decode(file), FPicture(Letter, Ground)));
}

TEST(BmpDecodeHeaders, BytesBetweenTheTableAndThePixelsAreSkipped) {
  BmpParts p;
  p.palette = PaletteWith(16, 1, 2);
  p.colourCount = 16;
  p.gap = 7;
  p.pixels = PackRows(FPicture(1, 2), 8, false);
  EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), FPicture(Letter, Ground)));
}

// ---------------------------------------------------------------------------
// Colour tables.

TEST(BmpDecodePalette, IndexesPastAShortTableAreBlack) {
  BmpParts p;
  p.bits = 4;
  p.palette = {Ground, Letter};
  p.colourCount = 2;
  p.pixels = PackRows({{0, 1, 2, 15, 1}}, 4, false);
  p.height = 1;
  EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), {{Ground, Letter, Black, Black, Letter}}));
}

TEST(BmpDecodePalette, AnOpenCountIsTheWholeTableTheFileHolds) {
  struct Case {
    const char* name;
    std::uint32_t headerBytes;
    std::size_t entries;
    Rows expected;
  };
  const Case cases[] = {
      {"40-byte header, count 0, full table", 40, 256, {{Letter, Ground, FillerColour(3)}}},
      {"core header, full table", 12, 256, {{Letter, Ground, FillerColour(3)}}},
      // Only what lies before the pixels is the table; index 3 is past it,
      // where the pixel bytes are.
      {"core header, short table", 12, 3, {{Letter, Ground, Black}}},
      {"40-byte header, count 0, short table", 40, 3, {{Letter, Ground, Black}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpParts p;
    p.headerBytes = c.headerBytes;
    p.width = 3;
    p.height = 1;
    p.palette = PaletteWith(c.entries, 1, 2);
    p.colourCount = 0;
    p.pixels = PackRows({{1, 2, 3}}, 8, false);
    EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), c.expected));
  }
}

TEST(BmpDecodePalette, ATableLongerThanTheDepthNeedsIsAccepted) {
  BmpParts p;
  p.bits = 1;
  p.palette = PaletteWith(256, 1, 0);
  p.colourCount = 256;
  p.pixels = PackRows(FPicture(1, 0), 1, false);
  EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), FPicture(Letter, Ground)));
}

// ---------------------------------------------------------------------------
// Bit fields.

TEST(BmpDecodeBitFields, ChannelsOfAnyWidthScaleToEightBitsWithRounding) {
  struct Case {
    std::uint32_t redMask;
    std::uint32_t redValue;  // before shifting into place
    std::uint8_t expected;
  };
  const Case cases[] = {
      {0x1, 1, 255},                         // 1 bit
      {0x3, 1, 85},       {0x3, 2, 170},     // 2 bits
      {0x7u << 3, 3, 109},                   // 3 bits, shifted
      {0x1F, 31, 255},    {0x1F, 16, 132},   // 5 bits
      {0x3Fu << 5, 63, 255}, {0x3Fu << 5, 32, 130},  // 6 bits
      {0xFFu << 8, 200, 200},                // 8 bits
      {0x3FF, 512, 128},  {0x3FF, 0, 0},     // 10 bits
      {0x3FFFF, 131072, 128}, {0x3FFFF, 262143, 255},  // 18 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mask " << std::hex << c.redMask << " value " << std::dec << c.redValue);
    BmpParts p;
    p.width = 1;
    p.height = 1;
    p.bits = 32;
    p.compression = 3;
    p.masks = {c.redMask, 0x0F000000, 0xF0000000};
    const int shift = std::countr_zero(c.redMask);
    p.pixels = PackRows({{c.redValue << shift | 0x0F000000}}, 32, false);
    EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), {{static_cast<std::uint32_t>(c.expected) << 16 | 0x00FF00}}));
  }
}

TEST(BmpDecodeBitFields, AZeroAlphaMaskIsFine) {
  BmpParts p;
  p.headerBytes = 124;
  p.bits = 16;
  p.compression = 3;
  p.masks = {0x0F00, 0x00F0, 0x000F, 0};
  p.pixels = PackRows(FPicture(0x5F0F, 0x000F), 16, false);  // bits 12-15 belong to no channel
  EXPECT_TRUE(HoldsPicture(Decode(BuildBmp(p)), FPicture(0xFF00FF, 0x0000FF)));
}

// ---------------------------------------------------------------------------
// RLE.

// Palette index 0 is purple, so pixels the runs skip show whether they were
// left black (as they must be) or given colour 0.
BmpParts RleParts(int bits, Bytes stream) {
  BmpParts p;
  p.bits = bits;
  p.compression = bits == 8 ? 1 : 2;
  p.palette = {Purple, Ground, Letter};
  p.colourCount = 3;
  p.pixels = std::move(stream);
  return p;
}

struct RleCase {
  const char* name;
  int bits;
  Bytes stream;
  Rows expected;
};

TEST(BmpDecodeRle, StreamsDrawWhatTheyCode) {
  const std::uint32_t L = Letter, G = Ground, K = Black;
  const RleCase cases[] = {
      {"RLE8 runs and literals, rows closed by end of line", 8,
       {0x01, 0x02, 0x04, 0x01, 0x00, 0x00,                    // bottom: L G G G G
        0x00, 0x03, 0x02, 0x02, 0x02, 0x00, 0x02, 0x01, 0x00, 0x00,  // L L L (padded) G G
        0x04, 0x02, 0x01, 0x01, 0x00, 0x01},                   // top: L L L L G, end
       FPicture(L, G)},
      {"RLE4 runs and odd literals", 4,
       {0x01, 0x20, 0x04, 0x11, 0x00, 0x00,          // L G G G G
        0x00, 0x03, 0x22, 0x20, 0x02, 0x11, 0x00, 0x00,  // literal of 3 in 2 bytes, G G
        0x00, 0x05, 0x22, 0x22, 0x10, 0x00, 0x00, 0x01},  // literal of 5, padded
       FPicture(L, G)},
      {"RLE4 runs alternate their two nibbles", 4, {0x05, 0x21, 0x00, 0x01},
       {{K, K, K, K, K}, {K, K, K, K, K}, {L, G, L, G, L}}},
      {"delta skips pixels and leaves them black", 8, {0x02, 0x02, 0x00, 0x02, 0x02, 0x01, 0x01, 0x02, 0x00, 0x01},
       {{K, K, K, K, K}, {K, K, K, K, L}, {L, L, K, K, K}}},
      {"early end of line and end of picture leave black", 8, {0x02, 0x01, 0x00, 0x00, 0x01, 0x02, 0x00, 0x01},
       {{K, K, K, K, K}, {L, K, K, K, K}, {G, G, K, K, K}}},
      {"end of line after the top row ends the picture", 8,
       {0x05, 0x01, 0x00, 0x00, 0x05, 0x01, 0x00, 0x00, 0x05, 0x02, 0x00, 0x00},
       {{L, L, L, L, L}, {G, G, G, G, G}, {G, G, G, G, G}}},
      {"delta up to the row above the picture ends it", 8, {0x01, 0x02, 0x00, 0x02, 0x00, 0x03},
       {{K, K, K, K, K}, {K, K, K, K, K}, {L, K, K, K, K}}},
  };
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(BuildBmp(RleParts(c.bits, c.stream)));
    EXPECT_TRUE(HoldsPicture(d, c.expected));
    EXPECT_EQ(d.image.sourceBits, c.bits);
  }
}

// An RLE file may be tiny and its picture large; only the pixel cap applies.
TEST(BmpDecodeRle, ALargePictureFromATinyStreamIsBlack) {
  BmpParts p = RleParts(8, {0x00, 0x01});
  p.width = 4000;
  p.height = 4000;
  const Decoded d = Decode(BuildBmp(p));
  ASSERT_TRUE(d.ok) << d.reason;
  EXPECT_EQ(d.image.pixels.bytes.size(), 12000u * 4000u);
  EXPECT_EQ(std::memcmp(d.image.pixels.Pixel(3999, 0), "\0\0\0", 3), 0);
}

struct RleRefusal {
  const char* name;
  int bits;
  Bytes stream;
  const char* reason;
};

TEST(BmpDecodeRle, StreamsThatLeaveThePictureOrEndEarlyAreRefused) {
  const RleRefusal cases[] = {
      {"RLE8 run past the row", 8, {0x06, 0x01, 0x00, 0x01}, "RLE run past the end of a row"},
      {"RLE4 run past the row", 4, {0x06, 0x11, 0x00, 0x01}, "RLE run past the end of a row"},
      {"second run past the row", 8, {0x03, 0x01, 0x03, 0x01, 0x00, 0x01}, "RLE run past the end of a row"},
      {"literal past the row", 8, {0x00, 0x06, 1, 1, 1, 1, 1, 1, 0x00, 0x01}, "RLE run past the end of a row"},
      {"delta past the right edge", 8, {0x01, 0x01, 0x00, 0x02, 0x05, 0x00, 0x00, 0x01}, "RLE delta past the picture"},
      {"delta past the top", 8, {0x00, 0x02, 0x00, 0x04, 0x00, 0x01}, "RLE delta past the picture"},
      {"no end of picture", 8, {0x05, 0x01}, "file cut short"},
      {"literal cut short", 8, {0x00, 0x04, 0x01, 0x01}, "file cut short"},
      {"delta cut short", 8, {0x00, 0x02, 0x01}, "file cut short"},
      {"escape cut short", 8, {0x00}, "file cut short"},
      {"nothing at all", 4, {}, "file cut short"},
  };
  for (const RleRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(BuildBmp(RleParts(c.bits, c.stream)));
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.reason, c.reason);
  }
}

// ---------------------------------------------------------------------------
// Refusals of malformed headers and sizes.

using EditParts = void (*)(BmpParts&);
using EditBytes = void (*)(Bytes&);

struct RefusalCase {
  const char* name;
  EditParts editParts;
  EditBytes editBytes;
  const char* reason;
};

TEST(BmpDecodeRefusals, MalformedFilesAreRefusedWithTheirReason) {
  const RefusalCase cases[] = {
      {"empty input", nullptr, [](Bytes& b) { b.clear(); }, "not a BMP file"},
      {"other magic", nullptr, [](Bytes& b) { b[1] = 'A'; }, "not a BMP file"},
      {"ends in the file header", nullptr, [](Bytes& b) { b.resize(16); }, "file cut short"},
      {"ends in the info header", nullptr, [](Bytes& b) { b.resize(40); }, "file cut short"},
      {"ends in the masks", [](BmpParts& p) { p.bits = 16; p.compression = 3; p.masks = {0xF800, 0x07E0, 0x001F}; },
       [](Bytes& b) { b.resize(60); }, "file cut short"},
      {"unknown header size", nullptr, [](Bytes& b) { Put32(b, 14, 41); }, "unsupported header size"},
      {"zero width", [](BmpParts& p) { p.width = 0; }, nullptr, "picture width out of range"},
      {"negative width", [](BmpParts& p) { p.width = -5; }, nullptr, "picture width out of range"},
      {"width past 16 bits", [](BmpParts& p) { p.width = 32768; }, nullptr, "picture width out of range"},
      {"zero height", [](BmpParts& p) { p.height = 0; }, nullptr, "picture height out of range"},
      {"top-down height past 16 bits", [](BmpParts& p) { p.height = -32768; }, nullptr, "picture height out of range"},
      {"most negative height", [](BmpParts& p) { p.height = INT32_MIN; }, nullptr, "picture height out of range"},
      {"core header width past 16 bits", [](BmpParts& p) { p.headerBytes = 12; p.width = 40000; }, nullptr,
       "picture width out of range"},
      {"more pixels than the cap", [](BmpParts& p) { p.width = 8192; p.height = 8193; }, nullptr, "picture too large"},
      {"3 bits per pixel", [](BmpParts& p) { p.bits = 3; }, nullptr, "unsupported bit count"},
      {"64 bits per pixel", [](BmpParts& p) { p.bits = 64; }, nullptr, "unsupported bit count"},
      {"embedded JPEG", [](BmpParts& p) { p.compression = 4; }, nullptr, "unsupported compression"},
      {"unknown compression", [](BmpParts& p) { p.compression = 0x7FFFFFFF; }, nullptr, "unsupported compression"},
      {"OS/2 Huffman", [](BmpParts& p) { p.headerBytes = 64; p.bits = 1; p.compression = 3; }, nullptr,
       "unsupported compression"},
      {"RLE8 at 4 bits", [](BmpParts& p) { p.bits = 4; p.compression = 1; }, nullptr, "RLE8 needs 8 bits per pixel"},
      {"RLE4 at 8 bits", [](BmpParts& p) { p.compression = 2; }, nullptr, "RLE4 needs 4 bits per pixel"},
      {"bit fields at 8 bits", [](BmpParts& p) { p.compression = 3; p.masks = {0xE0, 0x1C, 0x03}; }, nullptr,
       "bit-field masks need 16 or 32 bits per pixel"},
      {"top-down RLE", [](BmpParts& p) { p.compression = 1; p.height = -3; p.pixels = {0x00, 0x01}; }, nullptr,
       "top-down RLE picture"},
      {"zero red mask", [](BmpParts& p) { p.bits = 16; p.compression = 3; p.masks = {0, 0x07E0, 0x001F}; }, nullptr,
       "zero colour mask"},
      {"zero green mask", [](BmpParts& p) { p.bits = 16; p.compression = 3; p.masks = {0xF800, 0, 0x001F}; }, nullptr,
       "zero colour mask"},
      {"zero blue mask", [](BmpParts& p) { p.bits = 32; p.compression = 3; p.masks = {0xFF00, 0xFF, 0}; }, nullptr,
       "zero colour mask"},
      {"red and green overlap", [](BmpParts& p) { p.bits = 16; p.compression = 3; p.masks = {0xFC00, 0x07E0, 0x001F}; },
       nullptr, "overlapping colour masks"},
      {"alpha overlaps blue", [](BmpParts& p) { p.headerBytes = 56; p.bits = 32; p.compression = 3;
                                               p.masks = {0xFF0000, 0xFF00, 0xFF, 0x1FF}; },
       nullptr, "overlapping colour masks"},
      {"16-bit mask above the pixel",
       [](BmpParts& p) { p.bits = 16; p.compression = 3; p.masks = {0x1F800, 0x07E0, 0x001F}; }, nullptr,
       "colour mask wider than the pixel"},
      {"colour count past 256", [](BmpParts& p) { p.colourCount = 257; }, nullptr, "too many colours in the table"},
      {"huge colour count", [](BmpParts& p) { p.colourCount = 0xFFFFFFFF; }, nullptr, "too many colours in the table"},
      {"colour count past the pixel offset", [](BmpParts& p) { p.palette.resize(4); p.colourCount = 5; }, nullptr,
       "colour table past the pixel data"},
      {"pixel offset past the end", nullptr, [](Bytes& b) { Put32(b, 10, static_cast<std::uint32_t>(b.size() + 1)); },
       "pixel data offset past the end of the file"},
      {"pixel offset inside the header", nullptr, [](Bytes& b) { Put32(b, 10, 20); }, "pixel data overlaps the header"},
      {"last row one byte short", nullptr, [](Bytes& b) { b.pop_back(); }, "file cut short"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    BmpParts p;
    p.palette = PaletteWith(256, 1, 2);
    p.pixels = PackRows(FPicture(1, 2), 8, false);
    if (c.editParts) c.editParts(p);
    Bytes file = BuildBmp(p);
    if (c.editBytes) c.editBytes(file);
    const Decoded d = Decode(file);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.reason, c.reason);
  }
}

TEST(BmpDecodeRefusals, AReasonIsOptional) {
  DecodedBmp out;
  const std::uint8_t notBmp[] = {'G', 'I', 'F'};
  EXPECT_FALSE(DecodeBmp(notBmp, sizeof notBmp, out, nullptr));
}

// Whatever the form, a file missing any byte up to its last pixel fails.
TEST(BmpDecodeRefusals, EveryShorterCopyOfAFileIsRefused) {
  BmpParts indexed;
  indexed.palette = PaletteWith(3, 1, 2);
  indexed.colourCount = 3;
  indexed.pixels = PackRows(FPicture(1, 2), 8, false);
  BmpParts core = indexed;
  core.headerBytes = 12;
  core.colourCount = 0;
  BmpParts fields;
  fields.bits = 16;
  fields.compression = 3;
  fields.masks = {0xF800, 0x07E0, 0x001F};
  fields.pixels = PackRows(FPicture(0xF800, 0x001F), 16, false);
  BmpParts truecolour;
  truecolour.headerBytes = 124;
  truecolour.bits = 24;
  truecolour.height = -3;
  truecolour.pixels = PackRows(FPicture(Letter, Ground), 24, true);
  const BmpParts rle = RleParts(4, {0x01, 0x20, 0x00, 0x00, 0x00, 0x03, 0x22, 0x20, 0x00, 0x00, 0x00, 0x05, 0x22, 0x22,
                                    0x10, 0x00, 0x00, 0x01});
  for (const BmpParts& p : {indexed, core, fields, truecolour, rle}) {
    const Bytes file = BuildBmp(p);
    ASSERT_TRUE(Decode(file).ok);
    for (std::size_t size = 0; size < file.size(); ++size) {
      const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
      const Decoded d = Decode(cut);
      EXPECT_FALSE(d.ok) << p.bits << " bits, header " << p.headerBytes << ", cut to " << size << " bytes";
    }
  }
}

}  // namespace
