#include "app/ConsoleView.h"

#include <QCoreApplication>
#include <cstdlib>

#include "app/ViewText.h"

ConsoleView::ConsoleView(bool answerYes, std::FILE* out) : answerYes_(answerYes), out_(out) {}

void ConsoleView::WriteBlock(const std::string& text) {
  std::string lines = ViewText(text);
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  std::fputs(lines.c_str(), out_);
  std::fflush(out_);
}

void ConsoleView::MemoAdd(const std::string& text) { WriteBlock(text); }

void ConsoleView::SetTitle(const std::string& title) {
  // "Update [ 42.0 %]" while a transfer runs; anything else ends a transfer.
  std::size_t open = title.find('[');
  if (open == std::string::npos || title.find('%') == std::string::npos) {
    lastTenth_ = -1;
    return;
  }
  const double percent = std::strtod(title.c_str() + open + 1, nullptr);
  const int tenth = static_cast<int>(percent / 10);
  if (tenth == lastTenth_) return;
  lastTenth_ = tenth;
  std::fprintf(stderr, "progress: %d %%\n", tenth * 10);
}

MsgResult ConsoleView::Show(const std::string& caption, const std::string& text, MsgIcon,
                            MsgButtons buttons) {
  std::fprintf(out_, "[%s]\n", ViewText(caption).c_str());
  WriteBlock(text);
  MsgResult result = MsgResult::Ok;
  if (buttons == MsgButtons::YesNo) {
    result = answerYes_ ? MsgResult::Yes : MsgResult::No;
    std::fputs(answerYes_ ? "-> Yes\n" : "-> No\n", out_);
  } else if (buttons == MsgButtons::RetryAbort) {
    // A production line does not retry by hand.
    result = MsgResult::Abort;
    std::fputs("-> Abort\n", out_);
  }
  std::fflush(out_);
  return result;
}

void ConsoleView::RunEnded(RunOutcome outcome) {
  if (ended_) return;
  if (continueHook_ && continueHook_(outcome)) return;
  ended_ = true;
  switch (outcome) {
    case RunOutcome::Success: exitCode_ = interrupted_ ? 1 : 0; break;
    case RunOutcome::Failed: exitCode_ = 1; break;
    case RunOutcome::ProgramEnds: exitCode_ = 2; break;
  }
  QCoreApplication::exit(exitCode_);
}
