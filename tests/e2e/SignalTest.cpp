#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/e2e/E2eWorld.h"
#include "tests/support/Pty.h"

// SIGTERM during the search acts as Escape and ends the program with the
// port closed and its line settings put back.
TEST(HeadlessSignal, SigtermDuringTheSearchRestoresThePort) {
  E2eWorld w;
  w.WriteUpdateIni(0, "3");
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  w.WriteFirmware("meter.mot", "1.30");
  Pty silent;
  ASSERT_TRUE(silent.Valid());
  const int before = silent.SlaveBaud();

  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    if (chdir(w.Folder().c_str()) != 0) _exit(126);
    setenv("UPDATE_PORTS", silent.SlavePath().c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
    execl((std::string(UPDATE_BINARY_DIR) + "/update").c_str(), "update", "--headless",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The start command on the line proves the port is open at 9600 baud.
  std::string seen = silent.ReceiveUntil("A.1111\r\n", std::chrono::milliseconds(20000));
  ASSERT_NE(seen.find("A.1111"), std::string::npos);
  EXPECT_EQ(silent.SlaveBaud(), 9600);
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  close(out[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(silent.SlaveBaud(), before);
}
