#include "telemetry/CGraphStatic.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

const QColor kPlayheadColour(245, 165, 36);  // the accent
const QColor kScaleTextColour(160, 168, 178);
constexpr int kScaleTextPx = 9;
constexpr int kScaleMarginPx = 3;  // from the plot's right edge
constexpr int kRulerTickPx = 3;
constexpr int kTextGapPx = 3;

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
    TakeGeometry();
    m_nXStep = m_nPerDivision = m_nDefaultStep;
    m_nDivisions = m_nRange / m_nDefaultStep;
}

void CGraphStatic::TakeGeometry() {
    m_rcClient = QRect(0, 0, width(), height());
    // Plot edges as the drawing uses them: left/top inclusive, right/bottom the edge lines.
    const int left = m_rcClient.left() + kPlotInsetLeft;
    const int top = m_rcClient.top() + kPlotInset;
    const int right = m_rcClient.left() + m_rcClient.width() - kPlotInset;
    const int bottom = m_rcClient.top() + m_rcClient.height() - kPlotInset;
    m_rcPlot =
        QRect(QPoint(left, top), QSize(std::max(0, right - left), std::max(0, bottom - top)));
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
    series->values[series->writeIndex] = PixelsOf(value);
    series->writeIndex = (series->writeIndex + 1) % GraphSeries::kValueCount;
    Redraw();
}

void CGraphStatic::SetValues(GraphSeries* series, const std::vector<int>& values) {
    if (!Owns(series)) return;
    ClearSeries(series);
    // The write index says how many values there are, so a full ring holds one less.
    const size_t n = std::min<size_t>(values.size(), GraphSeries::kValueCount - 1);
    for (size_t i = 0; i < n; ++i) series->values[i] = PixelsOf(values[i]);
    series->writeIndex = static_cast<int32_t>(n);
}

void CGraphStatic::SetSpan(int values) {
    m_nSpan = std::clamp(values, 0, GraphSeries::kValueCount - 1);
}

void CGraphStatic::resizeEvent(QResizeEvent*) {
    // Before PreSubclassWindow the control has no picture to follow its size.
    if (m_picture.isNull() || size() == m_rcClient.size()) return;
    TakeGeometry();
    Render();
}

double CGraphStatic::ValueStep() const {
    if (m_nSpan <= 0) return m_nXStep;
    return m_nSpan > 1 ? double(m_rcPlot.width()) / (m_nSpan - 1) : m_rcPlot.width();
}

double CGraphStatic::XOf(int index, int count) const {
    const int left = m_rcPlot.left();
    return m_nSpan > 0 ? left + index * ValueStep() : left + double(count - 1 - index) * m_nXStep;
}

int CGraphStatic::PixelsOf(int value) const {
    // A zero range would divide by zero; such a graph has nothing to scale to.
    const int pixels =
        m_nRange > 0 ? static_cast<int>(int64_t(value) * m_nClientHeight / m_nRange) : 0;
    return std::clamp(pixels, 0, m_rcPlot.height());
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
    // Scrolling, marks stand at values drawn; over a span they stand wherever they fall.
    const int markLimit = m_nSpan > 0 ? m_nSpan : count;
    for (const Mark& mark : m_marks) {
        if (mark.valueIndex < 0 || mark.valueIndex >= markLimit) continue;
        const double x = XOf(mark.valueIndex, count);
        painter.setPen(QPen(ToQColor(mark.colour), kMarkWidth));
        painter.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
    RenderScale(painter);

    for (const auto& series : m_series) {
        if (!series->visible) continue;
        const QColor colour = ToQColor(series->colour);
        painter.setPen(QPen(colour, series->penWidth));
        painter.setBrush(colour);
        const int n = series->writeIndex;
        QPointF previous;
        for (int i = 0; i < n; ++i) {
            const QPointF point(XOf(i, n), bottom - series->values[i]);
            painter.drawPoint(point);
            if (i > 0) painter.drawLine(previous, point);
            previous = point;
        }
    }

    if (m_nPlayhead >= 0 && m_nPlayhead < markLimit) {
        const double x = XOf(m_nPlayhead, count);
        painter.setPen(QPen(kPlayheadColour, 1));
        painter.drawLine(QPointF(x, top), QPointF(x, bottom));
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
    if (m_nSpan > 0) {
        const double step = ValueStep();
        const int index = static_cast<int>(std::floor((x - m_rcPlot.left()) / step + 0.5));
        return step > 0 && index >= 0 && index < m_nSpan && index < ValueCount() ? index : -1;
    }
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

// ---- the scale, the playhead and the tooltip ----

void CGraphStatic::SetLabels(std::vector<Label> labels) {
    m_labels = std::move(labels);
    Redraw();
}

void CGraphStatic::SetRuler(int fromValue, int toValue, const QString& text) {
    m_nRulerFrom = fromValue;
    m_nRulerTo = toValue;
    m_strRuler = text;
    Redraw();
}

void CGraphStatic::SetPlayhead(int valueIndex, bool redraw) {
    if (valueIndex < 0) valueIndex = -1;
    if (valueIndex == m_nPlayhead) return;
    m_nPlayhead = valueIndex;
    if (redraw) Redraw();
}

// Texts sit on a patch of the background, so a curve passing under them does not hide them.
void CGraphStatic::RenderScale(QPainter& painter) const {
    if (m_labels.empty() && m_strRuler.isEmpty()) return;
    QFont font(QStringLiteral("Noto Sans"));
    font.setPixelSize(kScaleTextPx);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int bottom = m_rcPlot.top() + m_rcPlot.height();
    int right = m_rcPlot.left() + m_rcPlot.width() - kScaleMarginPx;
    const auto text = [&](const QString& what, int y, const QColor& colour) {
        QRect box = metrics.boundingRect(what);
        box.moveTo(right - box.width(), y - box.height() / 2);
        painter.fillRect(box.adjusted(-1, 0, 1, 0), ToQColor(m_crBack));
        painter.setPen(colour);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, what);
        return box.width();
    };
    int widest = 0;
    for (const Label& label : m_labels)
        widest = std::max(widest,
                          text(label.text, bottom - PixelsOf(label.value), ToQColor(label.colour)));
    if (m_strRuler.isEmpty()) return;
    // The ruler stands left of the labels, its text left of it.
    right -= widest + kTextGapPx + kRulerTickPx;
    const int from = bottom - PixelsOf(m_nRulerFrom), to = bottom - PixelsOf(m_nRulerTo);
    painter.setPen(QPen(kScaleTextColour, 1));
    painter.drawLine(right, from, right, to);
    painter.drawLine(right - kRulerTickPx, from, right, from);
    painter.drawLine(right - kRulerTickPx, to, right, to);
    right -= kRulerTickPx + kTextGapPx;
    text(m_strRuler, (from + to) / 2, kScaleTextColour);
}

QString CGraphStatic::ToolTipAt(int x) const {
    const int index = ValueIndexAt(x);
    return (index >= 0 && m_valueTip) ? m_valueTip(index) : QString();
}

bool CGraphStatic::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos().x());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    // The tip follows the pointer from one value to the next.
    const int column = std::max(1, static_cast<int>(std::ceil(ValueStep())));
    const QRect around(help->pos().x() - column / 2, 0, column, height());
    QToolTip::showText(help->globalPos(), text, this, around);
    return true;
}
