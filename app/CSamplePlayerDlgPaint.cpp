// Painting, label colours and moving the window by its background.
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "app/CSamplePlayerDlg.h"
#include "app/Resource.h"
#include "controls/ColorRef.h"

namespace {

constexpr uint32_t kPlateColour = 0x3D342B;  // time and speed plates (0x00BBGGRR)
constexpr uint32_t kTimeTextColour = 0xFFFFFF;
// A light red: pure red on the plate reads at 3.2:1, this at 4.9:1.
constexpr uint32_t kSpeedTextColour = 0x6E78FF;

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
constexpr int kGraphSplitX = 900;         // right of the graph's legend
constexpr int kResizeEdgePx = 5;

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

QString LabelStyle(uint32_t text, uint32_t plate) {
    return QStringLiteral("QLabel { color: %1; background-color: %2; }")
        .arg(ColorRefToQColor(text).name(), ColorRefToQColor(plate).name());
}

}  // namespace

void CSamplePlayerDlg::SetLabelText(QLabel* label, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (label->text() == value) return;
    label->setText(value);
    ApplyLabelColours(label);
}

void CSamplePlayerDlg::ApplyLabelColours(QLabel* label) {
    // A label with text sits on its plate; an empty one shows the black control ground.
    // The rate label is empty at normal speed and then shows nothing at all, neither a box
    // between the plates in the window nor over the picture in full screen.
    QString style;
    if (label == m_pRate) {
        style = label->text().isEmpty() ? QStringLiteral("QLabel { background: transparent; }")
                                        : LabelStyle(kTimeTextColour, kPlateColour);
    } else if (label->text().isEmpty()) {
        style = QStringLiteral("QLabel { background-color: #000000; }");
    } else if (label == m_pSpeed) {
        style = LabelStyle(kSpeedTextColour, kPlateColour);
    } else {
        style = LabelStyle(kTimeTextColour, kPlateColour);
    }
    if (label->styleSheet() != style) label->setStyleSheet(style);
}

QPixmap CSamplePlayerDlg::ComposeBackground(QSize client) const {
    const QPixmap& skin = m_bmpBackground;
    const NormalAreas areas = NormalLayout(client);
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
    font.setPixelSize(10);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    p.setPen(kCaption);
    p.drawText(QPointF(14, 55), QStringLiteral("PLAYBACK"));
    p.restore();
    Well(p, areas.main, skin, kMainArea, 96);
    Well(p, areas.small, skin, kSmallArea, 48);
    p.fillRect(areas.list, Qt::black);
    p.setPen(kHairline);
    p.drawRect(areas.list.adjusted(-1, -1, 0, 0));
    for (int id : {IDC_STATIC_CURTIME, IDC_STATIC_TOTALTIME, IDC_STATIC_SPEED}) {
        if (const QWidget* label = GetDlgItem(id)) TimePlate(p, label->geometry());
    }

    // Transport and graph bands as drawn, moved down; each is cut where it is plain (the
    // transport between its tool and sound groups, the graph band right of the legend), the
    // part right of the cut moves with the right edge and the plain column stretches.
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

void CSamplePlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_nScreenMode != kScreenNormal || m_bmpBackground.isNull()) return;
    if (size() == m_bmpBackground.size()) {
        painter.drawPixmap(0, 0, m_bmpBackground);
        return;
    }
    if (m_bmpComposed.size() != size()) m_bmpComposed = ComposeBackground(size());
    painter.drawPixmap(0, 0, m_bmpComposed);
}

// The right and bottom edges of the frameless normal window enlarge it.
Qt::Edges CSamplePlayerDlg::ResizeEdgesAt(QPoint at) const {
    if (m_nScreenMode != kScreenNormal) return {};
    Qt::Edges edges;
    if (at.x() >= width() - kResizeEdgePx) edges |= Qt::RightEdge;
    if (at.y() >= height() - kResizeEdgePx) edges |= Qt::BottomEdge;
    return edges;
}

// The whole background is a drag handle in the normal window (controls take their own
// presses); in full screen the window stays put.
void CSamplePlayerDlg::mousePressEvent(QMouseEvent* event) {
    const Qt::Edges edges = ResizeEdgesAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && edges && windowHandle() &&
        windowHandle()->startSystemResize(edges)) {
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && m_nScreenMode == kScreenNormal) {
        m_bDragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    event->accept();
}

void CSamplePlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        const Qt::Edges edges = ResizeEdgesAt(event->position().toPoint());
        if (edges == (Qt::RightEdge | Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if (edges == Qt::RightEdge)
            setCursor(Qt::SizeHorCursor);
        else if (edges == Qt::BottomEdge)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
    }
    if (m_bDragging && (event->buttons() & Qt::LeftButton) && m_nScreenMode == kScreenNormal) {
        move(event->globalPosition().toPoint() - m_dragOffset);
    }
    event->accept();
}

void CSamplePlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_bDragging = false;
    event->accept();
}
