#pragma once
// Notifications of the serial-port component to its owner. The receive
// thread posts them into the owner's Qt event queue, so the owner handles
// them on its own thread (in customEvent or event()); nothing calls into the
// owner directly.
#include <QCoreApplication>
#include <QEvent>
#include <atomic>

inline constexpr unsigned WM_APP = 0x8000;
inline constexpr unsigned WM_COM_RXDATA = WM_APP + 2000;       // 34768
inline constexpr unsigned WM_COM_FRAMEERROR = WM_APP + 2020;   // 34788
inline constexpr unsigned WM_COM_OVERRUN = WM_APP + 2030;      // 34798
inline constexpr unsigned WM_COM_PARITYERROR = WM_APP + 2040;  // 34808
// The line hung up (adapter unplugged): the port has closed itself or does
// so at the next Read or Write; TComPort::TakeLostDevice names it.
inline constexpr unsigned WM_COM_DISCONNECT = WM_APP + 2050;  // 34818

class ComMessageEvent : public QEvent {
 public:
  // The registered event type all serial notifications share.
  static QEvent::Type EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }

  ComMessageEvent(unsigned msg, unsigned comNumber)
      : QEvent(EventType()), message(msg), wParam(comNumber) {}

  unsigned message;  // one of the WM_COM_ values
  unsigned wParam;   // COM number: port index + 1
};

// Qt hands a posted event to the owner's thread under a lock of its own that
// the thread checker cannot see. The hand-over is therefore also published
// through this counter: PostComMessage counts with release order after the
// event is built, and AsComMessage loads it with acquire order before the
// event is looked at. Every receiver reads notifications through AsComMessage.
inline std::atomic<unsigned> comMessagesPosted{0};

inline void PostComMessage(QObject* owner, unsigned message, unsigned comNumber) {
  auto* event = new ComMessageEvent(message, comNumber);
  comMessagesPosted.fetch_add(1, std::memory_order_release);
  QCoreApplication::postEvent(owner, event);
}

// The notification carried by `event`, or nullptr for any other event.
inline const ComMessageEvent* AsComMessage(const QEvent* event) {
  (void)comMessagesPosted.load(std::memory_order_acquire);
  if (event->type() != ComMessageEvent::EventType()) return nullptr;
  return static_cast<const ComMessageEvent*>(event);
}
