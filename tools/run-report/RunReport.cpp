#include "RunReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <map>
#include <sstream>
#include <utility>

namespace {

std::string Str(const QJsonObject& o, const char* key) {
  return o.value(key).toString().toStdString();
}

// The first line of a message, for a table cell.
std::string FirstLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      if (!out.empty() && out.find_first_not_of("- ") != std::string::npos) break;
      out.clear();
      continue;
    }
    out += c;
  }
  return out;
}

std::string Csv(const std::string& cell) {
  if (cell.find_first_of(",\"\n") == std::string::npos) return cell;
  std::string out = "\"";
  for (char c : cell) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

struct Tally {
  int runs = 0;
  int succeeded = 0;
};

std::map<std::pair<std::string, std::string>, Tally> TallyByDayAndDevice(
    const std::vector<ReportRun>& runs) {
  std::map<std::pair<std::string, std::string>, Tally> tally;
  for (const ReportRun& r : runs) {
    Tally& t = tally[{r.day, r.device}];
    ++t.runs;
    if (r.outcome == "success") ++t.succeeded;
  }
  return tally;
}

std::string Rate(int part, int whole) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f", whole ? 100.0 * part / whole : 0.0);
  return buf;
}

}  // namespace

std::vector<ReportRun> ReadRunLog(const std::string& text, int* skipped) {
  std::vector<ReportRun> runs;
  int bad = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    const std::string start = Str(o, "start");
    if (start.size() < 19 || Str(o, "outcome").empty()) {
      ++bad;
      continue;
    }
    ReportRun r;
    r.day = start.substr(0, 10);
    r.time = start.substr(11, 8);
    const QJsonObject meter = o.value("meter").toObject();
    const QJsonObject entry = o.value("device_entry").toObject();
    r.device = Str(entry, "name");
    if (r.device.empty()) r.device = Str(meter, "device_number");
    if (r.device.empty()) r.device = "(no meter)";
    r.com = o.value("port").toObject().value("com").toInt();
    r.serial = Str(meter, "serial_number");
    r.oldVersion = Str(meter, "software_version");
    r.newVersion = Str(entry, "file_version");
    r.outcome = Str(o, "outcome");
    r.message = Str(o, "error");
    if (r.message.empty() || r.outcome == "success") r.message = Str(o, "message");
    runs.push_back(std::move(r));
  }
  if (skipped) *skipped = bad;
  return runs;
}

std::string TextReport(const std::vector<ReportRun>& runs) {
  std::string out;
  char buf[512];
  int succeeded = 0;
  for (const ReportRun& r : runs) succeeded += r.outcome == "success" ? 1 : 0;
  std::snprintf(buf, sizeof buf, "%zu runs, %d succeeded (%s %%)\n\n", runs.size(), succeeded,
                Rate(succeeded, static_cast<int>(runs.size())).c_str());
  out += buf;
  std::snprintf(buf, sizeof buf, "%-10s  %-24s %5s %5s %7s %8s\n", "Day", "Device", "Runs", "OK",
                "Failed", "Rate %");
  out += buf;
  for (const auto& [key, t] : TallyByDayAndDevice(runs)) {
    std::snprintf(buf, sizeof buf, "%-10s  %-24s %5d %5d %7d %8s\n", key.first.c_str(),
                  key.second.c_str(), t.runs, t.succeeded, t.runs - t.succeeded,
                  Rate(t.succeeded, t.runs).c_str());
    out += buf;
  }
  out += "\nFailures\n";
  int failures = 0;
  for (const ReportRun& r : runs) {
    if (r.outcome == "success") continue;
    ++failures;
    std::snprintf(buf, sizeof buf, "%s %s  COM%-3s %-20s SN %-12s %-11s %s\n", r.day.c_str(),
                  r.time.c_str(), r.com ? std::to_string(r.com).c_str() : "-", r.device.c_str(),
                  r.serial.empty() ? "-" : r.serial.c_str(), r.outcome.c_str(),
                  FirstLine(r.message).c_str());
    out += buf;
  }
  if (failures == 0) out += "none\n";
  return out;
}

std::string CsvSummary(const std::vector<ReportRun>& runs) {
  std::string out = "day,device,runs,succeeded,failed,success_rate\n";
  for (const auto& [key, t] : TallyByDayAndDevice(runs))
    out += key.first + "," + Csv(key.second) + "," + std::to_string(t.runs) + "," +
           std::to_string(t.succeeded) + "," + std::to_string(t.runs - t.succeeded) + "," +
           Rate(t.succeeded, t.runs) + "\n";
  return out;
}

std::string CsvRuns(const std::vector<ReportRun>& runs) {
  std::string out = "day,time,com,device,serial_number,old_version,new_version,outcome,message\n";
  for (const ReportRun& r : runs)
    out += r.day + "," + r.time + "," + (r.com ? std::to_string(r.com) : "") + "," + Csv(r.device) +
           "," + Csv(r.serial) + "," + Csv(r.oldVersion) + "," + Csv(r.newVersion) + "," +
           r.outcome + "," + Csv(FirstLine(r.message)) + "\n";
  return out;
}
