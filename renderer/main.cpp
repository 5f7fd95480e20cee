// glyphkiln: renders a font with a layered shadow into a character sheet.
#include "renderer/renderer_window.h"
#include "toolkit/gui/gui.h"

int main() {
  StartGuiOrExit("glyphkiln");
  if (StartRenderer()) RunRendererLoop();
  ShutdownGui();
  return 0;
}
