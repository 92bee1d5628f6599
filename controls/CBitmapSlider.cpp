#include "controls/CBitmapSlider.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "controls/CMemDC.h"
#include "controls/DrawTransparent.h"
#include "res/SkinBitmaps.h"

// ---------------------------------------------------------------------------------------------
// Notices

namespace {

QEvent::Type RegisteredType(int hint) {
    // registerEventType hands out the hint itself while it is free, so the notices normally
    // carry their message numbers as their event types.
    return static_cast<QEvent::Type>(QEvent::registerEventType(hint));
}

int64_t Clamp64(int64_t value, int minimum, int maximum) {
    return std::max<int64_t>(std::min<int64_t>(value, maximum), minimum);
}

}  // namespace

QEvent::Type SliderNotifyEvent::MovingType() {
    static const QEvent::Type type = RegisteredType(kMovingMessage);
    return type;
}

QEvent::Type SliderNotifyEvent::MovedType() {
    static const QEvent::Type type = RegisteredType(kMovedMessage);
    return type;
}

SliderNotifyEvent::SliderNotifyEvent(int message, int controlId, int position)
    : QEvent(message == kMovingMessage ? MovingType() : MovedType()),
      m_nMessage(message == kMovingMessage ? kMovingMessage : kMovedMessage),
      m_nControlId(controlId),
      m_nPosition(position) {}

// ---------------------------------------------------------------------------------------------
// Set-up

CBitmapSlider::CBitmapSlider(QWidget* parent, int controlId)
    : QWidget(parent), m_nControlId(controlId) {
    setFocusPolicy(Qt::StrongFocus);
    // The parent's background is the slider's background: nothing is erased before a paint.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

bool CBitmapSlider::LoadPicture(Picture& picture, const QPixmap& bitmap, bool transparent,
                                uint32_t colour, int x, int y) {
    picture = Picture();
    if (bitmap.isNull()) return false;
    picture.bitmap = bitmap;
    if (transparent) {
        if (const auto key = ResolveKeyColour(bitmap, colour, x, y)) {
            picture.keyed = CutOutKeyColour(bitmap, *key);
        }
    }
    return true;
}

bool CBitmapSlider::SetBitmapChannel(int channelId, int activeId, bool transparent, uint32_t colour,
                                     int x, int y) {
    if (channelId == 0) return SetBitmapChannel(QPixmap(), QPixmap(), transparent, colour, x, y);
    const QPixmap channel = LoadSkinBitmap(channelId);
    if (channel.isNull()) {
        SetBitmapChannel(QPixmap(), QPixmap());
        return false;
    }
    QPixmap active;
    if (activeId != 0) {
        active = LoadSkinBitmap(activeId);
        if (active.isNull()) {
            SetBitmapChannel(QPixmap(), QPixmap());
            return false;
        }
    }
    return SetBitmapChannel(channel, active, transparent, colour, x, y);
}

bool CBitmapSlider::SetBitmapChannel(const QPixmap& channel, const QPixmap& active,
                                     bool transparent, uint32_t colour, int x, int y) {
    m_channel = Picture();
    m_channelActive = Picture();
    m_bChannel = m_bChannelActive = false;
    if (channel.isNull()) {
        update();
        return true;  // unloading always succeeds
    }
    LoadPicture(m_channel, channel, transparent, colour, x, y);
    if (!active.isNull()) {
        LoadPicture(m_channelActive, active, transparent, colour, x, y);
        m_bChannelActive = true;
    }
    m_nWidth = channel.width();
    m_nHeight = channel.height();
    resize(m_nWidth, m_nHeight);
    m_bTransparentChannel = transparent;
    m_bChannel = true;
    updateGeometry();
    update();
    return true;
}

bool CBitmapSlider::SetBitmapThumb(int thumbId, int activeId, bool transparent, uint32_t colour,
                                   int x, int y) {
    if (thumbId == 0) return SetBitmapThumb(QPixmap(), QPixmap(), transparent, colour, x, y);
    const QPixmap thumb = LoadSkinBitmap(thumbId);
    if (thumb.isNull()) {
        SetBitmapThumb(QPixmap(), QPixmap());
        return false;
    }
    QPixmap active;
    if (activeId != 0) {
        active = LoadSkinBitmap(activeId);
        if (active.isNull()) {
            SetBitmapThumb(QPixmap(), QPixmap());
            return false;
        }
    }
    return SetBitmapThumb(thumb, active, transparent, colour, x, y);
}

bool CBitmapSlider::SetBitmapThumb(const QPixmap& thumb, const QPixmap& active, bool transparent,
                                   uint32_t colour, int x, int y) {
    m_thumb = Picture();
    m_thumbActive = Picture();
    m_bThumb = m_bThumbActive = false;
    if (thumb.isNull()) {
        update();
        return true;
    }
    LoadPicture(m_thumb, thumb, transparent, colour, x, y);
    if (!active.isNull()) {
        LoadPicture(m_thumbActive, active, transparent, colour, x, y);
        m_bThumbActive = true;
    }
    m_nThumbWidth = thumb.width();
    m_nThumbHeight = thumb.height();
    if (!m_bChannel) {
        m_nWidth = width();
        m_nHeight = height();
    }
    m_bTransparentThumb = transparent;
    m_bThumb = true;
    update();
    return true;
}

void CBitmapSlider::SetRange(int minimum, int maximum, bool redraw) {
    m_nMin = minimum;
    m_nMax = maximum;
    // A position left outside the new range would put the thumb off the track.
    m_nPos = int(Clamp64(Clamp64(m_nPos, INT32_MIN, m_nMax), m_nMin, INT32_MAX));
    if (redraw) update();
}

void CBitmapSlider::GetRange(int& minimum, int& maximum) const {
    minimum = m_nMin;
    maximum = m_nMax;
}

void CBitmapSlider::SetPos(int position) {
    position = std::min(position, m_nMax);
    position = std::max(position, m_nMin);
    m_nPos = position;
    update();
}

int CBitmapSlider::SetPageSize(int size) {
    const int previous = m_nPage;
    m_nPage = size;
    return previous;
}

void CBitmapSlider::SetDrawFocusRect(bool on, bool redraw) {
    m_bDrawFocusRect = on;
    if (redraw) update();
}

QSize CBitmapSlider::sizeHint() const {
    return m_bChannel ? QSize(m_nWidth, m_nHeight) : QSize(100, 16);
}

// ---------------------------------------------------------------------------------------------
// Position and pixel

int CBitmapSlider::PosToPixel(int position) const {
    const int length = m_bVertical ? m_nHeight : m_nWidth;
    const int thumb = m_bVertical ? m_nThumbHeight : m_nThumbWidth;
    const int lead = m_bVertical ? m_nMarginTop : m_nMarginLeft;
    const int trail = m_bVertical ? m_nMarginBottom : m_nMarginRight;
    // An empty range has no scale: the thumb rests at the start of the track.
    if (m_nMax == m_nMin) return lead + thumb / 2;
    const double travel = double(length - trail - thumb - lead);
    const double fraction = (double(position) - m_nMin) / (double(m_nMax) - m_nMin);
    return lead + int(std::trunc(travel * fraction)) + thumb / 2;
}

int CBitmapSlider::PixelToPos(int pixel) const {
    const int length = m_bVertical ? m_nHeight : m_nWidth;
    const int thumb = m_bVertical ? m_nThumbHeight : m_nThumbWidth;
    const int lead = m_bVertical ? m_nMarginTop : m_nMarginLeft;
    const int trail = m_bVertical ? m_nMarginBottom : m_nMarginRight;
    const int travel = length - trail - lead - thumb;
    if (travel <= 0) return m_nMin;  // no room to move: every pixel means the minimum
    const double offset = double(pixel - thumb / 2 - lead) / travel;
    const double value = std::trunc(m_nMin + offset * (double(m_nMax) - m_nMin));
    return int(std::clamp(value, double(INT32_MIN), double(INT32_MAX)));
}

// ---------------------------------------------------------------------------------------------
// Pointer and keys

void CBitmapSlider::Notify(int message) {
    if (QWidget* parent = parentWidget())
        QCoreApplication::postEvent(parent, new SliderNotifyEvent(message, m_nControlId, m_nPos));
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
        Notify(SliderNotifyEvent::kMovingMessage);
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
    Notify(SliderNotifyEvent::kMovedMessage);
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
    SetPos(int(Clamp64(target, INT32_MIN, INT32_MAX)));
    Notify(SliderNotifyEvent::kMovedMessage);
    event->accept();
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

// ---------------------------------------------------------------------------------------------
// Paint
//
// Every paint starts from the parent's background (Qt paints it under a widget that does not
// fill itself), so nothing has to be saved under the thumb or un-drawn from the last paint.

void CBitmapSlider::paintEvent(QPaintEvent*) {
    QPainter target(this);
    CMemDC dc(target, rect(), m_bTransparentChannel || !m_bChannel);
    QPainter& p = dc.Painter();

    if (m_bChannel) {
        const QPixmap& channel = m_channel.Face();
        if (m_bChannelActive && isEnabled()) {
            const int split = PosToPixel(m_nPos);
            const QPixmap& active = m_channelActive.Face();
            // Plain part from the thumb centre on, active part before it, each taken from the
            // same place in its bitmap.
            const QRect whole = channel.rect();
            const QRect before = m_bVertical ? QRect(0, 0, whole.width(), split)
                                             : QRect(0, 0, split, whole.height());
            const QRect after = m_bVertical
                                    ? QRect(0, split, whole.width(), whole.height() - split)
                                    : QRect(split, 0, whole.width() - split, whole.height());
            if (after.width() > 0 && after.height() > 0) p.drawPixmap(after, channel, after);
            const QRect filled = before.intersected(active.rect());
            if (filled.width() > 0 && filled.height() > 0) p.drawPixmap(filled, active, filled);
        } else {
            p.drawPixmap(0, 0, channel);
        }
    }

    if (m_bThumb && isEnabled()) {
        const Picture& thumb = (m_bThumbActive && m_bDragging) ? m_thumbActive : m_thumb;
        const int centre = PosToPixel(m_nPos);
        const QPoint corner = m_bVertical ? QPoint(m_nMarginLeft, centre - m_nThumbHeight / 2)
                                          : QPoint(centre - m_nThumbWidth / 2, m_nMarginTop);
        p.drawPixmap(corner, thumb.Face());
    }

    if (m_bDrawFocusRect && m_bFocus && isEnabled()) {
        QPen dotted(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
