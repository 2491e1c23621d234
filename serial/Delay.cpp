#include "serial/Delay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

#include "platform/Ticks.h"
#include "serial/HoldingWait.h"

TDelay::TDelay() : tickSource(GetTickCount) {}

void TDelay::DelayTime(long ms, bool processMessages) {
  if (!enable_) return;
  const long d = ms / (dividend_ < 1 ? 1 : dividend_);
  if (d <= 0) return;
  // The counter counts whole milliseconds, and the one it reads at the start
  // may be nearly over: waiting for one tick more than asked never ends a
  // wait early (a timer that fires a little before its time included).
  const uint32_t wanted =
      d >= static_cast<long>(0xFFFFFFFEu) ? 0xFFFFFFFFu : static_cast<uint32_t>(d) + 1u;
  const auto now = [this] { return tickSource ? tickSource() : GetTickCount(); };
  const uint32_t start = now();
  const bool useLoop = processMessages && QCoreApplication::instance() != nullptr;
  for (;;) {
    // Unsigned difference: a wrap of the counter neither shortens nor
    // lengthens the wait.
    const uint32_t elapsed = now() - start;
    if (elapsed >= wanted) return;
    const uint32_t remaining = wanted - elapsed;
    const int slice = static_cast<int>(remaining > 0x7FFFFFFFu ? 0x7FFFFFFFu : remaining);
    if (hold_) {
      if (!(processMessages ? hold_->Pass(slice) : hold_->Hold(slice))) return;
    } else if (useLoop) {
      QEventLoop loop;
      QTimer timer;
      timer.setTimerType(Qt::PreciseTimer);
      timer.setSingleShot(true);
      QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
      timer.start(slice);
      loop.exec();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(remaining));
    }
  }
}

void Crc8Update(uint8_t* crc, uint8_t byte, uint8_t bits) {
  if (crc == nullptr) return;
  uint8_t c = static_cast<uint8_t>(*crc ^ byte);
  for (unsigned i = 0; i < bits; ++i)
    c = (c & 0x80) ? static_cast<uint8_t>((c << 1) ^ 0x1D) : static_cast<uint8_t>(c << 1);
  *crc = c;
}
