#include "core/Events.h"

#include <algorithm>
#include <utility>

EventQueue::EventQueue() : ring_(kNormalCapacity) {}

void EventQueue::Append(WorkflowEvent event) {
  if (count_ == ring_.size()) {
    std::vector<WorkflowEvent> larger(ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i)
      larger[i] = std::move(ring_[(read_ + i) % ring_.size()]);
    ring_ = std::move(larger);
    read_ = 0;
  }
  ring_[(read_ + count_) % ring_.size()] = std::move(event);
  ++count_;
}

void EventQueue::PostKey(int32_t code, int flag) {
  WorkflowEvent e;
  e.kind = flag == 1 ? EventKind::kKeyAlt : EventKind::kKey;
  e.code = code;
  Append(std::move(e));
}

void EventQueue::PostEvent(int32_t code, std::string_view text, int32_t aux) {
  if (code == 0) return;
  WorkflowEvent e;
  e.kind = EventKind::kNotify;
  e.code = code;
  e.aux = aux;
  e.text = std::string(text);
  Append(std::move(e));
}

void EventQueue::PostValue(int32_t code, double value) {
  if (code == 0) return;
  WorkflowEvent e;
  e.kind = EventKind::kNotify;
  e.code = code;
  e.value = value;
  Append(std::move(e));
}

void EventQueue::PostTimer(int32_t handle) {
  if (handle == 0) return;
  WorkflowEvent e;
  e.kind = EventKind::kTimer;
  e.code = handle;
  Append(std::move(e));
}

WorkflowEvent EventQueue::FetchEvent() {
  if (count_ == 0) return {};
  WorkflowEvent e = std::move(ring_[read_]);
  ring_[read_].Clear();
  read_ = (read_ + 1) % ring_.size();
  --count_;
  return e;
}

void EventQueue::Subscribe(EventSubscriber* subscriber) {
  if (subscriber && !IsSubscribed(subscriber)) chain_.push_back(subscriber);
}

void EventQueue::Unsubscribe(EventSubscriber* subscriber) {
  chain_.erase(std::remove(chain_.begin(), chain_.end(), subscriber), chain_.end());
}

bool EventQueue::IsSubscribed(const EventSubscriber* subscriber) const {
  return std::find(chain_.begin(), chain_.end(), subscriber) != chain_.end();
}

WorkflowEvent EventQueue::DispatchEvent(WorkflowEvent event) {
  // Handlers subscribe and unsubscribe while an event is on its way (a
  // loader lives only inside one handler call), so walk a snapshot and skip
  // whoever has left the chain meanwhile.
  const std::vector<EventSubscriber*> snapshot = chain_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if (event.IsEmpty()) break;  // consumed: earlier subscribers would ignore it
    if (!IsSubscribed(*it)) continue;
    (*it)->OnEvent(*this, event);
  }
  return event;
}
