#include "app/HeadlessRun.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/ConsoleView.h"
#include "app/FirstStart.h"
#include "app/UpdateMain.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  // Only the pipe is touched here; the event loop does the rest.
  [[maybe_unused]] ssize_t n = write(signalPipe[1], &c, 1);
}

// A whole number within [low, high]; the text must be the number alone.
bool WholeNumber(const std::string& text, long low, long high, long& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::strtol(text.c_str(), nullptr, 10);
  return out >= low && out <= high;
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
        error =
            "--delay-divisor takes a whole number from 1 to " + std::to_string(kMaxDelayDivisor);
        return false;
      }
      o.delayDivisor = n;
    } else if (a == "--retries") {
      if (!value(v)) return false;
      if (!WholeNumber(v, 0, 100, o.retries)) {
        error = "--retries takes a whole number from 0 to 100";
        return false;
      }
    } else if (a == "--menu") {
      if (!value(v)) return false;
      long tag = -1;
      if (v == "lab") {
        o.menuLab = true;
      } else if (v.rfind("model=", 0) == 0 && WholeNumber(v.substr(6), 0, 3, tag)) {
        o.menuModel = static_cast<int>(tag);
      } else {
        error = "--menu takes lab or model=N with N from 0 to 3";
        return false;
      }
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
    error =
        "the window takes no argument " + args.front() + " (use --headless for the console mode)";
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
      if (const std::string missing = MissingSettingsPath(); !missing.empty())
        std::fprintf(stderr, "%s\n", MissingSettingsLine(missing).c_str());
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
      // The run ends through its own abort (a loader program is stopped
      // first); a run past its transfer ends as it would have.
      if (main.Interrupt()) {
        view.SetInterrupted();
        main.NoteInterrupted();
      }
    });

    // A technician presses OK again after an abort that offers a retry.
    long retriesLeft = options.retries;
    view.SetContinueHook([&](RunOutcome outcome) {
      if (outcome != RunOutcome::Failed || retriesLeft <= 0 || !main.RetryOffered()) return false;
      --retriesLeft;
      std::fprintf(stderr, "retry %ld of %ld\n", options.retries - retriesLeft, options.retries);
      QTimer::singleShot(0, &app, [&] { main.OkBitBtnClick(); });
      return true;
    });

    QTimer::singleShot(0, &app, [&] {
      if (options.menuLab || options.menuModel >= 0) {
        const std::string entry = options.menuLab ? "LabXXX" : kModelMenuNames[options.menuModel];
        if (!view.MenuEnabled(entry)) {
          std::fprintf(stdout, "%s: %s\n", entry.c_str(),
                       "menu entry not available (its firmware file is missing)");
          view.RunEnded(RunOutcome::Failed);
          return;
        }
        if (options.menuLab)
          main.LabXXXClick();
        else
          main.TG812qProgrammingClick(options.menuModel);
        return;
      }
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
