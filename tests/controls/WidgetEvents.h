#pragma once
// Synthetic input delivered straight to a widget, and a parent that records the notices its
// children post, so tests do not depend on window activation or the pointer's real position.

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <vector>

#include "controls/CBitmapSlider.h"

inline void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
inline void Press(QWidget* w, QPoint at) {
    SendMouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
}
inline void DragTo(QWidget* w, QPoint at) {
    SendMouse(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
}
inline void HoverTo(QWidget* w, QPoint at) {
    SendMouse(w, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
}
inline void Release(QWidget* w, QPoint at) {
    SendMouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}
inline void Key(QWidget* w, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

struct Notice {
    QEvent::Type type;
    int message, controlId, position;
    bool operator==(const Notice&) const = default;
};

// A window that keeps every slider notice posted to it.
class RecordingParent : public QWidget {
public:
    std::vector<Notice> notices;

    // Delivers what has been posted so far and hands it over.
    std::vector<Notice> Take() {
        QCoreApplication::sendPostedEvents(this);
        std::vector<Notice> taken;
        taken.swap(notices);
        return taken;
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() == SliderNotifyEvent::MovingType() ||
            e->type() == SliderNotifyEvent::MovedType()) {
            auto* n = static_cast<SliderNotifyEvent*>(e);
            notices.push_back({e->type(), n->message(), n->controlId(), n->position()});
            return true;
        }
        return QWidget::event(e);
    }
};

inline QPixmap Solid(QSize size, QColor colour) {
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// What the parent shows at a point of its own, children included.
inline QColor ShownAt(QWidget& parent, QPoint at) {
    return parent.grab().toImage().pixelColor(at);
}
