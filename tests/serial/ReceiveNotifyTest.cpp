// The receive thread's notifications reach the owner through its event
// queue: one per batch, again after Read, re-armed when ignored.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QThread>
#include <QTimer>
#include <chrono>
#include <memory>

#include "serial/ComPort.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Pty.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long MsBetween(Clock::time_point from, Clock::time_point to) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(to - from).count());
}

}  // namespace

class ReceiveNotify : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com1.Valid() && com2.Valid());
    table = std::make_unique<ScopedPortTable>(com1.SlavePath() + ":" + com2.SlavePath());
    port = std::make_unique<TComPort>();
  }
  int RxCount() const { return owner.Count(WM_COM_RXDATA); }

  Pty com1, com2;
  std::unique_ptr<ScopedPortTable> table;
  MessageRecorder owner;
  std::unique_ptr<TComPort> port;
};

TEST_F(ReceiveNotify, OneNotificationPerBatchAndANewOneAfterRead) {
  ASSERT_NE(port->Open(&owner, 1, false), INVALID_COM_HANDLE);
  bool onOwnerThread = true;
  owner.onMessage = [&](const ReceivedMessage&) {
    onOwnerThread = onOwnerThread && QThread::currentThread() == owner.thread();
  };
  ASSERT_TRUE(com2.Send("!"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 1; }, milliseconds(5000)));
  EXPECT_EQ(owner.messages[0].message, WM_COM_RXDATA);
  EXPECT_EQ(owner.messages[0].wParam, 2u);  // COM2

  ASSERT_TRUE(com2.Send("I.1"));
  ASSERT_TRUE(com2.Send("234\r\n"));
  RunFor(milliseconds(300));  // time for a wrong second notification to show
  EXPECT_EQ(RxCount(), 1);

  char buffer[64];
  EXPECT_EQ(port->Read(buffer, 63), 9);
  EXPECT_STREQ(buffer, "!I.1234\r\n");
  ASSERT_TRUE(com2.Send("x"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 2; }, milliseconds(5000)));
  EXPECT_TRUE(onOwnerThread);
}

TEST_F(ReceiveNotify, ResetSetAktivAllowsTheNextNotification) {
  ASSERT_NE(port->Open(&owner, 0, false), INVALID_COM_HANDLE);
  ASSERT_TRUE(com1.Send("a"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 1; }, milliseconds(5000)));
  char buffer[8];
  EXPECT_EQ(port->Read(buffer, 1), 1);
  ASSERT_TRUE(com1.Send("b"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 2; }, milliseconds(5000)));
  port->Reset_SetAktiv();
  ASSERT_TRUE(com1.Send("c"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 3; }, milliseconds(5000)));
  EXPECT_EQ(port->Read(buffer, 2), 2);
  EXPECT_STREQ(buffer, "bc");
}

TEST_F(ReceiveNotify, IgnoredNotificationIsRepeatedAboutFiveSecondsLater) {
  ASSERT_NE(port->Open(&owner, 0, false), INVALID_COM_HANDLE);
  ASSERT_TRUE(com1.Send("1"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 1; }, milliseconds(5000)));
  // The owner never reads. Further bursts come every 400 ms; the timer
  // starts with the second of them.
  int bursts = 0;
  Clock::time_point secondBurst;
  QTimer sender;
  QObject::connect(&sender, &QTimer::timeout, [&] {
    com1.Send("+");
    if (++bursts == 2) secondBurst = Clock::now();
  });
  sender.start(400);
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 2; }, milliseconds(12000)));
  sender.stop();
  ASSERT_GE(bursts, 2);
  const long after = MsBetween(secondBurst, owner.messages.back().at);
  EXPECT_GE(after, 5000);
  EXPECT_LT(after, 7000);
}

TEST_F(ReceiveNotify, CloseEndsTheThreadsPromptly) {
  ASSERT_NE(port->Open(&owner, 0, false), INVALID_COM_HANDLE);
  ASSERT_TRUE(com1.Send("z"));
  ASSERT_TRUE(RunUntil([&] { return RxCount() == 1; }, milliseconds(5000)));
  for (int i = 0; i < 2; ++i) {  // with a notification outstanding, then idle
    const auto start = Clock::now();
    port->Close();
    EXPECT_LT(MsBetween(start, Clock::now()), 500);
    ASSERT_NE(port->Open(&owner, 0, false), INVALID_COM_HANDLE);
    char buffer[8];
    port->Read(buffer, 4);
  }
}

// A meter unplugged (the far end of the line gone) must not turn into a
// stream of notifications with nothing to read.
TEST(ReceiveNotifyHangup, HungUpLineDoesNotFloodTheOwner) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  ScopedPortTable table(ptsname(master));
  MessageRecorder owner;
  TComPort port;
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  owner.onMessage = [&](const ReceivedMessage&) {
    char buffer[251];
    port.Read(buffer, 250);  // as the workflow does on every notification
  };
  ASSERT_EQ(write(master, "!\r\n", 3), 3);
  ASSERT_TRUE(RunUntil([&] { return owner.Count(WM_COM_RXDATA) >= 1; }, milliseconds(5000)));
  close(master);
  RunFor(milliseconds(1500));
  EXPECT_LE(owner.Count(WM_COM_RXDATA), 2);
  port.Close();
}
