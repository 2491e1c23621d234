#include <gtest/gtest.h>

#include <vector>

#include "core/Events.h"

namespace {

struct Recorder : EventSubscriber {
  std::vector<int> seen;
  std::vector<int>* order = nullptr;
  int id = 0;
  int consume = -1;  // code to consume
  void OnEvent(EventQueue&, WorkflowEvent& e) override {
    seen.push_back(e.code);
    if (order) order->push_back(id);
    if (e.code == consume) e.Clear();
  }
};

}  // namespace

TEST(EventQueue, EmptyQueueFetchesKindZero) {
  EventQueue q;
  EXPECT_TRUE(q.FetchEvent().IsEmpty());
  q.PostEvent(0);
  q.PostTimer(0);
  EXPECT_TRUE(q.FetchEvent().IsEmpty()) << "code 0 and handle 0 post nothing";
}

TEST(EventQueue, MoreThanFiftyPendingEventsAllComeOutInOrder) {
  EventQueue q;
  // Interleave to move the read position off zero before the ring fills.
  q.PostEvent(1);
  q.PostEvent(2);
  EXPECT_EQ(q.FetchEvent().code, 1);
  for (int i = 3; i <= 130; ++i) q.PostEvent(i, "t" + std::to_string(i));
  for (int i = 2; i <= 130; ++i) {
    WorkflowEvent e = q.FetchEvent();
    ASSERT_EQ(e.code, i);
    if (i >= 3) {
      EXPECT_EQ(e.text, "t" + std::to_string(i));
    }
  }
  EXPECT_TRUE(q.FetchEvent().IsEmpty());
}

TEST(EventQueue, KeysTimersAndValuesKeepTheirKinds) {
  EventQueue q;
  q.PostKey(13);
  q.PostKey(27, 1);
  q.PostTimer(5);
  q.PostValue(30, 7.5);
  EXPECT_TRUE(q.FetchEvent().Is(EventKind::kKey, 13));
  EXPECT_TRUE(q.FetchEvent().Is(EventKind::kKeyAlt, 27));
  EXPECT_TRUE(q.FetchEvent().Is(EventKind::kTimer, 5));
  WorkflowEvent v = q.FetchEvent();
  EXPECT_TRUE(v.Is(EventKind::kNotify, 30));
  EXPECT_DOUBLE_EQ(v.value, 7.5);
}

TEST(EventQueue, LaterSubscribersSeeEventsFirstAndConsumptionStopsTheChain) {
  EventQueue q;
  std::vector<int> order;
  Recorder first, second;
  first.id = 1;
  second.id = 2;
  first.order = second.order = &order;
  q.Subscribe(&first);
  q.Subscribe(&second);
  q.Subscribe(&first);  // already subscribed: called once

  WorkflowEvent e;
  e.kind = EventKind::kNotify;
  e.code = 10010;
  EXPECT_FALSE(q.DispatchEvent(e).IsEmpty());
  EXPECT_EQ(order, (std::vector<int>{2, 1}));

  second.consume = 10010;
  order.clear();
  EXPECT_TRUE(q.DispatchEvent(e).IsEmpty());
  EXPECT_EQ(order, (std::vector<int>{2}));

  q.Unsubscribe(&second);
  order.clear();
  q.DispatchEvent(e);
  EXPECT_EQ(order, (std::vector<int>{1}));
}

TEST(EventQueue, HandlerLeavingTheChainDuringDispatchIsNotCalledAgain) {
  EventQueue q;
  struct Leaver : EventSubscriber {
    EventSubscriber* other = nullptr;
    void OnEvent(EventQueue& queue, WorkflowEvent&) override { queue.Unsubscribe(other); }
  };
  Recorder victim;
  Leaver leaver;
  leaver.other = &victim;
  q.Subscribe(&victim);
  q.Subscribe(&leaver);
  WorkflowEvent e;
  e.kind = EventKind::kNotify;
  e.code = 1;
  q.DispatchEvent(e);
  EXPECT_TRUE(victim.seen.empty());
}
