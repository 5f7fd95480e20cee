// BMP decoding: the headers are read into a layout, every size in it is
// checked against the file's size, and only then is the picture allocated and
// its rows read and converted into a 24-bit store.
#include "raster/bmp_decode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace {

// A fault is a short static reason; null means all is well.
using Fault = const char*;

constexpr std::uint64_t FileHeaderBytes = 14;
// Masks follow the first 40 header bytes, whether the header holds them or not.
constexpr std::uint64_t MasksAt = FileHeaderBytes + 40;

constexpr std::uint32_t CompressNone = 0;
constexpr std::uint32_t CompressRle8 = 1;
constexpr std::uint32_t CompressRle4 = 2;
constexpr std::uint32_t CompressBitFields = 3;
constexpr std::uint32_t CompressAlphaBitFields = 6;

// Every header, the masks and a full colour table lie within this many bytes
// of the start; a gap after them is never read.
constexpr std::uint64_t HeadBytes = FileHeaderBytes + 124 + 256 * 4;
// Pixel rows are read in pieces of about this size.
constexpr std::uint64_t ChunkBytes = 1 << 20;

// Little-endian fields at offsets into the bytes held. Bytes past the end read as zero,
// so a missing check can give a wrong value but never a read outside.
struct LittleEndianBytes {
  const std::uint8_t* data;
  std::size_t size;

  bool Holds(std::uint64_t at, std::uint64_t count) const { return at <= size && count <= size - at; }
  std::uint32_t U8(std::uint64_t at) const { return at < size ? data[at] : 0u; }
  std::uint32_t U16(std::uint64_t at) const { return U8(at) | U8(at + 1) << 8; }
  std::uint32_t U32(std::uint64_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::int32_t I32(std::uint64_t at) const { return static_cast<std::int32_t>(U32(at)); }
};

enum class HeaderKind { Core, Os2Short, Os2Full, Windows };

struct BmpLayout {
  HeaderKind kind = HeaderKind::Windows;
  std::uint64_t headerBytes = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // rows, always positive
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = CompressNone;
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
  std::uint64_t tableAt = 0;
  std::uint64_t tableEntryBytes = 4;
  std::uint64_t tableCount = 0;  // entries read, at most 2^bits
  std::uint64_t pixelsAt = 0;
};

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;  // B, G, R; black past the table

Fault ReadHeaderKind(std::uint32_t headerBytes, BmpLayout& layout) {
  switch (headerBytes) {
    case 12: layout.kind = HeaderKind::Core; break;
    case 16: layout.kind = HeaderKind::Os2Short; break;
    case 64: layout.kind = HeaderKind::Os2Full; break;
    case 40:
    case 52:
    case 56:
    case 108:
    case 124: layout.kind = HeaderKind::Windows; break;
    default: return "unsupported header size";
  }
  layout.headerBytes = headerBytes;
  return nullptr;
}

// Width, height, bit count and compression, wherever this header keeps them.
// The core header has unsigned 16-bit sizes; the short OS/2 one stops after
// the bit count, so it is never compressed. Returns the height as stored,
// negative for top-down rows.
std::int64_t ReadGeometry(const LittleEndianBytes& file, BmpLayout& layout) {
  if (layout.kind == HeaderKind::Core) {
    layout.width = file.U16(18);
    layout.bits = static_cast<int>(file.U16(24));
    layout.compression = CompressNone;
    layout.tableEntryBytes = 3;
    return file.U16(20);
  }
  layout.width = file.I32(18);
  layout.bits = static_cast<int>(file.U16(28));
  layout.compression = layout.kind == HeaderKind::Os2Short ? CompressNone : file.U32(30);
  layout.tableEntryBytes = 4;
  return file.I32(22);
}

Fault CheckGeometry(BmpLayout& layout, std::int64_t rawHeight) {
  // The image record keeps 16-bit sizes.
  if (layout.width < 1 || layout.width > ImageMaxSide) return "picture width out of range";
  layout.topDown = rawHeight < 0;
  layout.height = layout.topDown ? -rawHeight : rawHeight;
  if (layout.height < 1 || layout.height > ImageMaxSide) return "picture height out of range";
  if (static_cast<std::uint64_t>(layout.width * layout.height) > BmpMaxPixels) return "picture too large";
  return nullptr;
}

bool KnownCompression(const BmpLayout& layout) {
  const std::uint32_t c = layout.compression;
  if (c == CompressNone || c == CompressRle8 || c == CompressRle4) return true;
  // OS/2 uses 3 and 4 for Huffman and 24-bit RLE, which we do not read.
  if (layout.kind != HeaderKind::Windows) return false;
  return c == CompressBitFields || c == CompressAlphaBitFields;
}

Fault CheckFormat(const BmpLayout& layout) {
  if (!KnownCompression(layout)) return "unsupported compression";
  const int b = layout.bits;
  if (b != 1 && b != 2 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return "unsupported bit count";
  const std::uint32_t c = layout.compression;
  if (c == CompressRle8 && b != 8) return "RLE8 needs 8 bits per pixel";
  if (c == CompressRle4 && b != 4) return "RLE4 needs 4 bits per pixel";
  const bool fields = c == CompressBitFields || c == CompressAlphaBitFields;
  if (fields && b != 16 && b != 32) return "bit-field masks need 16 or 32 bits per pixel";
  // Rows of an RLE picture are addressed from the bottom by its deltas.
  if (layout.topDown && (c == CompressRle8 || c == CompressRle4)) return "top-down RLE picture";
  return nullptr;
}

bool UsesMasks(const BmpLayout& layout) {
  return layout.compression == CompressBitFields || layout.compression == CompressAlphaBitFields;
}

// Reads the masks (in the header from 52 bytes up, else just after it) and
// sets where the colour table starts.
Fault ReadMasks(const LittleEndianBytes& file, BmpLayout& layout) {
  const std::uint64_t headerEnd = FileHeaderBytes + layout.headerBytes;
  layout.tableAt = headerEnd;
  if (!UsesMasks(layout)) {
    if (layout.bits == 16) layout.masks = {0x7C00, 0x03E0, 0x001F, 0};
    if (layout.bits == 32) layout.masks = {0xFF0000, 0xFF00, 0xFF, 0};
    return nullptr;
  }
  const bool alpha = layout.compression == CompressAlphaBitFields || layout.headerBytes >= 56;
  const std::uint64_t masksEnd = MasksAt + (alpha ? 16 : 12);
  if (!file.Holds(0, masksEnd)) return "file cut short";
  layout.masks = {file.U32(MasksAt), file.U32(MasksAt + 4), file.U32(MasksAt + 8), alpha ? file.U32(MasksAt + 12) : 0};
  layout.tableAt = std::max(headerEnd, masksEnd);
  return nullptr;
}

Fault CheckMasks(const BmpLayout& layout) {
  const auto [r, g, b, a] = layout.masks;
  if (r == 0 || g == 0 || b == 0) return "zero colour mask";
  const std::uint32_t outside = layout.bits == 16 ? 0xFFFF0000u : 0u;
  if ((r | g | b | a) & outside) return "colour mask wider than the pixel";
  if ((r & g) | (r & b) | (g & b) | (a & (r | g | b))) return "overlapping colour masks";
  return nullptr;
}

// The table lies between the headers and the pixel array. A count the file
// leaves open (zero, or no field at all) is whatever fits there. Only the
// first 2^bits entries are used: a longer table, or one in a file of more
// than 8 bits, is read past.
Fault ReadTableLayout(const LittleEndianBytes& file, std::uint64_t fileSize, BmpLayout& layout) {
  const bool hasCountField = layout.kind == HeaderKind::Windows || layout.kind == HeaderKind::Os2Full;
  const std::uint64_t declared = hasCountField ? file.U32(46) : 0;
  layout.pixelsAt = file.U32(10);
  if (layout.pixelsAt > fileSize) return "pixel data offset past the end of the file";
  if (layout.pixelsAt < layout.tableAt) return "pixel data overlaps the header";
  const std::uint64_t room = (layout.pixelsAt - layout.tableAt) / layout.tableEntryBytes;
  if (declared > room) return "colour table past the pixel data";
  if (layout.bits > 8) return nullptr;
  const std::uint64_t indexes = std::uint64_t{1} << layout.bits;
  layout.tableCount = std::min(indexes, declared != 0 ? declared : room);
  return nullptr;
}

// `file` holds the first HeadBytes of the file, or all of a shorter one.
Fault ReadLayout(const LittleEndianBytes& file, std::uint64_t fileSize, BmpLayout& layout) {
  if (!file.Holds(0, 2) || file.U8(0) != 'B' || file.U8(1) != 'M') return "not a BMP file";
  if (!file.Holds(0, FileHeaderBytes + 4)) return "file cut short";
  if (Fault f = ReadHeaderKind(file.U32(FileHeaderBytes), layout)) return f;
  if (!file.Holds(0, FileHeaderBytes + layout.headerBytes)) return "file cut short";
  if (Fault f = CheckGeometry(layout, ReadGeometry(file, layout))) return f;
  if (Fault f = CheckFormat(layout)) return f;
  if (Fault f = ReadMasks(file, layout)) return f;
  if (UsesMasks(layout)) {
    if (Fault f = CheckMasks(layout)) return f;
  }
  return ReadTableLayout(file, fileSize, layout);
}

Palette ReadPalette(const LittleEndianBytes& file, const BmpLayout& layout) {
  Palette palette{};
  for (std::uint64_t i = 0; i < layout.tableCount; ++i) {
    const std::uint64_t at = layout.tableAt + i * layout.tableEntryBytes;
    palette[i] = {static_cast<std::uint8_t>(file.U8(at)), static_cast<std::uint8_t>(file.U8(at + 1)),
                  static_cast<std::uint8_t>(file.U8(at + 2))};
  }
  return palette;
}

// The width is checked against ImageMaxSide before any row is measured.
std::uint64_t FileRowBytes(const BmpLayout& layout) { return RowBytes(static_cast<int>(layout.width), layout.bits); }

// Store row (bottom first) that file row `r` belongs in.
std::uint8_t* StoreRow(const BmpLayout& layout, PixelStore& out, std::int64_t r) {
  const std::int64_t row = layout.topDown ? layout.height - 1 - r : r;
  return out.bytes.data() + static_cast<std::size_t>(row) * out.rowBytes;
}

// Both convert the file rows [first, end), held at `rows`.
void DecodeIndexed(const BmpLayout& layout, const Palette& palette, const std::uint8_t* rows, std::int64_t first,
                   std::int64_t end, PixelStore& out) {
  const std::uint64_t stride = FileRowBytes(layout);
  const unsigned bits = static_cast<unsigned>(layout.bits);
  const unsigned valueMask = (1u << bits) - 1;
  for (std::int64_t r = first; r < end; ++r) {
    const std::uint8_t* src = rows + static_cast<std::size_t>(r - first) * stride;
    std::uint8_t* dst = StoreRow(layout, out, r);
    for (std::int64_t x = 0; x < layout.width; ++x) {
      // The leftmost pixel is in the high bits of its byte.
      const std::uint64_t bit = static_cast<std::uint64_t>(x) * bits;
      const unsigned shift = 8 - bits - static_cast<unsigned>(bit & 7);
      const auto& colour = palette[(src[bit >> 3] >> shift) & valueMask];
      std::memcpy(dst + 3 * x, colour.data(), 3);
    }
  }
}

// One channel of a bit-field pixel, scaled to 0..255 with rounding so that a
// full channel of any width is 255.
class ChannelScale {
 public:
  explicit ChannelScale(std::uint32_t mask)
      : mask_(mask), shift_(std::countr_zero(mask)), max_(mask >> shift_) {
    // Narrow channels (all the usual ones) get a table; wide ones are rare.
    if (max_ >= 1u << 16) return;
    table_.resize(max_ + 1);
    for (std::uint32_t v = 0; v <= max_; ++v) table_[v] = Scale(v);
  }
  std::uint8_t operator()(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return table_.empty() ? Scale(v) : table_[v];
  }

 private:
  std::uint8_t Scale(std::uint32_t v) const {
    return static_cast<std::uint8_t>((std::uint64_t{v} * 255 + max_ / 2) / max_);
  }
  std::uint32_t mask_;
  int shift_;
  std::uint32_t max_;
  std::vector<std::uint8_t> table_;
};

struct ChannelScales {
  explicit ChannelScales(const BmpLayout& layout)
      : red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]) {}
  ChannelScale red, green, blue;
};

void DecodeBitFields(const BmpLayout& layout, const ChannelScales& scales, const std::uint8_t* rows,
                     std::int64_t first, std::int64_t end, PixelStore& out) {
  const auto& [red, green, blue] = scales;
  const std::uint64_t stride = FileRowBytes(layout);
  const std::size_t bytesPerPixel = static_cast<std::size_t>(layout.bits / 8);
  for (std::int64_t r = first; r < end; ++r) {
    const std::uint8_t* src = rows + static_cast<std::size_t>(r - first) * stride;
    std::uint8_t* dst = StoreRow(layout, out, r);
    for (std::int64_t x = 0; x < layout.width; ++x, src += bytesPerPixel, dst += 3) {
      std::uint32_t pixel = src[0] | static_cast<std::uint32_t>(src[1]) << 8;
      if (bytesPerPixel == 4) {
        pixel |= static_cast<std::uint32_t>(src[2]) << 16 | static_cast<std::uint32_t>(src[3]) << 24;
      }
      dst[0] = blue(pixel);
      dst[1] = green(pixel);
      dst[2] = red(pixel);
    }
  }
}

// The file's rows are already the store's layout, so they are read straight
// into it, a chunk at a time as it grows (a chunk is read over while its zeros
// are still in the cache): top-down rows are then put in order, and the
// padding, which files may fill with anything, is cleared.
Fault Read24(const BmpSource& file, const BmpLayout& layout, PixelStore& out) {
  const std::size_t rows = static_cast<std::size_t>(layout.height);
  const std::size_t size = out.rowBytes * rows;
  out.bytes.clear();
  ReservePixelBytes(out.bytes, size);
  for (std::size_t at = 0; at < size; at += ChunkBytes) {
    out.bytes.resize(std::min<std::size_t>(at + ChunkBytes, size));
    if (Fault f = file.read(layout.pixelsAt + at, out.bytes.data() + at, out.bytes.size() - at)) return f;
  }
  const std::size_t pixelBytes = static_cast<std::size_t>(layout.width) * 3;
  for (std::size_t r = 0; layout.topDown && r < rows / 2; ++r) {
    std::uint8_t* low = out.bytes.data() + r * out.rowBytes;
    std::swap_ranges(low, low + pixelBytes, out.bytes.data() + (rows - 1 - r) * out.rowBytes);
  }
  if (pixelBytes == out.rowBytes) return nullptr;
  for (std::size_t at = pixelBytes; at < out.bytes.size(); at += out.rowBytes) {
    std::memset(out.bytes.data() + at, 0, out.rowBytes - pixelBytes);
  }
  return nullptr;
}

// Other uncompressed rows go through a buffer of a few rows at a time.
Fault ReadRows(const BmpSource& file, const BmpLayout& layout, const Palette& palette, PixelStore& out) {
  const std::uint64_t stride = FileRowBytes(layout);
  const std::int64_t chunkRows = static_cast<std::int64_t>(std::max<std::uint64_t>(1, ChunkBytes / stride));
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride * std::min(chunkRows, layout.height)));
  std::optional<ChannelScales> scales;  // masks of indexed files are zero
  if (layout.bits > 8) scales.emplace(layout);
  for (std::int64_t first = 0; first < layout.height; first += chunkRows) {
    const std::int64_t end = std::min(first + chunkRows, layout.height);
    const std::uint64_t at = layout.pixelsAt + static_cast<std::uint64_t>(first) * stride;
    const auto bytes = static_cast<std::size_t>(static_cast<std::uint64_t>(end - first) * stride);
    if (Fault f = file.read(at, rows.data(), bytes)) return f;
    if (layout.bits <= 8) {
      DecodeIndexed(layout, palette, rows.data(), first, end, out);
    } else {
      DecodeBitFields(layout, *scales, rows.data(), first, end, out);
    }
  }
  return nullptr;
}

// RLE8 and RLE4: runs, literals, end of line, end of picture and deltas, from
// the bottom row up, in `file` (the bytes from the pixel offset on). Pixels
// never reached stay black. The picture also ends once an end of line closes
// its last row. Runs and literals are clipped at the row's end (writers pad
// rows with a run past it); a delta past the right edge stops at the row's
// end and one past the last row ends the picture.
Fault DecodeRle(const LittleEndianBytes& file, const BmpLayout& layout, const Palette& palette, PixelStore& out) {
  const bool four = layout.compression == CompressRle4;
  std::uint64_t at = 0;
  std::int64_t x = 0;
  std::int64_t y = 0;
  // Pixel i of a run of `count` from x, its index given by `index(i)`; x then follows the run.
  auto put = [&](std::uint32_t count, auto index) {
    const std::int64_t end = std::min<std::int64_t>(x + count, layout.width);
    std::uint8_t* row = out.bytes.data() + static_cast<std::size_t>(y) * out.rowBytes;
    for (std::uint32_t i = 0; x + i < end; ++i) std::memcpy(row + 3 * (x + i), palette[index(i)].data(), 3);
    x = end;
  };
  while (y < layout.height) {
    if (!file.Holds(at, 2)) return "file cut short";
    const std::uint32_t count = file.U8(at);
    const std::uint32_t code = file.U8(at + 1);
    at += 2;
    if (count > 0) {
      put(count, [&](std::uint32_t i) { return !four ? code : (i & 1) ? code & 15 : code >> 4; });
      continue;
    }
    if (code == 0) {
      x = 0;
      ++y;
      continue;
    }
    if (code == 1) return nullptr;
    if (code == 2) {
      if (!file.Holds(at, 2)) return "file cut short";
      x = std::min<std::int64_t>(x + file.U8(at), layout.width);
      y += file.U8(at + 1);
      at += 2;
      continue;
    }
    // A literal of `code` pixels, padded to an even number of bytes.
    const std::uint64_t bytes = four ? (code + 1) / 2 : code;
    if (!file.Holds(at, bytes)) return "file cut short";
    put(code, [&](std::uint32_t i) {
      const std::uint32_t byte = file.U8(at + (four ? i / 2 : i));
      return !four ? byte : (i & 1) ? byte & 15 : byte >> 4;
    });
    at += bytes + (bytes & 1);
  }
  return nullptr;
}

Fault Decode(const BmpSource& file, DecodedBmp& out) {
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min(file.size, HeadBytes)));
  if (Fault f = file.read(0, head.data(), head.size())) return f;
  BmpLayout layout;
  if (Fault f = ReadLayout(LittleEndianBytes{head.data(), head.size()}, file.size, layout)) return f;
  const bool rle = layout.compression == CompressRle8 || layout.compression == CompressRle4;
  // Sizes are below 2^15 and bits at most 32, so these products fit easily.
  const std::uint64_t fileBytes = FileRowBytes(layout) * static_cast<std::uint64_t>(layout.height);
  if (!rle && fileBytes > file.size - layout.pixelsAt) return "file cut short";

  const int width = static_cast<int>(layout.width);
  const int height = static_cast<int>(layout.height);
  const std::uint64_t rowBytes = RowBytes(width, 24);
  const std::uint64_t storeBytes = rowBytes * static_cast<std::uint64_t>(height);
  if (storeBytes > std::numeric_limits<std::size_t>::max()) return "picture too large";

  PixelStore& store = out.pixels;
  store.width = width;
  store.height = height;
  store.bitsPerPixel = 24;
  store.rowBytes = static_cast<std::size_t>(rowBytes);
  out.sourceBits = layout.bits;
  if (layout.bits == 24) return Read24(file, layout, store);
  store.bytes.assign(static_cast<std::size_t>(storeBytes), 0);

  const Palette palette = ReadPalette(LittleEndianBytes{head.data(), head.size()}, layout);
  if (!rle) return ReadRows(file, layout, palette, store);
  std::vector<std::uint8_t> codes(static_cast<std::size_t>(file.size - layout.pixelsAt));
  if (Fault f = file.read(layout.pixelsAt, codes.data(), codes.size())) return f;
  return DecodeRle(LittleEndianBytes{codes.data(), codes.size()}, layout, palette, store);
}

}  // namespace

bool DecodeBmp(const BmpSource& file, DecodedBmp& out, const char** reason) {
  const Fault fault = Decode(file, out);
  if (fault != nullptr && reason != nullptr) *reason = fault;
  return fault == nullptr;
}

bool DecodeBmp(const std::uint8_t* data, std::size_t size, DecodedBmp& out, const char** reason) {
  const BmpSource source{size, [data, size](std::uint64_t at, std::uint8_t* to, std::size_t count) -> Fault {
                           if (at > size || count > size - at) return "file cut short";
                           if (count > 0) std::memcpy(to, data + at, count);
                           return nullptr;
                         }};
  return DecodeBmp(source, out, reason);
}
