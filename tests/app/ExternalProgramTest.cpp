#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <cstdlib>
#include <optional>

#include "platform/ExternalProgram.h"
#include "platform/ProgramDir.h"
#include "tests/support/TempDir.h"

namespace {

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  dir.Write(name, "#!/bin/sh\n" + body + "\n");
  chmod(dir.File(name).c_str(), 0755);
  return dir.File(name);
}

// Sets an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(ExternalProgram, ReturnsTheChildsExitCode) {
  TempDir dir;
  std::string program = Script(dir, "loader.sh", "exit \"$1\"");
  for (uint32_t code : {0u, 1u, 2u}) {
    ProgramResult result = RunExternalProgram(program + " " + std::to_string(code), "");
    EXPECT_EQ(result.exitCode, code);
    EXPECT_EQ(result.error.empty(), code == 0);
  }
}

TEST(ExternalProgram, ProgramThatCannotStartGives127WithAReason) {
  TempDir dir;
  ProgramResult missing = RunExternalProgram(dir.File("HEXLoad_8N1.exe") + " fw.mot -auto", "");
  EXPECT_EQ(missing.exitCode, kProgramNotStarted);
  EXPECT_NE(missing.error.find("HEXLoad_8N1.exe"), std::string::npos);

  dir.Write("plain", "not a program\n");  // no execute permission
  ProgramResult notExecutable = RunExternalProgram(dir.File("plain"), "");
  EXPECT_EQ(notExecutable.exitCode, kProgramNotStarted);
  EXPECT_FALSE(notExecutable.error.empty());

  EXPECT_EQ(RunExternalProgram("   ", "").exitCode, kProgramNotStarted);
}

TEST(ExternalProgram, ChildSeesPortsArgumentsAndCurrentDirectory) {
  TempDir dir;
  dir.Enter();
  std::string program =
      Script(dir, "show.sh", "printf '%s|%s|%s|%s' \"$UPDATE_PORTS\" \"$1\" \"$2\" \"$PWD\" > seen");
  // The doubled separator of "folder/" + "/name" is accepted.
  ProgramResult result =
      RunExternalProgram(dir.path() + "//show.sh  fw.mot   -auto", "/dev/pts/7::/dev/pts/9");
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(dir.Read("seen"), "/dev/pts/7::/dev/pts/9|fw.mot|-auto|" + dir.path());
  (void)program;
}

TEST(ExternalProgram, WindowsProgramRunsThroughWineWhenWineIsOnPath) {
  TempDir dir;
  TempDir bin;
  Script(bin, "wine", "printf '%s ' \"$@\" > \"" + dir.File("wine-args") + "\"\nexit 3");
  dir.Write("PIC32_Serial_Bootloader.exe", std::string("MZ\x90\0\x03", 5));
  ScopedEnv path("PATH", bin.path() + ":" + std::getenv("PATH"));

  ProgramResult result =
      RunExternalProgram(dir.File("PIC32_Serial_Bootloader.exe") + " -ffw.hex -c3 -b5 -a", "");
  EXPECT_EQ(result.exitCode, 3u);
  EXPECT_EQ(dir.Read("wine-args"),
            dir.File("PIC32_Serial_Bootloader.exe") + " -ffw.hex -c3 -b5 -a ");
}

TEST(ExternalProgram, ChildKilledByASignalIsAFailure) {
  TempDir dir;
  ProgramResult result = RunExternalProgram(Script(dir, "crash.sh", "kill -9 $$"), "");
  EXPECT_EQ(result.exitCode, 128u + 9u);
  EXPECT_NE(result.error.find("signal 9"), std::string::npos);
  EXPECT_EQ(RunExternalProgram(Script(dir, "term.sh", "kill -TERM $$"), "").exitCode, 128u + 15u);
}

TEST(ExternalProgram, EventLoopRunsWhileWaiting) {
  TempDir dir;
  std::string fifo = dir.File("go");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The child ends only when the test's timer has written to the FIFO;
  // timeout turns a stalled event loop into a failure instead of a hang.
  std::string program = Script(dir, "wait.sh", "read line < \"$1\" && [ \"$line\" = go ]");

  int ticks = 0;
  bool written = false;
  QTimer timer;
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    if (written) return;
    // Non-blocking: fails with ENXIO until the child has opened its end.
    int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return;
    written = write(fd, "go\n", 3) == 3;
    close(fd);
  });
  timer.start();
  ProgramResult result = RunExternalProgram("timeout 60 " + program + " " + fifo, "");
  timer.stop();
  EXPECT_TRUE(written);
  EXPECT_GE(ticks, 1);
  EXPECT_EQ(result.exitCode, 0u) << result.error;
}

TEST(ExternalProgram, KillEndsAWaitingChildAsAFailure) {
  TempDir dir;
  std::string fifo = dir.File("never");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string program = Script(dir, "block.sh", "read line < \"$1\"");

  ExternalProgram external;
  bool sawRunning = false;
  QTimer::singleShot(0, [&] {
    sawRunning = external.IsRunning();
    external.Kill();
  });
  ProgramResult result = external.Run(program + " " + fifo, "");
  EXPECT_TRUE(sawRunning);
  EXPECT_FALSE(external.IsRunning());
  EXPECT_EQ(result.exitCode, 128u + 9u);
}

TEST(ProgramFolder, EnvironmentOverridesTheExecutablesFolder) {
  {
    ScopedEnv dir("UPDATE_PROGRAM_DIR", "/opt/update/");
    EXPECT_EQ(ProgramFolder(), "/opt/update");
  }
  ScopedEnv empty("UPDATE_PROGRAM_DIR", "");
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  std::string self(exe);
  EXPECT_EQ(ProgramFolder(), self.substr(0, self.rfind('/')));
}

TEST(OpenDocument, MissingDocumentIsAFailure) {
  TempDir dir;
  EXPECT_FALSE(OpenDocument(dir.File("ReadMe.pdf")));
}
