#pragma once
// The headless mode for production lines: the same workflow as the
// window, viewed on the console.
#include <string>
#include <vector>

// Larger divisors only turn every wait into none.
inline constexpr long kMaxDelayDivisor = 1000000;

struct HeadlessOptions {
  bool headless = false;
  bool answerYes = false;
  bool trace = false;
  long delayDivisor = 1;
  bool translate = false;  // the window with the translation editor
  bool help = false;
  long retries = 0;      // OK presses after a failed transfer that offers a retry
  int menuModel = -1;    // --menu model=N: the model entry with tag N
  bool menuLab = false;  // --menu lab: the Lab XXX entry
};

// False with a reason for an argument it does not know.
bool ParseArguments(const std::vector<std::string>& args, HeadlessOptions& options,
                    std::string& error);

// Runs the program without a display; returns the exit status.
int RunHeadless(int argc, char** argv, const HeadlessOptions& options);
