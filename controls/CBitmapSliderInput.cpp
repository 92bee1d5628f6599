// The slider's pointer and keyboard handling, and the signals they give.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "controls/CBitmapSlider.h"

void CBitmapSlider::Notify(bool dragging) {
    if (dragging)
        emit moving(m_nPos);
    else
        emit moved(m_nPos);
}

void CBitmapSlider::MoveThumbTo(int pointer) {
    const int length = m_bVertical ? m_nHeight : m_nWidth;
    const int thumb = m_bVertical ? m_nThumbHeight : m_nThumbWidth;
    const int lead = m_bVertical ? m_nMarginTop : m_nMarginLeft;
    const int trail = m_bVertical ? m_nMarginBottom : m_nMarginRight;
    const int low = lead + thumb / 2;
    const int high = length - trail - thumb / 2;
    int pixel = pointer - m_nDragOffset;
    pixel = std::max(std::min(pixel, high), low);
    if (pixel != PosToPixel(m_nPos)) {
        SetPos(PixelToPos(pixel));
        Notify(true);
    }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Qt grabs the mouse for the pressed widget until the release.
    setFocus(Qt::MouseFocusReason);
    m_bDragging = true;
    const int pointer =
        m_bVertical ? event->position().toPoint().y() : event->position().toPoint().x();
    const int thumb = m_bVertical ? m_nThumbHeight : m_nThumbWidth;
    const int distance = pointer - PosToPixel(m_nPos);
    // Grabbing the thumb keeps the pointer where it took hold; a click beside the thumb
    // brings the thumb's centre to the pointer.
    m_nDragOffset = std::abs(distance) > thumb / 2 ? 0 : distance;
    MoveThumbTo(pointer);
    update();
    event->accept();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!isEnabled() || !m_bDragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    MoveThumbTo(m_bVertical ? event->position().toPoint().y() : event->position().toPoint().x());
    event->accept();
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton || !m_bDragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_bDragging = false;
    update();
    Notify(false);
    event->accept();
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
    if (!isEnabled()) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Steps are taken in 64 bits so a page step near the ends of the int range cannot wrap.
    int64_t target = 0;
    switch (event->key()) {
        case Qt::Key_PageUp:
            target = int64_t(m_nPos) - m_nPage;
            break;
        case Qt::Key_PageDown:
            target = int64_t(m_nPos) + m_nPage;
            break;
        case Qt::Key_End:
            target = m_nMax;
            break;
        case Qt::Key_Home:
            target = m_nMin;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            target = int64_t(m_nPos) + 1;
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            target = int64_t(m_nPos) - 1;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    SetPos(int(std::clamp<int64_t>(target, INT_MIN, INT_MAX)));
    Notify(false);
    event->accept();
}

void CBitmapSlider::wheelEvent(QWheelEvent* event) {
    if (!isEnabled() || m_nWheelStep == 0 || m_bDragging) {
        QWidget::wheelEvent(event);
        return;
    }
    // A touchpad sends a notch in small pieces; they add up to whole notches.
    constexpr int kNotch = QWheelEvent::DefaultDeltasPerStep;
    const QPoint delta = event->angleDelta();
    const int turn = std::abs(delta.y()) >= std::abs(delta.x()) ? delta.y() : -delta.x();
    m_nWheelRemainder += turn;
    const int notches = m_nWheelRemainder / kNotch;
    m_nWheelRemainder -= notches * kNotch;
    event->accept();
    if (notches == 0) return;
    const int64_t target = int64_t(m_nPos) + int64_t(notches) * m_nWheelStep;
    SetPos(int(std::clamp<int64_t>(target, INT_MIN, INT_MAX)));
    Notify(false);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
    m_bFocus = true;
    update();
    QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
    m_bFocus = false;
    update();
    QWidget::focusOutEvent(event);
}
