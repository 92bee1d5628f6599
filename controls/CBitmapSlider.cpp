#include "controls/CBitmapSlider.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>

#include "controls/CMemDC.h"
#include "controls/DrawTransparent.h"
#include "res/SkinBitmaps.h"

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
    m_channel = m_channelLoaded = Picture();
    m_channelActive = m_channelActiveLoaded = Picture();
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
    m_channelLoaded = m_channel;
    m_channelActiveLoaded = m_channelActive;
    m_nWidth = channel.width();
    m_nHeight = channel.height();
    resize(m_nWidth, m_nHeight);
    m_bTransparentChannel = transparent;
    m_bChannel = true;
    updateGeometry();
    update();
    return true;
}

namespace {

// The picture at a new width: its two ends (each as long as the picture is high, at most a
// third of it) copied as they are, the columns between stretched without smoothing, so a
// key colour stays a key colour.
QPixmap StretchMiddle(const QPixmap& picture, int width) {
    if (picture.isNull() || width == picture.width()) return picture;
    const int cap = std::min(picture.height(), picture.width() / 3);
    QPixmap out(width, picture.height());
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawPixmap(0, 0, picture, 0, 0, cap, picture.height());
    painter.drawPixmap(QRect(cap, 0, std::max(0, width - 2 * cap), picture.height()), picture,
                       QRect(cap, 0, picture.width() - 2 * cap, picture.height()));
    painter.drawPixmap(width - cap, 0, picture, picture.width() - cap, 0, cap, picture.height());
    return out;
}

}  // namespace

bool CBitmapSlider::SetChannelLength(int width) {
    if (!m_bChannel || m_bVertical || width < 1) return false;
    auto stretch = [width](Picture& to, const Picture& from) {
        to.bitmap = StretchMiddle(from.bitmap, width);
        to.keyed = StretchMiddle(from.keyed, width);
    };
    stretch(m_channel, m_channelLoaded);
    if (m_bChannelActive) stretch(m_channelActive, m_channelActiveLoaded);
    m_nWidth = width;
    resize(m_nWidth, m_nHeight);
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
    m_nPos = std::max(std::min(m_nPos, m_nMax), m_nMin);
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
    PaintMarks(p);

    if (m_bDrawFocusRect && m_bFocus && isEnabled()) {
        QPen dotted(palette().color(QPalette::WindowText), 1, Qt::DotLine);
        p.setPen(dotted);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
