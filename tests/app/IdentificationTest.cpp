// The identification dialogue without a port: the replies of a meter go in
// as received bytes, the queries it is asked and the record come out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Identification.h"
#include "core/DeviceRecord.h"
#include "core/Events.h"
#include "core/Timer.h"
#include "serial/ComPort.h"

namespace {

struct Dialogue {
  TComPort port{std::vector<std::string>{}};
  EventQueue queue;
  TimerPool timers;
  Identification id{port, queue, timers};
  DeviceRecord record;
  std::vector<std::string> sent;

  Dialogue() {
    id.hooks.send = [this](const std::string& command) { sent.push_back(command); };
    id.hooks.log = [](const std::string&) {};
  }

  // One line from the meter; true once the identity is complete.
  bool Reply(const std::string& line, LoaderKind kind = kLoaderSRecord) {
    id.TakeReceived(line + "\r\n");
    bool complete = false;
    for (WorkflowEvent e = queue.FetchEvent(); !e.IsEmpty(); e = queue.FetchEvent())
      if (id.Take(e, record, kind)) complete = true;
    return complete;
  }
};

TEST(Identification, AsksInOrderAndFillsTheRecord) {
  Dialogue d;
  d.id.SendFirstQuery();
  EXPECT_FALSE(d.Reply("I.23#PCB-44943"));
  EXPECT_FALSE(d.Reply("I.20#61329"));
  EXPECT_FALSE(d.Reply("I.21#1.23,2.01"));
  EXPECT_TRUE(d.Reply("I.25#A1234567"));
  EXPECT_EQ(d.sent,
            (std::vector<std::string>{"A.2003\r\n", "A.2000\r\n", "A.2001\r\n", "A.4001\r\n"}));
  EXPECT_EQ(d.record.PcbNumber.str(), "PCB-44943");
  EXPECT_EQ(d.record.DeviceNumber.str(), "61329");
  EXPECT_EQ(d.record.SoftwareVersion.str(), "1.23,2.01");
  EXPECT_EQ(d.record.SoftwareVersionNumber, 123);
  EXPECT_EQ(d.record.SensorVersionNumber, 201);
  EXPECT_EQ(d.record.SerialNumber.str(), "A1234567");
}

// Firmware below version 1.00 knows no serial-number query; "Y.YY" marks
// firmware that does whatever its number says.
TEST(Identification, SerialNumberQueryDependsOnTheVersion) {
  struct Case {
    const char* version;
    bool asksSerial;
  };
  for (const Case& c : {Case{"1.05", true}, Case{"0.95", false}, Case{"Y.YY", true}}) {
    SCOPED_TRACE(c.version);
    Dialogue d;
    d.id.SendFirstQuery();
    d.Reply("I.23#1");
    d.Reply("I.20#2");
    const bool complete = d.Reply(std::string("I.21#") + c.version);
    EXPECT_EQ(complete, !c.asksSerial);
    EXPECT_EQ(d.sent.back() == "A.4001\r\n", c.asksSerial);
    if (!c.asksSerial) {
      EXPECT_EQ(d.record.SerialNumber.str(), " ");
    }
  }
}

// A Windows-CE instrument's 2011 is its start-up program's version, not its
// software version, and asks nothing further.
TEST(Identification, WinCeStartupVersionIsNoSoftwareVersion) {
  Dialogue d;
  d.id.SendFirstQuery();
  EXPECT_FALSE(d.Reply("I.2011#1.07", kLoaderWinCe));
  EXPECT_EQ(d.record.StartupVersionInstrument, 107);
  EXPECT_TRUE(d.record.SoftwareVersion.empty());
  EXPECT_EQ(d.sent.size(), 1u);
  EXPECT_FALSE(d.Reply("I.2011#1.07", kLoaderSRecord));
  EXPECT_EQ(d.record.SoftwareVersionNumber, 107);
}

}  // namespace
