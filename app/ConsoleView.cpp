#include "app/ConsoleView.h"

#include <QCoreApplication>
#include <cstdlib>

#include "app/ConsoleWording.h"
#include "app/ViewText.h"

namespace {

// The console shows every text whole: a NUL would end it early and other
// control bytes would act on the terminal, so all but the line breaks are
// written as \xNN (so are the five bytes Windows-1252 leaves unassigned).
std::string Visible(std::string_view text1252) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text1252.size());
  for (char ch : text1252) {
    const auto c = static_cast<unsigned char>(ch);
    const bool control = (c < 0x20 && c != '\r' && c != '\n') || c == 0x7F || c == 0x81 ||
                         c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
    if (!control) {
      out += ch;
      continue;
    }
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  }
  return out;
}

void WriteAll(const std::string& text, std::FILE* out) {
  std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

ConsoleView::ConsoleView(bool answerYes, std::FILE* out) : answerYes_(answerYes), out_(out) {}

void ConsoleView::WriteBlock(const std::string& text) {
  std::string lines = ViewText(Visible(ConsoleWording(text)));
  if (lines.empty() || lines.back() != '\n') lines += '\n';
  WriteAll(lines, out_);
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
  if (percent < 0) {  // a loader's end mark, no progress
    lastTenth_ = -1;
    return;
  }
  const int tenth = static_cast<int>(percent / 10);
  if (tenth == lastTenth_) return;
  lastTenth_ = tenth;
  std::fprintf(stderr, "progress: %d %%\n", tenth * 10);
}

MsgResult ConsoleView::Show(const std::string& caption, const std::string& text, MsgIcon,
                            MsgButtons buttons) {
  WriteAll("[" + ViewText(Visible(caption)) + "]\n", out_);
  WriteBlock(text);
  MsgResult result = MsgResult::Ok;
  if (buttons == MsgButtons::YesNo) {
    result = answerYes_ ? MsgResult::Yes : MsgResult::No;
    std::fputs(answerYes_ ? "-> Yes\n" : "-> No\n", out_);
  } else if (buttons == MsgButtons::RetryAbort) {
    result = answerYes_ ? MsgResult::Retry : MsgResult::Abort;
    std::fputs(answerYes_ ? "-> Retry\n" : "-> Abort\n", out_);
  }
  std::fflush(out_);
  return result;
}

MsgResult ConsoleView::ShowRetry(const std::string& caption, const std::string& text, MsgIcon,
                                 int attempt) {
  WriteAll("[" + ViewText(Visible(caption)) + "]\n", out_);
  WriteBlock(text);
  const bool retry = answerYes_ && attempt <= kMaxRetries;
  std::fputs(retry ? "-> Retry\n" : "-> Abort\n", out_);
  std::fflush(out_);
  return retry ? MsgResult::Retry : MsgResult::Abort;
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
