#include "app/AllPortsRun.h"

#include <signal.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/IniLines.h"
#include "app/RunLog.h"
#include "platform/PortTable.h"
#include "platform/ProgramDir.h"
#include "platform/SerialDevice.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPortFolders = "update-ports";
// Firmware deliveries are small; anything larger is not for the meter.
constexpr std::uintmax_t kCopyLimit = 64u * 1024 * 1024;

struct PortRun {
  int index = 0;
  std::string device;
  std::unique_ptr<QProcess> process;
  std::string pending[2];  // unfinished output line: stdout, stderr
  int exitCode = -1;
  long pid = 0;
};

// Children to pass SIGINT/SIGTERM on to; the handler only calls kill().
pid_t childPids[kMaxPorts];
volatile sig_atomic_t childCount = 0;

void ForwardSignal(int) {
  for (sig_atomic_t i = 0; i < childCount; ++i)
    if (childPids[i] > 0) ::kill(childPids[i], SIGTERM);
}

std::string Prefix(const PortRun& run) { return "COM" + std::to_string(run.index + 1) + ": "; }

// Complete lines go out at once, prefixed, so the runs' lines never mix.
void ForwardLines(PortRun& run, int channel, const QByteArray& data, bool flush) {
  std::string& buffer = run.pending[channel];
  buffer.append(data.constData(), static_cast<std::size_t>(data.size()));
  std::FILE* out = channel == 0 ? stdout : stderr;
  std::size_t from = 0;
  for (std::size_t nl; (nl = buffer.find('\n', from)) != std::string::npos; from = nl + 1)
    std::fprintf(out, "%s%s\n", Prefix(run).c_str(), buffer.substr(from, nl - from).c_str());
  buffer.erase(0, from);
  if (flush && !buffer.empty()) {
    std::fprintf(out, "%s%s\n", Prefix(run).c_str(), buffer.c_str());
    buffer.clear();
  }
  std::fflush(out);
}

// The run log line each child wrote, by its process id.
QJsonObject RunLineOf(const std::string& log, long pid) {
  QFile file(QString::fromStdString(log));
  if (log.empty() || !file.open(QIODevice::ReadOnly)) return {};
  QJsonObject found;
  while (!file.atEnd()) {
    const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
    if (line.value("pid").toInteger() == pid) found = line;
  }
  return found;
}

void PrintSummary(const std::vector<PortRun>& runs, const std::string& log) {
  std::printf("\n%-6s %-24s %-14s %-22s %s\n", "Port", "Device", "Serial number", "Version",
              "Outcome");
  for (const PortRun& run : runs) {
    const QJsonObject line = RunLineOf(log, run.pid);
    const QJsonObject meter = line.value("meter").toObject();
    const QString serial = meter.value("serial_number").toString();
    const QString oldVersion = meter.value("software_version").toString();
    const QString newVersion =
        line.value("device_entry").toObject().value("file_version").toString();
    QString version = "-";
    if (!oldVersion.isEmpty() || !newVersion.isEmpty()) version = oldVersion + " -> " + newVersion;
    QString outcome = line.value("outcome").toString();
    if (outcome.isEmpty())
      outcome = run.exitCode == 0 ? "success" : run.exitCode == 2 ? "no meter" : "failed";
    std::printf("%-6s %-24s %-14s %-22s %s (exit %d)\n",
                ("COM" + std::to_string(run.index + 1)).c_str(), run.device.c_str(),
                serial.isEmpty() ? "-" : serial.toUtf8().constData(), version.toUtf8().constData(),
                outcome.toUtf8().constData(), run.exitCode);
  }
  std::fflush(stdout);
}

}  // namespace

bool PreparePortFolder(const std::string& folder, const std::string& skip, std::string& error) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
  if (ec) {
    error = folder + ": " + ec.message();
    return false;
  }
  const fs::path skipPath = skip.empty() ? fs::path() : fs::absolute(skip, ec).lexically_normal();
  for (fs::directory_iterator it(".", ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc) || fs::file_size(it->path(), fileEc) > kCopyLimit) continue;
    if (fs::absolute(it->path(), fileEc).lexically_normal() == skipPath) continue;
    fs::copy_file(it->path(), fs::path(folder) / it->path().filename(),
                  fs::copy_options::overwrite_existing, fileEc);
    if (fileEc) {
      error = it->path().string() + ": " + fileEc.message();
      return false;
    }
  }
  if (ec) {
    error = ec.message();
    return false;
  }
  const std::string ini = folder + "/Update.ini";
  if (auto lines = LoadLines(ini); lines && !LookupValue(*lines, "Com").empty()) {
    SetValue(*lines, "Com", "");
    SaveLines(ini, *lines);
  }
  return true;
}

int RunAllPorts(int argc, char** argv, const std::vector<std::string>& childArgs,
                const std::optional<std::string>& runLog) {
  QCoreApplication app(argc, argv);
  std::error_code ec;
  std::string log = ChooseRunLogPath(runLog, "Update.ini");
  if (!log.empty()) log = fs::absolute(log, ec).lexically_normal().string();
  // Each run works in a folder of its own, but finds the delivery here.
  const std::string programDir = fs::absolute(ProgramFolder(), ec).lexically_normal().string();

  const std::vector<std::string> table = LoadPortTable();
  std::vector<PortRun> runs;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].empty()) continue;
    const PortOpenStatus status = SerialDevice::Probe(table[i]).status;
    if (status == PortOpenStatus::InUse)
      std::printf("COM%zu: %s is held by another program, left out\n", i + 1, table[i].c_str());
    if (status != PortOpenStatus::Ok) continue;
    PortRun run;
    run.index = static_cast<int>(i);
    run.device = table[i];
    runs.push_back(std::move(run));
  }
  if (runs.empty()) {
    std::printf("No free port in the port table.\n");
    return 2;
  }
  if (auto ini = LoadLines("Update.ini"); ini && !LookupValue(*ini, "Com").empty())
    std::printf("The fixed port Com= of Update.ini is left out: every run takes its own port.\n");

  std::size_t running = 0;
  for (PortRun& run : runs) {
    const std::string folder = std::string(kPortFolders) + "/COM" + std::to_string(run.index + 1);
    std::string error;
    if (!PreparePortFolder(folder, log, error)) {
      std::fprintf(stderr, "%scannot prepare %s: %s\n", Prefix(run).c_str(), folder.c_str(),
                   error.c_str());
      continue;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Only this port, at its own number, so the run names the same COM port.
    env.insert("UPDATE_PORTS", QString::fromStdString(std::string(run.index, ':') + run.device));
    env.insert("UPDATE_PROGRAM_DIR", QString::fromStdString(programDir));
    QStringList args;
    for (const auto& a : childArgs) args << QString::fromStdString(a);
    args << "--run-log" << QString::fromStdString(log);
    run.process = std::make_unique<QProcess>();
    QProcess* p = run.process.get();
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(QString::fromStdString(folder));
    QObject::connect(p, &QProcess::readyReadStandardOutput,
                     [&run, p] { ForwardLines(run, 0, p->readAllStandardOutput(), false); });
    QObject::connect(p, &QProcess::readyReadStandardError,
                     [&run, p] { ForwardLines(run, 1, p->readAllStandardError(), false); });
    QObject::connect(p, &QProcess::finished,
                     [&run, p, &running, &app](int code, QProcess::ExitStatus how) {
                       ForwardLines(run, 0, p->readAllStandardOutput(), true);
                       ForwardLines(run, 1, p->readAllStandardError(), true);
                       run.exitCode = how == QProcess::NormalExit ? code : 128 + SIGTERM;
                       if (--running == 0) app.quit();
                     });
    p->start(QCoreApplication::applicationFilePath(), args);
    if (!p->waitForStarted()) {
      std::fprintf(stderr, "%scannot start: %s\n", Prefix(run).c_str(),
                   p->errorString().toUtf8().constData());
      continue;
    }
    run.pid = static_cast<long>(p->processId());
    childPids[childCount] = static_cast<pid_t>(run.pid);
    childCount = childCount + 1;
    ++running;
    std::printf("%s%s, working folder %s\n", Prefix(run).c_str(), run.device.c_str(),
                folder.c_str());
  }
  std::fflush(stdout);
  ::signal(SIGINT, ForwardSignal);
  ::signal(SIGTERM, ForwardSignal);
  if (running > 0) app.exec();
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
  childCount = 0;

  PrintSummary(runs, log);
  std::size_t succeeded = 0;
  for (const PortRun& run : runs) succeeded += run.exitCode == 0 ? 1 : 0;
  std::printf("%zu of %zu runs ended with success.\n", succeeded, runs.size());
  return succeeded == runs.size() ? 0 : 1;
}
