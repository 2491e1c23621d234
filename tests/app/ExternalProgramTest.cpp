#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "platform/ExternalProgram.h"
#include "platform/ProgramDir.h"
#include "tests/support/TempDir.h"

namespace {

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  dir.Write(name, "#!/bin/sh\n" + body + "\n");
  chmod(dir.File(name).c_str(), 0755);
  return dir.File(name);
}

}  // namespace

TEST(ExternalProgram, ExitCodesAndFailuresToStart) {
  TempDir dir;
  std::string program = Script(dir, "loader.sh", "exit \"$1\"");
  for (uint32_t code : {0u, 1u, 2u}) {
    ProgramResult result = RunExternalProgram({program, std::to_string(code)}, "");
    EXPECT_EQ(result.exitCode, code);
    EXPECT_EQ(result.error.empty(), code == 0);
  }
  ProgramResult missing = RunExternalProgram({dir.File("HEXLoad_8N1.exe"), "fw.mot", "-auto"}, "");
  EXPECT_EQ(missing.exitCode, kProgramNotStarted);
  EXPECT_NE(missing.error.find("HEXLoad_8N1.exe"), std::string::npos);
  dir.Write("plain", "no execute permission\n");
  EXPECT_EQ(RunExternalProgram({dir.File("plain")}, "").exitCode, kProgramNotStarted);
}

TEST(ExternalProgram, ChildKilledByASignalIsAFailure) {
  TempDir dir;
  ProgramResult result = RunExternalProgram({Script(dir, "crash.sh", "kill -9 $$")}, "");
  EXPECT_EQ(result.exitCode, 128u + 9u);
  EXPECT_NE(result.error.find("signal 9"), std::string::npos);
}

TEST(ExternalProgram, ChildSeesPortsArgumentsAndCurrentDirectory) {
  TempDir dir;
  dir.Enter();
  Script(dir, "show.sh", "printf '%s|%s|%s|%s' \"$UPDATE_PORTS\" \"$1\" \"$2\" \"$PWD\" > seen");
  // Folder + "/" + "/name" doubles the separator.
  EXPECT_EQ(
      RunExternalProgram({dir.path() + "//show.sh", "fw.mot", "-auto"}, "/dev/pts/7::/dev/pts/9")
          .exitCode,
      0u);
  EXPECT_EQ(dir.Read("seen"), "/dev/pts/7::/dev/pts/9|fw.mot|-auto|" + dir.path());
}

TEST(ExternalProgram, BlanksQuotesAndUmlautsInFolderAndFileNamesArriveWhole) {
  // A folder like "Firmware 2024" once gave "program not found": the
  // command line was split at its blanks.
  TempDir dir;
  const std::string folder = dir.File("Firmware 2024 \"neu\" \xC3\xA4\xC3\xB6'x");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  const std::string program = folder + "/load er.sh";
  dir.Write("Firmware 2024 \"neu\" \xC3\xA4\xC3\xB6'x/load er.sh",
            "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + dir.File("seen") + "\"\n");
  chmod(program.c_str(), 0755);
  const std::string file = folder + "/Ger\xC3\xA4t \"A\" 1.mot";
  ProgramResult result = RunExternalProgram({program, file, "-f" + file, "$HOME", "*"}, "");
  EXPECT_EQ(result.exitCode, 0u) << result.error;
  EXPECT_EQ(dir.Read("seen"), "4|" + file + "|-f" + file + "|$HOME|*|");
}

TEST(ExternalProgram, WindowsProgramRunsThroughWineWhenWineIsOnPath) {
  TempDir dir, bin;
  Script(bin, "wine", "printf '%s ' \"$@\" > \"" + dir.File("wine-args") + "\"\nexit 3");
  dir.Write("PIC32_Serial_Bootloader.exe", std::string("MZ\x90\0\x03", 5));
  std::string path = std::getenv("PATH");
  setenv("PATH", (bin.path() + ":" + path).c_str(), 1);
  ProgramResult result = RunExternalProgram(
      {dir.File("PIC32_Serial_Bootloader.exe"), "-ffw.hex", "-c3", "-b5", "-a"}, "");
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(result.exitCode, 3u);
  EXPECT_EQ(dir.Read("wine-args"),
            dir.File("PIC32_Serial_Bootloader.exe") + " -ffw.hex -c3 -b5 -a ");
}

TEST(ExternalProgram, EventLoopRunsWhileWaiting) {
  TempDir dir;
  std::string fifo = dir.File("go");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The child ends only after the test's timer has written to the FIFO;
  // timeout turns a stalled event loop into a failure instead of a hang.
  std::string program = Script(dir, "wait.sh", "read line < \"$1\" && [ \"$line\" = go ]");
  bool written = false;
  QTimer timer;
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // Non-blocking: fails with ENXIO until the child has opened its end.
    int fd = written ? -1 : open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return;
    written = write(fd, "go\n", 3) == 3;
    close(fd);
  });
  timer.start();
  ProgramResult result = RunExternalProgram({"timeout", "60", program, fifo}, "");
  EXPECT_TRUE(written);
  EXPECT_EQ(result.exitCode, 0u) << result.error;
}

TEST(ExternalProgram, KillEndsAWaitingChildAsAFailure) {
  TempDir dir;
  std::string fifo = dir.File("never");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ExternalProgram external;
  bool sawRunning = false;
  QTimer::singleShot(0, [&] {
    sawRunning = external.IsRunning();
    external.Kill();
  });
  ProgramResult result = external.Run({Script(dir, "block.sh", "read line < \"$1\""), fifo}, "");
  EXPECT_TRUE(sawRunning);
  EXPECT_EQ(result.exitCode, 128u + 9u);
}

// The working folder is the delivery, from a build tree as installed.
TEST(ProgramFolder, EnvironmentOverridesTheWorkingFolder) {
  setenv("UPDATE_PROGRAM_DIR", "/opt/update/", 1);
  EXPECT_EQ(ProgramFolder(), "/opt/update");
  unsetenv("UPDATE_PROGRAM_DIR");
  TempDir dir;
  dir.Enter();
  EXPECT_EQ(ProgramFolder(), std::filesystem::canonical(dir.path()).string());
}
