// Reads and writes through TComPort over a pseudo-terminal whose master
// plays the instrument.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "serial/ComPort.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Pty.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + (i * 7) % 26);
  return s;
}

}  // namespace

class ComPortTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer.Valid());
    table = std::make_unique<ScopedPortTable>(peer.SlavePath());
    port = std::make_unique<TComPort>();
  }

  // Opens COM1 with the given handshake and time-outs.
  void OpenWith(HandshakeTag handshake, int32_t rxTimeOut, int32_t txTimeOut,
                bool nullDiscard = false) {
    V24ParameterTag record = *port->GetV24Parameter();
    record.Handshake = handshake;
    record.RXTimeOut = rxTimeOut;
    record.TXTimeOut = txTimeOut;
    record.KeinNullZeichen = nullDiscard;
    port->InitParameter(&record, false);
    ASSERT_NE(port->Open(&owner, 0, false), INVALID_COM_HANDLE);
  }

  Pty peer;
  std::unique_ptr<ScopedPortTable> table;
  MessageRecorder owner;
  std::unique_ptr<TComPort> port;
};

TEST_F(ComPortTransfer, BlockingAndBackgroundWritesArriveIntact) {
  OpenWith(NoHandshake, 0, 1000);
  // The first write right after Open already finds the transmitter ready.
  EXPECT_EQ(port->Write("A.1111\r\n", -1, false), 8);
  EXPECT_EQ(peer.Receive(8), "A.1111\r\n");
  const std::string block = Pattern(2000);
  EXPECT_EQ(port->Write(block.data(), 2000, true), 2000);
  EXPECT_EQ(peer.Receive(2000), block);
  ASSERT_TRUE(port->WaitWriteIdle(5000));
  const std::string big = Pattern(kComMaxBlock);
  EXPECT_EQ(port->Write(big.data(), kComMaxBlock, true), kComMaxBlock);
  EXPECT_EQ(peer.Receive(kComMaxBlock), big);
}

TEST_F(ComPortTransfer, EmptyTextSendsNothing) {
  OpenWith(KVX_XonXoff, 0, 1000);
  EXPECT_EQ(port->Write("", -1, false), 0);
  EXPECT_EQ(port->Write("", -1, true), 0);
  EXPECT_EQ(port->Write(nullptr, -1, false), 0);
  EXPECT_EQ(port->Write("Z", -1, false), 3);
  EXPECT_EQ(peer.Receive(3), "\x13Z\x11");  // nothing went before the marker
}

TEST_F(ComPortTransfer, KvxFramingWrapsEveryBlockInXoffAndXon) {
  OpenWith(NoHandshake, 0, 1000);
  port->ChangeHandShake(KVX_XonXoff);
  EXPECT_EQ(port->Write("abc", 3, false), 5);
  EXPECT_EQ(peer.Receive(5),
            "\x13"
            "abc\x11");
  // A line change keeps the framing.
  port->ChangeV24Parameter(B__9600, S_2, NoParity, true);
  EXPECT_EQ(port->Write("de", 2, true), 4);
  EXPECT_EQ(peer.Receive(4),
            "\x13"
            "de\x11");
  ASSERT_TRUE(port->WaitWriteIdle(5000));
  port->ChangeHandShake(XonXoff);
  EXPECT_EQ(port->Write("f", 1, false), 1);
  EXPECT_EQ(peer.Receive(1), "f");
}

TEST_F(ComPortTransfer, BlockLongerThanTheBufferIsRefused) {
  OpenWith(KVX_XonXoff, 0, 1000);
  const std::string big = Pattern(kComMaxBlock + 1);
  // Framing adds two bytes: 32767 bytes of data no longer fit.
  EXPECT_EQ(port->Write(big.data(), kComMaxBlock - 1, false), COM_BLOCK_TOO_LONG);
  EXPECT_EQ(port->Write(big.data(), -7, true), COM_BLOCK_TOO_LONG);
  port->ChangeHandShake(NoHandshake);
  EXPECT_EQ(port->Write(big.data(), kComMaxBlock + 1, true), COM_BLOCK_TOO_LONG);
  // Nothing of the refused blocks went out.
  EXPECT_EQ(port->Write("ok", -1, false), 2);
  EXPECT_EQ(peer.Receive(2), "ok");
}

TEST_F(ComPortTransfer, TransmitterIsBusyWhileABackgroundBlockIsHeld) {
  OpenWith(XonXoff, 0, 10000);
  ASSERT_TRUE(peer.Send("\x13"));
  ASSERT_TRUE(peer.WaitOutputStopped());
  const std::string block = Pattern(1000);
  EXPECT_EQ(port->Write(block.data(), 1000, true), 1000);
  EXPECT_EQ(port->Write("x", -1, false), COM_TX_BUSY);
  EXPECT_EQ(port->Write("y", -1, true), COM_TX_BUSY);
  ASSERT_TRUE(peer.Send("\x11"));
  EXPECT_EQ(peer.Receive(1000), block);
  ASSERT_TRUE(port->WaitWriteIdle(5000));
  EXPECT_EQ(port->Write("z", -1, false), 1);
  EXPECT_EQ(peer.Receive(1), "z");
}

TEST_F(ComPortTransfer, StalledWriteEndsShortAndLatchesUntilGetWriteStatus) {
  OpenWith(XonXoff, 0, 200);
  ASSERT_TRUE(peer.Send("\x13"));
  ASSERT_TRUE(peer.WaitOutputStopped());

  // Blocking: the write gives up after n + TXTimeOut ms.
  const std::string block = Pattern(100);
  const auto start = Clock::now();
  EXPECT_EQ(port->Write(block.data(), 100, false), COM_TX_ERROR);
  const long took = ElapsedMs(start);
  EXPECT_GE(took, 290);
  EXPECT_LT(took, 2000);
  EXPECT_EQ(port->Write("x", -1, false), COM_TX_ERROR);
  port->GetWriteStatus();

  // Background: accepted at once, the shortfall shows at the next Write.
  EXPECT_EQ(port->Write(block.data(), 100, true), 100);
  ASSERT_TRUE(port->WaitWriteIdle(5000));
  EXPECT_EQ(port->Write("x", -1, true), COM_TX_ERROR);
  EXPECT_EQ(port->Write("x", -1, false), COM_TX_ERROR);
  port->GetWriteStatus();

  ASSERT_TRUE(peer.Send("\x11"));
  ASSERT_TRUE(peer.WaitOutputStarted());
  EXPECT_EQ(port->Write("ok", -1, false), 2);
  EXPECT_EQ(peer.ReceiveUntil("ok"), "ok");
}

TEST_F(ComPortTransfer, PeerThatStopsReadingMakesTheWriteEndShort) {
  OpenWith(NoHandshake, 0, 100);
  const std::string block = Pattern(1000);
  int result = 0;
  int accepted = 0;
  long lastTook = 0;
  // The pseudo-terminal's buffers take some blocks, then the line stalls.
  for (int i = 0; i < 1000 && result != COM_TX_ERROR; ++i) {
    const auto start = Clock::now();
    result = port->Write(block.data(), 1000, false);
    lastTook = ElapsedMs(start);
    if (result == 1000) ++accepted;
  }
  ASSERT_EQ(result, COM_TX_ERROR);
  EXPECT_LT(lastTook, 1100 + 2000);
  EXPECT_EQ(port->Write("x", -1, false), COM_TX_ERROR);
  port->GetWriteStatus();
  // Everything that was accepted is on its way; reading makes room again.
  const std::string got = peer.Receive(static_cast<size_t>(accepted) * 1000);
  EXPECT_EQ(got.size(), static_cast<size_t>(accepted) * 1000);
  peer.Drain();
  EXPECT_EQ(port->Write("end", -1, false), 3);
  EXPECT_EQ(peer.Receive(3), "end");
}

TEST_F(ComPortTransfer, CloseWaitsForABackgroundBlock) {
  OpenWith(XonXoff, 0, 300);
  const std::string block = Pattern(4000);
  EXPECT_EQ(port->Write(block.data(), 4000, true), 4000);
  port->Close();
  EXPECT_EQ(peer.Receive(4000), block);  // went out completely before Close returned

  OpenWith(XonXoff, 0, 300);
  ASSERT_TRUE(peer.Send("\x13"));
  ASSERT_TRUE(peer.WaitOutputStopped());
  const auto start = Clock::now();
  EXPECT_EQ(port->Write(block.data(), 500, true), 500);
  port->Close();  // returns once the held block has timed out
  const long took = ElapsedMs(start);
  EXPECT_GE(took, 790);
  EXPECT_LT(took, 800 + 3000);
  ASSERT_TRUE(peer.Send("\x11"));
}

TEST_F(ComPortTransfer, ReadEndsWithinItsTimeOutWithWhatCame) {
  OpenWith(NoHandshake, 0, 1000);
  char buffer[300];
  buffer[0] = 'x';
  auto start = Clock::now();
  EXPECT_EQ(port->Read(buffer, 250), 0);
  long took = ElapsedMs(start);
  EXPECT_GE(took, 249);
  EXPECT_LT(took, 250 + 500);
  EXPECT_EQ(buffer[0], '\0');
  port->Close();

  OpenWith(NoHandshake, 2000, 1000);
  ASSERT_TRUE(peer.Send("12345"));
  start = Clock::now();
  // The pause after the last byte ends the read long before n + RXTimeOut.
  EXPECT_EQ(port->Read(buffer, 100), 5);
  EXPECT_LT(ElapsedMs(start), 1000);
  EXPECT_STREQ(buffer, "12345");

  ASSERT_TRUE(peer.Send("abcdefgh"));
  EXPECT_EQ(port->Read(buffer, 3), 3);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(port->Read(buffer, 100), 5);
  EXPECT_STREQ(buffer, "defgh");
}

TEST_F(ComPortTransfer, NulBytesAreDroppedWhileDiscardingIsOn) {
  OpenWith(NoHandshake, 500, 1000, true);
  char buffer[16];
  ASSERT_TRUE(peer.Send(std::string("a\0b\0\0c", 6)));
  EXPECT_EQ(port->Read(buffer, 6), 3);
  EXPECT_STREQ(buffer, "abc");
  port->ChangeV24Parameter(B__4800, S_1, NoParity, false);
  ASSERT_TRUE(peer.Send(std::string("d\0e", 3)));
  EXPECT_EQ(port->Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), std::string("d\0e", 3));
  EXPECT_EQ(buffer[3], '\0');
}
