#pragma once
// The event queue that chains the whole workflow: keys, timer expiries,
// received data and parsed replies all arrive here and are handed through
// a chain of subscribers, the most recently subscribed first.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace EventKind {
constexpr int32_t kNone = 0;
constexpr int32_t kKeyAlt = 2;
constexpr int32_t kKey = 16;
constexpr int32_t kNotify = 256;
constexpr int32_t kTimer = 512;
}  // namespace EventKind

struct WorkflowEvent {
  int32_t kind = EventKind::kNone;
  int32_t aux = 0;
  int32_t code = 0;
  // The reply text or value travels inside the event: a later reply line
  // must not overwrite the text of an event that is still queued.
  std::string text;
  double value = 0.0;

  bool IsEmpty() const { return kind == EventKind::kNone; }
  bool Is(int32_t k, int32_t c) const { return kind == k && code == c; }
  void Clear() { *this = WorkflowEvent{}; }
};

class EventQueue;

class EventSubscriber {
 public:
  virtual ~EventSubscriber() = default;
  // Clear the event to consume it; leave it unchanged to pass it on.
  virtual void OnEvent(EventQueue& queue, WorkflowEvent& event) = 0;
};

// Binds a member function as a subscriber; the object keeps one of these
// per handler, so the pair (handler, object) is the subscriber's identity.
template <class T>
class MemberSubscriber : public EventSubscriber {
 public:
  using Handler = void (T::*)(EventQueue&, WorkflowEvent&);
  MemberSubscriber(T* object, Handler handler) : object_(object), handler_(handler) {}
  void OnEvent(EventQueue& queue, WorkflowEvent& event) override {
    (object_->*handler_)(queue, event);
  }

 private:
  T* object_;
  Handler handler_;
};

class EventQueue {
 public:
  static constexpr std::size_t kNormalCapacity = 50;

  EventQueue();

  void PostKey(int32_t code, int flag = 0);
  void PostEvent(int32_t code, std::string_view text = {}, int32_t aux = 0);
  void PostValue(int32_t code, double value);
  void PostTimer(int32_t handle);
  WorkflowEvent FetchEvent();
  bool HasPending() const { return count_ > 0; }
  std::size_t Pending() const { return count_; }

  void Subscribe(EventSubscriber* subscriber);
  void Unsubscribe(EventSubscriber* subscriber);
  bool IsSubscribed(const EventSubscriber* subscriber) const;
  WorkflowEvent DispatchEvent(WorkflowEvent event);

 private:
  void Append(WorkflowEvent event);

  // A ring of 50 events that grows instead of overwriting an unread one:
  // a lost failure event would leave a run hanging.
  std::vector<WorkflowEvent> ring_;
  std::size_t read_ = 0;
  std::size_t count_ = 0;
  std::vector<EventSubscriber*> chain_;
};
