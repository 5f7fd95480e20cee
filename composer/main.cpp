// plaquer: composes button captions from a character sheet.
#include "composer/composer_window.h"
#include "toolkit/gui/gui.h"

int main() {
  StartGuiOrExit("plaquer");
  if (StartComposer()) RunComposerLoop();
  ShutdownGui();
  return 0;
}
