#include "tests/support/SimProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

SimProcess::SimProcess(const std::string& folder, const std::string& name,
                       const std::string& profile, const std::string& extraArgs) {
  const std::string profilePath = folder + "/" + name + ".ini";
  reportPath_ = folder + "/" + name + ".json";
  std::ofstream(profilePath) << profile;
  int out[2];
  if (pipe(out) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (chdir(folder.c_str()) != 0) _exit(126);
    const std::string command = std::string("exec ") + UPDATE_BINARY_DIR +
                                "/instrument-sim --profile '" + profilePath + "' --report '" +
                                reportPath_ + "' " + extraArgs;
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The first line is the slave's path; give a loaded machine time to start.
  std::string line;
  pollfd p{out[0], POLLIN, 0};
  while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
    char buf[256];
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<std::size_t>(n));
  }
  close(out[0]);
  std::size_t nl = line.find('\n');
  if (nl != std::string::npos) slave_ = line.substr(0, nl);
}

SimProcess::~SimProcess() { Stop(); }

QJsonObject SimProcess::Stop() {
  if (stopped_ || pid_ <= 0) return report_;
  stopped_ = true;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  std::ifstream in(reportPath_);
  std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  report_ = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
  return report_;
}

std::vector<std::string> SimProcess::ReceivedLines(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& v : report.value("events").toArray()) {
    QJsonObject e = v.toObject();
    if (e.value("dir").toString() == "rx" && e.value("kind").toString() == "line")
      lines.push_back(e.value("text").toString().toStdString());
  }
  return lines;
}

std::string SimProcess::EventLog(const QJsonObject& report, std::size_t count) {
  const QJsonArray events = report.value("events").toArray();
  const std::size_t size = static_cast<std::size_t>(events.size());
  std::string log;
  for (std::size_t i = size > count ? size - count : 0; i < size; ++i) {
    const QJsonObject e = events[static_cast<qsizetype>(i)].toObject();
    log += e.value("dir").toString().toStdString() + " " +
           e.value("kind").toString().toStdString() + " " +
           e.value("text").toString().toStdString() + "\n";
  }
  return log;
}
