#include "controls/CxSkinButton.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/ColorRef.h"
#include "res/SkinBitmaps.h"

namespace {

constexpr int kUncheckMessage = 0x500;

}  // namespace

QEvent::Type CxSkinButton::UncheckType() {
    static const QEvent::Type type =
        static_cast<QEvent::Type>(QEvent::registerEventType(kUncheckMessage));
    return type;
}

CxSkinButton::CxSkinButton(QWidget* parent, int controlId, Kind kind)
    : QAbstractButton(parent), m_nControlId(controlId), m_kind(kind) {
    m_crText = QColorToColorRef(palette().color(QPalette::ButtonText));
    setMouseTracking(true);  // hover is noticed on the first move over the button
    setAttribute(Qt::WA_NoSystemBackground);
    // Connected first, so the check state has changed before any outside receiver of
    // clicked() runs. A click is only reported for a release over the button (or Space, or
    // click()), so a press dragged out and released outside changes nothing.
    connect(this, &QAbstractButton::clicked, this, [this] {
        ApplyUserCheck();
        emit command(m_nControlId);
    });
}

void CxSkinButton::SetKind(Kind kind) {
    m_kind = kind;
    if (m_kind == kPushButton) m_nCheck = 0;
    update();
}

void CxSkinButton::SetSkin(int normal, int down, int over, int disabled, int focus, int mask,
                           int drawMode, int border, int focusMargin) {
    auto load = [](int id) { return id != 0 ? LoadSkinBitmap(id) : QPixmap(); };
    SetSkin(load(normal), load(down), load(over), load(disabled), load(focus), drawMode, border,
            focusMargin);
    m_bmpMask = load(mask);
}

void CxSkinButton::SetSkin(const QPixmap& normal, const QPixmap& down, const QPixmap& over,
                           const QPixmap& disabled, const QPixmap& focus, int drawMode, int border,
                           int focusMargin) {
    m_bmpNormal = normal;
    m_bmpDown = down;
    m_bmpOver = over;
    m_bmpFocus = focus;
    m_bmpMask = QPixmap();
    m_bmpDisabled = disabled.isNull() ? normal : disabled;
    m_nDrawMode = std::clamp(drawMode, int(kDrawCopy), int(kDrawTile));
    m_nBorder = border;
    m_nFocusMargin = std::max(focusMargin, 0);
    updateGeometry();
    update();
}

void CxSkinButton::SetCheck(int check) {
    m_nCheck = (m_kind != kPushButton && check != 0) ? 1 : 0;
    if (m_kind == kRadioButton && m_nCheck) UncheckGroup();
    update();
}

void CxSkinButton::SetTextColor(uint32_t colour) {
    m_crText = colour;
    update();
}

QSize CxSkinButton::sizeHint() const {
    return m_bmpNormal.isNull() ? QSize(30, 30) : m_bmpNormal.size();
}

void CxSkinButton::ApplyUserCheck() {
    if (m_kind == kCheckBox)
        SetCheck(m_nCheck ? 0 : 1);
    else if (m_kind == kRadioButton)
        SetCheck(1);
}

void CxSkinButton::UncheckGroup() {
    QWidget* parent = parentWidget();
    if (!parent) return;
    const QList<CxSkinButton*> siblings =
        parent->findChildren<CxSkinButton*>(Qt::FindDirectChildrenOnly);
    const qsizetype self = siblings.indexOf(this);
    // In group order starting after this button. Delivered at once rather than queued: two
    // radio buttons set one after the other could otherwise both end up cleared.
    for (qsizetype i = 1; i < siblings.size(); ++i) {
        CxSkinButton* other = siblings[(self + i) % siblings.size()];
        if (other->m_nGroup != m_nGroup) continue;
        QEvent notice(UncheckType());
        QCoreApplication::sendEvent(other, &notice);
    }
}

bool CxSkinButton::event(QEvent* event) {
    if (event->type() == UncheckType()) {
        m_nCheck = 0;
        update();
        return true;
    }
    return QAbstractButton::event(event);
}

// ---------------------------------------------------------------------------------------------
// Pointer and focus. QAbstractButton does the press tracking: while the button is held it is
// shown pushed exactly when the pointer is over it.

void CxSkinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_bHovering = false;
        m_bPressing = true;
    }
    QAbstractButton::mousePressEvent(event);
}

void CxSkinButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bPressing && !m_bHovering) {
        m_bHovering = true;
        update();
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CxSkinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_bPressing = false;
    QAbstractButton::mouseReleaseEvent(event);
}

void CxSkinButton::focusOutEvent(QFocusEvent* event) {
    m_bPressing = false;
    QAbstractButton::focusOutEvent(event);
}

void CxSkinButton::leaveEvent(QEvent* event) {
    m_bHovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Paint

void CxSkinButton::DrawFace(QPainter& painter, const QPixmap& face) const {
    const QRect r = rect();
    if (face.isNull()) {
        painter.fillRect(r, palette().button());
        return;
    }
    switch (m_nDrawMode) {
        case kDrawCopy: {
            // Natural size from the top-left corner; what the face does not cover stays plain.
            const QRect part = r.intersected(face.rect());
            if (part != r) painter.fillRect(r, palette().button());
            painter.drawPixmap(part.topLeft(), face, part);
            break;
        }
        case kDrawStretch:
            painter.drawPixmap(r, face);
            break;
        default:
            painter.drawTiledPixmap(r, face);
            break;
    }
}

void CxSkinButton::DrawEdge(QPainter& painter, bool sunken) const {
    // A 3-D edge in light and shade laid over the face, so it suits any skin colour.
    const QRect r = rect().adjusted(0, 0, -1, -1);
    const QColor light(255, 255, 255, 48), shade(0, 0, 0, 150);
    painter.save();
    painter.setPen(sunken ? shade : light);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(sunken ? light : shade);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    painter.restore();
}

void CxSkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int inset = m_nFocusMargin + 2;
    const QRect caption = rect().adjusted(inset, 0, -inset, 0);
    const QString text = this->text();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;

    if (!isEnabled()) {
        DrawFace(painter, m_bmpDisabled);
        if (m_nBorder) DrawEdge(painter, false);
        if (!text.isEmpty()) {
            // Engraved: a light copy under the grey text, one pixel right and down of it.
            const QPoint shift = m_nCheck ? QPoint(1, 1) : QPoint(0, 0);
            painter.setPen(palette().color(QPalette::Light));
            painter.drawText(caption.translated(shift), flags, text);
            painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
            painter.drawText(caption.translated(shift - QPoint(1, 1)), flags, text);
        }
        return;
    }

    const bool down = isDown() || m_nCheck;
    if (down) {
        DrawFace(painter, m_bmpDown);
    } else if (m_bmpNormal.isNull()) {
        DrawFace(painter, QPixmap());
    } else if (m_bHovering && !m_bmpOver.isNull()) {
        DrawFace(painter, m_bmpOver);
    } else if (hasFocus() && !m_bmpFocus.isNull()) {
        DrawFace(painter, m_bmpFocus);
    } else {
        DrawFace(painter, m_bmpNormal);
    }
    if (m_nBorder) DrawEdge(painter, down);
    if (hasFocus() && m_nFocusMargin > 0) {
        painter.save();
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(m_nFocusMargin, m_nFocusMargin, -m_nFocusMargin - 1,
                                         -m_nFocusMargin - 1));
        painter.restore();
    }
    if (!text.isEmpty()) {
        painter.setPen(ColorRefToQColor(m_crText));
        painter.drawText(down ? caption.translated(1, 1) : caption, flags, text);
    }
}
