// Whether a window can be opened at all, asked before any Qt object exists:
// Qt aborts the process when its platform plugin finds no display.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLibraryInfo>
#include <QString>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/gui.h"

namespace {

bool CanConnect(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  close(fd);
  return ok;
}

bool XDisplayReachable() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') return false;
  const std::string text(display);
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = text.substr(0, colon);
  if (!host.empty() && host != "unix") return true;  // a remote display cannot be probed cheaply
  std::string number = text.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.size() > 6 || number.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::string socketPath = "/tmp/.X11-unix/X" + number;
  return CanConnect(socketPath, true) || CanConnect(socketPath, false);
}

bool WaylandReachable() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  std::string path(name);
  if (path.front() != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') return false;
    path = std::string(runtime) + "/" + path;
  }
  return CanConnect(path, false);
}

bool WaylandPluginInstalled() {
  const QString dir = QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/");
  return QFileInfo::exists(dir + QStringLiteral("libqwayland-generic.so"));
}

}  // namespace

bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform != nullptr && *platform != '\0') {
    std::string name(platform);
    name = name.substr(0, name.find_first_of(":;"));
    if (name == "xcb") return XDisplayReachable();
    if (name.starts_with("wayland")) return WaylandReachable();
    return true;  // offscreen, minimal and the framebuffer platforms need no display server
  }
  if (XDisplayReachable()) return true;
  if (WaylandReachable() && WaylandPluginInstalled()) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    return true;
  }
  return false;
}

