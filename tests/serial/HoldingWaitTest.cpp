// A wait that keeps the window painting: what reaches the workflow during
// the wait (a reply, a time-out, a deferred call) reaches it after the
// wait's caller is done, in the order it came, before anything newer; a
// timer stopped meanwhile does not fire.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <string>
#include <vector>

#include "serial/ComMessages.h"
#include "serial/HoldingWait.h"

namespace {

// Stands in for the workflow's receiver of serial notifications.
class Receiver : public QObject {
 public:
  std::function<void(unsigned)> onReply;

 protected:
  void customEvent(QEvent* event) override {
    if (const ComMessageEvent* m = AsComMessage(event)) onReply(m->wParam);
  }
};

void Deliver(QObject* to, QEvent&& event) { QCoreApplication::sendEvent(to, &event); }

// The dispatcher's expiry of a running timer.
void Expire(QTimer& timer) { Deliver(&timer, QTimerEvent(timer.timerId())); }

}  // namespace

TEST(HoldingWait, EventsOfTheWaitFollowItsCallerInTheOrderTheyCame) {
  HoldingWait hold;
  std::vector<std::string> log;
  Receiver meter;
  QTimer timeout;
  QTimer stopped;
  for (QObject* o : {static_cast<QObject*>(&meter), static_cast<QObject*>(&timeout),
                     static_cast<QObject*>(&stopped)})
    hold.HoldEventsOf(o);
  QObject::connect(&timeout, &QTimer::timeout, [&] { log.push_back("timeout"); });
  QObject::connect(&stopped, &QTimer::timeout, [&] { log.push_back("stopped timer fired"); });
  meter.onReply = [&](unsigned n) {
    log.push_back("reply " + std::to_string(n));
    if (n == 1) stopped.stop();  // handled before the held expiry of `stopped`
  };

  // Runs inside the wait: an event that is not the workflow's.
  bool scriptRanWhileHolding = false;
  QTimer script;
  script.setSingleShot(true);
  QObject::connect(&script, &QTimer::timeout, [&] {
    scriptRanWhileHolding = hold.Holding();
    timeout.start(60000);
    Expire(timeout);
    Deliver(&meter, ComMessageEvent(WM_COM_RXDATA, 1));
    hold.Defer([&] { log.push_back("deferred"); });
    stopped.start(60000);
    Expire(stopped);
    Expire(timeout);  // fired again while held: once
    PostComMessage(&meter, WM_COM_RXDATA, 2);
  });
  script.start(0);

  ASSERT_TRUE(hold.Hold(50));
  EXPECT_TRUE(scriptRanWhileHolding);
  EXPECT_TRUE(log.empty()) << log.front();
  log.push_back("after the wait");
  PostComMessage(&meter, WM_COM_RXDATA, 3);  // newer than everything held

  QEventLoop loop;
  meter.onReply = [&, previous = meter.onReply](unsigned n) {
    previous(n);
    if (n == 3) loop.quit();
  };
  QTimer::singleShot(30000, &loop, &QEventLoop::quit);
  loop.exec();

  EXPECT_EQ(log, (std::vector<std::string>{"after the wait", "timeout", "reply 1", "deferred",
                                           "reply 2", "reply 3"}));
  EXPECT_EQ(hold.Held(), 0u);
  EXPECT_FALSE(hold.Waiting());
}
