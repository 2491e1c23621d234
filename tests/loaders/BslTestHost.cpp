#include "tests/loaders/BslTestHost.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cctype>
#include <cstdlib>

#include "serial/ComMessages.h"

BslTestHost::BslTestHost() : replyParser_(this, &BslTestHost::OnReplyEvent) {
  QTimer* timers[5];
  for (std::size_t i = 0; i < timerObjects_.size(); ++i) {
    timers[i] = &timerObjects_[i];
    const int handle = static_cast<int>(i) + 1;
    QObject::connect(&timerObjects_[i], &QTimer::timeout, this, [this, handle] {
      queue_.PostTimer(handle);
      PumpEvents();
    });
  }
  timers_.RegisterTimers(5, timers);
  delay_.SetEnable(true);
  // The window's workflow handler is subscribed first, so it sees what
  // the loader leaves.
  queue_.Subscribe(&replyParser_);
}

BslTestHost::~BslTestHost() {
  port_.Close();
  queue_.Unsubscribe(&replyParser_);
}

bool BslTestHost::OpenPort() {
  port_.Check_AllV24();
  return port_.Open(this, 0, false) != INVALID_COM_HANDLE;
}

void BslTestHost::PumpEvents() {
  for (;;) {
    WorkflowEvent e = queue_.FetchEvent();
    if (e.IsEmpty()) return;
    queue_.DispatchEvent(e);
  }
}

void BslTestHost::WaitForMessages() {
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void BslTestHost::SetTitleProgress(const std::string& prefix, double percent) {
  lastPercent = percent;
  percents.push_back(percent);
  lastPrefix = prefix;
  if (prefixes.empty() || prefixes.back() != prefix) prefixes.push_back(prefix);
  if (onProgress) onProgress(percent);
}

bool BslTestHost::event(QEvent* e) {
  const auto* msg = AsComMessage(e);
  if (!msg) return QObject::event(e);
  if (msg->message == WM_COM_RXDATA) {
    queue_.PostEvent(10000);
    PumpEvents();
  }
  return true;
}

namespace {

// The reply event a line stands for, 0 for none; the text behind "#" of an
// information reply ("I.80#0x1E5", "I.261#2") goes to text.
int ReplyEventOf(const std::string& line, std::string& text) {
  const std::size_t at = line.find("I.");
  if (at != std::string::npos && at + 2 < line.size() &&
      std::isdigit(static_cast<unsigned char>(line[at + 2]))) {
    const std::size_t hash = line.find('#');
    text = hash == std::string::npos ? std::string() : line.substr(hash + 1);
    return std::atoi(line.c_str() + at + 2);
  }
  if (line.find('!') != std::string::npos) return 10010;
  if (line.find("A.") != std::string::npos || line.find("C.") != std::string::npos) return 10011;
  if (line.find('?') != std::string::npos) return 10012;
  return 0;
}

}  // namespace

// A minimal stand-in for the window's reply parser: whole lines only.
void BslTestHost::OnReplyEvent(EventQueue& queue, WorkflowEvent& event) {
  if (!event.Is(EventKind::kNotify, 10000)) return;
  event.Clear();
  char buffer[257];
  const int n = port_.Read(buffer, 256);
  if (n <= 0) return;
  pendingLine_.append(buffer, static_cast<std::size_t>(n));
  std::size_t end;
  while ((end = pendingLine_.find('\n')) != std::string::npos) {
    std::string line = pendingLine_.substr(0, end);
    pendingLine_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    replyLines.push_back(line);
    std::string text;
    if (const int code = ReplyEventOf(line, text)) queue.PostEvent(code, text);
  }
}
