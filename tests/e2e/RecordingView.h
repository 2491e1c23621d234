#pragma once
// A view for in-process runs of the workflow: it records what the window
// would show and answers message boxes as told.
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/UpdateView.h"
#include "platform/Dialogs.h"

class RecordingView : public UpdateView, public DialogSink {
 public:
  RecordingView() { previous_ = SetDialogSink(this); }
  ~RecordingView() override { SetDialogSink(previous_); }

  void MemoClear() override { memo.clear(); }
  void MemoAdd(const std::string& text) override {
    memo.push_back(text);
    log.push_back(text);
  }
  void SetStatusPanel(int index, const std::string& text) override {
    panels.push_back(std::to_string(index) + ":" + text);
  }
  void SetIdentity(IdentityField f, const std::string& text) override {
    identity[static_cast<int>(f)] = text;
  }
  void RunEnded(RunOutcome outcome) override {
    outcomes.push_back(outcome);
    if (loop_) loop_->quit();
  }
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon,
                 MsgButtons buttons) override {
    boxes.push_back(caption + "|" + text);
    if (loop_ && quitOnBox) loop_->quit();
    if (buttons == MsgButtons::YesNo) return answerYes ? MsgResult::Yes : MsgResult::No;
    if (buttons == MsgButtons::RetryAbort) return MsgResult::Abort;
    return MsgResult::Ok;
  }

  // Runs the event loop until the next end of a run or the time-out.
  std::optional<RunOutcome> WaitForEnd(int timeoutMs = 60000) {
    const std::size_t before = outcomes.size();
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    const std::size_t boxesBefore = boxes.size();
    if (outcomes.size() == before) loop.exec();
    if (quitOnBox && boxes.size() != boxesBefore) return std::nullopt;
    loop_ = nullptr;
    if (outcomes.size() == before) return std::nullopt;
    return outcomes.back();
  }

  bool LogHas(const std::string& part) const {
    for (const auto& t : log)
      if (t.find(part) != std::string::npos) return true;
    return false;
  }

  bool answerYes = true;
  bool quitOnBox = false;           // WaitForEnd also returns at a message box
  std::vector<std::string> panels;  // "index:text" in order
  std::vector<std::string> memo;
  std::vector<std::string> log;  // every text ever added
  std::vector<std::string> boxes;
  std::vector<RunOutcome> outcomes;
  std::string identity[4];

 private:
  DialogSink* previous_ = nullptr;
  QEventLoop* loop_ = nullptr;
};
