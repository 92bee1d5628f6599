#include "controls/CMemDC.h"

#include <QImage>
#include <QPaintDevice>

namespace {

// The target's current pixels under rect, when its device can be read back.
QPixmap ReadBack(QPainter& target, const QRect& deviceRect) {
    QPaintDevice* device = target.device();
    if (device->devType() == QInternal::Image)
        return QPixmap::fromImage(static_cast<QImage*>(device)->copy(deviceRect));
    if (device->devType() == QInternal::Pixmap)
        return static_cast<QPixmap*>(device)->copy(deviceRect);
    return QPixmap();
}

}  // namespace

CMemDC::CMemDC(QPainter& target, const QRect& rect, bool copyBackground)
    : m_pTarget(&target),
      m_rect(rect),
      m_bOffScreen(target.device()->devType() != QInternal::Printer),
      m_pPainter(&target) {
    if (m_rect.isEmpty()) {
        const QRect whole(0, 0, target.device()->width(), target.device()->height());
        m_rect = target.worldTransform().inverted().mapRect(whole);
    }
    if (!m_bOffScreen) return;

    // The surface is in device pixels; the rectangle given is in the target's coordinates.
    const QRect deviceRect = target.worldTransform().mapRect(m_rect);
    if (copyBackground) {
        m_bitmap = ReadBack(target, deviceRect);
        if (m_bitmap.isNull() || m_bitmap.size() != deviceRect.size()) {
            m_bitmap = QPixmap(deviceRect.size());
            m_bitmap.fill(Qt::transparent);
            m_bComposite = true;
        }
    } else {
        m_bitmap = QPixmap(deviceRect.size());
        const QBrush background = target.background();
        m_bitmap.fill(background.style() == Qt::NoBrush ? QColor(Qt::white) : background.color());
    }
    m_surfacePainter.begin(&m_bitmap);
    m_surfacePainter.setRenderHints(target.renderHints());
    m_surfacePainter.setFont(target.font());
    m_surfacePainter.setPen(target.pen());
    m_surfacePainter.setBrush(target.brush());
    m_surfacePainter.setBackground(target.background());
    // Draw in the target's coordinates: its transform, moved so the rectangle's corner lands
    // at the surface's origin.
    QTransform transform = target.worldTransform();
    transform *= QTransform::fromTranslate(-deviceRect.left(), -deviceRect.top());
    m_surfacePainter.setWorldTransform(transform);
    m_pPainter = &m_surfacePainter;
}

CMemDC::~CMemDC() {
    if (!m_bOffScreen) return;
    m_surfacePainter.end();
    const QRect deviceRect = m_pTarget->worldTransform().mapRect(m_rect);
    m_pTarget->save();
    m_pTarget->resetTransform();
    m_pTarget->setCompositionMode(m_bComposite ? QPainter::CompositionMode_SourceOver
                                               : QPainter::CompositionMode_Source);
    m_pTarget->drawPixmap(deviceRect.topLeft(), m_bitmap);
    m_pTarget->restore();
}
