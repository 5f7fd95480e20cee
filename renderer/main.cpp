// glyphkiln: renders a font with a layered shadow into a character sheet.
#include "packaging/program_icons.h"
#include "renderer/renderer_window.h"
#include "toolkit/gui/gui.h"

int main() {
  StartGuiOrExit("glyphkiln");
  ShowProgramIcon(GlyphkilnIcon);
  if (StartRenderer()) RunRendererLoop();
  ShutdownGui();
  return 0;
}
