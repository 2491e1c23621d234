#include "serial/HoldingWait.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "serial/ComMessages.h"

namespace {

QEvent::Type HandOverType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace

HoldingWait::HoldingWait() = default;

HoldingWait::~HoldingWait() {
  if (filtering_ && QCoreApplication::instance())
    QCoreApplication::instance()->removeEventFilter(this);
}

void HoldingWait::HoldEventsOf(QObject* receiver) {
  if (receiver == nullptr || Holds(receiver)) return;
  receivers_.push_back(receiver);
  connect(receiver, &QObject::destroyed, this, [this, receiver] {
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver), receivers_.end());
  });
}

bool HoldingWait::Hold(int ms) { return RunLoop(ms, true); }

bool HoldingWait::Pass(int ms) { return RunLoop(ms, false); }

bool HoldingWait::RunLoop(int ms, bool hold) {
  if (QCoreApplication::instance() == nullptr) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0)));
    return true;
  }
  BeginWait();
  if (hold) BeginHold();
  bool elapsed = false;
  {
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, [&] {
      elapsed = true;
      loop.quit();
    });
    timer.start(std::max(ms, 0));
    // Ends early only when the application ends every event loop.
    loop.exec();
  }
  if (hold) EndHold();
  EndWait();
  return elapsed;
}

void HoldingWait::Aside(const std::function<void()>& work) {
  if (QCoreApplication::instance() == nullptr) {
    work();
    return;
  }
  BeginWait();
  BeginHold();
  {
    QEventLoop loop;
    std::atomic<bool> done{false};
    std::thread helper([&] {
      work();
      done.store(true);
      QMetaObject::invokeMethod(
          &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    // An application that is ending returns at once; the work is still
    // waited for, so that nothing outlives its objects.
    if (!done.load()) loop.exec();
    helper.join();
  }
  EndHold();
  EndWait();
}

void HoldingWait::Defer(std::function<void()> call) {
  if (holds_ == 0 && held_.empty()) {
    call();
    return;
  }
  held_.push_back(HeldEvent{nullptr, nullptr, std::move(call)});
  if (holds_ == 0) PostHandOver();
  UpdateFilter();
}

void HoldingWait::BeginWait() {
  if (++waits_ == 1 && onWaitingChanged) onWaitingChanged(true);
}

void HoldingWait::EndWait() {
  if (--waits_ == 0 && onWaitingChanged) onWaitingChanged(false);
}

void HoldingWait::BeginHold() {
  ++holds_;
  UpdateFilter();
}

void HoldingWait::EndHold() {
  --holds_;
  // The hand-over is posted now, so it comes before anything posted later;
  // the caller's own code after the wait runs before it.
  if (holds_ == 0 && !held_.empty()) PostHandOver();
  UpdateFilter();
}

bool HoldingWait::Holds(const QObject* receiver) const {
  return std::find(receivers_.begin(), receivers_.end(), receiver) != receivers_.end();
}

bool HoldingWait::AlreadyHeld(const QObject* receiver, int timerId) const {
  for (const HeldEvent& h : held_) {
    if (h.receiver != receiver || !h.event || h.event->type() != QEvent::Timer) continue;
    if (static_cast<const QTimerEvent*>(h.event.get())->timerId() == timerId) return true;
  }
  return false;
}

void HoldingWait::UpdateFilter() {
  // Also after the wait, while held events are still being handed over:
  // anything for the workflow that comes meanwhile queues up behind them.
  const bool wanted = holds_ > 0 || !held_.empty();
  if (wanted == filtering_ || QCoreApplication::instance() == nullptr) return;
  filtering_ = wanted;
  if (wanted)
    QCoreApplication::instance()->installEventFilter(this);
  else
    QCoreApplication::instance()->removeEventFilter(this);
}

bool HoldingWait::eventFilter(QObject* watched, QEvent* event) {
  if (!filtering_ || event == passing_) return false;
  const QEvent::Type type = event->type();
  if (type != QEvent::Timer && type != ComMessageEvent::EventType()) return false;
  if (!Holds(watched)) return false;
  if (type == QEvent::Timer) {
    // A timer that fires again while its expiry is held fired once, as
    // for a thread that slept. The copy carries the timer's id: a timer
    // stopped or restarted before the hand-over ignores it.
    const int id = static_cast<QTimerEvent*>(event)->timerId();
    if (!AlreadyHeld(watched, id))
      held_.push_back(HeldEvent{watched, std::make_unique<QTimerEvent>(id), {}});
  } else {
    const ComMessageEvent* message = AsComMessage(event);
    held_.push_back(HeldEvent{
        watched, std::make_unique<ComMessageEvent>(message->message, message->wParam), {}});
  }
  if (holds_ == 0) PostHandOver();
  return true;
}

void HoldingWait::PostHandOver() {
  if (handOverPosted_) return;
  handOverPosted_ = true;
  QCoreApplication::postEvent(this, new QEvent(HandOverType()));
}

bool HoldingWait::event(QEvent* event) {
  if (event->type() != HandOverType()) return QObject::event(event);
  HandOverNext();
  return true;
}

// One held event per posted hand-over: a handler that runs an event loop of
// its own (a loader's download) receives the rest from inside it, in order,
// as it would have received them from the thread's queue.
void HoldingWait::HandOverNext() {
  handOverPosted_ = false;
  if (holds_ > 0 || held_.empty()) return;  // EndHold posts again
  HeldEvent next = std::move(held_.front());
  held_.pop_front();
  if (!held_.empty()) PostHandOver();
  UpdateFilter();
  if (next.call) {
    next.call();
    return;
  }
  if (!next.receiver) return;
  QEvent* outer = passing_;
  passing_ = next.event.get();
  QCoreApplication::sendEvent(next.receiver, next.event.get());
  passing_ = outer;
}
