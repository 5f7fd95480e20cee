// Start-up, shutdown and the event queue. Qt may handle several platform
// events in one processEvents call; each top-level dispatch stands for one
// message of the original loop, so the "last pending event wins" rule holds
// per dispatch and the results of later dispatches are queued in order.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QPainter>
#include <QProxyStyle>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>
#include <QToolTip>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>

#include "toolkit/core/fonts.h"
#include "toolkit/gui/gui_internal.h"

namespace {

struct EventRecord {
  int code = 0;
  int control = 0;
  int window = 0;
  int detail = -1;
};

struct EventState {
  // current values
  int control = 0;
  int window = 0;
  int detail = -1;
  int pending = 0;
  EventRecord pendingEvent;
  // last-event values, read by EventSource* and EventDetail
  int lastControl = 0;
  int lastWindow = 0;
  int lastDetail = -1;
  std::deque<EventRecord> queue;
  // the wait in progress
  bool inWait = false;
  int depth = 0;
  int dispatches = 0;
  int lastType = 0;
  bool haveResult = false;
  EventRecord result;
};

EventState events;

class KilnApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};

struct GuiState {
  std::unique_ptr<KilnApplication> app;
  std::unique_ptr<QTimer> waitTimer;
  std::unique_ptr<QFont> controlFont;
  bool timerFired = false;
};

GuiState gui;

// Argument storage that outlives the application, as Qt requires.
int appArgc = 1;
char appName[] = "kiln";
char* appArgv[] = {appName, nullptr};

void NoteReceiver(QObject* receiver) {
  if (!receiver->isWidgetType()) return;
  int number = 0;
  if (WindowNumberOf(static_cast<QWidget*>(receiver), &number)) events.window = number;
}

bool KilnApplication::notify(QObject* receiver, QEvent* event) {
  if (!events.inWait || receiver == gui.waitTimer.get()) return QApplication::notify(receiver, event);
  NoteReceiver(receiver);
  if (events.depth > 0) {
    ++events.depth;
    const bool handled = QApplication::notify(receiver, event);
    --events.depth;
    return handled;
  }
  const int type = static_cast<int>(event->type());
  const std::size_t queueStart = events.queue.size();
  events.pending = 0;
  ++events.depth;
  const bool handled = QApplication::notify(receiver, event);
  --events.depth;
  ++events.dispatches;
  events.lastType = type;
  if (events.pending != 0) {
    if (!events.haveResult) {
      events.result = events.pendingEvent;
      events.haveResult = true;
    } else {
      // Behind what earlier dispatches left, ahead of what this one queued.
      const std::size_t at = std::min(queueStart, events.queue.size());
      events.queue.insert(events.queue.begin() + static_cast<std::ptrdiff_t>(at), events.pendingEvent);
    }
    events.pending = 0;
  }
  return handled;
}

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

// The built-in Windows style with the original platform's narrow gap
// between a check box and its text, so that a 40-pixel box holds "Back".
class KilnStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) return 3;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

void DrawDefaultIcon() {
  QImage icon(32, 32, QImage::Format_ARGB32);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.fillRect(4, 4, 24, 24, QColor(40, 40, 40));
  painter.fillRect(10, 8, 4, 16, QColor(255, 200, 60));
  painter.fillRect(14, 14, 8, 4, QColor(255, 200, 60));
  painter.end();
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon)));
}

}  // namespace

QString ToQt(std::string_view text) {
  if (text.size() > GuiTextMaxBytes) {
    std::size_t cut = GuiTextMaxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut);
  }
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::size_t size = static_cast<std::size_t>(bytes.size());
  if (size > GuiTextMaxBytes) {
    size = GuiTextMaxBytes;
    while (size > 0 && (static_cast<unsigned char>(bytes[static_cast<qsizetype>(size)]) & 0xC0) == 0x80) --size;
  }
  return std::string(bytes.constData(), size);
}

void QueueEvent(int code, int control, int window, int detail) {
  const EventRecord record{code, control, window, detail};
  if (!events.queue.empty()) {
    const EventRecord& newest = events.queue.back();
    if (newest.code == code && newest.control == control && newest.window == window && newest.detail == detail) return;
  }
  events.queue.push_back(record);
}

void RaisePending(int code, int control, int window, int detail) {
  events.pending = code;
  events.pendingEvent = EventRecord{code, control, window, detail};
}

void NoteCurrentWindow(int window) { events.window = window; }

void DiscardPending() { events.pending = 0; }

const QFont& ControlFont() { return *gui.controlFont; }

QImage ImageForPainting(ImageHandleValue handle) {
  const PixelStore* store = handle != 0 ? ImagePixels(handle) : nullptr;
  if (store == nullptr || store->width <= 0 || store->height <= 0) return {};
  const bool alpha = store->bitsPerPixel == 32;
  QImage image(store->width, store->height, alpha ? QImage::Format_ARGB32 : QImage::Format_BGR888);
  if (image.isNull()) return {};
  const std::size_t rowBytes = static_cast<std::size_t>(store->width) * (alpha ? 4 : 3);
  for (int y = 0; y < store->height; ++y) std::memcpy(image.scanLine(y), store->Pixel(0, y), rowBytes);
  return image;
}

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

int StartGui() {
  if (gui.app) return 1;
  if (!DisplayAvailable()) return 0;
  // The dialogs keep nothing between runs: Qt's own settings go to a folder
  // that is removed at shutdown.
  PointSettingsAway();
  QApplication::setDesktopSettingsAware(false);
  gui.app = std::make_unique<KilnApplication>(appArgc, appArgv);
  QApplication::setQuitOnLastWindowClosed(false);
  // The built-in Windows style fits the small controls (40 x 20 check boxes,
  // 10-pixel labels) that other styles pad out of their boxes.
  if (QStyle* windows = QStyleFactory::create(QStringLiteral("Windows"))) {
    QApplication::setStyle(new KilnStyle(windows));  // the application owns its style
  }
  // The stand-in for the original default GUI font: a sans face at 8 points,
  // 11 pixels high at 96 pixels per inch.
  gui.controlFont = std::make_unique<QFont>(QStringLiteral("Liberation Sans"));
  gui.controlFont->setStyleHint(QFont::SansSerif);
  gui.controlFont->setPixelSize(11);
  QApplication::setFont(*gui.controlFont);
  DrawDefaultIcon();
  gui.waitTimer = std::make_unique<QTimer>();
  gui.waitTimer->setSingleShot(true);
  gui.waitTimer->setTimerType(Qt::PreciseTimer);
  QObject::connect(gui.waitTimer.get(), &QTimer::timeout, [] { gui.timerFired = true; });
  events = EventState{};
  return 1;
}

void StartGuiOrExit(std::string_view program) {
  if (StartGui()) return;
  std::fprintf(stderr, "%.*s needs a display: no window can be opened (set DISPLAY or WAYLAND_DISPLAY)\n",
               static_cast<int>(program.size()), program.data());
  std::exit(1);
}

void SetProgramIcon(ImageHandleValue image) {
  if (!gui.app) return;
  const QImage picture = ImageForPainting(image);
  if (!picture.isNull()) QApplication::setWindowIcon(QIcon(QPixmap::fromImage(picture)));
}

void ShutdownGui() {
  if (gui.app) {
    QToolTip::hideText();
    DropAllWindows();
  }
  ShutdownFonts();
  ShutdownImages();
  if (!gui.app) return;
  gui.waitTimer.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  gui.controlFont.reset();
  gui.app.reset();
  events = EventState{};
}

int PollEvent(int timeoutMs) {
  ReportGuiState();  // what the last handler left, before waiting for more
  events.detail = -1;
  events.pending = 0;
  int result = 0;
  if (!events.queue.empty()) {
    const EventRecord head = events.queue.front();
    events.queue.pop_front();
    events.control = head.control;
    events.window = head.window;
    events.detail = head.detail;
    result = head.code;
  } else if (gui.app) {
    events.inWait = true;
    events.haveResult = false;
    events.dispatches = 0;
    if (timeoutMs == 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else if (timeoutMs < 0) {
      while (events.dispatches == 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else {
      const QDeadlineTimer deadline(timeoutMs);
      gui.timerFired = false;
      gui.waitTimer->start(timeoutMs);
      while (events.dispatches == 0 && !gui.timerFired && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      }
      gui.waitTimer->stop();
    }
    events.inWait = false;
    if (events.pending != 0 && !events.haveResult) {
      events.result = events.pendingEvent;
      events.haveResult = true;
    }
    events.pending = 0;
    if (events.haveResult) {
      events.control = events.result.control;
      events.window = events.result.window;
      events.detail = events.result.detail;
      result = events.result.code;
    } else if (events.dispatches > 0) {
      result = PlatformEventBase + events.lastType;
    }
  }
  if (result != 0) {
    events.lastControl = events.control;
    events.lastWindow = events.window;
    events.lastDetail = events.detail;
    ReportGuiState();
  }
  return result;
}

int WaitForEvent() { return PollEvent(-1); }
int EventSourceWindow() { return events.lastWindow; }
int EventSourceControl() { return events.lastControl; }
int EventDetail() { return events.lastDetail; }
