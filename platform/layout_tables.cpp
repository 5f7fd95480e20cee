// Bounds-checked reads of the few bytes of layout tables that HarfBuzz does
// not report: every offset past the table reads as 0.
#include "platform/layout_tables.h"

#include <hb-ot.h>

#include <cstddef>
#include <cstdint>

#include "platform/owned_by.h"

namespace {

using HbBlobPtr = OwnedBy<hb_blob_t, hb_blob_destroy>;

constexpr hb_tag_t KernTag = HB_TAG('k', 'e', 'r', 'n');
constexpr unsigned ExtensionPositioning = 9;

// A table's bytes, held while it is read.
struct Table {
  HbBlobPtr blob;
  const std::uint8_t* bytes = nullptr;
  unsigned int size = 0;

  Table(hb_face_t* face, hb_tag_t tag) : blob(hb_face_reference_table(face, tag)) {
    bytes = reinterpret_cast<const std::uint8_t*>(hb_blob_get_data(blob.get(), &size));
  }
  unsigned U16(std::size_t at) const { return at + 2 <= size ? static_cast<unsigned>(bytes[at] << 8 | bytes[at + 1]) : 0u; }
};

}  // namespace

std::vector<unsigned> PositioningLookupTypes(hb_face_t* face) {
  const Table gpos(face, HB_OT_TAG_GPOS);
  const auto u16 = [&gpos](std::size_t at) { return gpos.U16(at); };
  std::vector<unsigned> types;
  const std::size_t list = u16(8);
  if (list == 0) return types;
  types.resize(u16(list));
  for (std::size_t i = 0; i < types.size(); ++i) {
    const std::size_t lookup = list + u16(list + 2 + 2 * i);
    unsigned type = u16(lookup);
    if (type == ExtensionPositioning && u16(lookup + 4) > 0) type = u16(lookup + u16(lookup + 6) + 2);
    types[i] = type;
  }
  return types;
}

bool AddLegacyKerningGlyphs(hb_face_t* face, hb_set_t* glyphs) {
  const Table kern(face, KernTag);
  const std::size_t size = kern.size;
  if (size == 0) return true;
  const auto u16 = [&kern](std::size_t at) { return kern.U16(at); };
  if (size < 4 || u16(0) != 0) return false;
  std::size_t at = 4;
  for (unsigned n = u16(2); n > 0; --n) {
    // version, length, coverage: format in the high byte, 1 = horizontal.
    if (at + 14 > size) return false;
    const unsigned coverage = u16(at + 4);
    if ((coverage >> 8) != 0 || (coverage & 0xFF) != 1) return false;
    // The count, not the 16-bit length, gives the size: a large table's length wraps.
    const std::size_t pairs = u16(at + 6);
    if (at + 14 + 6 * pairs > size) return false;
    for (std::size_t i = 0, p = at + 14; i < pairs; ++i, p += 6) {
      hb_set_add(glyphs, u16(p));
      hb_set_add(glyphs, u16(p + 2));
    }
    at += 14 + 6 * pairs;
  }
  return true;
}

