#include "packaging/program_icons.h"

#include "glyphkiln_icon_pixels.h"
#include "plaquer_icon_pixels.h"
#include "toolkit/gui/gui.h"

namespace {

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
  // An auto number can never meet one of the program's own images.
  const auto number = static_cast<int>(AdoptImage(AutoNumber, ProgramIconPixels(icon), 32));
  if (number == 0) return;
  SetProgramIcon(ImageHandle(number));
  DropImage(number);
}
