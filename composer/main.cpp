// plaquer: composes button captions from a character sheet.
#include "composer/composer_window.h"
#include "gui/program_icons.h"
#include "raster/bmp_file.h"
#include "gui/gui.h"

int main() {
  RemovePartialWriteOnSignals();  // an interrupted save leaves no temporary file behind
  StartGuiOrExit("plaquer");
  ShowProgramIcon(PlaquerIcon);
  if (StartComposer()) RunComposerLoop();
  ShutdownGui();
  return 0;
}
