// The port table and port failures as a technician meets them on the
// command line: `update --list-ports`, and a port the user may not open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e/E2eWorld.h"
#include "tests/support/Pty.h"

namespace {

struct ToolRun {
  int exitCode = -1;
  std::string output;
};

// Runs the tool in `folder` with UPDATE_PORTS; with asNobody through
// setpriv as the unprivileged user 65534.
ToolRun RunTool(const std::string& folder, const std::string& ports,
                const std::vector<std::string>& args, bool asNobody = false) {
  ToolRun run;
  int out[2];
  if (pipe(out) != 0) return run;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("UPDATE_PORTS", ports.c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", folder.c_str(), 1);
    std::vector<std::string> all;
    if (asNobody) all = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    all.push_back(std::string(UPDATE_BINARY_DIR) + "/update");
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) run.output.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Tests of refused permissions need root to drop to another user.
bool CanDropToNobody() { return geteuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0; }

}  // namespace

TEST(ListPorts, ShowsEachPortWithItsState) {
  E2eWorld w;
  Pty free1, held3;
  const int holder = open(held3.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  const ToolRun r =
      RunTool(w.Folder(), free1.SlavePath() + "::" + held3.SlavePath() + ":/dev/ttyUSB-none",
              {"--list-ports"});
  ioctl(holder, TIOCNXCL);
  close(holder);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "COM1\t" + free1.SlavePath() + "\t")) << r.output;
  EXPECT_TRUE(Has(r.output, "\tfree\n")) << r.output;
  EXPECT_FALSE(Has(r.output, "COM2")) << r.output;
  EXPECT_TRUE(Has(r.output, "COM3\t" + held3.SlavePath())) << r.output;
  EXPECT_TRUE(Has(r.output, "held by test_e2e (pid " + std::to_string(getpid()) + ")")) << r.output;
  EXPECT_TRUE(Has(r.output, "COM4\t/dev/ttyUSB-none\t-\tabsent")) << r.output;
}

TEST(PortPermission, RefusedPortIsNamedWithTheRemedyBeforeNoDeviceFound) {
  if (!CanDropToNobody()) GTEST_SKIP() << "needs root and setpriv to run the tool as another user";
  E2eWorld w;
  w.WriteUpdateIni(0);
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  chmod(w.Folder().c_str(), 0755);
  Pty port;  // its slave belongs to root, mode 0600 or 0620
  ASSERT_NE(access(port.SlavePath().c_str(), F_OK), -1);

  const ToolRun list = RunTool(w.Folder(), port.SlavePath(), {"--list-ports"}, true);
  EXPECT_EQ(list.exitCode, 0) << list.output;
  EXPECT_TRUE(Has(list.output, "refused (permission denied")) << list.output;

  const ToolRun run =
      RunTool(w.Folder(), port.SlavePath(), {"--headless", "--delay-divisor", "50"}, true);
  EXPECT_EQ(run.exitCode, 2) << run.output;
  const std::string remedy =
      port.SlavePath() +
      ": Zugriff verweigert \xE2\x80\x94 f\xC3\xBCgen Sie Ihren Benutzer der Gruppe "
      "dialout hinzu und melden Sie sich neu an";
  const size_t said = run.output.find(remedy);
  ASSERT_NE(said, std::string::npos) << run.output;
  EXPECT_LT(said, run.output.find("Kein Ger\xC3\xA4t gefunden !!")) << run.output;
}
