// The console's answers to the Basic-Loader's time-out question.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/ConsoleView.h"

namespace {

std::string Answers(bool answerYes, int attempts, std::string* printed = nullptr) {
  std::FILE* out = std::tmpfile();
  ConsoleView view(answerYes, out);
  std::string results;
  for (int attempt = 1; attempt <= attempts; ++attempt)
    results += view.ShowRetry("Warnung", "  Timeout in serial Interface !!  \r\r\r",
                              MsgIcon::Warning, attempt) == MsgResult::Retry
                   ? 'R'
                   : 'A';
  if (printed) {
    std::rewind(out);
    char buf[512];
    const std::size_t n = std::fread(buf, 1, sizeof buf, out);
    printed->assign(buf, n);
  }
  std::fclose(out);
  return results;
}

}  // namespace

TEST(ConsoleRetry, YesRetriesTheSameStepThreeTimesThenAborts) {
  std::string printed;
  EXPECT_EQ(Answers(true, 5, &printed), "RRRAA");
  EXPECT_EQ(printed.substr(0, printed.find("-> Retry") + 9),
            "[Warnung]\n  Timeout in serial Interface !!  \n\n\n-> Retry\n");
}

TEST(ConsoleRetry, NoAbortsAtOnce) { EXPECT_EQ(Answers(false, 2), "AA"); }
