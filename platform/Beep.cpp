#include "platform/Beep.h"

#include <QApplication>
#include <atomic>
#include <unistd.h>

namespace {
std::atomic<int> beeps{0};
}

void MessageBeep() {
  ++beeps;
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QApplication::beep();
  } else if (isatty(STDERR_FILENO)) {
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, "\a", 1);
  }
}

int BeepsSoFar() { return beeps.load(); }
