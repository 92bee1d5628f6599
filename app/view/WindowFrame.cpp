// Painting the background and moving or enlarging the caption-less window by it.
#include "app/view/WindowFrame.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "app/view/ControlPlaces.h"
#include "app/view/MainWindowControls.h"
#include "app/view/SkinBackground.h"
#include "app/window/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "res/SkinBitmaps.h"

namespace {

const QScreen* ScreenOf(const QWidget& window) {
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

}  // namespace

WindowFrame::WindowFrame(QWidget& window, const MainWindowControls& controls,
                         std::function<bool()> isFullScreen)
    : m_window(window), m_controls(controls), m_isFullScreen(std::move(isFullScreen)) {}

QRect WindowFrame::FirstPlace(const QRect& available, const QRect& remembered) {
    constexpr int minWidth = ControlPlaces::kMinWidth, minHeight = ControlPlaces::kMinHeight;
    if (remembered.isValid() && remembered.width() >= minWidth &&
        remembered.height() >= minHeight && available.contains(remembered))
        return remembered;
    const QSize size = QSize(MainWindowControls::kNormalWidth, MainWindowControls::kNormalHeight)
                           .boundedTo(available.size())
                           .expandedTo(QSize(minWidth, minHeight));
    QRect place(QPoint(), size);
    place.moveCenter(available.center());
    // A free area smaller than the smallest window: its top left corner stays on screen.
    place.moveLeft(std::max(place.left(), available.left()));
    place.moveTop(std::max(place.top(), available.top()));
    return place;
}

void WindowFrame::PlaceFirst(const QRect& remembered) {
    const QScreen* screen = ScreenOf(m_window);
    if (!screen) {
        m_window.resize(MainWindowControls::kNormalWidth, MainWindowControls::kNormalHeight);
        return;
    }
    // The place left last time counts on whichever screen holds it now.
    QRect available = screen->availableGeometry();
    if (remembered.isValid()) {
        for (const QScreen* other : QGuiApplication::screens())
            if (other->availableGeometry().contains(remembered))
                available = other->availableGeometry();
    }
    m_window.setGeometry(FirstPlace(available, remembered));
}

void WindowFrame::PlaceRemembered(const QRect& remembered) {
    if (m_isFullScreen() || !remembered.isValid()) return;
    PlaceFirst(remembered);
}

QRect WindowFrame::NormalGeometry() const {
    return m_isFullScreen() && m_rcRestore.isValid() ? m_rcRestore : m_window.geometry();
}

void WindowFrame::LoadBackground() {
    m_bmpBackground = LoadSkinBitmap(IDB_BACKGROUND);
    m_bmpComposed = QPixmap();
    // The smallest window still shows every control; the user may enlarge it.
    m_window.setMinimumSize(ControlPlaces::kMinWidth, ControlPlaces::kMinHeight);
    m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (m_rcRestore.isValid()) {
        m_window.setGeometry(m_rcRestore);
        m_rcRestore = QRect();
    } else {
        PlaceFirst(QRect());
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
    // Composed at every size: the plates and the transport's dividers follow the controls.
    const QSize size = m_window.size();
    if (m_bmpComposed.size() != size) {
        const MainWindowControls& c = m_controls;
        SkinMarks marks;
        marks.plates = {c.curTime->geometry(), c.totalTime->geometry(), c.speed->geometry()};
        const auto between = [](const QWidget* left, const QWidget* right) {
            return (left->geometry().right() + right->geometry().left()) / 2;
        };
        marks.dividers = {between(c.mirror, c.mute), between(c.volume, c.brightIcon)};
        m_bmpComposed = ComposeSkinBackground(m_bmpBackground, size, marks);
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
