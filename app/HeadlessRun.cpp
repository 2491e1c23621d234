#include "app/HeadlessRun.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include "app/ConsoleView.h"
#include "app/UpdateMain.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  // Only the pipe is touched here; the event loop does the rest.
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &c, 1);
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, HeadlessOptions& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--headless") {
      o.headless = true;
    } else if (a == "--translate") {
      o.translate = true;
    } else if (a == "--help") {
      o.help = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--answer") {
      if (!value(v)) return false;
      if (v != "yes" && v != "no") {
        error = "--answer takes yes or no";
        return false;
      }
      o.answerYes = v == "yes";
    } else if (a == "--delay-divisor") {
      if (!value(v)) return false;
      // Digits only, and no more than a wait can be divided by: strtol
      // alone takes " 5", "+5" and clips 99999999999999999999 silently.
      char* end = nullptr;
      errno = 0;
      long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos || *end != '\0' ||
          errno == ERANGE || n < 1 || n > kMaxDelayDivisor) {
        error = "--delay-divisor takes a whole number from 1 to " + std::to_string(kMaxDelayDivisor);
        return false;
      }
      o.delayDivisor = n;
    } else {
      error = "unknown argument " + a;
      return false;
    }
  }
  if (o.translate && (o.headless || args.size() > 1)) {
    error = "--translate opens the window and takes no other argument";
    return false;
  }
  if (!o.headless && !o.translate && !o.help && !args.empty()) {
    error = "the window takes no arguments (use --headless for the console mode)";
    return false;
  }
  return true;
}

int RunHeadless(int argc, char** argv, const HeadlessOptions& options) {
  QCoreApplication app(argc, argv);
  ConsoleView view(options.answerYes);
  SetDialogSink(&view);
  int status;
  {
    UpdateMain main(&view);
    if (!main.Construct()) {
      SetDialogSink(nullptr);
      return 2;
    }
    if (options.trace) main.CtrlF1();
    main.Delay().SetDividend(options.delayDivisor);

    // SIGINT and SIGTERM act as the Escape key, then end the program.
    if (pipe(signalPipe) == 0) {
      std::signal(SIGINT, OnSignal);
      std::signal(SIGTERM, OnSignal);
    }
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
      char c;
      [[maybe_unused]] ssize_t n = read(signalPipe[0], &c, 1);
      view.SetInterrupted();
      main.EscapeKey();
      // A loader that was running ends on Escape and its run ends with the
      // abort text; otherwise nothing else is going to end the run.
      if (!main.TransferActive()) view.RunEnded(RunOutcome::Failed);
    });

    QTimer::singleShot(0, &app, [&] {
      main.OkBitBtnClick();
      // Nothing took the OK press: no run can start.
      if (!view.Ended() && main.OkEnabled()) view.RunEnded(RunOutcome::Failed);
    });
    status = view.Ended() ? view.ExitCode() : app.exec();
    main.Shutdown();
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  SetDialogSink(nullptr);
  return status;
}
