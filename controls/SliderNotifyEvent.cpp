#include "controls/CBitmapSlider.h"

namespace {

QEvent::Type RegisteredType(int hint) {
    // registerEventType hands out the hint itself while it is free, so the notices normally
    // carry their message numbers as their event types.
    return static_cast<QEvent::Type>(QEvent::registerEventType(hint));
}

}  // namespace

QEvent::Type SliderNotifyEvent::MovingType() {
    static const QEvent::Type type = RegisteredType(kMovingMessage);
    return type;
}

QEvent::Type SliderNotifyEvent::MovedType() {
    static const QEvent::Type type = RegisteredType(kMovedMessage);
    return type;
}

SliderNotifyEvent::SliderNotifyEvent(int message, int controlId, int position)
    : QEvent(message == kMovingMessage ? MovingType() : MovedType()),
      m_nMessage(message == kMovingMessage ? kMovingMessage : kMovedMessage),
      m_nControlId(controlId),
      m_nPosition(position) {}
