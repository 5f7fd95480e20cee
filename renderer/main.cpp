// glyphkiln: renders a font with a layered shadow into a character sheet.
#include "gui/program_icons.h"
#include "raster/bmp_file.h"
#include "renderer/renderer_window.h"
#include "gui/gui.h"

int main() {
  RemovePartialWriteOnSignals();  // an interrupted save leaves no temporary file behind
  StartGuiOrExit("glyphkiln");
  ShowProgramIcon(GlyphkilnIcon);
  if (StartRenderer()) RunRendererLoop();
  ShutdownGui();
  return 0;
}
