// Start-up and shutdown of the window toolkit.
#include <QApplication>
#include <QSettings>
#include <QToolTip>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "core/fonts.h"
#include "gui/gui_internal.h"

namespace {

std::unique_ptr<QApplication> app;

// Argument storage that outlives the application, as Qt requires. The
// program's name stands as argv[0]: Qt takes the application name from it,
// and on X11 both parts of WM_CLASS, which is what window managers and
// docks match against the desktop entry's StartupWMClass.
int appArgc = 1;
std::string appName;
char* appArgv[] = {nullptr, nullptr};

// Qt's dialogs save their state (and the colour dialog its custom colours,
// at exit) through QSettings. They keep nothing between runs: the settings
// go to a folder of this process, removed after everything else at exit.
std::string settingsFolder;

void RemoveSettingsFolder() {
  std::error_code ignored;
  if (!settingsFolder.empty()) std::filesystem::remove_all(settingsFolder, ignored);
}

void PointSettingsAway() {
  if (!settingsFolder.empty()) return;
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "kiln-settings-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  settingsFolder = pattern;
  std::atexit(RemoveSettingsFolder);
  const QString path = QString::fromStdString(settingsFolder);
  for (const auto scope : {QSettings::UserScope, QSettings::SystemScope}) {
    QSettings::setPath(QSettings::NativeFormat, scope, path);
    QSettings::setPath(QSettings::IniFormat, scope, path);
  }
}

}  // namespace

int StartGui(std::string_view program) {
  if (app) return 1;
  if (!DisplayAvailable()) return 0;
  // The dialogs keep nothing between runs: Qt's own settings go to a folder
  // that is removed at shutdown.
  PointSettingsAway();
  QApplication::setDesktopSettingsAware(false);
  appName = program;
  appArgv[0] = appName.data();
  app = MakeCountingApplication(appArgc, appArgv);
  // The Wayland app id, and the entry a session links the windows to.
  QGuiApplication::setDesktopFileName(QString::fromStdString(appName));
  QApplication::setQuitOnLastWindowClosed(false);
  ApplyLook();
  StartEventQueue();
  return 1;
}

void StartGuiOrExit(std::string_view program) {
  if (StartGui(program)) return;
  std::fprintf(stderr, "%.*s needs a display: no window can be opened (set DISPLAY or WAYLAND_DISPLAY)\n",
               static_cast<int>(program.size()), program.data());
  std::exit(1);
}

void ShutdownGui() {
  if (app) {
    QToolTip::hideText();
    DropAllWindows();
  }
  ShutdownFonts();
  ShutdownImages();
  if (!app) return;
  StopEventQueue();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  DropLook();
  app.reset();
}
