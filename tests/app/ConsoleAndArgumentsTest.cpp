// The headless console shows every text whole, and the command line takes
// only numbers it can hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "app/ConsoleView.h"
#include "app/HeadlessRun.h"

namespace {

std::string Captured(const std::function<void(ConsoleView&)>& write) {
  std::FILE* file = std::tmpfile();
  {
    ConsoleView view(false, file);
    write(view);
  }
  std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

}  // namespace

TEST(ConsoleView, ControlCharactersAreShownAndNothingIsCutAtANul) {
  // A NUL in a start text once ended the line, and the next caption ran
  // into it.
  const std::string text = Captured([](ConsoleView& view) {
    static const char kMemo[] = "Start\0text\x1B[2J\tend\r\nnext\x81";
    view.MemoAdd(std::string(kMemo, sizeof kMemo - 1));
    view.Show(std::string("Err\0or", 6), "body", MsgIcon::Error, MsgButtons::Ok);
  });
  EXPECT_EQ(text, "Start\\x00text\\x1B[2J\\x09end\nnext\\x81\n[Err\\x00or]\nbody\n");
}

TEST(HeadlessArguments, DelayDivisorMustBeAWholeNumberThatFits) {
  for (const char* bad : {"99999999999999999999999", "0", "-5", "+5", " 5", "5x", "", "1000001"}) {
    HeadlessOptions options;
    std::string error;
    EXPECT_FALSE(ParseArguments({"--headless", "--delay-divisor", bad}, options, error)) << bad;
    EXPECT_NE(error.find("--delay-divisor"), std::string::npos);
  }
  HeadlessOptions options;
  std::string error;
  EXPECT_TRUE(ParseArguments({"--headless", "--delay-divisor", "1000000"}, options, error));
  EXPECT_EQ(options.delayDivisor, 1000000);
}
