#include "app/SearchProbe.h"

#include "core/PortTexts.h"
#include "serial/ComMessages.h"

namespace {

// A port whose line keeps giving framing errors (a meter at another speed,
// noise) is probed again this often, then it counts as silent.
constexpr int kMaxFramingReprobes = 3;
// Pauses of one probe: after the open, after the speed change, between the
// wake-up bytes and the start command, and after a framing error.
constexpr long kOpenPauseMs = 200;
constexpr long kSpeedPauseMs = 200;
constexpr long kWakeUpPauseMs = 500;
constexpr long kFramingPauseMs = 500;

}  // namespace

SearchProbe::SearchProbe(int portIndex, const std::vector<std::string>& portTable,
                         const V24ParameterTag& line, int language, QObject* parent)
    : QObject(parent), portIndex_(portIndex), line_(portTable) {
  V24ParameterTag record = line;
  line_.InitParameter(&record, false);
  line_.SetLanguage(language);
  line_.SetFailureText(PortFailureText);
  pause_.setSingleShot(true);
  connect(&pause_, &QTimer::timeout, this, &SearchProbe::Step);
  // Runs on after it fires: a probe that is tried again gets a whole wait.
  connect(&timeout_, &QTimer::timeout, this, &SearchProbe::Expire);
}

SearchProbe::~SearchProbe() { line_.Close(); }

bool SearchProbe::Open() {
  if (line_.Open(this, portIndex_, true) != INVALID_COM_HANDLE) return true;
  state_ = State::Done;
  return false;
}

void SearchProbe::Begin(const ProbeScript& script, bool opened) {
  if (!line_.IsOpen()) {
    Settle(State::Done);
    return;
  }
  script_ = script;
  state_ = State::Probing;
  // The wait runs from the start of the probe; in the boot-loader pass it
  // starts again with the wake-up bytes.
  timeout_.start(script_.timeoutMs);
  if (opened)
    After(kOpenPauseMs, Next::SetSpeed);
  else {
    next_ = Next::SetSpeed;
    Step();
  }
}

void SearchProbe::After(long ms, Next next) {
  next_ = next;
  const long divided = ms / (script_.delayDivisor > 0 ? script_.delayDivisor : 1);
  pause_.start(static_cast<int>(divided));
}

void SearchProbe::Step() {
  if (state_ != State::Probing || !line_.IsOpen()) return;
  switch (next_) {
    case Next::SetSpeed:
      parser_.Clear();
      received_.clear();
      line_.ChangeBaudrate(script_.baud);
      // Bytes that came at the old rate would be parsed as garbage at the new one.
      line_.PurgeInput();
      After(kSpeedPauseMs, Next::WakeUp);
      return;
    case Next::WakeUp:
      if (script_.bootLoaderPhase) {
        timeout_.start(script_.timeoutMs);
        line_.Write(script_.wakeUp.data(), static_cast<int>(script_.wakeUp.size()), false);
        return;
      }
      line_.Write("\r\n\r\n", -1, false);
      After(kWakeUpPauseMs, Next::StartCommand);
      return;
    case Next::StartCommand:
      line_.Write(script_.startCommand.c_str(), -1, false);
      if (sent) sent(script_.startCommand);
      return;
  }
}

void SearchProbe::customEvent(QEvent* event) {
  const auto* msg = AsComMessage(event);
  if (!msg) return;
  if (msg->message == WM_COM_RXDATA) {
    Receive();
  } else if (msg->message == WM_COM_FRAMEERROR) {
    OnFramingError();
  } else if (msg->message == WM_COM_DISCONNECT) {
    const std::string path = line_.TakeLostDevice();
    if (path.empty() || state_ == State::Done) return;
    if (lost) lost(path);
    Settle(State::Done);
  }
}

void SearchProbe::Receive() {
  // A held answer stays as it is: what follows stays queued on the line for
  // whoever takes the port over.
  if (state_ == State::Answered || state_ == State::Done) return;
  char buffer[ReplyParser::kReadChunk + 1];
  const int n = line_.ReadAvailable(buffer, ReplyParser::kReadChunk);
  if (n <= 0 || state_ != State::Probing) return;
  const std::string_view bytes(buffer, static_cast<std::size_t>(n));
  received_.append(bytes);
  if (received_.size() > ReplyParser::kBufferSize)
    received_.erase(0, received_.size() - ReplyParser::kBufferSize);
  std::vector<ParsedReply> replies;
  parser_.Feed(bytes, replies);
  for (const auto& r : replies) {
    // The workflow goes on only after an acknowledgement, or in the
    // boot-loader pass after the loader's record or acknowledge byte.
    const bool loaderAnswer = r.code == Event::kFramedRecord || r.code == Event::kBslAcknowledge;
    if (r.code == Event::kAcknowledge || (script_.bootLoaderPhase && loaderAnswer)) {
      pause_.stop();
      timeout_.stop();
      Settle(State::Answered);
      return;
    }
  }
}

void SearchProbe::OnFramingError() {
  if (state_ != State::Probing) return;
  framingError_ = true;
  char discard[ReplyParser::kReadChunk + 1];
  line_.ReadAvailable(discard, ReplyParser::kReadChunk);
  if (reprobes_ >= kMaxFramingReprobes) return;
  ++reprobes_;
  // The same port again, at the same speed, after a short pause.
  timeout_.start(script_.timeoutMs);
  After(kFramingPauseMs, Next::SetSpeed);
}

void SearchProbe::Expire() {
  if (state_ != State::Probing) return;
  if (framingError_ && reprobes_ < kMaxFramingReprobes && line_.IsOpen()) {
    ++reprobes_;
    pause_.stop();
    next_ = Next::SetSpeed;
    Step();
    return;
  }
  Settle(State::Done);
}

void SearchProbe::Resumed() {
  state_ = line_.IsOpen() ? State::Probing : State::Done;
  if (state_ == State::Probing) timeout_.start(script_.timeoutMs);
}

void SearchProbe::Finish() {
  pause_.stop();
  timeout_.stop();
  line_.Close();
  state_ = State::Done;
}

void SearchProbe::Settle(State state) {
  if (state == State::Done) Finish();
  state_ = state;
  if (changed) changed();
}
