// One component takes over another's open line (the search hands its
// winner to the run this way): nothing reaches the line, the speed and the
// exclusive hold stay, and input not yet read is announced to the new owner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/ComPort.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Pty.h"

TEST(ComPortTakeOver, LineKeepsItsSpeedHoldAndUnreadBytes) {
  Pty pty;
  ASSERT_TRUE(pty.Valid());
  const std::vector<std::string> table{pty.SlavePath()};
  MessageRecorder first, second;
  TComPort probe(table);
  ASSERT_NE(probe.Open(&first, 0, false), INVALID_COM_HANDLE);
  probe.ChangeBaudrate(B__9600);
  ASSERT_TRUE(pty.Send("!\r\n"));
  ASSERT_TRUE(RunUntil([&] { return first.Count(WM_COM_RXDATA) > 0; }, std::chrono::seconds(5)));
  pty.Drain();

  TComPort run(table);
  ASSERT_TRUE(run.TakeOver(probe, &second));
  EXPECT_FALSE(probe.IsOpen());
  EXPECT_EQ(run.OpenPort(), 0);
  EXPECT_EQ(pty.SlaveBaud(), 9600);
  EXPECT_EQ(run.LineBaudrate(), B__9600);
  ASSERT_TRUE(RunUntil([&] { return second.Count(WM_COM_RXDATA) > 0; }, std::chrono::seconds(5)));
  char buffer[16];
  ASSERT_EQ(run.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "!\r\n");
  EXPECT_EQ(pty.Drain(), "");

  // Still held exclusively: nobody else gets the port in between.
  TComPort other(table);
  EXPECT_EQ(other.Open(&first, 0, false), INVALID_COM_HANDLE);
  ASSERT_EQ(run.Write("A.1000\r\n", -1, false), 8);
  EXPECT_EQ(pty.ReceiveUntil("A.1000\r\n"), "A.1000\r\n");
  EXPECT_FALSE(run.TakeOver(probe, &second));  // nothing to take from a closed one
  EXPECT_TRUE(run.IsOpen());
  run.Close();
  EXPECT_NE(other.Open(&first, 0, false), INVALID_COM_HANDLE);
  other.Close();
}
