// Helpers for the toolkit's headless Qt tests: waits with deadlines, posted
// input, and a driver for modal dialogs.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "gui/gui.h"
#include "gui/gui_internal.h"

struct SeenEvent {
  int code;
  int window;
  int control;
  int detail;
  bool operator==(const SeenEvent&) const = default;
};

// Waits until an event with `code` arrives; 0 when none came in time.
inline int WaitForCode(int code, int milliseconds = 5000) {
  const QDeadlineTimer deadline(milliseconds);
  while (!deadline.hasExpired()) {
    if (PollEvent(20) == code) return code;
  }
  return 0;
}

// Every event the next waits return until one returns 0 (bounded).
inline std::vector<SeenEvent> DrainEvents() {
  std::vector<SeenEvent> seen;
  for (int i = 0; i < 10000; ++i) {
    const int code = PollEvent(0);
    if (code == 0) break;
    if (code < PlatformEventBase) seen.push_back({code, EventSourceWindow(), EventSourceControl(), EventDetail()});
  }
  return seen;
}

// The control events among `events`, as (control, detail) pairs.
inline std::vector<std::pair<int, int>> ControlEvents(const std::vector<SeenEvent>& events) {
  std::vector<std::pair<int, int>> out;
  for (const SeenEvent& e : events) {
    if (e.code == ControlEvent) out.emplace_back(e.control, e.detail);
  }
  return out;
}

// The next control event within the time limit, as (control, detail);
// (-1, -1) when none came.
inline std::pair<int, int> NextControlEvent(int milliseconds = 5000) {
  return WaitForCode(ControlEvent, milliseconds) ? std::pair{EventSourceControl(), EventDetail()} : std::pair{-1, -1};
}

inline void PostMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
  const QPointF local(at);
  const QPointF global(widget->mapToGlobal(at));
  QCoreApplication::postEvent(widget, new QMouseEvent(type, local, global, button, held, Qt::NoModifier));
}

inline void PostClick(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  PostMouse(widget, QEvent::MouseButtonPress, at, button, button);
  PostMouse(widget, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

inline void PostKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, modifiers, text));
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, key, modifiers, text));
}

// Runs `action` on the first modal widget that appears, polling until the
// deadline; `handled` says whether it ran.
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(QWidget*)> action, int milliseconds = 5000)
      : action_(std::move(action)), deadline_(milliseconds), timer_(std::make_unique<QTimer>()) {
    timer_->setInterval(10);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
      if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible()) {
        timer_->stop();
        handled = true;
        action_(modal);
      } else if (deadline_.hasExpired()) {
        timer_->stop();
      }
    });
    timer_->start();
  }
  bool handled = false;

 private:
  std::function<void(QWidget*)> action_;
  QDeadlineTimer deadline_;
  std::unique_ptr<QTimer> timer_;
};

// Brings window `number` to the front with the keyboard focus, then drops
// the events that raised.
inline bool ActivateWindow(int number) {
  QWidget* window = WindowWidget(number);
  if (window == nullptr) return false;
  window->activateWindow();
  const QDeadlineTimer deadline(5000);
  while (QApplication::activeWindow() != window && !deadline.hasExpired()) PollEvent(20);
  DrainEvents();
  return QApplication::activeWindow() == window;
}
