// The slider's marks: event ticks and the in/out span, drawn over the channel and under the
// focus rectangle.
#include <QPainter>

#include "controls/CBitmapSlider.h"
#include "controls/ColorRef.h"

namespace {

constexpr int kTickWidth = 2;
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
