#include "platform/Dialogs.h"

#include <cstdio>

#include "platform/Text1252.h"

namespace {

class StderrSink : public DialogSink {
 public:
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon,
                 MsgButtons buttons) override {
    std::fprintf(stderr, "[%s]\n%s\n", Cp1252ToUtf8(caption).c_str(), Cp1252ToUtf8(text).c_str());
    switch (buttons) {
      case MsgButtons::YesNo: return MsgResult::No;
      case MsgButtons::RetryAbort: return MsgResult::Abort;
      default: return MsgResult::Ok;
    }
  }
};

StderrSink defaultSink;
DialogSink* currentSink = &defaultSink;
DialogObserver observer;

}  // namespace

DialogSink* SetDialogSink(DialogSink* sink) {
  DialogSink* previous = currentSink;
  currentSink = sink ? sink : &defaultSink;
  return previous == &defaultSink ? nullptr : previous;
}

MsgResult ShowMessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) {
  if (observer) observer(caption, text, icon);
  return currentSink->Show(caption, text, icon, buttons);
}

void SetDialogObserver(DialogObserver o) { observer = std::move(o); }
MsgResult ShowRetryQuestion(const std::string& caption, const std::string& text, MsgIcon icon,
                            int attempt) {
  return currentSink->ShowRetry(caption, text, icon, attempt);
}
