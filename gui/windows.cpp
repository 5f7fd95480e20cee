// Numbered top-level windows. A window is a plain QWidget whose handlers
// turn Qt's window events into the toolkit's event codes.
#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <memory>

#include "core/object_table.h"
#include "gui/gui_internal.h"

namespace {

class KilnWindow : public QWidget {
 public:
  explicit KilnWindow(int windowNumber) : number(windowNumber) { setProperty(WindowNumberProperty, windowNumber); }
  int number;
  bool minimisedOrMaximised = false;
  QPointer<QWidget> lastFocus;

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The program decides whether the window goes.
    event->ignore();
    QueueEvent(CloseRequestEvent, number, number, 0);
  }
  void moveEvent(QMoveEvent*) override { QueueEvent(WindowMovedEvent, number, number, 0); }
  void resizeEvent(QResizeEvent*) override {
    if (!(windowState() & Qt::WindowMinimized)) QueueEvent(WindowResizedEvent, 0, number, 0);
  }
  void paintEvent(QPaintEvent*) override { QueueEvent(WindowBackgroundEvent, 0, number, 0); }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::WindowStateChange) {
      const Qt::WindowStates state = windowState();
      if (state & Qt::WindowMinimized) {
        minimisedOrMaximised = true;
        QueueEvent(WindowMinimisedEvent, 0, number, 0);
      } else if (state & Qt::WindowMaximized) {
        minimisedOrMaximised = true;
        QueueEvent(WindowMaximisedEvent, 0, number, 0);
        QueueEvent(WindowResizedEvent, 0, number, 0);
      } else {
        if (minimisedOrMaximised) {
          minimisedOrMaximised = false;
          QueueEvent(WindowRestoredEvent, 0, number, 0);
        }
        QueueEvent(WindowResizedEvent, 0, number, 0);
      }
    }
    QWidget::changeEvent(event);
  }
  bool event(QEvent* event) override {
    if (event->type() == QEvent::WindowDeactivate) {
      QWidget* focused = QApplication::focusWidget();
      lastFocus = (focused != nullptr && focused->window() == this) ? focused : nullptr;
    } else if (event->type() == QEvent::WindowActivate) {
      const bool handled = QWidget::event(event);
      if (lastFocus && lastFocus->window() == this) lastFocus->setFocus(Qt::ActiveWindowFocusReason);
      QueueEvent(WindowActivatedEvent, 0, number, 0);
      return handled;
    }
    return QWidget::event(event);
  }
  // Tab and Shift+Tab walk the tab stops in creation order, wrapping.
  bool focusNextPrevChild(bool next) override {
    std::vector<QWidget*> stops;
    for (QObject* child : children()) {
      if (!child->isWidgetType()) continue;
      auto* widget = static_cast<QWidget*>(child);
      if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->isVisibleTo(this)) {
        stops.push_back(widget);
      }
    }
    if (stops.empty()) return true;
    QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && focused->window() != this) focused = nullptr;
    std::ptrdiff_t at = -1;
    for (std::size_t i = 0; i < stops.size(); ++i) {
      if (focused != nullptr && (stops[i] == focused || stops[i]->isAncestorOf(focused))) at = static_cast<std::ptrdiff_t>(i);
    }
    const auto count = static_cast<std::ptrdiff_t>(stops.size());
    std::ptrdiff_t target;
    if (at < 0) {
      target = next ? 0 : count - 1;
    } else {
      target = next ? (at + 1) % count : (at + count - 1) % count;
    }
    stops[static_cast<std::size_t>(target)]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
};

struct WindowRecord {
  std::uintptr_t handle = 0;
  std::unique_ptr<KilnWindow> widget;
};

ObjectTable<WindowRecord>& Windows() {
  static ObjectTable<WindowRecord> windows(16, 16, DropWindow);
  return windows;
}

std::uintptr_t nextWindowHandle = 1;
bool haveParent = false;
int parentWindow = 0;
void (*releaseParts)(int window) = nullptr;

}  // namespace

GuiHandle MakeWindow(int number, int x, int y, int width, int height, std::string_view title, int flags) {
  if (QApplication::instance() == nullptr || width < 0 || height < 0 || width > 32767 || height > 32767) return 0;
  int assigned = 0;
  WindowRecord* record = Windows().Take(number, &assigned);
  if (record == nullptr) return 0;

  int style = flags & ~WindowNoControls;
  if ((flags & ~(WindowCentred | WindowCentredOnParent | WindowNoControls | WindowHidden | WindowModal)) == 0) {
    style |= WindowCaption;
  }
  const bool hidden = (style & WindowHidden) != 0;
  style &= ~WindowHidden;
  const bool tool = (style & WindowToolFrame) != 0;
  if (tool) {
    style &= ~(WindowMinimised | WindowMaximised | WindowMinimiseBox | WindowMaximiseBox);
    style |= WindowCaption;
  }

  const bool modal = (style & WindowModal) != 0;
  Qt::WindowFlags windowFlags = (tool ? Qt::Tool : modal ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
  if (style & WindowCaption) windowFlags |= Qt::WindowTitleHint;
  if (style & WindowSystemMenu) windowFlags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (style & WindowMinimiseBox) windowFlags |= Qt::WindowMinimizeButtonHint;
  if (style & WindowMaximiseBox) windowFlags |= Qt::WindowMaximizeButtonHint;

  record->widget = std::make_unique<KilnWindow>(assigned);
  KilnWindow* window = record->widget.get();
  window->setWindowFlags(windowFlags);
  window->setAttribute(Qt::WA_QuitOnClose, false);
  if (modal) window->setWindowModality(Qt::ApplicationModal);
  window->setWindowTitle(ToQt(title));
  window->setFont(ControlFont());
  if (style & WindowSizingBorder) {
    window->resize(width, height);
  } else {
    window->setFixedSize(width, height);
  }

  // Frame margins are known once the platform window exists, on some window
  // systems only once it is framed; until then the inner size stands in.
  window->winId();
  const QMargins frame = window->windowHandle() != nullptr ? window->windowHandle()->frameMargins() : QMargins();
  int outerWidth = width + frame.left() + frame.right();
  int outerHeight = height + frame.top() + frame.bottom();
  if (flags & WindowCentred) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->geometry();
      outerWidth = std::min(outerWidth, area.width());
      outerHeight = std::min(outerHeight, area.height());
      window->move(area.x() + (area.width() - outerWidth) / 2, area.y() + (area.height() - outerHeight) / 2);
    }
  } else if (flags & WindowCentredOnParent) {
    if (QWidget* active = QApplication::activeWindow()) {
      const QRect over = active->frameGeometry();
      window->move(std::max(0, over.left() + (over.width() - outerWidth) / 2),
                   std::max(0, over.top() + (over.height() - outerHeight) / 2));
    } else if (x != WindowDefaultPosition && y != WindowDefaultPosition) {
      window->move(x, y);
    }
  } else if (x != WindowDefaultPosition && y != WindowDefaultPosition) {
    window->move(x, y);
  }

  record->handle = nextWindowHandle++;
  window->minimisedOrMaximised = (style & (WindowMaximised | WindowMinimised)) != 0;
  if (!(flags & WindowNoControls)) {
    haveParent = true;
    parentWindow = assigned;
  }
  const GuiHandle result = number == AutoNumber ? assigned : static_cast<GuiHandle>(record->handle);
  if (!hidden) {
    if (style & WindowMaximised) {
      window->showMaximized();
    } else if (style & WindowMinimised) {
      window->showMinimized();
    } else {
      window->show();
    }
  }
  return result;
}

void DropWindow(int number) {
  WindowRecord* record = Windows().Find(number);
  if (record == nullptr) return;
  if (releaseParts != nullptr) releaseParts(number);
  if (haveParent && parentWindow == number) haveParent = false;
  // Release destroys the widget: take it out first so that its handlers see
  // a consistent table while it goes.
  std::unique_ptr<KilnWindow> widget = std::move(record->widget);
  Windows().Release(number);
  widget.reset();
}

void DropAllWindows() {
  for (const int number : Windows().Numbers()) DropWindow(number);
  haveParent = false;
}

QWidget* WindowWidget(int number) {
  WindowRecord* record = Windows().Find(number);
  return record != nullptr ? record->widget.get() : nullptr;
}

int WindowIsVisible(int number) {
  QWidget* window = WindowWidget(number);
  return window != nullptr && window->isVisible() ? 1 : 0;
}

QWidget* ControlParent(int* number) {
  if (!haveParent) return nullptr;
  QWidget* window = WindowWidget(parentWindow);
  if (window != nullptr) *number = parentWindow;
  return window;
}

void SetWindowPartsRelease(void (*release)(int window)) { releaseParts = release; }

QWidget* DialogOwner() {
  QWidget* active = QApplication::activeWindow();
  return dynamic_cast<KilnWindow*>(active);
}
