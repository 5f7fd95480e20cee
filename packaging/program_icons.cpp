#include "packaging/program_icons.h"

#include "glyphkiln_icon_pixels.h"
#include "plaquer_icon_pixels.h"
#include "toolkit/gui/gui.h"

namespace {

// Free before the program makes any image of its own; dropped right after use.
constexpr int IconImageNumber = 0;

static_assert(sizeof(GlyphkilnIconPixels) == 4u * ProgramIconSide * ProgramIconSide);
static_assert(sizeof(PlaquerIconPixels) == 4u * ProgramIconSide * ProgramIconSide);

}  // namespace

PixelStore ProgramIconPixels(ProgramIconName icon) {
  const unsigned char* bytes = icon == PlaquerIcon ? PlaquerIconPixels : GlyphkilnIconPixels;
  PixelStore store;
  store.width = ProgramIconSide;
  store.height = ProgramIconSide;
  store.bitsPerPixel = 32;
  store.rowBytes = RowBytes(ProgramIconSide, 32);
  store.bytes.assign(bytes, bytes + store.rowBytes * ProgramIconSide);
  return store;
}

void ShowProgramIcon(ProgramIconName icon) {
  if (ImageExists(IconImageNumber)) return;  // never replace an image the program made
  const ImageHandleValue handle = AdoptImage(IconImageNumber, ProgramIconPixels(icon), 32);
  if (handle == 0) return;
  SetProgramIcon(handle);
  DropImage(IconImageNumber);
}
