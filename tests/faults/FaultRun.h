#pragma once
// A headless run of the tool for the fault tests: time-outs shortened for
// the simulator, a signal sent at a chosen moment, and the ending read
// from the output (which text came last, and does the exit status agree).
#include <string>
#include <vector>

#include "tests/e2e/E2eWorld.h"

// The tool's and hexload-sim's time-outs are divided by this in fault runs.
inline constexpr int kFaultTimeoutDivisor = 5;

struct SignalPlan {
  int signal = 0;        // 0: none
  std::string atOutput;  // sent once the output holds this text
  std::string atFile;    // ... or once this file exists in the world's folder
};

// Runs the tool headless with the fault runs' time-out divisor; standard
// error (the progress lines a signal can aim at) joins the output.
ToolResult RunTool(E2eWorld& world, const std::vector<std::string>& args,
                   const SignalPlan& signal = {}, int timeoutSeconds = 90);

// How a run's output ends: the success text, the abort text, or neither.
enum class Ending { Success, Abort, Neither };
Ending LastEnding(const std::string& output, const std::string& abortText);

// A shell script installed in the world's folder under `name`, executable.
void WriteScript(E2eWorld& world, const std::string& name, const std::string& body);
