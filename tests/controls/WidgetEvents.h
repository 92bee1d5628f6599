#pragma once
// Synthetic input delivered straight to a widget, and a recorder of a slider's signals, so
// tests do not depend on window activation or the pointer's real position.

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
    bool moved;  // false: moving
    int position;
    bool operator==(const Notice&) const = default;
};

// What a slider signals, in order.
class SliderNotices {
public:
    explicit SliderNotices(CBitmapSlider& slider) {
        QObject::connect(&slider, &CBitmapSlider::moving, [this](int position) {
            notices.push_back({false, position});
        });
        QObject::connect(&slider, &CBitmapSlider::moved, [this](int position) {
            notices.push_back({true, position});
        });
    }

    // What has been signalled since the last time, handed over.
    std::vector<Notice> Take() {
        std::vector<Notice> taken;
        taken.swap(notices);
        return taken;
    }

private:
    std::vector<Notice> notices;
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
