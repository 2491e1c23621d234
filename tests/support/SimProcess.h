#pragma once
// An instrument simulator process for one test: started with a profile in
// the test's folder, its pseudo-terminal path read from its first output
// line, stopped with SIGTERM, its JSON report read back.
#include <QJsonObject>
#include <string>

class SimProcess {
 public:
  // Starts build/instrument-sim in folder with the profile text (written to
  // folder/<name>.ini). Extra arguments follow (e.g. "--pace").
  SimProcess(const std::string& folder, const std::string& name, const std::string& profile,
             const std::string& extraArgs = "");
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool Started() const { return !slave_.empty(); }
  const std::string& Slave() const { return slave_; }
  // Stops the simulator (if it still runs) and returns its report.
  QJsonObject Stop();
  // Every "line" received from the tool, in order.
  static std::vector<std::string> ReceivedLines(const QJsonObject& report);
  // The last `count` events of a report, one per line ("dir kind text"),
  // for failure messages.
  static std::string EventLog(const QJsonObject& report, std::size_t count = 12);

 private:
  int pid_ = -1;
  std::string slave_;
  std::string reportPath_;
  QJsonObject report_;
  bool stopped_ = false;
};
