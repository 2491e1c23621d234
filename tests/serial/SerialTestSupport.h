#pragma once
// Shared pieces of the serial tests: an owner that records the port's
// notifications, and waits that run the event loop until a condition holds.
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <vector>

#include "serial/ComMessages.h"

struct ReceivedMessage {
  unsigned message;
  unsigned wParam;
  std::chrono::steady_clock::time_point at;
};

class MessageRecorder : public QObject {
 public:
  std::vector<ReceivedMessage> messages;
  std::function<void(const ReceivedMessage&)> onMessage;

  int Count(unsigned message) const {
    int n = 0;
    for (const auto& m : messages) n += m.message == message;
    return n;
  }

 protected:
  void customEvent(QEvent* event) override {
    const auto* e = AsComMessage(event);
    if (!e) return;
    messages.push_back({e->message, e->wParam, std::chrono::steady_clock::now()});
    if (onMessage) onMessage(messages.back());
  }
};

// Runs the event loop until `done` holds or `limit` has passed; between
// events the thread sleeps in the event dispatcher.
inline bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(limit);
  while (!done()) {
    if (!deadline.isActive()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// Runs the event loop for `span` (to let notifications that should not
// come have their chance).
inline void RunFor(std::chrono::milliseconds span) {
  RunUntil([] { return false; }, span);
}
