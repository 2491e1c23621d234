#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstring>

#include "platform/Ticks.h"
#include "serial/Delay.h"

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

long ThreadCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_utime.tv_sec * 1000L + usage.ru_utime.tv_usec / 1000 +
         usage.ru_stime.tv_sec * 1000L + usage.ru_stime.tv_usec / 1000;
}

uint8_t Crc8(const char* text, uint8_t start) {
  uint8_t crc = start;
  for (size_t i = 0; i < std::strlen(text); ++i) Crc8Update(&crc, static_cast<uint8_t>(text[i]), 8);
  return crc;
}

TDelay EnabledDelay(long dividend) {
  TDelay d;
  d.SetEnable(true);
  d.SetDividend(dividend);
  return d;
}

}  // namespace

TEST(Delay, Crc8MatchesKnownCheckValues) {
  EXPECT_EQ(Crc8("123456789", 0), 0x37);
  EXPECT_EQ(Crc8("abc", 0), 0x6B);
  EXPECT_EQ(Crc8("abc", 0xFF), 0x65);
  uint8_t crc = 0x80;
  Crc8Update(&crc, 0, 1);  // one shift with the top bit set
  EXPECT_EQ(crc, 0x1D);
}

TEST(Delay, DividendBelowOneIsStoredAsOne) {
  TDelay d;
  EXPECT_GE(d.Dividend(), 1);
  d.SetDividend(0);
  EXPECT_EQ(d.Dividend(), 1);
  d.SetDividend(-5);
  EXPECT_EQ(d.Dividend(), 1);
  d.SetDividend(10);
  EXPECT_EQ(d.Dividend(), 10);
}

TEST(Delay, ReturnsAtOnceWhenDisabledOrBelowTheDivisor) {
  TDelay constructed;  // never set up: disabled, and must not divide by zero
  auto start = Clock::now();
  constructed.DelayTime(5000, false);
  constructed.SetEnable(true);
  constructed.DelayTime(0, false);
  EXPECT_LT(ElapsedMs(start), 100);

  TDelay d = EnabledDelay(10);
  start = Clock::now();
  d.DelayTime(9, false);
  d.DelayTime(-100, true);
  EXPECT_LT(ElapsedMs(start), 100);
}

TEST(Delay, DividesTheWaitAndKeepsTheEventLoopRunning) {
  TDelay d = EnabledDelay(10);
  bool timerFired = false;
  QTimer::singleShot(20, [&] { timerFired = true; });
  const auto start = Clock::now();
  const long cpuBefore = ThreadCpuMs();
  d.DelayTime(1000, true);
  const long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 100);
  EXPECT_LT(elapsed, 1000);
  EXPECT_TRUE(timerFired);
  // Waiting must not spin the processor.
  EXPECT_LT(ThreadCpuMs() - cpuBefore, 50);
}

TEST(Delay, BlockingWaitSleepsWithoutSpinning) {
  TDelay d = EnabledDelay(1);
  const auto start = Clock::now();
  const long cpuBefore = ThreadCpuMs();
  d.DelayTime(150, false);
  EXPECT_GE(ElapsedMs(start), 150);
  EXPECT_LT(ThreadCpuMs() - cpuBefore, 50);
}

TEST(Delay, WaitAcrossTheTickWrapLastsTheRequestedTime) {
  for (bool processMessages : {false, true}) {
    TDelay d = EnabledDelay(1);
    // The counter reads 60 ms before its wrap when the wait starts.
    const uint32_t offset = 0xFFFFFFFFu - 60u - GetTickCount();
    d.tickSource = [offset] { return GetTickCount() + offset; };
    const auto start = Clock::now();
    d.DelayTime(200, processMessages);
    const long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 200) << processMessages;
    EXPECT_LT(elapsed, 1000) << processMessages;
  }
}
