// Many meters at once: --all-ports runs one headless update per port, side
// by side, and every run leaves its line in the shared run log.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <sstream>

#include "FirmwareGen.h"
#include "tests/e2e/E2eWorld.h"

namespace {

std::string Sha256(const std::string& bytes) {
  return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
      .toHex()
      .toStdString();
}

// The run log's lines by COM number.
std::map<int, QJsonObject> RunLinesByPort(const std::string& log, std::size_t* count) {
  std::map<int, QJsonObject> lines;
  std::istringstream in(log);
  *count = 0;
  for (std::string line; std::getline(in, line);) {
    ++*count;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    lines[o.value("port").toObject().value("com").toInt()] = o;
  }
  return lines;
}

std::vector<std::string> FileNames(const QJsonObject& line) {
  std::vector<std::string> names;
  for (const auto& f : line.value("files").toArray())
    names.push_back(f.toObject().value("name").toString().toStdString());
  return names;
}

}  // namespace

TEST(ParallelRun, SRecordAndMsp430MetersAreUpdatedAtOnce) {
  E2eWorld w;
  w.WriteUpdateIni(0);
  DeviceBlockSpec srecord;  // device 12345, meter.mot through the external loader
  DeviceBlockSpec msp;
  msp.deviceNr = "52000";
  msp.deviceName = "MSP Meter";
  msp.progFile2 = "main.txt";
  msp.progFile3 = "sensor.txt";
  msp.swKenn2 = msp.swKenn3 = "@1000\\r\\n";
  w.WriteProgDeviceIni({srecord, msp});
  w.WriteFirmware("meter.mot", "1.30");
  const std::string mainImage = MakeTiTxtFirmware("1.30", 1500, 61);
  const std::string sensorImage = MakeTiTxtFirmware("1.10", 400, 62);
  w.Dir().Write("main.txt", mainImage);
  w.Dir().Write("sensor.txt", sensorImage);
  w.InstallLoaders();
  SimProcess& external = w.AddSim(ExternalProfile());
  SimProcess& bsl = w.AddSim(Msp430Profile());

  ToolResult r = w.RunHeadless({"--all-ports", "--delay-divisor", "20"});
  const QJsonObject externalReport = external.Stop();
  const QJsonObject bslReport = bsl.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("COM1: Download erfolgreich"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("COM2: Download erfolgreich"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("2 of 2 runs ended with success."), std::string::npos) << r.output;

  // Each meter got its own firmware and nothing of the other's.
  EXPECT_TRUE(externalReport.value("violations").toArray().isEmpty());
  EXPECT_TRUE(bslReport.value("violations").toArray().isEmpty());
  ASSERT_EQ(externalReport.value("files").toArray().size(), 1);
  EXPECT_TRUE(externalReport.value("flash").isNull());
  EXPECT_TRUE(bslReport.value("files").toArray().isEmpty());
  EXPECT_FALSE(bslReport.value("flash").isNull());
  EXPECT_FALSE(bslReport.value("sensor_flash").isNull());

  std::size_t count = 0;
  auto lines = RunLinesByPort(w.Dir().Read("update-runs.jsonl"), &count);
  ASSERT_EQ(count, 2u);
  ASSERT_EQ(lines.size(), 2u);
  const QJsonObject& one = lines[1];
  const QJsonObject& two = lines[2];
  EXPECT_EQ(one.value("outcome").toString(), "success");
  EXPECT_EQ(two.value("outcome").toString(), "success");
  EXPECT_EQ(one.value("exit_status").toInt(-1), 0);
  EXPECT_NE(one.value("pid").toInteger(), two.value("pid").toInteger());
  EXPECT_EQ(one.value("device_entry").toObject().value("name").toString(), "Test Meter");
  EXPECT_EQ(two.value("device_entry").toObject().value("name").toString(), "MSP Meter");
  EXPECT_EQ(one.value("meter").toObject().value("serial_number").toString(), "11223344");
  EXPECT_EQ(two.value("meter").toObject().value("software_version").toString(), "1.05,1.00");
  EXPECT_EQ(FileNames(one), std::vector<std::string>{"meter.mot"});
  EXPECT_EQ(FileNames(two), (std::vector<std::string>{"main.txt", "sensor.txt"}));
  const QJsonObject mainFile = two.value("files").toArray()[0].toObject();
  EXPECT_EQ(mainFile.value("sha256").toString().toStdString(), Sha256(mainImage));
  EXPECT_EQ(mainFile.value("size").toInteger(), static_cast<qint64>(mainImage.size()));
  EXPECT_EQ(one.value("files").toArray()[0].toObject().value("sha256").toString().toStdString(),
            Sha256(w.Dir().Read("meter.mot")));

  // The loader settings were written in the runs' own folders.
  EXPECT_NE(w.Dir().Read("update-ports/COM1/HEXLoad_8N1.ini").find("Port = 0"), std::string::npos);
}
