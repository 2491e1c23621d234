// The search over pseudo-terminals, headless, with the waits of a real
// station (no divisors) and the baud list 2,3,4,1,0: the time until the
// meter on the last of 1, 4, 8 and 16 ports is identified, the time until
// "No device found" has been said twice with 1 and 8 silent ports, and the
// CPU the tool spends while it probes 16 silent ports.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/e2e/E2eWorld.h"

namespace {

constexpr const char* kBauds = "2,3,4,1,0";
// Shown right after the meter has been identified and accepted.
constexpr const char* kIdentified = "The download may last up to";

struct Figures {
  double seconds = -1;  // to the marker, or to the exit without one
  double cpuSeconds = 0;
  int exitCode = -1;
};

// Runs the tool headless in the world until `marker` appears on its output
// (then stops it with SIGTERM) or until it ends by itself.
Figures Run(E2eWorld& w, const std::string& marker, int limitSeconds) {
  Figures f;
  int out[2];
  if (pipe(out) != 0) return f;
  const std::string ports = w.Ports();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (chdir(w.Folder().c_str()) != 0) _exit(126);
    setenv("UPDATE_PORTS", ports.c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
    const std::string program = std::string(UPDATE_BINARY_DIR) + "/update";
    execl(program.c_str(), program.c_str(), "--headless", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string output;
  const auto deadline = start + std::chrono::seconds(limitSeconds);
  pollfd p{out[0], POLLIN, 0};
  bool stopped = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    output.append(buf, static_cast<std::size_t>(n));
    if (!stopped && !marker.empty() && output.find(marker) != std::string::npos) {
      f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      stopped = true;
      kill(pid, SIGTERM);
    }
  }
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (marker.empty()) f.seconds = wall;
  f.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  f.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return f;
}

double Identify(int ports) {
  E2eWorld w;
  w.PrepareExternalDelivery(1, kBauds);
  for (int i = 1; i < ports; ++i) w.AddSilentPort();
  w.AddSim(ExternalProfile());
  return Run(w, kIdentified, 120).seconds;
}

Figures NoDevice(int ports) {
  E2eWorld w;
  w.PrepareExternalDelivery(1, kBauds);
  for (int i = 0; i < ports; ++i) w.AddSilentPort();
  return Run(w, "", 600);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::printf("headless, pseudo-terminals, Baud=%s, no divisors\n\n", kBauds);
  std::printf("meter on the last of N ports: time to identification\n");
  double t1 = -1, t8 = -1;
  for (int n : {1, 4, 8, 16}) {
    const double t = Identify(n);
    if (n == 1) t1 = t;
    if (n == 8) t8 = t;
    std::printf("  N = %2d   %6.2f s\n", n, t);
    std::fflush(stdout);
  }
  std::printf("  T(8 of 8) - T(1 of 1) = %.2f s (goal <= 6 s: %s)\n\n", t8 - t1,
              t1 > 0 && t8 > 0 && t8 - t1 <= 6 ? "met" : "NOT met");

  std::printf("no meter: time to the second \"No device found\" (exit 2)\n");
  const Figures n1 = NoDevice(1);
  std::printf("  1 port    %6.2f s (exit %d)\n", n1.seconds, n1.exitCode);
  std::fflush(stdout);
  const Figures n8 = NoDevice(8);
  std::printf("  8 ports   %6.2f s (exit %d)\n", n8.seconds, n8.exitCode);
  std::printf("  T(8) / T(1) = %.3f (goal <= 1.2: %s)\n\n", n8.seconds / n1.seconds,
              n8.seconds / n1.seconds <= 1.2 ? "met" : "NOT met");
  std::fflush(stdout);

  const Figures n16 = NoDevice(16);
  const double share = n16.cpuSeconds / n16.seconds * 100.0;
  std::printf("CPU of the tool while it probes 16 silent ports (whole no-meter run)\n");
  std::printf("  %.2f s CPU in %.2f s = %.2f %% of one CPU (goal < 2 %%: %s)\n", n16.cpuSeconds,
              n16.seconds, share, share < 2.0 ? "met" : "NOT met");
  std::printf("  (1 port: %.2f s CPU in %.2f s; 8 ports: %.2f s CPU in %.2f s)\n", n1.cpuSeconds,
              n1.seconds, n8.cpuSeconds, n8.seconds);
  return 0;
}
