// glyphkiln: renders a font with a layered shadow into a character sheet.
#include "gui/program_icons.h"
#include "renderer/renderer_window.h"
#include "gui/gui.h"

int main() {
  StartGuiOrExit("glyphkiln");
  ShowProgramIcon(GlyphkilnIcon);
  if (StartRenderer()) RunRendererLoop();
  ShutdownGui();
  return 0;
}
