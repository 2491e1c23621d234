#include <filesystem>
#include <gtest/gtest.h>

#include "SimHarness.h"

using namespace simtest;

TEST(CommandProtocol, AnswersTheToolsIdentificationRun) {
  RunningSim sim(
      "BaudRate = 4800\nPcbNumber = 44943-01\nDeviceNumber = 61329\nVersion = 1.23\n"
      "SerialNumber = 998877\nTarget = external\n");
  Client c(sim.path(), 4800);
  identify(c);
  c.write("A.2003\r\n");
  EXPECT_EQ(c.readLine(), "I.2013#44943-01");
  c.write("A.2000\r\n");
  EXPECT_EQ(c.readLine(), "I.2010#61329");
  c.write("A.2001\r\n");
  EXPECT_EQ(c.readLine(), "I.2011#1.23");
  c.write("A.4001\r\n");
  EXPECT_EQ(c.readLine(), "I.205#998877");
  c.write("A.1200\r\n");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_TRUE(sim.waitForEvent("state", "waiting for the external loader"));
}

TEST(CommandProtocol, UsesTheProfilesReplyCodesAndExtraLines) {
  RunningSim sim(
      "PcbCode = 23\nDeviceCode = 200\nVersionCode = 21\nSerialCode = 25\nVersion = 1.23,2.01\n"
      "StartupVersion = 1.05\nUsbOnly = yes\nClockReply = !\nExtra.A.2000 = I.920#\n"
      "Reply.A.1500 = I.30#|!\n");
  Client c(sim.path(), 4800);
  identify(c);
  c.write("A.2003\r\nA.2000\r\n");
  EXPECT_EQ(c.readLine(), "I.23#44943-01");
  EXPECT_EQ(c.readLine(), "I.200#61329");
  EXPECT_EQ(c.readLine(), "I.920#");
  c.write("A.2001\r\nA.4001\r\n");
  EXPECT_EQ(c.readLine(), "I.21#1.23,2.01");
  EXPECT_EQ(c.readLine(), "I.25#12345678");
  EXPECT_EQ(c.readLine(), "I.2011#1.05");
  EXPECT_EQ(c.readLine(), "I.262#USB");
  c.write("A.1600#12345\r\nA.1500\r\nA.9999\r\n");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(c.readLine(), "I.30#");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(c.readLine(), "?");
}

TEST(CommandProtocol, ClockCommandIsAnsweredWith31AndEndsTheScenarioAfterATransfer) {
  RunningSim sim("Target = wince\nExitOnFinal = yes\n");
  Client c(sim.path(), 4800);
  identify(c);
  c.write("A.1600#7000.5\r\n");
  EXPECT_EQ(c.readLine(), "I.31");
  c.write("A.1111\r\n");  // no transfer yet: the meter stays
  EXPECT_EQ(c.readLine(), "!");
  c.write("A.1300#4800\r\nA.1203\r\nA.1121\r\n");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(c.readLine(), "!");
  EXPECT_EQ(c.readLine(), "!");
  ASSERT_TRUE(sim.waitUntilEnded());
  EXPECT_EQ(sim.finish(), "final command A.1121");
}

TEST(CommandProtocol, StaysSilentAtAnyOtherSpeed) {
  RunningSim sim("BaudRate = 4800\n");
  Client c(sim.path(), 9600);
  c.write("\r\n\r\nA.1111\r\n");
  ASSERT_TRUE(sim.waitForEvent("ignored", "A.1111"));
  EXPECT_TRUE(c.nothingPending());
  c.setBaud(4800);
  c.write("A.1111\r\n");
  EXPECT_EQ(c.readLine(), "!");
}

TEST(CommandProtocol, AnswersOnlyItsOwnStartCommandUntilStarted) {
  RunningSim sim("StartCommand = A.1000\n");
  Client c(sim.path(), 4800);
  c.write("A.1111\r\n");
  ASSERT_TRUE(sim.waitForEvent("line", "rx A.1111"));
  EXPECT_TRUE(c.nothingPending());
  c.write("A.1000\r\n");
  EXPECT_EQ(c.readLine(), "!");
  c.write("A.1111\r\n");
  EXPECT_EQ(c.readLine(), "!");
}

TEST(CommandProtocol, SilentProfileIsNoMeter) {
  RunningSim sim("Silent = yes\n");
  Client c(sim.path(), 4800);
  c.write("A.1111\r\nA.1000\r\n");
  ASSERT_TRUE(sim.waitForEvent("line", "rx A.1000"));
  EXPECT_TRUE(c.nothingPending());
}

TEST(CommandProtocol, AnswerIsLostWhileNobodyHoldsThePort) {
  RunningSim sim("ReplyDelayMs = 300\n");
  {
    Client c(sim.path(), 4800);
    c.write("A.1111\r\n");
    ASSERT_TRUE(sim.waitForEvent("line", "rx A.1111"));
  }
  ASSERT_TRUE(sim.waitForEvent("lost", "port closed"));
  Client again(sim.path(), 4800);
  EXPECT_TRUE(again.nothingPending());
  again.write("A.1000\r\n");
  EXPECT_EQ(again.readLine(), "!");
}

TEST(CommandProtocolFaults, NoAnswerRejectAndDroppedReplyHitTheirOccurrence) {
  RunningSim sim("NoAnswer = A.2000:1\nReject = A.1200\nDropReply = A.2001:2\n");
  Client c(sim.path(), 4800);
  identify(c);
  c.write("A.2000\r\n");
  ASSERT_TRUE(sim.waitForEvent("fault", "no answer to A.2000 #1"));
  EXPECT_TRUE(c.nothingPending());
  c.write("A.2000\r\n");
  EXPECT_EQ(c.readLine(), "I.2010#61329");
  c.write("A.1200\r\n");
  EXPECT_EQ(c.readLine(), "?");
  c.write("A.2001\r\n");
  EXPECT_EQ(c.readLine(), "I.2011#1.23");
  c.write("A.2001\r\n");
  ASSERT_TRUE(sim.waitForEvent("fault", "reply to A.2001 #2 dropped"));
  c.write("A.2001\r\n");
  EXPECT_EQ(c.readLine(), "I.2011#1.23");
}

TEST(CommandProtocol, ReportCountsTheWireTimeOfEveryByte) {
  RunningSim sim("BaudRate = 4800\n");
  Client c(sim.path(), 4800);
  c.write("A.1111\r\n");
  EXPECT_EQ(c.readLine(), "!");
  sim.finish();
  // 8 bytes in, 3 bytes out, 11 bits each.
  EXPECT_NEAR(sim.report().wireSeconds(), 11 * 11 / 4800.0, 1e-9);
  std::string json = sim.report().toJson();
  EXPECT_NE(json.find("\"exit_reason\": \"stopped by signal\""), std::string::npos);
  EXPECT_NE(json.find("\"text\": \"A.1111\""), std::string::npos);
}

TEST(Profiles, EveryShippedExampleLoads) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(__FILE__).parent_path() / "../../tools/instrument-sim/profiles";
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    sim::Profile profile;
    std::string error;
    EXPECT_TRUE(sim::loadProfile(entry.path().string(), profile, error))
        << entry.path() << ": " << error;
    ++count;
  }
  EXPECT_GE(count, 6);
}
