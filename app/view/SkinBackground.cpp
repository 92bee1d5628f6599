// The normal window's background at sizes larger than its picture.
#include "app/view/SkinBackground.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

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
constexpr int kTransportBarTop = 454, kTransportBarHeight = 63;
constexpr int kDividerTop = 466, kDividerBottom = 504;
constexpr int kGraphSplitX = 400;  // inside the graph, which stretches with the window

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

void Divider(QPainter& p, int x, int top, int bottom) {
    p.save();
    p.setPen(kHairline);
    p.drawLine(x, top, x, bottom);
    p.setPen(QColor(20, 24, 29));
    p.drawLine(x + 1, top, x + 1, bottom);
    p.restore();
}

void TimePlate(QPainter& p, const QRect& label) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPlateBorder, 1));
    p.setBrush(QColor(43, 52, 61));
    p.drawRoundedRect(QRectF(label.adjusted(-2, -2, 2, 2)).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
}

void PicturesBand(QPainter& p, const QPixmap& skin, QSize client,
                  const MainWindowControls::NormalAreas& areas) {
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
}

}  // namespace

QPixmap ComposeSkinBackground(const QPixmap& skin, QSize client, const SkinMarks& marks) {
    constexpr int kNormalWidth = MainWindowControls::kNormalWidth;
    constexpr int kNormalHeight = MainWindowControls::kNormalHeight;
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

    PicturesBand(p, skin, client, areas);
    for (const QRect& plate : marks.plates) TimePlate(p, plate);

    // The transport bar across the window, its groups divided where the layout puts them.
    Panel(p, QRect(1, kTransportBarTop + areas.dy, client.width() - 2, kTransportBarHeight));
    for (int x : marks.dividers) Divider(p, x, kDividerTop + areas.dy, kDividerBottom + areas.dy);

    // The graph band as drawn, moved down and cut inside the graph's plot: the part right of
    // the cut moves with the right edge, the plain column between stretches (or is cut away
    // in a narrower window).
    const int top = kGraphBandTop, height = kNormalHeight - top, y = top + areas.dy;
    const int split = kGraphSplitX, dx = areas.dxRight;
    p.drawPixmap(0, y, skin, 0, top, split + std::min(dx, 0), height);
    if (dx > 0) p.drawPixmap(QRect(split, y, dx, height), skin, QRect(split, top, 1, height));
    p.drawPixmap(split + dx, y, skin, split, top, kNormalWidth - split, height);
    return out;
}
