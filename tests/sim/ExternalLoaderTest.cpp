#include <gtest/gtest.h>

#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SimHarness.h"

using namespace simtest;

namespace {

const std::string kHexLoad = std::string(UPDATE_BINARY_DIR) + "/hexload-sim";

// A demo folder with the loader under both names, an image and the INI.
struct LoaderFolder {
  std::string dir = tempDir();
  std::string image;

  explicit LoaderFolder(const std::string& ini = "Port = 1\nBaudrate = 38400\n") {
    symlink(kHexLoad.c_str(), (dir + "/HEXLoad_8N1.exe").c_str());
    symlink(kHexLoad.c_str(), (dir + "/PIC32_Serial_Bootloader.exe").c_str());
    for (int i = 0; i < 3000; ++i) image += static_cast<char>((i * 31 + i / 7) & 0xFF);
    std::ofstream(dir + "/fw.mot", std::ios::binary) << image;
    if (!ini.empty()) std::ofstream(dir + "/HEXLoad_8N1.ini") << "[Settings]\n" << ini;
  }
  ~LoaderFolder() { std::system(("rm -rf " + dir).c_str()); }

  // The tool starts "<program folder>/<name> ..." from its own working directory.
  int run(const std::string& commandLine, const std::string& ports, const std::string& cwd = "") {
    std::string cmd = "cd " + (cwd.empty() ? dir : cwd) + " && UPDATE_PORTS='" + ports + "' " +
                      dir + "/" + commandLine + " 2>/dev/null";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

// The tool's side up to the boot command; the port is then closed for the loader.
void bootCommand(RunningSim& sim) {
  Client c(sim.path(), 4800);
  identify(c);
  c.write("A.1200\r\n");
  EXPECT_EQ(c.readLine(), "!");
  ASSERT_TRUE(sim.waitForEvent("state", "waiting for the external loader"));
}

}  // namespace

TEST(ExternalLoader, HexLoadCommandLineSendsTheImageAndTheMeterAnswersTheClock) {
  RunningSim sim("Target = external\nReplyDelayMs = 1\n");
  LoaderFolder folder;
  bootCommand(sim);
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", "/dev/null/none:" + sim.path()), 0);

  Client c(sim.path(), 4800);
  c.write("A.1600#123456\r\n");
  EXPECT_EQ(c.readLine(), "I.31");
  sim.finish();
  ASSERT_EQ(sim.report().files().size(), 1u);
  EXPECT_EQ(sim.report().files()[0].name, "fw.mot");
  EXPECT_EQ(sim.report().files()[0].state, "complete");
  EXPECT_EQ(sim.report().files()[0].data, folder.image);
  EXPECT_TRUE(sim.report().violations().empty());
}

TEST(ExternalLoader, Pic32CommandLineNamesThePortByDigitAndFindsTheImageBesideItself) {
  RunningSim sim("Target = external\nReplyDelayMs = 1\n");
  LoaderFolder folder("");
  bootCommand(sim);
  EXPECT_EQ(folder.run("PIC32_Serial_Bootloader.exe -ffw.mot -c3 -b5 -a", "::" + sim.path(), "/"),
            0);
  sim.finish();
  ASSERT_EQ(sim.report().files().size(), 1u);
  EXPECT_EQ(sim.report().files()[0].data, folder.image);
}

TEST(ExternalLoader, RefusedRunsExitWithOneUntilTheMeterAccepts) {
  RunningSim sim("Target = external\nReplyDelayMs = 1\nRejectLoaderRuns = 2\n");
  LoaderFolder folder;
  bootCommand(sim);
  std::string ports = ":" + sim.path();
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", ports), 1);
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", ports), 1);
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", ports), 0);
  sim.finish();
  ASSERT_EQ(sim.report().files().size(), 1u);
  EXPECT_EQ(sim.report().files()[0].state, "complete");
}

TEST(ExternalLoader, OtherFailuresExitWithTwo) {
  LoaderFolder folder;
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe missing.mot -auto -exit", ":/dev/null"), 2);
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", "/dev/null"), 2)
      << "no entry for COM2";
  EXPECT_EQ(folder.run("PIC32_Serial_Bootloader.exe -ffw.mot -c1 -b5 -a", "/nonexistent/tty"), 2);
  LoaderFolder noIni("");
  EXPECT_EQ(noIni.run("HEXLoad_8N1.exe fw.mot -auto -exit", ":/dev/null"), 2);
}

TEST(ExternalLoader, LoaderAtTheWrongSpeedGetsNoAnswer) {
  RunningSim sim("Target = external\nReplyDelayMs = 1\n");
  LoaderFolder folder("Port = 0\nBaudrate = 9600\n");
  bootCommand(sim);
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", sim.path()), 1);
  EXPECT_TRUE(sim.waitForEvent("ignored", "loader listens at 38400"));
}

TEST(TransferFaults, UnplugClosesThePortInTheMiddleOfATransfer) {
  RunningSim sim("Target = external\nReplyDelayMs = 1\nUnplugAfterBytes = 1000\n");
  LoaderFolder folder;
  bootCommand(sim);
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", ":" + sim.path()), 1);
  ASSERT_TRUE(sim.waitUntilEnded());
  EXPECT_NE(sim.finish().find("unplugged"), std::string::npos);
  EXPECT_NE(access(sim.path().c_str(), F_OK), 0) << "the slave disappears with the meter";
}

TEST(TransferFaults, StallStopsReadingUntilTheToolsWritesBlock) {
  RunningSim sim("Target = external\nReplyDelayMs = 1\nStallAfterBytes = 1\nStallMs = 1500\n");
  bootCommand(sim);
  Client c(sim.path(), 38400);
  c.write("x");
  ASSERT_TRUE(sim.waitForEvent("fault", "stops reading"));
  // Fill the line until it takes no more: the meter is not reading.
  std::string block(4096, 'y');
  size_t written = 0;
  bool blocked = false;
  while (written < (8u << 20)) {
    ssize_t n = ::write(c.fd(), block.data(), block.size());
    if (n <= 0) {
      blocked = true;
      break;
    }
    written += static_cast<size_t>(n);
  }
  EXPECT_TRUE(blocked);
  // Once the stall is over the meter reads again and the line drains.
  pollfd p{c.fd(), POLLOUT, 0};
  EXPECT_EQ(poll(&p, 1, 20000), 1);
}

TEST(ExternalLoader, MeterWaitingInItsBootLoaderAnswersTheWakeUpBytesWithItsRecord) {
  RunningSim sim(
      "Target = external\nStartInLoader = yes\nBootRecord = TG812 BL 1.0\nReplyDelayMs = 1\n");
  LoaderFolder folder;
  {
    Client c(sim.path(), 4800);
    c.write("\r\n\r\nA.1111\r\n");
    c.write(bytes({0x68, 0x00, 0x00, 0x68, 0x00, 0x00, 0x00, 0x00, 0x16}));
    std::string expected = "h00h\x1DTG812 BL 1.0\x0C\x16";
    EXPECT_EQ(c.readBytes(expected.size()), expected);
    EXPECT_TRUE(c.nothingPending()) << "the firmware is not running: no answer to A.1111";
  }
  EXPECT_EQ(folder.run("HEXLoad_8N1.exe fw.mot -auto -exit", ":" + sim.path()), 0);
  Client c(sim.path(), 4800);
  identify(c);
}
