#include "app/view/QtVideoClickFilter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

QtVideoClickFilter::QtVideoClickFilter(QObject* parent) : QObject(parent) {
    m_clickTimer.setSingleShot(true);
    connect(&m_clickTimer, &QTimer::timeout, this, &QtVideoClickFilter::clicked);
}

void QtVideoClickFilter::Watch(QWidget* widget) {
    widget->installEventFilter(this);
}

bool QtVideoClickFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) break;
            m_pressAt = mouse->globalPosition().toPoint();
            m_bPressed = true;
            m_bSecondPress = event->type() == QEvent::MouseButtonDblClick;
            if (m_bSecondPress) {
                m_clickTimer.stop();  // the first click was half of this double click
                emit doubleClicked();
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !m_bPressed) break;
            m_bPressed = false;
            const bool moved = (mouse->globalPosition().toPoint() - m_pressAt).manhattanLength() >=
                               QApplication::startDragDistance();
            // A drag moved the window; the second release of a double click is not a click.
            if (moved || m_bSecondPress) break;
            m_clickTimer.start(m_nDoubleClickMs >= 0 ? m_nDoubleClickMs
                                                     : QApplication::doubleClickInterval());
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
