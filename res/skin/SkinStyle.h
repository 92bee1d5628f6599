#pragma once
// Colours, fonts and the small drawing helpers shared by the skin's art.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace skin {

// Ground and panels: a near-black blue-grey, panels one step lighter, hairline borders.
inline const QColor kGround(24, 29, 35);
inline const QColor kTitleBar(18, 22, 27);
inline const QColor kPanel(32, 38, 46);
inline const QColor kPanelHigh(38, 45, 54);
inline const QColor kHairline(58, 65, 75);
inline const QColor kWell(10, 12, 15);       // empty picture areas
inline const QColor kTimePlate(43, 52, 61);  // the time and speed labels' own brush
// Faces
inline const QColor kFace(42, 49, 59);      // raised plate of a released button
inline const QColor kFaceDown(27, 32, 39);  // pressed plate
inline const QColor kFaceBorder(66, 74, 86);
inline const QColor kIcon(201, 209, 217);
inline const QColor kIconDim(89, 96, 106);
inline const QColor kText(201, 209, 217);
inline const QColor kTextQuiet(132, 141, 152);
// The one accent: "on" and "pressed".
inline const QColor kAccent(245, 165, 36);
inline const QColor kAccentDeep(150, 98, 18);

enum class State { Released, Pressed, Disabled };

inline QFont UiFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("Noto Sans"));
    // Hangul comes from the CJK face of the same design.
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

inline QPen StrokePen(const QColor& colour, qreal width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A rounded plate with a one-pixel border, aligned to the pixel grid.
inline void Plate(QPainter& p, const QRectF& r, qreal radius, const QColor& fill,
                  const QColor& border) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

}  // namespace skin
