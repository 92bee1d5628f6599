// The slider's marks: event ticks and the in/out span, drawn over the channel and under the
// focus rectangle.
#include <QHelpEvent>
#include <QPainter>
#include <QStringList>
#include <QToolTip>
#include <cstdlib>

#include "controls/CBitmapSlider.h"
#include "controls/ColorRef.h"

namespace {

constexpr int kTickWidth = 2;
// A tick is two pixels wide: the pointer counts as on it this many pixels either side.
constexpr int kTickReachPx = 3;
const QColor kSpanColour(245, 165, 36, 90);  // the accent, see-through
const QColor kSpanEdgeColour(245, 165, 36);

}  // namespace

void CBitmapSlider::SetMarks(std::vector<Mark> marks) {
    m_marks = std::move(marks);
    update();
}

void CBitmapSlider::SetInOut(int in, int out) {
    m_nInMark = in;
    m_nOutMark = out;
    update();
}

void CBitmapSlider::PaintMarks(QPainter& p) const {
    if (m_bVertical || (m_marks.empty() && m_nInMark < 0 && m_nOutMark < 0)) return;
    const int h = height();
    if (m_nInMark >= 0 || m_nOutMark >= 0) {
        const int left = PosToPixel(m_nInMark >= 0 ? m_nInMark : m_nMin);
        const int right = PosToPixel(m_nOutMark >= 0 ? m_nOutMark : m_nMax);
        if (right > left) p.fillRect(QRect(left, 0, right - left, h), kSpanColour);
        p.setPen(QPen(kSpanEdgeColour, 1));
        if (m_nInMark >= 0) p.drawLine(left, 0, left, h - 1);
        if (m_nOutMark >= 0) p.drawLine(right, 0, right, h - 1);
    }
    for (const Mark& mark : m_marks) {
        if (mark.position < m_nMin || mark.position > m_nMax) continue;
        const int x = PosToPixel(mark.position);
        p.fillRect(QRect(x - kTickWidth / 2, 0, kTickWidth, h / 3 + 1),
                   ColorRefToQColor(mark.colour));
    }
}

QString CBitmapSlider::MarkTextAt(int x, int* tickX) const {
    if (m_bVertical) return {};
    int nearest = kTickReachPx;
    QStringList texts;
    for (const Mark& mark : m_marks) {
        if (mark.text.isEmpty() || mark.position < m_nMin || mark.position > m_nMax) continue;
        const int pixel = PosToPixel(mark.position);
        const int distance = std::abs(pixel - x);
        if (distance > nearest) continue;
        // Ticks at one pixel (events in one second) speak together.
        if (distance < nearest) texts.clear();
        nearest = distance;
        texts << mark.text;
        if (tickX) *tickX = pixel;
    }
    return texts.join(QLatin1Char('\n'));
}

bool CBitmapSlider::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        int tickX = 0;
        const QString text = MarkTextAt(help->pos().x(), &tickX);
        if (!text.isEmpty()) {
            // The tip goes when the pointer leaves the tick, so the position tip can follow.
            const QRect tick(tickX - kTickReachPx, 0, 2 * kTickReachPx + 1, height());
            QToolTip::showText(help->globalPos(), text, this, tick);
            return true;
        }
    }
    return QWidget::event(event);
}
