// The pull-style event queue. Qt may handle several platform events in one
// processEvents call; each top-level dispatch stands for one message of the
// original loop, so the "last pending event wins" rule holds per dispatch and
// the results of later dispatches are queued in order.
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <deque>
#include <memory>

#include "gui/gui_internal.h"

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

class CountingApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};

std::unique_ptr<QTimer> waitTimer;
bool timerFired = false;

void NoteReceiver(QObject* receiver) {
  if (!receiver->isWidgetType()) return;
  const QVariant number = static_cast<QWidget*>(receiver)->window()->property(WindowNumberProperty);
  if (number.isValid()) events.window = number.toInt();
}

bool CountingApplication::notify(QObject* receiver, QEvent* event) {
  if (!events.inWait || receiver == waitTimer.get()) return QApplication::notify(receiver, event);
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

}  // namespace

std::unique_ptr<QApplication> MakeCountingApplication(int& argc, char** argv) {
  return std::make_unique<CountingApplication>(argc, argv);
}

void StartEventQueue() {
  waitTimer = std::make_unique<QTimer>();
  waitTimer->setSingleShot(true);
  waitTimer->setTimerType(Qt::PreciseTimer);
  QObject::connect(waitTimer.get(), &QTimer::timeout, [] { timerFired = true; });
  events = EventState{};
}

void StopEventQueue() {
  waitTimer.reset();
  events = EventState{};
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

void DiscardPending() { events.pending = 0; }

int NextEvent(int timeoutMs) {
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
  } else if (waitTimer) {
    events.inWait = true;
    events.haveResult = false;
    events.dispatches = 0;
    if (timeoutMs == 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else if (timeoutMs < 0) {
      while (events.dispatches == 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else {
      const QDeadlineTimer deadline(timeoutMs);
      timerFired = false;
      waitTimer->start(timeoutMs);
      while (events.dispatches == 0 && !timerFired && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      }
      waitTimer->stop();
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
  }
  return result;
}

int EventSourceWindow() { return events.lastWindow; }
int EventSourceControl() { return events.lastControl; }
int EventDetail() { return events.lastDetail; }
