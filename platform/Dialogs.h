#pragma once
// Message boxes. Every layer shows its messages through one sink, which the
// window (real dialogs) or the headless console (printed, answered from the
// command line) installs at start-up. Texts are Windows-1252 byte strings.
#include <functional>
#include <string>

enum class MsgIcon { Error, Info, Question, Warning };
enum class MsgButtons { Ok, YesNo, RetryAbort };
enum class MsgResult { Ok, Yes, No, Retry, Abort };

class DialogSink {
 public:
  virtual ~DialogSink() = default;
  virtual MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) = 0;
  // A Retry/Abort question asked again for the same failing step: attempt
  // counts the questions about it (1 = the first). A sink without a limit
  // of its own asks as usual.
  virtual MsgResult ShowRetry(const std::string& caption, const std::string& text, MsgIcon icon,
                              int /*attempt*/) {
    return Show(caption, text, icon, MsgButtons::RetryAbort);
  }
};

// Installs the sink; returns the previous one. nullptr restores the default,
// which prints to standard error and answers No / Abort.
DialogSink* SetDialogSink(DialogSink* sink);

MsgResult ShowMessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons = MsgButtons::Ok);

// Sees every message box before it is shown (the run log keeps the last
// error of a run). One observer at a time; an empty function removes it.
using DialogObserver =
    std::function<void(const std::string& caption, const std::string& text, MsgIcon icon)>;
void SetDialogObserver(DialogObserver observer);
// The Retry/Abort question about one failing step; attempt as in ShowRetry.
MsgResult ShowRetryQuestion(const std::string& caption, const std::string& text, MsgIcon icon,
                            int attempt);
