#pragma once
// The search for an instrument: one pass per baud rate of the list, then
// one in the boot-loader phase, each pass probing all its ports at the same
// time. The pass decides in port order: a port's answer counts once every
// lower port of the pass has answered or timed out. The winner's line is
// handed to the run's port open, its answer still to be parsed; the other
// ports are closed and put back without another byte.
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/DeviceTable.h"
#include "serial/ComPort.h"

class SearchProbe;

class PortSearch : public QObject {
  Q_OBJECT

 public:
  struct Setup {
    std::vector<uint8_t> bauds;  // BaudTag values, one pass each
    bool fixedPort = false;
    int fixedPortIndex = 0;
    int startCommandIndex = 0;
    LoaderKind loaderKind = kLoaderSRecord;
    int language = 0;
    long delayDivisor = 1;   // pauses
    int timeoutDivisor = 1;  // the 5000 ms wait
  };

  struct Hooks {
    std::function<void(int panel, const std::string& text)> status;
    std::function<void(const std::string& paths)> statusHint;
    std::function<void(const std::string& text)> memo;
    std::function<void(const std::string& command)> sent;
    // Shows the boot-loader hint; false when the abort text has none.
    std::function<bool()> showBootLoaderHint;
    // The run's port is open on the winner; the bytes it answered with.
    std::function<void(const std::string& answer)> found;
    std::function<void()> failed;
  };

  // runPort: the component the rest of the run talks through; it takes the
  // snapshot of the port table and, in the end, the winner's line, whose
  // notifications then go to portOwner.
  PortSearch(TComPort& runPort, QObject* portOwner);
  ~PortSearch() override;

  Hooks hooks;

  void Start(const Setup& setup);
  // Ends the search: every probe's port closed and put back.
  void Stop();
  // The identification on the winner's line timed out (or the line gave a
  // framing error): the winner's probe takes the line back and goes on as
  // its own time-out (or framing error) says, and the ports after it in
  // its pass are probed again.
  void Resume(bool framingError);
  // A framing error of a probe's line (COM number = index + 1); false
  // when no probe of the running pass has that port.
  bool OnFramingError(unsigned comNumber);

  // The port of the run: the winner, the pass's first port while a pass
  // runs, or the port a menu entry chose.
  int Port() const { return port_; }
  void SetPort(int index) { port_ = index; }
  // A winner has been handed over and no search has started since.
  bool Handed() const { return handed_; }
  bool FoundInBootLoaderPass() const { return handed_ && bootLoaderPass_; }
  BaudTag FoundBaud() const { return foundBaud_; }

  int FailedSearches() const { return failedSearches_; }
  void CountFailedSearch() { failedSearches_ = 1; }
  void ResetFailedSearches() { failedSearches_ = 0; }
  // The boot-loader hint is shown again by the next search.
  void ResetHint() { hintShown_ = false; }

 private:
  void StartPass();
  // Probes the pass's ports from position `from` of the port list on.
  void ProbeFrom(std::size_t from);
  void ScheduleDecide();
  void Decide();
  void DropProbes(std::size_t from);
  std::string PassPortsText() const;

  TComPort& runPort_;
  QObject* const portOwner_;
  Setup setup_;
  std::vector<int> ports_;  // port indexes searched, in order
  std::vector<std::string> table_;
  std::size_t pass_ = 0;  // index into the baud list; its size = boot-loader pass
  BaudTag passBaud_ = B__2400;
  bool bootLoaderPass_ = false;
  std::vector<SearchProbe*> probes_;  // by position in ports_, children of this
  std::size_t winner_ = 0;
  bool handed_ = false;
  bool running_ = false;
  bool decidePending_ = false;
  bool opening_ = false;     // ports are being opened: nothing is decided yet
  unsigned generation_ = 0;  // a new search or a stop makes older work stale
  int port_ = 0;
  BaudTag foundBaud_ = B__2400;
  int failedSearches_ = 0;
  bool hintShown_ = false;
};
