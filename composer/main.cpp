// plaquer: composes button captions from a character sheet.
#include "composer/composer_window.h"
#include "gui/program_icons.h"
#include "gui/gui.h"

int main() {
  StartGuiOrExit("plaquer");
  ShowProgramIcon(PlaquerIcon);
  if (StartComposer()) RunComposerLoop();
  ShutdownGui();
  return 0;
}
