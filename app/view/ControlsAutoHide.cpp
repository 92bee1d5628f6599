#include "app/view/ControlsAutoHide.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

ControlsAutoHide::ControlsAutoHide(QWidget& window, std::function<void(bool)> show)
    : QObject(&window), m_window(window), m_show(std::move(show)) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kHideAfterMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { HideUnlessOverControls(); });
}

void ControlsAutoHide::SetActive(bool active) {
    if (active == m_active) return;
    m_active = active;
    // The window's own QWindow sees every movement of the pointer over it, whichever child
    // lies beneath (the pictures do not track the mouse).
    if (active)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
    Show();
    if (active)
        m_timer.start();
    else
        m_timer.stop();
}

bool ControlsAutoHide::eventFilter(QObject* watched, QEvent* event) {
    if (m_active && event->type() == QEvent::MouseMove && watched == m_window.windowHandle()) {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        // Some window systems repeat the last position when nothing moved.
        if (at != m_lastPos) {
            m_lastPos = at;
            Show();
            m_timer.start();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ControlsAutoHide::Show() {
    if (m_shown) return;
    m_shown = true;
    m_window.unsetCursor();
    m_show(true);
}

void ControlsAutoHide::HideUnlessOverControls() {
    if (!m_active || !m_shown) return;
    const QPoint at = m_window.mapFromGlobal(QCursor::pos());
    const bool inside = m_window.rect().contains(at);
    const bool overControls =
        inside && (at.y() >= m_window.height() - kBottomBandPx || at.y() < kTopBandPx);
    if (overControls || QGuiApplication::mouseButtons() != Qt::NoButton) {
        m_timer.start();
        return;
    }
    m_shown = false;
    m_window.setCursor(Qt::BlankCursor);
    m_show(false);
}
