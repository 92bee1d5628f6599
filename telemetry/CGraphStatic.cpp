#include "telemetry/CGraphStatic.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {

QColor ToQColor(uint32_t colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

}  // namespace

CGraphStatic::CGraphStatic(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

CGraphStatic::~CGraphStatic() = default;

void CGraphStatic::PreSubclassWindow() {
    m_rcClient = QRect(0, 0, width(), height());
    // Plot edges as the drawing uses them: left/top inclusive, right/bottom the edge lines.
    const int left = m_rcClient.left() + kPlotInsetLeft;
    const int top = m_rcClient.top() + kPlotInset;
    const int right = m_rcClient.left() + m_rcClient.width() - kPlotInset;
    const int bottom = m_rcClient.top() + m_rcClient.height() - kPlotInset;
    m_rcPlot =
        QRect(QPoint(left, top), QSize(std::max(0, right - left), std::max(0, bottom - top)));
    m_nXStep = m_nPerDivision = m_nDefaultStep;
    m_nDivisions = m_nRange / m_nDefaultStep;
    m_nClientWidth = m_rcClient.width();
    m_nClientHeight = m_rcClient.height();
    m_picture =
        QImage(std::max(1, m_nClientWidth), std::max(1, m_nClientHeight), QImage::Format_RGB32);
    m_picture.fill(ToQColor(m_crBack));
}

GraphSeries* CGraphStatic::AddSeries(uint32_t colour, int penWidth) {
    auto series = std::make_unique<GraphSeries>();
    series->colour = colour;
    series->penWidth = penWidth;
    m_series.push_back(std::move(series));
    return m_series.back().get();
}

bool CGraphStatic::Owns(const GraphSeries* series) const {
    return series && std::any_of(m_series.begin(), m_series.end(),
                                 [series](const auto& owned) { return owned.get() == series; });
}

void CGraphStatic::ClearSeries(GraphSeries* series) {
    if (!Owns(series)) return;
    series->writeIndex = 0;
    std::fill(std::begin(series->values), std::end(series->values), 0);
}

void CGraphStatic::AddValue(GraphSeries* series, int value) {
    if (m_series.empty() || !Owns(series)) return;
    // A zero range would divide by zero; such a graph has nothing to scale to.
    int pixels = m_nRange > 0 ? static_cast<int>(int64_t(value) * m_nClientHeight / m_nRange) : 0;
    const int plotHeight = m_rcPlot.height();
    if (pixels > plotHeight) pixels = plotHeight;
    if (pixels < 0) pixels = 0;
    series->values[series->writeIndex] = pixels;
    series->writeIndex = (series->writeIndex + 1) % GraphSeries::kValueCount;
    Redraw();
}

void CGraphStatic::SetGrid(bool on) {
    m_bGrid = on;
    Redraw();
}

void CGraphStatic::SetRange(int range, int valuePerDivision) {
    m_nRange = range;
    m_nPerDivision = valuePerDivision;
    m_nDivisions = valuePerDivision != 0 ? range / valuePerDivision : 0;
    Redraw();
}

void CGraphStatic::SetXStep(int pixels) {
    m_nXStep = pixels;
    Redraw();
}

void CGraphStatic::Render() {
    if (m_picture.isNull()) return;
    QPainter painter(&m_picture);
    painter.fillRect(m_picture.rect(), ToQColor(m_crBack));
    const int left = m_rcPlot.left();
    const int top = m_rcPlot.top();
    const int right = left + m_rcPlot.width();
    const int bottom = top + m_rcPlot.height();

    if (m_bGrid) {
        painter.setPen(QPen(ToQColor(m_crGrid), 1));
        painter.drawLine(left, top, left, bottom);
        painter.drawLine(right, top, right, bottom);
        // A grid finer than one pixel per division (or no divisions) has no lines to show.
        const int step = m_nDivisions > 0 ? m_rcPlot.height() / m_nDivisions : 0;
        if (step >= 1) {
            for (int y = bottom - step; y >= top; y -= step) {
                if (y != top && y != bottom) painter.drawLine(left, y, right, y);
            }
        }
    }

    const int count = ValueCount();
    for (const Mark& mark : m_marks) {
        if (mark.valueIndex < 0 || mark.valueIndex >= count) continue;
        const int x = left + (count - 1 - mark.valueIndex) * m_nXStep;
        painter.setPen(QPen(ToQColor(mark.colour), kMarkWidth));
        painter.drawLine(x, top, x, bottom);
    }

    for (const auto& series : m_series) {
        if (!series->visible) continue;
        const QColor colour = ToQColor(series->colour);
        painter.setPen(QPen(colour, series->penWidth));
        painter.setBrush(colour);
        const int n = series->writeIndex;
        QPoint previous;
        for (int k = 0; k < n; ++k) {
            const QPoint point(left + k * m_nXStep, bottom - series->values[n - 1 - k]);
            painter.drawPoint(point);
            if (k > 0) painter.drawLine(previous, point);
            previous = point;
        }
    }
}

void CGraphStatic::Redraw() {
    Render();
    repaint();
}

void CGraphStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(rect(), ToQColor(m_crBack));
        return;
    }
    painter.drawImage(0, 0, m_picture, 0, 0, m_nClientWidth, m_nClientHeight);
}

int CGraphStatic::ValueCount() const {
    int count = 0;
    for (const auto& series : m_series) count = std::max(count, int(series->writeIndex));
    return count;
}

void CGraphStatic::SetMarks(std::vector<Mark> marks) {
    m_marks = std::move(marks);
    Redraw();
}

int CGraphStatic::ValueIndexAt(int x) const {
    if (m_nXStep <= 0) return -1;
    const int k = (x - m_rcPlot.left() + m_nXStep / 2) / m_nXStep;
    const int index = ValueCount() - 1 - k;
    return (x >= m_rcPlot.left() - m_nXStep / 2 && index >= 0) ? index : -1;
}

void CGraphStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int index = ValueIndexAt(event->position().toPoint().x());
    if (index >= 0) emit valueClicked(index);
}
