#include "tests/faults/FaultRun.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace {

const std::string kSuccessText = "Download erfolgreich ausgef\xC3\xBChrt !";

}  // namespace

FaultRunResult RunTool(E2eWorld& world, const std::vector<std::string>& args,
                       const SignalPlan& plan, int timeoutSeconds) {
  FaultRunResult result;
  int out[2];
  if (pipe(out) != 0) return result;
  const std::string ports = world.Ports();
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    // Progress lines (standard error) are moments a signal can aim at.
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    if (chdir(world.Folder().c_str()) != 0) _exit(126);
    setenv("UPDATE_PORTS", ports.c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", world.Folder().c_str(), 1);
    setenv("UPDATE_TIMEOUT_DIVISOR", std::to_string(kFaultTimeoutDivisor).c_str(), 1);
    std::vector<std::string> all = {std::string(UPDATE_BINARY_DIR) + "/update", "--headless"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  const auto deadline = start + std::chrono::seconds(timeoutSeconds);
  bool signalled = plan.signal == 0;
  const std::string marker = plan.atFile.empty() ? "" : world.Folder() + "/" + plan.atFile;
  pollfd p{out[0], POLLIN, 0};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    // A marker file is looked for often; output wakes the poll at once.
    const int wait = !signalled && !marker.empty() ? 20 : static_cast<int>(left);
    if (poll(&p, 1, wait) > 0) {
      char buf[4096];
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n <= 0) break;
      result.output.append(buf, static_cast<std::size_t>(n));
    }
    if (!signalled && ((!plan.atOutput.empty() && result.output.find(plan.atOutput) != std::string::npos) ||
                       (!marker.empty() && access(marker.c_str(), F_OK) == 0))) {
      signalled = true;
      kill(pid, plan.signal);
    }
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

Ending LastEnding(const std::string& output, const std::string& abortText) {
  const std::size_t success = output.rfind(kSuccessText);
  const std::size_t abort = output.rfind(abortText);
  if (success == std::string::npos && abort == std::string::npos) return Ending::Neither;
  if (abort == std::string::npos) return Ending::Success;
  if (success == std::string::npos) return Ending::Abort;
  return success > abort ? Ending::Success : Ending::Abort;
}

void WriteScript(E2eWorld& world, const std::string& name, const std::string& body) {
  const std::string path = world.Folder() + "/" + name;
  std::filesystem::remove(path);
  world.Dir().Write(name, "#!/bin/sh\n" + body);
  chmod(path.c_str(), 0755);
}
