#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "SimHarness.h"

using namespace simtest;

namespace {

struct Process {
  pid_t pid = -1;
  FILE* out = nullptr;

  // Starts instrument-sim in dir; stdout is read through out.
  Process(const std::string& dir, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      ::close(fds[0]);
      if (chdir(dir.c_str()) != 0) _exit(127);
      std::vector<char*> argv;
      std::string bin = std::string(UPDATE_BINARY_DIR) + "/instrument-sim";
      argv.push_back(bin.data());
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(bin.c_str(), argv.data());
      _exit(127);
    }
    ::close(fds[1]);
    out = fdopen(fds[0], "r");
  }
  std::string firstLine() {
    char buf[256] = {};
    if (!out || !fgets(buf, sizeof buf, out)) return {};
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  int stop() {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    if (out) fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(Executable, PrintsTheSlaveFirstLinksItAndWritesTheReportOnSigterm) {
  std::string dir = tempDir();
  std::ofstream(dir + "/meter.ini") << "Name = bench meter\nBaudRate = 9600\nTarget = bsl\n";
  std::ofstream(dir + "/BSL430.ini") << "PasswordFill = 3C\nDefaultVector = 0x1F2\n";
  Process p(dir, {"--profile", "meter.ini", "--link", dir + "/com1", "--report",
                  dir + "/report.json", "--seed", "7"});
  std::string slave = p.firstLine();
  ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
  char target[256] = {};
  ASSERT_GT(readlink((dir + "/com1").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(slave, target);
  {
    Client c(dir + "/com1", 9600);
    identify(c);
    c.write("A.5577\r\n");
    EXPECT_EQ(c.readLine(), "I.80#0x1F2") << "BSL430.ini of the current directory";
  }
  EXPECT_EQ(p.stop(), 0);
  std::string report = slurp(dir + "/report.json");
  EXPECT_NE(report.find("\"exit_reason\": \"stopped by signal\""), std::string::npos);
  EXPECT_NE(report.find("\"profile\": \"bench meter\""), std::string::npos);
  EXPECT_NE(report.find("\"text\": \"A.5577\""), std::string::npos);
  EXPECT_NE(access((dir + "/com1").c_str(), F_OK), 0) << "link removed at the end";
  std::system(("rm -rf " + dir).c_str());
}

TEST(Executable, RefusesABadProfileValue) {
  std::string dir = tempDir();
  std::ofstream(dir + "/meter.ini") << "PcbCode = 24\n";
  Process p(dir, {"--profile", "meter.ini"});
  EXPECT_EQ(p.firstLine(), "");
  int status = 0;
  waitpid(p.pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  if (p.out) fclose(p.out);
  std::system(("rm -rf " + dir).c_str());
}

TEST(Pacing, PacedRunCountsTheSameWireTimeAndStillAnswers) {
  sim::SimulatorOptions options;
  options.pace = true;
  RunningSim sim("BaudRate = 1200\n", {}, options);
  Client c(sim.path(), 1200);
  c.write("A.1111\r\n");
  EXPECT_EQ(c.readLine(), "!");
  sim.finish();
  EXPECT_NEAR(sim.report().wireSeconds(), 11 * 11 / 1200.0, 1e-9);
}
