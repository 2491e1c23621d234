// How runs end, as the run log records them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "tests/e2e/E2eWorld.h"

namespace {

QJsonObject OnlyLine(const std::string& log) {
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  return QJsonDocument::fromJson(QByteArray::fromStdString(log)).object();
}

}  // namespace

TEST(RunLogOutcome, RefusedMeterIsRecordedWithTheMessageShown) {
  E2eWorld w;
  w.PrepareExternalDelivery(1);
  SimProcess& meter = w.AddSim(ExternalProfile("2.00"));
  ToolResult r = w.RunHeadless({"--delay-divisor", "20", "--run-log", "runs/log.jsonl"});
  ASSERT_EQ(r.exitCode, 1) << r.output;
  // The folder of the log does not exist: a warning, the outcome stands.
  EXPECT_NE(r.output.find("Warning: the run log runs/log.jsonl cannot be written"),
            std::string::npos)
      << r.output;

  w.Dir().Write("Update.ini", w.Dir().Read("Update.ini") + "RunLog=refusals.jsonl\r\n");
  r = w.RunHeadless({"--delay-divisor", "20"});
  meter.Stop();
  ASSERT_EQ(r.exitCode, 1) << r.output;
  const QJsonObject line = OnlyLine(w.Dir().Read("refusals.jsonl"));
  EXPECT_EQ(line.value("outcome").toString(), "refused");
  EXPECT_EQ(line.value("exit_status").toInt(-1), 1);
  EXPECT_EQ(line.value("meter").toObject().value("software_version").toString(), "2.00");
  EXPECT_TRUE(line.value("files").toArray().isEmpty());
  EXPECT_FALSE(line.value("message").toString().isEmpty());
}
