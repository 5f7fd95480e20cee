// glyphkiln: renders a font with a layered shadow into a character sheet.
#include <csignal>

#include "gui/program_icons.h"
#include "raster/bmp_file.h"
#include "renderer/renderer_window.h"
#include "gui/gui.h"

int main() {
  // An interrupted save leaves no temporary file behind; an ignored signal stays ignored.
  for (const int s : {SIGINT, SIGTERM, SIGXFSZ}) {
    if (std::signal(s, RemovePartialWriteAndReraise) == SIG_IGN) std::signal(s, SIG_IGN);
  }
  StartGuiOrExit("glyphkiln");
  ShowProgramIcon(GlyphkilnIcon);
  if (StartRenderer()) RunRendererLoop();
  ShutdownGui();
  return 0;
}
