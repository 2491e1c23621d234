// What real adapters need of the port layer, shown over pseudo-terminals:
// a hung-up line, another program's exclusive flag, a cleared line
// configuration and the names UPDATE_PORTS accepts.
//
// Where a pseudo-terminal differs from a UART: it has no transmit queue
// (tcdrain returns at once and bytes reach the master at write()), so the
// drain before a line change cannot be observed here; and it has no modem
// lines (TIOCMGET fails with ENOTTY).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/PortTable.h"
#include "serial/ComPort.h"
#include "tests/serial/SerialTestSupport.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"

namespace {

using std::chrono::milliseconds;

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// True while thread `tid` of this process sits in poll() (the proof that a
// read is waiting for the line, not spinning or not yet started).
bool WaitingInPoll(pid_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
  long number = -1;
  in >> number;
#ifdef SYS_poll
  if (number == SYS_poll) return true;
#endif
  return number == SYS_ppoll;
}

// A bare pseudo-terminal whose master the test closes to unplug the line.
struct Unpluggable {
  Unpluggable() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) path = ptsname(master);
  }
  ~Unpluggable() { Unplug(); }
  void Unplug() {
    if (master >= 0) close(master);
    master = -1;
  }
  int master = -1;
  std::string path;
};

// Another program that holds a port with TIOCEXCL only (no flock), and on
// request reports whether its flag is still set.
class ExclusiveHolder {
 public:
  explicit ExclusiveHolder(const std::string& path) {
    int toChild[2], toParent[2];
    if (pipe(toChild) != 0 || pipe(toParent) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(toChild[1]);
      close(toParent[0]);
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      char state = fd >= 0 && ioctl(fd, TIOCEXCL) == 0 ? 'y' : 'n';
      (void)!write(toParent[1], &state, 1);
      char c;
      while (read(toChild[0], &c, 1) == 1) {  // each byte asks for the flag
        int flag = 0;
        state = ioctl(fd, TIOCGEXCL, &flag) == 0 && flag ? 'y' : 'n';
        (void)!write(toParent[1], &state, 1);
      }
      if (fd >= 0) ioctl(fd, TIOCNXCL);
      _exit(0);
    }
    close(toChild[0]);
    close(toParent[1]);
    ask_ = toChild[1];
    answer_ = toParent[0];
    char state = 'n';
    held_ = read(answer_, &state, 1) == 1 && state == 'y';
  }
  ~ExclusiveHolder() {
    if (pid_ <= 0) return;
    close(ask_);
    close(answer_);
    waitpid(pid_, nullptr, 0);
  }
  bool Held() const { return held_; }
  pid_t Pid() const { return pid_; }
  bool FlagStillSet() {
    char c = '?';
    return write(ask_, &c, 1) == 1 && read(answer_, &c, 1) == 1 && c == 'y';
  }

 private:
  pid_t pid_ = -1;
  int ask_ = -1, answer_ = -1;
  bool held_ = false;
};

}  // namespace

TEST(PortHangup, UnpluggedLineEndsAWaitingReadAtOnceWithoutSpinning) {
  Unpluggable line;
  ASSERT_FALSE(line.path.empty());
  ScopedPortTable table(line.path);
  MessageRecorder owner;
  TComPort port;
  V24ParameterTag record = *port.GetV24Parameter();
  record.RXTimeOut = 3000;
  port.InitParameter(&record, false);
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);

  const pid_t reader = static_cast<pid_t>(syscall(SYS_gettid));
  std::atomic<bool> unplugged{false};
  std::thread unplug([&] {
    // Only once the read waits on the line, so that the hang-up meets it.
    while (!WaitingInPoll(reader)) std::this_thread::yield();
    line.Unplug();
    unplugged = true;
  });
  char buffer[251];
  const double cpuBefore = ThreadCpuMs();
  const int got = port.Read(buffer, 250);
  const double cpuMs = ThreadCpuMs() - cpuBefore;
  unplug.join();
  ASSERT_TRUE(unplugged);
  EXPECT_EQ(got, COM_NOT_OPEN);
  EXPECT_LT(cpuMs, 10.0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Read(buffer, 250), COM_NOT_OPEN);
  EXPECT_EQ(port.Write("A.1111\r\n", -1, false), COM_NOT_OPEN);

  ASSERT_TRUE(RunUntil([&] { return owner.Count(WM_COM_DISCONNECT) >= 1; }, milliseconds(5000)));
  RunFor(milliseconds(100));
  EXPECT_EQ(owner.Count(WM_COM_DISCONNECT), 1);
  EXPECT_EQ(owner.messages.back().wParam, 1u);
  EXPECT_EQ(port.TakeLostDevice(), line.path);
  EXPECT_EQ(port.TakeLostDevice(), "");
}

TEST(PortHangup, OwnerIsToldOnceAndAWriteFindsThePortGone) {
  Unpluggable line;
  ScopedPortTable table(line.path);
  MessageRecorder owner;
  TComPort port;
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  line.Unplug();
  // The receive thread notices without anyone reading.
  ASSERT_TRUE(RunUntil([&] { return owner.Count(WM_COM_DISCONNECT) >= 1; }, milliseconds(5000)));
  EXPECT_TRUE(port.IsOpen());  // closed by the owner's thread, not behind its back
  EXPECT_EQ(port.Write("A.1111\r\n", -1, false), COM_NOT_OPEN);
  EXPECT_FALSE(port.IsOpen());
  RunFor(milliseconds(100));
  EXPECT_EQ(owner.Count(WM_COM_DISCONNECT), 1);
  EXPECT_EQ(port.TakeLostDevice(), line.path);
  // A new Open of another line starts clean.
  Pty other;
  ScopedPortTable second(other.SlavePath());
  port.Check_AllV24();
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  EXPECT_EQ(port.Write("ok", -1, false), 2);
  EXPECT_EQ(other.Receive(2), "ok");
}

TEST(ExclusiveAccess, FlagOfAnotherProgramRefusesThePortAndIsLeftSet) {
  Pty com1;
  ScopedPortTable table(com1.SlavePath());
  ExclusiveHolder holder(com1.SlavePath());
  ASSERT_TRUE(holder.Held());
  MessageRecorder owner;
  TComPort port;  // as root the open itself succeeds: TIOCGEXCL has to tell
  EXPECT_EQ(port.GetMaxV24Devices(), 1);
  EXPECT_EQ(port.GetMaxV24Useable(), 0);
  const PortFailure skipped = port.SkipReason(0);
  EXPECT_EQ(skipped.error, EBUSY);
  EXPECT_EQ(skipped.path, com1.SlavePath());
  EXPECT_NE(skipped.holder.find("(pid " + std::to_string(holder.Pid()) + ")"), std::string::npos)
      << skipped.holder;

  EXPECT_EQ(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  EXPECT_EQ(port.LastFailure().error, EBUSY);
  EXPECT_EQ(port.LastFailure().path, com1.SlavePath());
  EXPECT_TRUE(holder.FlagStillSet());
}

TEST(ModemLines, OpeningLeavesDtrLow) {
  Pty com1;
  const int fd = open(com1.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  int dtr = TIOCM_DTR;
  if (ioctl(fd, TIOCMBIC, &dtr) != 0) {
    close(fd);
    GTEST_SKIP() << "pseudo-terminals have no modem lines (ENOTTY); the DTR and RTS states "
                    "at open, run and close are documented in the README";
  }
  ScopedPortTable table(com1.SlavePath());
  TComPort port;
  MessageRecorder owner;
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  int lines = 0;
  ASSERT_EQ(ioctl(fd, TIOCMGET, &lines), 0);
  EXPECT_EQ(lines & TIOCM_DTR, 0);
  port.Close();
  close(fd);
}

TEST(LineSettings, WhatAnEarlierUserLeftDoesNotBendTheBytes) {
  Pty com1;
  com1.BendSlaveSettings();
  ScopedPortTable table(com1.SlavePath());
  MessageRecorder owner;
  TComPort port;
  ASSERT_NE(port.Open(&owner, 0, false), INVALID_COM_HANDLE);
  EXPECT_EQ(port.LineFault(), LineCheck::Ok);
  ASSERT_TRUE(com1.Send("A.2003\r"));
  char buffer[16];
  EXPECT_EQ(port.Read(buffer, 7), 7);
  EXPECT_EQ(std::string(buffer, 7), "A.2003\r");
  EXPECT_EQ(com1.Drain(milliseconds(50)), "");  // nothing echoed
}

TEST(PortNames, PathsWithColonsStayWhole) {
  EXPECT_EQ(SplitPortTable("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0::/dev/ttyUSB1:"),
            (std::vector<std::string>{"/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0", "",
                                      "/dev/ttyUSB1", ""}));
  EXPECT_EQ(SplitPortTable("/dev/ttyS0:/dev/serial/by-id/usb-FTDI_A:1-if00-port0"),
            (std::vector<std::string>{"/dev/ttyS0", "/dev/serial/by-id/usb-FTDI_A:1-if00-port0"}));
  EXPECT_EQ(SplitPortTable(":"), (std::vector<std::string>{"", ""}));
}

TEST(PortNames, ByIdStyleLinkOpensTheLineBehindIt) {
  Pty com2;
  TempDir dir;
  const std::string link = dir.File("usb-Meter_Ltd_Adapter_A1:B2-if00-port0");
  std::filesystem::create_symlink(com2.SlavePath(), link);
  ScopedPortTable table(":" + link);
  MessageRecorder owner;
  TComPort port;
  EXPECT_EQ(port.DevicePath(1), link);
  ASSERT_NE(port.Open(&owner, 1, false), INVALID_COM_HANDLE);
  EXPECT_EQ(port.Write("A.1111\r\n", -1, false), 8);
  EXPECT_EQ(com2.ReceiveUntil("\r\n"), "A.1111\r\n");
}
