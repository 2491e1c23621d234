#pragma once
// What a loader object needs from the main window while it runs one
// transfer: the shared queue, timers, port, delay and record, and the
// window's log, progress bar and title progress.
#include <string>
#include <string_view>

class EventQueue;
class TimerPool;
class TComPort;
class TDelay;
struct DeviceRecord;

class LoaderHost {
 public:
  virtual ~LoaderHost() = default;

  virtual EventQueue& Events() = 0;
  virtual TimerPool& Timers() = 0;
  virtual TComPort& Port() = 0;
  virtual TDelay& Delay() = 0;
  virtual DeviceRecord& Record() = 0;
  virtual int Language() const = 0;
  virtual int StartCommandIndex() const = 0;

  // Dispatches queued events until the queue is empty.
  virtual void PumpEvents() = 0;
  // Lets the application handle its pending messages, blocking until at
  // least one arrives (received data, a timer, a key): loaders loop on
  // PumpEvents/WaitForMessages without spinning a CPU.
  virtual void WaitForMessages() = 0;

  // Adds the text (placeholders filled) to the log while traffic logging is on.
  virtual void LogLine(const std::string& text) = 0;
  // Adds the text to the log memo unconditionally.
  virtual void MemoAdd(const std::string& text) = 0;
  virtual void MemoClear() = 0;
  virtual std::string FillPlaceholders(std::string_view text) = 0;
  virtual void SetTitleProgress(const std::string& prefix, double percent) = 0;

  virtual int ProgressPosition() const = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual int ProgressMax() const = 0;
  virtual void SetProgressMax(int max) = 0;
  virtual void SetStatusPanel(int index, const std::string& text) = 0;

  // Shows an error message box; loaders show no dialogs of their own.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
  // Asks the Retry/Abort warning about one failing step (attempt 1 is the
  // first question about it); true for Retry.
  virtual bool AskRetry(const std::string& caption, const std::string& text, int attempt) = 0;
  // Opens the run's port again after a loader program had it, with the
  // window's notifications.
  virtual void ReopenPort(int portIndex) = 0;
};
