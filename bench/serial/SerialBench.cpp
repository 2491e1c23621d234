// Figures of the serial component over a pseudo-terminal pair: throughput
// of Write and Read, the time from a byte's arrival to the owner's handler,
// the processor time of an open, idle port, and what a read costs on a
// line that has hung up (the far end closed, as an unplugged adapter).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "BenchPty.h"
#include "serial/ComMessages.h"
#include "serial/ComPort.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

class LatencyOwner : public QObject {
 public:
  LatencyOwner(TComPort& port, BenchPty& pty, int rounds)
      : port_(port), pty_(pty), rounds_(rounds) {}
  std::vector<double> latenciesMs;

  void SendNext() {
    sentAt_ = Clock::now();
    pty_.SendAll("x", 1);
  }

 protected:
  void customEvent(QEvent* event) override {
    const auto* msg = AsComMessage(event);
    if (!msg || msg->message != WM_COM_RXDATA) return;
    const auto now = Clock::now();
    char buffer[8];
    if (port_.Read(buffer, 1) != 1) return;
    latenciesMs.push_back(Seconds(now - sentAt_) * 1000.0);
    if (static_cast<int>(latenciesMs.size()) >= rounds_)
      QCoreApplication::quit();
    else
      SendNext();
  }

 private:
  TComPort& port_;
  BenchPty& pty_;
  int rounds_;
  Clock::time_point sentAt_;
};

V24ParameterTag FastRecord(TComPort& port) {
  V24ParameterTag r = *port.GetV24Parameter();
  r.Baudrate = B115200;
  r.TXTimeOut = 10000;
  r.RXTimeOut = 1000;
  return r;
}

void WriteThroughput(TComPort& port, BenchPty& pty) {
  const size_t total = 8u << 20;
  std::atomic<size_t> received{0};
  std::thread reader([&] {
    std::vector<char> buffer(65536);
    while (received < total) {
      const size_t n = pty.ReceiveSome(buffer.data(), buffer.size(), 2000);
      if (n == 0) break;
      received += n;
    }
  });
  const std::string block(2000, 'S');
  const auto start = Clock::now();
  size_t sent = 0;
  while (sent < total) {
    const int n =
        port.Write(block.data(), static_cast<int>(std::min(block.size(), total - sent)), false);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  reader.join();
  const double s = Seconds(Clock::now() - start);
  std::printf("Write (blocking, 2000-byte blocks): %zu bytes in %.3f s = %.1f MB/s\n",
              received.load(), s, received / s / 1e6);
}

void ReadThroughput(TComPort& port, BenchPty& pty) {
  const size_t total = 8u << 20;
  std::thread writer([&] {
    const std::string chunk(4096, 'R');
    for (size_t sent = 0; sent < total; sent += chunk.size())
      pty.SendAll(chunk.data(), chunk.size());
  });
  std::vector<char> buffer(4097);
  size_t got = 0;
  const auto start = Clock::now();
  while (got < total) {
    const int n = port.Read(buffer.data(), 4096);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  const double s = Seconds(Clock::now() - start);
  writer.join();
  std::printf("Read (4096-byte reads):             %zu bytes in %.3f s = %.1f MB/s\n", got, s,
              got / s / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  BenchPty pty;
  if (pty.master < 0) {
    std::fprintf(stderr, "no pseudo-terminal\n");
    return 1;
  }
  ::setenv("UPDATE_PORTS", pty.slavePath.c_str(), 1);
  const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;

  TComPort port;
  V24ParameterTag record = FastRecord(port);
  port.InitParameter(&record, false);
  QObject sink;  // throughput runs read without notifications mattering
  if (port.Open(&sink, 0, true) == INVALID_COM_HANDLE) return 1;
  WriteThroughput(port, pty);
  ReadThroughput(port, pty);
  port.Close();

  const int rounds = 2000;
  LatencyOwner owner(port, pty, rounds);
  if (port.Open(&owner, 0, true) == INVALID_COM_HANDLE) return 1;
  QTimer::singleShot(0, [&] { owner.SendNext(); });
  app.exec();
  auto& l = owner.latenciesMs;
  std::sort(l.begin(), l.end());
  if (!l.empty())
    std::printf(
        "Arrival to handler (%zu bytes): median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n",
        l.size(), l[l.size() / 2], l[l.size() * 99 / 100], l.back());

  const double cpuBefore = CpuSeconds();
  const auto start = Clock::now();
  QTimer::singleShot(idleSeconds * 1000, &app, &QCoreApplication::quit);
  app.exec();
  const double wall = Seconds(Clock::now() - start);
  const double cpu = CpuSeconds() - cpuBefore;
  std::printf("Idle with the port open: %.4f s CPU over %.1f s = %.3f %% of one core\n", cpu, wall,
              cpu / wall * 100.0);
  port.Close();

  // A read of 250 bytes (at most 250 ms) on a line whose far end is gone.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 1;
  ::setenv("UPDATE_PORTS", ptsname(master), 1);
  TComPort lost;
  QObject nobody;
  if (lost.Open(&nobody, 0, true) == INVALID_COM_HANDLE) return 1;
  close(master);
  char buffer[251];
  const double hangCpu = CpuSeconds();
  const auto hangStart = Clock::now();
  const int got = lost.Read(buffer, 250);
  std::printf("Read on a hung-up line: result %d after %.4f s, %.4f s CPU\n", got,
              Seconds(Clock::now() - hangStart), CpuSeconds() - hangCpu);
  return 0;
}
