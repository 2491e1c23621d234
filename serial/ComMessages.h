#pragma once
// Notifications of the serial-port component to its owner. The receive
// thread posts them into the owner's Qt event queue, so the owner handles
// them on its own thread (in customEvent or event()); nothing calls into the
// owner directly.
#include <QEvent>

inline constexpr unsigned WM_APP = 0x8000;
inline constexpr unsigned WM_COM_RXDATA = WM_APP + 2000;       // 34768
inline constexpr unsigned WM_COM_FRAMEERROR = WM_APP + 2020;   // 34788
inline constexpr unsigned WM_COM_OVERRUN = WM_APP + 2030;      // 34798
inline constexpr unsigned WM_COM_PARITYERROR = WM_APP + 2040;  // 34808

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
