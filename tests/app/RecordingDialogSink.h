#pragma once
// Answers message boxes from a script and records what was shown.
#include <deque>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

struct ShownMessage {
  std::string caption;
  std::string text;
  MsgIcon icon;
  MsgButtons buttons;
};

class RecordingDialogSink : public DialogSink {
 public:
  RecordingDialogSink() : previous_(SetDialogSink(this)) {}
  ~RecordingDialogSink() override { SetDialogSink(previous_); }

  // Answers for the next questions, in order; unanswered questions get No.
  void Answer(std::initializer_list<MsgResult> answers) { answers_.insert(answers_.end(), answers); }

  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                 MsgButtons buttons) override {
    shown.push_back({caption, text, icon, buttons});
    if (buttons != MsgButtons::YesNo) return MsgResult::Ok;
    if (answers_.empty()) return MsgResult::No;
    MsgResult answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  std::vector<ShownMessage> shown;

 private:
  DialogSink* previous_;
  std::deque<MsgResult> answers_;
};
