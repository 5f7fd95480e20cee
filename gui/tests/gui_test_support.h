// Helpers for the headless Qt tests: waits with deadlines, posted mouse input,
// and drivers for modal dialogs.
#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gui/gui_internal.h"

// Runs waits until one returns nothing; the control events seen, as (control, detail).
inline std::vector<std::pair<int, int>> DrainEvents() {
  std::vector<std::pair<int, int>> seen;
  for (int i = 0, code; i < 10000 && (code = PollEvent(0)) != 0; ++i) {
    if (code == ControlEvent) seen.emplace_back(EventSourceControl(), EventDetail());
  }
  return seen;
}

// Waits up to five seconds for an event with `code`; false when none came.
inline bool WaitForCode(int code) {
  for (const QDeadlineTimer deadline(5000); !deadline.hasExpired();) if (PollEvent(20) == code) return true;
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

// Answers a file dialog with `path` typed into its name field, as a user would (selectFile
// depends on the folder listing having loaded); closes any other modal.
inline void Answer(QWidget* modal, const std::string& path) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  if (dialog == nullptr) return modal->close(), void();
  dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(path));
  QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
}

// Runs `action` on each modal widget shown before the deadline, one after
// another (a message box after a file dialog); `handled` counts them.
struct ModalDriver {
  explicit ModalDriver(std::function<void(QWidget*)> action, int milliseconds = 5000) : deadline(milliseconds) {
    QObject::connect(&timer, &QTimer::timeout, [this, action = std::move(action)] {
      if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal->isVisible()) {
        ++handled;
        action(modal);
      }
      if (deadline.hasExpired()) timer.stop();
    });
    timer.start(10);
  }
  int handled = 0;
  QDeadlineTimer deadline;
  QTimer timer;
};
