// plaquer: composes button captions from a character sheet.
#include <csignal>

#include "composer/composer_window.h"
#include "gui/program_icons.h"
#include "raster/bmp_file.h"
#include "gui/gui.h"

int main() {
  // An interrupted save leaves no temporary file behind; an ignored signal stays ignored.
  for (const int s : {SIGINT, SIGTERM, SIGXFSZ}) {
    if (std::signal(s, RemovePartialWriteAndReraise) == SIG_IGN) std::signal(s, SIG_IGN);
  }
  StartGuiOrExit("plaquer");
  ShowProgramIcon(PlaquerIcon);
  if (StartComposer()) RunComposerLoop();
  ShutdownGui();
  return 0;
}
