// The normal window's background at sizes larger than its picture.
#include "app/SkinBackground.h"

#include <QLinearGradient>
#include <QPainter>

#include "support/StringTable.h"

namespace {

// The skin's ground, panels and picture wells, for the parts of a larger background that
// the picture does not hold.
const QColor kGround(24, 29, 35);
const QColor kPanel(32, 38, 46);
const QColor kHairline(58, 65, 75);
const QColor kWell(10, 12, 15);
const QColor kPlateBorder(60, 71, 82);
const QColor kCaption(132, 141, 152);
constexpr int kTitleBarHeight = 36;
constexpr int kTitleFixedWidth = 600;     // the product name; the rest of the bar is plain
constexpr int kPicturesBandBottom = 452;  // below: timeline, transport and graph bands
constexpr int kGraphBandTop = 518;        // the transport band above, the graph band below
constexpr int kTransportSplitX = 630;     // between the tools and the sound and picture group
constexpr int kGraphSplitX = 400;         // inside the graph, which stretches with the window

void Panel(QPainter& p, const QRect& r) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, r.top(), 0, r.bottom());
    fill.setColorAt(0, kPanel.lighter(104));
    fill.setColorAt(1, kPanel);
    p.setBrush(fill);
    p.setPen(QPen(kHairline, 1));
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.restore();
}

// An empty picture well with the skin's mark in its middle, copied from the picture.
void Well(QPainter& p, const QRect& r, const QPixmap& skin, const QRect& skinWell, int mark) {
    p.fillRect(r, kWell);
    p.setPen(QColor(6, 7, 9));
    p.drawLine(r.topLeft() - QPoint(0, 1), r.topRight() - QPoint(0, 1));
    const int side = mark + 8;
    const QRect from(skinWell.center() - QPoint(side / 2, side / 2), QSize(side, side));
    p.drawPixmap(QRect(r.center() - QPoint(side / 2, side / 2), QSize(side, side)), skin, from);
}

void TimePlate(QPainter& p, const QRect& label) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPlateBorder, 1));
    p.setBrush(QColor(43, 52, 61));
    p.drawRoundedRect(QRectF(label.adjusted(-2, -2, 2, 2)).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
}

}  // namespace

QPixmap ComposeSkinBackground(const QPixmap& skin, QSize client, const std::vector<QRect>& plates) {
    constexpr int kNormalHeight = MainWindowControls::kNormalHeight;
    constexpr int kNormalWidth = MainWindowControls::kNormalWidth;
    const MainWindowControls::NormalAreas areas = MainWindowControls::NormalLayout(client);
    QPixmap out(client);
    QPainter p(&out);
    QLinearGradient ground(0, 0, 0, client.height());
    ground.setColorAt(0, kGround);
    ground.setColorAt(1, kGround.darker(112));
    p.fillRect(out.rect(), ground);

    // Title bar: the product name as drawn, the plain rest of the bar stretched.
    p.drawPixmap(0, 0, skin, 0, 0, kTitleFixedWidth, kTitleBarHeight);
    p.drawPixmap(QRect(kTitleFixedWidth, 0, client.width() - kTitleFixedWidth, kTitleBarHeight),
                 skin, QRect(kTitleFixedWidth, 0, 1, kTitleBarHeight));

    // Pictures band: the two panels, the wells, the list's frame and the time plates.
    const int bandBottom = kPicturesBandBottom + areas.dy;
    Panel(p, QRect(1, 37, areas.main.right() + 4, bandBottom - 37));
    Panel(p, QRect(areas.column - 2, 37, client.width() - areas.column + 1, bandBottom - 37));
    p.save();
    QFont font(QStringLiteral("Noto Sans"));
    font.setFamilies({QStringLiteral("Noto Sans"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(10);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(kCaption);
    // The word the skin's own caption there has, in the skin's language.
    p.drawText(QPointF(14, 55), IsKoreanUi() ? QStringLiteral("재생") : QStringLiteral("PLAYBACK"));
    p.restore();
    Well(p, areas.main, skin, MainWindowControls::kMainArea, 96);
    Well(p, areas.small, skin, MainWindowControls::kSmallArea, 48);
    p.fillRect(areas.list, Qt::black);
    p.setPen(kHairline);
    p.drawRect(areas.list.adjusted(-1, -1, 0, 0));
    for (const QRect& plate : plates) TimePlate(p, plate);

    // Transport and graph bands as drawn, moved down; each is cut where it is plain (the
    // transport between its tool and sound groups, the graph band inside the graph's plot),
    // the part right of the cut moves with the right edge and the plain column stretches.
    auto band = [&](int top, int bottom, int splitX) {
        const int height = bottom - top, y = top + areas.dy;
        p.drawPixmap(0, y, skin, 0, top, splitX, height);
        p.drawPixmap(QRect(splitX, y, areas.dxRight, height), skin, QRect(splitX, top, 1, height));
        p.drawPixmap(splitX + areas.dxRight, y, skin, splitX, top, kNormalWidth - splitX, height);
    };
    band(kPicturesBandBottom, kGraphBandTop, kTransportSplitX);
    band(kGraphBandTop, kNormalHeight, kGraphSplitX);
    return out;
}
