// Painting the background, the labels' texts and moving the window by its background.
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "app/CSamplePlayerDlg.h"
#include "app/SkinBackground.h"

namespace {

constexpr int kResizeEdgePx = 5;

}  // namespace

void CSamplePlayerDlg::SetLabelText(QLabel* label, const std::string& text) {
    m_ui->SetLabelText(label, QString::fromStdString(text));
}

void CSamplePlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_view.IsFullScreen() || m_bmpBackground.isNull()) return;
    if (size() == m_bmpBackground.size()) {
        painter.drawPixmap(0, 0, m_bmpBackground);
        return;
    }
    if (m_bmpComposed.size() != size()) {
        m_bmpComposed = ComposeSkinBackground(
            m_bmpBackground, size(),
            {m_pCurTime->geometry(), m_pTotalTime->geometry(), m_pSpeed->geometry()});
    }
    painter.drawPixmap(0, 0, m_bmpComposed);
}

// The right and bottom edges of the frameless normal window enlarge it.
Qt::Edges CSamplePlayerDlg::ResizeEdgesAt(QPoint at) const {
    if (m_view.IsFullScreen()) return {};
    Qt::Edges edges;
    if (at.x() >= width() - kResizeEdgePx) edges |= Qt::RightEdge;
    if (at.y() >= height() - kResizeEdgePx) edges |= Qt::BottomEdge;
    return edges;
}

// The whole background is a drag handle in the normal window (controls take their own
// presses); in full screen the window stays put.
void CSamplePlayerDlg::mousePressEvent(QMouseEvent* event) {
    const Qt::Edges edges = ResizeEdgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && windowHandle() &&
        windowHandle()->startSystemResize(edges)) {
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && !m_view.IsFullScreen()) {
        m_bDragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    event->accept();
}

void CSamplePlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        const Qt::Edges edges = ResizeEdgesAt(event->position().toPoint());
        if (edges == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges == Qt::RightEdge)
            setCursor(Qt::SizeHorCursor);
        else if (edges == Qt::BottomEdge)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
    }
    if (m_bDragging && (event->buttons() & Qt::LeftButton) && !m_view.IsFullScreen()) {
        move(event->globalPosition().toPoint() - m_dragOffset);
    }
    event->accept();
}

void CSamplePlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_bDragging = false;
    event->accept();
}
