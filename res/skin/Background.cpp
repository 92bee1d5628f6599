#include <QLinearGradient>
#include <QPainterPath>

#include "SkinArt.h"

namespace skin {
namespace {

// A raised panel: one step lighter than the ground, hairline border, soft top light.
void Panel(QPainter& p, const QRect& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0, kPanel.lighter(104));
    fill.setColorAt(1, kPanel);
    p.setBrush(fill);
    p.setPen(QPen(kHairline, 1));
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    p.drawLine(QPointF(r.left() + 4, r.top() + 1.5), QPointF(r.right() - 3, r.top() + 1.5));
    p.restore();
}

// A sunken well for a picture area, with the mark faintly in its middle while it is empty.
void Well(QPainter& p, const QRect& r, int markSize) {
    p.fillRect(r, kWell);
    p.save();
    p.setPen(QColor(6, 7, 9));
    p.drawLine(r.topLeft() - QPoint(0, 1), r.topRight() - QPoint(0, 1));
    p.restore();
    if (markSize > 0) {
        const QRectF mark(r.center().x() - markSize / 2.0 + 0.5,
                          r.center().y() - markSize / 2.0 + 0.5, markSize, markSize);
        DrawIcon(p, Icon::Lens, mark, QColor(30, 36, 44), markSize / 24.0 * 1.4);
    }
}

void TimePlate(QPainter& p, const QRect& label) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 71, 82), 1));
    p.setBrush(kTimePlate);
    p.drawRoundedRect(QRectF(label.adjusted(-2, -2, 2, 2)).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
}

void Divider(QPainter& p, int x, int top, int bottom) {
    p.save();
    p.setPen(kHairline);
    p.drawLine(x, top, x, bottom);
    p.setPen(QColor(20, 24, 29));
    p.drawLine(x + 1, top, x + 1, bottom);
    p.restore();
}

void Caption(QPainter& p, const QPointF& at, const QString& text, const QColor& colour) {
    p.save();
    QFont font = UiFont(10, true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(at, text);
    p.restore();
}

void TitleBar(QPainter& p) {
    QLinearGradient bar(0, 0, 0, 36);
    bar.setColorAt(0, kTitleBar.lighter(112));
    bar.setColorAt(1, kTitleBar);
    p.fillRect(QRect(0, 0, kWindowWidth, 36), bar);
    p.setPen(QColor(8, 10, 12));
    p.drawLine(0, 35, kWindowWidth - 1, 35);

    DrawIcon(p, Icon::Lens, QRectF(11, 8, 20, 20), kAccent, 1.8);
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    const QFont bold = UiFont(14, true), regular = UiFont(14, false);
    const int baseline = 23;
    int x = 40;
    p.setFont(bold);
    p.setPen(QColor(232, 236, 240));
    const QString brand = QStringLiteral("Tarvex ");
    p.drawText(x, baseline, brand);
    x += QFontMetrics(bold).horizontalAdvance(brand);
    p.setFont(regular);
    p.setPen(kTextQuiet.lighter(112));
    p.drawText(x, baseline, QStringLiteral("K310VZN PC Viewer"));
    p.restore();
}

void GraphLegend(QPainter& p, bool korean) {
    const QString caption = QStringLiteral("G-SENSOR");
    Caption(p, QPointF(808, 541), korean ? KoreanWord(caption) : caption, kTextQuiet);
    struct Axis {
        const char* name;
        QColor colour;
    };
    // The graph's own curve colours: x blue, y yellow, z red.
    const Axis axes[] = {
        {"X", QColor(0, 0, 255)}, {"Y", QColor(255, 255, 0)}, {"Z", QColor(255, 0, 0)}};
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(UiFont(11, true));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 562 + i * 20;
        p.setPen(StrokePen(axes[i].colour, 2.5));
        p.drawLine(QPointF(810, y), QPointF(830, y));
        p.setPen(kText);
        p.drawText(QPointF(840, y + 4), QString::fromLatin1(axes[i].name));
    }
    p.restore();
}

}  // namespace

QImage RenderBackground(bool korean) {
    QImage img(kWindowWidth, kWindowHeight, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient ground(0, 0, 0, kWindowHeight);
    ground.setColorAt(0, kGround);
    ground.setColorAt(1, kGround.darker(112));
    p.fillRect(img.rect(), ground);

    TitleBar(p);

    // Pictures and timeline on the left, list and small picture on the right.
    Panel(p, QRect(1, 37, 646, 415));
    const QString playback = QStringLiteral("PLAYBACK");
    Caption(p, QPointF(14, 55), korean ? KoreanWord(playback) : playback, kTextQuiet);
    Well(p, QRect(4, 64, 640, 360), 96);
    Panel(p, QRect(648, 37, 326, 415));
    p.fillRect(QRect(650, 65, 320, 178), Qt::black);
    p.setPen(kHairline);
    p.drawRect(QRect(649, 64, 321, 179));
    Well(p, QRect(650, 268, 320, 180), 48);

    // Timeline: the time and speed labels on their plates either side of the position slider.
    TimePlate(p, QRect(25, 433, 56, 14));
    TimePlate(p, QRect(495, 433, 56, 14));
    TimePlate(p, QRect(580, 433, 56, 14));

    // Transport bar, grouped: playback, tools, sound and picture.
    Panel(p, QRect(1, 454, 973, 63));
    Divider(p, 640, 466, 504);
    Divider(p, 810, 466, 504);

    // Graph
    Panel(p, QRect(1, 519, 973, 111));
    Well(p, QRect(30, 520, 760, 104), 0);
    GraphLegend(p, korean);
    return img;
}

}  // namespace skin
