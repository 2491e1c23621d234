#pragma once
// The headless view: the log and every message box go to standard output,
// questions are answered from the command line, and the end of a run ends
// the program with its exit status.
#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include "app/UpdateView.h"
#include "platform/Dialogs.h"

class ConsoleView : public UpdateView, public DialogSink {
 public:
  explicit ConsoleView(bool answerYes, std::FILE* out = stdout);

  void MemoAdd(const std::string& text) override;
  // Progress of long transfers goes to standard error in steps of 10 %,
  // so that standard output stays the log.
  void SetTitle(const std::string& title) override;
  void RunEnded(RunOutcome outcome) override;
  void SetMenuEnabled(const std::string& name, bool enabled) override { menus_[name] = enabled; }
  bool MenuEnabled(const std::string& name) const {
    auto it = menus_.find(name);
    return it != menus_.end() && it->second;
  }
  // Asked at each end of a run; true keeps the program running (a retry).
  void SetContinueHook(std::function<bool(RunOutcome)> hook) { continueHook_ = std::move(hook); }
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                 MsgButtons buttons) override;
  // --answer yes retries the same step at most kMaxRetries times.
  MsgResult ShowRetry(const std::string& caption, const std::string& text, MsgIcon icon,
                      int attempt) override;
  static constexpr int kMaxRetries = 3;

  // After SIGINT/SIGTERM every ending counts as interrupted.
  void SetInterrupted() { interrupted_ = true; }
  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }

 private:
  void WriteBlock(const std::string& text1252);

  bool answerYes_;
  std::FILE* out_;
  bool interrupted_ = false;
  bool ended_ = false;
  int exitCode_ = 1;
  int lastTenth_ = -1;
  std::map<std::string, bool> menus_;
  std::function<bool(RunOutcome)> continueHook_;
};
