#pragma once
// One port's conversation in a search pass: the port opened exclusively,
// its speed set, "\r\n\r\n" and the start command (in the boot-loader pass
// the loader's wake-up bytes), then the wait for an answer, with the
// framing-error re-probes. An answer is held, its bytes kept for the
// identification; the probe sends nothing more.
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "app/ReplyParser.h"
#include "serial/ComPort.h"

// What every probe of one pass says and how long it waits.
struct ProbeScript {
  BaudTag baud = B__4800;
  bool bootLoaderPhase = false;
  std::string startCommand;  // normal passes
  std::string wakeUp;        // boot-loader pass
  int timeoutMs = 5000;      // already divided for simulator runs
  long delayDivisor = 1;     // the delay component's divisor for the pauses
};

class SearchProbe : public QObject {
  Q_OBJECT

 public:
  enum class State {
    Idle,      // opened (or not), conversation not begun
    Probing,   // talking or waiting for the answer
    Answered,  // an answer is held
    Done,      // timed out, unplugged or never opened; the port is closed
  };

  SearchProbe(int portIndex, const std::vector<std::string>& portTable, const V24ParameterTag& line,
              int language, QObject* parent);
  ~SearchProbe() override;

  int PortIndex() const { return portIndex_; }
  State GetState() const { return state_; }
  TComPort& Line() { return line_; }

  // Opens the port (a failure is shown as TComPort shows it); false: Done.
  bool Open();
  // Starts the conversation on the open port; `opened` adds the pause that
  // follows an open.
  void Begin(const ProbeScript& script, bool opened);
  // The line reported a framing error.
  void OnFramingError();
  // The wait for the answer is over: probe again after a framing error
  // (a bounded number of times), otherwise give up.
  void Expire();
  // The line came back from the identification: the probe waits again.
  void Resumed();
  // Closes the port and puts its line back without another byte.
  void Finish();
  // The bytes received since the conversation began.
  const std::string& Answer() const { return received_; }

  std::function<void()> changed;                      // now Answered or Done
  std::function<void(const std::string&)> sent;       // a command went out
  std::function<void(const std::string& path)> lost;  // the line hung up

 protected:
  void customEvent(QEvent* event) override;

 private:
  enum class Next { SetSpeed, WakeUp, StartCommand };
  void After(long ms, Next next);
  void Step();
  void Receive();
  void Settle(State state);

  const int portIndex_;
  TComPort line_;
  ReplyParser parser_;
  std::string received_;
  ProbeScript script_;
  State state_ = State::Idle;
  Next next_ = Next::SetSpeed;
  QTimer pause_;
  QTimer timeout_;
  bool framingError_ = false;
  int reprobes_ = 0;
};
