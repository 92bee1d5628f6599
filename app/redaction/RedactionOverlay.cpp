#include "app/redaction/RedactionOverlay.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "redact/RegionEdit.h"

namespace {

constexpr int kHandlePixels = 10;  // the corner handle a resize is dragged by
constexpr int kMinDragPixels = 4;  // a press moved less than this draws nothing
constexpr int kOutlinePixels = 2;
constexpr int kSelectedOutlinePixels = 3;

QPen OutlinePen(MaskSource source, bool suggestion, bool selected) {
    QPen pen(suggestion ? QColor(0, 220, 255) : QColor(255, 64, 64));
    pen.setWidth(selected ? kSelectedOutlinePixels : kOutlinePixels);
    if (suggestion)
        pen.setStyle(Qt::DashLine);
    else if (source == MaskSource::Tracked)
        pen.setStyle(Qt::DashDotLine);
    else if (source == MaskSource::Detected)
        pen.setStyle(Qt::DotLine);
    return pen;
}

QRect HandleOf(const QRect& box) {
    return QRect(box.right() - kHandlePixels / 2, box.bottom() - kHandlePixels / 2, kHandlePixels,
                 kHandlePixels);
}

}  // namespace

RedactionOverlay::RedactionOverlay(QWidget* area, int camera, Source source)
    : QWidget(area), m_camera(camera), m_source(std::move(source)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(area->rect());
    area->installEventFilter(this);
    show();
}

void RedactionOverlay::SetEditing(bool on) {
    m_editing = on;
    m_drag = Drag::None;
    setAttribute(Qt::WA_TransparentForMouseEvents, !on);
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    update();
}

bool RedactionOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

QSize RedactionOverlay::PictureSize() const {
    const MaskCamera* camera = m_source.edit ? m_source.edit->Set().Camera(m_camera) : nullptr;
    return camera ? QSize(camera->width, camera->height) : QSize();
}

QPointF RedactionOverlay::ToPicturePoint(QPointF widget) const {
    const QSize picture = PictureSize();
    double x = widget.x() * picture.width() / std::max(1, width());
    const double y = widget.y() * picture.height() / std::max(1, height());
    if (m_source.mirrored && m_source.mirrored()) x = picture.width() - x;
    return {x, y};
}

QRect RedactionOverlay::ToPicture(const QRect& widgetRect) const {
    const QSize picture = PictureSize();
    if (picture.isEmpty() || width() <= 0 || height() <= 0) return {};
    const QPointF a = ToPicturePoint(widgetRect.topLeft());
    const QPointF b = ToPicturePoint(
        QPointF(widgetRect.x() + widgetRect.width(), widgetRect.y() + widgetRect.height()));
    const int x0 = std::clamp(int(std::lround(std::min(a.x(), b.x()))), 0, picture.width());
    const int x1 = std::clamp(int(std::lround(std::max(a.x(), b.x()))), 0, picture.width());
    const int y0 = std::clamp(int(std::lround(std::min(a.y(), b.y()))), 0, picture.height());
    const int y1 = std::clamp(int(std::lround(std::max(a.y(), b.y()))), 0, picture.height());
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QRect RedactionOverlay::ToWidget(const QRect& r) const {
    const QSize picture = PictureSize();
    if (picture.isEmpty()) return {};
    const double sx = double(width()) / picture.width(), sy = double(height()) / picture.height();
    int x0 = int(std::lround(r.x() * sx)), x1 = int(std::lround((r.x() + r.width()) * sx));
    if (m_source.mirrored && m_source.mirrored()) {
        const int left = width() - x1;
        x1 = width() - x0;
        x0 = left;
    }
    const int y0 = int(std::lround(r.y() * sy)), y1 = int(std::lround((r.y() + r.height()) * sy));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

int RedactionOverlay::RegionAt(QPoint at, int64_t frame) const {
    if (!m_source.edit) return 0;
    const int selected = m_source.selected ? m_source.selected() : 0;
    int found = 0;
    for (const MaskRegion* r : m_source.edit->At(m_camera, frame)) {
        const MaskBox* b = r->BoxAt(frame);
        const QRect box = ToWidget(QRect(b->x, b->y, b->width, b->height));
        if (!box.contains(at) && !(r->id == selected && HandleOf(box).contains(at))) continue;
        if (r->id == selected) return r->id;
        if (!found) found = r->id;
    }
    return found;
}

QRect RedactionOverlay::SelectedBox(int64_t frame) const {
    const int selected = m_source.selected ? m_source.selected() : 0;
    const MaskRegion* region = m_source.edit ? m_source.edit->Region(selected) : nullptr;
    const MaskBox* b = region && region->camera == m_camera ? region->BoxAt(frame) : nullptr;
    return b ? ToWidget(QRect(b->x, b->y, b->width, b->height)) : QRect();
}

void RedactionOverlay::paintEvent(QPaintEvent*) {
    const int64_t frame = m_source.frame ? m_source.frame() : -1;
    if (!m_source.edit || frame < 0) return;
    QPainter painter(this);
    PaintRegions(painter, frame);
    if (m_drag != Drag::None) {
        painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_dragRect);
    }
}

void RedactionOverlay::PaintRegions(QPainter& painter, int64_t frame) const {
    const int selected = m_source.selected ? m_source.selected() : 0;
    painter.setBrush(Qt::NoBrush);
    for (const MaskRegion* r : m_source.edit->SuggestionsAt(m_camera, frame)) {
        const MaskBox* b = r->BoxAt(frame);
        painter.setPen(OutlinePen(b->source, true, false));
        painter.drawRect(ToWidget(QRect(b->x, b->y, b->width, b->height)));
    }
    for (const MaskRegion* r : m_source.edit->At(m_camera, frame)) {
        if (m_drag != Drag::None && r->id == m_dragRegion) continue;  // drawn as dragged
        const MaskBox* b = r->BoxAt(frame);
        const QRect box = ToWidget(QRect(b->x, b->y, b->width, b->height));
        painter.setPen(OutlinePen(b->source, false, r->id == selected));
        painter.drawRect(box);
        if (r->id == selected && m_editing) painter.fillRect(HandleOf(box), Qt::white);
    }
}

void RedactionOverlay::mousePressEvent(QMouseEvent* event) {
    const int64_t frame = m_source.frame ? m_source.frame() : -1;
    if (!m_editing || event->button() != Qt::LeftButton || frame < 0) return;
    m_pressAt = event->position().toPoint();
    m_dragFrame = frame;
    const QRect selectedBox = SelectedBox(frame);
    const int under = RegionAt(m_pressAt, frame);
    if (!selectedBox.isNull() && HandleOf(selectedBox).contains(m_pressAt)) {
        m_drag = Drag::Resize;
        m_dragRegion = m_source.selected();
        m_dragRect = selectedBox;
    } else if (under) {
        emit regionPressed(under);
        m_drag = Drag::Move;
        m_dragRegion = under;
        m_dragRect = SelectedBox(frame);
        if (m_dragRect.isNull()) m_drag = Drag::None;
    } else {
        m_drag = Drag::Draw;
        m_dragRegion = 0;
        m_dragRect = QRect(m_pressAt, QSize());
    }
    event->accept();
}

void RedactionOverlay::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag == Drag::None) return;
    const QPoint at = event->position().toPoint();
    const QPoint moved = at - m_pressAt;
    if (m_drag == Drag::Draw) {
        // From the press to the pointer, the pointer's own pixel left out.
        m_dragRect = QRect(QPoint(std::min(m_pressAt.x(), at.x()), std::min(m_pressAt.y(), at.y())),
                           QSize(std::abs(moved.x()), std::abs(moved.y())));
    } else if (m_drag == Drag::Move) {
        const QRect start = SelectedBox(m_dragFrame);
        m_dragRect = start.translated(moved);
    } else {
        const QRect start = SelectedBox(m_dragFrame);
        m_dragRect =
            QRect(start.topLeft(), start.size() + QSize(moved.x(), moved.y())).normalized();
    }
    update();
}

void RedactionOverlay::mouseReleaseEvent(QMouseEvent* event) {
    if (m_drag == Drag::None || event->button() != Qt::LeftButton) return;
    mouseMoveEvent(event);
    const Drag drag = std::exchange(m_drag, Drag::None);
    const bool moved =
        (event->position().toPoint() - m_pressAt).manhattanLength() >= kMinDragPixels;
    const QRect picture = ToPicture(m_dragRect);
    update();
    if (!moved) {
        if (drag == Drag::Draw) emit regionPressed(0);
        return;
    }
    if (picture.width() < 1 || picture.height() < 1) return;
    if (drag == Drag::Draw)
        emit boxDrawn(m_camera, m_dragFrame, picture);
    else
        emit boxChanged(m_dragRegion, m_dragFrame, picture);
}
