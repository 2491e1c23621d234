#include <gtest/gtest.h>

#include <QTimer>
#include <array>

#include "core/Timer.h"

namespace {

struct Pool {
  std::array<QTimer, 5> timers;
  TimerPool pool;
  Pool() {
    QTimer* list[5];
    for (int i = 0; i < 5; ++i) list[i] = &timers[i];
    pool.RegisterTimers(5, list);
  }
};

}  // namespace

TEST(TimerPool, TakesLowestFreeHandleAndFallsBackToTheLastOne) {
  Pool p;
  EXPECT_EQ(p.pool.AcquireTimeout(5000), 1);
  EXPECT_EQ(p.pool.AcquireTimeout(5000), 2);
  EXPECT_EQ(p.pool.AcquireTimeout(5000), 3);
  EXPECT_EQ(p.pool.AcquireTimeout(5000), 4);
  EXPECT_EQ(p.pool.AcquireTimeout(5000), 5);
  EXPECT_EQ(p.pool.AcquireTimeout(1000), 5) << "the last handle is taken even when busy";
  EXPECT_EQ(p.timers[4].interval(), 1000);
  EXPECT_TRUE(p.timers[4].isActive());

  EXPECT_EQ(p.pool.ReleaseTimeout(2), 0);
  EXPECT_FALSE(p.timers[1].isActive());
  EXPECT_EQ(p.pool.AcquireTimeout(300), 2);
}

TEST(TimerPool, RestartOnlyTouchesBusyTimersAndBadHandlesAreHarmless) {
  Pool p;
  p.pool.RestartTimeout(3);
  EXPECT_FALSE(p.timers[2].isActive()) << "a free timer is not started by a restart";
  int h = p.pool.AcquireTimeout(200);
  p.pool.RestartTimeout(h);
  EXPECT_TRUE(p.timers[h - 1].isActive());
  EXPECT_EQ(p.timers[h - 1].interval(), 200);
  EXPECT_EQ(p.pool.ReleaseTimeout(0), 0);
  EXPECT_EQ(p.pool.ReleaseTimeout(99), 0);
  p.pool.RestartTimeout(-1);
  EXPECT_FALSE(p.pool.IsBusy(h + 1));
}
