#include "platform/ExternalProgram.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <csignal>
#include <cstdint>

#include "platform/BoundedFile.h"

namespace {

// File names reach the system as the bytes the caller composed.
QString FromBytes(const std::string& text) { return QFile::decodeName(text.c_str()); }
std::string ToBytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

bool IsWindowsProgram(const QString& path) {
  FileCheck check;
  const int fd = OpenBoundedFile(QFile::encodeName(path).toStdString(), O_RDONLY, SIZE_MAX, check);
  if (fd < 0) return false;
  char magic[2] = {};
  const bool windows = ::read(fd, magic, 2) == 2 && magic[0] == 'M' && magic[1] == 'Z';
  ::close(fd);
  return windows;
}

ProgramResult NotStarted(std::string why) {
  ProgramResult result;
  result.exitCode = kProgramNotStarted;
  result.error = std::move(why);
  return result;
}

}  // namespace

ExternalProgram::~ExternalProgram() { Kill(); }

void ExternalProgram::Kill() {
  if (process_) process_->kill();
}

void ExternalProgram::Stop(int graceMs) {
  if (!process_) return;
  stopped_ = true;
  process_->terminate();
  // The timer belongs to the process: it goes when the child has ended.
  QProcess* process = process_;
  QTimer::singleShot(graceMs, process, [process] { process->kill(); });
}

ProgramResult ExternalProgram::Run(const std::vector<std::string>& command,
                                   const std::string& portTable) {
  if (process_) return NotStarted("another external program is still running");
  stopped_ = false;
  if (command.empty() || command[0].empty()) return NotStarted("empty command line");
  QStringList words;
  for (std::size_t i = 1; i < command.size(); ++i) words.append(FromBytes(command[i]));

  QString program = FromBytes(command[0]);
  if (!program.contains(QLatin1Char('/'))) {
    QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty()) return NotStarted("program not found on PATH: " + ToBytes(program));
    program = found;
  } else if (!QFileInfo(program).isFile()) {
    return NotStarted("program not found: " + ToBytes(program));
  }
  if (IsWindowsProgram(program)) {
    // Without wine the file is still tried directly: binfmt_misc may run it.
    QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (!wine.isEmpty()) {
      words.prepend(program);
      program = wine;
    }
  }

  QProcess process;
  process.setProgram(program);
  process.setArguments(words);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("UPDATE_PORTS"), FromBytes(portTable));
  process.setProcessEnvironment(environment);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  // Standard output carries the headless log; the loader's chatter goes
  // to standard error instead.
  process.setChildProcessModifier([] { ::dup2(STDERR_FILENO, STDOUT_FILENO); });

  bool finished = false;
  bool failedToStart = false;
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;
    failedToStart = true;
    loop.quit();
  });

  process_ = &process;
  process.start();
  // The nested loop keeps timers, the receive notifications and the window
  // alive while the loader has the port.
  if (!finished && !failedToStart) {
    if (QCoreApplication::instance()) {
      loop.exec();
      if (!finished && !failedToStart) {
        // The application is quitting and ended every event loop: the child
        // has not finished, so its exit code would read as a false success.
        process.kill();
        process.waitForFinished(5000);
        process_ = nullptr;
        ProgramResult interrupted;
        interrupted.exitCode = 128u + SIGKILL;
        interrupted.error = ToBytes(program) + " was stopped: the application is ending";
        return interrupted;
      }
    } else {
      process.waitForFinished(-1);
      finished = process.state() == QProcess::NotRunning && !failedToStart;
    }
  }
  process_ = nullptr;

  if (failedToStart)
    return NotStarted("cannot start " + ToBytes(program) + ": " + ToBytes(process.errorString()));
  ProgramResult result;
  if (process.exitStatus() == QProcess::CrashExit) {
    // Killed by a signal: never a success, and never 1 (which means "run again").
    int signal = process.exitCode();
    result.exitCode = 128u + static_cast<uint32_t>(signal > 0 ? signal : 0);
    result.error = ToBytes(program) + " was killed by signal " + std::to_string(signal);
  } else {
    result.exitCode = static_cast<uint32_t>(process.exitCode());
    if (result.exitCode != 0)
      result.error = ToBytes(program) + " ended with exit code " + std::to_string(result.exitCode);
  }
  return result;
}

ProgramResult RunExternalProgram(const std::vector<std::string>& command,
                                 const std::string& portTable) {
  ExternalProgram program;
  return program.Run(command, portTable);
}

DocumentProblem OpenDocument(const std::string& path,
                             std::function<void(int status)> viewerFailed) {
  QString file = FromBytes(path);
  if (!QFileInfo(file).isFile()) return DocumentProblem::FileMissing;
  const QString viewer = QStandardPaths::findExecutable(QString::fromLatin1(kDocumentViewer));
  if (viewer.isEmpty()) return DocumentProblem::ViewerMissing;
  // xdg-open reports a missing or failing viewer by its exit status; the
  // window keeps running meanwhile.
  auto* process = new QProcess;
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(process, &QProcess::finished, process,
                   [process, viewerFailed](int code, QProcess::ExitStatus status) {
                     if ((status != QProcess::NormalExit || code != 0) && viewerFailed)
                       viewerFailed(status == QProcess::NormalExit ? code : -1);
                     process->deleteLater();
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, viewerFailed](QProcess::ProcessError e) {
                     if (e != QProcess::FailedToStart) return;
                     if (viewerFailed) viewerFailed(-1);
                     process->deleteLater();
                   });
  process->start(viewer, {QFileInfo(file).absoluteFilePath()});
  return DocumentProblem::None;
}

ProgramProblem CheckProgramFile(const std::string& path) {
  const QString file = FromBytes(path);
  const QFileInfo info(file);
  if (info.isDir()) return ProgramProblem::Directory;  // "not found" would send the user looking
  if (!info.exists() || !info.isFile()) return ProgramProblem::Missing;
  if (IsWindowsProgram(file)) {
    // Started through wine; without it only binfmt_misc could run it.
    if (!QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty())
      return ProgramProblem::None;
    return ::access(QFile::encodeName(file).constData(), X_OK) == 0 ? ProgramProblem::None
                                                                    : ProgramProblem::NeedsWine;
  }
  return ::access(QFile::encodeName(file).constData(), X_OK) == 0 ? ProgramProblem::None
                                                                  : ProgramProblem::NotExecutable;
}
