#pragma once
// Starts an external program (the loaders delivered beside the tool) and
// waits for it while the Qt event loop keeps running.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QProcess;

// Exit code for a program that could not be started, as a shell gives it.
inline constexpr uint32_t kProgramNotStarted = 127;

struct ProgramResult {
  uint32_t exitCode = kProgramNotStarted;  // 0 = success; 128 + n for signal n
  std::string error;                       // why it failed, for the log; empty on exit 0
};

class ExternalProgram {
 public:
  ExternalProgram() = default;
  ~ExternalProgram();
  ExternalProgram(const ExternalProgram&) = delete;
  ExternalProgram& operator=(const ExternalProgram&) = delete;

  // command[0] is the program, the rest its arguments, each handed over
  // as it is: no shell, no splitting, so blanks, quotes and non-ASCII
  // letters in folder and file names reach the program unchanged. A
  // Windows program (file starting with "MZ") runs under wine when wine is
  // on PATH. The child gets the environment with UPDATE_PORTS = portTable,
  // the current directory, no standard input, and its standard output on
  // our standard error (standard output is the headless log). Returns when
  // the child has ended; events and timers are processed meanwhile.
  ProgramResult Run(const std::vector<std::string>& command, const std::string& portTable);

  // True while Run waits for a child.
  bool IsRunning() const { return process_ != nullptr; }
  // Kills a running child (window closing); Run then returns 128 + 9.
  void Kill();
  // Asks a running child to end (SIGTERM) and kills it if it still runs
  // graceMs later; Run then returns 128 + the signal, or the child's own
  // exit code if it ended by itself.
  void Stop(int graceMs);
  // Stop was called during the current (or last) Run.
  bool Stopped() const { return stopped_; }

 private:
  QProcess* process_ = nullptr;
  bool stopped_ = false;
};

// Why a program file could not be started, found before anything depends
// on it.
enum class ProgramProblem { None, Missing, Directory, NotExecutable, NeedsWine };
ProgramProblem CheckProgramFile(const std::string& path);

// One-shot form of ExternalProgram::Run.
ProgramResult RunExternalProgram(const std::vector<std::string>& command,
                                 const std::string& portTable);

// Opens a document with the desktop's default viewer (xdg-open), which
// runs on its own. What could not be done at once is the result; a viewer
// that ends in failure later calls viewerFailed with its exit status from
// the event loop.
enum class DocumentProblem { None, FileMissing, ViewerMissing };
inline constexpr const char* kDocumentViewer = "xdg-open";
DocumentProblem OpenDocument(const std::string& path,
                             std::function<void(int status)> viewerFailed = {});
