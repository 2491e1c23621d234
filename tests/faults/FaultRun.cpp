#include "tests/faults/FaultRun.h"

#include <sys/stat.h>

#include <filesystem>

namespace {

const std::string kSuccessText = "Download erfolgreich ausgef\xC3\xBChrt !";

}  // namespace

ToolResult RunTool(E2eWorld& world, const std::vector<std::string>& args, const SignalPlan& plan,
                   int timeoutSeconds) {
  RunOptions options;
  options.timeoutSeconds = timeoutSeconds;
  options.withStandardError = true;
  options.environment = {{"UPDATE_TIMEOUT_DIVISOR", std::to_string(kFaultTimeoutDivisor)}};
  if (plan.signal != 0) {
    options.signal = plan.signal;
    options.signalAtOutput = plan.atOutput;
    options.signalAtFile = plan.atFile;
  }
  return world.RunHeadless(args, options);
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
