// Painting the background and moving or enlarging the caption-less window by it.
#include "app/WindowFrame.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <utility>

#include "app/MainWindowControls.h"
#include "app/Resource.h"
#include "app/SkinBackground.h"
#include "res/SkinBitmaps.h"

namespace {

const QScreen* ScreenOf(const QWidget& window) {
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

}  // namespace

WindowFrame::WindowFrame(QWidget& window, const MainWindowControls& controls,
                         std::function<bool()> isFullScreen)
    : m_window(window), m_controls(controls), m_isFullScreen(std::move(isFullScreen)) {}

void WindowFrame::CenterDefaultSize() {
    constexpr int w = MainWindowControls::kNormalWidth;
    constexpr int h = MainWindowControls::kNormalHeight;
    m_window.resize(w, h);
    if (const QScreen* screen = ScreenOf(m_window)) {
        m_window.move(screen->availableGeometry().center() - QPoint(w / 2, h / 2));
    }
}

void WindowFrame::LoadBackground() {
    m_bmpBackground = LoadSkinBitmap(IDB_BACKGROUND);
    m_bmpComposed = QPixmap();
    // The background's size is the smallest and the first size; the user may enlarge it.
    m_window.setMinimumSize(MainWindowControls::kNormalWidth, MainWindowControls::kNormalHeight);
    m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (m_rcRestore.isValid()) {
        m_window.setGeometry(m_rcRestore);
        m_rcRestore = QRect();
    } else {
        CenterDefaultSize();
    }
}

void WindowFrame::EnterFullScreen() {
    m_rcRestore = m_window.geometry();
    m_bmpBackground = QPixmap();
    m_bmpComposed = QPixmap();
    m_window.setMinimumSize(0, 0);
    m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* screen = ScreenOf(m_window)) {
        // Without a window manager a full-screen request does nothing, so size the window too.
        m_window.setGeometry(screen->geometry());
    }
    m_window.showFullScreen();
}

void WindowFrame::Paint() {
    QPainter painter(&m_window);
    painter.fillRect(m_window.rect(), Qt::black);
    if (m_isFullScreen() || m_bmpBackground.isNull()) return;
    const QSize size = m_window.size();
    if (size == m_bmpBackground.size()) {
        painter.drawPixmap(0, 0, m_bmpBackground);
        return;
    }
    if (m_bmpComposed.size() != size) {
        m_bmpComposed =
            ComposeSkinBackground(m_bmpBackground, size,
                                  {m_controls.curTime->geometry(), m_controls.totalTime->geometry(),
                                   m_controls.speed->geometry()});
    }
    painter.drawPixmap(0, 0, m_bmpComposed);
}

// The right and bottom edges of the frameless normal window enlarge it.
Qt::Edges WindowFrame::ResizeEdgesAt(QPoint at) const {
    if (m_isFullScreen()) return {};
    Qt::Edges edges;
    if (at.x() >= m_window.width() - kResizeEdgePx) edges |= Qt::RightEdge;
    if (at.y() >= m_window.height() - kResizeEdgePx) edges |= Qt::BottomEdge;
    return edges;
}

// The whole background is a drag handle in the normal window (controls take their own
// presses); in full screen the window stays put.
void WindowFrame::MousePress(QMouseEvent* event) {
    const Qt::Edges edges = ResizeEdgesAt(event->position().toPoint());
    QWindow* handle = m_window.windowHandle();
    if (event->button() == Qt::LeftButton && edges && handle && handle->startSystemResize(edges)) {
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && !m_isFullScreen()) {
        m_bDragging = true;
        m_dragOffset = event->globalPosition().toPoint() - m_window.frameGeometry().topLeft();
    }
    event->accept();
}

void WindowFrame::MouseMove(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        const Qt::Edges edges = ResizeEdgesAt(event->position().toPoint());
        if (edges == (Qt::RightEdge | Qt::BottomEdge))
            m_window.setCursor(Qt::SizeFDiagCursor);
        else if (edges == Qt::RightEdge)
            m_window.setCursor(Qt::SizeHorCursor);
        else if (edges == Qt::BottomEdge)
            m_window.setCursor(Qt::SizeVerCursor);
        else
            m_window.unsetCursor();
    }
    if (m_bDragging && (event->buttons() & Qt::LeftButton) && !m_isFullScreen()) {
        m_window.move(event->globalPosition().toPoint() - m_dragOffset);
    }
    event->accept();
}

void WindowFrame::MouseRelease(QMouseEvent* event) {
    m_bDragging = false;
    event->accept();
}
