#include "app/PortSearch.h"

#include <QMetaObject>

#include "app/CommandTexts.h"
#include "app/SearchProbe.h"
#include "core/PortTexts.h"

namespace {

constexpr int kSearchTimeoutMs = 5000;

std::string ComName(int index) { return "Com" + std::to_string(index + 1); }

}  // namespace

PortSearch::PortSearch(TComPort& runPort, QObject* portOwner)
    : runPort_(runPort), portOwner_(portOwner) {}

PortSearch::~PortSearch() {
  ++generation_;
  for (SearchProbe* probe : probes_) delete probe;
}

void PortSearch::Start(const Setup& setup) {
  Stop();
  setup_ = setup;
  runPort_.Close();
  // One snapshot of the port table per search.
  runPort_.Check_AllV24();
  table_ = runPort_.PortTable();
  ports_.clear();
  if (setup_.fixedPort) {
    ports_.push_back(setup_.fixedPortIndex);
  } else {
    for (int i = 0; i < runPort_.GetMaxV24Useable(); ++i)
      ports_.push_back(runPort_.Get_UseableV24(i));
  }
  V24ParameterTag* record = runPort_.GetV24Parameter();
  record->Paritaet = NoParity;
  record->StopBits = S_2;
  runPort_.InitParameter(record, false);
  pass_ = 0;
  running_ = true;
  StartPass();
}

void PortSearch::Stop() {
  ++generation_;
  running_ = false;
  handed_ = false;
  decidePending_ = false;
  opening_ = false;
  DropProbes(0);
}

void PortSearch::StartPass() {
  const unsigned generation = generation_;
  bootLoaderPass_ = pass_ >= setup_.bauds.size();
  const bool tiTxt = setup_.loaderKind == kLoaderTiTxt;
  if (bootLoaderPass_) {
    // The run's record too: what follows a loader's answer opens with it.
    V24ParameterTag* record = runPort_.GetV24Parameter();
    record->StopBits = S_1;
    if (tiTxt) {
      record->Paritaet = Even;
      record->Baudrate = B__9600;
    }
    runPort_.InitParameter(record, false);
    // The bootstrap loader listens at 9600 baud; the other loaders are
    // woken at the speed of the last pass.
    if (tiTxt)
      passBaud_ = B__9600;
    else
      passBaud_ = setup_.bauds.empty() ? B__2400 : static_cast<BaudTag>(setup_.bauds.back());
  } else {
    passBaud_ = static_cast<BaudTag>(setup_.bauds[pass_]);
  }
  if (!ports_.empty()) port_ = ports_.front();
  if (hooks.status) {
    hooks.status(0, PassPortsText());
    hooks.status(1, bootLoaderPass_ ? std::string("BL-Baud") : BaudName(passBaud_));
  }
  if (hooks.statusHint) {
    std::string paths;
    for (int port : ports_) paths += (paths.empty() ? "" : "\n") + runPort_.DevicePath(port);
    hooks.statusHint(paths);
  }
  if (bootLoaderPass_ && tiTxt && !hintShown_ && !ports_.empty() && hooks.showBootLoaderHint) {
    // Shown with every port of the pass still closed.
    hintShown_ = true;
    if (!hooks.showBootLoaderHint()) hintShown_ = false;
    if (generation != generation_) return;
  }
  ProbeFrom(0);
}

void PortSearch::ProbeFrom(std::size_t from) {
  const unsigned generation = generation_;
  DropProbes(from);
  ProbeScript script;
  script.baud = passBaud_;
  script.bootLoaderPhase = bootLoaderPass_;
  script.startCommand = std::string(StartCommand(setup_.startCommandIndex));
  script.wakeUp = std::string(WakeUpBytes(setup_.loaderKind));
  const int divisor = setup_.timeoutDivisor > 0 ? setup_.timeoutDivisor : 1;
  script.timeoutMs = kSearchTimeoutMs / divisor > 0 ? kSearchTimeoutMs / divisor : 1;
  script.delayDivisor = setup_.delayDivisor;
  const V24ParameterTag line = *runPort_.GetV24Parameter();

  opening_ = true;
  for (std::size_t i = from; i < ports_.size(); ++i) {
    auto* probe = new SearchProbe(ports_[i], table_, line, setup_.language, this);
    probe->changed = [this, generation] {
      if (generation == generation_) ScheduleDecide();
    };
    probe->sent = [this](const std::string& command) {
      if (hooks.sent) hooks.sent(command);
    };
    probe->lost = [this](const std::string& path) {
      if (hooks.memo) hooks.memo(PortDisconnectedText(path, setup_.language));
    };
    probes_.push_back(probe);
    if (probe->Open() && probe->Line().LineFault() != LineCheck::Ok && hooks.memo)
      hooks.memo(LineFaultText(runPort_.DevicePath(ports_[i]), probe->Line().LineFault(),
                               probe->Line().LineError(), setup_.language));
    // An error box's event loop may have stopped or restarted the search.
    if (generation != generation_) return;
  }
  opening_ = false;
  for (std::size_t i = from; i < probes_.size(); ++i)
    if (probes_[i]->GetState() == SearchProbe::State::Idle) probes_[i]->Begin(script, true);
  ScheduleDecide();
}

void PortSearch::ScheduleDecide() {
  if (decidePending_) return;
  decidePending_ = true;
  // Decided from the event loop, never inside a probe's own handler: the
  // decision closes probes and calls into the workflow.
  QMetaObject::invokeMethod(
      this,
      [this, generation = generation_] {
        if (generation != generation_) return;
        decidePending_ = false;
        Decide();
      },
      Qt::QueuedConnection);
}

void PortSearch::Decide() {
  // While an error box of an open runs its event loop, the pass is not
  // complete yet.
  if (!running_ || handed_ || opening_) return;
  for (std::size_t i = 0; i < probes_.size(); ++i) {
    SearchProbe* probe = probes_[i];
    if (probe->GetState() == SearchProbe::State::Done) continue;
    // A lower port that is still being probed holds every answer above it.
    if (probe->GetState() != SearchProbe::State::Answered) return;
    for (std::size_t j = 0; j < probes_.size(); ++j)
      if (j != i) probes_[j]->Finish();
    winner_ = i;
    handed_ = true;
    port_ = probe->PortIndex();
    foundBaud_ = passBaud_;
    runPort_.TakeOver(probe->Line(), portOwner_);
    if (hooks.found) hooks.found(probe->Answer());
    return;
  }
  DropProbes(0);
  ++pass_;
  if (pass_ > setup_.bauds.size()) {
    running_ = false;
    if (hooks.failed) hooks.failed();
    return;
  }
  StartPass();
}

void PortSearch::Resume(bool framingError) {
  if (!running_ || !handed_ || winner_ >= probes_.size()) return;
  const unsigned generation = generation_;
  handed_ = false;
  SearchProbe* winner = probes_[winner_];
  if (runPort_.IsOpen() && runPort_.OpenPort() == winner->PortIndex())
    winner->Line().TakeOver(runPort_, winner);
  else
    runPort_.Close();
  winner->Resumed();
  if (hooks.status) hooks.status(0, PassPortsText());
  ProbeFrom(winner_ + 1);
  if (generation != generation_) return;
  if (framingError)
    winner->OnFramingError();
  else
    winner->Expire();
  ScheduleDecide();
}

bool PortSearch::OnFramingError(unsigned comNumber) {
  if (!running_ || handed_) return false;
  for (SearchProbe* probe : probes_) {
    if (static_cast<unsigned>(probe->PortIndex()) + 1 != comNumber) continue;
    probe->OnFramingError();
    return true;
  }
  return false;
}

void PortSearch::DropProbes(std::size_t from) {
  while (probes_.size() > from) {
    SearchProbe* probe = probes_.back();
    probes_.pop_back();
    probe->changed = nullptr;
    probe->Finish();
    // It may be the probe whose handler runs now.
    probe->deleteLater();
  }
}

// "Com1-Com8", or runs joined by commas where the ports leave gaps.
std::string PortSearch::PassPortsText() const {
  std::string text;
  for (std::size_t i = 0; i < ports_.size();) {
    std::size_t j = i;
    while (j + 1 < ports_.size() && ports_[j + 1] == ports_[j] + 1) ++j;
    if (!text.empty()) text += ",";
    text += ComName(ports_[i]);
    if (j > i) text += "-" + ComName(ports_[j]);
    i = j + 1;
  }
  return text;
}
