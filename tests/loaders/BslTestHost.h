#pragma once
// What the main window gives a loader, for driver tests without a window:
// a real port on a pseudo-terminal, real timers, the queue, a delay and a
// record. Received data becomes event 10000; while nobody consumes it, a
// minimal line splitter turns the instrument's lines into the reply events.
#include <QObject>
#include <QTimer>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/DeviceRecord.h"
#include "core/Events.h"
#include "core/LoaderHost.h"
#include "core/Timer.h"
#include "platform/Dialogs.h"
#include "serial/ComPort.h"
#include "serial/Delay.h"

class BslTestHost : public QObject, public LoaderHost {
 public:
  // The port table must already name the simulator's slave as COM1.
  BslTestHost();
  ~BslTestHost() override;

  bool OpenPort();

  EventQueue& Events() override { return queue_; }
  TimerPool& Timers() override { return timers_; }
  TComPort& Port() override { return port_; }
  TDelay& Delay() override { return delay_; }
  DeviceRecord& Record() override { return record_; }
  int Language() const override { return language; }
  int StartCommandIndex() const override { return startCommandIndex; }
  void PumpEvents() override;
  void WaitForMessages() override;
  void LogLine(const std::string& text) override { log.push_back(text); }
  void MemoAdd(const std::string& text) override { memo.push_back(text); }
  void MemoClear() override { memo.clear(); }
  std::string FillPlaceholders(std::string_view text) override { return std::string(text); }
  void SetTitleProgress(const std::string& prefix, double percent) override;
  int ProgressPosition() const override { return position_; }
  void SetProgressPosition(int position) override { position_ = position; }
  int ProgressMax() const override { return max_; }
  void SetProgressMax(int max) override { max_ = max; }
  void SetStatusPanel(int, const std::string&) override {}
  void ShowError(const std::string& caption, const std::string& text) override {
    ShowMessageBox(caption, text, MsgIcon::Error);
  }
  bool AskRetry(const std::string& caption, const std::string& text, int attempt) override {
    return ShowRetryQuestion(caption, text, MsgIcon::Warning, attempt) == MsgResult::Retry;
  }
  void ReopenPort(int portIndex) override { port_.Open(this, portIndex, true); }

  int language = 0;
  int startCommandIndex = 0;
  std::vector<std::string> log;
  std::vector<std::string> memo;
  std::vector<std::string> replyLines;  // instrument lines seen before loader mode
  double lastPercent = -1;
  std::vector<double> percents;  // every title progress reported
  std::string lastPrefix;
  std::vector<std::string> prefixes;  // every progress tag reported
  std::function<void(double)> onProgress;

 protected:
  bool event(QEvent* e) override;

 private:
  void OnReplyEvent(EventQueue& queue, WorkflowEvent& event);

  EventQueue queue_;
  TimerPool timers_;
  std::array<QTimer, 5> timerObjects_;
  TComPort port_;
  TDelay delay_;
  DeviceRecord record_;
  MemberSubscriber<BslTestHost> replyParser_;
  std::string pendingLine_;
  int position_ = 0;
  int max_ = 100;
};

// Collects the message boxes of one test instead of showing them.
class CapturedDialogs : public DialogSink {
 public:
  CapturedDialogs() : previous_(SetDialogSink(this)) {}
  ~CapturedDialogs() override { SetDialogSink(previous_); }
  MsgResult Show(const std::string& caption, const std::string& text, MsgIcon,
                 MsgButtons) override {
    shown.push_back({caption, text});
    return MsgResult::Ok;
  }
  struct Box {
    std::string caption;
    std::string text;
  };
  std::vector<Box> shown;

 private:
  DialogSink* previous_;
};
