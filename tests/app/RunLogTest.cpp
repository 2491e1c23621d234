// The run log's line, its file and the choice of that file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fstream>
#include <sstream>

#include "app/AllPortsRun.h"
#include "app/RunLog.h"
#include "app/Settings.h"
#include "tests/support/TempDir.h"

namespace {

QJsonObject Parse(const std::string& line) {
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
  return doc.object();
}

RunRecord SampleRecord() {
  RunRecord r;
  r.start = "2026-12-08T10:00:00+01:00";
  r.end = "2026-12-08T10:01:30+01:00";
  r.seconds = 90.04;
  r.comNumber = 3;
  r.devicePath = "/dev/ttyUSB0";
  r.serialNumber = "11223344";
  r.softwareVersion = "1.05,1.00";
  r.deviceEntry = "Messger\xE4t \"A\"";  // Windows-1252, with quotes
  r.outcome = "failed";
  r.message = "Abbruch\r\nZweite Zeile\\";
  RunLogFile f;
  f.name = "main.txt";
  f.size = 1234;
  f.sha256 = std::string(64, 'a');
  f.transferred = false;
  r.files.push_back(f);
  return r;
}

}  // namespace

TEST(RunLog, RecordIsOneLineOfJsonWithItsTextsInUtf8) {
  RunRecord r = SampleRecord();
  const std::string line = RunRecordJson(r);
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line, whatever the texts hold";
  const QJsonObject o = Parse(line);
  EXPECT_EQ(o.value("device_entry").toObject().value("name").toString(),
            QString::fromUtf8("Messger\xC3\xA4t \"A\""));
  EXPECT_EQ(o.value("message").toString(), "Abbruch\r\nZweite Zeile\\");
  EXPECT_EQ(o.value("port").toObject().value("com").toInt(), 3);
  EXPECT_TRUE(o.value("port").toObject().value("by_id").isNull());
  EXPECT_EQ(o.value("duration_s").toDouble(), 90.0);
  EXPECT_TRUE(o.value("exit_status").isNull()) << "window runs have no exit status";
  const QJsonObject file = o.value("files").toArray()[0].toObject();
  EXPECT_EQ(file.value("size").toInt(), 1234);
  EXPECT_FALSE(file.value("transferred").toBool(true));

  r.exitStatus = 2;
  r.comNumber = 0;
  r.files[0].size = -1;
  r.files[0].sha256.clear();
  const QJsonObject o2 = Parse(RunRecordJson(r));
  EXPECT_EQ(o2.value("exit_status").toInt(), 2);
  EXPECT_TRUE(o2.value("port").toObject().value("com").isNull());
  EXPECT_TRUE(o2.value("files").toArray()[0].toObject().value("sha256").isNull());
}

TEST(RunLog, RunsAppendingAtOnceNeverMixTheirLines) {
  TempDir dir;
  const std::string log = dir.File("runs.jsonl");
  constexpr int kWriters = 4;
  constexpr int kLines = 150;
  for (int w = 0; w < kWriters; ++w) {
    if (fork() == 0) {
      RunRecord r = SampleRecord();
      r.message = std::string(6000, static_cast<char>('a' + w));  // beyond a pipe's atomic size
      r.comNumber = w + 1;
      const std::string line = RunRecordJson(r);
      for (int i = 0; i < kLines; ++i)
        if (!AppendRunLine(log, line).empty()) _exit(1);
      _exit(0);
    }
  }
  for (int w = 0; w < kWriters; ++w) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::istringstream in(dir.Read("runs.jsonl"));
  int perWriter[kWriters] = {};
  for (std::string line; std::getline(in, line);) {
    const QJsonObject o = Parse(line);
    const int com = o.value("port").toObject().value("com").toInt();
    ASSERT_TRUE(com >= 1 && com <= kWriters) << line.substr(0, 80);
    ASSERT_EQ(o.value("message").toString(), QString(6000, QChar('a' + com - 1)));
    ++perWriter[com - 1];
  }
  for (int n : perWriter) EXPECT_EQ(n, kLines);
}

TEST(RunLog, UnwritableLogNamesTheReason) {
  TempDir dir;
  EXPECT_FALSE(AppendRunLine(dir.File("no/such/folder.jsonl"), "{}\n").empty());
  EXPECT_TRUE(AppendRunLine(dir.File("ok.jsonl"), "{}\n").empty());
  EXPECT_TRUE(AppendRunLine(dir.File("ok.jsonl"), "{}\n").empty());
  EXPECT_EQ(dir.Read("ok.jsonl"), "{}\n{}\n");
}

TEST(RunLog, FilesAreHashedWithSha256) {
  TempDir dir;
  dir.Write("abc.txt", "abc");
  RunLogFile f;
  f.path = dir.File("abc.txt");
  HashRunLogFile(f);
  EXPECT_EQ(f.size, 3);
  EXPECT_EQ(f.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  f.path = dir.File("missing.txt");
  HashRunLogFile(f);
  EXPECT_EQ(f.size, -1);
  EXPECT_TRUE(f.sha256.empty());
}

TEST(RunLog, TimesCarryTheirUtcOffset) {
  const std::string t = IsoTimeNow();
  ASSERT_EQ(t.size(), 25u) << t;
  EXPECT_EQ(t[10], 'T');
  EXPECT_TRUE(t[19] == '+' || t[19] == '-') << t;
  EXPECT_EQ(t[22], ':');
}

TEST(RunLog, CommandLineThenUpdateIniThenTheDefaultChooseTheFile) {
  TempDir dir;
  const std::string ini = dir.File("Update.ini");
  dir.Write("Update.ini", "Language=0\r\nVersion=V 1\r\nBaud=2\r\nCom=\r\n");
  EXPECT_EQ(ChooseRunLogPath(std::nullopt, ini), kDefaultRunLog);
  EXPECT_EQ(ChooseRunLogPath(std::nullopt, dir.File("missing.ini")), kDefaultRunLog);
  dir.Write("Update.ini", "Language=0\r\nRunLog=/var/log/bench.jsonl\r\n");
  EXPECT_EQ(ChooseRunLogPath(std::nullopt, ini), "/var/log/bench.jsonl");
  EXPECT_EQ(ChooseRunLogPath(std::string("mine.jsonl"), ini), "mine.jsonl");
  EXPECT_EQ(ChooseRunLogPath(std::string(), ini), "") << "an empty option switches it off";
  dir.Write("Update.ini", "Language=0\r\nRunLog=\r\n");
  EXPECT_EQ(ChooseRunLogPath(std::nullopt, ini), "") << "an empty key switches it off";
}

TEST(RunLog, WritingTheLanguageBackKeepsTheRunLogKey) {
  TempDir dir;
  dir.Write("Update.ini", "Language=0\r\nVersion=V 1\r\nBaud=2\r\nCom=\r\nRunLog=\r\n");
  UpdateSettings s;
  s.language = 1;
  s.version = "V 1";
  ASSERT_EQ(WriteUpdateIni(dir.File("Update.ini"), s), SettingsWrite::Written);
  EXPECT_EQ(dir.Read("Update.ini"), "Language=1\r\nVersion=V 1\r\nBaud=2\r\nCom=\r\nRunLog=\r\n");
}

TEST(AllPorts, PortFolderIsAFreshCopyWithoutTheLogAndTheFixedPort) {
  TempDir dir;
  dir.Enter();
  dir.Write("Update.ini", "Language=0\r\nVersion=V 1\r\nBaud=2\r\nCom=3\r\n");
  dir.Write("HEXLoad_8N1.ini", "Port = 0\r\n");
  dir.Write("update-runs.jsonl", "{}\n");
  std::string error;
  ASSERT_TRUE(PreparePortFolder("update-ports/COM2", dir.File("update-runs.jsonl"), error))
      << error;
  dir.Write("update-ports/COM2/left-over", "x");
  ASSERT_TRUE(PreparePortFolder("update-ports/COM2", "update-runs.jsonl", error)) << error;
  EXPECT_EQ(dir.Read("update-ports/COM2/HEXLoad_8N1.ini"), "Port = 0\r\n");
  EXPECT_EQ(dir.Read("update-ports/COM2/Update.ini"),
            "Language=0\r\nVersion=V 1\r\nBaud=2\r\nCom=\r\n");
  EXPECT_FALSE(std::ifstream(dir.File("update-ports/COM2/update-runs.jsonl")).good());
  EXPECT_FALSE(std::ifstream(dir.File("update-ports/COM2/left-over")).good());
  EXPECT_EQ(dir.Read("Update.ini"), "Language=0\r\nVersion=V 1\r\nBaud=2\r\nCom=3\r\n");
}
