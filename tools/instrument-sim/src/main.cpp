// instrument-sim: one simulated instrument on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

#include "bsl430_settings.h"
#include "profile.h"
#include "simulator.h"

namespace {

sim::Simulator* running = nullptr;

void onSignal(int) {
  if (running) running->stop();
}

int usage() {
  std::cerr
      << "usage: instrument-sim --profile FILE [--link PATH] [--report FILE] [--pace] [--seed N]\n";
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  std::string profilePath, reportPath;
  sim::SimulatorOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string seed;
    if (a == "--profile") {
      if (!value(profilePath)) return usage();
    } else if (a == "--link") {
      if (!value(options.linkPath)) return usage();
    } else if (a == "--report") {
      if (!value(reportPath)) return usage();
    } else if (a == "--pace") {
      options.pace = true;
    } else if (a == "--seed") {
      if (!value(seed)) return usage();
      options.seed = static_cast<unsigned>(std::strtoul(seed.c_str(), nullptr, 10));
    } else {
      return usage();
    }
  }
  if (profilePath.empty()) return usage();

  sim::Profile profile;
  std::string error;
  if (!sim::loadProfile(profilePath, profile, error)) {
    std::cerr << "instrument-sim: " << error << "\n";
    return 2;
  }
  sim::Bsl430Settings settings;
  if (!sim::loadBsl430Settings("BSL430.ini", settings, error)) {
    std::cerr << "instrument-sim: " << error << "\n";
    return 2;
  }
  sim::Simulator simulator(profile, settings, options);
  if (!simulator.open(error)) {
    std::cerr << "instrument-sim: " << error << "\n";
    return 2;
  }
  // Whoever started us reads the port's path from the first line.
  std::cout << simulator.slavePath() << std::endl;

  running = &simulator;
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::string reason = simulator.run();
  running = nullptr;
  std::cerr << "instrument-sim: " << reason << "\n";
  {
    // One line for people watching a demo or a production run.
    sim::Report& r = simulator.report();
    std::lock_guard<std::mutex> lock(r.mutex());
    std::cerr << "instrument-sim: programmed " << r.flash().bytes().size() << " bytes of flash, "
              << r.sensorFlash().bytes().size() << " bytes of sensor flash; received "
              << r.files().size() << " file(s)\n";
  }
  const auto violations = simulator.report().violations();
  std::cerr << "instrument-sim: " << violations.size() << " protocol violation(s)\n";
  for (const auto& v : violations) std::cerr << "instrument-sim:   " << v << "\n";
  if (!reportPath.empty() && !simulator.report().writeTo(reportPath)) {
    std::cerr << "instrument-sim: cannot write the report " << reportPath << "\n";
    return 2;
  }
  return 0;
}
