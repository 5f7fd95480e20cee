#include "gui/program_icons.h"

#include <QApplication>
#include <QIcon>

// The resource lives in a static library, where nothing else would pull in its
// registration.
static void LoadIconResource() { Q_INIT_RESOURCE(program_icons); }

void ShowProgramIcon(ProgramIconName icon) {
  if (!qApp) return;
  LoadIconResource();
  const QString name = icon == PlaquerIcon ? QStringLiteral("plaquer") : QStringLiteral("glyphkiln");
  QIcon picture;
  for (const char* side : {"48", "256"}) picture.addFile(":/icons/" + name + "-" + side + ".png");
  QApplication::setWindowIcon(picture);
}
