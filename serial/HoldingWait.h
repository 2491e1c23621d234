#pragma once
// Waits on the window's thread that keep the window painting. While a
// holding wait runs, the events meant for the workflow (serial
// notifications, its timers, calls it put off) are held back; everything
// else (paint, expose, resize, other timers) is handled as usual. Held
// events are handed over once the wait is over and its caller has gone
// back to the event loop, in the order they came and before anything
// newer: the order the workflow would have seen had the thread slept.
#include <QObject>
#include <QPointer>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QEvent;

class HoldingWait : public QObject {
 public:
  HoldingWait();
  ~HoldingWait() override;
  HoldingWait(const HoldingWait&) = delete;
  HoldingWait& operator=(const HoldingWait&) = delete;

  // From now on, timer expiries, serial notifications and deferred calls
  // bound for receiver are held while a holding wait runs.
  void HoldEventsOf(QObject* receiver);

  // Runs the event loop for ms milliseconds with the workflow's events
  // held. False when the application is ending (it has told every event
  // loop to end): the wait is cut short.
  bool Hold(int ms);
  // Runs the event loop for ms milliseconds and handles everything, the
  // workflow's events included. False as for Hold.
  bool Pass(int ms);
  // Runs work on a helper thread while this thread holds, for blocking
  // calls that may take a while (a drain held up by flow control). Returns
  // when work is done.
  void Aside(const std::function<void()>& work);
  // Runs call once the holding wait is over, after the events held so far;
  // at once when no wait holds and nothing is held.
  void Defer(std::function<void()> call);

  bool Holding() const { return holds_ > 0; }
  // A wait of any kind runs: Hold, Pass, Aside, or one a Scope marks.
  bool Waiting() const { return waits_ > 0; }
  // Held events not handed over yet.
  std::size_t Held() const { return held_.size(); }

  // Marks a wait that runs an event loop of its own (a loader program)
  // for Waiting(); nothing without a HoldingWait.
  class Scope {
   public:
    explicit Scope(HoldingWait* wait) : wait_(wait) {
      if (wait_) wait_->BeginWait();
    }
    ~Scope() {
      if (wait_) wait_->EndWait();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    HoldingWait* wait_;
  };

  // Told when Waiting() changes: the window shows that it waits.
  std::function<void(bool waiting)> onWaitingChanged;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct HeldEvent {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;  // a copy; or empty for a deferred call
    std::function<void()> call;
  };

  bool RunLoop(int ms, bool hold);
  void BeginWait();
  void EndWait();
  void BeginHold();
  void EndHold();
  bool Holds(const QObject* receiver) const;
  bool AlreadyHeld(const QObject* receiver, int timerId) const;
  void PostHandOver();
  void HandOverNext();
  void UpdateFilter();

  std::vector<QObject*> receivers_;
  std::deque<HeldEvent> held_;
  int holds_ = 0;
  int waits_ = 0;
  bool filtering_ = false;
  bool handOverPosted_ = false;
  QEvent* passing_ = nullptr;  // the held event being handed over
};
