// Feeds arbitrary bytes to DecodePng. The sanitizers catch bad reads and
// writes; a decoded picture must also be a well-formed 24- or 32-bit pixel
// array, read without taking more bytes or memory than the file warrants.
// Mutated chunks rarely keep a valid CRC, so each input is also
// decoded with its chunk CRCs put right, to reach the code behind them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "raster/bmp_decode.h"
#include "raster/png_file.h"

namespace {

bool WellFormed(const PixelStore& s) {
  if (s.width < 1 || s.width > ImageMaxSide || s.height < 1 || s.height > ImageMaxSide) return false;
  if (static_cast<std::uint64_t>(s.width) * static_cast<std::uint64_t>(s.height) > BmpMaxPixels) return false;
  if ((s.bitsPerPixel != 24 && s.bitsPerPixel != 32) || s.rowBytes != RowBytes(s.width, s.bitsPerPixel)) return false;
  if (s.bytes.size() != s.rowBytes * static_cast<std::size_t>(s.height)) return false;
  const std::size_t pixelBytes = static_cast<std::size_t>(s.bitsPerPixel / 8) * static_cast<std::size_t>(s.width);
  for (std::size_t row = 0; row < s.bytes.size(); row += s.rowBytes) {
    for (std::size_t i = pixelBytes; i < s.rowBytes; ++i) {
      if (s.bytes[row + i] != 0) return false;
    }
  }
  return true;
}

// libpng's own memory (its rows, inflate state and window, a palette) for
// the widest 16-bit picture, whatever chunks a file carries.
constexpr std::uint64_t LibpngMemoryMax = 4 << 20;

void Check(const std::uint8_t* data, std::size_t size) {
  PixelStore store;
  std::string why;
  PngReadCost cost;
  const bool decoded = DecodePng(data, size, store, &why, &cost);
  // Each byte is read once by libpng, a chunk header at most once more by the walk past the data.
  if (cost.bytesConsumed > 2 * std::uint64_t{size} + 16 || cost.peakLibpngBytes > LibpngMemoryMax) std::abort();
  if (!decoded) {
    if (why.empty()) std::abort();
    return;
  }
  if (!WellFormed(store)) std::abort();
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// A copy with the CRC of every whole chunk after the signature recomputed;
// empty when nothing needed it.
std::vector<std::uint8_t> WithGoodCrcs(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> b(data, data + size);
  bool changed = false;
  for (std::size_t at = 8; at + 12 <= b.size();) {
    const std::size_t length = std::size_t{b[at]} << 24 | std::size_t{b[at + 1]} << 16 | std::size_t{b[at + 2]} << 8 | b[at + 3];
    if (length > b.size() - at - 12) break;
    const std::size_t end = at + 8 + length;
    const std::uint32_t crc = Crc32(b.data() + at + 4, length + 4);
    for (int i = 0; i < 4; ++i) {
      const auto byte = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
      changed |= b[end + static_cast<std::size_t>(i)] != byte;
      b[end + static_cast<std::size_t>(i)] = byte;
    }
    at = end + 4;
  }
  if (!changed) b.clear();
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Check(data, size);
  const std::vector<std::uint8_t> fixed = WithGoodCrcs(data, size);
  if (!fixed.empty()) Check(fixed.data(), fixed.size());
  return 0;
}
