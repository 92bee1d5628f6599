#include "Icons.h"

#include <QPainterPath>
#include <QtMath>

#include "SkinStyle.h"

namespace skin {
namespace {

QPainterPath Polyline(std::initializer_list<QPointF> points, bool closed = false) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& pt : points) {
        if (first)
            path.moveTo(pt);
        else
            path.lineTo(pt);
        first = false;
    }
    if (closed) path.closeSubpath();
    return path;
}

QPainterPath Gear() {
    // Eight teeth on a ring; the outline alternates between the tooth tips and the root circle.
    QPainterPath path;
    constexpr int kTeeth = 8;
    constexpr qreal kOuter = 9.5, kRoot = 7.0;
    for (int i = 0; i < kTeeth; ++i) {
        const qreal base = 2 * M_PI * i / kTeeth;
        const qreal half = M_PI / kTeeth;
        const qreal a[4] = {base - half * 0.95, base - half * 0.45, base + half * 0.45,
                            base + half * 0.95};
        const qreal r[4] = {kRoot, kOuter, kOuter, kRoot};
        for (int k = 0; k < 4; ++k) {
            const QPointF pt(12 + r[k] * qCos(a[k]), 12 + r[k] * qSin(a[k]));
            if (i == 0 && k == 0)
                path.moveTo(pt);
            else
                path.lineTo(pt);
        }
    }
    path.closeSubpath();
    path.addEllipse(QPointF(12, 12), 3, 3);
    return path;
}

// Circular arrow around the centre with "10" inside; forward turns clockwise.
void SeekIcon(QPainter& p, bool forward) {
    p.save();
    if (forward) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    QPainterPath arc;
    const QRectF circle(3.5, 4.5, 17, 17);
    arc.arcMoveTo(circle, 205);
    arc.arcTo(circle, 205, 245);  // counter-clockwise round the bottom, ending at the top
    p.drawPath(arc);
    const QPointF tip = arc.currentPosition();
    p.drawPath(Polyline({tip + QPointF(3.2, -3.2), tip, tip + QPointF(3.2, 3.2)}));
    p.restore();
}

// Draws the icon if it is one of this group's; false otherwise.
bool DrawWindowIcon(QPainter& p, Icon icon) {
    switch (icon) {
        case Icon::Minimize:
            p.drawLine(QPointF(6, 13), QPointF(18, 13));
            return true;
        case Icon::FullScreen:
            p.drawPath(Polyline({{5, 10}, {5, 5}, {10, 5}}));
            p.drawPath(Polyline({{14, 5}, {19, 5}, {19, 10}}));
            p.drawPath(Polyline({{19, 14}, {19, 19}, {14, 19}}));
            p.drawPath(Polyline({{10, 19}, {5, 19}, {5, 14}}));
            return true;
        case Icon::PrevSize:
            p.drawPath(Polyline({{10, 4}, {10, 10}, {4, 10}}));
            p.drawPath(Polyline({{14, 4}, {14, 10}, {20, 10}}));
            p.drawPath(Polyline({{20, 14}, {14, 14}, {14, 20}}));
            p.drawPath(Polyline({{4, 14}, {10, 14}, {10, 20}}));
            return true;
        case Icon::Close:
            p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
            p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
            return true;
        case Icon::Open: {
            QPainterPath folder;
            folder.moveTo(3, 18);
            folder.lineTo(3, 6.5);
            folder.quadTo(3, 5, 4.5, 5);
            folder.lineTo(9, 5);
            folder.lineTo(11, 7.5);
            folder.lineTo(19.5, 7.5);
            folder.quadTo(21, 7.5, 21, 9);
            folder.lineTo(21, 10.5);
            p.drawPath(folder);
            p.drawPath(Polyline({{3, 18}, {6, 11}, {22, 11}, {19, 18.5}, {3.5, 18.5}}, true));
            return true;
        }
        default:
            return false;
    }
}

// Draws the icon if it is one of this group's; false otherwise.
bool DrawTransportIcon(QPainter& p, Icon icon, const QPen& pen) {
    switch (icon) {
        case Icon::Stop:
            p.drawRoundedRect(QRectF(6, 6, 12, 12), 2, 2);
            return true;
        case Icon::Prev:
            p.drawLine(QPointF(6, 6), QPointF(6, 18));
            p.drawPath(Polyline({{18, 6}, {9.5, 12}, {18, 18}}, true));
            return true;
        case Icon::Next:
            p.drawLine(QPointF(18, 6), QPointF(18, 18));
            p.drawPath(Polyline({{6, 6}, {14.5, 12}, {6, 18}}, true));
            return true;
        case Icon::Back10:
        case Icon::Forward10:
            SeekIcon(p, icon == Icon::Forward10);
            return true;
        case Icon::Zoom:
            p.drawEllipse(QPointF(10.5, 10.5), 6.5, 6.5);
            p.drawLine(QPointF(15.5, 15.5), QPointF(20.5, 20.5));
            p.drawLine(QPointF(7.5, 10.5), QPointF(13.5, 10.5));
            p.drawLine(QPointF(10.5, 7.5), QPointF(10.5, 13.5));
            return true;
        case Icon::Capture:
            p.drawPath(Polyline({{8, 7}, {9.5, 4.5}, {14.5, 4.5}, {16, 7}}));
            p.drawRoundedRect(QRectF(3, 7, 18, 12.5), 2.5, 2.5);
            p.drawEllipse(QPointF(12, 13.2), 3.6, 3.6);
            return true;
        case Icon::Settings:
            p.drawPath(Gear());
            return true;
        case Icon::Mirror: {
            QPen dashed = pen;
            dashed.setDashPattern({1.0, 2.0});
            p.setPen(dashed);
            p.drawLine(QPointF(12, 3), QPointF(12, 21));
            p.setPen(pen);
            // Two halves pointing away from the axis: the picture flips left to right.
            p.drawPath(Polyline({{9.5, 6.5}, {9.5, 17.5}, {3, 12}}, true));
            p.drawPath(Polyline({{14.5, 6.5}, {14.5, 17.5}, {21, 12}}, true));
            return true;
        }
        default:
            return false;
    }
}

// Draws the icon if it is one of this group's; false otherwise.
bool DrawPanelIcon(QPainter& p, Icon icon) {
    switch (icon) {
        case Icon::SoundOn:
        case Icon::SoundOff: {
            p.drawPath(
                Polyline({{3.5, 9}, {7.5, 9}, {12.5, 5}, {12.5, 19}, {7.5, 15}, {3.5, 15}}, true));
            if (icon == Icon::SoundOn) {
                QPainterPath waves;
                waves.arcMoveTo(QRectF(9, 8, 8, 8), 50);
                waves.arcTo(QRectF(9, 8, 8, 8), 50, -100);
                waves.arcMoveTo(QRectF(6, 5, 14, 14), 55);
                waves.arcTo(QRectF(6, 5, 14, 14), 55, -110);
                p.drawPath(waves);
            } else {
                p.drawLine(QPointF(15.5, 9.5), QPointF(20.5, 14.5));
                p.drawLine(QPointF(20.5, 9.5), QPointF(15.5, 14.5));
            }
            return true;
        }
        case Icon::Brightness:
            p.drawEllipse(QPointF(12, 12), 4, 4);
            for (int i = 0; i < 8; ++i) {
                const qreal a = M_PI * i / 4;
                p.drawLine(QPointF(12 + 7 * qCos(a), 12 + 7 * qSin(a)),
                           QPointF(12 + 9.5 * qCos(a), 12 + 9.5 * qSin(a)));
            }
            return true;
        case Icon::Swap:
            p.drawLine(QPointF(4, 8), QPointF(19, 8));
            p.drawPath(Polyline({{16, 5}, {19.5, 8}, {16, 11}}));
            p.drawLine(QPointF(20, 16), QPointF(5, 16));
            p.drawPath(Polyline({{8, 13}, {4.5, 16}, {8, 19}}));
            return true;
        case Icon::MapSize:
            p.drawPath(Polyline({{3, 6.5},
                                 {9, 4.5},
                                 {15, 6.5},
                                 {21, 4.5},
                                 {21, 17.5},
                                 {15, 19.5},
                                 {9, 17.5},
                                 {3, 19.5}},
                                true));
            p.drawLine(QPointF(9, 4.5), QPointF(9, 17.5));
            p.drawLine(QPointF(15, 6.5), QPointF(15, 19.5));
            return true;
        default:
            return false;
    }
}

// Draws the icon if it is one of this group's; false otherwise.
bool DrawMarkIcon(QPainter& p, Icon icon, const QColor& colour, qreal unit) {
    switch (icon) {
        case Icon::PictureInPicture:
            p.drawRoundedRect(QRectF(3, 5, 18, 14), 2, 2);
            p.drawRoundedRect(QRectF(12, 11.5, 6, 4.5), 1, 1);
            return true;
        case Icon::MapPin: {
            QPainterPath pin;
            pin.moveTo(12, 21);
            pin.cubicTo(9, 17, 5.5, 13.5, 5.5, 9.5);
            pin.arcTo(QRectF(5.5, 3, 13, 13), 180, -180);
            pin.cubicTo(18.5, 13.5, 15, 17, 12, 21);
            p.drawPath(pin);
            p.drawEllipse(QPointF(12, 9.5), 2.3, 2.3);
            return true;
        }
        case Icon::Play: {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            QPainterPath tri = Polyline({{8.5, 5.5}, {19, 12}, {8.5, 18.5}}, true);
            QPen round(colour, 2.0 / unit);  // rounds the corners of the filled triangle
            round.setJoinStyle(Qt::RoundJoin);
            p.setPen(round);
            p.drawPath(tri);
            return true;
        }
        case Icon::Pause:
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRoundedRect(QRectF(6.5, 5.5, 4, 13), 1, 1);
            p.drawRoundedRect(QRectF(13.5, 5.5, 4, 13), 1, 1);
            return true;
        case Icon::Lens:
            p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
            p.drawEllipse(QPointF(12, 12), 4.5, 4.5);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(QPointF(13.4, 10.6), 1.1, 1.1);
            return true;
        default:
            return false;
    }
}

}  // namespace

void DrawIcon(QPainter& p, Icon icon, const QRectF& box, const QColor& colour, qreal stroke) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    const qreal unit = box.width() / 24.0;
    p.scale(unit, box.height() / 24.0);
    QPen pen = StrokePen(colour, stroke);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);

    DrawWindowIcon(p, icon) || DrawTransportIcon(p, icon, pen) || DrawPanelIcon(p, icon) ||
        DrawMarkIcon(p, icon, colour, unit);
    p.restore();

    if (icon == Icon::Back10 || icon == Icon::Forward10) {
        // The number stays upright and unmirrored, centred in the arrow's ring.
        p.save();
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setFont(UiFont(qMax(7, qRound(8.5 * unit)), true));
        p.setPen(colour);
        const QRectF ring(box.left() + 3.5 * unit, box.top() + 4.5 * unit + 0.5, 17 * unit,
                          17 * unit);
        p.drawText(ring, Qt::AlignCenter, QStringLiteral("10"));
        p.restore();
    }
}

}  // namespace skin
