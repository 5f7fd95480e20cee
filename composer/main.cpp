// plaquer: composes button captions from a character sheet.
#include "composer/composer_window.h"
#include "packaging/program_icons.h"
#include "toolkit/gui/gui.h"

int main() {
  StartGuiOrExit("plaquer");
  ShowProgramIcon(PlaquerIcon);
  if (StartComposer()) RunComposerLoop();
  ShutdownGui();
  return 0;
}
