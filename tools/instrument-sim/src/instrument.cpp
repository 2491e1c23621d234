#include "instrument.h"

#include <algorithm>
#include <cstdio>

#include "ini_file.h"
#include "pty_link.h"

namespace sim {
namespace {

const char* kAck = "!";
const char* kReject = "?";
constexpr size_t kMaxLine = 4096;  // a meter's line buffer; longer noise is dropped

std::string infoLine(int code, const std::string& text) {
  return "I." + std::to_string(code) + "#" + text;
}

}  // namespace

Instrument::Instrument(const Profile& profile, const Bsl430Settings& settings, InstrumentLine& line)
    : profile_(profile),
      line_(line),
      bsl_(profile, settings, line, counter_),
      sensorBsl_(profile, settings, line, counter_, true),
      basic_(profile, line),
      external_(profile, line, counter_),
      wince_(profile, line),
      appBaud_(profile.baudRate) {
  if (profile.startInLoader && profile.target == TargetKind::Bsl) enterBootstrap(false);
  if (profile.startInLoader && profile.target == TargetKind::External) {
    mode_ = Mode::ExternalLoader;
    inTransfer_ = true;
    external_.arm();
  }
}

void Instrument::connectionChanged(bool connected) {
  line_.report().event("", "state",
                       connected ? "port opened by the tool" : "port closed by the tool");
  // What a meter half-received when the cable went away is garbage.
  if (!connected && mode_ == Mode::Firmware) buffer_.clear();
}

void Instrument::lineSpeedSettled(unsigned baud) {
  if (mode_ == Mode::Bootstrap) activeBsl_->lineSpeedSettled(baud);
}

void Instrument::received(std::string_view bytes) {
  if (unplugged_) return;
  if (inTransfer_ && !countTransferBytes(bytes.size())) return;
  dispatch(bytes);
}

void Instrument::dispatch(std::string_view bytes) {
  switch (mode_) {
    case Mode::Firmware: interpret(bytes); break;
    case Mode::Bootstrap:
      activeBsl_->received(bytes);
      if (activeBsl_->firmwareStarted()) firmwareRestarted(profile_.appStartMs);
      break;
    case Mode::BasicLoader:
      basic_.received(bytes);
      if (basic_.finished()) {
        if (profile_.basicLoaderRestartMs > 0) line_.pauseReading(profile_.basicLoaderRestartMs);
        firmwareRestarted(0);
      }
      break;
    case Mode::ExternalLoader:
      external_.received(bytes);
      if (external_.complete()) {
        mode_ = Mode::Firmware;
        started_ = true;
        transferDone_ = true;
        inTransfer_ = false;
        if (!profile_.loaderDoneReply.empty()) {
          // The restarted firmware greets; lost unless the tool holds the port by then.
          line_.send(profile_.loaderDoneReply + "\r\n", profile_.appStartMs, appBaud_);
          line_.report().event("tx", "line", profile_.loaderDoneReply, appBaud_);
        }
      }
      break;
  }
}

bool Instrument::countTransferBytes(size_t n) {
  transferBytes_ += static_cast<long>(n);
  if (profile_.stallAfterBytes > 0 && !stalled_ && transferBytes_ >= profile_.stallAfterBytes) {
    stalled_ = true;
    line_.report().event("", "fault",
                         "stops reading for " + std::to_string(profile_.stallMs) + " ms");
    line_.pauseReading(profile_.stallMs);
  }
  if (profile_.unplugAfterBytes > 0 && transferBytes_ >= profile_.unplugAfterBytes) {
    unplugged_ = true;
    line_.unplug("unplugged after " + std::to_string(transferBytes_) + " transfer bytes");
    return false;
  }
  return true;
}

void Instrument::firmwareRestarted(unsigned delayMs) {
  mode_ = Mode::Firmware;
  appBaud_ = profile_.baudRate;
  started_ = true;
  transferDone_ = true;
  inTransfer_ = false;
  buffer_.clear();
  if (delayMs > 0) {
    // The new firmware greets at its own speed once it runs.
    const auto& replies = profile_.appStartReplies;
    const std::string& greeting = replies[std::min<std::size_t>(appStarts_, replies.size() - 1)];
    ++appStarts_;
    line_.send(greeting + "\r\n", static_cast<int>(delayMs), appBaud_, !profile_.appStartStrict);
    line_.report().event("tx", "line", greeting, appBaud_);
  }
}

void Instrument::enterBootstrap(bool sensor) {
  mode_ = Mode::Bootstrap;
  inTransfer_ = true;
  buffer_.clear();
  activeBsl_ = sensor ? &sensorBsl_ : &bsl_;
  activeBsl_->enter();
}

void Instrument::interpret(std::string_view bytes) {
  buffer_.append(bytes);
  for (;;) {
    if (wince_.active() && buffer_.rfind("D.", 0) == 0) {
      if (line_.lineBaud() != appBaud_) {
        line_.report().event("rx", "ignored",
                             "data frame (meter listens at " + std::to_string(appBaud_) + ")",
                             line_.lineBaud());
        buffer_.clear();
        return;
      }
      std::string answer;
      auto parsed = wince_.takeFrame(buffer_, answer);
      if (parsed == WinCeReceiver::Parse::Incomplete) return;
      if (parsed == WinCeReceiver::Parse::Frame) {
        if (!answer.empty()) {
          line_.send(answer + "\r\n", profile_.replyDelayMs);
          line_.report().event("tx", "line", answer, appBaud_);
        }
        continue;
      }
    }
    size_t end = buffer_.find("\r\n");
    if (end == std::string::npos) {
      if (buffer_.size() > kMaxLine) buffer_.clear();
      return;
    }
    std::string text = buffer_.substr(0, end);
    buffer_.erase(0, end + 2);
    onLine(text);
    if (mode_ != Mode::Firmware) {
      // Whatever followed belongs to the loader now.
      std::string rest;
      rest.swap(buffer_);
      if (!rest.empty()) dispatch(rest);
      return;
    }
  }
}

void Instrument::onLine(const std::string& text) {
  if (text.empty()) return;
  unsigned baud = line_.lineBaud();
  if (baud != appBaud_) {
    line_.report().event("rx", "ignored",
                         text + " (meter listens at " + std::to_string(appBaud_) + ")", baud);
    return;
  }
  line_.report().event("rx", "line", text, baud);
  if (profile_.silent || wince_.silent()) return;
  if (text.rfind("A.", 0) != 0) return;  // noise is not a command
  size_t hash = text.find('#');
  std::string code = text.substr(0, hash);
  std::string arg = hash == std::string::npos ? "" : text.substr(hash + 1);
  command(code, arg, text);
}

void Instrument::reply(const std::string& code, std::vector<std::string> lines, unsigned occurrence,
                       unsigned requiredBaud) {
  auto extra = profile_.replyExtra.find(code);
  if (extra != profile_.replyExtra.end())
    lines.insert(lines.end(), extra->second.begin(), extra->second.end());
  if (profile_.dropReply.matches(code, occurrence)) {
    line_.report().event("", "fault",
                         "reply to " + code + " #" + std::to_string(occurrence) + " dropped");
    return;
  }
  std::string out;
  for (const std::string& l : lines) {
    out += l + "\r\n";
    line_.report().event("tx", "line", l, requiredBaud ? requiredBaud : appBaud_);
  }
  line_.send(out, profile_.replyDelayMs, requiredBaud);
}

void Instrument::command(const std::string& code, const std::string& arg, const std::string& text) {
  unsigned n = counter_.bump(code);
  if (profile_.noAnswer.matches(code, n)) {
    line_.report().event("", "fault", "no answer to " + code + " #" + std::to_string(n));
    return;
  }
  if (profile_.reject.matches(code, n)) {
    line_.report().event("", "fault", "rejects " + code + " #" + std::to_string(n));
    reply(code, {kReject}, n);
    return;
  }
  bool isStart = code == "A.1111" || code == "A.1000";
  if (!started_ && isStart && code != profile_.startCommand)
    return;  // asleep until its own start command
  if (isStart) started_ = true;

  // "Reply.A.1200:2" replaces only the second answer, "Reply.A.1200" every one.
  auto over = profile_.replyOverride.find(code + ":" + std::to_string(n));
  if (over == profile_.replyOverride.end()) over = profile_.replyOverride.find(code);
  if (over != profile_.replyOverride.end()) {
    reply(code, over->second, n);
    return;
  }

  const TargetKind target = profile_.target;
  if (code == "A.1111" || code == "A.1121") {
    reply(code, {kAck}, n);
    if (profile_.exitOnFinal && transferDone_) line_.endScenario("final command " + code);
  } else if (code == "A.1000" || code == "A.1500") {
    reply(code, {kAck}, n);
  } else if (code == "A.2003") {
    reply(code, {infoLine(profile_.pcbCode, profile_.pcbNumber)}, n);
  } else if (code == "A.2000") {
    reply(code, {infoLine(profile_.deviceCode, profile_.deviceNumber)}, n);
  } else if (code == "A.2001") {
    reply(code, {infoLine(profile_.versionCode, profile_.version)}, n);
  } else if (code == "A.4001") {
    std::vector<std::string> lines{infoLine(profile_.serialCode, profile_.serialNumber)};
    if (!profile_.startupVersion.empty()) lines.push_back(infoLine(2011, profile_.startupVersion));
    if (profile_.usbOnly) lines.push_back(infoLine(262, "USB"));
    reply(code, lines, n);
  } else if (code == "A.2100" && !profile_.startupVersion.empty()) {
    reply(code, {infoLine(2011, profile_.startupVersion)}, n);
  } else if (code == "A.2005") {
    reply(code,
          {profile_.basicLoaderVariant.empty() ? kReject
                                               : infoLine(208, profile_.basicLoaderVariant)},
          n);
  } else if (code == "A.1200" || code == "A.1230" || code == "A.1231") {
    reply(code, {kAck}, n);
    if (target == TargetKind::External) {
      mode_ = Mode::ExternalLoader;
      inTransfer_ = true;
      external_.arm();
    }
  } else if (code == "A.1220" && target == TargetKind::BasicLoader) {
    reply(code, {kAck}, n);
    mode_ = Mode::BasicLoader;
    inTransfer_ = true;
    basic_.enter();
  } else if ((code == "A.5577" || code == "A.5555") && target == TargetKind::Bsl) {
    char vec[16];
    std::snprintf(vec, sizeof vec, "0x%03X", bsl_.passwordVector());
    reply(code, {infoLine(profile_.vectorReplyCode, vec)}, n);
  } else if ((code == "A.5588" || code == "A.5566" || code == "A.5567") &&
             target == TargetKind::Bsl) {
    if (arg != "QX47") {
      line_.report().violation("enter-loader command with the wrong key: " + text);
      reply(code, {kReject}, n);
      return;
    }
    reply(code, {text}, n);
    // A.5566 and A.5567 hand the line to the sensor's processor.
    enterBootstrap(code != "A.5588");
  } else if (code == "A.1600") {
    line_.report().event("", "clock", arg);
    std::string answer =
        profile_.clockReply == "!" ? std::string(kAck) : "I." + profile_.clockReply;
    reply(code, {answer}, n);
  } else if (code == "A.1300" && target == TargetKind::WinCe) {
    auto baud = parseNumber(arg);
    if (!baud || !isStandardBaud(static_cast<unsigned>(*baud))) {
      line_.report().violation("speed command with an unknown rate: " + text);
      reply(code, {kReject}, n);
      return;
    }
    inTransfer_ = true;
    wince_.start();
    appBaud_ = static_cast<unsigned>(*baud);
    // Confirmed at the new speed only, once the tool has followed.
    reply(code, {kAck}, n, appBaud_);
  } else if ((code == "A.1201" || code == "A.1205" || code == "A.1202" || code == "A.1203") &&
             target == TargetKind::WinCe) {
    std::string answer = wince_.command(code, arg);
    if (code == "A.1203" && answer == kAck) transferDone_ = true;
    reply(code, {answer}, n);
  } else {
    reply(code, {kReject}, n);
  }
}

}  // namespace sim
