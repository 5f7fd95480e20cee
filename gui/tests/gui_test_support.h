// Helpers for the headless Qt tests: waits with deadlines, posted input, and
// a driver for modal dialogs.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

#include "gui/gui.h"
#include "gui/gui_internal.h"

// Runs waits until one returns nothing; the control events they returned, as
// (control, detail) pairs.
inline std::vector<std::pair<int, int>> DrainEvents() {
  std::vector<std::pair<int, int>> seen;
  for (int i = 0; i < 10000; ++i) {
    const int code = PollEvent(0);
    if (code == 0) break;
    if (code == ControlEvent) seen.emplace_back(EventSourceControl(), EventDetail());
  }
  return seen;
}

// Waits until an event with `code` arrives; false when none came in time.
inline bool WaitForCode(int code, int milliseconds = 5000) {
  for (const QDeadlineTimer deadline(milliseconds); !deadline.hasExpired();) {
    if (PollEvent(20) == code) return true;
  }
  return false;
}

// The next control event as (control, detail); (-1, -1) when none came.
inline std::pair<int, int> NextControlEvent() {
  return WaitForCode(ControlEvent) ? std::pair{EventSourceControl(), EventDetail()} : std::pair{-1, -1};
}

inline void PostMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
  QCoreApplication::postEvent(
      widget, new QMouseEvent(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held, Qt::NoModifier));
}

inline void PostKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, modifiers));
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyRelease, key, modifiers));
}

// Runs `action` on the first modal widget that appears before the deadline;
// `handled` says whether it ran.
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(QWidget*)> action, int milliseconds = 5000) : deadline_(milliseconds) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this, action = std::move(action)] {
      if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible()) {
        timer_.stop();
        handled = true;
        action(modal);
      } else if (deadline_.hasExpired()) {
        timer_.stop();
      }
    });
    timer_.start();
  }
  bool handled = false;

 private:
  QDeadlineTimer deadline_;
  QTimer timer_;
};
