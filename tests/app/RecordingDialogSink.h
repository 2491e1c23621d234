#pragma once
// Answers message boxes from a script (then No) and records what was shown.
#include <deque>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

struct RecordingDialogSink : DialogSink {
  struct Shown {
    std::string caption, text;
    MsgIcon icon;
    MsgButtons buttons;
  };
  std::vector<Shown> shown;
  std::deque<MsgResult> answers;
  DialogSink* previous = SetDialogSink(this);

  ~RecordingDialogSink() override { SetDialogSink(previous); }
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                 MsgButtons buttons) override {
    shown.push_back({caption, text, icon, buttons});
    if (buttons != MsgButtons::YesNo) return MsgResult::Ok;
    MsgResult answer = answers.empty() ? MsgResult::No : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
};
